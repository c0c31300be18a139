#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "E2eSupport.h"

namespace {

using e2e::expectedFiles;
using e2e::runSetup;
using testfiles::readFile;

const std::string kMachineHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
const std::string kUserHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n";
const std::string kMachineHost = "[Software\\\\Wow6432Node\\\\Tarvel\\\\Tarvel Tessaprint Dual";
const std::string kUserHost = "[Software\\\\Tarvel\\\\Tarvel Tessaprint Dual";
// The host's folder as Windows names it, escaped for a registry file, and where it is on disk.
const std::string kInstallPathValue = "\"C:\\\\Tarvel\\\\Tessaprint Dual\\\\\"";
const std::string kInstallPathShown = "C:\\Tarvel\\Tessaprint Dual\\";

std::string userSettings(const std::string& hostKey) {
  return hostKey + "\\\\User]\n\"InkConfig\"=\"DURA-UV4 CMYK\"\n\"Language\"=\"English\"\n\"Model\"=\"Nexlume Q7\"\n";
}
std::string installation(const std::string& hostKey, const std::string& installPath = kInstallPathValue) {
  return hostKey + "\\\\Installer]\n\"CompanyName\"=\"Tarvel Imaging\"\n\"InstallPath\"=" + installPath + "\n";
}
std::string machineHost(const std::string& installPath = kInstallPathValue) {
  return userSettings(kMachineHost) + installation(kMachineHost, installPath);
}

// A Wine-style prefix with the host's folders: drive_c/Tarvel/Tessaprint Dual/{Tessaprint/Device,Profiles}.
class HostPrefix {
 public:
  explicit HostPrefix(const std::string& machineSections, const std::string& userSections = "", bool profilesFolder = true) {
    testfiles::writeFile(folder_ / "system.reg", kMachineHeader + machineSections);
    testfiles::writeFile(folder_ / "user.reg", kUserHeader + userSections);
    std::filesystem::create_directories(folder_ / "dosdevices");
    std::filesystem::create_symlink("../drive_c", folder_ / "dosdevices/c:");
    std::filesystem::create_directories(host("Tessaprint/Device"));
    if (profilesFolder) std::filesystem::create_directories(host("Profiles"));
  }
  std::string path() const { return folder_.path(); }
  std::string host(const std::string& relative = "") const { return folder_ / ("drive_c/Tarvel/Tessaprint Dual/" + relative); }
  std::string file(const std::string& windowsRelative) const { return host(e2e::nativeRelative(windowsRelative)); }
  // Every file and folder below drive_c with its size: to see that nothing was written.
  std::set<std::string> snapshot() const {
    std::set<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_ / "drive_c"))
      entries.insert(entry.path().string() + (entry.is_regular_file() ? ":" + std::to_string(entry.file_size()) : "/"));
    return entries;
  }
  e2e::RunResult run(std::vector<std::string> extra = {}, std::vector<std::string> environment = {}) const {
    extra.insert(extra.begin(), {"--prefix", path()});
    return runSetup(extra, environment);
  }

 private:
  testfiles::TempFolder folder_;
};

std::string successLine(int number, const std::string& path, std::size_t size) {
  char head[16];
  std::snprintf(head, sizeof head, "[%02d] ", number);
  return head + path + " ( " + std::to_string(size) + " Bytes ) successfly updated!\r";
}
std::string cannotOpenLine(int number, const std::string& path) {
  char head[16];
  std::snprintf(head, sizeof head, "[%02d] ", number);
  return head + path + " error: file cannot opened.\r";
}

// The numbered progress lines of a run, and for each the unnumbered "nexlume-q7-setup: " lines that
// follow it (explanations of a failed or kept step); lines before the first numbered line and the
// closing summary are apart.
struct RunLines {
  std::vector<std::string> numbered;
  std::vector<std::vector<std::string>> after;  // after[i]: the notices after numbered[i]
  std::vector<std::string> before;               // notices before any numbered line
  std::string summary;                           // the closing "N of 52 files ..." notice, if any
};

