#include <gtest/gtest.h>

#include <string>

#include "app/HostLookup.h"
#include "platform/Registry.h"
#include "tests/support/TestFiles.h"

using namespace app;

namespace {

const std::string kMachineHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
const std::string kUserHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n";
// Where the host's keys are, as the 32-bit installer sees them in a 64-bit prefix.
const std::string kMachineHost = "[Software\\\\Wow6432Node\\\\Tarvel\\\\Tarvel Tessaprint Dual";
const std::string kUserHost = "[Software\\\\Tarvel\\\\Tarvel Tessaprint Dual";

std::string userSettings(const std::string& hostKey) {
  return hostKey + "\\\\User]\n\"InkConfig\"=\"DURA-UV4 CMYK\"\n\"Language\"=\"English\"\n\"Model\"=\"Nexlume Q7\"\n";
}
std::string installation(const std::string& hostKey, const std::string& installPathValue = "\"C:\\\\Tarvel\\\\\"") {
  return hostKey + "\\\\Installer]\n\"CompanyName\"=\"Tarvel Imaging\"\n\"InstallPath\"=" + installPathValue + "\n";
}

// A prefix whose hives hold the given key sections.
class HostPrefix {
 public:
  HostPrefix(const std::string& machineSections, const std::string& userSections) {
    testfiles::writeFile(folder_ / "system.reg", kMachineHeader + machineSections);
    testfiles::writeFile(folder_ / "user.reg", kUserHeader + userSections);
    platform::setRegistryPrefix(folder_.path());
  }

