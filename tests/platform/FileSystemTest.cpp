#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/FileSystem.h"
#include "tests/support/TestFiles.h"

namespace {

using testfiles::readFile;
using testfiles::writeFile;

// A Wine-style prefix: dosdevices/c: links to ../drive_c, which holds "Program Files/Tarvel".
class DriveMapping : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(prefix_ / "dosdevices");
    std::filesystem::create_directories(prefix_ / "drive_c/Program Files/Tarvel/Device");
    std::filesystem::create_symlink("../drive_c", prefix_ / "dosdevices/c:");
    platform::setDriveRoot(prefix_.path());
  }
  std::string drive(const std::string& relative) const { return prefix_ / ("dosdevices/c:/" + relative); }

  testfiles::TempFolder prefix_;
};

TEST_F(DriveMapping, ExistingComponentsAreFoundIgnoringCaseNewOnesKeepTheirCase) {
  const struct {
    const char* windowsPath;
    std::string native;
  } cases[] = {
      {"C:\\Program Files\\Tarvel\\Device\\x.dsr", drive("Program Files/Tarvel/Device/x.dsr")},
      {"c:\\PROGRAM FILES\\tarvel\\DEVICE\\New File.DSR", drive("Program Files/Tarvel/Device/New File.DSR")},
      {"C:/Program Files/Tarvel/Missing/Sub", drive("Program Files/Tarvel/Missing/Sub")},
      {"C:\\Program Files\\\\Tarvel\\.\\Other\\..\\Device\\", drive("Program Files/Tarvel/Device")},
      {"C:\\..\\..\\Program Files", drive("Program Files")},
      {"C:", drive("").substr(0, drive("").size() - 1)},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::nativePath(c.windowsPath), std::optional<std::string>(c.native)) << c.windowsPath;
}

TEST_F(DriveMapping, AnExactMatchWinsOverOneThatDiffersInCase) {
  std::filesystem::create_directories(drive("Program Files/tarvel"));
  EXPECT_EQ(platform::nativePath("C:\\Program Files\\tarvel"), drive("Program Files/tarvel"));
  EXPECT_EQ(platform::nativePath("C:\\Program Files\\Tarvel"), drive("Program Files/Tarvel"));
}

TEST_F(DriveMapping, PathsWithoutAMappedDriveCannotBeMapped) {
  for (const char* path : {"Program Files\\x", "\\Program Files\\x", "\\\\server\\share\\x", "C:relative\\x",
                           "D:\\Program Files\\x", "1:\\x", ""}) {
    EXPECT_FALSE(platform::nativePath(path).has_value()) << path;
    EXPECT_FALSE(platform::createFileForWriting(path)) << path;
  }
}

TEST_F(DriveMapping, ADriveLinkThatPointsNowhereFailsEveryOperation) {
  std::filesystem::create_symlink("../nowhere", prefix_ / "dosdevices/d:");
  EXPECT_FALSE(platform::createFileForWriting("D:\\x.txt"));
  EXPECT_FALSE(platform::createDirectory("D:\\Folder"));
  EXPECT_FALSE(platform::pathExists("D:\\x.txt"));
}

TEST_F(DriveMapping, CreateForWritingReplacesAndTruncates) {
  writeFile(drive("Program Files/Tarvel/Device/x.dsr"), "a much longer old content");
  auto file = platform::createFileForWriting("C:\\program files\\tarvel\\device\\X.DSR").value;
  ASSERT_TRUE(file);
  EXPECT_EQ(file->write("new", 3).value, 3u);
  file.reset();
  EXPECT_EQ(readFile(drive("Program Files/Tarvel/Device/x.dsr")), "new");
  EXPECT_FALSE(testfiles::exists(drive("Program Files/Tarvel/Device/X.DSR")));
}

TEST_F(DriveMapping, AFileWithoutWriteBitsIsReadOnlyEvenForRoot) {
  const std::string native = drive("Program Files/Tarvel/Device/locked.dsr");
  writeFile(native, "installed");
  ASSERT_EQ(::chmod(native.c_str(), 0444), 0);
  writeFile(drive("Program Files/Tarvel/Device/other.dsr"), "other");

  EXPECT_FALSE(platform::createFileForWriting("C:\\Program Files\\Tarvel\\Device\\locked.dsr"));
  EXPECT_FALSE(platform::deleteFile("C:\\Program Files\\Tarvel\\Device\\locked.dsr"));
  EXPECT_FALSE(platform::moveFileReplacing("C:\\Program Files\\Tarvel\\Device\\other.dsr",
                                           "C:\\Program Files\\Tarvel\\Device\\locked.dsr"));
  EXPECT_FALSE(platform::writeFileReplacing("C:\\Program Files\\Tarvel\\Device\\locked.dsr", "never"));
  EXPECT_EQ(readFile(native), "installed");
  // Reading is allowed.
  auto reader = platform::openFileForReading("C:\\Program Files\\Tarvel\\Device\\locked.dsr").value;
  ASSERT_TRUE(reader);
  char buffer[16];
  EXPECT_EQ(reader->read(buffer, sizeof buffer).value, 9u);
}

