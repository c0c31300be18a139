#include "app/NexlumeQ7App.h"

#include <array>

#include "app/Extract.h"
#include "app/HostLookup.h"
#include "app/InstallPlan.h"
#include "app/UpdateMerge.h"
#include "app/Verbose.h"
#include "platform/FileSystem.h"
#include "platform/Resources.h"
#include "platform/RunLock.h"

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
    // Two runs on one host would meet at the same scratch files: the second waits for the first.
    const std::unique_ptr<platform::HostRunLock> lock = platform::acquireHostRunLock(runLockWait_, runLockFailure_);
    if (!lock) {
      outcome_ = RunOutcome::HostBusy;
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
  switch (ProbeInstalledDescription(targetPath)) {
    case InstalledDescription::Merge:
      return MergeDeviceSeriesFile(targetPath, resourceId);
    case InstalledDescription::Absent:
    case InstalledDescription::Short:
      // A description too short to hold media of the user's own is replaced without a backup.
      return ExtractResourceToFile(targetPath, resourceId);
    case InstalledDescription::Unreadable:
      break;
  }
  // Writing over a file that could not be examined could lose the user's media.
  verboseLine("kept " + targetPath + " unchanged: the installed description cannot be opened or read");
  return false;
}

InstalledDescription ProbeInstalledDescription(const std::string& targetPath) {
  std::unique_ptr<platform::File> installed = platform::openFileForReading(targetPath);
  if (!installed) return platform::pathExists(targetPath) ? InstalledDescription::Unreadable : InstalledDescription::Absent;
  std::array<std::uint8_t, kMergeProbeSize> scratch;
  std::optional<std::size_t> read = installed->read(scratch.data(), scratch.size());
  if (!read) return InstalledDescription::Unreadable;
  return *read == kMergeProbeSize ? InstalledDescription::Merge : InstalledDescription::Short;
}  // the file is closed before it is merged or replaced

bool InstalledDescriptionIsMerged(const std::string& targetPath) {
  return ProbeInstalledDescription(targetPath) == InstalledDescription::Merge;
}
