// The eight descriptions the installer carries: each loads, re-saves to the same bytes, and holds
// what a real description of its variant holds.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "model/DeviceSeriesIO.h"

using namespace modeltest;

namespace {

const char* const kShipped[] = {"Nexlume Q7 D4",  "Nexlume Q7 D2",    "Nexlume Q7 D4 PG", "Nexlume Q7 D2 PG",
                                "Nexlume Q7M D4", "Nexlume Q7M D4 PG", "Nexlume Q7M D2",  "Nexlume Q7M D2 PG"};

std::string shippedPath(const std::string& name) {
  return (std::filesystem::path(NEXLUME_SOURCE_DIR) / "resources/Tessaprint/Device" / (name + ".dsr")).string();
}

class ShippedDescription : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedDescription, LoadsAndResavesToTheSameBytes) {
  TempFolder folder;
  const std::string path = shippedPath(GetParam());
  DeviceSeries series;
  DeviceSeriesIO2 io(path);
  ASSERT_TRUE(io.LoadDocumentWithFallback(series)) << io.lastError();
  EXPECT_EQ(io.documentVersion(), 3030000);

  DeviceSeriesIO2 out(folder.path("again.dsr"));
  out.takeDocumentVersion(io);
  ASSERT_TRUE(out.SaveDocument(series)) << out.lastError();
  EXPECT_TRUE(readFile(folder.path("again.dsr")) == readFile(path));
}

TEST_P(ShippedDescription, HoldsEveryKindOfRecordOfItsVariant) {
  const std::string name = GetParam();
  const bool withGlossAndPrimer = name.ends_with(" PG");
  DeviceSeries series;
  DeviceSeriesIO2 io(shippedPath(name));
  ASSERT_TRUE(io.LoadDocument(series)) << io.lastError();

  EXPECT_GE(series.aModelInfoList.size(), 2u);
  EXPECT_EQ(series.aInkInfoList.size(), withGlossAndPrimer ? 7u : 5u);
  EXPECT_EQ(series.aResolutionInfoList.size(), 2u);
  EXPECT_FALSE(series.aVControlPointList.empty());
  EXPECT_FALSE(series.aPatternInfoList.empty());
  EXPECT_FALSE(series.aPrintChartFileInfoSetList.empty());
  EXPECT_FALSE(series.aInkVolumeInfoList.empty());
  EXPECT_EQ(series.commandSet.strInitialize.rfind("\x1B", 0), 0u);
  EXPECT_TRUE(std::any_of(series.aModeInfoList.begin(), series.aModeInfoList.end(), [](const ModeInfo& mode) {
    return mode.aUVLampPowerList != ModeInfo{}.aUVLampPowerList;
  }));

  std::vector<std::size_t> channelCounts;
  for (const SeparationInfo& separation : series.aSeparationInfoList) {
    channelCounts.push_back(separation.anInputChannelInkIndexList.size());
    ASSERT_EQ(separation.aSeparationTableList.size(), separation.anInputChannelInkIndexList.size());
    for (const SeparationTable& table : separation.aSeparationTableList) EXPECT_EQ(table.eType, kStoredOutputTable);
  }
  EXPECT_NE(std::find(channelCounts.begin(), channelCounts.end(), 4u), channelCounts.end());
  EXPECT_NE(std::find(channelCounts.begin(), channelCounts.end(), 6u), channelCounts.end());

  ASSERT_GE(series.aMediaInfoList.size(), 20u);
  bool customScreen = false;
  for (const MediaInfo& media : series.aMediaInfoList) {
    EXPECT_EQ(media.aflFeedCalibration.size(), series.aModelInfoList.size());
    EXPECT_FALSE(media.aQualityInfoList.empty());
    EXPECT_GE(media.aPermissionSetList.size(), 2u);
    for (const PermissionSet& set : media.aPermissionSetList) {
      const auto separation = std::find_if(series.aSeparationInfoList.begin(), series.aSeparationInfoList.end(),
                                           [&](const SeparationInfo& s) { return s.nSeparationIndex == set.nSeparationIndex; });
      ASSERT_NE(separation, series.aSeparationInfoList.end());
      EXPECT_EQ(set.aCalibrationInfoList.size(), separation->anInputChannelInkIndexList.size());
      EXPECT_EQ(set.screenOption.flDegrees.size(), separation->anInputChannelInkIndexList.size());
      customScreen = customScreen || set.eScreen == kCustomScreen;
    }
  }
  EXPECT_TRUE(customScreen);
  // Real text in the Chinese, Japanese, Russian and Arabic slots, not the English repeated.
  const MediaInfo& first = series.aMediaInfoList.front();
  for (const int slot : {1, 2, 6, 10, 12}) EXPECT_NE(first.strMediaName[slot], first.strMediaName[0]) << slot;
  EXPECT_NE(series.strFirmwareDownloadURL[6], series.strFirmwareDownloadURL[0]);
}

INSTANTIATE_TEST_SUITE_P(All, ShippedDescription, ::testing::ValuesIn(kShipped), [](const auto& test) {
  std::string name = test.param;
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
});

}  // namespace
