// A Wine registry file's bytes, read as the prefix's system.reg (and, with the same bytes, user.reg)
// and queried as the host lookup queries it: every outcome is an answer, never a crash, and a value
// reports the same size to every query.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/HostLookup.h"
#include "platform/Registry.h"

using namespace app;

namespace {

void queryAll(const platform::RegistryKey& key) {
  for (const char* name : {"", "InstallPath", "CompanyName", "Language", "Model", "InkConfig", "RecentJobs", "x"}) {
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    if (key.query(name, nullptr, size, type) != platform::QueryStatus::Ok) continue;
    std::vector<std::uint8_t> small(4);
    std::uint32_t smallSize = static_cast<std::uint32_t>(small.size());
    (void)key.query(name, small.data(), smallSize, type);
    std::vector<std::uint8_t> buffer(size);
    std::uint32_t bufferSize = size;
    if (key.query(name, buffer.data(), bufferSize, type) != platform::QueryStatus::Ok || bufferSize != size)
      fuzzsupport::finding("a value's size changed between two queries");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& prefix = fuzzsupport::scratchFolder();
  fuzzsupport::writeFile(prefix + "/system.reg", data, size);
  fuzzsupport::writeFile(prefix + "/user.reg", data, size);
  platform::setRegistryPrefix(prefix);

  for (const auto root : {platform::RegistryRoot::LocalMachine, platform::RegistryRoot::CurrentUser,
                          platform::RegistryRoot::ClassesRoot}) {
    for (const char* path : {kHostProductKey, kHostUserSettingsKey, kHostInstallationKey, "", "Software",
                             "Software\\Wow6432Node\\Tarvel\\Tarvel Tessaprint Dual\\Installer",
                             "CLSID\\{88d969c0-f192-11d4-a65f-0040963251e5}\\InProcServer32"}) {
      if (std::unique_ptr<platform::RegistryKey> key = platform::openRegistryKey(root, path)) queryAll(*key);
    }
  }
  HostUserSettings settings;
  (void)settings.Read();
  HostInstallation installation;
  (void)installation.Read();
  (void)platform::registryLoadNote();
  return 0;
}
