#include "model/MediaInfo.h"

void applyMediaPositionalRules(MediaInfo& media) {
  if (media.nVacuumPower == -1) media.nVacuumPower = 0;
  if (media.nDryHeater == 0) media.bDrierEnable = false;
}
