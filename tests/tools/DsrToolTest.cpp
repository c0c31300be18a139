// dsrtool: exit statuses, messages, the JSON dump, and every shipped description checked, re-saved
// byte for byte and dumped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "DsrTool.h"
#include "xmlio/XmlSource.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// dsrtool with `input` as its standard input.
ToolRun dsrtool(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = runDsrTool(args, in, out, err);
  return {status, out.str(), err.str()};
}

const std::vector<std::string> kSubcommands = {"check", "dump", "resave", "merge", "diff"};

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

TEST_F(DsrTool, UsageErrorsExitWith2SayWhatIsWrongAndWhereHelpIs) {
  const struct {
    std::vector<std::string> args;
    std::string says;
    std::string help;  // the help the message points to
  } cases[] = {
      {{}, "dsrtool: a subcommand is required: one of check, dump, resave, merge, diff\n", "dsrtool --help"},
      {{"bogus"}, "dsrtool: unknown subcommand 'bogus'; the subcommands are check, dump, resave, merge, diff\n",
       "dsrtool --help"},
      {{"frobnicate", "x"}, "dsrtool: unknown subcommand 'frobnicate';", "dsrtool --help"},
      {{"--verbose", "bogus"}, "dsrtool: unknown subcommand 'bogus';", "dsrtool --help"},
      {{"check"}, "dsrtool: check: FILE is required\n", "dsrtool check --help"},
      {{"dump"}, "dsrtool: dump: ", "dsrtool dump --help"},
      {{"dump", "a", "b"}, "dsrtool: dump: ", "dsrtool dump --help"},
      {{"resave", "in"}, "dsrtool: resave: ", "dsrtool resave --help"},
      {{"diff", "a"}, "dsrtool: diff: ", "dsrtool diff --help"},
  };
  for (const auto& c : cases) {
    const ToolRun run = dsrtool(c.args);
    EXPECT_EQ(run.status, kExitUsage) << run.err;
    EXPECT_EQ(run.out, "");
    // One line saying what is wrong, one pointing to the help.
    EXPECT_EQ(run.err.rfind(c.says, 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    EXPECT_NE(run.err.find("Run '" + c.help + "' for usage.\n"), std::string::npos) << run.err;
  }
}

TEST_F(DsrTool, HelpListsTheSubcommandsAndEachUsageLineNamesTheProgram) {
  const ToolRun help = dsrtool({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  for (const std::string& shown : kSubcommands) EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
  for (const char* shown : {"Usage: dsrtool ", "Exit status: 0", "diff: 0 the same media, 1 the media differ, 2 trouble",
                            "64 MiB"})
    EXPECT_NE(help.out.find(shown), std::string::npos) << shown << "\n" << help.out;
  for (const std::string& subcommand : kSubcommands) {
    const ToolRun run = dsrtool({subcommand, "--help"});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(run.out.find("Usage: dsrtool " + subcommand + " "), std::string::npos) << run.out;
  }
  EXPECT_NE(dsrtool({"check", "--help"}).out.find("- for standard input"), std::string::npos);
  EXPECT_EQ(dsrtool({"--version"}).out.rfind("dsrtool ", 0), 0u);
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
    // The same description as a file and on standard input ("-"), which messages call so.
    const struct {
      std::vector<std::string> args;
      std::string input;
      std::string name;
    } runs[] = {
        {{"check", file}, "", file},
        {{"dump", file}, "", file},
        {{"check", "-"}, c.text, "(standard input)"},
        {{"dump", "-"}, c.text, "(standard input)"},
    };
    for (const auto& r : runs) {
      const ToolRun run = dsrtool(r.args, r.input);
      EXPECT_EQ(run.status, kExitUnreadable) << c.text;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err.rfind("dsrtool: " + r.name + ":", 0), 0u) << run.err;
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
  // FILE:LINE:COLUMN: message, where the place is known (which place, the DOM's parser says).
  const std::string prefix = "dsrtool: " + broken + ":";
  ASSERT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
  EXPECT_TRUE(std::regex_search(run.err.substr(prefix.size()), std::regex("^[23]:[0-9]+: "))) << run.err;
}

// "-" reads the description from standard input, for check and dump alike; other files around it are
// read as files.
TEST_F(DsrTool, StandardInputIsReadForADash) {
  const std::string text = minimalDescription("4.2.7.0", "<aMediaInfoList>" + mediumXml("PET", true) + "</aMediaInfoList>");
  const std::string file = write("d.dsr", text);
  const ToolRun check = dsrtool({"check", file, "-"}, text);
  EXPECT_EQ(check.status, kExitOk) << check.err;
  EXPECT_NE(check.out.find(file + ": DeviceSeries 4.2.7.0,"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("\n(standard input): DeviceSeries 4.2.7.0,"), std::string::npos) << check.out;
  const ToolRun dump = dsrtool({"dump", "-"}, text);
  EXPECT_EQ(dump.status, kExitOk) << dump.err;
  EXPECT_EQ(dump.out, dsrtool({"dump", file}).out);
  const ToolRun empty = dsrtool({"check", "-"}, "");
  EXPECT_EQ(empty.status, kExitUnreadable);
  EXPECT_EQ(empty.err.rfind("dsrtool: (standard input):", 0), 0u) << empty.err;
}

// An endless standard input that counts the bytes taken from it.
class EndlessInput : public std::streambuf {
 public:
  std::size_t taken() const { return handedOut_ - static_cast<std::size_t>(egptr() - gptr()); }

 protected:
  int_type underflow() override {
    setg(chunk_.data(), chunk_.data(), chunk_.data() + chunk_.size());
    handedOut_ += chunk_.size();
    return traits_type::to_int_type(chunk_[0]);
  }

 private:
  std::string chunk_ = std::string(1 << 20, 'x');
  std::size_t handedOut_ = 0;
};

// A description larger than the bound is refused with the reason: a file by its size, standard input
// after the bound and one byte more, the rest left unread; input of the bound exactly is parsed.
TEST_F(DsrTool, DescriptionsBeyondTheBoundAreRefused) {
  const std::string huge = write("huge.dsr", "");
  fs::resize_file(huge, xmlsource::kMaxDocumentBytes + 1);
  const std::string small = write("small.dsr", minimalDescription("3.3.0.0"));
  const struct {
    std::vector<std::string> args;
    int status;
  } fileCases[] = {{{"check", huge}, kExitUnreadable}, {{"dump", huge}, kExitUnreadable}, {{"diff", small, huge}, kExitTrouble}};
  for (const auto& c : fileCases) {
    const ToolRun run = dsrtool(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err.rfind("dsrtool: " + huge + ": ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("larger than 64 MiB"), std::string::npos) << run.err;
  }

  for (const char* subcommand : {"check", "dump"}) {
    EndlessInput endless;
    std::istream in(&endless);
    std::ostringstream out, err;
    EXPECT_EQ(runDsrTool({subcommand, "-"}, in, out, err), kExitUnreadable);
    EXPECT_EQ(endless.taken(), xmlsource::kMaxDocumentBytes + 1);
    EXPECT_EQ(out.str(), "");
    const std::string message = err.str();
    EXPECT_EQ(message.rfind("dsrtool: (standard input): larger than 64 MiB", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
  const ToolRun atTheBound = dsrtool({"check", "-"}, std::string(xmlsource::kMaxDocumentBytes, 'x'));
  EXPECT_EQ(atTheBound.status, kExitUnreadable);
  EXPECT_EQ(atTheBound.err.find("larger than"), std::string::npos) << atTheBound.err;
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

// A failed save names the file the user gave, never the scratch file the save goes through, and leaves
// what was there.
TEST_F(DsrTool, SaveFailuresNameTheUsersFile) {
  const std::string in = write("in.dsr", minimalDescription("3.3.0.0"));
  const std::string kept = write("kept.dsr", "what was there");
  // A leftover scratch file that cannot be removed: a folder, with something in it.
  fs::create_directories(kept + ".out/inside");
  const std::string inAbsentFolder = path("absent/out.dsr");
  const struct {
    std::vector<std::string> args;
    std::string target;
  } cases[] = {
      {{"resave", in, inAbsentFolder}, inAbsentFolder},
      {{"merge", in, in, inAbsentFolder}, inAbsentFolder},
      {{"resave", in, kept}, kept},
      {{"merge", in, in, kept}, kept},
  };
  for (const auto& c : cases) {
    const ToolRun run = dsrtool(c.args);
    EXPECT_EQ(run.status, kExitUnreadable);
    EXPECT_EQ(run.err.rfind("dsrtool: " + c.target + ": ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find(".out"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_FALSE(fs::exists(inAbsentFolder));
  EXPECT_EQ(read(kept), "what was there");
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
// file, media whose visibility differs, media whose other fields differ with both values.
TEST_F(DsrTool, DiffComparesTheMediaByTheMergesIdentity) {
  const std::string before = write("before.dsr", minimalDescription("3.3.0.0",
      "<aMediaInfoList>" + mediumXml("PET", true) + mediumXml("Mine", true) + mediumXml("Glass", true) + "</aMediaInfoList>"));
  std::string changed = mediumXml("Glass", true);
  changed.replace(changed.find("<h>1</h>"), 8, "<h>7</h>");
  changed.replace(changed.find("<l>0</l>"), 8, "<l>2.5</l>");
  const std::string after = write("after.dsr", minimalDescription("3.4.0.0",
      "<aMediaInfoList>" + mediumXml("PET", false) + changed + mediumXml("Canvas", true) + "</aMediaInfoList>"));

  const ToolRun run = dsrtool({"diff", before, after});
  EXPECT_EQ(run.status, kExitDiffer) << run.err;
  EXPECT_EQ(run.out, "visibility differs: \"PET\" is visible in " + before + ", hidden in " + after + "\n"
                     "only in " + before + ": \"Mine\"\n"
                     "fields differ: \"Glass\": nDryHeater (A: 1, B: 7), flCutOffset (A: 0.000, B: 2.500)\n"
                     "only in " + after + ": \"Canvas\"\n");

  // A list one entry longer names that entry, not every field after it; the other side has none.
  std::string shorter = mediumXml("Vinyl", true), longer = shorter;
  shorter.replace(shorter.find("<e/>"), 4, "<e><value>1.000</value></e>");
  longer.replace(longer.find("<e/>"), 4, "<e><value>1.000</value><value>2.000</value></e>");
  const std::string shortFile = write("short.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + shorter + "</aMediaInfoList>"));
  const std::string longFile = write("long.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + longer + "</aMediaInfoList>"));
  EXPECT_EQ(dsrtool({"diff", shortFile, longFile}).out, "fields differ: \"Vinyl\": aflFeedCalibration[1] (A: absent, B: 2.000)\n");
  EXPECT_EQ(dsrtool({"diff", longFile, shortFile}).out, "fields differ: \"Vinyl\": aflFeedCalibration[1] (A: 2.000, B: absent)\n");

  // Many differing fields: the first five, and how many more.
  std::string many = mediumXml("Vinyl", true);
  for (const std::string field : {"a", "b", "c", "d", "f", "g", "i", "j"})
    many.replace(many.find("<" + field + ">0</"), 8, "<" + field + ">3</" + field + ">");
  const ToolRun manyRun = dsrtool({"diff", write("base.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + mediumXml("Vinyl", true) + "</aMediaInfoList>")),
                                   write("many.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + many + "</aMediaInfoList>"))});
  EXPECT_EQ(manyRun.status, kExitDiffer) << manyRun.err;
  EXPECT_EQ(manyRun.out.rfind("fields differ: \"Vinyl\": nDefaultLevel (A: 0, B: 3), nDryTime (A: 0, B: 3), ", 0), 0u) << manyRun.out;
  EXPECT_NE(manyRun.out.find(" and 3 more\n"), std::string::npos) << manyRun.out;
  EXPECT_EQ(std::count(manyRun.out.begin(), manyRun.out.end(), '('), 5) << manyRun.out;
}

// diff's status, as diff's and cmp's: 0 the same media, 1 different, 2 trouble, with the reason.
TEST_F(DsrTool, DiffExitsWith0SameMedia1Different2Trouble) {
  const std::string one = write("one.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + mediumXml("PET", true) + "</aMediaInfoList>"));
  const std::string sameMediaOtherVersion =
      write("same.dsr", minimalDescription("3.4.0.0", "<aMediaInfoList>" + mediumXml("PET", true) + "</aMediaInfoList>"));
  const std::string other = write("other.dsr", minimalDescription("3.3.0.0", "<aMediaInfoList>" + mediumXml("Glass", true) + "</aMediaInfoList>"));
  const std::string notXml = write("notxml.dsr", "not a description at all");
  const std::string notADescription = write("notdsr.dsr", "<?xml version='1.0'?><Something strVersion=\"3.3.0.0\"/>");
  const std::string absent = path("absent.dsr");
  const struct {
    std::string a, b;
    int status;
    std::string errorAbout;  // the file a trouble message names
  } cases[] = {
      {one, one, kExitOk, ""},
      {one, sameMediaOtherVersion, kExitOk, ""},
      {one, other, kExitDiffer, ""},
      {absent, one, kExitTrouble, absent},
      {one, absent, kExitTrouble, absent},
      {one, notXml, kExitTrouble, notXml},
      {notADescription, one, kExitTrouble, notADescription},
  };
  for (const auto& c : cases) {
    const ToolRun run = dsrtool({"diff", c.a, c.b});
    EXPECT_EQ(run.status, c.status) << c.a << " " << c.b << "\n" << run.err;
    // Lines only for media that differ; a message only for trouble, naming its file.
    EXPECT_EQ(run.out.empty(), c.status != kExitDiffer) << run.out;
    if (c.status == kExitTrouble) {
      EXPECT_EQ(run.err.rfind("dsrtool: " + c.errorAbout + ":", 0), 0u) << run.err;
    } else {
      EXPECT_EQ(run.err, "");
    }
  }
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
