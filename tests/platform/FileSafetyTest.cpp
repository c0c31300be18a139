// What the file layer never does, whatever is planted in the host's folders: read through a link or
// open a FIFO or device, write into a folder that leads outside the host's folder, or hand a replaced
// file's content to another owner or a wider mode.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "tests/support/TestFiles.h"

namespace {

using testfiles::readFile;
using testfiles::writeFile;
namespace fs = std::filesystem;

// A Wine-style prefix beside a folder outside the host: dosdevices/c: links to ../drive_c, whose
// "Program Files/Tarvel" is the host's install folder with its Device folder.
class HostFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "prefix/dosdevices");
    fs::create_directories(native("Device"));
    fs::create_directories(outside());
    fs::create_symlink("../drive_c", root_ / "prefix/dosdevices/c:");
    platform::setDriveRoot(root_ / "prefix");
  }
  void TearDown() override {
    std::string ignored;
    platform::setHostFolder("", ignored);
  }
  std::string native(const std::string& relative) const { return root_ / ("prefix/drive_c/Program Files/Tarvel/" + relative); }
  std::string outside(const std::string& name = "") const { return root_ / ("outside/" + name); }
  static std::string windows(const std::string& relative) { return "C:\\Program Files\\Tarvel\\" + relative; }
  void useHostFolder() {
    std::string why;
    ASSERT_TRUE(platform::setHostFolder(windows(""), why)) << why;
  }

  testfiles::TempFolder root_;
};

std::string reasonOfRead(const std::string& path) {
  const platform::OpenedFile opened = platform::openFileForReading(path);
  const platform::FileValue<std::vector<std::uint8_t>> read = platform::readWholeFile(path);
  if (opened || read) return "was read";
  return opened.reason == read.reason ? opened.reason : opened.reason + " / " + read.reason;
}

