#include "platform/posix/Text.h"

namespace platform::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[pos]; advances pos. Returns false (pos advanced by one) for a
// byte that does not start a valid, shortest-form sequence.
bool decodeUtf8(std::string_view text, std::size_t& pos, char32_t& cp) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return false;
  }
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return false;
    }
    value = (value << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return false;
  }
  pos += length;
  cp = value;
  return true;
}

char32_t toUpper(char32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 0x20;
  if (cp < 0x80) return cp;
  if (cp == 0xFF) return 0x178;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;           // Latin-1
  if (cp >= 0x100 && cp <= 0x17F) {                                          // Latin Extended-A
    bool pairsEvenOdd = (cp <= 0x137) || (cp >= 0x14A && cp <= 0x177);
    if (pairsEvenOdd) return (cp & 1) ? cp - 1 : cp;
    if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) return (cp & 1) ? cp : cp - 1;
    return cp;
  }
  if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 0x20;          // Greek
  if (cp >= 0x430 && cp <= 0x44F) return cp - 0x20;                          // Cyrillic
  if (cp >= 0x450 && cp <= 0x45F) return cp - 0x50;
  return cp;
}

}  // namespace

std::string utf16ToUtf8(const std::vector<std::uint16_t>& units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::vector<std::uint16_t> utf8ToUtf16(std::string_view text) {
  std::vector<std::uint16_t> units;
  units.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = 0;
    if (!decodeUtf8(text, pos, cp)) cp = kReplacement;
    if (cp >= 0x10000) {
      units.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      units.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<std::uint16_t>(cp));
    }
  }
  return units;
}

std::string foldCase(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t pos = 0; pos < name.size();) {
    std::size_t start = pos;
    char32_t cp = 0;
    if (decodeUtf8(name, pos, cp)) {
      appendUtf8(out, toUpper(cp));
    } else {
      out += name[start];
    }
  }
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) { return foldCase(a) == foldCase(b); }

}  // namespace platform::text
