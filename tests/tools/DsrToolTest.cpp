// dsrtool: exit statuses, messages, the JSON dump, and every shipped description checked, re-saved
// byte for byte and dumped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "DsrTool.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun dsrtool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = runDsrTool(args, out, err);
  return {status, out.str(), err.str()};
}

class DsrTool : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / (std::string("nexlume_dsrtool_") + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string path(std::string_view name) const { return (folder_ / name).string(); }
  std::string write(std::string_view name, std::string_view text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path folder_;
};

std::string minimalDescription(std::string_view version, std::string_view media = "<aMediaInfoList/>") {
  return "<?xml version='1.0' encoding='UTF-8'?>\n<DeviceSeries strVersion=\"" + std::string(version) +
         "\"><aModelInfoList/><aInkInfoList/><aInkConfigInfoList/><aResolutionInfoList/><aModeInfoList/>"
         "<aSeparationInfoList/><aVControlPointList/><aPatternInfoList/><commandSet><a>\\x1BE</a><b/><c/><d/><e/><f/>"
         "<g/><h/><i/></commandSet>" + std::string(media) + "</DeviceSeries>";
}

std::string mediumXml(std::string_view english, bool visible) {
  std::string names;
  for (const char* slot : {"English", "Chinese_Simplified", "Chinese_Traditional", "French", "German", "Italian",
                           "Japanese", "Korean", "Portuguese", "Spanish", "Russian", "Turkish", "Arabic"})
    names += "<" + std::string(slot) + ">" + std::string(english) + "</" + slot + ">";
  return "<MediaInfo><strMediaName>" + names + "</strMediaName><strBaseMediaName/><aPermissionSetList/>"
         "<aQualityInfoList/><a>0</a><b>0</b><c>0</c><d>0</d><e/><f>0</f><g>0</g><h>1</h><i>0</i><j>0</j><k>0</k>"
         "<l>0</l><TimeStamp><y>0</y><m>0</m><d>0</d><h>0</h><n>0</n><s>0</s><ms>0</ms></TimeStamp>"
         "<bVisibleMedia>" + (visible ? "true" : "false") + "</bVisibleMedia></MediaInfo>";
}

TEST_F(DsrTool, UsageErrorsExitWith2) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate", "x"}, {"check"}, {"dump", "a", "b"}, {"resave", "in"}, {"dump"}, {"diff", "a"}}) {
    const ToolRun run = dsrtool(args);
    EXPECT_EQ(run.status, kExitUsage);
    // One line saying what is wrong, one pointing to --help.
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    EXPECT_EQ(run.err.rfind("dsrtool: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
  }
  const ToolRun help = dsrtool({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  for (const char* shown : {"check", "dump", "resave", "merge", "diff", "Exit status: 0"})
    EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
  const ToolRun subcommandHelp = dsrtool({"resave", "--help"});
  EXPECT_EQ(subcommandHelp.status, kExitOk);
  EXPECT_NE(subcommandHelp.out.find("IN"), std::string::npos) << subcommandHelp.out;
}

TEST_F(DsrTool, UnreadableDescriptionsExitWith1AndTheReason) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {minimalDescription("3.3.0.0", ""), "DeviceSeries: child 10 (aMediaInfoList) missing"},
      {"<?xml version='1.0'?><deviceseries strVersion=\"3.3.0.0\"/>",
       "XMLIO reader reports lexically conforming but invalid structured xml file"},
      {"<?xml version='1.0'?><DeviceSeries/>", "DeviceSeriesIO: Lacking version attribute"},
      {minimalDescription("3.3.0.0", "<aMediaInfoList><MediaInfo><a/></MediaInfo></aMediaInfoList>"),
       "aMediaInfoList/MediaInfo[1]: child 2 (strBaseMediaName) missing"},
      {"<DeviceSeries strVersion=\"3.3.0.0\">\n<unclosed></DeviceSeries>", ":2:"},
  };
  for (const Case& c : cases) {
    const std::string file = write("bad.dsr", c.text);
    for (const char* sub : {"check", "dump"}) {
      const ToolRun run = dsrtool({sub, file});
      EXPECT_EQ(run.status, kExitUnreadable) << c.text;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err.rfind("dsrtool: " + file + ":", 0), 0u) << run.err;
      EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
  }
  EXPECT_EQ(dsrtool({"check", path("absent.dsr")}).status, kExitUnreadable);
  EXPECT_EQ(dsrtool({"resave", path("absent.dsr"), path("out.dsr")}).status, kExitUnreadable);
  EXPECT_FALSE(fs::exists(path("out.dsr")));
}

TEST_F(DsrTool, CheckPrintsAOneLineSummaryPerFileAndFailsWhenAnyFails) {
  const std::string summary = ": DeviceSeries 4.2.7.0, 0 models, 0 inks, 0 ink configurations, 0 resolutions, 0 modes, "
                              "0 separations, 0 control points, 0 patterns, 0 media, 0 print-chart sets, 0 ink-volume tables\n";
  const std::string good = write("d.dsr", minimalDescription("4.2.7.0"));
  const std::string broken = write("broken.dsr", "<DeviceSeries strVersion='1.0.0.0'>\n  <a>\n</DeviceSeries>");
  ToolRun run = dsrtool({"check", good});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out, good + summary);
  run = dsrtool({"check", good, broken, good});
  EXPECT_EQ(run.status, kExitUnreadable);
  EXPECT_EQ(run.out, good + summary + good + summary);
  // FILE:LINE:COLUMN: message, where the place is known.
  EXPECT_EQ(run.err.rfind("dsrtool: " + broken + ":3:", 0), 0u) << run.err;
}

