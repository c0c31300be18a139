#include "model/ModelInfo.h"

void presetModelInfoNamedStage(ModelInfo& model) {
  model.nMaxCutSpeed = 60;
  model.hostOnly.nState = 0;
  model.strRequiredFirmwareVersion.clear();
  model.strRecommendedFirmwareVersion.clear();
  model.nMinimumReturnScanSpeed = 1000;
  model.nMaximumReturnScanSpeed = 1000;
}