RunLines splitLines(const std::vector<std::string>& lines) {
  RunLines split;
  for (const std::string& line : lines) {
    if (line.starts_with("[")) {
      split.numbered.push_back(line);
      split.after.emplace_back();
    } else if (line.starts_with("nexlume-q7-setup: ")) {
      (split.numbered.empty() ? split.before : split.after.back()).push_back(line);
    }
  }
  if (!split.after.empty() && !split.after.back().empty() && split.after.back().back().find(" of 52 files ") != std::string::npos) {
    split.summary = split.after.back().back();
    split.after.back().pop_back();
  }
  return split;
}

std::string noticeLine(const std::string& path, const std::string& what) {
  return "nexlume-q7-setup: " + path + ": " + what + "\r";
}

// Every expected file is on disk, byte for byte its source under resources/.
void expectAllInstalled(const HostPrefix& prefix) {
  for (const auto& expected : expectedFiles()) {
    std::string source = readFile(expected.sourcePath);
    ASSERT_FALSE(source.empty()) << expected.sourcePath;
    EXPECT_TRUE(readFile(prefix.file(expected.relativePath)) == source) << expected.relativePath;
  }
}

TEST(InstallRun, AFreshHostGetsEveryFileOfThePlanInOrder) {
  HostPrefix prefix(machineHost());
  e2e::RunResult result = prefix.run();
  EXPECT_EQ(result.exitStatus, 0);
  auto expected = expectedFiles();
  ASSERT_EQ(expected.size(), 52u);
  ASSERT_EQ(result.lines.size(), 52u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    std::size_t size = std::filesystem::file_size(expected[i].sourcePath);
    EXPECT_EQ(result.lines[i], successLine(static_cast<int>(i + 1), kInstallPathShown + expected[i].relativePath, size));
  }
  expectAllInstalled(prefix);
}

TEST(InstallRun, ASecondRunWritesThePlainFilesAgainUnchanged) {
  HostPrefix prefix(machineHost());
  e2e::RunResult first = prefix.run();
  ASSERT_EQ(first.exitStatus, 0);
  e2e::RunResult second = prefix.run();
  EXPECT_EQ(second.exitStatus, 0);
  // Steps 1 to 47 (44 files) are plain writes in both runs; the descriptions follow.
  ASSERT_GE(second.lines.size(), 52u);
  for (std::size_t i = 0; i < 44; ++i) EXPECT_EQ(second.lines[i], first.lines[i]);
  auto expected = expectedFiles();
  for (std::size_t i = 0; i < 44; ++i) EXPECT_TRUE(readFile(prefix.file(expected[i].relativePath)) == readFile(expected[i].sourcePath));
}

TEST(InstallRun, TheDemoHostOfTheExamplesInstalls) {
  testfiles::TempFolder scratch;
  const std::string prefix = scratch / "wine-prefix";
  std::filesystem::copy(std::string(NEXLUME_SOURCE_DIR) + "/examples/wine-prefix", prefix,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  e2e::RunResult result = runSetup({"--prefix", prefix});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.lines.size(), 52u);
}

TEST(InstallRun, WithoutAUsableHostNothingIsWrittenAndTheStatusIs3) {
  const struct {
    const char* what;
    std::string machine, user;
    std::string expectedReason;
  } cases[] = {
      {"user settings key missing", installation(kMachineHost), "", "\\User is missing"},
      {"host under neither root", "[Software\\\\Other]\n", "[Software\\\\Other]\n", "neither"},
      {"product key under both roots, User only under HKCU", installation(kMachineHost),
       userSettings(kUserHost) + installation(kUserHost), "HKEY_LOCAL_MACHINE\\Software\\Tarvel\\Tarvel Tessaprint Dual\\User"},
      {"InstallPath stored as REG_EXPAND_SZ", userSettings(kMachineHost) + installation(kMachineHost, "str(2):" + kInstallPathValue),
       "", "REG_SZ"},
      {"host in the 64-bit view only", "[Software\\\\Tarvel\\\\Tarvel Tessaprint Dual\\\\User]\n", "", "neither"},
  };
  for (const auto& c : cases) {
    HostPrefix prefix(c.machine, c.user);
    auto before = prefix.snapshot();
    // Explained in one line, with or without --verbose.
    for (const auto& options : {std::vector<std::string>{}, std::vector<std::string>{"--verbose"}}) {
      e2e::RunResult result = prefix.run(options);
      EXPECT_EQ(result.exitStatus, 3) << c.what;
      const RunLines lines = splitLines(result.lines);
      ASSERT_EQ(lines.before.size(), 1u) << c.what;
      EXPECT_TRUE(lines.numbered.empty()) << c.what;
      EXPECT_NE(lines.before[0].find("nexlume-q7-setup: host not found: "), std::string::npos) << lines.before[0];
      EXPECT_NE(lines.before[0].find(c.expectedReason), std::string::npos) << lines.before[0];
    }
    EXPECT_EQ(prefix.snapshot(), before) << c.what;
  }
}

