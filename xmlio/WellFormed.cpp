#include "xmlio/WellFormed.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xmlsource {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Name characters among ASCII: 1 may start a name, 2 may follow in one.
constexpr std::array<std::uint8_t, 128> kAsciiName = [] {
  std::array<std::uint8_t, 128> table{};
  for (int c = 0; c < 128; ++c) {
    const bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
    const bool follow = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>((start ? 1 : 0) | (follow ? 2 : 0));
  }
  return table;
}();

bool isNameStart(std::uint32_t c) {
  if (c < 0x80) return (kAsciiName[c] & 1) != 0;
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(std::uint32_t c) {
  if (c < 0x80) return (kAsciiName[c] & 2) != 0;
  return isNameStart(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

}  // namespace

bool isXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

std::uint32_t decodeUtf8At(const char* p, std::size_t n, std::size_t i, std::size_t& length) {
  const auto b = static_cast<unsigned char>(p[i]);
  length = 0;
  std::uint32_t c;
  std::size_t count;
  if (b < 0x80) {
    length = 1;
    return b;
  } else if (b >= 0xC2 && b <= 0xDF) {
    count = 2;
    c = b & 0x1Fu;
  } else if (b >= 0xE0 && b <= 0xEF) {
    count = 3;
    c = b & 0x0Fu;
  } else if (b >= 0xF0 && b <= 0xF4) {
    count = 4;
    c = b & 0x07u;
  } else {
    return 0;
  }
  if (n - i < count) return 0;
  for (std::size_t k = 1; k < count; ++k) {
    const auto next = static_cast<unsigned char>(p[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3Fu);
  }
  const bool overlong = (count == 3 && c < 0x800) || (count == 4 && c < 0x10000);
  if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  length = count;
  return c;
}

namespace {

// Whether an ASCII byte may follow in a name; false for every byte of a multi-byte character.
bool isAsciiNameChar(unsigned char b) { return b < 0x80 && (kAsciiName[b] & 2) != 0; }

// The length of the name that starts at `at` (0 when none does).
std::size_t nameLengthAt(const char* p, std::size_t n, std::size_t at) {
  std::size_t i = at;
  while (i < n) {
    const auto b = static_cast<unsigned char>(p[i]);
    if (b < 0x80) {
      if ((kAsciiName[b] & (i == at ? 1 : 2)) == 0) break;
      ++i;
      // Nearly every name is ASCII to its end: taken here without the tests above.
      while (i < n && isAsciiNameChar(static_cast<unsigned char>(p[i]))) ++i;
      continue;
    }
    std::size_t length = 0;
    const std::uint32_t c = decodeUtf8At(p, n, i, length);
    if (length == 0 || !(i == at ? isNameStart(c) : isNameChar(c))) break;
    i += length;
  }
  return i - at;
}

// Whether the `length` bytes at a and b are the same; a loop of its own, since the names compared are
// short and a library call would cost more than the comparison.
bool sameBytes(const char* a, const char* b, std::size_t length) {
  for (std::size_t k = 0; k < length; ++k)
    if (a[k] != b[k]) return false;
  return true;
}

// Whether a name that reached `at` goes on there.
bool nameContinuesAt(const char* p, std::size_t n, std::size_t at) {
  if (at >= n) return false;
  std::size_t length = 0;
  const std::uint32_t c = decodeUtf8At(p, n, at, length);
  return length != 0 && isNameChar(c);
}

// The index of the first '<', '&' or ']' at or after `from`, or n. Element content is the bulk of a
// description, so this takes sixteen bytes at a time where the processor allows.
std::size_t nextMarkupInText(const char* p, std::size_t from, std::size_t n) {
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i bracket = _mm_set1_epi8(']');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, amp)), _mm_cmpeq_epi8(v, bracket));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  for (; i < n; ++i) {
    const char c = p[i];
    if (c == '<' || c == '&' || c == ']') return i;
  }
  return n;
}

class Judge {
 public:
  Judge(std::string_view text, std::vector<TextSpan>* blankText)
      : text_(text), p_(text.data()), n_(text.size()), blankText_(blankText) {}

  Judgement run() {
    if (startsWith(0, "<?xml") && n_ > 5 && isSpace(p_[5]) && !declaration()) return result_;
    bool rootSeen = false;
    bool doctypeSeen = false;
    while (true) {
      if (open_.empty()) {
        // Outside the root: white space and markup only.
        const std::size_t blank = i_;
        while (i_ < n_ && isSpace(p_[i_])) ++i_;
        if (blankText_ != nullptr && i_ != blank) blankText_->push_back(TextSpan{blank, i_ - blank});
        if (i_ >= n_) break;
        if (p_[i_] != '<') return fail(i_, rootSeen ? "text after the root element" : "text before the root element");
        if (startsWith(i_, "<?")) {
          if (!processingInstruction()) return result_;
        } else if (startsWith(i_, "<!--")) {
          if (!comment()) return result_;
        } else if (startsWith(i_, "<!DOCTYPE")) {
          if (rootSeen || doctypeSeen) return fail(i_, "a document type declaration out of place");
          doctypeSeen = true;
          if (!doctype()) return result_;
        } else if (startsWith(i_, "<!")) {
          return fail(i_, "markup that XML allows only inside the root element");
        } else if (startsWith(i_, "</")) {
          return fail(i_, "an end tag without its start tag");
        } else {
          if (rootSeen) return fail(i_, "a second root element");
          rootSeen = true;
          if (!startTag()) return result_;
        }
        textStart_ = i_;
        continue;
      }
      // Element content: character data up to the next markup or reference.
      i_ = nextMarkupInText(p_, i_, n_);
      if (i_ >= n_) return fail(n_, "the element <" + std::string(openName()) + "> is not closed");
      const char c = p_[i_];
      if (c == ']') {
        if (startsWith(i_, "]]>")) return fail(i_, "']]>' in text");
        ++i_;
        continue;
      }
      if (c == '&') {
        if (!reference()) return result_;
        continue;
      }
      if (blankText_ != nullptr) markBlankTextBeforeMarkup();
      if (startsWith(i_, "</")) {
        if (!endTag()) return result_;
      } else if (!startsWith(i_, "<!") && !startsWith(i_, "<?")) {
        // A start tag, the most common markup, tested for before the rarer kinds.
        if (!startTag()) return result_;
      } else if (startsWith(i_, "<!--")) {
        if (!comment()) return result_;
      } else if (startsWith(i_, "<![CDATA[")) {
        const std::size_t end = text_.find("]]>", i_ + 9);
        if (end == std::string_view::npos) return fail(i_, "a CDATA section that is not closed");
        i_ = end + 3;
      } else if (startsWith(i_, "<?")) {
        if (!processingInstruction()) return result_;
      } else {
        return fail(i_, "markup that XML does not allow inside an element");
      }
      textStart_ = i_;
    }
    if (!rootSeen) return fail(n_, "no root element");
    return result_;
  }

 private:
  bool startsWith(std::size_t at, std::string_view prefix) const {
    return n_ - std::min(at, n_) >= prefix.size() && std::memcmp(p_ + at, prefix.data(), prefix.size()) == 0;
  }
  // The text since the last piece of markup, when it is only white space.
  void markBlankTextBeforeMarkup() {
    if (textStart_ == i_) return;
    for (std::size_t k = textStart_; k < i_; ++k)
      if (!isSpace(p_[k])) return;
    blankText_->push_back(TextSpan{textStart_, i_ - textStart_});
  }
  bool skipSpaces() {
    const std::size_t from = i_;
    while (i_ < n_ && isSpace(p_[i_])) ++i_;
    return i_ != from;
  }
  std::size_t nameLength(std::size_t at) const { return nameLengthAt(p_, n_, at); }
  std::string_view openName() const { return text_.substr(open_.back().at, open_.back().length); }

  Judgement fail(std::size_t at, std::string what) {
    result_ = Judgement::notWellFormed(at, std::move(what));
    return result_;
  }
  bool failed(std::size_t at, std::string what) {
    fail(at, std::move(what));
    return false;
  }

  // <?xml version="1.x" encoding="name" standalone="yes|no"?> at the very start.
  bool declaration() {
    i_ = 5;
    skipSpaces();
    std::string_view value;
    if (!pseudoAttribute("version", value)) return false;
    // "1." and digits (a later 1.x is read as 1.0 is, as XML 1.0 asks of its processors).
    if (value.size() < 2 || value[0] != '1' || value[1] != '.' ||
        !std::all_of(value.begin() + 2, value.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return failed(i_, "an XML version other than 1.x");
    bool space = skipSpaces();
    if (startsWith(i_, "encoding")) {
      if (!space) return failed(i_, "white space expected in the XML declaration");
      if (!pseudoAttribute("encoding", value)) return false;
      result_.encodingName = TextSpan{static_cast<std::size_t>(value.data() - p_), value.size()};
      const bool validName = !value.empty() && ((value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z')) &&
                             std::all_of(value.begin(), value.end(), [](char c) {
                               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                      c == '.' || c == '_' || c == '-';
                             });
      if (!validName) return failed(i_, "an encoding name that XML does not allow");
      space = skipSpaces();
    }
    if (startsWith(i_, "standalone")) {
      if (!space) return failed(i_, "white space expected in the XML declaration");
      if (!pseudoAttribute("standalone", value)) return false;
      if (value != "yes" && value != "no") return failed(i_, "standalone other than 'yes' or 'no'");
      skipSpaces();
    }
    if (!startsWith(i_, "?>")) return failed(i_, "an XML declaration that is not closed by '?>' here");
    i_ += 2;
    return true;
  }

  // name = "value" (or 'value') at i_.
  bool pseudoAttribute(std::string_view name, std::string_view& value) {
    if (!startsWith(i_, name)) return failed(i_, std::string(name).append(" expected in the XML declaration"));
    i_ += name.size();
    skipSpaces();
    if (i_ >= n_ || p_[i_] != '=') return failed(i_, "'=' expected in the XML declaration");
    ++i_;
    skipSpaces();
    if (i_ >= n_ || (p_[i_] != '"' && p_[i_] != '\'')) return failed(i_, "a quoted value expected in the XML declaration");
    const std::size_t close = text_.find(p_[i_], i_ + 1);
    if (close == std::string_view::npos) return failed(i_, "a value that is not closed in the XML declaration");
    value = text_.substr(i_ + 1, close - i_ - 1);
    i_ = close + 1;
    return true;
  }

  // <!DOCTYPE name> and nothing more is read past; anything more is declined.
  bool doctype() {
    const std::size_t at = i_;
    std::size_t i = at + 9;
    const std::size_t spaceStart = i;
    while (i < n_ && isSpace(p_[i])) ++i;
    const std::size_t name = nameLength(i);
    std::size_t end = i + name;
    while (end < n_ && isSpace(p_[end])) ++end;
    if (i == spaceStart || name == 0 || end >= n_ || p_[end] != '>') {
      result_ = Judgement::declined(at, "a document type declaration that declares something, which is not accepted");
      return false;
    }
    i_ = end + 1;
    result_.bareDoctype = TextSpan{at, i_ - at};
    return true;
  }

  bool comment() {
    const std::size_t end = text_.find("--", i_ + 4);
    if (end == std::string_view::npos) return failed(i_, "a comment that is not closed");
    if (end + 2 >= n_ || p_[end + 2] != '>') return failed(end, "'--' inside a comment");
    i_ = end + 3;
    return true;
  }

  bool processingInstruction() {
    const std::size_t at = i_;
    const std::size_t target = nameLength(at + 2);
    if (target == 0) return failed(at + 2, "a processing instruction without a target name");
    const std::string_view name = text_.substr(at + 2, target);
    if (target == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l')
      return failed(at, "an XML declaration after the start of the document");
    i_ = at + 2 + target;
    if (startsWith(i_, "?>")) {
      i_ += 2;
      return true;
    }
    if (i_ >= n_ || !isSpace(p_[i_])) return failed(i_, "white space expected after a processing instruction's target");
    const std::size_t end = text_.find("?>", i_);
    if (end == std::string_view::npos) return failed(at, "a processing instruction that is not closed");
    i_ = end + 2;
    return true;
  }

  // &name; of a predefined entity, &#digits; or &#xhex; of an XML character.
  bool reference() {
    const std::size_t at = i_;
    std::size_t i = at + 1;
    if (i < n_ && p_[i] == '#') {
      const bool hex = i + 1 < n_ && p_[i + 1] == 'x';
      i += hex ? 2 : 1;
      const std::size_t digitsStart = i;
      std::uint32_t value = 0;
      for (; i < n_; ++i) {
        const char d = p_[i];
        std::uint32_t digit;
        if (d >= '0' && d <= '9') {
          digit = static_cast<std::uint32_t>(d - '0');
        } else if (hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f') {
          digit = static_cast<std::uint32_t>((d | 0x20) - 'a' + 10);
        } else {
          break;
        }
        value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
      }
      if (i == digitsStart || i >= n_ || p_[i] != ';') return failed(at, "a character reference that is not well-formed");
      if (!isXmlChar(value)) return failed(at, "a reference to a character that XML does not allow");
      i_ = i + 1;
      return true;
    }
    const std::size_t name = nameLength(i);
    if (name == 0 || i + name >= n_ || p_[i + name] != ';') return failed(at, "an '&' that is not a reference");
    const std::string_view entity = text_.substr(i, name);
    if (entity != "lt" && entity != "gt" && entity != "amp" && entity != "apos" && entity != "quot")
      return failed(at, "a reference to the undeclared entity '" + std::string(entity) + "'");
    i_ = i + name + 1;
    return true;
  }

  // <name attributes> or <name attributes/>.
  bool startTag() {
    const std::size_t at = i_;
    const std::size_t name = nameLength(at + 1);
    if (name == 0) return failed(at + 1, "an element name expected");
    i_ = at + 1 + name;
    // Most start tags of a description end right after the name.
    if (i_ < n_ && p_[i_] == '>') {
      ++i_;
      open_.push_back(TextSpan{at + 1, name});
      return true;
    }
    attributes_.clear();
    if (!seenAttributes_.empty()) seenAttributes_.clear();
    while (true) {
      const bool space = skipSpaces();
      if (i_ >= n_) return failed(at, "a start tag that is not closed");
      if (p_[i_] == '>') {
        ++i_;
        open_.push_back(TextSpan{at + 1, name});
        return true;
      }
      if (p_[i_] == '/') {
        if (!startsWith(i_, "/>")) return failed(i_, "'>' expected after '/'");
        i_ += 2;
        return true;
      }
      if (!space) return failed(i_, "white space expected before an attribute");
      if (!attribute()) return false;
    }
  }

  bool attribute() {
    const std::size_t at = i_;
    const std::size_t name = nameLength(at);
    if (name == 0) return failed(at, "an attribute name expected");
    const std::string_view attributeName = text_.substr(at, name);
    if (!firstOccurrence(attributeName)) return failed(at, "the attribute '" + std::string(attributeName) + "' given twice");
    i_ = at + name;
    skipSpaces();
    if (i_ >= n_ || p_[i_] != '=') return failed(i_, "'=' expected after an attribute name");
    ++i_;
    skipSpaces();
    if (i_ >= n_ || (p_[i_] != '"' && p_[i_] != '\'')) return failed(i_, "a quoted attribute value expected");
    const char quote = p_[i_++];
    while (true) {
      while (i_ < n_ && p_[i_] != quote && p_[i_] != '<' && p_[i_] != '&') ++i_;
      if (i_ >= n_) return failed(at, "an attribute value that is not closed");
      if (p_[i_] == quote) break;
      if (p_[i_] == '<') return failed(i_, "'<' in an attribute value");
      if (!reference()) return false;
    }
    ++i_;
    return true;
  }

  // False when an attribute of this name was already given in the tag being read. Few attributes
  // are compared one by one; many go through a set, so that no tag costs quadratic time.
  bool firstOccurrence(std::string_view name) {
    constexpr std::size_t kCompareDirectly = 16;
    if (attributes_.size() < kCompareDirectly) {
      if (std::find(attributes_.begin(), attributes_.end(), name) != attributes_.end()) return false;
      attributes_.push_back(name);
      return true;
    }
    if (seenAttributes_.empty()) seenAttributes_.insert(attributes_.begin(), attributes_.end());
    return seenAttributes_.insert(name).second;
  }

  bool endTag() {
    const std::size_t at = i_;
    // The end tag of a well-formed document names the open element: compared with it directly, so
    // that the name is not scanned again. Any other end tag is a fault, described by its own name.
    const TextSpan open = open_.back();
    const bool namesOpenElement = n_ - (at + 2) >= open.length &&
                                  sameBytes(p_ + open.at, p_ + at + 2, open.length) &&
                                  !nameContinuesAt(p_, n_, at + 2 + open.length);
    if (!namesOpenElement) {
      const std::size_t name = nameLength(at + 2);
      if (name == 0) return failed(at + 2, "an element name expected in an end tag");
      const std::string_view closing = text_.substr(at + 2, name);
      return failed(at, "the end tag </" + std::string(closing) + "> does not match <" + std::string(openName()) + ">");
    }
    i_ = at + 2 + open.length;
    skipSpaces();
    if (i_ >= n_ || p_[i_] != '>') return failed(i_, "'>' expected to close an end tag");
    ++i_;
    open_.pop_back();
    return true;
  }

  std::string_view text_;
  const char* p_;
  std::size_t n_;
  std::size_t i_ = 0;
  std::vector<TextSpan>* blankText_;  // where blank text is listed, when it is
  std::size_t textStart_ = 0;         // where the text since the last piece of markup starts
  std::vector<TextSpan> open_;  // the names of the elements open around i_
  std::vector<std::string_view> attributes_;
  std::unordered_set<std::string_view> seenAttributes_;
  Judgement result_;
};

}  // namespace

Judgement judgeWellFormedness(std::string_view text, std::vector<TextSpan>* blankText) {
  return Judge(text, blankText).run();
}

bool isValidName(std::string_view name) { return !name.empty() && nameLengthAt(name.data(), name.size(), 0) == name.size(); }

TextPosition positionOf(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  TextPosition position;
  position.line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  const std::size_t lineStart = before.rfind('\n');
  position.column = lineStart == std::string_view::npos ? offset + 1 : offset - lineStart;
  return position;
}

std::string describePosition(std::string_view text, std::size_t offset) {
  const TextPosition position = positionOf(text, offset);
  return "line " + std::to_string(position.line) + ", column " + std::to_string(position.column);
}

}  // namespace xmlsource
