#pragma once
// UTF-8 / UTF-16 helpers and the case-insensitive comparison that Windows applies to registry names
// and file names. POSIX build only.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::text {

// UTF-16 code units to UTF-8, as WideCharToMultiByte(CP_UTF8) does: a lone surrogate becomes U+FFFD,
// a zero unit becomes a zero byte.
std::string utf16ToUtf8(const std::vector<std::uint16_t>& units);

// UTF-8 to UTF-16 code units; an invalid byte becomes U+FFFD.
std::vector<std::uint16_t> utf8ToUtf16(std::string_view text);

// The upper-case form used to compare names case-insensitively: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic letters are folded; bytes that are not valid UTF-8 are kept as they are.
std::string foldCase(std::string_view name);

// True when the two names are equal ignoring case as above.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace platform::text
