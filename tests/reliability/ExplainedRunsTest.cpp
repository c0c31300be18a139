// What a run says: every failed or kept step adds one line naming the installed path and the reason,
// right after the step's numbered line, and a run with failures ends with a summary; a dry run says
// for every file what the run would do, and writes nothing anywhere.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <algorithm>

#include "RunSupport.h"
#include "model/DeviceSeriesIO.h"

namespace reliability {
namespace {

const std::string kHostShown = "C:\\Program Files (x86)\\Tarvel\\Tarvel Tessaprint Dual\\";
const std::string kDeviceShown = kHostShown + "Tessaprint\\Device\\";

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::size_t countStarting(const std::vector<std::string>& lines, const std::string& start) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(start); }));
}

// A host after a fresh run, with a medium of the user's own in every description.
class ExplainedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    copyTree(kExamplePrefix, prefix);
    const RunResult fresh = runInstaller(kSmallSetupExe, prefix);
    ASSERT_EQ(fresh.exitCode, 0) << fresh.errors;
    std::string why;
    for (const std::string& name : kDescriptions) ASSERT_TRUE(plantUserMedium(device / name, why)) << why;
  }

  TempFolder folder;
  const fs::path prefix = folder / "prefix";
  const fs::path device = prefix / kDeviceFolder;
};

// Kept descriptions, each with the line that explains it, right after the line of the step's own
// extraction (the merge's P.tmp) or, when nothing was extracted, in its place.
TEST_F(ExplainedRun, EveryKeptDescriptionIsExplainedWithoutVerbose) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    std::string reason;
    bool extracted;  // the step printed a numbered line (P.tmp) before it was kept
  } cases[] = {
      {"Nexlume Q7M D4.dsr",
       [](const fs::path& p) {
         resaveAsTheHost(p);
         fs::permissions(p, fs::perms::owner_read);
       },
       "the file is read-only", true},
      {"Nexlume Q7 D2.dsr",
       [](const fs::path& p) {
         writeFile(p, "<?xml version='1.0'?><MediaTable strVersion='1.0.0.0'>" + std::string(2000, ' ') + "</MediaTable>");
       },
       "the installed file is not a readable description: XMLIO reader reports lexically conforming but invalid "
       "structured xml file",
       false},
      {"Nexlume Q7 D4 PG.dsr",
       [](const fs::path& p) { writeFile(p, "<!DOCTYPE DeviceSeries SYSTEM 'x.dtd'>" + readFile(p)); },
       "the installed description cannot be read (declined): line 1, column 1: a document type declaration that "
       "declares something, which is not accepted",
       false},
  };
  for (const auto& c : cases) c.make(device / c.name);
  const int held = ::open((device / "Nexlume Q7M D2.dsr").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

  const RunResult run = runInstaller(kSmallSetupExe, prefix);
  ::close(held);
  EXPECT_EQ(run.exitCode, 1) << run.errors;
  const std::vector<std::string> lines = linesOf(run.errors);
  for (const auto& c : cases) {
    const std::string notice = "nexlume-q7-setup: " + kDeviceShown + c.name + ": kept unchanged: " + c.reason;
    const auto at = std::find(lines.begin(), lines.end(), notice);
    ASSERT_NE(at, lines.end()) << notice << "\n" << run.errors;
    if (c.extracted) {
      EXPECT_NE((at - 1)->find(std::string(c.name) + ".tmp ("), std::string::npos) << *(at - 1);
    }
  }
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "nexlume-q7-setup: " + kDeviceShown +
                          "Nexlume Q7M D2.dsr: kept unchanged: the installed description cannot be opened or read: the "
                          "file is held open by another program"),
            lines.end())
      << run.errors;
  EXPECT_EQ(lines.back(), "nexlume-q7-setup: 4 of 52 files were not installed or merged");
  // The unnumbered lines are exactly the four notices and the summary.
  EXPECT_EQ(lines.size() - countStarting(lines, "["), 5u) << run.errors;
}