 private:
  testfiles::TempFolder folder_;
};

TEST(HostLookup, RootSelectionPrefersTheMachine) {
  const struct {
    const char* what;
    std::string machine, user;
    std::int32_t root;
    bool userSettingsRead, installationRead;
  } cases[] = {
      {"machine only", userSettings(kMachineHost) + installation(kMachineHost), "", kHostRootLocalMachine, true, true},
      {"user only", "", userSettings(kUserHost) + installation(kUserHost), kHostRootCurrentUser, true, true},
      {"both, User only under the user", installation(kMachineHost), userSettings(kUserHost) + installation(kUserHost),
       kHostRootLocalMachine, false, true},
      {"neither", "[Software\\\\Other]\n", "[Software\\\\Other]\n", kHostRootNone, false, false},
      {"machine key outside the 32-bit view", "[Software\\\\Tarvel\\\\Tarvel Tessaprint Dual\\\\User]\n", "",
       kHostRootNone, false, false},
  };
  for (const auto& c : cases) {
    HostPrefix prefix(c.machine, c.user);
    EXPECT_EQ(FindHostRoot(), c.root) << c.what;
    HostUserSettings settings;
    EXPECT_EQ(settings.Read(), c.userSettingsRead) << c.what;
    EXPECT_EQ(settings.root, c.root) << c.what;
    HostInstallation install;
    EXPECT_EQ(install.Read(), c.installationRead) << c.what;
    EXPECT_EQ(install.root, c.root) << c.what;
  }
}

TEST(HostLookup, RecordsHoldTheValuesAsStored) {
  HostPrefix prefix(userSettings(kMachineHost) + installation(kMachineHost, "\"D:\\\\RIP\\\\Tarvel Tessaprint Dual\""), "");
  HostUserSettings settings;
  ASSERT_TRUE(settings.Read());
  EXPECT_EQ(settings.InkConfig, "DURA-UV4 CMYK");
  EXPECT_EQ(settings.Language, "English");
  EXPECT_EQ(settings.Model, "Nexlume Q7");
  HostInstallation install;
  ASSERT_TRUE(install.Read());
  EXPECT_EQ(install.CompanyName, "Tarvel Imaging");
  EXPECT_EQ(install.InstallPath, "D:\\RIP\\Tarvel Tessaprint Dual");  // no backslash added
}

TEST(HostLookup, InstallationValuesMustBePlainStrings) {
  const struct {
    const char* value;
    bool read;
  } cases[] = {
      {"\"C:\\\\Tarvel\\\\\"", true},
      {"hex(1):43,00,3a,00,5c,00,00,00", true},  // REG_SZ written as bytes
      {"str(2):\"%ProgramFiles%\\\\Tarvel\\\\\"", false},
      {"hex:43,3a,5c,00", false},
      {"dword:00000001", false},
      {"str(7):\"C:\\\\Tarvel\\\\\\0\"", false},
  };
  for (const auto& c : cases) {
    HostPrefix prefix(userSettings(kMachineHost) + installation(kMachineHost, c.value), "");
    HostInstallation install;
    std::string why;
    EXPECT_EQ(install.Read(&why), c.read) << c.value;
    if (!c.read) {
      EXPECT_NE(why.find("REG_SZ"), std::string::npos) << why;
    }
  }
}

TEST(HostLookup, UserSettingsTakeAnyTypeAsRawText) {
  HostPrefix prefix(kMachineHost +
                        "\\\\User]\n\"InkConfig\"=dword:00004b43\n\"Language\"=hex:45,4e,00,47\n"
                        "\"Model\"=hex:51,37\n",
                    "");
  HostUserSettings settings;
  ASSERT_TRUE(settings.Read());
  EXPECT_EQ(settings.InkConfig, "CK");  // bytes 43 4B 00 00 up to the first zero
  EXPECT_EQ(settings.Language, "EN");
  EXPECT_EQ(settings.Model, "Q7");      // no terminator: the length the registry reports
}

TEST(HostLookup, ValuesOfMoreThan1024BytesFail) {
  const std::string path1023 = "C:\\" + std::string(1020, 'p');  // 1023 characters + terminator = 1024 bytes
  auto escaped = [](const std::string& path) {
    std::string out = "\"";
    for (char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out + "\"";
  };
  {
    HostPrefix prefix(userSettings(kMachineHost) + installation(kMachineHost, escaped(path1023)), "");
    HostInstallation install;
    ASSERT_TRUE(install.Read());
    EXPECT_EQ(install.InstallPath, path1023);
  }
  {
    HostPrefix prefix(userSettings(kMachineHost) + installation(kMachineHost, escaped(path1023 + "q")), "");
    HostInstallation install;
    std::string why;
    EXPECT_FALSE(install.Read(&why));
    EXPECT_NE(why.find("1024"), std::string::npos) << why;
  }
  // Counted in the bytes delivered: 512 two-byte characters and the terminator exceed 1024.
  {
    std::string wide;
    for (int i = 0; i < 512; ++i) wide += "\\x00e9";
    HostPrefix prefix(kMachineHost + "\\\\User]\n\"InkConfig\"=\"" + wide + "\"\n\"Language\"=\"\"\n\"Model\"=\"\"\n", "");
    HostUserSettings settings;
    EXPECT_FALSE(settings.Read());
  }
  // Exactly 1024 bytes without any zero byte: taken whole.
  {
    std::string hex = "hex:";
    for (int i = 0; i < 1024; ++i) hex += i ? ",41" : "41";
    HostPrefix prefix(kMachineHost + "\\\\User]\n\"InkConfig\"=" + hex + "\n\"Language\"=\"\"\n\"Model\"=\"\"\n", "");
    HostUserSettings settings;
    ASSERT_TRUE(settings.Read());
    EXPECT_EQ(settings.InkConfig, std::string(1024, 'A'));
  }
}

TEST(HostLookup, AFailedLookupKeepsWhatItReadBefore) {
  HostPrefix prefix(kMachineHost + "\\\\User]\n\"InkConfig\"=\"DURA-UV2 CMYK\"\n\"Model\"=\"Nexlume Q7M\"\n", "");
  HostUserSettings settings;
  settings.Model = "earlier";
  std::string why;
  EXPECT_FALSE(settings.Read(&why));
  EXPECT_EQ(settings.InkConfig, "DURA-UV2 CMYK");  // read before "Language" failed
  EXPECT_EQ(settings.Model, "earlier");            // never reached
  EXPECT_NE(why.find("\"Language\" is missing"), std::string::npos) << why;
}

}  // namespace
