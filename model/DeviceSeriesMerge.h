#pragma once
// The update merge on records: the installed description's media and visibility choices are carried
// into the new description, whose calibration lists are then trimmed to its separations.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/DeviceSeries.h"

namespace descriptionmerge {

// What a merge did, for the verbose lines of the installer and dsrtool.
struct MergeReport {
  struct Match {
    std::string name;            // English name of the installed medium
    std::size_t newIndex = 0;    // the new medium it matched
    bool bVisibleMedia = true;   // the visibility carried over
  };
  struct Trim {
    std::string medium;  // English name
    std::int32_t nPermissionIndex = 0;
    std::size_t from = 0;  // calibration entries before
    std::size_t to = 0;    // and after
  };
  std::vector<Match> matched;
  std::vector<std::string> appended;  // English names of installed media added at the end
  std::vector<Trim> trimmed;

  // One line per fact, for people ("kept visibility of ...", "appended ...", "trimmed ...").
  std::vector<std::string> describe() const;
};

// Two media are the same medium when their first ten language texts (English to Spanish) are equal,
// exactly and case-sensitively; Russian, Turkish and Arabic are not compared.
bool isSameMedium(const MediaInfo& a, const MediaInfo& b);

// Merges `installed` into `fresh`, the new description, which is changed:
// 1. each installed medium, in order, gives its visibility to the first new medium that is the same
//    medium (a later match overwrites an earlier one), or is appended whole when none is; appended
//    media are never matched;
// 2. every permission set of every medium keeps at most as many calibration entries as the first
//    separation with its nSeparationIndex has input channels (none found: the list stays).
MergeReport mergeDeviceSeries(const DeviceSeries& installed, DeviceSeries& fresh);

}  // namespace descriptionmerge
