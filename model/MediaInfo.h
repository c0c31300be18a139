#pragma once
// MediaInfo: one print media with its permitted print settings, quality levels and printer settings.
#include <cstdint>
#include <vector>

#include "model/FormKinds.h"
#include "model/PermissionSet.h"

struct MediaInfo {
  LanguageText strMediaName;  // the media's identity: slots English to Spanish
  LanguageText strBaseMediaName;
  std::vector<PermissionSet> aPermissionSetList;
  std::vector<QualityInfo> aQualityInfoList;
  std::int32_t nDefaultLevel = 0;
  std::int32_t nDryTime = 0;
  std::int32_t nVacuumPower = 0;
  std::int32_t eHeadHeight = 0;
  std::vector<float> aflFeedCalibration;  // one per model of the document, in model order
  std::int32_t nPreHeater = 0;
  std::int32_t nPrintHeater = 0;
  std::int32_t nDryHeater = 0;
  std::int32_t nCutCount = 0;
  std::int32_t nCutVelocity = 0;
  std::int32_t nCutForce = 0;
  float flCutOffset = 0.0f;
  ::TimeStamp TimeStamp;
  bool bVisibleMedia = true;
  bool bCuttingMedia = true;
  bool bUpdateNeeded = false;
  std::int32_t nInputRoute = 0;
  bool bPreHeaterEnable = true;
  bool bPrinterHeaterEnable = true;
  bool bDrierEnable = true;
  std::int32_t nMediaAttribute = 0;
  std::int32_t bHideUnrecommendedMode = 1;  // 0 or 1
  float flNormalCutForceRange = 0.5f;
  float flDeepCutForceRange = 50.0f;
  std::int32_t nDeepCutForce = 170;
  std::int32_t nHalfCutForce = 0;
  std::int32_t nOverPrintCount = 1;
  bool bUseDensityCalibration = false;
  bool operator==(const MediaInfo&) const = default;
};

// Between the positional and the named children: a vacuum power of -1 means 0, and a media without
// drier heat has its drier disabled unless a bDrierEnable element says otherwise.
void applyMediaPositionalRules(MediaInfo& media);

namespace form {
template <>
struct FormOf<MediaInfo> {
  using Record = MediaInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Language, strMediaName),
      FIELD(Language, strBaseMediaName),
      FIELD(RecordList<PermissionSet>, aPermissionSetList, "PermissionSet"),
      FIELD(RecordList<QualityInfo>, aQualityInfoList, "QualityInfo"),
      FIELD(Int, nDefaultLevel),
      FIELD(Int, nDryTime),
      FIELD(Int, nVacuumPower),
      FIELD(Int, eHeadHeight),
      FIELD(ListOf<Float>, aflFeedCalibration, "value"),
      FIELD(Int, nPreHeater),
      FIELD(Int, nPrintHeater),
      FIELD(Int, nDryHeater),
      FIELD(Int, nCutCount),
      FIELD(Int, nCutVelocity),
      FIELD(Int, nCutForce),
      FIELD(Float, flCutOffset),
      FIELD(Stamp, TimeStamp),
  };
  static constexpr Field<Record> byName[] = {
      FIELD(Bool, bVisibleMedia),
      FIELD(Bool, bCuttingMedia),
      FIELD(Bool, bUpdateNeeded),
      FIELD(Int, nInputRoute),
      FIELD(Bool, bPreHeaterEnable),
      FIELD(Bool, bPrinterHeaterEnable),
      FIELD(Bool, bDrierEnable),
      FIELD(Int, nMediaAttribute),
      FIELD(IntAsBool, bHideUnrecommendedMode),
      FIELD(Float, flNormalCutForceRange),
      FIELD(Float, flDeepCutForceRange),
      FIELD(IntWrittenAsFloat, nDeepCutForce),
      FIELD(IntWrittenAsFloat, nHalfCutForce),
      FIELD(Int, nOverPrintCount),
      FIELD(Bool, bUseDensityCalibration),
  };
  static constexpr Form<Record> form{.element = "MediaInfo", .positional = positional, .byName = byName,
                                     .beforeNamed = applyMediaPositionalRules};
};
}  // namespace form
