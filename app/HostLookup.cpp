#include "app/HostLookup.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

#include "platform/Registry.h"

namespace app {
namespace {

constexpr std::uint32_t kValueBufferSize = 1024;

std::unique_ptr<platform::RegistryKey> openUnder(std::int32_t root, const char* path) {
  if (root == kHostRootLocalMachine) return platform::openRegistryKey(platform::RegistryRoot::LocalMachine, path);
  if (root == kHostRootCurrentUser) return platform::openRegistryKey(platform::RegistryRoot::CurrentUser, path);
  return nullptr;
}

const char* rootName(std::int32_t root) {
  return root == kHostRootLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

void setReason(std::string* whyNot, std::string reason) {
  if (whyNot != nullptr) *whyNot = std::move(reason);
}

// The lookup shared by both records: root selection afresh, the record's key, then each value in
// order into one zeroed 1024-byte buffer. Stops at the first failure, leaving later fields as they were.
bool readHostRecord(std::int32_t& root, const char* keyPath,
                    std::initializer_list<std::pair<const char*, std::string*>> values, bool requireRegSz,
                    std::string* whyNot) {
  root = FindHostRoot();
  if (root == kHostRootNone) {
    setReason(whyNot, std::string(kHostProductKey) + " is registered under neither HKEY_LOCAL_MACHINE nor HKEY_CURRENT_USER");
    return false;
  }
  auto key = openUnder(root, keyPath);
  if (!key) {
    setReason(whyNot, std::string(rootName(root)) + "\\" + keyPath + " is missing");
    return false;
  }
  std::array<std::uint8_t, kValueBufferSize> buffer{};
  for (const auto& [name, field] : values) {
    std::uint32_t size = kValueBufferSize;
    std::uint32_t type = platform::kRegNone;
    platform::QueryStatus status = key->query(name, buffer.data(), size, type);
    std::string where = std::string(rootName(root)) + "\\" + keyPath + " value \"" + name + "\"";
    if (status == platform::QueryStatus::NotFound) {
      setReason(whyNot, where + " is missing");
      return false;
    }
    if (status == platform::QueryStatus::MoreData) {
      setReason(whyNot, where + " holds more than 1024 bytes");
      return false;
    }
    if (requireRegSz && type != platform::kRegSz) {
      setReason(whyNot, where + " is not of type REG_SZ");
      return false;
    }
    auto end = buffer.begin() + std::min(size, kValueBufferSize);
    field->assign(buffer.begin(), std::find(buffer.begin(), end, std::uint8_t{0}));
  }
  return true;
}

}  // namespace

std::int32_t FindHostRoot() {
  if (platform::openRegistryKey(platform::RegistryRoot::LocalMachine, kHostProductKey)) return kHostRootLocalMachine;
  if (platform::openRegistryKey(platform::RegistryRoot::CurrentUser, kHostProductKey)) return kHostRootCurrentUser;
  return kHostRootNone;
}

bool HostUserSettings::Read(std::string* whyNot) {
  return readHostRecord(root, kHostUserSettingsKey, {{"InkConfig", &InkConfig}, {"Language", &Language}, {"Model", &Model}},
                        false, whyNot);
}

bool HostInstallation::Read(std::string* whyNot) {
  return readHostRecord(root, kHostInstallationKey, {{"CompanyName", &CompanyName}, {"InstallPath", &InstallPath}},
                        true, whyNot);
}

std::string HostInstallation::keyName() const { return std::string(rootName(root)) + "\\" + kHostInstallationKey; }

}  // namespace app
