#pragma once
// The one judge of well-formedness, shared by both builds: XML 1.0's rules checked on a document's
// text, so that whether an installed file counts as "not XML" never depends on which parser reads it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xmlsource {

// A stretch of a text.
struct TextSpan {
  std::size_t at = 0;
  std::size_t length = 0;
};

struct Judgement {
  enum class Kind {
    WellFormed,
    NotWellFormed,  // a rule is broken at `at`
    Declined,       // the judge does not read on from `at` (a document type declaration that
                    // declares something: no entity is expanded, nothing external fetched)
  };
  Kind kind = Kind::WellFormed;
  std::size_t at = 0;  // byte offset of the fault in the text judged
  std::string what;    // the fault in words ("a second root element")
  // Where a document type declaration that only names the root stands (length 0 when there is none):
  // the document is read past it.
  TextSpan bareDoctype;
  // The encoding name the XML declaration gives (length 0 when it names none).
  TextSpan encodingName;

  bool wellFormed() const { return kind == Kind::WellFormed; }
  static Judgement notWellFormed(std::size_t at, std::string what) {
    return Judgement{Kind::NotWellFormed, at, std::move(what), {}, {}};
  }
  static Judgement declined(std::size_t at, std::string what) {
    return Judgement{Kind::Declined, at, std::move(what), {}, {}};
  }
};

// Judges UTF-8 text made only of XML characters (what makeUtf8 leaves) by the XML 1.0 rules for a
// document without a DTD: the declaration's grammar, one root element with only white space,
// comments and processing instructions around it, a document type declaration that only names the
// root, name and reference syntax, only the five predefined entities, comment, CDATA and processing-
// instruction syntax, unique attributes, matching tags. One that declares anything is Declined.
// With `blankText`, the judge also lists, in order, every text between two pieces of markup that is
// only white space (its raw characters: a reference is no white space), which a DOM that keeps all
// white space must not be given.
Judgement judgeWellFormedness(std::string_view text, std::vector<TextSpan>* blankText = nullptr);

// Whether a code point may appear in an XML document.
bool isXmlChar(std::uint32_t c);
// The code point of the UTF-8 sequence at p[i] (of n bytes) and its length; length 0 when the bytes
// there are no well-formed UTF-8 (cut short, overlong, a surrogate, beyond U+10FFFF).
std::uint32_t decodeUtf8At(const char* p, std::size_t n, std::size_t i, std::size_t& length);

// An element, attribute or processing-instruction name as XML 1.0 defines one (UTF-8).
bool isValidName(std::string_view name);

// Line and column (both from 1; the column counts bytes) of a byte offset in a text.
struct TextPosition {
  std::size_t line = 1;
  std::size_t column = 1;
};
TextPosition positionOf(std::string_view text, std::size_t offset);
// "line L, column C".
std::string describePosition(std::string_view text, std::size_t offset);

}  // namespace xmlsource
