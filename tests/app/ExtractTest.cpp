#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Extract.h"
#include "platform/FaultInjection.h"
#include "tests/support/ProgressCapture.h"
#include "tests/support/TestFiles.h"

using namespace app;

namespace {

using testfiles::readFile;

// Embedded files of this test program (fixtures/files.tsv).
constexpr int kNewContent = 501;  // "new content", 11 bytes
constexpr int kEmpty = 502;
constexpr int kMissing = 599;

struct Extraction {
  bool result;
  std::string line;
};

// One extraction with its progress line as sent on the debugger output channel.
Extraction extract(const std::string& target, int resourceId) {
  testprogress::start();
  bool result = ExtractResourceToFile(target, resourceId);
  return {result, testprogress::stop()};
}

// "[NN]" for the next call: the counter runs over the whole process.
std::string nextNumber(int ahead = 1) {
  char text[16];
  std::snprintf(text, sizeof text, "[%02d]", extractionCallCount() + ahead);
  return text;
}

class Extractor : public ::testing::Test {
 protected:
  testfiles::TempFolder folder_;
};

TEST_F(Extractor, EachOutcomeHasItsLine) {
  const std::string target = folder_ / "file.rmt";
  const std::string missingFolder = folder_ / "missing/file.rmt";
  const struct {
    std::string target;
    int resourceId;
    bool result;
    std::string tail;  // the line after its number
  } cases[] = {
      {target, kNewContent, true, " " + target + " ( 11 Bytes ) successfly updated!\r\n"},
      {target, kMissing, false, " " + target + " error: resource not found.\r\n"},
      {target, kEmpty, false, " " + target + " error: resource size is zero.\r\n"},
      {missingFolder, kNewContent, false, " " + missingFolder + " error: file cannot opened.\r\n"},
  };
  for (const auto& c : cases) {
    std::string number = nextNumber();
    Extraction got = extract(c.target, c.resourceId);
    EXPECT_EQ(got.result, c.result) << c.tail;
    EXPECT_EQ(got.line, number + c.tail);
  }
  EXPECT_EQ(readFile(target), "new content");
  EXPECT_FALSE(testfiles::exists(folder_ / "missing"));  // no folder is ever created
}

TEST_F(Extractor, AFailedWriteReportsAndKeepsTheOlderFile) {
  const std::string target = folder_ / "file.dsr";
  testfiles::writeFile(target, "installed");
  // The operations of one extraction over an older file: look at whether the target already holds
  // the file (is it there, open, read), look for a stale scratch file, create the scratch file, give
  // it the access of the file it replaces, then write it; the write fails.
  static char faultAt[] = "NEXLUME_FAULT_AT=7";
  static char noFault[] = "NEXLUME_FAULT_AT=";
  putenv(faultAt);
  platform::resetFaultInjectionForTesting();
  std::string number = nextNumber();
  Extraction got = extract(target, kNewContent);
  putenv(noFault);
  platform::resetFaultInjectionForTesting();

  EXPECT_FALSE(got.result);
  EXPECT_EQ(got.line, number + " error: " + target + " file io failed.\r\n");
  EXPECT_EQ(testfiles::readFile(target), "installed");
  EXPECT_FALSE(testfiles::exists(target + ".out")) << "the scratch file is removed";
}

TEST_F(Extractor, NumbersRunOnOverCallsWhateverTheirOutcome) {
  // The first line of a run with an unknown resource, then a successful one: 01, then 02.
  std::string first = nextNumber(1);
  std::string second = nextNumber(2);
  EXPECT_EQ(extract(folder_ / "a", kMissing).line.substr(0, 4), first);
  EXPECT_EQ(extract(folder_ / "b", kNewContent).line.substr(0, 4), second);
  EXPECT_EQ(nextNumber(0), second);
}

TEST_F(Extractor, ALongerOldFileIsReplacedCompletely) {
  const std::string target = folder_ / "file.pmp";
  testfiles::writeFile(target, std::string(5000, 'x'));
  EXPECT_TRUE(extract(target, kNewContent).result);
  EXPECT_EQ(readFile(target), "new content");
}

TEST_F(Extractor, ATargetThatCannotBeOpenedStaysAsItWas) {
  const std::string target = folder_ / "file.icc";
  testfiles::writeFile(target, "installed");
  namespace fs = std::filesystem;
  constexpr fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(target, kReadOnly);  // read-only, for root too (Windows: the read-only attribute)
  std::string number = nextNumber();
  Extraction got = extract(target, kNewContent);
  EXPECT_FALSE(got.result);
  EXPECT_EQ(got.line, number + " " + target + " error: file cannot opened.\r\n");
  EXPECT_EQ(readFile(target), "installed");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, kReadOnly);
}

TEST_F(Extractor, AnEmptyOrMissingResourceNeverTouchesTheTarget) {
  const std::string target = folder_ / "file.bmp";
  testfiles::writeFile(target, "installed");
  EXPECT_FALSE(extract(target, kEmpty).result);
  EXPECT_FALSE(extract(target, kMissing).result);
  EXPECT_EQ(readFile(target), "installed");
  EXPECT_FALSE(extract(folder_ / "absent.bmp", kEmpty).result);
  EXPECT_FALSE(testfiles::exists(folder_ / "absent.bmp"));
}

TEST_F(Extractor, LongPathsAndNumbersBeyondTwoDigitsPrintWhole) {
  std::filesystem::create_directories(folder_ / std::string(200, 'd'));
  const std::string target = folder_ / (std::string(200, 'd') + "/" + std::string(200, 'n') + ".txt");
  while (extractionCallCount() < 99) extract(folder_ / "missing/x", kMissing);
  Extraction got = extract(target, kNewContent);
  EXPECT_EQ(got.line.substr(0, 5 + 1), nextNumber(0) + " ");
  EXPECT_GE(extractionCallCount(), 100);
  EXPECT_NE(got.line.find(target + " ( 11 Bytes )"), std::string::npos);
}

}  // namespace
