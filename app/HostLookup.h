#pragma once
// The host application's records in the registry: its user settings and its installation record.
// Both are looked up under the root where the host's product key is found (HKEY_LOCAL_MACHINE
// first); each value's data must fit a buffer of 1024 bytes.
#include <cstdint>
#include <string>

namespace app {
// The registry root under which the host's product key was found.
enum HostRoot : std::int32_t { kHostRootNone = 0, kHostRootCurrentUser = 1, kHostRootLocalMachine = 2 };

inline constexpr const char* kHostProductKey = "Software\\Tarvel\\Tarvel Tessaprint Dual";
inline constexpr const char* kHostUserSettingsKey = "Software\\Tarvel\\Tarvel Tessaprint Dual\\User";
inline constexpr const char* kHostInstallationKey = "Software\\Tarvel\\Tarvel Tessaprint Dual\\Installer";

// 2 when the product key opens under HKEY_LOCAL_MACHINE, else 1 when under HKEY_CURRENT_USER, else 0.
std::int32_t FindHostRoot();

// The host's user settings; any value type is accepted, its bytes taken as text.
struct HostUserSettings {
  std::int32_t root = kHostRootNone;
  std::string Language;
  std::string Model;
  std::string InkConfig;

  // True when the key and its three values were read. On failure the fields read before the failing
  // one keep their new values; `whyNot`, when given, receives a one-line reason.
  bool Read(std::string* whyNot = nullptr);
};

// The host's installation record; both values must be REG_SZ. InstallPath is used exactly as
// stored (it should end in a backslash).
struct HostInstallation {
  std::int32_t root = kHostRootNone;
  std::string CompanyName;
  std::string InstallPath;

  // As HostUserSettings::Read.
  bool Read(std::string* whyNot = nullptr);
  // The key the record was read from, "HKEY_LOCAL_MACHINE\Software\...\Installer".
  std::string keyName() const;
};

}  // namespace app