// A dry run writes nothing anywhere and foresees the run: what each file would get, the merges'
// media with --verbose, the failures with their reasons, and the exit status.
TEST_F(ExplainedRun, ADryRunWritesNothingAndForeseesTheRun) {
  resaveAsTheHost(device / "Nexlume Q7M D4.dsr");
  resaveAsTheHost(device / "Nexlume Q7 D4.dsr");
  fs::permissions(device / "Nexlume Q7M D4.dsr", fs::perms::owner_read);
  fs::remove(device / "Nexlume Q7 D2.pmp");
  fs::create_directory(device / "Nexlume Q7 D2.pmp");
  const Snapshot before = snapshot(prefix);
  const auto entriesBefore = std::distance(fs::recursive_directory_iterator(folder.path()), fs::recursive_directory_iterator());

  const RunResult dry = runInstaller(kSmallSetupExe, prefix, {}, {"--dry-run", "--verbose"});
  EXPECT_EQ(dry.exitCode, 1) << dry.errors;
  EXPECT_TRUE(snapshot(prefix) == before) << "the dry run changed the prefix";
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(folder.path()), fs::recursive_directory_iterator()),
            entriesBefore + 0)
      << "the dry run created something";
  const std::vector<std::string> lines = linesOf(dry.errors);
  EXPECT_EQ(countStarting(lines, "["), 52u) << dry.errors;
  EXPECT_EQ(countStarting(lines, "    appended the user's medium \"" + kUserMedium + "\""), 7u) << dry.errors;
  const std::vector<std::string> expected = {
      "[01] " + kDeviceShown + "Nexlume Q7.bmp: would leave it as it is: it already holds the new file",
      "[11] " + kDeviceShown + "Nexlume Q7 D2.pmp: would fail",
      "nexlume-q7-setup: " + kDeviceShown + "Nexlume Q7 D2.pmp: would not be installed: a folder is in the way",
      "[48] " + kDeviceShown + "Nexlume Q7M D4.dsr: would keep it unchanged",
      "nexlume-q7-setup: " + kDeviceShown + "Nexlume Q7M D4.dsr: would be kept unchanged: the file is read-only",
      "[52] " + kDeviceShown +
          "Nexlume Q7 D4.dsr: would merge it with the installed description (1 installed media matched, 1 appended, "
          "0 calibration lists trimmed)",
      "nexlume-q7-setup: 2 of 52 files would not be installed or merged",
  };
  for (const std::string& line : expected)
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << dry.errors;

  // The run itself fails on the same two files.
  const RunResult real = runInstaller(kSmallSetupExe, prefix);
  EXPECT_EQ(real.exitCode, dry.exitCode);
  EXPECT_NE(real.errors.find("nexlume-q7-setup: 2 of 52 files were not installed or merged"), std::string::npos)
      << real.errors;
}

TEST(DryRun, OnAFreshHostEveryFileWouldBeWrittenAndNothingIs) {
  TempFolder folder;
  const fs::path prefix = folder / "prefix";
  copyTree(kExamplePrefix, prefix);
  const Snapshot before = snapshot(prefix);
  const RunResult dry = runInstaller(kSmallSetupExe, prefix, {}, {"--dry-run"});
  EXPECT_EQ(dry.exitCode, 0) << dry.errors;
  EXPECT_TRUE(snapshot(prefix) == before);
  EXPECT_FALSE(fs::exists(prefix / kHostFolder / "Profiles/Nexlume Q7")) << "a profile folder was created";
  const std::vector<std::string> lines = linesOf(dry.errors);
  EXPECT_EQ(lines.size(), 52u) << dry.errors;
  for (const std::string& line : lines) EXPECT_TRUE(line.ends_with(": would write a new file")) << line;
  // No host: nothing to foresee.
  fs::remove(prefix / "system.reg");
  EXPECT_EQ(runInstaller(kSmallSetupExe, prefix, {}, {"--dry-run"}).exitCode, 3);
}

}  // namespace
}  // namespace reliability
