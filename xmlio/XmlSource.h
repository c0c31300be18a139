#pragma once
// A document's bytes on their way to a backend: read once, made UTF-8, and judged by the one
// well-formedness judge, so that both backends parse the same text and give the same verdict.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xmlio/LoadResult.h"
#include "xmlio/WellFormed.h"

namespace xmlsource {

// The largest document a load reads: far above any description (the largest shipped one is under
// 2 MB), so that a file of gigabytes is refused before it is read whole.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{64} << 20;
// "larger than 64 MiB, ...": why such a document is declined.
std::string tooLargeReason();

// A document read and judged for a load: the verdict (Loaded when well-formed, the backend then
// parses `text`; else why not, and the backend parses nothing) and the text as UTF-8.
struct JudgedDocument {
  dom::LoadResult verdict;
  std::vector<std::uint8_t> text;
  TextSpan bareDoctype;   // where a document type declaration that only names the root stands
  TextSpan encodingName;  // the encoding the XML declaration names, if any
  // Where the text between two pieces of markup is only white space, when asked for (BlankText::Listed).
  std::vector<TextSpan> blankText;
};
// Whether a judgement lists the blank text, for a DOM that keeps all white space (withoutBlankText).
enum class BlankText { NotListed, Listed };
// The file at `path` (Unreadable when it cannot be read, OutOfMemory when memory runs short).
JudgedDocument judgeFile(const std::string& path, BlankText blankText = BlankText::NotListed);
// A document's bytes in memory (a file's content).
JudgedDocument judgeBytes(std::string_view bytes, BlankText blankText = BlankText::NotListed);

// Turns a file's bytes into UTF-8 text in place: a UTF-8 byte-order mark is removed; UTF-16 (with a
// byte-order mark, or recognised by its "<?" start) is converted; a declared ISO-8859-1,
// windows-1252 or US-ASCII encoding is converted or checked. Then every character is checked to be
// well-formed UTF-8 and an XML character (NotWellFormed at the first that is not). Declined: an
// encoding this program does not read (UTF-32, any other declared one), or a byte that the declared
// encoding does not define; the content is then unknown, not bad.
Judgement makeUtf8(std::vector<std::uint8_t>& bytes);
// Whether the text is well-formed UTF-8 made of XML characters (the last step of makeUtf8).
Judgement checkCharacters(std::string_view text);

// Appends a code point (at most 0x10FFFF) in UTF-8 to a string or a byte vector.
template <class Bytes>
void appendUtf8(Bytes& out, std::uint32_t c) {
  using Byte = typename Bytes::value_type;
  if (c < 0x80) {
    out.push_back(static_cast<Byte>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<Byte>(0xC0 | (c >> 6)));
    out.push_back(static_cast<Byte>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<Byte>(0xE0 | (c >> 12)));
    out.push_back(static_cast<Byte>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<Byte>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<Byte>(0xF0 | (c >> 18)));
    out.push_back(static_cast<Byte>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<Byte>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<Byte>(0x80 | (c & 0x3F)));
  }
}

// A well-formed document's text as a DOM that keeps all white space is given it, so that it builds
// the tree the framework reads while it parses: the blank text the judge listed left out (as pugixml
// drops it while parsing), a bare document type declaration left out, and the encoding the XML
// declaration names made UTF-8, which the text now is. Stretches are copied; nothing is scanned again.
std::string withoutBlankText(const JudgedDocument& judged);

// The pseudo-attributes of an XML declaration's data (version="1.0"  encoding="x") as saved texts
// write them: name='value' separated by one space, the encoding, when named, as UTF-8.
std::string declarationDeclaringUtf8(std::string_view data);

}  // namespace xmlsource
