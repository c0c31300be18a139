#pragma once
// Resolutions, halftone patterns, colour separations with their per-channel tables, and dot-size
// control points.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/FormKinds.h"

struct ResolutionInfo {
  std::int32_t nResolutionIndex = 0;
  LanguageText strResolutionName;
  float flScanResolution = 0.0f;
  float flFeedResolution = 0.0f;
  bool operator==(const ResolutionInfo&) const = default;
};

struct PatternInfo {
  std::int32_t nFMPatternIndex = 0;
  std::int32_t nScanPixelSize = 0;
  std::int32_t nFeedPixelSize = 0;
  std::string strPatternFile;
  bool operator==(const PatternInfo&) const = default;
};

inline constexpr std::size_t kOutputTableSize = 4096;
inline constexpr std::size_t kOutputTableSamples = 256;
using OutputTable = std::array<std::uint16_t, kOutputTableSize>;

// The eType whose output table is stored.
inline constexpr std::int32_t kStoredOutputTable = 1;

// One input channel of a separation.
struct SeparationTable {
  std::int32_t nInputChannelNum = 0;
  std::int32_t eType = 0;
  OutputTable usOutputTable{};  // zero until a stored table is read
  double dStart = 0.0;
  double dPeak = 0.0;
  double dMax = 0.0;
  double dEnd = 0.0;
  double dEndMax = 0.0;
  std::string strInputChannel;
  std::int32_t nInkIndex = -1;
  std::int32_t nHeadCount = 1;
  bool operator==(const SeparationTable&) const = default;
};

struct SeparationInfo {
  std::int32_t nSeparationIndex = 0;
  LanguageText strSeparationName;
  std::int32_t nOutputChannel = 0;
  std::vector<SeparationTable> aSeparationTableList;
  std::int32_t nPrintChartFileInfoIndex = 0;
  std::string strInkLimitTableFile;
  std::vector<std::int32_t> anInputChannelInkIndexList;  // nInkIndex of each input channel
  bool operator==(const SeparationInfo&) const = default;
};

struct VControlPoint {
  std::int32_t nVControlIndex = 0;
  double dSmallStart = 0.0, dSmallPeak = 0.0, dSmallMax = 0.0, dSmallEnd = 0.0, dSmallEndMax = 0.0;
  double dMediumStart = 0.0, dMediumPeak = 0.0, dMediumMax = 0.0, dMediumEnd = 0.0, dMediumEndMax = 0.0;
  double dLargeStart = 0.0, dLargePeak = 0.0, dLargeMax = 0.0, dLargeEnd = 0.0, dLargeEndMax = 0.0;
  bool operator==(const VControlPoint&) const = default;
};

// ---- The stored form of an output table ----------------------------------------------------------------

// The table entry of sample i (0 to 255): trunc(i x 4095/255 + 0.5), accumulated as a double sum.
std::size_t outputTableSamplePosition(std::size_t sample);
// 256 samples, big-endian 16-bit, Base64: a 684-character text.
std::string encodeOutputTable(const OutputTable& table);
// The inverse: a natural cubic spline through the samples fills the table, then the samples are put
// back exactly. A decoded text shorter than 512 bytes is extended with zero samples.
void decodeOutputTable(std::string_view text, OutputTable& table);

// What the reader of a separation table notes: its usOutputTable element, decoded once eType is known.
struct SeparationTableNotes {
  dom::Node outputTableText;
};
template <>
struct form::NotesOf<SeparationTable> {
  using type = SeparationTableNotes;
};

// usOutputTable: text written only for eType 1; the read element is noted, and decoded by
// restoreOutputTable once eType is known.
dom::Node writeOutputTableField(const form::Field<SeparationTable>& f, Placement where,
                                const SeparationTable& table);
void noteOutputTableText(const form::Field<SeparationTable>& f, const dom::Node& e, SeparationTable& table,
                         SeparationTableNotes& notes);
void visitOutputTable(const form::Field<SeparationTable>& f, const SeparationTable& table,
                      form::FieldVisitor& out);
// A stored table (eType 1, text not empty) replaces the output table; otherwise it is left as it was.
void restoreOutputTable(SeparationTable& table, SeparationTableNotes& notes);

namespace form {
template <>
struct FormOf<ResolutionInfo> {
  using Record = ResolutionInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nResolutionIndex),
      FIELD(Language, strResolutionName),
      FIELD(Float, flScanResolution),
      FIELD(Float, flFeedResolution),
  };
  static constexpr Form<Record> form{.element = "ResolutionInfo", .positional = positional};
};

template <>
struct FormOf<PatternInfo> {
  using Record = PatternInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nFMPatternIndex),
      FIELD(Int, nScanPixelSize),
      FIELD(Int, nFeedPixelSize),
      FIELD(String, strPatternFile),
  };
  static constexpr Form<Record> form{.element = "PatternInfo", .positional = positional};
};

template <>
struct FormOf<SeparationTable> {
  using Record = SeparationTable;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nInputChannelNum),
      {"usOutputTable", {}, writeOutputTableField, noteOutputTableText, visitOutputTable},
      FIELD(Double, dStart),
      FIELD(Double, dPeak),
      FIELD(Double, dMax),
      FIELD(Double, dEnd),
  };
  static constexpr Field<Record> byName[] = {
      FIELD(Double, dEndMax),
      FIELD(Int, eType),
      FIELD(String, strInputChannel),
      FIELD(Int, nInkIndex),
      FIELD(Int, nHeadCount),
  };
  static constexpr Form<Record> form{.element = "SeparationTable", .positional = positional, .byName = byName,
                                     .afterRead = restoreOutputTable};
};

template <>
struct FormOf<SeparationInfo> {
  using Record = SeparationInfo;
  static constexpr Field<Record> byName[] = {
      FIELD(Int, nSeparationIndex),
      FIELD(Language, strSeparationName),
      FIELD(Int, nOutputChannel),
      FIELD(NamedRecordList<SeparationTable>, aSeparationTableList, "SeparationTable"),
      FIELD(Int, nPrintChartFileInfoIndex),
      FIELD(String, strInkLimitTableFile),
      FIELD(NamedList<Int>, anInputChannelInkIndexList, "nInkIndex"),
  };
  static constexpr Form<Record> form{.element = "SeparationInfo", .byName = byName};
};

template <>
struct FormOf<VControlPoint> {
  using Record = VControlPoint;
  static constexpr Field<Record> byName[] = {
      FIELD(Int, nVControlIndex),
      FIELD(Double, dSmallStart), FIELD(Double, dSmallPeak), FIELD(Double, dSmallMax),
      FIELD(Double, dSmallEnd), FIELD(Double, dSmallEndMax),
      FIELD(Double, dMediumStart), FIELD(Double, dMediumPeak), FIELD(Double, dMediumMax),
      FIELD(Double, dMediumEnd), FIELD(Double, dMediumEndMax),
      FIELD(Double, dLargeStart), FIELD(Double, dLargePeak), FIELD(Double, dLargeMax),
      FIELD(Double, dLargeEnd), FIELD(Double, dLargeEndMax),
  };
  static constexpr Form<Record> form{.element = "VControlPoint", .byName = byName};
};
}  // namespace form
