#pragma once
// DeviceSeries: a whole device-series description, the root element of its document.
#include <string>
#include <string_view>
#include <vector>

#include "model/FormKinds.h"
#include "model/InkInfo.h"
#include "model/MediaInfo.h"
#include "model/ModeInfo.h"
#include "model/ModelInfo.h"
#include "model/PrintChartInfo.h"
#include "model/SeparationInfo.h"

// The printer command sequences the host sends; any bytes, never interpreted here.
struct CommandSet {
  std::string strInitialize;
  std::string strPrintHeader;
  std::string strPrintTailer;
  std::string strCutHeader;
  std::string strCutTailer;
  std::string strPageFeed;
  std::string strPageRewind;
  std::string strSheetCut;
  std::string strCancel;
  bool operator==(const CommandSet&) const = default;
};

struct DeviceSeries {
  std::vector<ModelInfo> aModelInfoList;
  std::vector<InkInfo> aInkInfoList;
  std::vector<InkConfigInfo> aInkConfigInfoList;
  std::vector<ResolutionInfo> aResolutionInfoList;
  std::vector<ModeInfo> aModeInfoList;
  std::vector<SeparationInfo> aSeparationInfoList;
  std::vector<VControlPoint> aVControlPointList;
  std::vector<PatternInfo> aPatternInfoList;
  CommandSet commandSet;
  std::vector<MediaInfo> aMediaInfoList;
  std::vector<MediaInfo> aHostMediaInfoList;  // no XML form; carried empty
  std::vector<PrintChartFileInfoSet> aPrintChartFileInfoSetList;
  std::vector<InkVolumeInfo> aInkVolumeInfoList;
  LanguageText strFirmwareDownloadURL;
  bool operator==(const DeviceSeries&) const = default;
};

// Where a description without firmware addresses sends its users: the maker's colour-support page.
inline constexpr std::string_view kFirmwareDownloadURLInternational = "https://support.nexlume.example/en/color-support/";
inline constexpr std::string_view kFirmwareDownloadURLJapanese = "https://support.nexlume.example/ja/color-support/";

// Builds the root's content below `root` (made by the frame). Each media's aflFeedCalibration is first
// given one entry per model, which changes the record.
void writeDeviceSeries(dom::Document& doc, DeviceSeries& series, dom::Node& root);
// Fills a fresh record from the root's children, then repairs it (defaultInputChannels,
// defaultScreenAngles). Throws form::ReadError naming the place where the document fails its form.
void readDeviceSeries(const dom::Node& root, DeviceSeries& series);

// The rules around the root's content, in the order they apply.
void matchFeedCalibrationToModels(DeviceSeries& series);
void setDefaultFirmwareDownloadURL(DeviceSeries& series);
// Separations without input channels get the C, M, Y, K inks, found by their short names.
void defaultInputChannels(DeviceSeries& series);
// A permission set's screen angles get one entry per input channel of its separation (standard angles
// for 4 and 6 channels); one whose separation does not exist is left alone.
void defaultScreenAngles(DeviceSeries& series);
// Both repairs, once the root's children are read.
void repairDeviceSeries(DeviceSeries& series, form::NoNotes& notes);

namespace form {
template <>
struct FormOf<CommandSet> {
  using Record = CommandSet;
  static constexpr Field<Record> positional[] = {
      FIELD(Command, strInitialize), FIELD(Command, strPrintHeader), FIELD(Command, strPrintTailer),
      FIELD(Command, strCutHeader),  FIELD(Command, strCutTailer),   FIELD(Command, strPageFeed),
      FIELD(Command, strPageRewind), FIELD(Command, strSheetCut),    FIELD(Command, strCancel),
  };
  static constexpr Form<Record> form{.element = "commandSet", .positional = positional};
};

// The first ten children by position, the three trailing ones by name (and optional).
template <>
struct FormOf<DeviceSeries> {
  using Record = DeviceSeries;
  static constexpr Field<Record> positional[] = {
      FIELD(RecordList<ModelInfo>, aModelInfoList, "ModelInfo"),
      FIELD(RecordList<InkInfo>, aInkInfoList, "InkInfo"),
      FIELD(RecordList<InkConfigInfo>, aInkConfigInfoList, "InkConfigInfo"),
      FIELD(RecordList<ResolutionInfo>, aResolutionInfoList, "ResolutionInfo"),
      FIELD(RecordList<ModeInfo>, aModeInfoList, "ModeInfo"),
      FIELD(RecordList<SeparationInfo>, aSeparationInfoList, "SeparationInfo"),
      FIELD(RecordList<VControlPoint>, aVControlPointList, "VControlPoint"),
      FIELD(RecordList<PatternInfo>, aPatternInfoList, "PatternInfo"),
      FIELD(Nested<CommandSet>, commandSet),
      FIELD(RecordList<MediaInfo>, aMediaInfoList, "MediaInfo"),
  };
  static constexpr Field<Record> byName[] = {
      FIELD(NamedRecordList<PrintChartFileInfoSet>, aPrintChartFileInfoSetList, "PrintChartFileInfoSet"),
      FIELD(NamedRecordList<InkVolumeInfo>, aInkVolumeInfoList, "InkVolumeInfo"),
      FIELD(Language, strFirmwareDownloadURL),
  };
  static constexpr Form<Record> form{.element = "DeviceSeries", .positional = positional, .byName = byName,
                                     .beforeNamed = setDefaultFirmwareDownloadURL, .afterRead = repairDeviceSeries};
};
}  // namespace form
