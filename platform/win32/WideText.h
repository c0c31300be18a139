#pragma once
// UTF-8 (how the program holds text) to UTF-16 (what the wide Win32 and COM interfaces take) and back.
// Windows build only; the platform layer and the DOM backend are the only users.
#include <string>
#include <string_view>

namespace platform::win32 {

// Invalid UTF-8 becomes U+FFFD; a zero byte becomes a zero unit.
std::wstring toWide(std::string_view text);
// A lone surrogate becomes U+FFFD; a zero unit becomes a zero byte.
std::string toUtf8(std::wstring_view text);

}  // namespace platform::win32
