#include "model/PermissionSet.h"

std::int32_t normaliseDirection(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  const std::uint32_t low = bits & 0xFFFFu;
  std::uint32_t high = bits >> 16;
  if (high == 1 || high == 2) return value;
  if (low & 2u) {
    high = 2;
  } else if (low & 1u) {
    high = 1;
  }
  return static_cast<std::int32_t>((high << 16) | low);
}

void presetScreenOption(ScreenOption& option) {
  option.bUseCustomSetting = false;
  option.nLineCount = 30;
  option.eDotShape = 1;
}

void presetPermissionSetNamedStage(PermissionSet& set) {
  set.eScreen = 1;
  set.anVControlIndexList.clear();
}

void defaultRecommendedToVisible(PermissionSet& set, PermissionSetNotes& notes) {
  if (!notes.recommendedSeen) set.bRecommended = set.bVisiblePermission;
}
