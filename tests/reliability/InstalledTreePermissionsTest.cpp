// An installed tree that the run cannot fully change: a read-only description, a read-only device
// folder, a description that another process holds open. The run says which file failed, changes
// nothing it cannot finish, and completes every other step.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <algorithm>

#include "RunSupport.h"
#include "model/DeviceSeriesIO.h"

namespace reliability {
namespace {

std::vector<std::string> linesMentioning(const std::string& text, const std::string& what) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.find(what) != std::string::npos) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::size_t numberedLines(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t at = text.find("\n["); at != std::string::npos; at = text.find("\n[", at + 1)) ++count;
  return count + (text.starts_with("[") ? 1 : 0);
}

// A host with everything installed and a medium of the user's own in every description.
class InstalledTree : public ::testing::Test {
 protected:
  void SetUp() override {
    copyTree(kExamplePrefix, prefix);
    RunResult fresh = runInstaller(kSetupExe, prefix);
    ASSERT_EQ(fresh.exitCode, 0) << fresh.errors;
    std::string why;
    for (const std::string& name : kDescriptions) ASSERT_TRUE(plantUserMedium(device / name, why)) << why;
    before = snapshot(prefix);
  }

  // Every description holds the user's medium, merged or as it was; `unchanged` ones are byte for
  // byte as before the run.
  void expectNothingLost(const std::vector<std::string>& unchanged) {
    const Snapshot now = snapshot(prefix);
    for (const std::string& name : kDescriptions) {
      EXPECT_TRUE(holdsUserMedium(device / name)) << name << " lost the user's medium";
      if (std::find(unchanged.begin(), unchanged.end(), name) != unchanged.end()) {
        EXPECT_EQ(now.at(descriptionKey(name)), before.at(descriptionKey(name))) << name << " changed";
      }
    }
  }

  TempFolder folder;
  const fs::path prefix = folder / "prefix";
  const fs::path device = prefix / kDeviceFolder;
  Snapshot before;
};

TEST_F(InstalledTree, ReadOnlyDescriptionIsKeptAndTheOthersAreMerged) {
  const std::string name = "Nexlume Q7M D4.dsr";
  resaveAsTheHost(device / name);
  fs::permissions(device / name, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  before = snapshot(prefix);
  const RunResult run = runInstaller(kSetupExe, prefix, {}, {"--verbose"});
  EXPECT_EQ(run.exitCode, 1) << run.errors;
  EXPECT_EQ(numberedLines(run.errors), 52u) << run.errors;
  const std::vector<std::string> kept = linesMentioning(run.errors, "kept C:");
  ASSERT_EQ(kept.size(), 1u) << run.errors;
  EXPECT_NE(kept[0].find(name), std::string::npos) << kept[0];
  EXPECT_EQ(linesMentioning(run.errors, "merged C:").size(), 7u) << run.errors;
  expectNothingLost({name});
  // A file that cannot be replaced is not backed up either (a backup would share its read-only state).
  EXPECT_FALSE(fs::exists(device / (name + ".bak")));
  EXPECT_TRUE(runInstaller(kSetupExe, prefix).errors.find(name + ": kept unchanged: the file is read-only") != std::string::npos);
  EXPECT_FALSE(fs::exists(device / (name + ".bak")));
  // The run after the file is writable again finishes the merge.
  fs::permissions(device / name, fs::perms::owner_write, fs::perm_options::add);
  const RunResult next = runInstaller(kSetupExe, prefix);
  EXPECT_EQ(next.exitCode, 0) << next.errors;
  expectNothingLost({});
  EXPECT_FALSE(fs::exists(device / (name + ".out")));
}

TEST_F(InstalledTree, HeldOpenDescriptionIsKeptAndTheOthersAreMerged) {
  const std::string name = "Nexlume Q7 D2 PG.dsr";
  const int held = ::open((device / name).c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  const RunResult run = runInstaller(kSetupExe, prefix, {}, {"--verbose"});
  ::close(held);
  EXPECT_EQ(run.exitCode, 1) << run.errors;
  // The held file cannot be probed: nothing is extracted for it, the other 51 files are.
  EXPECT_EQ(numberedLines(run.errors), 51u) << run.errors;
  EXPECT_TRUE(linesMentioning(run.errors, "error").empty()) << run.errors;
  const std::vector<std::string> kept = linesMentioning(run.errors, "kept C:");
  ASSERT_EQ(kept.size(), 1u) << run.errors;
  EXPECT_NE(kept[0].find(name + " unchanged: the installed description cannot be opened or read"), std::string::npos)
      << kept[0];
  EXPECT_EQ(linesMentioning(run.errors, "merged C:").size(), 7u) << run.errors;
  expectNothingLost({name});
}

// Root passes folder permissions, so the installer runs as an ordinary user there.
TEST_F(InstalledTree, ReadOnlyDeviceFolderKeepsEveryDescription) {
  int user = -1;
  if (::geteuid() == 0) {
    user = 65534;  // nobody
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder.path()))
      if (!entry.is_symlink()) {
        ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
      }
    ASSERT_EQ(::chown(folder.path().c_str(), 65534, 65534), 0);
    if (!executableBy(user, folder.path()) || installerCopyFor(user, kSetupExe, folder.path()).empty())
      GTEST_SKIP() << "user " << user << " cannot reach the temporary folder " << folder.path()
                   << " (a folder above it is private), so the installer cannot run as that user there";
  }
  fs::permissions(device, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  // A dry run foresees it: the same number of files that will not be installed or merged.
  const RunResult dry = runInstaller(kSetupExe, prefix, {}, {"--dry-run"}, user);
  const RunResult run = runInstaller(kSetupExe, prefix, {}, {"--verbose"}, user);
  EXPECT_EQ(dry.exitCode, 1) << dry.errors;
  const std::vector<std::string> dryTotals = linesMentioning(dry.errors, " of 52 files would not be installed or merged");
  const std::vector<std::string> realTotals = linesMentioning(run.errors, " of 52 files were not installed or merged");
  ASSERT_EQ(dryTotals.size(), 1u) << dry.errors;
  ASSERT_EQ(realTotals.size(), 1u) << run.errors;
  EXPECT_EQ(dryTotals[0].substr(0, dryTotals[0].find(" of 52")), realTotals[0].substr(0, realTotals[0].find(" of 52")));
  EXPECT_EQ(run.exitCode, 1) << run.errors;
  EXPECT_EQ(numberedLines(run.errors), 52u) << run.errors;
  // Each description fails on its scratch file, named in its line; the profiles are all written.
  for (const std::string& name : kDescriptions) {
    EXPECT_EQ(linesMentioning(run.errors, name + ".tmp error: file cannot opened.").size(), 1u)
        << name << "\n" << run.errors;
  }
  EXPECT_EQ(linesMentioning(run.errors, ".icc (").size(), 27u) << run.errors;
  expectNothingLost(kDescriptions);
  for (const std::string& name : kDescriptions) EXPECT_FALSE(fs::exists(device / (name + ".tmp")));
}

}  // namespace
}  // namespace reliability
