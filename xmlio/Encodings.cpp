#include "xmlio/Encodings.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "platform/Resources.h"

namespace {

// The slot names as the string table holds them; used when an entry is missing from the table.
constexpr std::array<const char*, kLanguageCount> kBuiltInLanguageNames = {
    "English", "Chinese_Simplified", "Chinese_Traditional", "French",  "German",
    "Italian", "Japanese",           "Korean",              "Portuguese", "Spanish",
    "Russian", "Turkish",            "Arabic"};
// String ids of the slot names: 1 to 10 for slots 0 to 9, then 14, 15, 16.
constexpr std::array<int, kLanguageCount> kLanguageNameIds = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 14, 15, 16};

// White space as the classic locale's isspace sees it.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipSpace(std::string_view text, std::size_t i) {
  while (i < text.size() && isSpace(text[i])) ++i;
  return i;
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && isDigit(text[i])) ++i;
  return i;
}

// The value of text that starts (after its sign) with plain decimal digits and an optional '.'
// and fraction, not followed by an exponent, when it can be had exactly and fast, as nearly every
// value of a description can: up to 15 digits make an exact integer, and dividing it by an exact
// power of ten up to 1e15 rounds correctly. False otherwise.
bool plainDecimal(const char* p, const char* end, double& value) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* const start = p;
  std::uint64_t mantissa = 0;
  while (p != end && isDigit(*p)) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p++ - '0');
  const char* const integerEnd = p;
  const char* fractionStart = p;
  if (p != end && *p == '.') {
    fractionStart = ++p;
    while (p != end && isDigit(*p)) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p++ - '0');
  }
  const std::ptrdiff_t fractionDigits = p - fractionStart;
  const std::ptrdiff_t digitCount = (integerEnd - start) + fractionDigits;
  if (digitCount == 0 || digitCount > 15 || (p != end && (*p == 'e' || *p == 'E'))) return false;
  value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  return true;
}

}  // namespace

const std::string& languageName(int slot) {
  static const std::array<std::string, kLanguageCount> names = [] {
    std::array<std::string, kLanguageCount> loaded;
    for (int i = 0; i < kLanguageCount; ++i) {
      std::optional<std::string> entry = platform::loadString(kLanguageNameIds[i]);
      loaded[i] = entry && !entry->empty() ? std::move(*entry) : kBuiltInLanguageNames[i];
    }
    return loaded;
  }();
  if (slot < 0 || slot >= kLanguageCount) throw std::out_of_range("languageName(): no such language slot");
  return names[static_cast<std::size_t>(slot)];
}

// ---- Repairs -----------------------------------------------------------------------------------------

namespace {
std::vector<std::string>*& repairNotes() {
  thread_local std::vector<std::string>* notes = nullptr;
  return notes;
}
}  // namespace

void setRepairNotes(std::vector<std::string>* notes) { repairNotes() = notes; }

void noteRepair(std::string_view what) {
  if (repairNotes() != nullptr) repairNotes()->emplace_back(what);
}

// ---- Text rules ------------------------------------------------------------------------------------

std::int32_t parseInt(std::string_view text) {
  std::size_t i = skipSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulated as a negative number so that INT32_MIN fits; stops growing once out of range.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kLimit) magnitude = kLimit + 1;  // saturated; further digits change nothing
  }
  if (magnitude >= kLimit && !(negative && magnitude == kLimit))
    noteRepair("the integer \"" + std::string(text.substr(0, 40)) + "\" saturated to " + (negative ? "-2147483648" : "2147483647"));
  if (negative) return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                           : static_cast<std::int32_t>(-magnitude);
  return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(magnitude);
}

