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

// The place of a judgement on the whole document (its encoding) rather than on one spot of it.
constexpr std::size_t kNoPlace = static_cast<std::size_t>(-1);

Judgement checkCharacters(std::string_view text) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = skipPlainAscii(p, 0, n); i < n; i = skipPlainAscii(p, i, n)) {
    const std::uint8_t b = p[i];
    if (b == 0) return Judgement::notWellFormed(i, "a zero byte");
    if (b < 0x80) return Judgement::notWellFormed(i, "a control character that XML does not allow");
    std::size_t length = 0;
    const std::uint32_t c = decodeUtf8At(text.data(), n, i, length);
    if (length == 0) return Judgement::notWellFormed(i, "invalid UTF-8");
    if (!isXmlChar(c)) return Judgement::notWellFormed(i, "a character that XML does not allow");
    i += length;
  }
  return {};
}

Judgement makeUtf8(std::vector<std::uint8_t>& bytes) {
  const std::size_t n = bytes.size();
  auto at = [&](std::size_t i) -> int { return i < n ? bytes[i] : -1; };
  // Whatever stands in the way of reading the characters (an encoding this program does not read, a
  // byte the declared encoding does not define) leaves the content unknown, not bad.
  std::string error;
  auto declined = [&error](std::string what) { return Judgement::declined(kNoPlace, what.empty() ? error : what); };
  std::vector<std::uint8_t> converted;
  bool wasUtf16 = false;
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    bytes.erase(bytes.begin(), bytes.begin() + 3);
  } else if ((at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) ||
             (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) ||
             (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) == '<') ||
             (at(0) == '<' && at(1) == 0 && at(2) == 0 && at(3) == 0)) {
    return declined("UTF-32, an encoding this program does not read");
  } else if ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF)) {
    if (!convertUtf16(bytes, 2, at(0) == 0xFE, converted, error)) return declined({});
    wasUtf16 = true;
  } else if ((at(0) == '<' && at(1) == 0 && at(2) == '?' && at(3) == 0) ||
             (at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) == '?')) {
    if (!convertUtf16(bytes, 0, at(0) == 0, converted, error)) return declined({});
    wasUtf16 = true;
  }
  if (wasUtf16) bytes.swap(converted);

  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::string_view encoding = declaredEncoding(text);
  if (wasUtf16) {
    if (!encoding.empty() && !equalsIgnoringCase(encoding.substr(0, 6), "UTF-16"))
      return declined("a UTF-16 document that declares the encoding \"" + std::string(encoding) + "\"");
  } else if (encoding.empty() || equalsIgnoringCase(encoding, "UTF-8")) {
    // Checked as UTF-8 below.
  } else if (equalsIgnoringCase(encoding, "US-ASCII") || equalsIgnoringCase(encoding, "ASCII")) {
    if (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; }))
      return declined("a byte that US-ASCII does not define");
  } else if (equalsIgnoringCase(encoding, "ISO-8859-1") || equalsIgnoringCase(encoding, "latin1") ||
             equalsIgnoringCase(encoding, "windows-1252")) {
    if (!convertSingleByte(bytes, equalsIgnoringCase(encoding, "windows-1252"), converted, error)) return declined({});
    bytes.swap(converted);
  } else {
    return declined("the encoding \"" + std::string(encoding) + "\", which this program does not read");
  }
  return checkCharacters(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

namespace {

// Reads the file whole, unless its size says it is beyond the bound: then nothing is read. A file
// that grows while it is read is read on, up to the bound.
JudgedDocument readBounded(const std::string& path, std::vector<std::uint8_t>& bytes) {
  JudgedDocument refused;
  auto unreadable = [&refused](const platform::FileResult& cause) {
    const std::string& why = cause.reason;
    refused.verdict = dom::LoadResult::failure(dom::LoadStatus::Unreadable,
                                               why.empty() ? "cannot read the file" : "cannot read the file: " + why);
    return refused;
  };
  const platform::OpenedFile opened = platform::openFileForReading(path);
  if (!opened) return unreadable(opened);
  platform::File& file = *opened.value;
  const platform::FileValue<std::uint64_t> size = file.size();
  if (!size) return unreadable(size);
  if (size.value > kMaxDocumentBytes) {
    refused.verdict = dom::LoadResult::failure(dom::LoadStatus::Declined, tooLargeReason());
    return refused;
  }
  // One byte more than the size, to tell the end from a file that grew.
  bytes.resize(static_cast<std::size_t>(size.value) + 1);
  std::size_t filled = 0;
  while (true) {
    const platform::FileValue<std::size_t> read = file.read(bytes.data() + filled, bytes.size() - filled);
    if (!read) return unreadable(read);
    filled += read.value;
    if (read.value == 0) break;
    if (filled > kMaxDocumentBytes) {
      refused.verdict = dom::LoadResult::failure(dom::LoadStatus::Declined, tooLargeReason());
      return refused;
    }
    if (filled == bytes.size()) bytes.resize(std::min(bytes.size() * 2, kMaxDocumentBytes + 1));
  }
  bytes.resize(filled);
  return refused;
}

JudgedDocument outOfMemory() {
  JudgedDocument unread;
  unread.verdict = dom::LoadResult::failure(dom::LoadStatus::OutOfMemory, "out of memory");
  return unread;
}

// The verdict on bytes that could be had: the characters, then the markup.
JudgedDocument judge(std::vector<std::uint8_t> bytes, BlankText blankText) {
  JudgedDocument judged;
  Judgement judgement = makeUtf8(bytes);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (judgement.wellFormed())
    judgement = judgeWellFormedness(text, blankText == BlankText::Listed ? &judged.blankText : nullptr);
  switch (judgement.kind) {
    case Judgement::Kind::WellFormed:
      judged.text = std::move(bytes);
      judged.bareDoctype = judgement.bareDoctype;
      judged.encodingName = judgement.encodingName;
      return judged;
    case Judgement::Kind::NotWellFormed: {
      const TextPosition place = positionOf(text, judgement.at);
      judged.verdict = dom::LoadResult{dom::LoadStatus::NotWellFormed,
                                       describePosition(text, judgement.at) + ": " + judgement.what, place.line,
                                       place.column};
      return judged;
    }
    case Judgement::Kind::Declined:
      judged.verdict = dom::LoadResult::failure(
          dom::LoadStatus::Declined,
          judgement.at == kNoPlace ? judgement.what : describePosition(text, judgement.at) + ": " + judgement.what);
      return judged;
  }
  return judged;
}

}  // namespace

std::string tooLargeReason() {
  return "larger than " + std::to_string(kMaxDocumentBytes >> 20) + " MiB, far more than any description holds";
}

JudgedDocument judgeFile(const std::string& path, BlankText blankText) {
  try {
    std::vector<std::uint8_t> bytes;
    JudgedDocument read = readBounded(path, bytes);
    if (!read.verdict) return read;
    return judge(std::move(bytes), blankText);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
}

JudgedDocument judgeBytes(std::string_view bytes, BlankText blankText) {
  if (bytes.size() > kMaxDocumentBytes) {
    JudgedDocument refused;
    refused.verdict = dom::LoadResult::failure(dom::LoadStatus::Declined, tooLargeReason());
    return refused;
  }
  try {
    return judge(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), blankText);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
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

std::string withoutBlankText(const JudgedDocument& judged) {
  const std::string_view text(reinterpret_cast<const char*>(judged.text.data()), judged.text.size());
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  // Copies up to `span`, then `replacement` in its place.
  const auto replace = [&](TextSpan span, std::string_view replacement) {
    out.append(text, at, span.at - at).append(replacement);
    at = span.at + span.length;
  };
  if (judged.encodingName.length > 0) replace(judged.encodingName, "UTF-8");
  for (const TextSpan& blank : judged.blankText) {
    if (judged.bareDoctype.length > 0 && at <= judged.bareDoctype.at && judged.bareDoctype.at < blank.at)
      replace(judged.bareDoctype, {});
    replace(blank, {});
  }
  if (judged.bareDoctype.length > 0 && at <= judged.bareDoctype.at) replace(judged.bareDoctype, {});
  out.append(text, at, std::string_view::npos);
  return out;
}

}  // namespace xmlsource
