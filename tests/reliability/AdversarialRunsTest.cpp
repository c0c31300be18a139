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

// The lock is on the host's resolved folder: a run waits for it, says so at once, and gives up
// writing nothing (exit 4); a prefix whose drive leads to the same host folder meets the same lock;
// once the holder lets go, a waiting run completes.
TEST_F(UpdatedHost, ARunWaitsForTheLockOnTheHostsFolderAndGivesUpWithStatusFour) {
  TempFolder otherFolder;
  const fs::path otherPrefix = otherFolder / "prefix";
  copyTree(kExamplePrefix, otherPrefix);
  fs::remove(otherPrefix / "dosdevices/c:");
  fs::create_directory_symlink(prefix / "drive_c", otherPrefix / "dosdevices/c:");

  const int held = ::open((prefix / kHostFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  for (const fs::path& each : {prefix, otherPrefix}) {
    SCOPED_TRACE(each.string());
    const RunResult gaveUp = runInstaller(kSmallSetupExe, each, {{"NEXLUME_RUN_LOCK_WAIT_MS", "300"}});
    EXPECT_EQ(gaveUp.exitCode, 4) << gaveUp.errors;
    EXPECT_TRUE(gaveUp.errors.starts_with("nexlume-q7-setup: waiting for another run on this host, up to 300 ms\r\n"
                                          "nexlume-q7-setup: nothing was written: another run on this host"))
        << gaveUp.errors;
    EXPECT_TRUE(snapshot(prefix) == before) << "the run wrote something";
  }

  const StartedRun waiting = startInstaller(kSmallSetupExe, otherPrefix);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  ::close(held);
  const RunResult waited = finishInstaller(waiting);
  EXPECT_EQ(waited.exitCode, 0) << waited.errors;
  EXPECT_TRUE(waited.errors.starts_with("nexlume-q7-setup: waiting for another run on this host, up to 2 minutes\r\n"))
      << waited.errors;
  expectEveryDescriptionHoldsTheUsersMedium();
}

// A reader of the run's output that goes away (`2>&1 | head -1`, an agent that has seen enough) costs
// lines, never files: the run installs what a run with its output kept installs, and exits 0.
TEST(OutputReader, ThatGoesAwayCostsLinesNotFiles) {
  TempFolder folder;
  const fs::path kept = folder / "kept";
  copyTree(kExamplePrefix, kept);
  const RunResult reference = runInstaller(kSmallSetupExe, kept);
  ASSERT_EQ(reference.exitCode, 0) << reference.errors;
  const Snapshot installed = snapshot(kept);
  for (const e2e::ExpectedFile& file : e2e::kExpectedFiles) {
    std::string path = kHostFolder + "/" + file.relativePath;
    std::replace(path.begin(), path.end(), '\\', '/');
    ASSERT_TRUE(installed.contains(path)) << path;
  }

  const struct {
    const char* what;
    bool readsFirstLine;
  } cases[] = {{"a reader gone before the run starts", false}, {"a reader gone after the first line", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path prefix = folder / (c.readsFirstLine ? "after-first-line" : "before-start");
    copyTree(kExamplePrefix, prefix);
    int output[2];
    ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
    if (!c.readsFirstLine) ::close(output[0]);
    // Both stdout and stderr into the pipe, and SIGPIPE as a shell leaves it for its commands.
    const StartedRun started = startInstaller(kSmallSetupExe, prefix, {}, {}, -1, [&] {
      ::dup2(output[1], STDOUT_FILENO);
      ::dup2(output[1], STDERR_FILENO);
      ::signal(SIGPIPE, SIG_DFL);
    });
    ::close(output[1]);
    if (c.readsFirstLine) {
      std::string line;
      char byte = 0;
      while (::read(output[0], &byte, 1) == 1 && byte != '\n') line += byte;
      EXPECT_NE(line.find("[01] "), std::string::npos) << line;
      ::close(output[0]);
    }
    const RunResult run = finishInstaller(started);
    EXPECT_EQ(run.signal, 0) << "the run was ended by signal " << run.signal;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(snapshot(prefix) == installed) << "the run installed something else than a run whose output was kept";
  }
}

// A lock that cannot be taken for another reason than a busy run is a failure with its reason
// (exit 1), not "another run held it". Root opens any folder, so the run is an ordinary user's.
TEST_F(UpdatedHost, ALockThatCannotBeTakenIsAFailureWithItsReason) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the prefix to another user";
  const int user = 65534;  // nobody
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder.path())) {
    if (!entry.is_symlink()) {
      ASSERT_EQ(::chown(entry.path().c_str(), user, user), 0);
    }
  }
  ASSERT_EQ(::chown(folder.path().c_str(), user, user), 0);
  if (!executableBy(user, folder.path()) || installerCopyFor(user, kSmallSetupExe, folder.path()).empty())
    GTEST_SKIP() << "user " << user << " cannot reach " << folder.path();
  // The host's folder can be passed and written, not opened.
  fs::permissions(prefix / kHostFolder, fs::perms::owner_read, fs::perm_options::remove);
  const RunResult run = runInstaller(kSmallSetupExe, prefix, {}, {}, user);
  fs::permissions(prefix / kHostFolder, fs::perms::owner_read, fs::perm_options::add);
  EXPECT_EQ(run.exitCode, 1) << run.errors;
  EXPECT_NE(run.errors.find("nothing was written: cannot open the host's folder"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("Permission denied"), std::string::npos) << run.errors;
  EXPECT_TRUE(snapshot(prefix) == before) << "the run wrote something";
}

// A link, a FIFO or a folder at an installed description is kept as it is, with its reason, on
// every run: never read through, copied, linked to, or waited on.
TEST_F(UpdatedHost, WhatIsNoPlainFileAtADescriptionIsKeptAndNeverRead) {
  const std::string name = "Nexlume Q7 D4.dsr";
  const fs::path at = device / name;
  const fs::path secret = folder / "secret";
  writeFile(secret, "<root>" + std::string(4000, 's') + "</root>");  // larger than the probe, not a description
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  const struct {
    const char* what;
    std::function<void()> plant;
    const char* reason;
  } cases[] = {
      {"a link to a root-only file outside", [&] { fs::create_symlink(secret, at); }, "a symbolic link is in the way"},
      {"a link to /proc/self/environ", [&] { fs::create_symlink("/proc/self/environ", at); }, "a symbolic link is in the way"},
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }, "not a regular file"},
      {"a folder", [&] { fs::create_directory(at); }, "a folder is in the way"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(at);
    fs::remove(device / (name + ".bak"));
    c.plant();
    const fs::file_status planted = fs::symlink_status(at);
    for (int round = 1; round <= 2; ++round) {
      SCOPED_TRACE("run " + std::to_string(round));
      const RunResult run = runInstaller(kSmallSetupExe, prefix, {}, {}, -1, 30);
      EXPECT_FALSE(run.timedOut) << "the run hung";
      EXPECT_EQ(run.exitCode, 1) << run.errors;
      EXPECT_NE(run.errors.find(name + ": kept unchanged: the installed description cannot be opened or read: " + c.reason),
                std::string::npos)
          << run.errors;
      EXPECT_EQ(fs::symlink_status(at).type(), planted.type());
      EXPECT_FALSE(fs::exists(fs::symlink_status(device / (name + ".bak")))) << "something was backed up";
      EXPECT_FALSE(fs::exists(fs::symlink_status(device / (name + ".bak.out"))));
    }
  }
  EXPECT_EQ(readFile(secret), "<root>" + std::string(4000, 's') + "</root>");
  std::vector<std::string> others(kDescriptions);
  std::erase(others, name);
  for (const std::string& other : others) EXPECT_TRUE(holdsUserMedium(device / other)) << other;
}

