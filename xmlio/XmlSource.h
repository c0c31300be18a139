#pragma once
// The checks a document's bytes pass before either backend parses them: the encoding is made UTF-8,
// the characters are checked, and the well-formedness rules that pugixml itself tolerates are
// enforced, so that both backends accept and refuse the same documents.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xmlsource {

// The largest document a load reads, far above any real description (about 2 MB): a larger file is
// refused by its size before it is read.
inline constexpr std::size_t kMaxDocumentBytes = 64u << 20;

// Turns a file's bytes into UTF-8 text in place: a UTF-8 byte-order mark is removed; UTF-16 (with a
// byte-order mark, or recognised by its "<?" start) is converted; a declared ISO-8859-1,
// windows-1252 or US-ASCII encoding is converted or checked; any other declared encoding is refused.
// Then every character is checked to be well-formed UTF-8 and an XML character.
// False, with `error` set, when the document cannot be read; `unsupportedEncoding`, when given, then
// tells whether only its declared encoding stood in the way (its content is then unknown, not bad).
bool makeUtf8(std::vector<std::uint8_t>& bytes, std::string& error, bool* unsupportedEncoding = nullptr);

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

// Whether the text is well-formed UTF-8 made of XML characters (the last step of makeUtf8).
bool checkCharacters(std::string_view text, std::string& error);

enum class MarkupCheck {
  Passed,
  Refused,   // a well-formedness rule is broken (or so the check finds: the parser has the last word)
  Declined,  // a document type declaration that declares something: the project does not read it
};

// What pugixml accepts but XML forbids: an XML declaration after the start, text or a second element
// outside the root element, '<' in an attribute value, an '&' that is not a well-formed reference to
// a predefined entity or a character, a document type declaration out of place. A document type
// declaration that only names the root (<!DOCTYPE DeviceSeries>) passes; one with an internal subset
// or an external identifier is declined, so that no entity is ever expanded and nothing external is
// ever fetched. `error` says what was found first; `bareDoctype`, when given, receives the place of a
// passed document type declaration (its length 0 when there is none).
struct TextSpan {
  std::size_t at = 0;
  std::size_t length = 0;
};
MarkupCheck checkMarkup(std::string_view text, std::string& error, TextSpan* bareDoctype = nullptr);

// A document's bytes for a load: the file's content, or a copy of bytes in memory; nothing when they
// cannot be had (the file cannot be read, memory runs short): platform::lastFileError() says why.
std::optional<std::vector<std::uint8_t>> readDocumentBytes(const std::string& path);
std::optional<std::vector<std::uint8_t>> copyDocumentBytes(std::string_view bytes);

// Every input check a document passes before a backend parses it: makeUtf8 (the bytes become UTF-8
// text in place), then the markup check. Refused: a rule is broken, and only the parser's own verdict
// may call the document not well-formed; Declined: an encoding this DOM cannot read or a document
// type declaration that declares something, so its content is unknown, not bad.
MarkupCheck checkSource(std::vector<std::uint8_t>& bytes, std::string& error, TextSpan* bareDoctype = nullptr);


// A checked text as the MSXML component is given it, so that it builds the tree the framework
// reads without a pass of its own: every text between two pieces of markup that is only white space
// left out (as pugixml drops it while parsing, judged on the raw characters), a bare document type
// declaration (at `bareDoctype`) left out, and the XML declaration declaring UTF-8, which the text
// now is. A construct left open is copied as it stands, for the parser to judge.
std::string withoutBlankText(std::string_view checkedText, TextSpan bareDoctype = {});

// The pseudo-attributes of an XML declaration's data (version="1.0"  encoding="x") as saved texts
// write them: name='value' separated by one space, the encoding, when named, as UTF-8.
std::string declarationDeclaringUtf8(std::string_view data);
// Whether a declaration's data names an encoding, and another than UTF-8.
bool declaresAnEncodingOtherThanUtf8(std::string_view data);

// A quick test for the common document: true when it surely passes checkMarkup, judged from its
// '&' and '=' characters and the text before and after the root element; false when checkMarkup
// must decide. The root element count is for the parser to check afterwards.
bool surelyPassesMarkupCheck(std::string_view text);

// "line L, column C" of a byte offset in the text (columns count bytes, from 1).
std::string describePosition(std::string_view text, std::size_t offset);

// An element, attribute or processing-instruction name as XML defines one, with every non-ASCII
// byte taken as a name character; both backends refuse to create a node with any other name.
bool isValidName(std::string_view name);

}  // namespace xmlsource