// Neither an open nor a whole read goes through a link or opens anything but a regular file, and a
// FIFO never blocks either.
TEST_F(HostFolder, OnlyRegularFilesAreReadAndNeverThroughALink) {
  writeFile(outside("secret"), std::string(2000, 's'));
  const struct {
    const char* what;
    std::function<bool(const std::string&)> plant;
    const char* reason;
  } cases[] = {
      {"a link to a file outside", [&](const std::string& at) { return ::symlink(outside("secret").c_str(), at.c_str()) == 0; },
       "a symbolic link is in the way"},
      {"a link to /proc/self/environ", [](const std::string& at) { return ::symlink("/proc/self/environ", at.c_str()) == 0; },
       "a symbolic link is in the way"},
      {"a link to nothing", [](const std::string& at) { return ::symlink("/nonexistent-target", at.c_str()) == 0; },
       "a symbolic link is in the way"},
      {"a FIFO", [](const std::string& at) { return ::mkfifo(at.c_str(), 0644) == 0; }, "not a regular file"},
      {"a character device", [](const std::string& at) { return ::mknod(at.c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0; },
       "not a regular file"},
      {"a folder", [](const std::string& at) { return ::mkdir(at.c_str(), 0755) == 0; }, "a folder is in the way"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string at = native("Device/x.dsr");
    fs::remove_all(at);
    if (!c.plant(at)) {
      ASSERT_STREQ(c.what, "a character device") << "cannot plant it";
      continue;  // making a device needs root
    }
    EXPECT_EQ(reasonOfRead(windows("Device\\x.dsr")), c.reason);
  }
  EXPECT_EQ(readFile(outside("secret")), std::string(2000, 's'));
}

// A link at a target that is to be backed up is neither replaced nor copied: its target's content
// never becomes the backup.
TEST_F(HostFolder, ALinkIsNeverBackedUpByACopyOfItsTarget) {
  writeFile(outside("secret"), "outside the host");
  ASSERT_EQ(::symlink(outside("secret").c_str(), native("Device/d.dsr").c_str()), 0);
  const platform::WriteResult written = platform::writeFileReplacing(windows("Device\\d.dsr"), "new", windows("Device\\d.dsr.bak"));
  EXPECT_EQ(written.failure, platform::WriteFailure::Backup) << written.reason;
  EXPECT_NE(written.reason.find("a symbolic link is in the way"), std::string::npos) << written.reason;
  EXPECT_FALSE(fs::exists(fs::symlink_status(native("Device/d.dsr.bak"))));
  EXPECT_TRUE(fs::is_symlink(native("Device/d.dsr")));
  EXPECT_EQ(readFile(outside("secret")), "outside the host");
  for (const char* scratch : {"Device/d.dsr.out", "Device/d.dsr.bak.out"}) EXPECT_FALSE(testfiles::exists(native(scratch)));
}

// Once the host's folder is set, a folder below it that leads outside takes no file, no folder, no
// rename, no link and no removal, and the dry run's check says the same. The host's folder itself
// may be reached through links, and a link that stays inside it is a folder of the host.
TEST_F(HostFolder, AFolderThatLeadsOutsideTakesNothing) {
  fs::remove(native("Device"));
  fs::create_directory_symlink(outside(), native("Device"));
  fs::create_directory_symlink("Inside", native("Alias"));
  fs::create_directories(native("Inside"));
  writeFile(native("kept.dsr"), "in the host");
  writeFile(outside("victim.dsr"), "outside the host");
  useHostFolder();

  const std::string reason = "the folder " + windows("Device") + " leads outside the host's folder";
  const platform::WriteResult written = platform::writeFileReplacing(windows("Device\\new.dsr"), "new");
  EXPECT_FALSE(written);
  EXPECT_NE(written.reason.find(reason), std::string::npos) << written.reason;
  const struct {
    const char* what;
    std::function<platform::FileResult()> operation;
  } refused[] = {
      {"a new file", [] { return platform::FileResult(platform::createNewFile(windows("Device\\x.tmp"))); }},
      {"a file written", [] { return platform::FileResult(platform::createFileForWriting(windows("Device\\victim.dsr"))); }},
      {"a folder", [] { return platform::createDirectory(windows("Device\\Sub")); }},
      {"a removal", [] { return platform::deleteFile(windows("Device\\victim.dsr")); }},
      {"a rename into it", [] { return platform::moveFileReplacing(windows("kept.dsr"), windows("Device\\victim.dsr")); }},
      {"a rename out of it", [] { return platform::moveFileReplacing(windows("Device\\victim.dsr"), windows("taken.dsr")); }},
      {"a link into it", [] { return platform::linkFile(windows("kept.dsr"), windows("Device\\kept.dsr")); }},
      {"a link of a file in it", [] { return platform::linkFile(windows("Device\\victim.dsr"), windows("taken.dsr")); }},
  };
  for (const auto& r : refused) {
    const platform::FileResult result = r.operation();
    EXPECT_FALSE(result) << r.what;
    EXPECT_EQ(result.reason, reason) << r.what;
  }
  const platform::WriteResult scratch = platform::writeNewFile(windows("Device\\y.tmp"), "x");
  EXPECT_FALSE(scratch);
  EXPECT_EQ(scratch.reason, "the new file cannot be created: " + reason);
  const platform::FileResult replaceable = platform::canReplace(windows("Device\\victim.dsr"));
  EXPECT_FALSE(replaceable);
  EXPECT_EQ(replaceable.reason, reason);
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(outside()), fs::directory_iterator()),
            std::vector<fs::path>{outside("victim.dsr")});
  EXPECT_EQ(readFile(outside("victim.dsr")), "outside the host");
  EXPECT_EQ(readFile(native("kept.dsr")), "in the host");

  EXPECT_TRUE(platform::writeFileReplacing(windows("kept.dsr"), "replaced"));
  EXPECT_TRUE(platform::writeFileReplacing(windows("Alias\\x.dsr"), "inside"));
  EXPECT_EQ(readFile(native("Inside/x.dsr")), "inside");
  const platform::FileResult throughAlias = platform::canReplace(windows("Alias\\x.dsr"));
  EXPECT_TRUE(throughAlias) << throughAlias.reason;

  // The install folder reached through a link of its own is still the host's folder.
  const fs::path install = root_ / "prefix/drive_c/Program Files/Tarvel";
  fs::rename(install, root_ / "real-install");
  fs::create_directory_symlink(root_ / "real-install", install);
  useHostFolder();
  EXPECT_TRUE(platform::writeFileReplacing(windows("kept.dsr"), "through the link"));
  EXPECT_FALSE(platform::writeFileReplacing(windows("Device\\new.dsr"), "new"));
}

// A host folder that cannot be resolved takes nothing, whatever appears at its path later.
TEST_F(HostFolder, AHostFolderThatCannotBeResolvedTakesNothing) {
  const struct {
    const char* installPath;
    const char* why;
  } cases[] = {
      {"C:\\Program Files\\Missing\\", "the host's folder C:\\Program Files\\Missing\\: No such file or directory"},
      {"Q:\\Tarvel\\", "the host's folder Q:\\Tarvel\\ cannot be mapped to a drive of the prefix"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.installPath);
    std::string why;
    EXPECT_FALSE(platform::setHostFolder(c.installPath, why));
    EXPECT_EQ(why, c.why);
    fs::create_directories(native("../Missing"));
    EXPECT_FALSE(platform::writeFileReplacing("C:\\Program Files\\Missing\\x.dsr", "new"));
    const platform::FileResult created = platform::createDirectory(windows("Sub"));
    EXPECT_FALSE(created);
    EXPECT_EQ(created.reason, c.why);
    const platform::FileResult replaceable = platform::canReplace(windows("x.dsr"));
    EXPECT_FALSE(replaceable);
    EXPECT_EQ(replaceable.reason, c.why);
    fs::remove_all(native("../Missing"));
  }
  EXPECT_TRUE(fs::is_empty(native("Device")));
}