double parseFloat(std::string_view text) {
  const std::size_t start = skipSpace(text, 0);
  std::size_t i = start;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (double plain; plainDecimal(text.data() + i, text.data() + text.size(), plain)) return negative ? -plain : plain;
  const std::size_t digitsStart = i;
  const std::size_t intEnd = skipDigits(text, i);
  std::size_t end = intEnd;
  std::size_t fractionEnd = intEnd;
  if (end < text.size() && text[end] == '.') fractionEnd = skipDigits(text, end + 1);
  const bool hasIntDigits = intEnd > digitsStart;
  const bool hasFractionDigits = fractionEnd > intEnd + 1;
  if (!hasIntDigits && !hasFractionDigits) return 0.0;
  end = fractionEnd;
  // The exponent counts only when at least one digit follows 'e' and its sign.
  std::int64_t exponent = 0;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t e = end + 1;
    bool negativeExponent = false;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) negativeExponent = text[e++] == '-';
    const std::size_t exponentEnd = skipDigits(text, e);
    if (exponentEnd > e) {
      for (std::size_t k = e; k < exponentEnd; ++k) exponent = std::min<std::int64_t>(exponent * 10 + (text[k] - '0'), 100000);
      if (negativeExponent) exponent = -exponent;
      end = exponentEnd;
    }
  }
  double value = 0.0;
  const char* first = text.data() + digitsStart;
  const char* last = text.data() + end;
  const auto [ptr, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Overflow gives infinity, underflow zero, as strtod does. The decimal magnitude of the first
    // significant digit tells which.
    std::int64_t magnitude = exponent;
    std::size_t k = digitsStart;
    while (k < intEnd && text[k] == '0') ++k;
    if (k < intEnd) {
      magnitude += static_cast<std::int64_t>(intEnd - k) - 1;
    } else {
      std::size_t f = intEnd + 1;
      while (f < fractionEnd && text[f] == '0') ++f;
      magnitude -= static_cast<std::int64_t>(f - intEnd);
    }
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc() || ptr == first) {
    value = 0.0;
  }
  return negative ? -value : value;
}

namespace {

// "%.*f" of a finite value below 2^53 with `Precision` (up to 3) decimals, the form of nearly every
// saved value, written exactly without the general conversion: the value is mantissa x 2^exponent,
// so mantissa x 10^Precision (below 2^63) shifted right by -exponent is the scaled value, rounded
// half to even as printf rounds. Returns the length written, or 0 when the value is not of that kind.
template <int Precision>
std::size_t formatSmallFixed(double value, char* out) {
  static_assert(Precision >= 0 && Precision <= 3);
  constexpr std::uint64_t kScale = Precision == 0 ? 1 : Precision == 1 ? 10 : Precision == 2 ? 100 : 1000;
  if (!std::isfinite(value)) return 0;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const auto biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;  // of a subnormal
  if (biasedExponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biasedExponent - 1075;
  }
  if (exponent > 0) return 0;  // 2^53 or more
  const std::uint64_t scaled = mantissa * kScale;
  std::uint64_t rounded = 0;
  const int shift = -exponent;
  if (shift == 0) {
    rounded = scaled;
  } else if (shift < 64) {
    rounded = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (rounded & 1) != 0)) ++rounded;
  }  // else the scaled value is below one half: it rounds to 0
  char* p = out;
  if (negative) *p++ = '-';
  p = std::to_chars(p, p + 24, rounded / kScale).ptr;
  if constexpr (Precision > 0) {
    *p++ = '.';
    std::uint64_t fraction = rounded % kScale;
    for (int digit = Precision - 1; digit >= 0; --digit) {
      p[digit] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    p += Precision;
  }
  return static_cast<std::size_t>(p - out);
}

std::size_t formatSmallFixed(double value, int precision, char* out) {
  switch (precision) {
    case 0: return formatSmallFixed<0>(value, out);
    case 1: return formatSmallFixed<1>(value, out);
    case 2: return formatSmallFixed<2>(value, out);
    case 3: return formatSmallFixed<3>(value, out);
    default: return 0;
  }
}

// Fixed notation of any double needs at most 309 integer digits, the sign, the point and the decimals.
constexpr std::size_t kFormattedFloatCapacity = 420;

// "%.*f" of `value` into `buffer`; the length written.
std::size_t formatFloatInto(double value, int precision, char (&buffer)[kFormattedFloatCapacity]) {
  if (precision < 0) precision = 0;
  if (precision > 100) precision = 100;
  if (const std::size_t length = formatSmallFixed(value, precision, buffer)) return length;
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (error != std::errc()) throw std::runtime_error("formatFloat(): value cannot be formatted");
  return static_cast<std::size_t>(end - buffer);
}

}  // namespace

std::string formatFloat(double value, int precision) {
  char buffer[kFormattedFloatCapacity];
  return std::string(buffer, formatFloatInto(value, precision, buffer));
}

double writableFloat(double value) {
  if (std::isnan(value)) return 0.0;
  if (std::isinf(value)) return std::copysign(DBL_MAX, value);
  return value;
}