TEST(InstallRun, BrokenRegistryFilesEndWithStatus3) {
  const struct {
    const char* what;
    std::string systemReg;  // empty: no file at all
  } cases[] = {
      {"no registry files", ""},
      {"not a Wine registry file", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvel]\n"},
      {"binary garbage", std::string("\0\xff\xfe[\\\\\"=hex(", 13)},
      {"cut in the middle of the host key", (kMachineHeader + machineHost()).substr(0, kMachineHeader.size() + 90)},
  };
  for (const auto& c : cases) {
    HostPrefix prefix("");
    std::filesystem::remove(prefix.path() + "/user.reg");
    if (c.systemReg.empty()) {
      std::filesystem::remove(prefix.path() + "/system.reg");
    } else {
      testfiles::writeFile(prefix.path() + "/system.reg", c.systemReg);
    }
    e2e::RunResult result = prefix.run();
    EXPECT_EQ(result.exitStatus, 3) << c.what;
    const RunLines lines = splitLines(result.lines);
    ASSERT_EQ(lines.before.size(), 1u) << c.what;
    EXPECT_NE(lines.before[0].find("user.reg is missing"), std::string::npos) << lines.before[0];
  }
}

TEST(InstallRun, AMissingProfilesFolderFailsEveryProfileAndTheRunGoesOn) {
  HostPrefix prefix(machineHost(), "", /*profilesFolder=*/false);
  // A dry run foresees it, and creates no folder.
  e2e::RunResult dry = prefix.run({"--dry-run"});
  EXPECT_EQ(dry.exitStatus, 1);
  EXPECT_EQ(splitLines(dry.lines).summary, "nexlume-q7-setup: 27 of 52 files would not be installed or merged\r");
  EXPECT_FALSE(testfiles::exists(prefix.host("Profiles")));
  e2e::RunResult result = prefix.run();
  EXPECT_EQ(result.exitStatus, 1);
  auto expected = expectedFiles();
  const RunLines lines = splitLines(result.lines);
  ASSERT_EQ(lines.numbered.size(), 52u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::string path = kInstallPathShown + expected[i].relativePath;
    bool profile = i >= 17 && i < 44;
    if (profile) {
      EXPECT_EQ(lines.numbered[i], cannotOpenLine(static_cast<int>(i + 1), path));
      // The system's own reason, right after the step's line.
      // The file the user knows and what failed, never the scratch file the write goes through.
      EXPECT_EQ(lines.after[i],
                std::vector<std::string>{noticeLine(path, "not installed: the new file cannot be created: No such file or directory")});
    } else {
      EXPECT_EQ(lines.numbered[i], successLine(static_cast<int>(i + 1), path, std::filesystem::file_size(expected[i].sourcePath)));
      EXPECT_TRUE(lines.after[i].empty()) << lines.after[i].front();
    }
  }
  EXPECT_EQ(lines.summary, "nexlume-q7-setup: 27 of 52 files were not installed or merged\r");
  EXPECT_FALSE(testfiles::exists(prefix.host("Profiles")));  // only one level is ever created
}

