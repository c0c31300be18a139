// Whole runs tried as someone set on breaking them would: memory running out, links planted at every
// path the run writes, a stale scratch file that cannot be removed, two runs on one host with one of
// them killed, a registry file that is not a file. Whatever happens, every description holds the
// user's medium (as it was, or merged), nothing is written through a link, and the run ends.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>

#include "RunSupport.h"
#include "model/DeviceSeriesIO.h"

namespace reliability {
namespace {

// Makes `prefix` a host after a fresh run of `exe`, with a medium of the user's own in every description.
void prepareUpdatedHost(const std::string& exe, const fs::path& prefix) {
  copyTree(kExamplePrefix, prefix);
  const RunResult fresh = runInstaller(exe, prefix);
  ASSERT_EQ(fresh.exitCode, 0) << fresh.errors;
  std::string why;
  for (const std::string& name : kDescriptions) ASSERT_TRUE(plantUserMedium(prefix / kDeviceFolder / name, why)) << why;
}

class UpdatedHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(prepareUpdatedHost(exe(), prefix));
    before = snapshot(prefix);
  }
  // The small installer (same code, small payload) unless a test needs the real one's memory use.
  virtual std::string exe() const { return kSmallSetupExe; }

  void expectEveryDescriptionHoldsTheUsersMedium() {
    for (const std::string& name : kDescriptions)
      EXPECT_TRUE(holdsUserMedium(device / name)) << name << " lost the user's medium";
  }

  TempFolder folder;
  const fs::path prefix = folder / "prefix";
  const fs::path device = prefix / kDeviceFolder;
  Snapshot before;
};

class UpdatedHostOfTheRealInstaller : public UpdatedHost {
  std::string exe() const override { return kSetupExe; }
};

// Out of memory is no verdict on a file: however little address space the run has, no description
// is replaced by the new one unmerged.
TEST_F(UpdatedHostOfTheRealInstaller, MemoryRunningShortNeverCostsTheUsersMedia) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit here leaves";
#else
  // From too little to start at all, through failing reads, parses and saves, to enough.
  for (const rlim_t mebibytes : {14, 18, 22, 26, 30, 34, 64}) {
    SCOPED_TRACE(std::to_string(mebibytes) + " MiB of address space");
    for (const auto& [path, bytes] : before) writeFile(prefix / path, bytes);
    const RunResult run = runInstaller(kSetupExe, prefix, {}, {}, -1, 300, [mebibytes] {
      const rlimit limit{mebibytes << 20, mebibytes << 20};
      ::setrlimit(RLIMIT_AS, &limit);
    });
    EXPECT_FALSE(run.timedOut);
    expectEveryDescriptionHoldsTheUsersMedium();
  }
#endif
}

// Links at every scratch path, at the backup and at every plain target, each to a file outside the
// host: each is replaced or removed, never written through.
TEST_F(UpdatedHost, LinksAtEveryPathTheRunWritesAreNeverWrittenThrough) {
  // The host saved every description again since the update (a comment of its own at the end), so
  // that the run has a merge to write and a backup to make for each.
  for (const std::string& name : kDescriptions) resaveAsTheHost(device / name);
  std::vector<fs::path> victims;
  auto plant = [&](const fs::path& at) {
    const fs::path victim = folder / ("victim-" + std::to_string(victims.size()));
    writeFile(victim, "outside the host");
    std::error_code ignored;
    fs::remove(at, ignored);
    fs::create_symlink(victim, at);
    victims.push_back(victim);
  };
  for (const std::string& name : kDescriptions) {
    plant(device / (name + ".tmp"));
    plant(device / (name + ".out"));
    plant(device / (name + ".bak.out"));
  }
  plant(device / "Nexlume Q7 D4.dsr.bak");
  for (const char* plain : {"Nexlume Q7.bmp", "Nexlume Q7 D4.rmt", "Nexlume Q7M D2 PG.pmp"}) plant(device / plain);
  // A link to a file that does not exist yet: following it would create a file outside the host.
  const fs::path absent = folder / "created-outside";
  fs::remove(device / "Nexlume Q7 D2.pmp");
  fs::create_symlink(absent, device / "Nexlume Q7 D2.pmp");

  const RunResult run = runInstaller(kSmallSetupExe, prefix);
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  for (const fs::path& victim : victims) EXPECT_EQ(readFile(victim), "outside the host") << victim;
  EXPECT_FALSE(fs::exists(absent));
  for (const fs::directory_entry& entry : fs::directory_iterator(device)) {
    EXPECT_FALSE(entry.is_symlink()) << entry.path() << " is still a link";
    const std::string name = entry.path().filename().string();
    EXPECT_FALSE(name.ends_with(".tmp") || name.ends_with(".out")) << name << " was left";
  }
  expectEveryDescriptionHoldsTheUsersMedium();
}

