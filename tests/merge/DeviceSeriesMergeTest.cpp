// The merge on records: which installed media are kept, where they go, and what is trimmed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/DeviceSeriesMerge.h"

using namespace descriptionmerge;

namespace {

// A medium named `english` in every slot, with its slot `slot` changed when asked.
MediaInfo medium(const std::string& english, bool visible = true) {
  MediaInfo m;
  m.strMediaName.fill(english);
  m.bVisibleMedia = visible;
  return m;
}

PermissionSet permissionSet(int nSeparationIndex, std::size_t calibrationEntries) {
  PermissionSet set;
  set.nSeparationIndex = nSeparationIndex;
  set.aCalibrationInfoList.resize(calibrationEntries);
  for (std::size_t i = 0; i < calibrationEntries; ++i)
    set.aCalibrationInfoList[i].nOutputLimit = static_cast<std::int32_t>(100 + i);
  return set;
}

SeparationInfo separation(int nSeparationIndex, std::size_t channels) {
  SeparationInfo s;
  s.nSeparationIndex = nSeparationIndex;
  s.anInputChannelInkIndexList.assign(channels, 1);
  return s;
}

std::vector<std::string> englishNames(const DeviceSeries& series) {
  std::vector<std::string> names;
  for (const MediaInfo& m : series.aMediaInfoList) names.push_back(m.strMediaName[0]);
  return names;
}

TEST(DeviceSeriesMerge, KnownMediaKeepTheNewOrderAndTakeTheInstalledVisibility) {
  DeviceSeries installed, fresh;
  installed.aMediaInfoList = {medium("Glass", false), medium("PET", true)};
  fresh.aMediaInfoList = {medium("PET", false), medium("Glass", true), medium("Slate", true)};

  MergeReport report = mergeDeviceSeries(installed, fresh);

  EXPECT_EQ(englishNames(fresh), (std::vector<std::string>{"PET", "Glass", "Slate"}));
  EXPECT_TRUE(fresh.aMediaInfoList[0].bVisibleMedia);
  EXPECT_FALSE(fresh.aMediaInfoList[1].bVisibleMedia);
  EXPECT_TRUE(fresh.aMediaInfoList[2].bVisibleMedia);  // not installed: as the new description has it
  EXPECT_EQ(report.matched.size(), 2u);
  EXPECT_TRUE(report.appended.empty());
}

TEST(DeviceSeriesMerge, IdentityIsTheFirstTenLanguageSlotsExactly) {
  struct Case {
    const char* what;
    int slot;                 // slot of the installed name that differs
    const char* text;         // its text there
    bool sameMedium;
  } cases[] = {
      {"Russian differs", 10, "Стекло", true},
      {"Turkish differs", 11, "Cam", true},
      {"Arabic differs", 12, "زجاج", true},
      {"Japanese differs", 6, "ガラス", false},
      {"Spanish differs", 9, "Vidrio", false},
      {"English differs in case", 0, "glass", false},
      {"French empty", 3, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeviceSeries installed, fresh;
    MediaInfo old = medium("Glass", false);
    old.strMediaName[static_cast<std::size_t>(c.slot)] = c.text;
    installed.aMediaInfoList = {old};
    fresh.aMediaInfoList = {medium("Glass", true)};

    mergeDeviceSeries(installed, fresh);

    if (c.sameMedium) {
      ASSERT_EQ(fresh.aMediaInfoList.size(), 1u);
      EXPECT_FALSE(fresh.aMediaInfoList[0].bVisibleMedia);
    } else {
      ASSERT_EQ(fresh.aMediaInfoList.size(), 2u);
      EXPECT_TRUE(fresh.aMediaInfoList[0].bVisibleMedia);
      EXPECT_EQ(fresh.aMediaInfoList[1], old);
    }
  }
}

TEST(DeviceSeriesMerge, UserMediaAreAppendedWholeAfterAllNewMedia) {
  DeviceSeries installed, fresh;
  fresh.aSeparationInfoList = {separation(1, 4), separation(2, 6)};
  MediaInfo mine = medium("My Banner", false);
  mine.strMediaName[6] = "私のバナー";
  mine.aPermissionSetList = {permissionSet(2, 6), permissionSet(1, 6), permissionSet(9, 7)};
  mine.nDryTime = 42;
  installed.aMediaInfoList = {mine, medium("PET")};
  fresh.aMediaInfoList = {medium("PET"), medium("Glass")};

  MergeReport report = mergeDeviceSeries(installed, fresh);

  ASSERT_EQ(englishNames(fresh), (std::vector<std::string>{"PET", "Glass", "My Banner"}));
  const MediaInfo& kept = fresh.aMediaInfoList[2];
  EXPECT_EQ(kept.strMediaName, mine.strMediaName);
  EXPECT_EQ(kept.nDryTime, 42);
  EXPECT_FALSE(kept.bVisibleMedia);
  ASSERT_EQ(kept.aPermissionSetList.size(), 3u);
  EXPECT_EQ(kept.aPermissionSetList[0].aCalibrationInfoList.size(), 6u);  // six channels: all stay
  ASSERT_EQ(kept.aPermissionSetList[1].aCalibrationInfoList.size(), 4u);  // four channels: the first four
  EXPECT_EQ(kept.aPermissionSetList[1].aCalibrationInfoList.back().nOutputLimit, 103);
  EXPECT_EQ(kept.aPermissionSetList[2].aCalibrationInfoList.size(), 7u);  // no such separation: untouched
  EXPECT_EQ(report.appended, std::vector<std::string>{"My Banner"});
  ASSERT_EQ(report.trimmed.size(), 1u);
  EXPECT_EQ(report.trimmed[0].from, 6u);
  EXPECT_EQ(report.trimmed[0].to, 4u);
}

TEST(DeviceSeriesMerge, TheLaterOfTwoMatchingInstalledMediaDecidesTheVisibility) {
  DeviceSeries installed, fresh;
  installed.aMediaInfoList = {medium("Glass", true), medium("Glass", false)};
  fresh.aMediaInfoList = {medium("Glass", true)};

  mergeDeviceSeries(installed, fresh);

  ASSERT_EQ(fresh.aMediaInfoList.size(), 1u);
  EXPECT_FALSE(fresh.aMediaInfoList[0].bVisibleMedia);
}

TEST(DeviceSeriesMerge, AppendedMediaAreNeverMatched) {
  DeviceSeries installed, fresh;
  installed.aMediaInfoList = {medium("Mine", true), medium("Mine", false)};
  fresh.aMediaInfoList = {medium("PET")};

  mergeDeviceSeries(installed, fresh);

  ASSERT_EQ(englishNames(fresh), (std::vector<std::string>{"PET", "Mine", "Mine"}));
  EXPECT_TRUE(fresh.aMediaInfoList[1].bVisibleMedia);
  EXPECT_FALSE(fresh.aMediaInfoList[2].bVisibleMedia);
}

TEST(DeviceSeriesMerge, CalibrationListsOfNewMediaAreTrimmedByTheFirstSeparationWithTheirIndex) {
  DeviceSeries installed, fresh;
  fresh.aSeparationInfoList = {separation(3, 4), separation(3, 6)};
  MediaInfo pet = medium("PET");
  pet.aPermissionSetList = {permissionSet(3, 6), permissionSet(3, 4), permissionSet(3, 2)};
  fresh.aMediaInfoList = {pet};

  mergeDeviceSeries(installed, fresh);

  const auto& sets = fresh.aMediaInfoList[0].aPermissionSetList;
  EXPECT_EQ(sets[0].aCalibrationInfoList.size(), 4u);
  EXPECT_EQ(sets[1].aCalibrationInfoList.size(), 4u);
  EXPECT_EQ(sets[2].aCalibrationInfoList.size(), 2u);  // fewer than the limit: never padded
}

}  // namespace
