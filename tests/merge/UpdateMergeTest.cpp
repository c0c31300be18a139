// The update merge on files: what happens to the installed description P, P + ".tmp" and P + ".out"
// on success, on unusual installed files, on planted links, and when any file operation fails or the
// process ends there.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/UpdateMerge.h"
#include "model/DeviceSeriesIO.h"
#include "platform/FaultInjection.h"
#include "xmlio/Dom.h"
#include "support/TestFiles.h"

using namespace app;

namespace {

// The new description embedded in this test program under the id of "Nexlume Q7 D4.dsr".
constexpr int kNewDescription = 129;
const std::string kNewDescriptionFile = std::string(NEXLUME_MERGE_FIXTURES) + "/new.dsr";
const std::string kUserMedium = "My Banner";
const std::string kUserMediumJapanese = "私のバナー";

DeviceSeries load(const std::string& path) {
  DeviceSeries series;
  DeviceSeriesIO2 io(path);
  EXPECT_TRUE(io.LoadDocumentWithFallback(series)) << path << ": " << io.lastError();
  return series;
}

const MediaInfo* findMedium(const DeviceSeries& series, const std::string& english) {
  auto found = std::find_if(series.aMediaInfoList.begin(), series.aMediaInfoList.end(),
                            [&](const MediaInfo& m) { return m.strMediaName[0] == english; });
  return found == series.aMediaInfoList.end() ? nullptr : &*found;
}

// What the user's host holds: the new description's media, one of them hidden, and a medium of the
// user's own whose permission set carries six calibration entries for a four-channel separation.
DeviceSeries installedDescription() {
  DeviceSeries series = load(kNewDescriptionFile);
  series.aMediaInfoList[1].bVisibleMedia = false;
  MediaInfo mine = series.aMediaInfoList[0];
  mine.strMediaName.fill(kUserMedium);
  mine.strMediaName[6] = kUserMediumJapanese;
  mine.bVisibleMedia = true;
  PermissionSet& set = mine.aPermissionSetList.at(0);
  while (set.aCalibrationInfoList.size() < 6) set.aCalibrationInfoList.push_back(set.aCalibrationInfoList.front());
  series.aMediaInfoList.push_back(mine);
  return series;
}

class UpdateMerge : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceSeries installed = installedDescription();
    DeviceSeriesIO2 io(target);
    ASSERT_TRUE(io.SaveDocument(installed)) << io.lastError();
    installedBytes = testfiles::readFile(target);
  }

  void expectNoScratchFiles() {
    EXPECT_FALSE(testfiles::exists(target + ".tmp"));
    EXPECT_FALSE(testfiles::exists(target + ".out"));
  }

  // The installed file is its old content, or a complete merge that kept the user's medium.
  void expectOldOrMerged() {
    const std::string now = testfiles::readFile(target);
    if (now == installedBytes) return;
    DeviceSeries merged = load(target);
    const MediaInfo* mine = findMedium(merged, kUserMedium);
    ASSERT_NE(mine, nullptr) << "the user's medium is lost";
    EXPECT_EQ(mine->strMediaName[6], kUserMediumJapanese);
  }

  testfiles::TempFolder folder;
  const std::string target = folder / "Nexlume Q7 D4.dsr";
  std::string installedBytes;
};

TEST_F(UpdateMerge, KeepsTheUsersMediaAndVisibilityAndTakesTheNewVersion) {
  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  ASSERT_TRUE(outcome.succeeded) << outcome.failure;
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Merged);
  expectNoScratchFiles();
  const DeviceSeries fresh = load(kNewDescriptionFile);
  const DeviceSeries merged = load(target);
  ASSERT_EQ(merged.aMediaInfoList.size(), fresh.aMediaInfoList.size() + 1);
  for (std::size_t i = 0; i < fresh.aMediaInfoList.size(); ++i)
    EXPECT_EQ(merged.aMediaInfoList[i].strMediaName, fresh.aMediaInfoList[i].strMediaName);
  EXPECT_FALSE(merged.aMediaInfoList[1].bVisibleMedia);
  const MediaInfo& mine = merged.aMediaInfoList.back();
  EXPECT_EQ(mine.strMediaName[0], kUserMedium);
  EXPECT_EQ(mine.strMediaName[6], kUserMediumJapanese);  // UTF-8 survives byte for byte
  EXPECT_EQ(mine.aPermissionSetList.at(0).aCalibrationInfoList.size(), 4u);
  EXPECT_NE(testfiles::readFile(target).find("strVersion=\"3.4.1.7\""), std::string::npos);
  EXPECT_EQ(outcome.report.appended, std::vector<std::string>{kUserMedium});
}