// Readers share a file (two runs may read one shipped description at once); a writer needs it alone.
TEST_F(DriveMapping, AnOpenFileIsSharedWithReadersOnly) {
  writeFile(drive("Program Files/Tarvel/Device/x.dsr"), "installed");
  auto holder = platform::openFileForReading("C:\\Program Files\\Tarvel\\Device\\x.dsr").value;
  ASSERT_TRUE(holder);
  EXPECT_TRUE(platform::openFileForReading("C:\\Program Files\\Tarvel\\Device\\x.dsr"));
  EXPECT_FALSE(platform::createFileForWriting("C:\\Program Files\\Tarvel\\Device\\x.dsr"));
  EXPECT_EQ(readFile(drive("Program Files/Tarvel/Device/x.dsr")), "installed");  // not truncated
  holder.reset();
  EXPECT_TRUE(platform::createFileForWriting("C:\\Program Files\\Tarvel\\Device\\x.dsr"));
}

TEST_F(DriveMapping, FoldersAreNeitherOpenedNorDeletedAsFiles) {
  EXPECT_FALSE(platform::createFileForWriting("C:\\Program Files\\Tarvel\\Device"));
  EXPECT_FALSE(platform::openFileForReading("C:\\Program Files\\Tarvel\\Device"));
  EXPECT_FALSE(platform::deleteFile("C:\\Program Files\\Tarvel\\Device"));
  EXPECT_FALSE(platform::fileExists("C:\\Program Files\\Tarvel\\Device"));
  EXPECT_TRUE(platform::pathExists("C:\\Program Files\\Tarvel\\Device"));
}

TEST_F(DriveMapping, CreateDirectoryMakesOneLevelOnly) {
  EXPECT_TRUE(platform::createDirectory("C:\\Program Files\\Tarvel\\Profiles"));
  EXPECT_FALSE(platform::createDirectory("C:\\Program Files\\Tarvel\\Profiles"));  // already there
  EXPECT_FALSE(platform::createDirectory("C:\\Program Files\\Tarvel\\Missing\\Nexlume Q7"));
  EXPECT_FALSE(testfiles::exists(drive("Program Files/Tarvel/Missing")));
}

TEST_F(DriveMapping, CreateNewFileNeverReplacesAnythingNotEvenALink) {
  const std::string folder = "C:\\Program Files\\Tarvel\\Device\\";
  EXPECT_TRUE(platform::createNewFile(folder + "fresh.tmp"));
  EXPECT_FALSE(platform::createNewFile(folder + "fresh.tmp"));
  std::filesystem::create_symlink("/nonexistent-target", drive("Program Files/Tarvel/Device/link.tmp"));
  EXPECT_FALSE(platform::createNewFile(folder + "link.tmp"));
  EXPECT_FALSE(testfiles::exists("/nonexistent-target"));
  // Deleting the link removes the link, not its target.
  EXPECT_TRUE(platform::deleteFile(folder + "link.tmp"));
  EXPECT_FALSE(testfiles::exists(drive("Program Files/Tarvel/Device/link.tmp")));
}

// A run that ended after making the backup and before replacing the target leaves P.bak as a second
// name of P; the next replacing write still leaves no scratch name behind, and P.bak the old content.
TEST_F(DriveMapping, ABackupThatIsAlreadyTheTargetLeavesNoScratchName) {
  const std::string folder = "C:\\Program Files\\Tarvel\\Device\\";
  const std::string target = drive("Program Files/Tarvel/Device/d.dsr");
  writeFile(target, "installed");
  ASSERT_EQ(::link(target.c_str(), (target + ".bak").c_str()), 0);
  ASSERT_TRUE(platform::writeFileReplacing(folder + "d.dsr", "merged", folder + "d.dsr.bak"));
  EXPECT_EQ(readFile(target), "merged");
  EXPECT_EQ(readFile(target + ".bak"), "installed");
  EXPECT_FALSE(testfiles::exists(target + ".bak.out"));
  EXPECT_FALSE(testfiles::exists(target + ".out"));
}

TEST_F(DriveMapping, WriteAndMove) {
  const std::string folder = "C:\\Program Files\\Tarvel\\Device\\";
  writeFile(drive("Program Files/Tarvel/Device/a.dsr"), "new description");
  writeFile(drive("Program Files/Tarvel/Device/b.dsr"), "old description, longer");
  EXPECT_FALSE(platform::writeNewFile(folder + "Device-missing\\c.dsr", "x")) << "no folder is created";
  EXPECT_TRUE(platform::writeFileReplacing(folder + "B.DSR", "replaced whole"));  // found ignoring case
  EXPECT_EQ(readFile(drive("Program Files/Tarvel/Device/b.dsr")), "replaced whole");
  EXPECT_FALSE(testfiles::exists(drive("Program Files/Tarvel/Device/b.dsr.out")));

  EXPECT_TRUE(platform::moveFileReplacing(folder + "a.dsr", folder + "B.DSR"));  // replaces b.dsr
  EXPECT_FALSE(testfiles::exists(drive("Program Files/Tarvel/Device/a.dsr")));
  EXPECT_EQ(readFile(drive("Program Files/Tarvel/Device/b.dsr")), "new description");
  EXPECT_TRUE(platform::flushFolderOf(folder + "b.dsr"));
  const platform::FileValue<std::vector<std::uint8_t>> read = platform::readWholeFile(folder + "b.dsr");
  EXPECT_TRUE(read) << read.reason;
  EXPECT_EQ(read.value, (std::vector<std::uint8_t>{'n', 'e', 'w', ' ', 'd', 'e', 's', 'c', 'r', 'i', 'p', 't', 'i', 'o', 'n'}));
  EXPECT_FALSE(platform::readWholeFile(folder + "a.dsr"));
}

}  // namespace
