#pragma once
// Media print settings: PermissionSet with its ScreenOption and CalibrationInfo entries, and
// QualityInfo. Owned by a MediaInfo and read and written only as part of it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/FormKinds.h"

// The custom screening of a permission set; written only for eScreen 8.
struct ScreenOption {
  bool bUseCustomSetting = false;
  std::int32_t nLineCount = 30;
  std::int32_t eDotShape = 1;
  std::vector<float> flDegrees;  // one screen angle per input channel of the separation
  bool operator==(const ScreenOption&) const = default;
};

struct LabValue {
  float l = 0.0f;
  float a = 0.0f;
  float b = 0.0f;
  bool operator==(const LabValue&) const = default;
};

inline constexpr std::size_t kCalibrationPoints = 21;

struct CalibrationInfo {
  std::int32_t nOutputLimit = 0;
  std::array<float, kCalibrationPoints> density{};
  std::array<LabValue, kCalibrationPoints> lab{};
  bool operator==(const CalibrationInfo&) const = default;
};

// The screening value whose permission sets carry a screenOption element.
inline constexpr std::int32_t kCustomScreen = 8;

struct PermissionSet {
  std::int32_t nPermissionIndex = 0;
  std::vector<std::int32_t> anInkConfigIndexList;
  std::int32_t nResolutionIndex = 0;
  std::int32_t nModeIndex = 0;
  std::int32_t nPassmaskIndex = 0;
  std::int32_t eDirection = 0;  // two 16-bit halves, normalised on reading
  std::int32_t eScreen = 1;
  std::vector<std::int32_t> anVControlIndexList;
  std::vector<std::int32_t> anFMPatternIndexList;
  std::int32_t nSeparationIndex = 0;
  std::vector<CalibrationInfo> aCalibrationInfoList;  // one per input channel of the separation
  std::int32_t nInkLimit = 0;
  std::string strPrinterProfile;
  std::int32_t nScanSpeed = 0;
  std::int32_t nFeedSpeed = 0;
  bool bVisiblePermission = true;
  ScreenOption screenOption;
  bool bRecommended = false;
  std::int32_t nRealPassCount = 0;
  std::string strNextPermissionIndex;
  bool operator==(const PermissionSet&) const = default;
};

struct QualityInfo {
  std::int32_t nQualityLevel = 0;
  LanguageText strQualityName;
  std::vector<std::int32_t> anPermissionIndexList;
  bool bVisibleQuality = true;
  bool operator==(const QualityInfo&) const = default;
};

// eDirection: when the high half is neither 1 nor 2, it is derived from the low half's bits (bit 1
// gives 2, else bit 0 gives 1), so old files holding only the low half read as new ones.
std::int32_t normaliseDirection(std::int32_t value);

void presetScreenOption(ScreenOption& option);
void presetPermissionSetNamedStage(PermissionSet& set);
// What the reader of a permission set notes: whether a bRecommended element was read.
struct PermissionSetNotes {
  bool recommendedSeen = false;
};
template <>
struct form::NotesOf<PermissionSet> {
  using type = PermissionSetNotes;
};
// A permission set without a bRecommended element recommends exactly what it shows.
void defaultRecommendedToVisible(PermissionSet& set, PermissionSetNotes& notes);
inline bool usesCustomScreen(const PermissionSet& set) { return set.eScreen == kCustomScreen; }
inline bool recommendedDiffersFromVisible(const PermissionSet& set) {
  return set.bRecommended != set.bVisiblePermission;
}

namespace form {
struct Direction : Int {
  static void read(const dom::Node& e, Names, std::int32_t& v) { v = normaliseDirection(readIntValue(e)); }
};

// bRecommended: read as a boolean and noted as seen, for defaultRecommendedToVisible.
inline void readRecommended(const Field<PermissionSet>&, const dom::Node& e, PermissionSet& set,
                            PermissionSetNotes& notes) {
  set.bRecommended = readBoolValue(e);
  notes.recommendedSeen = true;
}

template <>
struct FormOf<ScreenOption> {
  using Record = ScreenOption;
  static constexpr Field<Record> byName[] = {
      FIELD(Bool, bUseCustomSetting),
      FIELD(Int, nLineCount),
      FIELD(Int, eDotShape),
      FIELD(IndexedList<Float>, flDegrees, "flDegree"),
  };
  static constexpr Form<Record> form{.element = "screenOption", .byName = byName,
                                     .beforeNamed = presetScreenOption};
};

// l, a, b by position.
template <>
struct FormOf<LabValue> {
  using Record = LabValue;
  static constexpr Field<Record> positional[] = {FIELD(Float, l), FIELD(Float, a), FIELD(Float, b)};
  static constexpr Form<Record> form{.element = "value", .positional = positional};
};

// Entirely positional; further children are ignored.
template <>
struct FormOf<CalibrationInfo> {
  using Record = CalibrationInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nOutputLimit),
      FIELD(SameNameArray<Float>, density, "value"),
      FIELD(SameNameArray<Nested<LabValue>>, lab, "value"),
  };
  static constexpr Form<Record> form{.element = "CalibrationInfo", .positional = positional};
};

template <>
struct FormOf<PermissionSet> {
  using Record = PermissionSet;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nPermissionIndex),
      FIELD(RefilledList<Int>, anInkConfigIndexList, "anInkConfigIndex"),
      FIELD(Int, nResolutionIndex),
      FIELD(Int, nModeIndex),
  };
  static constexpr Field<Record> byName[] = {
      FIELD(Int, nPassmaskIndex),
      FIELD(Direction, eDirection),
      FIELD(Int, eScreen),
      writtenWhen(FIELD(Nested<ScreenOption>, screenOption), usesCustomScreen),
      FIELD(ListOf<Int>, anVControlIndexList, "anVControlIndex"),
      FIELD(ListOf<Int>, anFMPatternIndexList, "anFMPatternIndex"),
      FIELD(Int, nSeparationIndex),
      FIELD(RecordList<CalibrationInfo>, aCalibrationInfoList, "CalibrationInfo"),
      FIELD(Int, nInkLimit),
      FIELD(String, strPrinterProfile),
      FIELD(Int, nScanSpeed),
      FIELD(Int, nFeedSpeed),
      FIELD(Bool, bVisiblePermission),
      writtenWhen(withReader(FIELD(Bool, bRecommended), readRecommended), recommendedDiffersFromVisible),
      FIELD(Int, nRealPassCount),
      FIELD(String, strNextPermissionIndex),
  };
  static constexpr Form<Record> form{.element = "PermissionSet", .positional = positional, .byName = byName,
                                     .beforeNamed = presetPermissionSetNamedStage, .afterRead = defaultRecommendedToVisible};
};

template <>
struct FormOf<QualityInfo> {
  using Record = QualityInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nQualityLevel),
      FIELD(Language, strQualityName),
      FIELD(ListOf<Int>, anPermissionIndexList, "anPermissionIndex"),
  };
  static constexpr Field<Record> byName[] = {FIELD(Bool, bVisibleQuality)};
  static constexpr Form<Record> form{.element = "QualityInfo", .positional = positional, .byName = byName};
};
}  // namespace form
