// The reading styles and special rules of each record form, on small XML fixtures.
#include <string>
#include <vector>

#include "ModelTestSupport.h"

using namespace modeltest;

namespace {

std::string repeat(std::string_view element, int count, std::string_view text = "0") {
  std::string xml;
  for (int i = 0; i < count; ++i) xml += "<" + std::string(element) + ">" + std::string(text) + "</" + std::string(element) + ">";
  return xml;
}

std::string indexed(int count, int first = 0) {
  std::string xml;
  for (int i = 0; i < count; ++i) xml += "<value" + std::to_string(i) + ">" + std::to_string(first + i) + "</value" + std::to_string(i) + ">";
  return xml;
}

// ---- ModelInfo -------------------------------------------------------------------------------------------

// The 21 positional children; `heater` is the text of nHeaterFeature, `arrays` the two arrays' entries.
std::string modelPositional(std::string_view heater = "2", int arrayEntries = 24, std::string_view width = "<dMaxWidth>770.000</dMaxWidth>") {
  return "<strLongModelName>Q7</strLongModelName><strMIBModelName>NXQ7</strMIBModelName><strFolderName>F</strFolderName>" +
         std::string(width) + "<nHeadNum>4</nHeadNum><nHeadPositionIndex>" + indexed(arrayEntries) +
         "</nHeadPositionIndex><nDefaultInkIndex>" + indexed(arrayEntries, 100) +
         "</nDefaultInkIndex><bCutFeature>true</bCutFeature><nHeaterFeature>" + std::string(heater) +
         "</nHeaterFeature><nHeadHeightMask>7</nHeadHeightMask><strStaticStatus>s</strStaticStatus>"
         "<strStaticExtraStatus/><strActiveStatus/><strPPDFile>p.ppd</strPPDFile>" +
         repeat("dCropMargin_mm", 7, "1.500");
}

TEST(ModelInfoForm, OnlyPositionalChildrenGiveTheFreshAndPresetValues) {
  ModelInfo stale;
  stale.nMaxCutSpeed = 5;
  stale.nMinimumReturnScanSpeed = 7;
  stale.strRequiredFirmwareVersion = "old";
  stale.hostOnly.nState = 9;
  const Xml xml = parse("<ModelInfo>" + modelPositional() + "</ModelInfo>");
  form::readRecord(xml.root, stale);
  EXPECT_EQ(stale.nMaxCutSpeed, 60);
  EXPECT_EQ(stale.nMinimumReturnScanSpeed, 1000);
  EXPECT_EQ(stale.strRequiredFirmwareVersion, "");
  EXPECT_EQ(stale.hostOnly.nState, 0);

  const auto model = readFrom<ModelInfo>("<ModelInfo>" + modelPositional() + "</ModelInfo>");
  ModelInfo expected;
  expected.strLongModelName = "Q7";
  expected.strMIBModelName = "NXQ7";
  expected.strFolderName = "F";
  expected.dMaxWidth = 770.0;
  expected.nHeadNum = 4;
  for (int i = 0; i < 24; ++i) {
    expected.nHeadPositionIndex[i] = i;
    expected.nDefaultInkIndex[i] = 100 + i;
  }
  expected.bCutFeature = true;
  expected.nHeaterFeature = 2;
  expected.nHeadHeightMask = 7;
  expected.strStaticStatus = "s";
  expected.strPPDFile = "p.ppd";
  expected.dCropMargin_mm = expected.dCropSize_mm = expected.dPageSpace_mm = expected.dHWLeftMargin_mm =
      expected.dHWRightMargin_mm = expected.dHWTopMargin_mm = expected.dHWBottomMargin_mm = 1.5;
  EXPECT_TRUE(model == expected);
  EXPECT_EQ(model.nMinimumHalfCutForce, 1);
  EXPECT_EQ(model.nMaximumHalfCutForce, 80);
  EXPECT_FLOAT_EQ(model.flMaximumCutOffset, 1.5f);
}

TEST(ModelInfoForm, HeaterFeatureIsParsedAsAFloatAndTruncated) {
  const std::vector<std::pair<std::string, int>> cases = {{"2.9", 2}, {"-2.9", -2}, {"1e1", 10}, {"x", 0}, {"7", 7}};
  for (const auto& [text, value] : cases)
    EXPECT_EQ(readFrom<ModelInfo>("<ModelInfo>" + modelPositional(text) + "</ModelInfo>").nHeaterFeature, value) << text;
}

TEST(ModelInfoForm, NamedChildrenInAnyOrderUnknownSkippedLaterDuplicateWins) {
  const auto model = readFrom<ModelInfo>(
      "<ModelInfo>" + modelPositional() +
      "<nMaximumHalfCutForce>70</nMaximumHalfCutForce><Mystery>1</Mystery><strBMPFileName>a.bmp</strBMPFileName>"
      "<nmaxcutspeed>1</nmaxcutspeed><nMaxCutSpeed>30</nMaxCutSpeed><nMaxCutSpeed>45</nMaxCutSpeed>"
      "<flMaximumCutOffset>0.250</flMaximumCutOffset><bHalfCutFeature>true</bHalfCutFeature></ModelInfo>");
  EXPECT_EQ(model.nMaximumHalfCutForce, 70);
  EXPECT_EQ(model.strBMPFileName, "a.bmp");
  EXPECT_EQ(model.nMaxCutSpeed, 45);
  EXPECT_FLOAT_EQ(model.flMaximumCutOffset, 0.25f);
  EXPECT_TRUE(model.bHalfCutFeature);
}

TEST(ModelInfoForm, PositionsCountNodesNotNames) {
  // Child 4 under any name is dMaxWidth; a comment among the positional children takes a position.
  EXPECT_DOUBLE_EQ(readFrom<ModelInfo>("<ModelInfo>" + modelPositional("2", 24, "<Width>12.5</Width>") + "</ModelInfo>").dMaxWidth, 12.5);
  // Shifted by the comment, child 6 is nHeadNum, whose only child is its text.
  const Xml shifted = parse("<ModelInfo><!-- note -->" + modelPositional() + "</ModelInfo>");
  ModelInfo model;
  EXPECT_EQ(readFailure([&] { form::readRecord(shifted.root, model); }), "nHeadPositionIndex: child 2 (value1) missing");
  EXPECT_EQ(model.strMIBModelName, "Q7");
  std::string upperCase = modelPositional();
  upperCase.replace(upperCase.find("<bCutFeature>true"), 17, "<bCutFeature>TRUE");
  EXPECT_FALSE(readFrom<ModelInfo>("<ModelInfo>" + upperCase + "</ModelInfo>").bCutFeature);
}

TEST(ModelInfoForm, IndexedArraysTakeTheFirst24ChildrenAndFailWithFewer) {
  EXPECT_EQ(readFrom<ModelInfo>("<ModelInfo>" + modelPositional("2", 25) + "</ModelInfo>").nDefaultInkIndex[23], 123);
  const Xml xml = parse("<ModelInfo>" + modelPositional("2", 23) + "</ModelInfo>");
  ModelInfo model;
  EXPECT_EQ(readFailure([&] { form::readRecord(xml.root, model); }), "nHeadPositionIndex: child 24 (value23) missing");
  const Xml shortModel = parse("<ModelInfo><a/><b/><c/></ModelInfo>");
  EXPECT_EQ(readFailure([&] { form::readRecord(shortModel.root, model); }), "child 4 (dMaxWidth) missing");
}

TEST(ModelInfoForm, WrittenInItsOrderWithFirmwareStringsOnlyWhenSet) {
  dom::Document doc = dom::Document::create();
  ModelInfo model = sampleModel();
  const std::vector<std::string> names = childNames(form::writeRecord(doc, model));
  const std::vector<std::string> expected = {
      "strLongModelName", "strMIBModelName", "strFolderName", "dMaxWidth", "nHeadNum", "nHeadPositionIndex",
      "nDefaultInkIndex", "bCutFeature", "nHeaterFeature", "nHeadHeightMask", "strStaticStatus",
      "strStaticExtraStatus", "strActiveStatus", "strPPDFile", "dCropMargin_mm", "dCropSize_mm", "dPageSpace_mm",
      "dHWLeftMargin_mm", "dHWRightMargin_mm", "dHWTopMargin_mm", "dHWBottomMargin_mm", "strBMPFileName",
      "nMaxCutSpeed", "strExtension", "nMinimumPageInterval_mm", "nMaximumPageInterval_mm", "nMinimumScanSpeed",
      "nMaximumScanSpeed", "nMinimumFeedSpeed", "nMaximumFeedSpeed", "nMinimumPreHeaterTemperature",
      "nMaximumPreHeaterTemperature", "nMinimumHeaterTemperature", "nMaximumHeaterTemperature",
      "nMinimumDrierTemperature", "nMaximumDrierTemperature", "dMinimumFeedCalibration_mm",
      "dMaximumFeedCalibration_mm", "nMinimumCutForce", "nMaximumCutForce", "flMaximumCutOffset", "nGetMethodType",
      "nScanSpeedType", "strDllName", "strDriverName", "strRequiredFirmwareVersion", "strRecommendedFirmwareVersion",
      "nNozzleCountPerHeadColumn", "flNozzleResolution", "nMinimumReturnScanSpeed", "nMaximumReturnScanSpeed",
      "dMaxLength", "bOverlapCutPerCutPath", "nUVLampCount", "bHBridgeFeature", "bHalfCutFeature",
      "nMinimumHalfCutForce", "nMaximumHalfCutForce"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(child(form::writeRecord(doc, model), "dMaxWidth").value(), "770.500");

  model.strRequiredFirmwareVersion.clear();
  model.strRecommendedFirmwareVersion.clear();
  const dom::Node written = form::writeRecord(doc, model);
  EXPECT_EQ(childNames(written).size(), 56u);
  EXPECT_FALSE(child(written, "strRequiredFirmwareVersion"));
  EXPECT_EQ(roundTrip(model).strRecommendedFirmwareVersion, "");
}

// ---- InkInfo and InkConfigInfo ----------------------------------------------------------------------------

const std::string kInkPositional =
    "<nInkIndex>3</nInkIndex><strLongInkName><English>Cyan</English></strLongInkName><strShortInkName>C</strShortInkName>";

TEST(InkForms, InkWithOnlyPositionalChildrenKeepsPriceAndCapacityZero) {
  const auto ink = readFrom<InkInfo>("<InkInfo>" + kInkPositional +
                                     "<lightColor><R>1</R><G>2</G><B>3</B></lightColor><darkColor><x>4</x><y>5</y><z>6</z></darkColor></InkInfo>");
  EXPECT_EQ(ink.nInkIndex, 3);
  EXPECT_EQ(ink.strLongInkName[0], "Cyan");
  EXPECT_EQ(ink.lightColor, (Colour{1, 2, 3}));
  EXPECT_EQ(ink.darkColor, (Colour{4, 5, 6}));  // component names are not looked at
  EXPECT_EQ(ink.flPrice, 0.0f);
  EXPECT_EQ(ink.nCapacity, 0);
}

TEST(InkForms, ColourComponentsKeepTheirLow8Bits) {
  const std::vector<std::pair<std::string, int>> cases = {{"300", 44}, {"256", 0}, {"-1", 255}, {"255", 255}, {"x", 0}};
  for (const auto& [text, value] : cases) {
    const auto ink = readFrom<InkInfo>("<InkInfo>" + kInkPositional + "<lightColor><R>" + text +
                                       "</R><G>0</G><B>0</B></lightColor><darkColor><R/><G/><B/></darkColor></InkInfo>");
    EXPECT_EQ(ink.lightColor.R, value) << text;
  }
  const Xml shortColour = parse("<InkInfo>" + kInkPositional + "<lightColor><R>1</R><G>2</G></lightColor><darkColor/></InkInfo>");
  InkInfo ink;
  EXPECT_EQ(readFailure([&] { form::readRecord(shortColour.root, ink); }), "lightColor: child 3 (B) missing");
}

TEST(InkForms, PriceAndCapacityAreReadByNameInEitherOrder) {
  const auto ink = readFrom<InkInfo>("<InkInfo>" + kInkPositional +
                                     "<lightColor><R/><G/><B/></lightColor><darkColor><R/><G/><B/></darkColor>"
                                     "<nCapacity>750</nCapacity><Other>1</Other><flPrice>12.500</flPrice></InkInfo>");
  EXPECT_EQ(ink.nCapacity, 750);
  EXPECT_FLOAT_EQ(ink.flPrice, 12.5f);
  dom::Document doc = dom::Document::create();
  EXPECT_EQ(child(form::writeRecord(doc, ink), "flPrice").value(), "12.500");
}

TEST(InkForms, InkConfigurationNeeds24Slots) {
  const std::string head = "<InkConfigInfo><nInkConfigIndex>1</nInkConfigIndex><strInkConfigName/><strFolderName>f</strFolderName>";
  const auto config = readFrom<InkConfigInfo>(head + "<nInkIndexList>" + repeat("nInkIndex", 24, "5") + "<nInkIndex>9</nInkIndex></nInkIndexList></InkConfigInfo>");
  EXPECT_EQ(config.nInkIndexList[23], 5);
  const Xml xml = parse(head + "<nInkIndexList>" + repeat("nInkIndex", 23) + "</nInkIndexList></InkConfigInfo>");
  InkConfigInfo fresh;
  EXPECT_EQ(readFailure([&] { form::readRecord(xml.root, fresh); }), "nInkIndexList: child 24 (nInkIndex) missing");
}

TEST(InkForms, EmptyLanguageSlotsAreWrittenWithTheEnglishText) {
  InkInfo ink = sampleInk();
  ink.strLongInkName = {};
  ink.strLongInkName[0] = "Cyan";
  ink.strLongInkName[6] = "シアン";
  const InkInfo back = roundTrip(ink);
  EXPECT_EQ(back.strLongInkName[3], "Cyan");
  EXPECT_EQ(back.strLongInkName[6], "シアン");
}

// ---- Print-chart and ink-volume records -------------------------------------------------------------------

TEST(PrintChartAndInkVolumeForms, AreReadByName) {
  const auto chart = readFrom<PrintChartFileInfoSet>(
      "<PrintChartFileInfoSet><strTestPrintFileName>t.prn</strTestPrintFileName><nIndex>4</nIndex></PrintChartFileInfoSet>");
  EXPECT_EQ(chart.nIndex, 4);
  EXPECT_EQ(chart.strTestPrintFileName, "t.prn");

  const auto volume = readFrom<InkVolumeInfo>(
      "<InkVolumeInfo><astrInkVolumeList><strInkVolume_pl>3.5, 7</strInkVolume_pl><x>no</x></astrInkVolumeList>"
      "<astrInkVolumeList><strInkVolume_pl>a b</strInkVolume_pl></astrInkVolumeList></InkVolumeInfo>");
  EXPECT_EQ(volume.nInkVolumeIndex, 0);
  EXPECT_EQ(volume.astrInkVolumeList, (std::vector<std::string>{"3.5, 7", "a b"}));
}

// ---- MediaInfo --------------------------------------------------------------------------------------------

std::string mediaPositional(std::string_view vacuum = "3", std::string_view dryHeater = "40", bool withStamp = true) {
  return "<strMediaName><English>PET</English></strMediaName><strBaseMediaName/><aPermissionSetList/>"
         "<aQualityInfoList/><nDefaultLevel>1</nDefaultLevel><nDryTime>5</nDryTime><nVacuumPower>" + std::string(vacuum) +
         "</nVacuumPower><eHeadHeight>2</eHeadHeight><aflFeedCalibration><value>0.500</value><x>-0.250</x></aflFeedCalibration>"
         "<nPreHeater>1</nPreHeater><nPrintHeater>2</nPrintHeater><nDryHeater>" + std::string(dryHeater) +
         "</nDryHeater><nCutCount>1</nCutCount><nCutVelocity>2</nCutVelocity><nCutForce>3</nCutForce>"
         "<flCutOffset>0.250</flCutOffset>" +
         (withStamp ? "<TimeStamp><year>2026</year><month>12</month><day>10</day><hour>1</hour><minute>2</minute><second>3</second><ms>4</ms></TimeStamp>" : "");
}

TEST(MediaInfoForm, OnlyPositionalChildrenGiveTheInitialNamedValues) {
  const auto media = readFrom<MediaInfo>("<MediaInfo>" + mediaPositional() + "</MediaInfo>");
  MediaInfo expected;
  expected.strMediaName[0] = "PET";
  expected.nDefaultLevel = 1;
  expected.nDryTime = 5;
  expected.nVacuumPower = 3;
  expected.eHeadHeight = 2;
  expected.aflFeedCalibration = {0.5f, -0.25f};
  expected.nPreHeater = 1;
  expected.nPrintHeater = 2;
  expected.nDryHeater = 40;
  expected.nCutCount = 1;
  expected.nCutVelocity = 2;
  expected.nCutForce = 3;
  expected.flCutOffset = 0.25f;
  expected.TimeStamp = {2026, 12, 10, 1, 2, 3, 4};
  EXPECT_TRUE(media == expected);
}

TEST(MediaInfoForm, VacuumAndDrierRules) {
  struct Case {
    std::string vacuum, dryHeater, named;
    int vacuumRead;
    bool drier;
  };
  const std::vector<Case> cases = {
      {"-1", "40", "", 0, true},
      {"-2", "40", "", -2, true},
      {"3", "0", "", 3, false},
      {"3", "0", "<bDrierEnable>true</bDrierEnable>", 3, true},
      {"3", "40", "<bDrierEnable>false</bDrierEnable>", 3, false},
  };
  for (const Case& c : cases) {
    const auto media = readFrom<MediaInfo>("<MediaInfo>" + mediaPositional(c.vacuum, c.dryHeater) + c.named + "</MediaInfo>");
    EXPECT_EQ(media.nVacuumPower, c.vacuumRead) << c.vacuum;
    EXPECT_EQ(media.bDrierEnable, c.drier) << c.dryHeater << c.named;
  }
  dom::Document doc = dom::Document::create();
  const auto media = readFrom<MediaInfo>("<MediaInfo>" + mediaPositional("-1") + "</MediaInfo>");
  EXPECT_EQ(child(form::writeRecord(doc, media), "nVacuumPower").value(), "0");
}

TEST(MediaInfoForm, CutForcesInFloatFormAndHideFlagAsBoolean) {
  MediaInfo media;
  media.nDeepCutForce = 170;
  media.nHalfCutForce = -3;
  dom::Document doc = dom::Document::create();
  dom::Node written = form::writeRecord(doc, media);
  EXPECT_EQ(child(written, "nDeepCutForce").value(), "170.000");
  EXPECT_EQ(child(written, "nHalfCutForce").value(), "-3.000");
  EXPECT_EQ(child(written, "bHideUnrecommendedMode").value(), "true");
  const MediaInfo back = roundTrip(media);
  EXPECT_EQ(back.nDeepCutForce, 170);
  EXPECT_EQ(back.nHalfCutForce, -3);

  for (const auto& [stored, text] : std::vector<std::pair<int, std::string>>{{1, "true"}, {0, "false"}, {2, "false"}}) {
    media.bHideUnrecommendedMode = stored;
    EXPECT_EQ(child(form::writeRecord(doc, media), "bHideUnrecommendedMode").value(), text) << stored;
  }
}

TEST(MediaInfoForm, NamedChildrenInAnyOrderWithUnknownOnes) {
  const auto media = readFrom<MediaInfo>("<MediaInfo>" + mediaPositional() +
                                         "<nOverPrintCount>3</nOverPrintCount><Unknown/><bVisibleMedia>false</bVisibleMedia>"
                                         "<nInputRoute>2</nInputRoute><bVisibleMedia>true</bVisibleMedia></MediaInfo>");
  EXPECT_EQ(media.nOverPrintCount, 3);
  EXPECT_EQ(media.nInputRoute, 2);
  EXPECT_TRUE(media.bVisibleMedia);
}

TEST(MediaInfoForm, SixteenChildrenFailNamingTheTimeStamp) {
  const Xml xml = parse("<MediaInfo>" + mediaPositional("3", "40", false) + "</MediaInfo>");
  MediaInfo media;
  EXPECT_EQ(readFailure([&] { form::readRecord(xml.root, media); }), "child 17 (TimeStamp) missing");
}

// ---- ModeInfo ---------------------------------------------------------------------------------------------

const std::string kModePositional =
    "<nModeIndex>1</nModeIndex><strModeName>m</strModeName><nInkNum>4</nInkNum><nInkIndexList>" + indexed(24) +
    "</nInkIndexList><nBitsPerPixel>2</nBitsPerPixel><nDotType>3</nDotType><strDotSize>S</strDotSize>";

TEST(ModeInfoForm, OnlyPositionalChildrenGiveTheInitialNamedValues) {
  ModeInfo stale;
  stale.nNozzleMaskCount = 9;
  const Xml xml = parse("<ModeInfo>" + kModePositional + "</ModeInfo>");
  form::readRecord(xml.root, stale);
  EXPECT_EQ(stale.nNozzleMaskCount, 0);

  const auto mode = readFrom<ModeInfo>("<ModeInfo>" + kModePositional + "</ModeInfo>");
  EXPECT_EQ(mode.nInkVolumeIndex, -1);
  EXPECT_FLOAT_EQ(mode.flFeedResolutionPerPass, 180.0f);
  EXPECT_EQ(mode.nEmptyPathLength, 0);
  EXPECT_EQ(mode.nAdditionalPrintingTime, 0);
  EXPECT_EQ(mode.strNozzleMask, "");
  EXPECT_EQ(mode.aUVLampPowerList, ModeInfo{}.aUVLampPowerList);
  dom::Document doc = dom::Document::create();
  EXPECT_EQ(child(form::writeRecord(doc, mode), "flFeedResolutionPerPass").value(), "180.000");
}

TEST(ModeInfoForm, LampPowersAreWrittenOnlyWhenOneDiffersFromReference) {
  dom::Document doc = dom::Document::create();
  ModeInfo mode;
  EXPECT_TRUE(childNames(child(form::writeRecord(doc, mode), "aUVLampPowerList")).empty());
  EXPECT_EQ(roundTrip(mode).aUVLampPowerList, mode.aUVLampPowerList);

  mode.aUVLampPowerList[1].nBackwardPower = 80;
  const dom::Node list = child(form::writeRecord(doc, mode), "aUVLampPowerList");
  ASSERT_EQ(childNames(list), (std::vector<std::string>{"UVLampPower", "UVLampPower"}));
  const dom::Node first = list.firstChild();
  const dom::Node second = first.nextSibling();
  EXPECT_EQ(readIntAttribute(first, "position"), 0);
  EXPECT_EQ(child(first, "nBackwardPower").value(), "100");
  EXPECT_EQ(readIntAttribute(second, "position"), 1);
  EXPECT_EQ(child(second, "nBackwardPower").value(), "80");
  EXPECT_EQ(roundTrip(mode).aUVLampPowerList, mode.aUVLampPowerList);
}

TEST(ModeInfoForm, LampPowerPositionAndRangeRules) {
  struct Case {
    std::string entries;
    std::array<int, 4> powers;  // forward 0, backward 0, forward 1, backward 1
  };
  const std::vector<Case> cases = {
      {"<UVLampPower position=\"2\"><nForwardPower>5</nForwardPower></UVLampPower>", {100, 100, 100, 100}},
      {"<UVLampPower><nForwardPower>5</nForwardPower></UVLampPower>", {100, 100, 100, 100}},
      {"<UVLampPower position=\"1\"><nForwardPower>101</nForwardPower><nBackwardPower>-5</nBackwardPower></UVLampPower>", {100, 100, 100, 100}},
      {"<UVLampPower position=\"1\"><nForwardPower>0</nForwardPower><nBackwardPower>100</nBackwardPower></UVLampPower>", {100, 100, 0, 100}},
      {"<Lamp position=\"0\"><nBackwardPower>40</nBackwardPower></Lamp><!-- c -->"
       "<UVLampPower position=\"0\"><nForwardPower>30</nForwardPower></UVLampPower>", {30, 100, 100, 100}},
  };
  for (const Case& c : cases) {
    const auto mode = readFrom<ModeInfo>("<ModeInfo>" + kModePositional + "<aUVLampPowerList>" + c.entries + "</aUVLampPowerList></ModeInfo>");
    const std::array<int, 4> powers = {mode.aUVLampPowerList[0].nForwardPower, mode.aUVLampPowerList[0].nBackwardPower,
                                       mode.aUVLampPowerList[1].nForwardPower, mode.aUVLampPowerList[1].nBackwardPower};
    EXPECT_EQ(powers, c.powers) << c.entries;
  }
}

TEST(ModeInfoForm, InkIndexListNeeds24Entries) {
  std::string mode = kModePositional;
  mode.replace(mode.find("<value23>"), std::string("<value23>23</value23>").size(), "");
  const Xml xml = parse("<ModeInfo>" + mode + "</ModeInfo>");
  ModeInfo record;
  EXPECT_EQ(readFailure([&] { form::readRecord(xml.root, record); }), "nInkIndexList: child 24 (value23) missing");
}

// ---- Separation records -----------------------------------------------------------------------------------

TEST(SeparationForms, TableWithoutStoredOutputIsWrittenEmptyAndLeftAloneOnReading) {
  SeparationTable table;
  table.eType = 0;
  table.usOutputTable.fill(7);
  dom::Document doc = dom::Document::create();
  const dom::Node written = form::writeRecord(doc, table);
  EXPECT_EQ(childNames(written), (std::vector<std::string>{"nInputChannelNum", "usOutputTable", "dStart", "dPeak", "dMax", "dEnd",
                                                           "dEndMax", "eType", "strInputChannel", "nInkIndex", "nHeadCount"}));
  EXPECT_EQ(child(written, "usOutputTable").value(), "");
  SeparationTable target;
  target.usOutputTable.fill(9);
  form::readRecord(written, target);
  EXPECT_EQ(target.usOutputTable[100], 9);
}

TEST(SeparationForms, TableNamedPartDefaultsOrderAndSwappedPositions) {
  const std::string head = "<nInputChannelNum>1</nInputChannelNum><usOutputTable/><dStart>0.100</dStart><dPeak>0.2</dPeak><dMax>0.3</dMax><dEnd>0.4</dEnd>";
  const auto plain = readFrom<SeparationTable>("<SeparationTable>" + head + "</SeparationTable>");
  EXPECT_EQ(plain.nInkIndex, -1);
  EXPECT_EQ(plain.nHeadCount, 1);
  EXPECT_EQ(plain.dEndMax, 0.0);
  const auto reordered = readFrom<SeparationTable>("<SeparationTable>" + head +
                                                   "<nHeadCount>3</nHeadCount><x/><eType>2</eType><dEndMax>0.5</dEndMax></SeparationTable>");
  EXPECT_EQ(reordered.nHeadCount, 3);
  EXPECT_EQ(reordered.eType, 2);
  EXPECT_DOUBLE_EQ(reordered.dEndMax, 0.5);
  const auto swapped = readFrom<SeparationTable>(
      "<SeparationTable><nInputChannelNum>1</nInputChannelNum><dStart>0.100</dStart><usOutputTable/><dPeak/><dMax/><dEnd/></SeparationTable>");
  EXPECT_EQ(swapped.dStart, 0.0);
  const Xml shortTable = parse("<SeparationTable><a/><b/><c/><d/><e/></SeparationTable>");
  SeparationTable table;
  EXPECT_EQ(readFailure([&] { form::readRecord(shortTable.root, table); }), "child 6 (dEnd) missing");
}

TEST(SeparationForms, ControlPointAndSeparationAreReadByName) {
  const auto point = readFrom<VControlPoint>("<VControlPoint><nVControlIndex>4</nVControlIndex></VControlPoint>");
  VControlPoint expected;
  expected.nVControlIndex = 4;
  EXPECT_TRUE(point == expected);

  const auto separation = readFrom<SeparationInfo>(
      "<SeparationInfo><anInputChannelInkIndexList><nInkIndex>3</nInkIndex><value>9</value><nInkIndex>4</nInkIndex>"
      "</anInputChannelInkIndexList><aSeparationTableList><Other/><SeparationTable><a/><b/><c/><d/><e/><f/></SeparationTable>"
      "</aSeparationTableList><nSeparationIndex>7</nSeparationIndex></SeparationInfo>");
  EXPECT_EQ(separation.anInputChannelInkIndexList, (std::vector<std::int32_t>{3, 4}));
  EXPECT_EQ(separation.aSeparationTableList.size(), 1u);
  EXPECT_EQ(separation.nSeparationIndex, 7);
}

TEST(OutputTable, ConstantTableRestoresThroughTheSpline) {
  OutputTable table;
  table.fill(4095);
  const std::string text = encodeOutputTable(table);
  EXPECT_EQ(text.size(), 684u);
  EXPECT_EQ(text.back(), '=');
  OutputTable restored{};
  decodeOutputTable(text, restored);
  std::vector<bool> isSample(kOutputTableSize, false);
  for (std::size_t i = 0; i < kOutputTableSamples; ++i) isSample[outputTableSamplePosition(i)] = true;
  for (std::size_t h = 0; h < kOutputTableSize; ++h) ASSERT_EQ(restored[h], isSample[h] ? 4095 : 4094) << h;
  EXPECT_EQ(outputTableSamplePosition(1), 16u);
  EXPECT_EQ(outputTableSamplePosition(255), 4095u);
}

TEST(OutputTable, SamplesComeBackExactlyAndTheTextIsStable) {
  OutputTable table{};
  for (std::size_t i = 0; i < kOutputTableSize; ++i) table[i] = static_cast<std::uint16_t>((i * 7919) % 4096);
  const std::string text = encodeOutputTable(table);
  OutputTable restored{};
  decodeOutputTable(text, restored);
  for (std::size_t i = 0; i < kOutputTableSamples; ++i)
    EXPECT_EQ(restored[outputTableSamplePosition(i)], table[outputTableSamplePosition(i)]);
  EXPECT_EQ(encodeOutputTable(restored), text);
}

TEST(OutputTable, ARisingCurveIsInterpolatedBetweenSamples) {
  OutputTable table{};
  for (std::size_t i = 0; i < kOutputTableSize; ++i) table[i] = static_cast<std::uint16_t>(i);
  OutputTable restored{};
  decodeOutputTable(encodeOutputTable(table), restored);
  // The knots stand at 65535 x i / 256 while the samples were taken at i x 4095 / 255, so between the
  // samples the restored ramp runs 256/255 steeper; the samples themselves are put back as they were.
  std::vector<bool> isSample(kOutputTableSize, false);
  for (std::size_t i = 0; i < kOutputTableSamples; ++i) isSample[outputTableSamplePosition(i)] = true;
  for (std::size_t h = 0; h < 4080; ++h) {
    if (isSample[h]) {
      ASSERT_EQ(restored[h], h);
    } else {
      ASSERT_NEAR(restored[h], static_cast<double>(h) * 256.0 / 255.0, 2.0) << h;
    }
  }
}

TEST(OutputTable, ShortStoredTextIsExtendedWithZeroSamples) {
  OutputTable table;
  table.fill(1);
  decodeOutputTable("AAEAAQ==", table);  // two samples of 1
  EXPECT_EQ(table[0], 1);
  EXPECT_EQ(table[16], 1);
  EXPECT_EQ(table[4095], 0);
  SeparationTable separation;
  const Xml xml = parse("<SeparationTable><a/><usOutputTable>AA=</usOutputTable><c/><d/><e/><f/><eType>1</eType></SeparationTable>");
  EXPECT_EQ(readFailure([&] { form::readRecord(xml.root, separation); }), "usOutputTable: not a Base64 text");
}

// ---- Media print settings ---------------------------------------------------------------------------------

const std::string kPermissionHead =
    "<nPermissionIndex>2</nPermissionIndex><anInkConfigIndexList><a>1</a><b>3</b></anInkConfigIndexList>"
    "<nResolutionIndex>1</nResolutionIndex><nModeIndex>4</nModeIndex>";

TEST(PermissionSetForm, OnlyPositionalChildrenGiveTheDefaults) {
  const auto set = readFrom<PermissionSet>("<PermissionSet>" + kPermissionHead + "</PermissionSet>");
  EXPECT_EQ(set.anInkConfigIndexList, (std::vector<std::int32_t>{1, 3}));
  EXPECT_EQ(set.nModeIndex, 4);
  EXPECT_EQ(set.eScreen, 1);
  EXPECT_TRUE(set.bVisiblePermission);
  EXPECT_TRUE(set.bRecommended);
  EXPECT_EQ(set.nRealPassCount, 0);
  EXPECT_TRUE(set.anVControlIndexList.empty());
  EXPECT_TRUE(set.aCalibrationInfoList.empty());
  EXPECT_EQ(set.strPrinterProfile, "");
}

TEST(PermissionSetForm, RecommendedDefaultsToVisibleAndIsWrittenOnlyWhenItDiffers) {
  struct Case {
    std::string named;
    bool recommended;
  };
  const std::vector<Case> cases = {
      {"<bVisiblePermission>false</bVisiblePermission>", false},
      {"<bVisiblePermission>true</bVisiblePermission>", true},
      {"", true},
      {"<bRecommended>true</bRecommended><bVisiblePermission>false</bVisiblePermission>", true},
      {"<bVisiblePermission>true</bVisiblePermission><bRecommended>false</bRecommended>", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(readFrom<PermissionSet>("<PermissionSet>" + kPermissionHead + c.named + "</PermissionSet>").bRecommended, c.recommended) << c.named;

  dom::Document doc = dom::Document::create();
  for (const bool visible : {false, true}) {
    for (const bool recommended : {false, true}) {
      PermissionSet set;
      set.bVisiblePermission = visible;
      set.bRecommended = recommended;
      EXPECT_EQ(static_cast<bool>(child(form::writeRecord(doc, set), "bRecommended")), visible != recommended);
      const PermissionSet back = roundTrip(set);
      EXPECT_EQ(back.bRecommended, recommended);
      EXPECT_EQ(back.bVisiblePermission, visible);
    }
  }
}

TEST(PermissionSetForm, ScreenOptionWrittenOnlyForScreen8RightAfterEScreen) {
  dom::Document doc = dom::Document::create();
  PermissionSet set;
  set.screenOption.flDegrees = {15.0f, 75.0f, 0.0f};
  for (const int screen : {1, 65544, 8}) {
    set.eScreen = screen;
    const std::vector<std::string> names = childNames(form::writeRecord(doc, set));
    const auto position = std::find(names.begin(), names.end(), "screenOption");
    if (screen != 8) {
      EXPECT_EQ(position, names.end()) << screen;
      continue;
    }
    ASSERT_NE(position, names.end());
    EXPECT_EQ(*(position - 1), "eScreen");
    EXPECT_EQ(childNames(child(form::writeRecord(doc, set), "screenOption")),
              (std::vector<std::string>{"bUseCustomSetting", "nLineCount", "eDotShape", "flDegrees"}));
    EXPECT_EQ(childNames(child(child(form::writeRecord(doc, set), "screenOption"), "flDegrees")),
              (std::vector<std::string>{"flDegree0", "flDegree1", "flDegree2"}));
  }
  const auto read = readFrom<PermissionSet>(
      "<PermissionSet>" + kPermissionHead +
      "<nInkLimit>5</nInkLimit><screenOption><nLineCount>60</nLineCount><flDegrees><a>1</a><b>2</b></flDegrees>"
      "</screenOption><eScreen>8</eScreen></PermissionSet>");
  EXPECT_EQ(read.screenOption.nLineCount, 60);
  EXPECT_EQ(read.screenOption.eDotShape, 1);
  EXPECT_EQ(read.screenOption.flDegrees, (std::vector<float>{1.0f, 2.0f}));
}

TEST(PermissionSetForm, DirectionIsNormalised) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"1", 65537}, {"2", 131074}, {"3", 131075}, {"131075", 131075}, {"65537", 65537}, {"131074", 131074},
      {"0", 0},     {"4", 4},      {"196609", 65537}, {"-1", 196607}};
  for (const auto& [text, value] : cases) {
    const auto set = readFrom<PermissionSet>("<PermissionSet>" + kPermissionHead + "<eDirection>" + text + "</eDirection></PermissionSet>");
    EXPECT_EQ(set.eDirection, value) << text;
  }
}

TEST(PermissionSetForm, ListsAppendScalarsOverwriteUnknownSkipped) {
  const auto set = readFrom<PermissionSet>(
      "<PermissionSet>" + kPermissionHead +
      "<anFMPatternIndexList><x>1</x></anFMPatternIndexList><Unknown>7</Unknown><anFMPatternIndexList><y>2</y></anFMPatternIndexList>"
      "<nInkLimit>1</nInkLimit><nInkLimit>2</nInkLimit></PermissionSet>");
  EXPECT_EQ(set.anFMPatternIndexList, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(set.nInkLimit, 2);
}

TEST(CalibrationInfoForm, Needs21DensityAndLabEntries) {
  std::string lab;
  for (int i = 0; i < 21; ++i) lab += "<value><l>" + std::to_string(i) + "</l><x>1.5</x><y>-2</y></value>";
  const auto calibration = readFrom<CalibrationInfo>("<CalibrationInfo><nOutputLimit>90</nOutputLimit><density>" +
                                                     repeat("value", 22, "0.500") + "</density><lab>" + lab + "</lab></CalibrationInfo>");
  EXPECT_EQ(calibration.nOutputLimit, 90);
  EXPECT_FLOAT_EQ(calibration.density[20], 0.5f);
  EXPECT_EQ(calibration.lab[20], (LabValue{20.0f, 1.5f, -2.0f}));

  CalibrationInfo fresh;
  const Xml shortDensity = parse("<CalibrationInfo><n/><density>" + repeat("value", 20) + "</density><lab>" + lab + "</lab></CalibrationInfo>");
  EXPECT_EQ(readFailure([&] { form::readRecord(shortDensity.root, fresh); }), "density: child 21 (value) missing");
  const Xml shortLab = parse("<CalibrationInfo><n/><density>" + repeat("value", 21) + "</density><lab><value><l/><a/></value></lab></CalibrationInfo>");
  EXPECT_EQ(readFailure([&] { form::readRecord(shortLab.root, fresh); }), "lab/value[1]: child 3 (b) missing");
}

TEST(QualityInfoForm, PositionalThenVisibleByName) {
  const auto quality = readFrom<QualityInfo>(
      "<QualityInfo><n>2</n><strQualityName><Japanese>高画質</Japanese></strQualityName><list><a>1</a><b>4</b></list>"
      "<Other>x</Other><bVisibleQuality>false</bVisibleQuality></QualityInfo>");
  EXPECT_EQ(quality.nQualityLevel, 2);
  EXPECT_EQ(quality.strQualityName[6], "高画質");
  EXPECT_EQ(quality.anPermissionIndexList, (std::vector<std::int32_t>{1, 4}));
  EXPECT_FALSE(quality.bVisibleQuality);
}

}  // namespace
