#pragma once
// ModelInfo: one printer model of a device series, and its XML form.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/FormKinds.h"

struct ModelInfo {
  std::string strLongModelName;
  std::string strMIBModelName;
  std::string strFolderName;
  double dMaxWidth = 0.0;
  std::int32_t nHeadNum = 0;
  std::array<std::int32_t, 24> nHeadPositionIndex{};
  std::array<std::int32_t, 24> nDefaultInkIndex{};
  bool bCutFeature = false;
  bool bHalfCutFeature = false;
  std::int32_t nHeaterFeature = 0;
  std::int32_t nHeadHeightMask = 0;
  std::string strStaticStatus;       // opaque status template, passed through
  std::string strStaticExtraStatus;  // opaque
  std::string strActiveStatus;       // opaque
  std::string strPPDFile;
  double dCropMargin_mm = 0.0;
  double dCropSize_mm = 0.0;
  double dPageSpace_mm = 0.0;
  double dHWLeftMargin_mm = 0.0;
  double dHWRightMargin_mm = 0.0;
  double dHWTopMargin_mm = 0.0;
  double dHWBottomMargin_mm = 0.0;
  std::string strBMPFileName;
  std::int32_t nMaxCutSpeed = 60;
  std::string strExtension;  // opaque run of hexadecimal digits, passed through
  std::int32_t nMinimumScanSpeed = 250;
  std::int32_t nMaximumScanSpeed = 1000;
  std::int32_t nMinimumFeedSpeed = 1;
  std::int32_t nMaximumFeedSpeed = 50;
  std::int32_t nMinimumPageInterval_mm = 0;
  std::int32_t nMaximumPageInterval_mm = 200;
  std::int32_t nMinimumPreHeaterTemperature = 35;
  std::int32_t nMaximumPreHeaterTemperature = 50;
  std::int32_t nMinimumHeaterTemperature = 35;
  std::int32_t nMaximumHeaterTemperature = 50;
  std::int32_t nMinimumDrierTemperature = 35;
  std::int32_t nMaximumDrierTemperature = 50;
  double dMinimumFeedCalibration_mm = -2.0;
  double dMaximumFeedCalibration_mm = 2.0;
  std::int32_t nMinimumCutForce = 30;
  std::int32_t nMaximumCutForce = 300;
  std::int32_t nMinimumHalfCutForce = 1;
  std::int32_t nMaximumHalfCutForce = 80;
  float flMaximumCutOffset = 1.5f;
  std::int32_t nGetMethodType = 1;
  std::int32_t nScanSpeedType = 0;
  std::string strDllName;
  std::string strDriverName;
  std::string strRequiredFirmwareVersion;
  std::string strRecommendedFirmwareVersion;
  std::int32_t nNozzleCountPerHeadColumn = 0;
  float flNozzleResolution = 0.0f;
  std::int32_t nMinimumReturnScanSpeed = 1000;
  std::int32_t nMaximumReturnScanSpeed = 1000;
  double dMaxLength = 0.0;
  bool bOverlapCutPerCutPath = false;
  std::int32_t nUVLampCount = 0;
  bool bHBridgeFeature = false;

  // Members the host keeps with a model that have no XML form: this system only copies them.
  struct HostOnly {
    struct Entry {
      std::string strFirst;
      std::string strSecond;
      bool operator==(const Entry&) const = default;
    };
    std::int32_t nState = 0;  // reset to 0 by every read
    std::string strText;
    bool bFlagA = false;
    bool bFlagB = false;
    std::vector<Entry> aListA;
    std::vector<Entry> aListB;
    std::int32_t nMode = 3;
    std::uint32_t dwWordA = 0;
    bool bFlagC = false;
    std::uint32_t dwWordB = 0;
    bool operator==(const HostOnly&) const = default;
  } hostOnly;

  bool operator==(const ModelInfo&) const = default;
};