float narrowToFloat(double value) {
  if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
  if (value > FLT_MAX) return std::numeric_limits<float>::infinity();
  if (value < -FLT_MAX) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// ---- Writers ---------------------------------------------------------------------------------------

dom::Node writeStringElement(Placement where, std::string_view name, std::string_view value) {
  dom::Node element = where.createElement(name);
  element.setValue(value);
  return element;
}

dom::Node writeIntElement(Placement where, std::string_view name, std::int32_t value) {
  char buffer[16];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return writeStringElement(where, name, std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

dom::Node writeFloatElement(Placement where, std::string_view name, double value, int precision) {
  char buffer[kFormattedFloatCapacity];
  const std::size_t length = formatFloatInto(writableFloat(value), precision, buffer);
  return writeStringElement(where, name, std::string_view(buffer, length));
}

dom::Node writeBoolElement(Placement where, std::string_view name, bool value) {
  return writeStringElement(where, name, value ? "true" : "false");
}

dom::Node writeLanguageText(Placement where, std::string_view name, const LanguageText& text) {
  dom::Node container = where.createElement(name);
  for (int slot = 0; slot < kLanguageCount; ++slot) {
    // An untranslated slot repeats the English text, so a file always holds all thirteen.
    const std::string& slotText = text[static_cast<std::size_t>(slot)];
    writeStringElement(where.inside(container), languageName(slot), slotText.empty() ? text[0] : slotText);
  }
  return container;
}

dom::Node writeTimeStamp(Placement where, std::string_view name, const TimeStamp& stamp) {
  dom::Node container = where.createElement(name);
  const Placement inside = where.inside(container);
  writeIntElement(inside, "year", stamp.year);
  writeIntElement(inside, "month", stamp.month);
  writeIntElement(inside, "day", stamp.day);
  writeIntElement(inside, "hour", stamp.hour);
  writeIntElement(inside, "minute", stamp.minute);
  writeIntElement(inside, "second", stamp.second);
  writeIntElement(inside, "ms", stamp.ms);
  return container;
}

dom::Node writeIntAttribute(dom::Document& doc, std::string_view name, std::int32_t value) {
  dom::Node attribute = doc.createAttribute(name);
  attribute.setValue(std::to_string(value));
  return attribute;
}

// ---- Readers ---------------------------------------------------------------------------------------

namespace {

// The value of `node` as a view, through one buffer per thread reused by every reader that only
// parses the value, so that reading a number copies nothing.
std::string_view parsedValue(const dom::Node& node) {
  thread_local std::string buffer;
  return node.value(buffer);
}

}  // namespace

std::int32_t readIntValue(const dom::Node& node) { return parseInt(parsedValue(node)); }

double readFloatValue(const dom::Node& node) { return parseFloat(parsedValue(node)); }

bool readBoolValue(const dom::Node& node) { return parsedValue(node) == "true"; }

std::string readStringValue(const dom::Node& node) { return node.value(); }

void readLanguageText(const dom::Node& container, LanguageText& text) {
  // The slots nearly always come in order: the search starts after the slot of the child before.
  int expected = 0;
  forEachChild(container, [&](const dom::Node& child) {
    for (int tried = 0; tried < kLanguageCount; ++tried) {
      const int slot = (expected + tried) % kLanguageCount;
      if (child.hasName(languageName(slot))) {
        text[static_cast<std::size_t>(slot)] = child.value();
        expected = slot + 1;
        return;
      }
    }
  });
}

void readTimeStamp(const dom::Node& container, TimeStamp& stamp) {
  PositionalReader children(container);
  // Each value is read as a 32-bit integer and keeps only the low bits of its field's width.
  stamp.year = static_cast<std::uint16_t>(readIntValue(children.next()));
  stamp.month = static_cast<std::uint8_t>(readIntValue(children.next()));
  stamp.day = static_cast<std::uint8_t>(readIntValue(children.next()));
  stamp.hour = static_cast<std::uint8_t>(readIntValue(children.next()));
  stamp.minute = static_cast<std::uint8_t>(readIntValue(children.next()));
  stamp.second = static_cast<std::uint8_t>(readIntValue(children.next()));
  stamp.ms = static_cast<std::uint16_t>(readIntValue(children.next()));
}

std::int32_t readIntAttribute(const dom::Node& element, std::string_view name) {
  if (!element) throw dom::Error(dom::kInvalidPointer);
  const dom::Node attribute = element.attribute(name);
  return attribute ? parseInt(parsedValue(attribute)) : -1;
}

// ---- Escaped strings -------------------------------------------------------------------------------

std::string encodeEscapedString(std::string_view bytes) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    const bool copied = b >= 0x20 && b <= 0x7E && b != '"' && b != '&' && b != '\'' && b != '<' && b != '>' &&
                        b != '\\';
    if (copied) {
      text += c;
    } else {
      text += "\\x";
      text += kHexDigits[b >> 4];
      text += kHexDigits[b & 0x0F];
    }
  }
  return text;
}

std::string decodeEscapedString(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    if (text[i] != '\\') {
      bytes += text[i++];
      continue;
    }
    if (i + 1 >= n) throw std::runtime_error("decodeEscapedString(): invalid source string");
    if (text[i + 1] != 'x') throw std::runtime_error("decodeEscapedString(): unrecognized escape sequence");
    if (i + 3 >= n) throw std::runtime_error("decodeEscapedString(): invalid source string");
    // strtol in base 16 over exactly the two characters: it stops at the first non-digit, so
    // "\xZZ" gives 0 and "\x4G" gives 4; the byte is the low 8 bits.
    const char pair[3] = {text[i + 2], text[i + 3], '\0'};
    const long value = std::strtol(pair, nullptr, 16);
    bytes += static_cast<char>(static_cast<unsigned char>(value & 0xFF));
    i += 4;
  }
  return bytes;
}