TEST(InstallRun, AnInstallPathWithoutItsBackslashFailsStepByStep) {
  // The host's folder is there; the paths composed from it run its last name into the next part.
  HostPrefix prefix(machineHost("\"C:\\\\Tarvel\\\\Tessaprint Dual\""));
  auto before = prefix.snapshot();
  e2e::RunResult result = prefix.run();
  EXPECT_EQ(result.exitStatus, 1);
  auto expected = expectedFiles();
  const RunLines lines = splitLines(result.lines);
  ASSERT_EQ(lines.numbered.size(), 52u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines.numbered[i], cannotOpenLine(static_cast<int>(i + 1), "C:\\Tarvel\\Tessaprint Dual" + expected[i].relativePath));
    EXPECT_EQ(lines.after[i].size(), 1u);
  }
  EXPECT_EQ(lines.summary, "nexlume-q7-setup: 52 of 52 files were not installed or merged\r");
  EXPECT_EQ(prefix.snapshot(), before);
}

TEST(InstallRun, AHostFolderThatIsNotThereIsOneLineAndStatus3) {
  const struct {
    const char* what;
    std::string installPathValue;  // empty: the host's own
    std::function<void(const HostPrefix&)> change;
    std::string shown;
    std::string why;
  } cases[] = {
      {"the folder removed", "", [](const HostPrefix& p) { std::filesystem::remove_all(p.host()); }, kInstallPathShown,
       "No such file or directory"},
      {"a drive link that points nowhere", "",
       [](const HostPrefix& p) {
         std::filesystem::remove(p.path() + "/dosdevices/c:");
         std::filesystem::create_symlink("../no-such-drive", p.path() + "/dosdevices/c:");
       },
       kInstallPathShown, "No such file or directory"},
      {"a file where the folder should be", "",
       [](const HostPrefix& p) {
         std::filesystem::remove_all(p.host());
         testfiles::writeFile(p.path() + "/drive_c/Tarvel/Tessaprint Dual", "not a folder");
       },
       kInstallPathShown, "a file is in its place"},
      {"a UNC InstallPath", "\"\\\\\\\\server\\\\share\\\\\"", nullptr, "\\\\server\\share\\", "the path cannot be mapped to a drive of the prefix"},
      {"a relative InstallPath", "\"Tarvel\\\\\"", nullptr, "Tarvel\\", "the path cannot be mapped to a drive of the prefix"},
      {"a drive that is not mapped", "\"Q:\\\\Tarvel\\\\\"", nullptr, "Q:\\Tarvel\\", "the path cannot be mapped to a drive of the prefix"},
  };
  for (const auto& c : cases) {
    HostPrefix prefix(c.installPathValue.empty() ? machineHost() : machineHost(c.installPathValue));
    if (c.change) c.change(prefix);
    auto before = prefix.snapshot();
    for (const auto& options : {std::vector<std::string>{}, std::vector<std::string>{"--dry-run"}}) {
      e2e::RunResult result = prefix.run(options);
      EXPECT_EQ(result.exitStatus, 3) << c.what;
      ASSERT_EQ(result.lines.size(), 1u) << c.what;
      EXPECT_EQ(result.lines[0], "nexlume-q7-setup: the installation folder " + c.shown +
                                     " (InstallPath of HKEY_LOCAL_MACHINE\\Software\\Tarvel\\Tarvel Tessaprint Dual\\Installer) "
                                     "is not there: " + c.why + "; nothing was written\r")
          << c.what;
    }
    EXPECT_EQ(prefix.snapshot(), before) << c.what;
  }
}

