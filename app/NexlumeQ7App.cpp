#include "app/NexlumeQ7App.h"

#include <array>

#include "app/Extract.h"
#include "app/HostLookup.h"
#include "app/InstallPlan.h"
#include "app/UpdateMerge.h"
#include "platform/FileSystem.h"
#include "platform/Resources.h"

namespace {

// A missing string-table entry is an empty text, as the framework's string class loads it.
std::string stringTableText(int id) { return platform::loadString(id).value_or(std::string()); }

// The size of the probe read that tells an installed description worth merging.
constexpr std::size_t kMergeProbeSize = 1024;

}  // namespace

BOOL CNexlumeQ7App::InitInstance() {
  try {
    HostUserSettings userSettings;
    if (!userSettings.Read(&hostLookupFailure_)) {
      outcome_ = RunOutcome::HostNotFound;
      return TRUE;
    }
    HostInstallation installation;
    if (!installation.Read(&hostLookupFailure_)) {
      outcome_ = RunOutcome::HostNotFound;
      return TRUE;
    }
    runPlan(installation.InstallPath);
    outcome_ = everyFileSucceeded_ ? RunOutcome::Completed : RunOutcome::CompletedWithFailures;
  } catch (...) {
    // Nothing escapes the start-up operation; the run counts as failed where it stopped.
    outcome_ = RunOutcome::CompletedWithFailures;
  }
  return TRUE;
}

void CNexlumeQ7App::runPlan(const std::string& installPath) {
  const std::string deviceFolder = installPath + stringTableText(kDeviceFolderStringId);
  for (const PlanStep& step : kInstallPlan) {
    const std::string text = stringTableText(step.stringId);
    bool succeeded = true;
    switch (step.kind) {
      case StepKind::DeviceFile:
        succeeded = ExtractResourceToFile(deviceFolder + text, step.resourceId);
        break;
      case StepKind::ProfileFolder:
        // One level only; the outcome shows in the profiles that belong in it.
        if (!platform::pathExists(installPath + text)) platform::createDirectory(installPath + text);
        break;
      case StepKind::ProfileFile:
        succeeded = ExtractResourceToFile(installPath + text, step.resourceId);
        break;
      case StepKind::Description:
        succeeded = writeOrMergeDescription(deviceFolder + text, step.resourceId);
        break;
    }
    everyFileSucceeded_ = everyFileSucceeded_ && succeeded;
  }
}

bool CNexlumeQ7App::writeOrMergeDescription(const std::string& targetPath, int resourceId) {
  bool merge = false;
  if (std::unique_ptr<platform::File> installed = platform::openFileForReading(targetPath)) {
    std::array<std::uint8_t, kMergeProbeSize> scratch;
    std::optional<std::size_t> read = installed->read(scratch.data(), scratch.size());
    merge = read && *read == kMergeProbeSize;
  }  // closed here, before the file is merged or replaced
  return merge ? MergeDeviceSeriesFile(targetPath, resourceId) : ExtractResourceToFile(targetPath, resourceId);
}
