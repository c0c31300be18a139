#include "model/DeviceSeriesMerge.h"

#include <algorithm>

namespace descriptionmerge {
namespace {

// The slots that make a medium's identity: English to Spanish.
constexpr std::size_t kIdentitySlots = 10;

const SeparationInfo* firstSeparationWithIndex(const DeviceSeries& series, std::int32_t nSeparationIndex) {
  auto found = std::find_if(series.aSeparationInfoList.begin(), series.aSeparationInfoList.end(),
                            [&](const SeparationInfo& s) { return s.nSeparationIndex == nSeparationIndex; });
  return found == series.aSeparationInfoList.end() ? nullptr : &*found;
}

}  // namespace

bool isSameMedium(const MediaInfo& a, const MediaInfo& b) {
  return std::equal(a.strMediaName.begin(), a.strMediaName.begin() + kIdentitySlots, b.strMediaName.begin());
}

MergeReport mergeDeviceSeries(const DeviceSeries& installed, DeviceSeries& fresh) {
  MergeReport report;

  // Only the media the new description brought are candidates: its length is taken once.
  const std::size_t newMediaCount = fresh.aMediaInfoList.size();
  for (const MediaInfo& old : installed.aMediaInfoList) {
    std::size_t match = 0;
    while (match < newMediaCount && !isSameMedium(fresh.aMediaInfoList[match], old)) ++match;
    if (match < newMediaCount) {
      fresh.aMediaInfoList[match].bVisibleMedia = old.bVisibleMedia;
      report.matched.push_back({old.strMediaName[0], match, old.bVisibleMedia});
    } else {
      fresh.aMediaInfoList.push_back(old);
      report.appended.push_back(old.strMediaName[0]);
    }
  }

  for (MediaInfo& medium : fresh.aMediaInfoList) {
    for (PermissionSet& set : medium.aPermissionSetList) {
      const SeparationInfo* separation = firstSeparationWithIndex(fresh, set.nSeparationIndex);
      if (separation == nullptr) continue;  // no limit to take: the list stays as it is
      const std::size_t limit = separation->anInputChannelInkIndexList.size();
      const std::size_t count = set.aCalibrationInfoList.size();
      if (count <= limit) continue;
      set.aCalibrationInfoList.resize(limit);
      report.trimmed.push_back({medium.strMediaName[0], set.nPermissionIndex, count, limit});
    }
  }
  return report;
}

std::vector<std::string> MergeReport::describe() const {
  std::vector<std::string> lines;
  lines.push_back(std::to_string(matched.size()) + " installed media matched, " + std::to_string(appended.size()) +
                  " appended, " + std::to_string(trimmed.size()) + " calibration lists trimmed");
  for (const Match& m : matched)
    // Only the installed visibility is carried over: the rest of the medium is the new description's.
    lines.push_back("kept the visibility of \"" + m.name + "\" (new medium " + std::to_string(m.newIndex + 1) + "): " +
                    (m.bVisibleMedia ? "visible" : "hidden"));
  for (const std::string& name : appended) lines.push_back("appended the user's medium \"" + name + "\"");
  for (const Trim& t : trimmed)
    lines.push_back("trimmed \"" + t.medium + "\" permission set " + std::to_string(t.nPermissionIndex) +
                    " from " + std::to_string(t.from) + " to " + std::to_string(t.to) + " calibration entries");
  return lines;
}

}  // namespace descriptionmerge
