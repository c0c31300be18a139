// The real registry through the wide API. HKEY_LOCAL_MACHINE is read in the 32-bit view, where the
// host's 32-bit installer wrote its keys on 64-bit Windows; the classes root and the current user
// are read as this process sees them, so that a class registration names a library of its own
// width. String data is handed out as UTF-8 with its terminating zero, as the program holds text.
#include <windows.h>

#include <vector>

#include "platform/Registry.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  QueryStatus query(std::string_view name, std::uint8_t* buffer, std::uint32_t& size,
                    std::uint32_t& type) const override {
    std::vector<BYTE> data;
    DWORD valueType = REG_NONE;
    if (!readValue(win32::toWide(name), data, valueType)) return QueryStatus::NotFound;
    if (isStringType(valueType)) data = utf8Of(data);
    type = valueType;
    const auto needed = static_cast<std::uint32_t>(data.size());
    if (buffer != nullptr && needed > size) {
      size = needed;
      return QueryStatus::MoreData;
    }
    if (buffer != nullptr && needed > 0) std::copy(data.begin(), data.end(), buffer);
    size = needed;
    return QueryStatus::Ok;
  }

 private:
  // The whole value, however large; false when there is no such value.
  bool readValue(const std::wstring& name, std::vector<BYTE>& data, DWORD& type) const {
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      data.resize(size);
      status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, data.data(), &size);
      if (status == ERROR_SUCCESS) {
        data.resize(size);
        return true;
      }
    }
    return false;
  }

  // UTF-16 string data as UTF-8, ending in exactly the zeros it had (one added when it had none).
  static std::vector<BYTE> utf8Of(const std::vector<BYTE>& data) {
    std::wstring units(data.size() / 2, L'\0');
    std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(units.size() * 2),
              reinterpret_cast<BYTE*>(units.data()));
    if (units.empty() || units.back() != L'\0') units.push_back(L'\0');
    std::string utf8 = win32::toUtf8(units);
    return std::vector<BYTE>(utf8.begin(), utf8.end());
  }

  HKEY key_;
};

}  // namespace

std::unique_ptr<RegistryKey> openRegistryKey(RegistryRoot root, std::string_view path) {
  HKEY base = HKEY_LOCAL_MACHINE;
  REGSAM access = KEY_READ;
  switch (root) {
    case RegistryRoot::LocalMachine:
      access |= KEY_WOW64_32KEY;
      break;
    case RegistryRoot::CurrentUser:
      base = HKEY_CURRENT_USER;
      break;
    case RegistryRoot::ClassesRoot:
      base = HKEY_CLASSES_ROOT;
      break;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExW(base, win32::toWide(path).c_str(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

// The registry of the running system is the only one there is: nothing to choose here.
void setRegistryPrefix(const std::string&) {}
std::string registryLoadNote() { return {}; }

}  // namespace platform
