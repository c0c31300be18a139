#include "xmlio/XmlSource.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>

#include "platform/FileSystem.h"
#include "xmlio/Dom.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xmlsource {

namespace {

// The index of the first byte at or after `from` that is neither printable ASCII nor a tab or
// line end, or n. The character check runs over every byte of a document before pugixml parses it,
// so this, its common path, takes sixteen bytes at a time where the processor allows.
std::size_t skipPlainAscii(const std::uint8_t* p, std::size_t from, std::size_t n) {
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    // Bytes with the high bit set compare as negative, so they count as below the space too.
    const __m128i belowSpace = _mm_cmplt_epi8(v, space);
    const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lineFeed)),
                                         _mm_cmpeq_epi8(v, carriageReturn));
    if (_mm_movemask_epi8(_mm_andnot_si128(allowed, belowSpace)) != 0) break;
  }
#endif
  for (; i < n; ++i) {
    const std::uint8_t b = p[i];
    if (b >= 0x80 || (b < 0x20 && b != '\t' && b != '\n' && b != '\r')) return i;
  }
  return n;
}

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

// Whether a code point may appear in an XML document.
bool isXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

bool convertUtf16(const std::vector<std::uint8_t>& bytes, std::size_t start, bool bigEndian,
                  std::vector<std::uint8_t>& out, std::string& error) {
  if ((bytes.size() - start) % 2 != 0) {
    error = "UTF-16 text with an odd number of bytes";
    return false;
  }
  out.reserve((bytes.size() - start) / 2 * 3 / 2);
  auto unitAt = [&](std::size_t i) -> std::uint32_t {
    return bigEndian ? (std::uint32_t{bytes[i]} << 8) | bytes[i + 1] : (std::uint32_t{bytes[i + 1]} << 8) | bytes[i];
  };
  for (std::size_t i = start; i < bytes.size(); i += 2) {
    std::uint32_t c = unitAt(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
      const std::uint32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      error = "UTF-16 text with an unpaired surrogate";
      return false;
    }
    appendUtf8(out, c);
  }
  return true;
}

// The characters 0x80 to 0x9F of windows-1252; 0 where the code page has no character.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool convertSingleByte(const std::vector<std::uint8_t>& bytes, bool windows1252, std::vector<std::uint8_t>& out,
                       std::string& error) {
  out.reserve(bytes.size() + bytes.size() / 8);
  for (const std::uint8_t b : bytes) {
    std::uint32_t c = b;
    if (windows1252 && b >= 0x80 && b <= 0x9F) {
      c = kWindows1252High[b - 0x80];
      if (c == 0) {
        error = "a byte that windows-1252 does not define";
        return false;
      }
    }
    appendUtf8(out, c);
  }
  return true;
}

// The value of the encoding pseudo-attribute of a leading XML declaration, or an empty text.
std::string_view declaredEncoding(std::string_view text) {
  if (!startsWith(text, 0, "<?xml") || text.size() < 6 || !isXmlSpace(text[5])) return {};
  const std::size_t end = text.find("?>");
  const std::string_view declaration = text.substr(0, end);
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  at += 8;
  while (at < declaration.size() && isXmlSpace(declaration[at])) ++at;
  if (at >= declaration.size() || declaration[at] != '=') return {};
  ++at;
  while (at < declaration.size() && isXmlSpace(declaration[at])) ++at;
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
  const std::size_t close = declaration.find(declaration[at], at + 1);
  if (close == std::string_view::npos) return {};
  return declaration.substr(at + 1, close - at - 1);
}

}  // namespace

bool checkCharacters(std::string_view text, std::string& error) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  auto fail = [&](std::size_t at, const char* what) {
    error = describePosition(text, at) + ": " + what;
    return false;
  };
  for (std::size_t i = skipPlainAscii(p, 0, n); i < n; i = skipPlainAscii(p, i, n)) {
    const std::uint8_t b = p[i];
    if (b < 0x80) return fail(i, "a control character that XML does not allow");
    std::size_t length;
    std::uint32_t c;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
      c = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      c = b & 0x0Fu;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      c = b & 0x07u;
    } else {
      return fail(i, "invalid UTF-8");
    }
    if (n - i < length) return fail(i, "invalid UTF-8");
    for (std::size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return fail(i, "invalid UTF-8");
      c = (c << 6) | (p[i + k] & 0x3Fu);
    }
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return fail(i, "invalid UTF-8");
    if (!isXmlChar(c)) return fail(i, "a character that XML does not allow");
    i += length;
  }
  return true;
}