// ---- Base64 ----------------------------------------------------------------------------------------

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of a character: '=' counts as 0 and a character outside the alphabet as 63.
constexpr std::array<std::uint8_t, 256> makeBase64Values() {
  std::array<std::uint8_t, 256> values{};
  for (auto& v : values) v = 63;
  for (std::uint8_t i = 0; i < 64; ++i) values[static_cast<unsigned char>(kBase64Alphabet[i])] = i;
  values['='] = 0;
  return values;
}
constexpr std::array<std::uint8_t, 256> kBase64Values = makeBase64Values();

}  // namespace

int CBase64::Encode(const std::uint8_t* data, std::uint64_t length, std::string& text) const {
  if (data == nullptr && length != 0) return 1;
  const std::uint64_t groups = length / 3 + (length % 3 != 0 ? 1 : 0);
  if (groups > (std::numeric_limits<std::size_t>::max() - 1) / 4) return 2;
  std::string out;
  try {
    out.resize(static_cast<std::size_t>(groups * 4));
  } catch (const std::exception&) {
    return 3;
  }
  std::size_t o = 0;
  std::uint64_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const std::uint32_t triple = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
    out[o++] = kBase64Alphabet[(triple >> 18) & 0x3F];
    out[o++] = kBase64Alphabet[(triple >> 12) & 0x3F];
    out[o++] = kBase64Alphabet[(triple >> 6) & 0x3F];
    out[o++] = kBase64Alphabet[triple & 0x3F];
  }
  const std::uint64_t rest = length - i;
  if (rest != 0) {
    const std::uint32_t triple = (std::uint32_t{data[i]} << 16) | (rest == 2 ? std::uint32_t{data[i + 1]} << 8 : 0);
    out[o++] = kBase64Alphabet[(triple >> 18) & 0x3F];
    out[o++] = kBase64Alphabet[(triple >> 12) & 0x3F];
    out[o++] = rest == 2 ? kBase64Alphabet[(triple >> 6) & 0x3F] : '=';
    out[o++] = '=';
  }
  text = std::move(out);
  return 0;
}

int CBase64::Decode(const char* text, std::uint64_t length, std::vector<std::uint8_t>& data) const {
  if (text == nullptr && length != 0) return 1;
  // A text whose length is not a multiple of 4 was not made by Encode (cut or hand-edited): its
  // trailing partial group cannot be decoded, so the whole text is reported as unreadable.
  if (length % 4 != 0) return 2;
  std::uint64_t padding = 0;
  while (padding < 3 && padding < length && text[length - 1 - padding] == '=') ++padding;
  const std::uint64_t decodedLength = length / 4 * 3 - padding;
  std::vector<std::uint8_t> out;
  try {
    out.resize(static_cast<std::size_t>(length / 4 * 3));
  } catch (const std::exception&) {
    return 3;
  }
  std::size_t o = 0;
  for (std::uint64_t i = 0; i < length; i += 4) {
    const std::uint32_t quad = (std::uint32_t{kBase64Values[static_cast<unsigned char>(text[i])]} << 18) |
                               (std::uint32_t{kBase64Values[static_cast<unsigned char>(text[i + 1])]} << 12) |
                               (std::uint32_t{kBase64Values[static_cast<unsigned char>(text[i + 2])]} << 6) |
                               kBase64Values[static_cast<unsigned char>(text[i + 3])];
    out[o++] = static_cast<std::uint8_t>(quad >> 16);
    out[o++] = static_cast<std::uint8_t>(quad >> 8);
    out[o++] = static_cast<std::uint8_t>(quad);
  }
  out.resize(static_cast<std::size_t>(decodedLength));
  data = std::move(out);
  return 0;
}