// A folder of the host replaced by a link to a folder outside it takes nothing, on either run, and
// the dry run foresees the failure.
TEST_F(UpdatedHost, AFolderLinkedOutsideTheHostTakesNothing) {
  for (const char* linked : {"Tessaprint/Device", "Profiles"}) {
    SCOPED_TRACE(linked);
    TempFolder outsideFolder;
    const fs::path inHost = prefix / kHostFolder / linked;
    const fs::path outside = outsideFolder / "moved";
    fs::rename(inHost, outside);
    fs::create_directory_symlink(outside, inHost);
    // A file there that the run has to write again (one that already holds its bytes is left alone).
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(outside))
      if (entry.is_regular_file() && !entry.path().string().ends_with(".dsr")) {
        writeFile(entry.path(), readFile(entry.path()) + "edited");
        break;
      }
    const Snapshot outsideBefore = snapshot(outsideFolder.path());

    const RunResult dry = runInstaller(kSmallSetupExe, prefix, {}, {"--dry-run"});
    EXPECT_EQ(dry.exitCode, 1) << dry.errors;
    for (int round = 1; round <= 2; ++round) {
      const RunResult run = runInstaller(kSmallSetupExe, prefix);
      EXPECT_EQ(run.exitCode, 1) << run.errors;
      EXPECT_NE(run.errors.find("leads outside the host's folder"), std::string::npos) << run.errors;
      EXPECT_TRUE(snapshot(outsideFolder.path()) == outsideBefore) << "something was written outside the host";
    }
    fs::remove(inHost);
    fs::rename(outside, inHost);
  }
  expectEveryDescriptionHoldsTheUsersMedium();
}

// A description owned by the user who runs the host, readable by nobody else, stays so through the
// update of a run as root that replaces it, and so does its backup; the next run leaves both alone.
TEST_F(UpdatedHost, AnUpdateAsRootKeepsADescriptionsOwnerAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the descriptions to another user";
  for (const std::string& name : kDescriptions) {
    // A comment after the root: the file loads as it is, and its merge is written in its place.
    writeFile(device / name, readFile(device / name) + "<!-- edited by the user -->\n");
    ASSERT_EQ(::chown((device / name).c_str(), 1000, 1000), 0);
    ASSERT_EQ(::chmod((device / name).c_str(), 0600), 0);
  }
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE("run " + std::to_string(round));
    const RunResult run = runInstaller(kSmallSetupExe, prefix);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    for (const std::string& name : kDescriptions)
      for (const fs::path& path : {device / name, device / (name + ".bak")}) {
        struct stat info{};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_uid, 1000u) << path;
        EXPECT_EQ(info.st_gid, 1000u) << path;
        EXPECT_EQ(info.st_mode & 07777, 0600u) << path;
      }
    expectEveryDescriptionHoldsTheUsersMedium();
  }
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