// A running host holds its files open: the run writes everything else and asks for a retry (5); a
// failure of any other kind beside it keeps the status 1.
TEST(InstallRun, FilesHeldOpenByTheHostAskForARetry) {
  HostPrefix prefix(machineHost());
  ASSERT_EQ(prefix.run().exitStatus, 0);
  const std::string bitmap = prefix.host("Tessaprint/Device/Nexlume Q7.bmp");
  const std::string description = prefix.host("Tessaprint/Device/Nexlume Q7 D4.dsr");
  const std::string bitmapBefore = readFile(bitmap);
  const std::string descriptionBefore = readFile(description);
  std::vector<int> held;
  for (const std::string& path : {bitmap, description}) {
    held.push_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.back(), LOCK_EX | LOCK_NB), 0);
  }
  const std::string bitmapShown = kInstallPathShown + "Tessaprint\\Device\\Nexlume Q7.bmp";
  const std::string descriptionShown = kInstallPathShown + "Tessaprint\\Device\\Nexlume Q7 D4.dsr";
  const std::string advice = ": in use by another program; close Tarvel Tessaprint Dual and run again";

  e2e::RunResult dry = prefix.run({"--dry-run"});
  EXPECT_EQ(dry.exitStatus, 5);
  e2e::RunResult result = prefix.run();
  EXPECT_EQ(result.exitStatus, 5);
  const RunLines lines = splitLines(result.lines);
  // 44 plain files, and the seven descriptions merged, each with its new one extracted beside it.
  ASSERT_EQ(lines.numbered.size(), 51u);
  EXPECT_EQ(lines.numbered[0], cannotOpenLine(1, bitmapShown));
  EXPECT_EQ(lines.after[0], std::vector<std::string>{noticeLine(bitmapShown, "not installed" + advice)});
  EXPECT_EQ(lines.after.back(), std::vector<std::string>{noticeLine(descriptionShown, "kept unchanged" + advice)});
  EXPECT_EQ(lines.summary, "nexlume-q7-setup: 2 of 52 files were not installed or merged\r");
  EXPECT_EQ(readFile(bitmap), bitmapBefore);
  EXPECT_EQ(readFile(description), descriptionBefore);

  // One failure of another kind, a read-only file with other content: the run is not one to retry as it is.
  testfiles::writeFile(prefix.host("Tessaprint/Device/Nexlume Q7 D2.pmp"), "the user's own passmask");
  ASSERT_EQ(::chmod(prefix.host("Tessaprint/Device/Nexlume Q7 D2.pmp").c_str(), 0444), 0);
  EXPECT_EQ(prefix.run().exitStatus, 1);
  for (int fd : held) ::close(fd);
  EXPECT_EQ(prefix.run().exitStatus, 1);
  ASSERT_EQ(::chmod(prefix.host("Tessaprint/Device/Nexlume Q7 D2.pmp").c_str(), 0644), 0);
  EXPECT_EQ(prefix.run().exitStatus, 0);
}

TEST(InstallRun, AnInstalledDescriptionShorterThan1024BytesIsReplaced) {
  HostPrefix prefix(machineHost());
  const std::string installed = prefix.host("Tessaprint/Device/Nexlume Q7 D4.dsr");
  testfiles::writeFile(installed, std::string(1023, ' '));
  e2e::RunResult result = prefix.run();
  EXPECT_EQ(result.exitStatus, 0);
  ASSERT_EQ(result.lines.size(), 52u);
  EXPECT_TRUE(readFile(installed) == readFile(std::string(NEXLUME_SOURCE_DIR) + "/resources/Tessaprint/Device/Nexlume Q7 D4.dsr"));
}

TEST(InstallRun, ExistingFoldersAndFilesAreFoundIgnoringCase) {
  HostPrefix prefix(machineHost("\"c:\\\\TARVEL\\\\tessaprint dual\\\\\""));
  e2e::RunResult result = prefix.run();
  EXPECT_EQ(result.exitStatus, 0);
  expectAllInstalled(prefix);
  EXPECT_FALSE(testfiles::exists(prefix.path() + "/drive_c/TARVEL"));
}

TEST(InstallRun, AReadOnlyFileStaysAndTheStatusSaysSo) {
  HostPrefix prefix(machineHost());
  const std::string bitmap = prefix.host("Tessaprint/Device/Nexlume Q7.bmp");
  testfiles::writeFile(bitmap, "the user's own picture");
  ASSERT_EQ(::chmod(bitmap.c_str(), 0444), 0);
  e2e::RunResult result = prefix.run();
  EXPECT_EQ(result.exitStatus, 1);
  const RunLines lines = splitLines(result.lines);
  ASSERT_EQ(lines.numbered.size(), 52u);
  const std::string path = kInstallPathShown + "Tessaprint\\Device\\Nexlume Q7.bmp";
  EXPECT_EQ(lines.numbered[0], cannotOpenLine(1, path));
  EXPECT_EQ(lines.after[0], std::vector<std::string>{noticeLine(path, "not installed: the file is read-only")});
  EXPECT_EQ(lines.summary, "nexlume-q7-setup: 1 of 52 files were not installed or merged\r");
  EXPECT_EQ(readFile(bitmap), "the user's own picture");
}

