#include "app/UpdateMerge.h"

#include "app/Extract.h"

// Until the merge itself is built, the new description is written over the installed one.
bool MergeDeviceSeriesFile(const std::string& targetPath, int resourceId) {
  return ExtractResourceToFile(targetPath, resourceId);
}
