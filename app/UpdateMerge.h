#pragma once
#include <string>

// Installs the new description `resourceId` over the installed one at `targetPath`, keeping the
// user's own media and the visibility of known media.
bool MergeDeviceSeriesFile(const std::string& targetPath, int resourceId);