TEST(CommandLine, UsageVersionAndPrefixSources) {
  // Usage errors: one line saying what is wrong and where to look, status 2, nothing run.
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"--prefix"}, {"extra"}, {"--prefix", "--verbose"}, {"--prefix", ""}, {"--prefix=", "--dry-run"}}) {
    e2e::RunResult usage = runSetup(arguments);
    EXPECT_EQ(usage.exitStatus, 2) << arguments[0];
    ASSERT_EQ(usage.lines.size(), 2u) << arguments[0];
    EXPECT_TRUE(usage.lines[0].starts_with("nexlume-q7-setup: ")) << usage.lines[0];
    EXPECT_NE(usage.lines[1].find("--help"), std::string::npos) << usage.lines[1];
  }
  for (const char* help : {"--help", "-h"}) {
    e2e::RunResult shown = runSetup({help});
    EXPECT_EQ(shown.exitStatus, 0);
    for (const char* mentioned : {"--prefix DIR", "--dry-run", "--verbose", "--version", "Exit status:", "  0 every file",
                                  "  4 another run", "  5 files in use by another program"})
      EXPECT_NE(shown.stdoutText.find(mentioned), std::string::npos) << mentioned << "\n" << shown.stdoutText;
  }
  e2e::RunResult version = runSetup({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.stdoutText.rfind("nexlume-q7-setup ", 0), 0u);

  // Without --prefix: $WINEPREFIX, else $HOME/.wine.
  HostPrefix prefix(machineHost());
  EXPECT_EQ(runSetup({}, {"WINEPREFIX=" + prefix.path()}).exitStatus, 0);
  testfiles::TempFolder home;
  std::filesystem::create_symlink(prefix.path(), home / ".wine");
  EXPECT_EQ(runSetup({}, {"WINEPREFIX=", "HOME=" + home.path()}).exitStatus, 0);
  EXPECT_EQ(runSetup({}, {"WINEPREFIX=", "HOME=" + (home / "nowhere")}).exitStatus, 3);
}

// Every file-system operation of a fresh run, made to fail one at a time: the run never crashes,
// never leaves a half-written file, and its status tells whether every file arrived.
TEST(FaultInjection, AnyFailedOperationLeavesCompleteFilesOrNoneAndIsReported) {
  int operations = 0;
  {
    HostPrefix prefix(machineHost());
    testfiles::TempFolder scratch;
    ASSERT_EQ(prefix.run({}, {"NEXLUME_FAULT_COUNT=" + (scratch / "count")}).exitStatus, 0);
    operations = std::stoi(readFile(scratch / "count"));
  }
  ASSERT_GT(operations, 104);  // at least a create and a write per file
  auto expected = expectedFiles();
  std::vector<std::string> sources;
  for (const auto& file : expected) sources.push_back(readFile(file.sourcePath));
  for (int k = 1; k <= operations; ++k) {
    HostPrefix prefix(machineHost());
    e2e::RunResult result = prefix.run({}, {"NEXLUME_FAULT_AT=" + std::to_string(k)});
    // A failure to see the host's folder at all ends the run before it writes anything (status 3).
    if (result.exitStatus == 3) {
      EXPECT_EQ(result.lines.size(), 1u) << "k=" << k;
      EXPECT_NE(result.lines[0].find("(InstallPath of "), std::string::npos) << "k=" << k << " " << result.lines[0];
      for (const auto& file : expected) EXPECT_FALSE(testfiles::exists(prefix.file(file.relativePath))) << "k=" << k;
      continue;
    }
    ASSERT_TRUE(result.exitStatus == 0 || result.exitStatus == 1) << "k=" << k << " status " << result.exitStatus;
    bool allThere = true;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      std::string installed = prefix.file(expected[i].relativePath);
      if (!testfiles::exists(installed)) {
        allThere = false;
        continue;
      }
      EXPECT_TRUE(readFile(installed) == sources[i]) << "k=" << k << " " << expected[i].relativePath;
    }
    EXPECT_EQ(result.exitStatus, allThere ? 0 : 1) << "k=" << k;
  }
}

}  // namespace
