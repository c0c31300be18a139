#include "platform/win32/WideText.h"

#include <windows.h>

#include <climits>
#include <string>

namespace platform::win32 {

std::wstring toWide(std::string_view text) {
  if (text.empty()) return {};
  // Texts of the program are short; one beyond INT_MAX bytes cannot be handed to the API at all.
  if (text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), units);
  return wide;
}

std::string toUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

std::string systemErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  if (message.empty()) return "system error " + std::to_string(code);
  return toUtf8(message);
}

}  // namespace platform::win32