// Values the readers repaired load, and check says which (stdout; the status stays 0).
TEST_F(DsrTool, CheckWarnsAboutRepairedValues) {
  const std::string withMedium =
      minimalDescription("3.3.0.0", "<aMediaInfoList>" + mediumXml("PET", true) + "</aMediaInfoList>");
  const struct {
    std::string from, to;
    const char* warning;
  } cases[] = {
      {"<a>\\x1BE</a>", "<a>\\x1BE\\x00tail</a>", "the command a decoded short"},
      {"<h>1</h>", "<h>99999999999</h>", "the integer \"99999999999\" saturated to 2147483647"},
  };
  for (const auto& c : cases) {
    std::string text = withMedium;
    text.replace(text.find(c.from), c.from.size(), c.to);
    const ToolRun run = dsrtool({"check", write("r.dsr", text)});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.out.find(path("r.dsr") + ": warning: " + c.warning), std::string::npos) << run.out;
  }
  const ToolRun clean = dsrtool({"check", write("c.dsr", withMedium)});
  EXPECT_EQ(clean.out.find("warning"), std::string::npos) << clean.out;
}

TEST_F(DsrTool, ResaveKeepsTheInputsVersionOverAnExistingOutput) {
  const std::string in = write("in.dsr", minimalDescription("4.2.7.0"));
  const std::string out = write("out.dsr", minimalDescription("2.0.0.0"));
  ASSERT_EQ(dsrtool({"resave", in, out}).status, kExitOk);
  const std::string saved = read(out);
  EXPECT_NE(saved.find("strVersion=\"4.2.7.0\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("<strInitialize>\\x1BE</strInitialize>"), std::string::npos);
  EXPECT_FALSE(fs::exists(out + ".dsrtool-tmp"));
}


TEST_F(DsrTool, MergeKeepsTheUsersMediaTakesTheNewVersionAndSaysWhatItDid) {
  const std::string installed = write("installed.dsr", minimalDescription("3.3.0.0",
      "<aMediaInfoList>" + mediumXml("PET", false) + mediumXml("Mine", true) + "</aMediaInfoList>"));
  const std::string fresh = write("new.dsr", minimalDescription("3.4.0.0",
      "<aMediaInfoList>" + mediumXml("Glass", true) + mediumXml("PET", true) + "</aMediaInfoList>"));

  const ToolRun run = dsrtool({"merge", installed, fresh, path("out.dsr")});

  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("1 installed media matched, 1 appended"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("appended the user's medium \"Mine\""), std::string::npos) << run.out;
  const nlohmann::json json = nlohmann::json::parse(dsrtool({"dump", path("out.dsr")}).out);
  ASSERT_EQ(json["aMediaInfoList"].size(), 3u);
  EXPECT_EQ(json["aMediaInfoList"][1]["strMediaName"]["English"], "PET");
  EXPECT_EQ(json["aMediaInfoList"][1]["bVisibleMedia"], false);
  EXPECT_EQ(json["aMediaInfoList"][2]["strMediaName"]["English"], "Mine");
  EXPECT_NE(read(path("out.dsr")).find("strVersion=\"3.4.0.0\""), std::string::npos);

  EXPECT_EQ(dsrtool({"merge", installed, path("absent.dsr"), path("out2.dsr")}).status, kExitUnreadable);
  EXPECT_FALSE(fs::exists(path("out2.dsr")));
}

TEST_F(DsrTool, DumpUsesTheFieldNames) {
  const ToolRun run = dsrtool({"dump", write("d.dsr", minimalDescription("3.3.0.0"))});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  const nlohmann::ordered_json json = nlohmann::ordered_json::parse(run.out);
  EXPECT_EQ(json["commandSet"]["strInitialize"], "\\x1BE");
  // The version as read, first; language texts keyed by their slot names.
  EXPECT_EQ(json.begin().key(), "strVersion");
  EXPECT_EQ(json["strVersion"], "3.3.0.0");
  EXPECT_EQ(json["strFirmwareDownloadURL"].size(), 13u);
  EXPECT_TRUE(json["strFirmwareDownloadURL"].contains("Arabic"));
  EXPECT_TRUE(json["aMediaInfoList"].is_array());
  EXPECT_FALSE(json.contains("aHostMediaInfoList"));
}

// diff answers "what did the update change for my media?": by the merge's identity, media in only one
// file, media whose visibility differs, media whose other fields differ; exit 0 only for the same media.
TEST_F(DsrTool, DiffComparesTheMediaByTheMergesIdentity) {
  const std::string before = write("before.dsr", minimalDescription("3.3.0.0",
      "<aMediaInfoList>" + mediumXml("PET", true) + mediumXml("Mine", true) + mediumXml("Glass", true) + "</aMediaInfoList>"));
  std::string changed = mediumXml("Glass", true);
  changed.replace(changed.find("<h>1</h>"), 8, "<h>7</h>");
  const std::string after = write("after.dsr", minimalDescription("3.4.0.0",
      "<aMediaInfoList>" + mediumXml("PET", false) + changed + mediumXml("Canvas", true) + "</aMediaInfoList>"));

  const ToolRun run = dsrtool({"diff", before, after});
  EXPECT_EQ(run.status, kExitUnreadable) << run.err;
  const std::vector<std::string> expected = {
      "visibility differs: \"PET\" is visible in " + before + ", hidden in " + after,
      "only in " + before + ": \"Mine\"",
      "fields differ: \"Glass\": ",
      "only in " + after + ": \"Canvas\"",
  };
  for (const std::string& line : expected) EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4) << run.out;

  const ToolRun same = dsrtool({"diff", before, before});
  EXPECT_EQ(same.status, kExitOk);
  EXPECT_EQ(same.out, "");

  // A list one entry longer names that entry, not every field after it.
  std::string shorter = mediumXml("Vinyl", true), longer = shorter;
  shorter.replace(shorter.find("<e/>"), 4, "<e><value>1.000</value></e>");
  longer.replace(longer.find("<e/>"), 4, "<e><value>1.000</value><value>2.000</value></e>");
  const ToolRun grown = dsrtool({"diff", write("short.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + shorter + "</aMediaInfoList>")),
                                 write("long.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + longer + "</aMediaInfoList>"))});
  EXPECT_EQ(grown.status, kExitUnreadable);
  EXPECT_EQ(grown.out, "fields differ: \"Vinyl\": aflFeedCalibration[1]\n");
}

std::vector<std::string> shippedDescriptions() {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(fs::path(NEXLUME_SOURCE_DIR) / "resources/Tessaprint/Device"))
    if (entry.path().extension() == ".dsr") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(DsrTool, EveryShippedDescriptionChecksResavesIdenticallyAndDumps) {
  const std::vector<std::string> files = shippedDescriptions();
  ASSERT_EQ(files.size(), 8u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string original = read(file);
    EXPECT_GE(original.size(), 500'000u);
    EXPECT_LE(original.size(), 2'000'000u);

    const ToolRun check = dsrtool({"check", file});
    ASSERT_EQ(check.status, kExitOk) << check.err;
    EXPECT_NE(check.out.find("DeviceSeries 3.3.0.0"), std::string::npos);

    ASSERT_EQ(dsrtool({"resave", file, path("re.dsr")}).status, kExitOk);
    EXPECT_TRUE(read(path("re.dsr")) == original);

    const ToolRun dump = dsrtool({"dump", file});
    ASSERT_EQ(dump.status, kExitOk);
    const nlohmann::json json = nlohmann::json::parse(dump.out);
    EXPECT_GE(json["aMediaInfoList"].size(), 20u);
    const auto& table = json["aSeparationInfoList"][0]["aSeparationTableList"][0];
    EXPECT_EQ(table["eType"], 1);
    EXPECT_EQ(table["usOutputTable"].size(), 4096u);
    EXPECT_EQ(json["aMediaInfoList"][0]["strMediaName"].size(), 13u);
    EXPECT_EQ(json["aMediaInfoList"][0]["strMediaName"]["Japanese"], "PETフィルム");
    EXPECT_EQ(json["commandSet"]["strInitialize"].get<std::string>().rfind("\\x1B", 0), 0u);
  }
}

}  // namespace
