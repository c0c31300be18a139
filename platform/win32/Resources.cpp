// The program's own resources: embedded files of type "BIN" and the string table, both compiled from
// the resource script that the build generates (see Sources.cmake).
#include <windows.h>

#include "platform/Resources.h"
#include "platform/win32/WideText.h"

namespace platform {

EmbeddedFile findEmbeddedFile(int resourceId) {
  HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), L"BIN");
  if (resource == nullptr) return {};
  const DWORD size = SizeofResource(nullptr, resource);
  HGLOBAL loaded = LoadResource(nullptr, resource);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr && size > 0) return {ResourceStatus::LoadFailed, nullptr, 0};
  return {ResourceStatus::Found, static_cast<const std::uint8_t*>(data), size};
}

void releaseEmbeddedFile(const EmbeddedFile& file) {
  if (file.data == nullptr || file.size == 0) return;
  // Unlocking pages that are not locked takes them out of the working set; it reports
  // ERROR_NOT_LOCKED, which is expected here.
  VirtualUnlock(const_cast<std::uint8_t*>(file.data), file.size);
}

// A string table resource holds blocks of 16 counted UTF-16 strings; block n + 1 holds ids 16n to
// 16n + 15, and an id without a text has the length 0.
std::optional<std::string> loadString(int id) {
  if (id < 0 || id > 0xFFFF) return std::nullopt;
  HRSRC block = FindResourceW(nullptr, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
  if (block == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, block);
  const auto* units = loaded != nullptr ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (units == nullptr) return std::nullopt;
  const std::size_t available = SizeofResource(nullptr, block) / sizeof(WCHAR);
  std::size_t at = 0;
  for (int entry = 0; entry < id % 16; ++entry) {
    if (at >= available) return std::nullopt;
    at += 1 + units[at];
  }
  if (at >= available || units[at] == 0 || at + 1 + units[at] > available) return std::nullopt;
  return win32::toUtf8(std::wstring_view(units + at + 1, units[at]));
}

}  // namespace platform