// Resets the members that a reader always sets before the named children are read.
void presetModelInfoNamedStage(ModelInfo& model);
inline bool hasRequiredFirmwareVersion(const ModelInfo& m) { return !m.strRequiredFirmwareVersion.empty(); }
inline bool hasRecommendedFirmwareVersion(const ModelInfo& m) { return !m.strRecommendedFirmwareVersion.empty(); }

namespace form {
template <>
struct FormOf<ModelInfo> {
  using Record = ModelInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(String, strLongModelName),
      FIELD(String, strMIBModelName),
      FIELD(String, strFolderName),
      FIELD(Double, dMaxWidth),
      FIELD(Int, nHeadNum),
      FIELD(IndexedArray<Int>, nHeadPositionIndex, "value"),
      FIELD(IndexedArray<Int>, nDefaultInkIndex, "value"),
      FIELD(Bool, bCutFeature),
      FIELD(IntParsedAsFloat, nHeaterFeature),
      FIELD(Int, nHeadHeightMask),
      FIELD(String, strStaticStatus),
      FIELD(String, strStaticExtraStatus),
      FIELD(String, strActiveStatus),
      FIELD(String, strPPDFile),
      FIELD(Double, dCropMargin_mm),
      FIELD(Double, dCropSize_mm),
      FIELD(Double, dPageSpace_mm),
      FIELD(Double, dHWLeftMargin_mm),
      FIELD(Double, dHWRightMargin_mm),
      FIELD(Double, dHWTopMargin_mm),
      FIELD(Double, dHWBottomMargin_mm),
  };
  static constexpr Field<Record> byName[] = {
      FIELD(String, strBMPFileName),
      FIELD(Int, nMaxCutSpeed),
      FIELD(String, strExtension),
      FIELD(Int, nMinimumPageInterval_mm),
      FIELD(Int, nMaximumPageInterval_mm),
      FIELD(Int, nMinimumScanSpeed),
      FIELD(Int, nMaximumScanSpeed),
      FIELD(Int, nMinimumFeedSpeed),
      FIELD(Int, nMaximumFeedSpeed),
      FIELD(Int, nMinimumPreHeaterTemperature),
      FIELD(Int, nMaximumPreHeaterTemperature),
      FIELD(Int, nMinimumHeaterTemperature),
      FIELD(Int, nMaximumHeaterTemperature),
      FIELD(Int, nMinimumDrierTemperature),
      FIELD(Int, nMaximumDrierTemperature),
      FIELD(Double, dMinimumFeedCalibration_mm),
      FIELD(Double, dMaximumFeedCalibration_mm),
      FIELD(Int, nMinimumCutForce),
      FIELD(Int, nMaximumCutForce),
      FIELD(Float, flMaximumCutOffset),
      FIELD(Int, nGetMethodType),
      FIELD(Int, nScanSpeedType),
      FIELD(String, strDllName),
      FIELD(String, strDriverName),
      writtenWhen(FIELD(String, strRequiredFirmwareVersion), hasRequiredFirmwareVersion),
      writtenWhen(FIELD(String, strRecommendedFirmwareVersion), hasRecommendedFirmwareVersion),
      FIELD(Int, nNozzleCountPerHeadColumn),
      FIELD(Float, flNozzleResolution),
      FIELD(Int, nMinimumReturnScanSpeed),
      FIELD(Int, nMaximumReturnScanSpeed),
      FIELD(Double, dMaxLength),
      FIELD(Bool, bOverlapCutPerCutPath),
      FIELD(Int, nUVLampCount),
      FIELD(Bool, bHBridgeFeature),
      FIELD(Bool, bHalfCutFeature),
      FIELD(Int, nMinimumHalfCutForce),
      FIELD(Int, nMaximumHalfCutForce),
  };
  static constexpr Form<Record> form{.element = "ModelInfo", .positional = positional, .byName = byName,
                                     .beforeNamed = presetModelInfoNamedStage};
};
}  // namespace form
