// Builds the eight shipped device-series descriptions through the model and saves them:
//   make_descriptions OUTPUT_FOLDER
// The output depends on nothing but this program: no clock, no randomness.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Texts.h"
#include "model/DeviceSeriesIO.h"

namespace {

struct Variant {
  std::string_view fileName;  // without ".dsr"
  bool mini;                  // Q7M: the compact series
  bool d2;                    // DURA-UV2 inks instead of DURA-UV4
  bool pg;                    // with Gloss and Primer
};

constexpr Variant kVariants[] = {
    {"Nexlume Q7 D4", false, false, false},   {"Nexlume Q7 D2", false, true, false},
    {"Nexlume Q7 D4 PG", false, false, true}, {"Nexlume Q7 D2 PG", false, true, true},
    {"Nexlume Q7M D4", true, false, false},   {"Nexlume Q7M D4 PG", true, false, true},
    {"Nexlume Q7M D2", true, true, false},    {"Nexlume Q7M D2 PG", true, true, true},
};

enum Ink { kCyan, kMagenta, kYellow, kBlack, kWhite, kGloss, kPrimer };
constexpr std::string_view kShortInkNames[] = {"C", "M", "Y", "K", "W", "GL", "PR"};

// Rounded to what a float element keeps.
float thousandths(double value) { return static_cast<float>(std::round(value * 1000.0) / 1000.0); }
double thousandthsD(double value) { return std::round(value * 1000.0) / 1000.0; }

LanguageText sameInEverySlot(std::string_view text) {
  LanguageText result;
  result.fill(std::string(text));
  return result;
}

LanguageText fromTexts(const Texts& texts, std::string_view prefix = {}, std::string_view suffix = {}) {
  LanguageText result;
  for (int slot = 0; slot < kLanguageCount; ++slot)
    result[slot] = std::string(prefix) + std::string(texts[slot]) + std::string(suffix);
  return result;
}

std::string seriesName(const Variant& v) { return v.mini ? "Q7M" : "Q7"; }
std::string inkSeries(const Variant& v) { return v.d2 ? "DURA-UV2" : "DURA-UV4"; }
int inkCount(const Variant& v) { return v.pg ? 7 : 5; }

// ---- Models --------------------------------------------------------------------------------------------

ModelInfo makeModel(const Variant& v, std::string_view name, double width, double length, int heads, int index) {
  ModelInfo m;
  m.strLongModelName = "Nexlume " + std::string(name);
  m.strMIBModelName = "NX" + std::string(name).substr(0, std::string(name).find('-'));
  m.strFolderName = "Nexlume " + seriesName(v);
  m.dMaxWidth = width;
  m.nHeadNum = heads;
  const int inks = inkCount(v);
  for (int slot = 0; slot < 24; ++slot) {
    m.nHeadPositionIndex[slot] = slot < inks ? slot * heads / inks : -1;
    m.nDefaultInkIndex[slot] = slot < inks ? slot : -1;
  }
  m.bCutFeature = v.mini;
  m.bHalfCutFeature = v.mini && index == 0;
  m.nHeaterFeature = 0;
  m.nHeadHeightMask = v.mini ? 3 : 7;
  m.strStaticStatus = "ST:%02X%02X;INK=%s";
  m.strStaticExtraStatus = "EX:%04X;UV=%d,%d";
  m.strActiveStatus = "ACT:%s;JOB=%d%%";
  m.strPPDFile = "NX" + seriesName(v) + ".PPD";
  m.dCropMargin_mm = 5.0;
  m.dCropSize_mm = 10.0;
  m.dPageSpace_mm = 20.0;
  m.dHWLeftMargin_mm = 3.0;
  m.dHWRightMargin_mm = 3.0;
  m.dHWTopMargin_mm = v.mini ? 2.5 : 5.0;
  m.dHWBottomMargin_mm = v.mini ? 2.5 : 5.0;
  m.strBMPFileName = "Nexlume Q7.bmp";
  m.nMaxCutSpeed = v.mini ? 40 : 60;
  m.strExtension = v.mini ? "0A01F3C40000" : "0A01F3C50100";
  m.nMinimumPageInterval_mm = 0;
  m.nMaximumPageInterval_mm = v.mini ? 100 : 200;
  m.nMinimumScanSpeed = 250;
  m.nMaximumScanSpeed = v.mini ? 800 : 1200;
  m.nMinimumFeedSpeed = 1;
  m.nMaximumFeedSpeed = v.mini ? 30 : 50;
  m.nMinimumPreHeaterTemperature = 20;
  m.nMaximumPreHeaterTemperature = 40;
  m.nMinimumHeaterTemperature = 20;
  m.nMaximumHeaterTemperature = 40;
  m.nMinimumDrierTemperature = 20;
  m.nMaximumDrierTemperature = 45;
  m.dMinimumFeedCalibration_mm = -1.5;
  m.dMaximumFeedCalibration_mm = 1.5;
  m.nMinimumCutForce = 30;
  m.nMaximumCutForce = v.mini ? 250 : 300;
  m.nMinimumHalfCutForce = 1;
  m.nMaximumHalfCutForce = 80;
  m.flMaximumCutOffset = 1.5f;
  m.nGetMethodType = 1;
  m.nScanSpeedType = v.mini ? 0 : 1;
  m.strDllName = "NxQ7Drv.dll";
  m.strDriverName = "Nexlume " + seriesName(v) + " Series";
  // The smallest model has no firmware requirement: those two elements are left out of its form.
  if (index < 2) {
    m.strRequiredFirmwareVersion = v.mini ? "1.20" : "2.10";
    m.strRecommendedFirmwareVersion = v.mini ? "1.34" : "2.31";
  }
  m.nNozzleCountPerHeadColumn = 320;
  m.flNozzleResolution = 150.0f;
  m.nMinimumReturnScanSpeed = 500;
  m.nMaximumReturnScanSpeed = v.mini ? 1000 : 1500;
  m.dMaxLength = length;
  m.bOverlapCutPerCutPath = false;
  m.nUVLampCount = 2;
  m.bHBridgeFeature = !v.mini;
  return m;
}

std::vector<ModelInfo> makeModels(const Variant& v) {
  if (v.mini) {
    return {makeModel(v, "Q7M-0906", 910.0, 610.0, 2, 0), makeModel(v, "Q7M-0604", 610.0, 420.0, 2, 1)};
  }
  return {makeModel(v, "Q7-2513", 2510.0, 1310.0, 4, 0), makeModel(v, "Q7-1613", 1610.0, 1310.0, 4, 1),
          makeModel(v, "Q7-1309", 1310.0, 910.0, 3, 2)};
}

// ---- Inks ------------------------------------------------------------------------------------------------

std::vector<InkInfo> makeInks(const Variant& v) {
  struct Look {
    Colour light, dark;
    float price;
  };
  constexpr Look kLooks[] = {
      {{128, 214, 240}, {0, 160, 223}, 89.0f},   {{240, 140, 190}, {228, 0, 127}, 89.0f},
      {{255, 245, 150}, {255, 230, 0}, 89.0f},   {{120, 120, 120}, {35, 31, 32}, 79.0f},
      {{255, 255, 255}, {230, 230, 230}, 119.0f}, {{250, 250, 240}, {220, 220, 205}, 129.0f},
      {{245, 240, 225}, {200, 190, 170}, 99.5f},
  };
  std::vector<InkInfo> inks;
  for (int ink = 0; ink < inkCount(v); ++ink) {
    InkInfo info;
    info.nInkIndex = ink;
    info.strLongInkName = fromTexts(kInkColours[ink], inkSeries(v) + " ");
    info.strShortInkName = std::string(kShortInkNames[ink]);
    info.lightColor = kLooks[ink].light;
    info.darkColor = kLooks[ink].dark;
    info.flPrice = kLooks[ink].price;
    info.nCapacity = ink == kPrimer ? 500 : 1000;
    inks.push_back(info);
  }
  return inks;
}

// Configuration index -> the inks it uses.
std::vector<std::vector<int>> inkConfigurations(const Variant& v) {
  std::vector<std::vector<int>> configs = {{kCyan, kMagenta, kYellow, kBlack},
                                           {kCyan, kMagenta, kYellow, kBlack, kWhite}};
  if (v.pg) {
    configs.push_back({kCyan, kMagenta, kYellow, kBlack, kWhite, kGloss});
    configs.push_back({kCyan, kMagenta, kYellow, kBlack, kWhite, kGloss, kPrimer});
  }
  return configs;
}

std::vector<InkConfigInfo> makeInkConfigs(const Variant& v) {
  std::vector<InkConfigInfo> result;
  const auto configs = inkConfigurations(v);
  for (std::size_t c = 0; c < configs.size(); ++c) {
    InkConfigInfo info;
    info.nInkConfigIndex = static_cast<std::int32_t>(c);
    std::string folder = "CMYK";
    for (int slot = 0; slot < kLanguageCount; ++slot) {
      std::string name = "CMYK";
      for (std::size_t i = 4; i < configs[c].size(); ++i) name += " + " + std::string(kInkColours[configs[c][i]][slot]);
      info.strInkConfigName[slot] = name;
    }
    for (std::size_t i = 4; i < configs[c].size(); ++i) folder += kShortInkNames[configs[c][i]];
    info.strFolderName = inkSeries(v) + " " + folder;
    info.nInkIndexList.fill(-1);
    for (std::size_t i = 0; i < configs[c].size(); ++i) info.nInkIndexList[i] = configs[c][i];
    result.push_back(info);
  }
  return result;
}

// ---- Resolutions, modes, separations, control points, patterns --------------------------------------------

std::vector<ResolutionInfo> makeResolutions() {
  return {{0, sameInEverySlot("720 x 720 dpi"), 720.0f, 720.0f},
          {1, sameInEverySlot("1440 x 720 dpi"), 1440.0f, 720.0f}};
}

struct ModePlan {
  std::string_view name;
  int resolution;
  int passes;
  int inkVolume;
  int forwardLamp[2];
  int backwardLamp[2];
  bool pgOnly;
};

constexpr ModePlan kModes[] = {
    {"720x720 4pass Draft", 0, 4, 0, {100, 100}, {100, 100}, false},
    {"720x720 8pass Standard", 0, 8, 1, {100, 100}, {100, 100}, false},
    {"1440x720 8pass Fine", 1, 8, 2, {90, 100}, {100, 90}, false},
    {"1440x720 16pass Super Fine", 1, 16, 2, {80, 80}, {80, 80}, false},
    {"720x720 8pass White", 0, 8, 3, {100, 100}, {100, 85}, false},
    {"720x720 12pass White Underbase", 0, 12, 3, {100, 100}, {100, 100}, false},
    {"720x720 8pass Gloss", 0, 8, 3, {60, 100}, {100, 60}, true},
    {"1440x720 16pass Emboss Gloss", 1, 16, 3, {40, 70}, {70, 40}, true},
    {"720x720 4pass Primer", 0, 4, 0, {100, 0}, {0, 100}, true},
};

std::vector<ModeInfo> makeModes(const Variant& v) {
  std::vector<ModeInfo> modes;
  for (const ModePlan& plan : kModes) {
    if (plan.pgOnly && !v.pg) continue;
    ModeInfo mode;
    mode.nModeIndex = static_cast<std::int32_t>(modes.size());
    mode.strModeName = std::string(plan.name);
    mode.nInkNum = inkCount(v);
    mode.nInkIndexList.fill(-1);
    for (int ink = 0; ink < inkCount(v); ++ink) mode.nInkIndexList[ink] = ink;
    mode.nBitsPerPixel = 2;
    mode.nDotType = plan.passes >= 12 ? 2 : 3;
    mode.strDotSize = v.d2 ? "S:4.0,M:8.0,L:14.0" : "S:3.5,M:7.0,L:12.0";
    mode.strNozzleMask = "NM_" + std::to_string(plan.passes) + "P_" + (plan.resolution ? "1440" : "720") + ".nmk";
    mode.nPassesPerLine = plan.passes;
    mode.strPJLOption = "@PJL SET RESOLUTION=" + std::string(plan.resolution ? "1440X720" : "720X720") +
                        " PASS=" + std::to_string(plan.passes);
    mode.flFeedResolutionPerPass = thousandths(720.0 / plan.passes);
    mode.nInkVolumeIndex = plan.inkVolume;
    mode.nNozzleMaskCount = plan.passes / 4;
    mode.nEmptyPathLength = v.mini ? 20 : 40;
    mode.nAdditionalPrintingTime = plan.passes >= 12 ? 30 : 0;
    for (int lamp = 0; lamp < 2; ++lamp) {
      mode.aUVLampPowerList[lamp].nForwardPower = plan.forwardLamp[lamp];
      mode.aUVLampPowerList[lamp].nBackwardPower = plan.backwardLamp[lamp];
    }
    modes.push_back(mode);
  }
  return modes;
}

int modeIndex(const Variant& v, std::string_view name) {
  int index = 0;
  for (const ModePlan& plan : kModes) {
    if (plan.pgOnly && !v.pg) continue;
    if (plan.name == name) return index;
    ++index;
  }
  return 0;
}

// One channel of a separation: the ink it drives and the name of its input.
struct Channel {
  int ink;
  std::string_view name;
};

struct SeparationPlan {
  std::int32_t index;  // nSeparationIndex
  std::string_view name;
  std::vector<Channel> channels;
  double limit;  // share of the full output the tables reach
};

std::vector<SeparationPlan> separationPlans(const Variant& v) {
  std::vector<SeparationPlan> plans = {
      {1, "CMYK", {{kCyan, "Cyan"}, {kMagenta, "Magenta"}, {kYellow, "Yellow"}, {kBlack, "Black"}}, 0.92},
      {3, "CMYK Vivid", {{kCyan, "Cyan"}, {kMagenta, "Magenta"}, {kYellow, "Yellow"}, {kBlack, "Black"}}, 1.0},
  };
  if (v.pg) {
    plans.insert(plans.begin() + 1,
                 {2,
                  "CMYK + White + Gloss",
                  {{kCyan, "Cyan"}, {kMagenta, "Magenta"}, {kYellow, "Yellow"}, {kBlack, "Black"}, {kWhite, "White"},
                   {kGloss, "Gloss"}},
                  0.9});
  } else {
    plans.insert(plans.begin() + 1,
                 {2,
                  "CMYK + White spot and flood",
                  {{kCyan, "Cyan"}, {kMagenta, "Magenta"}, {kYellow, "Yellow"}, {kBlack, "Black"},
                   {kWhite, "White spot"}, {kWhite, "White flood"}},
                  0.9});
  }
  return plans;
}

OutputTable curve(double gamma, double limit) {
  OutputTable table{};
  for (std::size_t i = 0; i < kOutputTableSize; ++i) {
    const double x = static_cast<double>(i) / 4095.0;
    table[i] = static_cast<std::uint16_t>(std::lround(4095.0 * limit * std::pow(x, gamma)));
  }
  // What a reader restores from the stored samples, so that the record equals the loaded one.
  decodeOutputTable(encodeOutputTable(table), table);
  return table;
}

std::vector<SeparationInfo> makeSeparations(const Variant& v) {
  std::vector<SeparationInfo> result;
  for (const SeparationPlan& plan : separationPlans(v)) {
    SeparationInfo s;
    s.nSeparationIndex = plan.index;
    s.strSeparationName = sameInEverySlot(plan.name);
    s.nOutputChannel = inkCount(v);
    for (std::size_t c = 0; c < plan.channels.size(); ++c) {
      SeparationTable t;
      t.nInputChannelNum = static_cast<std::int32_t>(c);
      t.eType = kStoredOutputTable;
      const double gamma = 1.0 + 0.08 * static_cast<double>(plan.channels[c].ink) + (v.d2 ? 0.05 : 0.0);
      t.usOutputTable = curve(gamma, plan.limit);
      t.dStart = 0.0;
      t.dPeak = thousandthsD(0.45 + 0.02 * static_cast<double>(c));
      t.dMax = thousandthsD(plan.limit);
      t.dEnd = 1.0;
      t.dEndMax = 1.0;
      t.strInputChannel = std::string(plan.channels[c].name);
      t.nInkIndex = plan.channels[c].ink;
      t.nHeadCount = plan.channels[c].ink == kWhite && !v.mini ? 2 : 1;
      s.aSeparationTableList.push_back(t);
      s.anInputChannelInkIndexList.push_back(plan.channels[c].ink);
    }
    s.nPrintChartFileInfoIndex = plan.channels.size() == 4 ? 0 : 1;
    s.strInkLimitTableFile = "NX" + seriesName(v) + "_" + inkSeries(v) + "_" + std::to_string(plan.index) + ".ilt";
    result.push_back(s);
  }
  return result;
}

std::vector<VControlPoint> makeControlPoints() {
  std::vector<VControlPoint> points;
  for (int i = 0; i < 3; ++i) {
    const double shift = 0.05 * i;
    VControlPoint p;
    p.nVControlIndex = i;
    p.dSmallStart = 0.0;
    p.dSmallPeak = thousandthsD(0.25 + shift);
    p.dSmallMax = thousandthsD(0.6 + shift);
    p.dSmallEnd = thousandthsD(0.7 + shift);
    p.dSmallEndMax = 1.0;
    p.dMediumStart = thousandthsD(0.3 + shift);
    p.dMediumPeak = thousandthsD(0.55 + shift);
    p.dMediumMax = thousandthsD(0.8 + shift);
    p.dMediumEnd = thousandthsD(0.9);
    p.dMediumEndMax = 1.0;
    p.dLargeStart = thousandthsD(0.6 + shift);
    p.dLargePeak = thousandthsD(0.85);
    p.dLargeMax = 1.0;
    p.dLargeEnd = 1.0;
    p.dLargeEndMax = 1.0;
    points.push_back(p);
  }
  return points;
}

std::vector<PatternInfo> makePatterns() {
  return {{0, 64, 64, "FM_064x064.pat"},
          {1, 128, 128, "FM_128x128.pat"},
          {2, 256, 128, "FM_256x128.pat"},
          {3, 256, 256, "FM_256x256.pat"}};
}

CommandSet makeCommands(const Variant& v) {
  CommandSet c;
  c.strInitialize = "\x1B%-12345X@PJL JOB NAME=\"Tessaprint\"\r\n@PJL SET MODEL=NX" + seriesName(v) +
                    "\r\n@PJL ENTER LANGUAGE=NXRTL\r\n\x1B" "E";
  c.strPrintHeader = "\x1B*r1A\x1B*b2M\x1B*t720R";
  c.strPrintTailer = "\x1B*rC\x0C";
  c.strCutHeader = "\x1B%0BIN;SP1;";
  c.strCutTailer = "PU;SP0;\x1B%0A";
  c.strPageFeed = "\x1B*p+120Y";
  c.strPageRewind = "\x1B*p-120Y";
  c.strSheetCut = "\x1B&l1T\x1B&l0H";
  c.strCancel = "\x18\x1B%-12345X@PJL EOJ\r\n";
  return c;
}

// ---- Media ---------------------------------------------------------------------------------------------

struct InkLook {
  double dmax, lMin, aMax, bMax;
};
constexpr InkLook kInkLooks[] = {
    {1.45, 55.0, -37.0, -50.0}, {1.40, 48.0, 74.0, -3.0}, {1.05, 89.0, -5.0, 93.0}, {1.85, 16.0, 0.5, 1.0},
    {0.60, 94.0, -0.5, -2.0},   {0.30, 93.0, 0.0, 1.5},   {0.20, 92.0, 0.5, 3.0},
};

CalibrationInfo makeCalibration(int ink, int media) {
  const InkLook& look = kInkLooks[ink];
  const double gain = 1.0 + 0.015 * (media % 7);
  CalibrationInfo c;
  c.nOutputLimit = 100 - (media % 4) * 5;
  for (std::size_t i = 0; i < kCalibrationPoints; ++i) {
    const double x = static_cast<double>(i) / 20.0;
    const double f = (1.0 - std::exp(-3.0 * x)) / (1.0 - std::exp(-3.0));
    c.density[i] = thousandths(0.06 + (look.dmax * gain - 0.06) * f);
    c.lab[i] = {thousandths(95.0 - (95.0 - look.lMin) * f), thousandths(look.aMax * f), thousandths(look.bMax * f)};
  }
  return c;
}

std::vector<float> screenAngles(std::size_t channels, bool custom) {
  if (channels == 4) return custom ? std::vector<float>{15.0f, 75.0f, 0.0f, 45.0f} : std::vector<float>{30.0f, 45.0f, 90.0f, 60.0f};
  return custom ? std::vector<float>{15.0f, 75.0f, 0.0f, 45.0f, 30.0f, 60.0f}
                : std::vector<float>{15.0f, 45.0f, 90.0f, 75.0f, 45.0f, 45.0f};
}

MediaInfo makeMedia(const Variant& v, int m, const std::vector<SeparationPlan>& separations, std::size_t models) {
  const MediaText& text = kMedia[m];
  MediaInfo media;
  media.strMediaName = fromTexts(text.name);
  media.strBaseMediaName = fromTexts(kBaseMedia[text.base]);
  const bool rigid = text.base != 0 && text.base != 5 && text.base != 6;

  struct SetPlan {
    int config;
    std::string_view mode;
    std::size_t separation;  // position in `separations`
    std::int32_t direction;  // normalised: high half 1 uni-, 2 bidirectional
    bool customScreen;
    int quality;  // 0 draft, 1 standard, 2 fine
  };
  std::vector<SetPlan> plans = {
      {0, "720x720 8pass Standard", 0, 131074, false, 1},
      {0, "1440x720 8pass Fine", 0, 65537, true, 2},
  };
  if (m % 2 == 0 || !rigid) plans.push_back({1, "720x720 8pass White", 1, 131075, m % 3 == 0, 1});
  if (m % 3 == 0) plans.push_back({0, "720x720 4pass Draft", 2, 131074, false, 0});
  if (v.pg && m % 3 == 1) plans.push_back({2, "1440x720 16pass Emboss Gloss", 1, 65537, true, 2});

  for (std::size_t p = 0; p < plans.size(); ++p) {
    const SetPlan& plan = plans[p];
    const SeparationPlan& separation = separations[plan.separation];
    PermissionSet set;
    set.nPermissionIndex = static_cast<std::int32_t>(p);
    set.anInkConfigIndexList = {plan.config};
    if (plan.config == 0) set.anInkConfigIndexList.push_back(1);
    set.nModeIndex = modeIndex(v, plan.mode);
    set.nResolutionIndex = kModes[0].resolution;
    for (const ModePlan& mode : kModes)
      if (mode.name == plan.mode) set.nResolutionIndex = mode.resolution;
    set.nPassmaskIndex = static_cast<std::int32_t>(p % 3);
    set.eDirection = plan.direction;
    set.eScreen = plan.customScreen ? kCustomScreen : (plan.quality == 0 ? 2 : 1);
    set.anVControlIndexList = {static_cast<std::int32_t>(p % 3)};
    set.anFMPatternIndexList = {static_cast<std::int32_t>(p % 4)};
    if (plan.customScreen) set.anFMPatternIndexList.push_back(3);
    set.nSeparationIndex = separation.index;
    for (const Channel& channel : separation.channels) set.aCalibrationInfoList.push_back(makeCalibration(channel.ink, m));
    set.nInkLimit = rigid ? 280 : 240;
    const std::string ink = v.d2 ? "DuraUV2" : "DuraUV4";
    const std::string resolution = set.nResolutionIndex == 1 ? "v1440x720" : "v720x720";
    set.strPrinterProfile = "NXQ7" + ink + (rigid ? "_Distance_" : "_Generic_") + resolution +
                            (plan.separation == 1 ? (v.d2 ? "_W" : "_onW") : "") + ".icc";
    set.nScanSpeed = plan.quality == 0 ? 1000 : 800;
    set.nFeedSpeed = 20;
    set.bVisiblePermission = !(plan.quality == 0 && m % 4 == 1);
    set.screenOption.bUseCustomSetting = plan.customScreen;
    set.screenOption.nLineCount = plan.customScreen ? 75 : 30;
    set.screenOption.eDotShape = plan.customScreen ? 2 : 1;
    set.screenOption.flDegrees = screenAngles(separation.channels.size(), plan.customScreen);
    set.bRecommended = p == 0 || (p == 1 && m % 2 == 0);
    set.nRealPassCount = 0;
    set.strNextPermissionIndex = p + 1 < plans.size() ? std::to_string(p + 1) : "";
    media.aPermissionSetList.push_back(set);
  }

  for (int level = 0; level < 3; ++level) {
    QualityInfo quality;
    quality.nQualityLevel = level;
    quality.strQualityName = fromTexts(kQualityNames[level]);
    for (std::size_t p = 0; p < plans.size(); ++p)
      if (plans[p].quality == level) quality.anPermissionIndexList.push_back(static_cast<std::int32_t>(p));
    if (quality.anPermissionIndexList.empty()) continue;
    quality.bVisibleQuality = !(level == 0 && m % 4 == 1);
    media.aQualityInfoList.push_back(quality);
  }
  media.nDefaultLevel = 1;
  media.nDryTime = rigid ? 0 : 10;
  media.nVacuumPower = rigid ? 2 : 4;
  media.eHeadHeight = text.base == 2 || text.base == 3 ? 1 : 2;
  for (std::size_t model = 0; model < models; ++model)
    media.aflFeedCalibration.push_back(thousandths(0.05 * static_cast<double>((m + static_cast<int>(model)) % 5) - 0.1));
  media.nPreHeater = 0;
  media.nPrintHeater = 0;
  media.nDryHeater = rigid ? 0 : 35;
  media.nCutCount = 1;
  media.nCutVelocity = 30;
  media.nCutForce = rigid ? 0 : 120;
  media.flCutOffset = 0.25f;
  media.TimeStamp = {2026, 11, static_cast<std::uint8_t>(1 + m), 9, 30, static_cast<std::uint8_t>(m), 0};
  media.bVisibleMedia = m % 6 != 5;
  media.bCuttingMedia = !rigid && v.mini;
  media.bUpdateNeeded = false;
  media.nInputRoute = 0;
  media.bPreHeaterEnable = false;
  media.bPrinterHeaterEnable = false;
  // A rigid media without drier heat keeps its drier switched on only when its element says so.
  media.bDrierEnable = !rigid || m % 5 == 0;
  media.nMediaAttribute = rigid ? 1 : 0;
  media.bHideUnrecommendedMode = m % 4 == 2 ? 0 : 1;
  media.flNormalCutForceRange = 0.5f;
  media.flDeepCutForceRange = 50.0f;
  media.nDeepCutForce = 170;
  media.nHalfCutForce = v.mini ? 60 : 0;
  media.nOverPrintCount = m % 5 == 3 ? 2 : 1;
  media.bUseDensityCalibration = m % 3 == 1;
  return media;
}

std::vector<PrintChartFileInfoSet> makePrintCharts(const Variant& v) {
  const std::string stem = "NX" + seriesName(v) + "_" + inkSeries(v);
  return {{0, stem + "_CMYK_Calibration.prn", stem + "_CMYK_InkLimit.prn", stem + "_CMYK_TestPrint.prn"},
          {1, stem + "_6CH_Calibration.prn", stem + "_6CH_InkLimit.prn", stem + "_6CH_TestPrint.prn"}};
}

std::vector<InkVolumeInfo> makeInkVolumes(const Variant& v) {
  const double scale = v.d2 ? 1.15 : 1.0;
  std::vector<InkVolumeInfo> volumes;
  for (int index = 0; index < 4; ++index) {
    InkVolumeInfo info;
    info.nInkVolumeIndex = index;
    for (int ink = 0; ink < inkCount(v); ++ink) {
      char line[96];
      const double base = (3.5 + 0.5 * index) * scale * (ink == kWhite ? 1.4 : 1.0);
      std::snprintf(line, sizeof line, "%s: %.1f, %.1f, %.1f", std::string(kShortInkNames[ink]).c_str(), base,
                    base * 2.0, base * 3.4);
      info.astrInkVolumeList.push_back(line);
    }
    volumes.push_back(info);
  }
  return volumes;
}

LanguageText firmwareAddresses(const Variant& v) {
  LanguageText addresses;
  for (int slot = 0; slot < kLanguageCount; ++slot) {
    addresses[slot] = "https://www.nexlume.example/" + std::string(kLanguageCodes[slot]) + "/support/firmware/" +
                      (v.mini ? "q7m" : "q7") + "/";
  }
  return addresses;
}

DeviceSeries makeDescription(const Variant& v) {
  DeviceSeries series;
  series.aModelInfoList = makeModels(v);
  series.aInkInfoList = makeInks(v);
  series.aInkConfigInfoList = makeInkConfigs(v);
  series.aResolutionInfoList = makeResolutions();
  series.aModeInfoList = makeModes(v);
  series.aSeparationInfoList = makeSeparations(v);
  series.aVControlPointList = makeControlPoints();
  series.aPatternInfoList = makePatterns();
  series.commandSet = makeCommands(v);
  const auto separations = separationPlans(v);
  const int mediaCount = v.mini ? 22 : static_cast<int>(std::size(kMedia));
  for (int m = 0; m < mediaCount; ++m)
    series.aMediaInfoList.push_back(makeMedia(v, m, separations, series.aModelInfoList.size()));
  series.aPrintChartFileInfoSetList = makePrintCharts(v);
  series.aInkVolumeInfoList = makeInkVolumes(v);
  series.strFirmwareDownloadURL = firmwareAddresses(v);
  return series;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_descriptions OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  int status = 0;
  for (const Variant& variant : kVariants) {
    const std::string path = (folder / (std::string(variant.fileName) + ".dsr")).string();
    // A fresh file gets the serialiser's own version, whatever an older one held.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    DeviceSeries series = makeDescription(variant);
    DeviceSeriesIO2 io(path);
    if (!io.SaveDocument(series)) {
      std::fprintf(stderr, "make_descriptions: %s: %s\n", path.c_str(), io.lastError().c_str());
      status = 1;
      continue;
    }
    std::printf("%s: %ju bytes\n", path.c_str(), static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
  }
  return status;
}
