#pragma once
// UTF-8 (how the program holds text) to UTF-16 (what the wide Win32 and COM interfaces take) and back,
// and the system's own words for an error.
// Windows build only; the platform layer and the DOM backend are the only users.
#include <string>
#include <string_view>

namespace platform::win32 {

// Invalid UTF-8 becomes U+FFFD; a zero byte becomes a zero unit.
std::wstring toWide(std::string_view text);
// A lone surrogate becomes U+FFFD; a zero unit becomes a zero byte.
std::string toUtf8(std::wstring_view text);
// The system's words for error `code` (FormatMessage) without the closing period and line break,
// or "system error N" when it has none.
std::string systemErrorText(unsigned long code);

}  // namespace platform::win32