// A scratch file left by an earlier run that cannot be removed is never read as the new description.
TEST_F(UpdatedHost, AStaleReadOnlyScratchFileKeepsTheDescription) {
  const std::string name = "Nexlume Q7 D4.dsr";
  const fs::path stale = device / (name + ".tmp");
  fs::copy_file(device / "Nexlume Q7M D4.dsr", stale);
  fs::permissions(stale, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  const RunResult run = runInstaller(kSmallSetupExe, prefix);
  EXPECT_EQ(run.exitCode, 1) << run.errors;
  EXPECT_EQ(readFile(device / name), before.at(descriptionKey(name))) << "the description changed";
  EXPECT_FALSE(fs::exists(device / (name + ".bak")));
  expectEveryDescriptionHoldsTheUsersMedium();
}

// Two runs started together, one of them ended at its k-th file operation: the other waits for the
// lock or runs first, and completes; every description holds the user's medium throughout, and after
// the next run (which clears what the ended run left) the tree is that of one undisturbed update run.
TEST_F(UpdatedHost, TwoRunsAtOnceWithOneKilledLeaveTheTreeOfOneRun) {
  TempFolder referenceFolder;
  const fs::path reference = referenceFolder / "prefix";
  copyTree(prefix, reference);
  const long operations = countFileOperations(kSmallSetupExe, reference);
  ASSERT_GT(operations, 50);
  const Snapshot expected = snapshot(reference);

  for (long k = 1; k <= operations; k += std::max(1L, operations / 12)) {
    SCOPED_TRACE("the first run ends at operation " + std::to_string(k));
    for (const auto& [path, bytes] : before) writeFile(prefix / path, bytes);
    for (const std::string& name : kDescriptions) {
      std::error_code ignored;
      fs::remove(device / (name + ".bak"), ignored);
    }
    const StartedRun killed = startInstaller(kSmallSetupExe, prefix, {{"NEXLUME_FAULT_AT", std::to_string(k) + ":exit"}},
                                             {}, -1, {}, ".killed");
    const StartedRun other = startInstaller(kSmallSetupExe, prefix, {}, {}, -1, {}, ".other");
    const RunResult first = finishInstaller(killed);
    const RunResult second = finishInstaller(other);
    EXPECT_EQ(first.exitCode, 99) << first.errors;
    EXPECT_EQ(second.exitCode, 0) << second.errors;
    expectEveryDescriptionHoldsTheUsersMedium();
    const RunResult next = runInstaller(kSmallSetupExe, prefix);
    EXPECT_EQ(next.exitCode, 0) << next.errors;
    const Snapshot now = snapshot(prefix);
    for (const auto& [path, bytes] : expected) {
      // Whichever run merged first, the other merged the result with itself: the same bytes.
      if (path.ends_with(".bak")) continue;
      EXPECT_TRUE(now.count(path) == 1 && now.at(path) == bytes) << path;
    }
    for (const auto& [path, bytes] : now)
      EXPECT_TRUE(expected.count(path) == 1) << path << " was left";
  }
}

// A run that cannot take the lock in time writes nothing and says so (exit 4); one that can, waits.
TEST_F(UpdatedHost, ARunWaitsForTheLockAndGivesUpWithStatusFour) {
  const int held = ::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const RunResult gaveUp = runInstaller(kSmallSetupExe, prefix, {{"NEXLUME_RUN_LOCK_WAIT_MS", "300"}});
  EXPECT_EQ(gaveUp.exitCode, 4) << gaveUp.errors;
  EXPECT_NE(gaveUp.errors.find("nexlume-q7-setup: nothing was written: another run on this host"), std::string::npos)
      << gaveUp.errors;
  EXPECT_TRUE(snapshot(prefix) == before) << "the run wrote something";

  const StartedRun waiting = startInstaller(kSmallSetupExe, prefix);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  ::close(held);
  const RunResult waited = finishInstaller(waiting);
  EXPECT_EQ(waited.exitCode, 0) << waited.errors;
  expectEveryDescriptionHoldsTheUsersMedium();
}

// Registry files that are not regular files, or far too large, make the lookup fail with the reason,
// and never hang the run.
TEST(RegistryFiles, ThatAreNotRegularFilesOrTooLargeEndTheLookup) {
  const struct {
    const char* what;
    std::function<void(const fs::path&)> make;
    const char* reason;
  } cases[] = {
      {"a FIFO", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }, "is not a regular file"},
      {"a link to /dev/zero", [](const fs::path& at) { fs::create_symlink("/dev/zero", at); }, "is not a regular file"},
      {"a folder", [](const fs::path& at) { fs::create_directory(at); }, "is not a regular file"},
      {"a sparse file of 300 MiB", [](const fs::path& at) { fs::resize_file((writeFile(at, "WINE REGISTRY Version 2\n"), at), 300u << 20); },
       "is larger than 256 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const fs::path prefix = folder / "prefix";
    copyTree(kExamplePrefix, prefix);
    fs::remove(prefix / "system.reg");
    c.make(prefix / "system.reg");
    const RunResult run = runInstaller(kSmallSetupExe, prefix, {}, {"--verbose"}, -1, 30);
    EXPECT_FALSE(run.timedOut) << "the run hung";
    EXPECT_EQ(run.exitCode, 3) << run.errors;
    EXPECT_NE(run.errors.find("system.reg " + std::string(c.reason)), std::string::npos) << run.errors;
  }
}

}  // namespace
}  // namespace reliability