// The owner, group, mode and extended attributes (ACLs among them) of the replaced file, on the new
// file and on a backup made by copy, whichever operation of the write fails; a new file keeps what
// the folder and umask give. Needs root to give files to another user.
class KeptAccess : public HostFolder {
 protected:
  void TearDown() override {
    ::unsetenv("NEXLUME_FAULT_AT");
    platform::resetFaultInjectionForTesting();
    HostFolder::TearDown();
  }
};

// An access ACL: the owner rw, user 1001 r, the owning group nothing, mask r, others nothing.
std::string aclGivingUser1001Read() {
  const unsigned char entries[][8] = {
      {0x01, 0, 6, 0, 0xff, 0xff, 0xff, 0xff}, {0x02, 0, 4, 0, 0xe9, 0x03, 0, 0}, {0x04, 0, 0, 0, 0xff, 0xff, 0xff, 0xff},
      {0x10, 0, 4, 0, 0xff, 0xff, 0xff, 0xff}, {0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}};
  std::string acl("\x02\x00\x00\x00", 4);
  for (const auto& entry : entries) acl.append(reinterpret_cast<const char*>(entry), sizeof entry);
  return acl;
}

std::string attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t size = ::lgetxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? std::string() : std::string(value, static_cast<std::size_t>(size));
}

TEST_F(KeptAccess, AReplacedFileKeepsItsOwnerModeAndAttributes) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  const std::string target = native("Device/d.dsr");
  const std::string backup = target + ".bak";
  const std::string acl = aclGivingUser1001Read();
  auto prepare = [&] {
    writeFile(target, "installed");
    fs::remove(backup);
    ASSERT_EQ(::chown(target.c_str(), 1000, 1000), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(::setxattr(target.c_str(), "user.nexlume.note", "kept", 4, 0), 0);
    ASSERT_EQ(::setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);  // mode 0640 now
  };
  auto expectAccessKept = [&](const std::string& path) {
    struct stat info{};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_uid, 1000u) << path;
    EXPECT_EQ(info.st_gid, 1000u) << path;
    EXPECT_EQ(info.st_mode & 07777, 0640u) << path;
    EXPECT_EQ(attribute(path, "user.nexlume.note"), "kept") << path;
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl) << path;
  };
  useHostFolder();

  ASSERT_NO_FATAL_FAILURE(prepare());
  ASSERT_TRUE(platform::writeFileReplacing(windows("Device\\d.dsr"), "merged", windows("Device\\d.dsr.bak")));
  EXPECT_EQ(readFile(target), "merged");
  expectAccessKept(target);
  expectAccessKept(backup);

  // Each operation failing in turn: whatever is left at the target, and a copy of it that was made
  // (a failing hard link makes the backup or the kept original a copy), has the old owner and access.
  const struct {
    const char* what;
    std::string copy;
    std::function<void()> operation;
  } operations[] = {
      {"a replacing write", backup,
       [] { platform::writeFileReplacing(windows("Device\\d.dsr"), "merged", windows("Device\\d.dsr.bak")); }},
      {"keeping the original", target + ".unmerged",
       [] {
         std::string keptAt;
         platform::keepUnmerged(windows("Device\\d.dsr"), keptAt);
       }},
  };
  for (const auto& operation : operations) {
    bool copied = false;
    for (int k = 1; k < 40; ++k) {
      SCOPED_TRACE(std::string(operation.what) + ", operation " + std::to_string(k) + " fails");
      ASSERT_NO_FATAL_FAILURE(prepare());
      fs::remove(operation.copy);
      ::setenv("NEXLUME_FAULT_AT", std::to_string(k).c_str(), 1);
      platform::resetFaultInjectionForTesting();
      operation.operation();
      const bool reachedTheEnd = platform::fileOperationCount() < k;
      ::unsetenv("NEXLUME_FAULT_AT");
      platform::resetFaultInjectionForTesting();
      expectAccessKept(target);
      if (testfiles::exists(operation.copy)) {
        expectAccessKept(operation.copy);
        struct stat a{}, b{};
        copied |= ::stat(target.c_str(), &a) == 0 && ::stat(operation.copy.c_str(), &b) == 0 && a.st_ino != b.st_ino &&
                  readFile(operation.copy) == "installed";
      }
      if (reachedTheEnd) break;
    }
    EXPECT_TRUE(copied) << operation.what << ": no failure made a copy";
  }

  // A file with no predecessor: the folder and umask decide, not a file that was there before.
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(platform::writeFileReplacing(windows("Device\\fresh.dsr"), "new"));
  ::umask(mask);
  struct stat fresh{};
  ASSERT_EQ(::lstat(native("Device/fresh.dsr").c_str(), &fresh), 0);
  EXPECT_EQ(fresh.st_uid, 0u);
  EXPECT_EQ(fresh.st_mode & 0777, 0644u);
}

}  // namespace
