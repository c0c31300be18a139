#pragma once
// Print-chart file sets and ink-volume tables: small records read entirely by name.
#include <cstdint>
#include <string>
#include <vector>

#include "model/FormKinds.h"

struct PrintChartFileInfoSet {
  std::int32_t nIndex = 0;
  std::string strCalibrationFileName;
  std::string strInkLimitFileName;
  std::string strTestPrintFileName;
  bool operator==(const PrintChartFileInfoSet&) const = default;
};

struct InkVolumeInfo {
  std::int32_t nInkVolumeIndex = 0;
  std::vector<std::string> astrInkVolumeList;  // opaque texts
  bool operator==(const InkVolumeInfo&) const = default;
};

namespace form {
template <>
struct FormOf<PrintChartFileInfoSet> {
  using Record = PrintChartFileInfoSet;
  static constexpr Field<Record> byName[] = {
      FIELD(Int, nIndex),
      FIELD(String, strCalibrationFileName),
      FIELD(String, strInkLimitFileName),
      FIELD(String, strTestPrintFileName),
  };
  static constexpr Form<Record> form{.element = "PrintChartFileInfoSet", .byName = byName};
};

template <>
struct FormOf<InkVolumeInfo> {
  using Record = InkVolumeInfo;
  static constexpr Field<Record> byName[] = {
      FIELD(Int, nInkVolumeIndex),
      FIELD(NamedList<String>, astrInkVolumeList, "strInkVolume_pl"),
  };
  static constexpr Form<Record> form{.element = "InkVolumeInfo", .byName = byName};
};
}  // namespace form
