// The root of a description: its thirteen children, commands, feed calibration, firmware defaults,
// both repairs, and the reasons a document fails to load.
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "model/DeviceSeriesIO.h"

using namespace modeltest;

namespace {

const std::string kEmptyCommands =
    "<commandSet><a/><b/><c/><d/><e/><f/><g/><h/><i/></commandSet>";

// A root with the first nine children empty, then `rest`.
std::string root(std::string_view rest, std::string_view commands = kEmptyCommands) {
  return "<?xml version='1.0' encoding='UTF-8'?><DeviceSeries strVersion=\"3.3.0.0\"><aModelInfoList/><aInkInfoList/>"
         "<aInkConfigInfoList/><aResolutionInfoList/><aModeInfoList/><aSeparationInfoList/><aVControlPointList/>"
         "<aPatternInfoList/>" + std::string(commands) + std::string(rest) + "</DeviceSeries>";
}

DeviceSeries readSeries(std::string_view text) {
  const Xml xml = parse(text);
  DeviceSeries series;
  readDeviceSeries(xml.root, series);
  return series;
}

std::string readSeriesFailure(std::string_view text) {
  const Xml xml = parse(text);
  DeviceSeries series;
  return readFailure([&] { readDeviceSeries(xml.root, series); });
}

DeviceSeries writtenAndRead(DeviceSeries& series, std::vector<std::string>* rootNames = nullptr) {
  dom::Document doc = dom::Document::create();
  dom::Node rootElement = doc.createElement("DeviceSeries");
  writeDeviceSeries(doc, series, rootElement);
  if (rootNames) *rootNames = childNames(rootElement);
  DeviceSeries back;
  readDeviceSeries(rootElement, back);
  return back;
}

LanguageText defaultAddresses() {
  LanguageText text;
  text.fill(std::string(kFirmwareDownloadURLInternational));
  text[6] = std::string(kFirmwareDownloadURLJapanese);
  return text;
}

TEST(DeviceSeriesForm, EmptyRecordWritesThirteenChildrenAndReadsBack) {
  DeviceSeries series;
  std::vector<std::string> names;
  const DeviceSeries back = writtenAndRead(series, &names);
  EXPECT_EQ(names, (std::vector<std::string>{"aModelInfoList", "aInkInfoList", "aInkConfigInfoList", "aResolutionInfoList",
                                             "aModeInfoList", "aSeparationInfoList", "aVControlPointList", "aPatternInfoList",
                                             "commandSet", "aMediaInfoList", "aPrintChartFileInfoSetList",
                                             "aInkVolumeInfoList", "strFirmwareDownloadURL"}));
  // Every slot written empty comes back empty: the writer repeats the (empty) English text.
  EXPECT_TRUE(back == series);

  dom::Document doc = dom::Document::create();
  dom::Node rootElement = doc.createElement("DeviceSeries");
  writeDeviceSeries(doc, series, rootElement);
  EXPECT_EQ(childNames(child(rootElement, "commandSet")),
            (std::vector<std::string>{"strInitialize", "strPrintHeader", "strPrintTailer", "strCutHeader", "strCutTailer",
                                      "strPageFeed", "strPageRewind", "strSheetCut", "strCancel"}));
}

TEST(DeviceSeriesForm, FirstTenChildrenAreRequiredTheRestOptional) {
  EXPECT_EQ(readSeriesFailure(root("")), "DeviceSeries: child 10 (aMediaInfoList) missing");
  const DeviceSeries tenChildren = readSeries(root("<aMediaInfoList/>"));
  EXPECT_EQ(tenChildren.strFirmwareDownloadURL, defaultAddresses());
  EXPECT_TRUE(tenChildren.aPrintChartFileInfoSetList.empty());
  EXPECT_TRUE(tenChildren.aInkVolumeInfoList.empty());
}

TEST(DeviceSeriesForm, FirmwareAddressKeepsDefaultsForMissingLanguages) {
  const DeviceSeries series = readSeries(root(
      "<aMediaInfoList/><strFirmwareDownloadURL><English>https://a.example/</English><French>https://b.example/</French>"
      "</strFirmwareDownloadURL>"));
  LanguageText expected = defaultAddresses();
  expected[0] = "https://a.example/";
  expected[3] = "https://b.example/";
  EXPECT_EQ(series.strFirmwareDownloadURL, expected);

  DeviceSeries englishOnly;
  englishOnly.strFirmwareDownloadURL[0] = "https://c.example/";
  LanguageText everywhere;
  everywhere.fill("https://c.example/");
  EXPECT_EQ(writtenAndRead(englishOnly).strFirmwareDownloadURL, everywhere);
}

TEST(DeviceSeriesForm, TrailingListsAreFoundByNameInAnyOrder) {
  const DeviceSeries series = readSeries(root(
      "<aMediaInfoList/><aInkVolumeInfoList><InkVolumeInfo><nInkVolumeIndex>3</nInkVolumeIndex></InkVolumeInfo><Other/>"
      "</aInkVolumeInfoList><Mystery/><aPrintChartFileInfoSetList><PrintChartFileInfoSet><nIndex>2</nIndex>"
      "</PrintChartFileInfoSet></aPrintChartFileInfoSetList>"));
  ASSERT_EQ(series.aInkVolumeInfoList.size(), 1u);
  EXPECT_EQ(series.aInkVolumeInfoList[0].nInkVolumeIndex, 3);
  ASSERT_EQ(series.aPrintChartFileInfoSetList.size(), 1u);
  EXPECT_EQ(series.aPrintChartFileInfoSetList[0].nIndex, 2);
}

TEST(DeviceSeriesForm, CommandsAreEscapedAndStoredUpToTheFirstZeroByte) {
  DeviceSeries series;
  series.commandSet.strPrintHeader = std::string("\x1B\x45\x00\x41", 4);
  dom::Document doc = dom::Document::create();
  dom::Node rootElement = doc.createElement("DeviceSeries");
  writeDeviceSeries(doc, series, rootElement);
  EXPECT_EQ(child(child(rootElement, "commandSet"), "strPrintHeader").value(), "\\x1BE\\x00A");
  DeviceSeries back;
  readDeviceSeries(rootElement, back);
  EXPECT_EQ(back.commandSet.strPrintHeader, "\x1B\x45");

  const DeviceSeries extra = readSeries(
      root("<aMediaInfoList/>", "<commandSet><x>\\x1b@</x><b/><c/><d/><e/><f/><g/><h/><i>\\x18</i><j>ignored</j></commandSet>"));
  EXPECT_EQ(extra.commandSet.strInitialize, "\x1B@");
  EXPECT_EQ(extra.commandSet.strCancel, "\x18");

  EXPECT_EQ(readSeriesFailure(root("<aMediaInfoList/>", "<commandSet><a/><b/><c/><d/><e/><f/><g/><h/></commandSet>")),
            "commandSet: child 9 (strCancel) missing");
  EXPECT_EQ(readSeriesFailure(root("<aMediaInfoList/>", "<commandSet><a/><b>ab\\n</b><c/><d/><e/><f/><g/><h/><i/></commandSet>")),
            "commandSet/strPrintHeader: decodeEscapedString(): unrecognized escape sequence");
}

TEST(DeviceSeriesForm, FeedCalibrationGetsOneValuePerModelOnWriting) {
  struct Case {
    std::size_t models;
    std::vector<float> before, after;
  };
  const std::vector<Case> cases = {
      {1, {0.5f, 0.25f, 0.125f}, {0.5f}},
      {3, {0.5f, 0.25f}, {0.5f, 0.25f, 0.0f}},
      {0, {0.5f}, {}},
  };
  for (const Case& c : cases) {
    DeviceSeries series;
    series.aModelInfoList.resize(c.models);
    series.aMediaInfoList.resize(1);
    series.aMediaInfoList[0].aflFeedCalibration = c.before;
    const DeviceSeries back = writtenAndRead(series);
    EXPECT_EQ(series.aMediaInfoList[0].aflFeedCalibration, c.after);
    EXPECT_EQ(back.aMediaInfoList[0].aflFeedCalibration, c.after);
  }
}

// Inks with the given short names (index 10, 11, ...) and one separation without input channels.
std::string inksAndBareSeparation(const std::vector<std::string>& shortNames, std::string_view channels = "") {
  std::string inks;
  int index = 10;
  for (const std::string& name : shortNames)
    inks += "<InkInfo><nInkIndex>" + std::to_string(index++) + "</nInkIndex><l/><strShortInkName>" + name +
            "</strShortInkName><c><R/><G/><B/></c><d><R/><G/><B/></d></InkInfo>";
  const std::string separation = "<SeparationInfo><nSeparationIndex>5</nSeparationIndex><anInputChannelInkIndexList>" +
                                 std::string(channels) + "</anInputChannelInkIndexList></SeparationInfo>";
  return "<?xml version='1.0'?><DeviceSeries strVersion=\"3.3.0.0\"><aModelInfoList/><aInkInfoList>" + inks +
         "</aInkInfoList><aInkConfigInfoList/><aResolutionInfoList/><aModeInfoList/><aSeparationInfoList>" + separation +
         separation + "</aSeparationInfoList><aVControlPointList/><aPatternInfoList/>" + kEmptyCommands;
}

TEST(DeviceSeriesRepairs, SeparationsWithoutChannelsGetTheCmykInks) {
  struct Case {
    std::vector<std::string> shortNames;
    std::vector<std::int32_t> channels;
  };
  const std::vector<Case> cases = {
      {{"C", "M", "Y", "K"}, {10, 11, 12, 13}},
      {{"C", "K"}, {10, 0, 0, 11}},
      {{"c", "M", "Y", "K"}, {0, 11, 12, 13}},
      {{"K", "M", "Y", "C", "C"}, {14, 11, 12, 10}},
      {{"W"}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const DeviceSeries series = readSeries(inksAndBareSeparation(c.shortNames) + "<aMediaInfoList/></DeviceSeries>");
    EXPECT_EQ(series.aSeparationInfoList[0].anInputChannelInkIndexList, c.channels);
    EXPECT_EQ(series.aSeparationInfoList[1].anInputChannelInkIndexList, c.channels);
  }
  const DeviceSeries kept = readSeries(inksAndBareSeparation({"C"}, "<nInkIndex>4</nInkIndex>") + "<aMediaInfoList/></DeviceSeries>");
  EXPECT_EQ(kept.aSeparationInfoList[0].anInputChannelInkIndexList, (std::vector<std::int32_t>{4}));
}

TEST(DeviceSeriesRepairs, ScreenAnglesFollowTheSeparationsChannelCount) {
  struct Case {
    int channels;
    std::vector<float> before, after;
    std::int32_t separation = 5;
  };
  const std::vector<Case> cases = {
      {4, {}, {30.0f, 45.0f, 90.0f, 60.0f}},
      {4, {1.0f, 2.0f, 3.0f, 4.0f}, {1.0f, 2.0f, 3.0f, 4.0f}},
      {4, {1.0f, 2.0f}, {30.0f, 45.0f, 90.0f, 60.0f}},
      {6, {}, {15.0f, 45.0f, 90.0f, 75.0f, 45.0f, 45.0f}},
      {3, {}, {0.0f, 0.0f, 0.0f}},
      {3, {7.0f, 8.0f, 9.0f, 10.0f}, {7.0f, 8.0f, 9.0f}},
      {4, {1.0f}, {1.0f}, 99},  // no such separation: left as it is
  };
  for (const Case& c : cases) {
    DeviceSeries series;
    SeparationInfo separation;
    separation.nSeparationIndex = 5;
    separation.anInputChannelInkIndexList.assign(static_cast<std::size_t>(c.channels), 1);
    series.aSeparationInfoList = {separation};
    PermissionSet set;
    set.eScreen = kCustomScreen;
    set.nSeparationIndex = c.separation;
    set.screenOption.flDegrees = c.before;
    series.aMediaInfoList.resize(1);
    series.aMediaInfoList[0].aPermissionSetList = {set};
    const DeviceSeries back = writtenAndRead(series);
    EXPECT_EQ(back.aMediaInfoList[0].aPermissionSetList[0].screenOption.flDegrees, c.after) << c.channels;
  }
}

TEST(DeviceSeriesErrors, NestedMissingChildNamesItsPlace) {
  std::string stamp = "<TimeStamp><y/><m/><d/><h/><mi/><s/><ms/></TimeStamp>";
  std::string media = "<MediaInfo><n/><b/><p/><q/><a/><b/><c/><d/><f/><a/><b/><c/><d/><e/><f/><g/>" + stamp + "</MediaInfo>";
  std::string broken = "<MediaInfo><n/><b/><p/><q/><a/><b/><c/><d/><f/><a/><b/><c/><d/><e/><f/><g/></MediaInfo>";
  EXPECT_EQ(readSeriesFailure(root("<aMediaInfoList>" + media + media + broken + "</aMediaInfoList>")),
            "aMediaInfoList/MediaInfo[3]: child 17 (TimeStamp) missing");
  std::string badPermission = "<MediaInfo><n/><b/><p><PermissionSet><a/><b/><c/></PermissionSet></p><q/><a/><b/><c/><d/><f/><a/><b/><c/><d/><e/><f/><g/>" + stamp + "</MediaInfo>";
  EXPECT_EQ(readSeriesFailure(root("<aMediaInfoList>" + badPermission + "</aMediaInfoList>")),
            "aMediaInfoList/MediaInfo[1]/aPermissionSetList/PermissionSet[1]: child 4 (nModeIndex) missing");
}

TEST(DeviceSeriesIOTest, LoadFailuresCarryTheirReason) {
  TempFolder folder;
  const std::string path = folder.path("d.dsr");
  writeFile(path, root(""));
  DeviceSeries series;
  DeviceSeriesIO2 io(path);
  EXPECT_FALSE(io.LoadDocument(series));
  EXPECT_NE(io.lastError().find("DeviceSeries: child 10 (aMediaInfoList) missing"), std::string::npos) << io.lastError();

  DeviceSeriesIO2 missing(folder.path("none.dsr"));
  EXPECT_FALSE(missing.LoadDocumentWithFallback(series));
  EXPECT_FALSE(missing.lastError().empty());

  writeFile(path, root("<aMediaInfoList/>"));
  DeviceSeriesIO2 good(path);
  EXPECT_TRUE(good.LoadDocumentWithFallback(series));
  EXPECT_EQ(good.documentVersion(), 3030000);
}

TEST(DeviceSeriesIOTest, SavingANewFileWritesTheSerialisersVersion) {
  TempFolder folder;
  DeviceSeries series;
  DeviceSeriesIO2 second(folder.path("two.dsr"));
  ASSERT_TRUE(second.SaveDocument(series));
  EXPECT_NE(readFile(folder.path("two.dsr")).find("strVersion=\"3.3.0.0\""), std::string::npos);
  DeviceSeriesIO first(folder.path("one.dsr"));
  ASSERT_TRUE(first.SaveDocument(series));
  EXPECT_NE(readFile(folder.path("one.dsr")).find("strVersion=\"1.0.0.0\""), std::string::npos);
}

}  // namespace
