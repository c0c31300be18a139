#pragma once
// ModeInfo: one print mode, with the UV lamp powers of both print directions.
#include <array>
#include <cstdint>
#include <string>

#include "model/FormKinds.h"

inline constexpr std::int32_t kReferenceLampPower = 100;

// One UV lamp; its index in aUVLampPowerList is its position.
struct UVLampPower {
  std::int32_t nReferencePower = kReferenceLampPower;  // no XML form
  std::int32_t nForwardPower = kReferenceLampPower;    // 0 to 100
  std::int32_t nBackwardPower = kReferenceLampPower;   // 0 to 100
  bool operator==(const UVLampPower&) const = default;
};

struct ModeInfo {
  std::int32_t nModeIndex = 0;
  std::string strModeName;
  std::int32_t nInkNum = 0;
  std::array<std::int32_t, 24> nInkIndexList{};
  std::int32_t nBitsPerPixel = 0;
  std::int32_t nDotType = 0;
  std::string strDotSize;
  std::string strNozzleMask;
  std::int32_t nPassesPerLine = 0;
  std::string strPJLOption;
  float flFeedResolutionPerPass = 180.0f;
  std::int32_t nInkVolumeIndex = -1;
  std::int32_t nNozzleMaskCount = 0;
  std::int32_t nEmptyPathLength = 0;
  std::int32_t nAdditionalPrintingTime = 0;
  std::array<UVLampPower, 2> aUVLampPowerList{};
  bool operator==(const ModeInfo&) const = default;
};

void presetModeInfoNamedStage(ModeInfo& mode);

// One UVLampPower element: the entry at `position` (0 or 1). Returns false, touching nothing, when the
// position attribute is absent or out of range; a power outside 0 to 100 leaves 100.
dom::Node writeUVLampPower(Placement where, const UVLampPower& entry, int position);
bool readUVLampPower(const dom::Node& element, UVLampPower& entry, int& position);

namespace form {
// aUVLampPowerList: empty while both lamps run at reference power, else both entries with their
// position attribute; read from every child that carries a usable position.
struct LampPowers {
  static dom::Node write(Placement where, Names n, const std::array<UVLampPower, 2>& v);
  static void read(const dom::Node& e, Names, std::array<UVLampPower, 2>& v);
  static void visit(FieldVisitor& out, std::string_view name, const std::array<UVLampPower, 2>& v);
};

template <>
struct FormOf<ModeInfo> {
  using Record = ModeInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nModeIndex),
      FIELD(String, strModeName),
      FIELD(Int, nInkNum),
      FIELD(IndexedArray<Int>, nInkIndexList, "value"),
      FIELD(Int, nBitsPerPixel),
      FIELD(Int, nDotType),
      FIELD(String, strDotSize),
  };
  static constexpr Field<Record> byName[] = {
      FIELD(Int, nInkVolumeIndex),
      FIELD(String, strNozzleMask),
      FIELD(Int, nPassesPerLine),
      FIELD(String, strPJLOption),
      FIELD(Float, flFeedResolutionPerPass),
      FIELD(Int, nNozzleMaskCount),
      FIELD(Int, nEmptyPathLength),
      FIELD(Int, nAdditionalPrintingTime),
      FIELD(LampPowers, aUVLampPowerList),
  };
  static constexpr Form<Record> form{.element = "ModeInfo", .positional = positional, .byName = byName,
                                     .beforeNamed = presetModeInfoNamedStage};
};
}  // namespace form