// A file that is not well-formed is replaced without a merge, announced, and its original kept under
// a name that no later run replaces: a retry never pushes it out.
TEST_F(UpdateMerge, AnInstalledFileThatIsNotWellFormedIsReplacedAndItsOriginalKeptForGood) {
  const std::string cutShort = installedBytes.substr(0, installedBytes.size() / 2);
  testfiles::writeFile(target, cutShort);

  MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  EXPECT_TRUE(outcome.succeeded) << outcome.failure;
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Replaced);
  EXPECT_NE(outcome.notice.find("not well-formed"), std::string::npos) << outcome.notice;
  EXPECT_NE(outcome.notice.find("line "), std::string::npos) << outcome.notice;
  EXPECT_NE(outcome.notice.find(target + ".unmerged"), std::string::npos) << outcome.notice;
  EXPECT_EQ(testfiles::readFile(target), testfiles::readFile(kNewDescriptionFile));
  EXPECT_EQ(testfiles::readFile(target + ".unmerged"), cutShort);
  expectNoScratchFiles();

  // The retry a deployment tool makes, twice: the original stays where it was.
  ASSERT_TRUE(mergeInstalledDescription(target, kNewDescription).succeeded);
  ASSERT_TRUE(mergeInstalledDescription(target, kNewDescription).succeeded);
  EXPECT_EQ(testfiles::readFile(target + ".unmerged"), cutShort);

  // A second broken original goes beside the first.
  const std::string zeros(3000, '\0');
  testfiles::writeFile(target, zeros);
  outcome = mergeInstalledDescription(target, kNewDescription);
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Replaced);
  EXPECT_EQ(testfiles::readFile(target + ".unmerged"), cutShort);
  EXPECT_EQ(testfiles::readFile(target + ".unmerged.2"), zeros);
}

// One generation back: each merge that changes P leaves the file it replaced as P.bak, replacing an
// older one; a merge that gives P's own bytes changes nothing, so a retry keeps the backup of the
// update before it.
TEST_F(UpdateMerge, TheReplacedDescriptionStaysAsBackupOneGenerationBack) {
  ASSERT_TRUE(mergeInstalledDescription(target, kNewDescription).succeeded);
  EXPECT_EQ(testfiles::readFile(target + ".bak"), installedBytes);
  const std::string firstMerge = testfiles::readFile(target);
  const auto firstWritten = std::filesystem::last_write_time(target);

  const MergeOutcome retry = mergeInstalledDescription(target, kNewDescription);
  ASSERT_TRUE(retry.succeeded);
  EXPECT_TRUE(retry.unchanged);
  EXPECT_EQ(testfiles::readFile(target), firstMerge);
  EXPECT_EQ(std::filesystem::last_write_time(target), firstWritten) << "an unchanged file is not written again";
  EXPECT_EQ(testfiles::readFile(target + ".bak"), installedBytes) << "a retry keeps the backup of the update";

  // The user edits a shipped medium after the update; the merge takes the new description's fields
  // for it, so the next update changes P again and rotates the backup.
  DeviceSeries edited = load(target);
  edited.aMediaInfoList[0].flCutOffset += 1.0f;
  DeviceSeriesIO2 io(target);
  ASSERT_TRUE(io.SaveDocument(edited)) << io.lastError();
  const std::string userEdit = testfiles::readFile(target);
  ASSERT_TRUE(mergeInstalledDescription(target, kNewDescription).succeeded);
  EXPECT_EQ(testfiles::readFile(target + ".bak"), userEdit);
  EXPECT_FALSE(testfiles::exists(target + ".bak.out"));
}

TEST_F(UpdateMerge, ABackupThatCannotBeMadeKeepsTheInstalledFile) {
  std::filesystem::create_directory(target + ".bak");  // a folder cannot be replaced by the backup

  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Kept);
  EXPECT_EQ(testfiles::readFile(target), installedBytes);
  expectNoScratchFiles();
  EXPECT_FALSE(testfiles::exists(target + ".bak.out"));
}

TEST_F(UpdateMerge, NothingInstalledIsWrittenFreshWithoutBackup) {
  std::filesystem::remove(target);

  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  EXPECT_TRUE(outcome.succeeded);
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Replaced);
  EXPECT_FALSE(testfiles::exists(target + ".bak"));
}

// A description with a document type declaration that only names the root is merged; one that
// declares anything is kept as it is (it is well-formed: its content is unknown, not bad).
TEST_F(UpdateMerge, DocumentTypeDeclarationsAreMergedOrKeptNeverReplaced) {
  const std::size_t root = installedBytes.find("<DeviceSeries ");
  ASSERT_NE(root, std::string::npos);
  const struct {
    const char* declaration;
    MergeOutcome::Kind kind;
  } cases[] = {
      {"<!DOCTYPE DeviceSeries>\n", MergeOutcome::Kind::Merged},
      {"<!DOCTYPE DeviceSeries [<!ENTITY e 'x'>]>\n", MergeOutcome::Kind::Kept},
      {"<!DOCTYPE DeviceSeries SYSTEM 'http://192.0.2.1/d.dtd'>\n", MergeOutcome::Kind::Kept},
  };
  for (const auto& c : cases) {
    const std::string declared = std::string(installedBytes).insert(root, c.declaration);
    testfiles::writeFile(target, declared);
    const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);
    EXPECT_EQ(outcome.kind, c.kind) << c.declaration << outcome.failure;
    if (c.kind == MergeOutcome::Kind::Kept) {
      EXPECT_EQ(testfiles::readFile(target), declared) << c.declaration;
    } else {
      expectOldOrMerged();
    }
  }
}