std::string describePosition(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const std::size_t line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  const std::size_t lineStart = before.rfind('\n');
  const std::size_t column = lineStart == std::string_view::npos ? offset + 1 : offset - lineStart;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool makeUtf8(std::vector<std::uint8_t>& bytes, std::string& error, bool* unsupportedEncoding) {
  if (unsupportedEncoding != nullptr) *unsupportedEncoding = false;
  const std::size_t n = bytes.size();
  auto at = [&](std::size_t i) -> int { return i < n ? bytes[i] : -1; };
  std::vector<std::uint8_t> converted;
  bool wasUtf16 = false;
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    bytes.erase(bytes.begin(), bytes.begin() + 3);
  } else if ((at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) ||
             (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) ||
             (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) == '<') ||
             (at(0) == '<' && at(1) == 0 && at(2) == 0 && at(3) == 0)) {
    error = "UTF-32 documents are not supported";
    return false;
  } else if ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF)) {
    if (!convertUtf16(bytes, 2, at(0) == 0xFE, converted, error)) return false;
    wasUtf16 = true;
  } else if ((at(0) == '<' && at(1) == 0 && at(2) == '?' && at(3) == 0) ||
             (at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) == '?')) {
    if (!convertUtf16(bytes, 0, at(0) == 0, converted, error)) return false;
    wasUtf16 = true;
  }
  if (wasUtf16) bytes.swap(converted);

  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::string_view encoding = declaredEncoding(text);
  if (wasUtf16) {
    if (!encoding.empty() && !equalsIgnoringCase(encoding.substr(0, 6), "UTF-16")) {
      error = "a UTF-16 document declares the encoding \"" + std::string(encoding) + "\"";
      return false;
    }
  } else if (encoding.empty() || equalsIgnoringCase(encoding, "UTF-8") || equalsIgnoringCase(encoding, "US-ASCII") ||
             equalsIgnoringCase(encoding, "ASCII")) {
    // Checked as UTF-8 below; ASCII is a part of it.
  } else if (equalsIgnoringCase(encoding, "ISO-8859-1") || equalsIgnoringCase(encoding, "latin1") ||
             equalsIgnoringCase(encoding, "windows-1252")) {
    if (!convertSingleByte(bytes, equalsIgnoringCase(encoding, "windows-1252"), converted, error)) return false;
    bytes.swap(converted);
  } else {
    error = "unsupported encoding \"" + std::string(encoding) + "\"";
    if (unsupportedEncoding != nullptr) *unsupportedEncoding = true;
    return false;
  }
  return checkCharacters(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

namespace {

// Whether the text at `at` ('&') is a reference to a predefined entity or to an XML character;
// `length` receives its length.
bool isWellFormedReference(std::string_view text, std::size_t at, std::size_t& length) {
  // A character reference may have any number of leading zeros, so the ';' is looked for past the
  // reference's own characters rather than within a fixed distance.
  std::size_t semicolon = at + 1;
  while (semicolon < text.size() && (std::isalnum(static_cast<unsigned char>(text[semicolon])) || text[semicolon] == '#'))
    ++semicolon;
  if (semicolon >= text.size() || text[semicolon] != ';') return false;
  const std::string_view name = text.substr(at + 1, semicolon - at - 1);
  length = semicolon - at + 1;
  if (name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot") return true;
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return false;
  std::uint32_t c = 0;
  for (const char d : digits) {
    std::uint32_t v;
    if (d >= '0' && d <= '9') {
      v = static_cast<std::uint32_t>(d - '0');
    } else if (hex && lower(d) >= 'a' && lower(d) <= 'f') {
      v = static_cast<std::uint32_t>(lower(d) - 'a' + 10);
    } else {
      return false;
    }
    c = c * (hex ? 16 : 10) + v;
    if (c > 0x10FFFF) return false;
  }
  return isXmlChar(c);
}

// The length of a document type declaration at `at` that only names the root ("<!DOCTYPE name>"),
// or 0 for any other: one with an internal subset or an external identifier declares something.
std::size_t bareDoctypeLength(std::string_view text, std::size_t at) {
  std::size_t i = at + 9;  // past "<!DOCTYPE"
  if (i >= text.size() || !isXmlSpace(text[i])) return 0;
  while (i < text.size() && isXmlSpace(text[i])) ++i;
  const std::size_t nameStart = i;
  while (i < text.size() && !isXmlSpace(text[i]) && text[i] != '>' && text[i] != '[') ++i;
  if (!isValidName(text.substr(nameStart, i - nameStart))) return 0;
  while (i < text.size() && isXmlSpace(text[i])) ++i;
  return i < text.size() && text[i] == '>' ? i + 1 - at : 0;
}

}  // namespace

MarkupCheck checkMarkup(std::string_view text, std::string& error, TextSpan* bareDoctype) {
  auto fail = [&](std::size_t at, const char* what) {
    error = describePosition(text, at) + ": " + what;
    return MarkupCheck::Refused;
  };
  bool doctypeSeen = false;
  // Structures left unterminated are pugixml's to report: the scan just stops there.
  const std::size_t n = text.size();
  const char* const p = text.data();
  std::size_t depth = 0;
  std::size_t rootElements = 0;
  std::size_t i = 0;
  // The markup is told apart by the character after '<', so that the common tags cost no search.
  while (i < n) {
    const char c = p[i];
    if (c == '<') {
      const char next = i + 1 < n ? p[i + 1] : '\0';
      if (next == '/') {
        if (depth > 0) --depth;
        std::size_t j = i + 2;
        while (j < n && p[j] != '>') ++j;
        i = j + 1;
      } else if (next == '!') {
        if (startsWith(text, i, "<!--")) {
          const std::size_t end = text.find("-->", i + 4);
          if (end == std::string_view::npos) return MarkupCheck::Passed;
          i = end + 3;
        } else if (startsWith(text, i, "<![CDATA[")) {
          if (depth == 0) return fail(i, "text outside the root element");
          const std::size_t end = text.find("]]>", i + 9);
          if (end == std::string_view::npos) return MarkupCheck::Passed;
          i = end + 3;
        } else if (startsWith(text, i, "<!DOCTYPE")) {
          // One that only names the root is read past (the parser skips it); one that declares
          // anything is declined: no entity is ever expanded and nothing external fetched.
          const std::size_t bare = bareDoctypeLength(text, i);
          if (bare == 0) {
            error = describePosition(text, i) + ": a document type declaration that declares something, which is not accepted";
            return MarkupCheck::Declined;
          }
          if (depth > 0 || rootElements > 0 || doctypeSeen) return fail(i, "a document type declaration out of place");
          doctypeSeen = true;
          if (bareDoctype != nullptr) *bareDoctype = TextSpan{i, bare};
          i += bare;
        } else {
          i += 2;  // pugixml refuses what else may follow "<!"
        }
      } else if (next == '?') {
        std::size_t targetEnd = i + 2;
        while (targetEnd < n && !isXmlSpace(p[targetEnd]) && p[targetEnd] != '?') ++targetEnd;
        if (i != 0 && equalsIgnoringCase(text.substr(i + 2, targetEnd - i - 2), "xml"))
          return fail(i, "an XML declaration after the start of the document");
        const std::size_t end = text.find("?>", i + 2);
        if (end == std::string_view::npos) return MarkupCheck::Passed;
        i = end + 2;
      } else {
        if (depth == 0 && ++rootElements > 1) return fail(i, "a second element outside the root element");
        std::size_t j = i + 1;
        for (; j < n && p[j] != '>'; ++j) {
          const char q = p[j];
          if (q != '"' && q != '\'') continue;
          const std::size_t close = text.find(q, j + 1);
          if (close == std::string_view::npos) return MarkupCheck::Passed;
          for (std::size_t k = j + 1; k < close; ++k) {
            std::size_t length = 0;
            if (p[k] == '<') return fail(k, "'<' in an attribute value");
            if (p[k] == '&' && !isWellFormedReference(text, k, length)) return fail(k, "an '&' that is not a reference");
          }
          j = close;
        }
        if (j >= n) return MarkupCheck::Passed;
        if (p[j - 1] != '/') ++depth;
        i = j + 1;
      }
    } else if (c == '&') {
      std::size_t length = 0;
      if (depth == 0) return fail(i, "text outside the root element");
      if (!isWellFormedReference(text, i, length)) return fail(i, "an '&' that is not a reference");
      i += length;
    } else if (depth > 0) {
      // Element content: only '<' and '&' matter.
      ++i;
      while (i < n && p[i] != '<' && p[i] != '&') ++i;
    } else {
      if (!isXmlSpace(c)) return fail(i, "text outside the root element");
      ++i;
    }
  }
  return MarkupCheck::Passed;
}

bool surelyPassesMarkupCheck(std::string_view text) {
  const std::size_t n = text.size();
  const char* const p = text.data();
  // Every '&' is a well-formed reference (one inside a comment may be anything: checkMarkup decides).
  for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
    std::size_t length = 0;
    if (!isWellFormedReference(text, at, length)) return false;
  }
  // No quoted text after an '=' (every attribute value, and perhaps some text) holds a '<'.
  for (std::size_t at = text.find('='); at != std::string_view::npos; at = text.find('=', at + 1)) {
    std::size_t open = at + 1;
    while (open < n && isXmlSpace(p[open])) ++open;
    if (open >= n || (p[open] != '"' && p[open] != '\'')) continue;
    const std::size_t close = text.find(p[open], open + 1);
    if (close == std::string_view::npos || text.substr(open + 1, close - open - 1).find('<') != std::string_view::npos)
      return false;
  }
  // Before the root: white space, comments and processing instructions, the declaration first.
  std::size_t i = 0;
  for (;;) {
    while (i < n && isXmlSpace(p[i])) ++i;
    if (i + 1 >= n || p[i] != '<') return false;
    if (p[i + 1] == '?') {
      if (i != 0 && equalsIgnoringCase(text.substr(i + 2, 3), "xml")) return false;
      const std::size_t end = text.find("?>", i + 2);
      if (end == std::string_view::npos) return false;
      i = end + 2;
    } else if (startsWith(text, i, "<!--")) {
      const std::size_t end = text.find("-->", i + 4);
      if (end == std::string_view::npos) return false;
      i = end + 3;
    } else if (p[i + 1] == '!') {
      return false;
    } else {
      break;
    }
  }
  // After the root, read backwards: white space, comments and processing instructions; then the
  // end of an element.
  std::size_t end = n;
  for (;;) {
    while (end > i && isXmlSpace(p[end - 1])) --end;
    if (end <= i || p[end - 1] != '>') return false;
    const std::string_view before = text.substr(0, end);
    if (before.ends_with("-->")) {
      end = before.rfind("<!--", end - 3);
    } else if (before.ends_with("?>")) {
      end = before.rfind("<?", end - 2);
      if (end != std::string_view::npos && equalsIgnoringCase(text.substr(end + 2, 3), "xml")) return false;
    } else {
      const std::size_t tagStart = before.rfind('<');
      if (tagStart == std::string_view::npos || tagStart + 1 >= end) return false;
      const char next = p[tagStart + 1];
      return next == '/' || (p[end - 2] == '/' && next != '!' && next != '?');
    }
    if (end == std::string_view::npos || end < i) return false;
  }
}

bool isValidName(std::string_view name) {
  if (name.empty()) return false;
  auto isStart = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80; };
  if (!isStart(static_cast<unsigned char>(name[0]))) return false;
  for (const char ch : name.substr(1)) {
    const auto c = static_cast<unsigned char>(ch);
    if (!isStart(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> readDocumentBytes(const std::string& path) {
  try {
    return platform::readWholeFile(path);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::vector<std::uint8_t>> copyDocumentBytes(std::string_view bytes) {
  try {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

MarkupCheck checkSource(std::vector<std::uint8_t>& bytes, std::string& error, TextSpan* bareDoctype) {
  bool unsupportedEncoding = false;
  if (!makeUtf8(bytes, error, &unsupportedEncoding)) return unsupportedEncoding ? MarkupCheck::Declined : MarkupCheck::Refused;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (surelyPassesMarkupCheck(text)) return MarkupCheck::Passed;
  return checkMarkup(text, error, bareDoctype);
}

namespace {

// Calls visit(name, value) for each pseudo-attribute of a declaration's data, in order, up to the
// first that is not name="value" or name='value'.
template <class Visit>
void forEachPseudoAttribute(std::string_view data, Visit visit) {
  std::size_t at = 0;
  while (true) {
    while (at < data.size() && isXmlSpace(data[at])) ++at;
    const std::size_t equals = data.find('=', at);
    if (equals == std::string_view::npos) return;
    std::size_t open = equals + 1;
    while (open < data.size() && isXmlSpace(data[open])) ++open;
    if (open >= data.size() || (data[open] != '\'' && data[open] != '"')) return;
    const std::size_t close = data.find(data[open], open + 1);
    if (close == std::string_view::npos) return;
    std::string_view name = data.substr(at, equals - at);
    while (!name.empty() && isXmlSpace(name.back())) name.remove_suffix(1);
    visit(name, data.substr(open + 1, close - open - 1));
    at = close + 1;
  }
}

}  // namespace

std::string declarationDeclaringUtf8(std::string_view data) {
  std::string text;
  forEachPseudoAttribute(data, [&](std::string_view name, std::string_view value) {
    if (!text.empty()) text += ' ';
    text.append(name).append("='").append(name == "encoding" ? std::string_view("UTF-8") : value).append("'");
  });
  return text;
}

bool declaresAnEncodingOtherThanUtf8(std::string_view data) {
  bool other = false;
  forEachPseudoAttribute(data, [&](std::string_view name, std::string_view value) {
    if (name == "encoding" && !equalsIgnoringCase(value, "UTF-8")) other = true;
  });
  return other;
}

std::string withoutBlankText(std::string_view text, TextSpan bareDoctype) {
  const std::size_t n = text.size();
  std::string out;
  out.reserve(n);
  std::size_t at = 0;
  if (startsWith(text, 0, "<?xml") && n > 5 && isXmlSpace(text[5])) {
    const std::size_t end = text.find("?>", 5);
    if (end != std::string_view::npos) {
      out.append("<?xml ").append(declarationDeclaringUtf8(text.substr(5, end - 5))).append("?>");
      at = end + 2;
    }
  }
  // Just after the first `close` from `from` on, or the end of the text.
  const auto after = [&](std::size_t from, std::string_view close) {
    const std::size_t found = text.find(close, from);
    return found == std::string_view::npos ? n : found + close.size();
  };
  while (at < n) {
    if (text[at] != '<') {
      const std::size_t end = std::min(text.find('<', at), n);
      std::size_t blank = at;
      while (blank < end && isXmlSpace(text[blank])) ++blank;
      if (blank != end) out.append(text, at, end - at);
      at = end;
      continue;
    }
    if (bareDoctype.length > 0 && at == bareDoctype.at) {
      at += bareDoctype.length;
      continue;
    }
    std::size_t end;
    if (startsWith(text, at, "<!--")) {
      end = after(at + 4, "-->");
    } else if (startsWith(text, at, "<![CDATA[")) {
      end = after(at + 9, "]]>");
    } else if (startsWith(text, at, "<?")) {
      end = after(at + 2, "?>");
    } else {
      // A tag: up to the first '>' outside a quoted attribute value.
      end = at + 1;
      while (end < n && text[end] != '>') {
        if (text[end] == '"' || text[end] == '\'') {
          const std::size_t close = text.find(text[end], end + 1);
          end = close == std::string_view::npos ? n : close;
        }
        if (end < n) ++end;
      }
      end = std::min(end + 1, n);
    }
    out.append(text, at, end - at);
    at = end;
  }
  return out;
}

}  // namespace xmlsource