TEST_F(UpdateMerge, XmlThatIsNoDescriptionIsLeftUntouchedAndReportedAsFailed) {
  testfiles::writeFile(target, "<?xml version='1.0'?>\n<!--" + std::string(1100, 'x') +
                                   "-->\n<Other strVersion=\"1.0.0.0\"/>\n");
  const std::string before = testfiles::readFile(target);

  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Kept);
  EXPECT_EQ(testfiles::readFile(target), before);
  expectNoScratchFiles();
}

TEST_F(UpdateMerge, AFailedSaveKeepsTheInstalledFileAndIsReported) {
  // A folder where the merged file should go: neither removable as a file nor writable.
  std::filesystem::create_directory(target + ".out");

  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(testfiles::readFile(target), installedBytes);
  EXPECT_FALSE(testfiles::exists(target + ".tmp"));
}

TEST_F(UpdateMerge, WithoutTheDomTheInstalledFileStaysAndTheMergeIsReported) {
  dom::setDomMissingForTesting(true);
  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);
  dom::setDomMissingForTesting(false);

  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Kept);
  EXPECT_EQ(testfiles::readFile(target), installedBytes);
  expectNoScratchFiles();
}

TEST_F(UpdateMerge, LinksPlantedAtTheScratchPathsAreRemovedNeverWrittenThrough) {
  const std::string victimTmp = folder / "victim-tmp", victimOut = folder / "victim-out";
  testfiles::writeFile(victimTmp, "precious");
  testfiles::writeFile(victimOut, "precious");
  std::filesystem::create_symlink(victimTmp, target + ".tmp");
  std::filesystem::create_symlink(victimOut, target + ".out");

  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  EXPECT_TRUE(outcome.succeeded) << outcome.failure;
  EXPECT_EQ(testfiles::readFile(victimTmp), "precious");
  EXPECT_EQ(testfiles::readFile(victimOut), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(target));
  expectNoScratchFiles();
}

TEST_F(UpdateMerge, AStaleScratchFileThatCannotBeRemovedIsNeverReadAndKeepsTheInstalledFile) {
  testfiles::writeFile(target + ".tmp", testfiles::readFile(kNewDescriptionFile) + "<!-- another series -->");
  std::filesystem::permissions(target + ".tmp", std::filesystem::perms::owner_read);

  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.kind, MergeOutcome::Kind::Kept);
  EXPECT_NE(outcome.failure.find("read-only"), std::string::npos) << outcome.failure;
  EXPECT_EQ(testfiles::readFile(target), installedBytes);
}

TEST_F(UpdateMerge, StaleScratchFilesOfAnInterruptedRunAreReplacedNotRead) {
  testfiles::writeFile(target + ".tmp", "<DeviceSeries strVersion=\"9.9.9.9\">stale");
  testfiles::writeFile(target + ".out", "<DeviceSeries strVersion=\"9.9.9.9\"/>");

  const MergeOutcome outcome = mergeInstalledDescription(target, kNewDescription);

  ASSERT_TRUE(outcome.succeeded) << outcome.failure;
  EXPECT_NE(testfiles::readFile(target).find("strVersion=\"3.4.1.7\""), std::string::npos);
  expectNoScratchFiles();
}

// Every file operation of a merge, made to fail in turn, and the process ended at it in turn: the
// installed file is always the old one or the complete merge, and the next merge completes.
TEST_F(UpdateMerge, NoFailingOrInterruptedFileOperationLosesTheUsersMedia) {
  platform::resetFaultInjectionForTesting();
  const std::int64_t start = platform::fileOperationCount();
  ASSERT_TRUE(mergeInstalledDescription(target, kNewDescription).succeeded);
  const std::int64_t operations = platform::fileOperationCount() - start;
  ASSERT_GT(operations, 5);

  for (const char* mode : {"fail", "exit"}) {
    for (std::int64_t k = 1; k <= operations; ++k) {
      SCOPED_TRACE(std::string(mode) + " at operation " + std::to_string(k));
      testfiles::writeFile(target, installedBytes);
      const std::string plan = std::to_string(k) + ":" + mode;
      if (std::string(mode) == "fail") {
        ::setenv("NEXLUME_FAULT_AT", plan.c_str(), 1);
        platform::resetFaultInjectionForTesting();
        mergeInstalledDescription(target, kNewDescription);
        ::unsetenv("NEXLUME_FAULT_AT");
      } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
          ::setenv("NEXLUME_FAULT_AT", plan.c_str(), 1);
          platform::resetFaultInjectionForTesting();
          mergeInstalledDescription(target, kNewDescription);
          ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
      }
      platform::resetFaultInjectionForTesting();
      expectOldOrMerged();

      const MergeOutcome next = mergeInstalledDescription(target, kNewDescription);
      EXPECT_TRUE(next.succeeded) << next.failure;
      expectOldOrMerged();
      expectNoScratchFiles();
    }
  }
}

}  // namespace
