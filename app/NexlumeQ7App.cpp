#include "app/NexlumeQ7App.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "app/Extract.h"
#include "app/HostLookup.h"
#include "app/InstallPlan.h"
#include "app/UpdateMerge.h"
#include "app/Verbose.h"
#include "platform/FileSystem.h"
#include "xmlio/Dom.h"
#include "platform/Progress.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/RunLock.h"

namespace app {
namespace {

// A missing string-table entry is an empty text, as the framework's string class loads it.
std::string stringTableText(int id) { return platform::loadString(id).value_or(std::string()); }

// The size of the probe read that tells an installed description worth merging.
constexpr std::size_t kMergeProbeSize = 1024;

// "2 minutes", "1 minute", "300 ms": the wait as a person reads it.
std::string describeDuration(std::chrono::milliseconds duration) {
  const auto count = duration.count();
  if (count > 0 && count % 60000 == 0) return std::to_string(count / 60000) + (count == 60000 ? " minute" : " minutes");
  if (count > 0 && count % 1000 == 0) return std::to_string(count / 1000) + " s";
  return std::to_string(count) + " ms";
}

}  // namespace

winapp::BOOL CNexlumeQ7App::InitInstance() {
  try {
    HostUserSettings userSettings;
    HostInstallation installation;
    if (!userSettings.Read(&hostLookupFailure_) || !installation.Read(&hostLookupFailure_)) {
      // The lookup's reason, and why the registry files themselves could not be read, if they could not.
      if (const std::string note = platform::registryLoadNote(); !note.empty()) hostLookupFailure_ += " (" + note + ")";
      noticeLine("host not found: " + hostLookupFailure_);
      outcome_ = RunOutcome::HostNotFound;
      return winapp::kTrue;
    }
    const std::optional<std::string> native = platform::nativePath(installation.InstallPath);
    const std::string folder = native ? "the folder " + *native : std::string("not mapped to a folder");
    // The end of the log's header: where the run is going to write.
    logLine("Host key:     " + installation.keyName());
    logLine("InstallPath:  " + installation.InstallPath + " (" + folder + ")");
    if (verboseOutput())
      verboseLine("host found: InstallPath " + installation.InstallPath + " (" + folder + "); XML DOM: " + dom::domComponentName());
    // A host whose folder is gone (uninstalled, a drive not there) gets one line, not a failure per file.
    const platform::FileResult folderThere = platform::pathExists(installation.InstallPath);
    const std::string whyNotThere = folderThere ? "a file is in its place" : folderThere.reason;
    if (!folderThere || platform::fileExists(installation.InstallPath)) {
      hostLookupFailure_ = "the installation folder " + installation.InstallPath + " (InstallPath of " +
                           installation.keyName() + ") is not there" + (whyNotThere.empty() ? "" : ": " + whyNotThere);
      noticeLine(hostLookupFailure_ + "; nothing was written");
      outcome_ = RunOutcome::HostNotFound;
      return winapp::kTrue;
    }
    // Every folder the run writes into must lie inside the host's folder, reached as it is now. A
    // folder that cannot be resolved takes nothing: each step then fails with that reason.
    if (std::string why; !platform::setHostFolder(installation.InstallPath, why)) verboseLine(why);
    // Two runs on one host would meet at the same scratch files: the second waits for the first. A
    // dry run writes nothing, so it neither needs the lock nor waits for it.
    platform::RunLockResult lock;
    if (!dryRun_) {
      lock = platform::acquireHostRunLock(runLockWait_, [this] {
        noticeLine("waiting for another run on this host, up to " + describeDuration(runLockWait_));
      });
      if (!lock.lock) {
        runLockFailure_ = lock.why;
        noticeLine("nothing was written: " + runLockFailure_);
        outcome_ = lock.busy ? RunOutcome::HostBusy : RunOutcome::RunLockUnavailable;
        return winapp::kTrue;
      }
    }
    runPlan(installation.InstallPath);
    outcome_ = planOutcome_;
  } catch (...) {
    // Nothing escapes the start-up operation; the run counts as failed where it stopped.
    outcome_ = RunOutcome::CompletedWithFailures;
  }
  return winapp::kTrue;
}

namespace {

// The folder part of a Windows path: everything before its last separator.
std::string folderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

}  // namespace

void CNexlumeQ7App::runPlan(const std::string& installPath) {
  const std::string deviceFolder = installPath + stringTableText(kDeviceFolderStringId);
  int files = 0;
  int failed = 0;
  int inUse = 0;
  for (const PlanStep& step : kInstallPlan) {
    const std::string text = stringTableText(step.stringId);
    const std::string target = (step.kind == StepKind::ProfileFolder || step.kind == StepKind::ProfileFile)
                                   ? installPath + text
                                   : deviceFolder + text;
    StepResult result;
    switch (step.kind) {
      case StepKind::DeviceFile:
      case StepKind::ProfileFile:
        result = installFile(target, step.resourceId, files + 1);
        break;
      case StepKind::ProfileFolder:
        // One level only; the outcome shows in the profiles that belong in it.
        if (dryRun_) {
          // One level only: a folder whose parent is neither there nor made first would not be made.
          const std::string parent = folderOf(target);
          if (std::find(plannedFolders_.begin(), plannedFolders_.end(), parent) != plannedFolders_.end() ||
              platform::pathExists(parent))
            plannedFolders_.push_back(target);
        } else if (!platform::pathExists(target)) {
          platform::createDirectory(target);
        }
        continue;
      case StepKind::Description:
        result = installDescription(target, step.resourceId, files + 1);
        break;
    }
    ++files;
    if (!result.succeeded) ++failed;
    if (!result.succeeded && result.inUse) ++inUse;
    if (!result.problem.empty()) noticeLine(target + ": " + result.problem);
  }
  // Files held open fail only until their program closes them: a run that failed on nothing else
  // can be retried as it is.
  planOutcome_ = failed == 0       ? RunOutcome::Completed
                 : failed == inUse ? RunOutcome::CompletedFilesInUse
                                   : RunOutcome::CompletedWithFailures;
  if (failed > 0) {
    noticeLine(std::to_string(failed) + " of " + std::to_string(files) + " files " +
               (dryRun_ ? "would not be installed or merged" : "were not installed or merged"));
  }
}

CNexlumeQ7App::StepResult CNexlumeQ7App::inUseStep(const std::string& targetPath, const std::string& outcome) {
  std::string holders;
  for (const std::string& holder : platform::programsHolding(targetPath)) holders += (holders.empty() ? " by " : ", ") + holder;
  return {false, outcome + ": in use by another program" + holders + "; close Tarvel Tessaprint Dual and run again", true};
}

namespace {

// How a step's failure is told: in the run's words, or in the dry run's, which say what would happen.
struct StepWords {
  const char* notInstalled;
  const char* keptUnchanged;
};
constexpr StepWords kRunWords{"not installed", "kept unchanged"};
constexpr StepWords kDryRunWords{"would not be installed", "would be kept unchanged"};

}  // namespace

// Each step below is walked alike by the run and the dry run: where the run writes, merges or
// keeps, the dry run foresees the same at the same names and says so in its numbered line.

CNexlumeQ7App::StepResult CNexlumeQ7App::installFile(const std::string& targetPath, int resourceId, int number) {
  const StepWords& words = dryRun_ ? kDryRunWords : kRunWords;
  const ExtractionResult result = dryRun_ ? foreseeExtraction(targetPath, resourceId, number) : extractResource(targetPath, resourceId);
  if (result.written) return {};
  if (result.inUse) return inUseStep(targetPath, words.notInstalled);
  return {false, std::string(words.notInstalled) + ": " + result.failure};
}

CNexlumeQ7App::StepResult CNexlumeQ7App::installDescription(const std::string& targetPath, int resourceId, int number) {
  const StepWords& words = dryRun_ ? kDryRunWords : kRunWords;
  std::string why;
  bool inUse = false;
  switch (ProbeInstalledDescription(targetPath, &why, &inUse)) {
    case InstalledDescription::Merge:
      return mergeStep(targetPath, number,
                       dryRun_ ? previewMerge(targetPath, resourceId) : MergeDeviceSeriesFile(targetPath, resourceId));
    case InstalledDescription::Absent:
    case InstalledDescription::Short:
      // A description too short to hold media of the user's own is replaced without a backup.
      return installFile(targetPath, resourceId, number);
    case InstalledDescription::Unreadable:
      break;
  }
  // Writing over a file that could not be examined could lose the user's media.
  if (dryRun_) {
    dryRunLine(number, targetPath, "would keep it unchanged");
  } else {
    verboseLine("kept " + targetPath + " unchanged: the installed description cannot be opened or read");
  }
  if (inUse) return inUseStep(targetPath, words.keptUnchanged);
  return {false, std::string(words.keptUnchanged) + ": the installed description cannot be opened or read" +
                     (why.empty() ? "" : ": " + why)};
}

CNexlumeQ7App::StepResult CNexlumeQ7App::mergeStep(const std::string& targetPath, int number, const MergeOutcome& outcome) {
  const StepWords& words = dryRun_ ? kDryRunWords : kRunWords;
  // The run's own lines come from the merge (MergeDeviceSeriesFile); the dry run's numbered line here.
  if (dryRun_) {
    switch (outcome.kind) {
      case MergeOutcome::Kind::Merged: {
        const std::vector<std::string> details = outcome.report.describe();
        dryRunLine(number, targetPath,
                   (outcome.unchanged ? "would leave it as it is: it already holds its merge with the new description ("
                                      : "would merge it with the installed description (") +
                       details.front() + ")");
        for (std::size_t i = 1; i < details.size(); ++i) verboseLine(details[i]);
        break;
      }
      case MergeOutcome::Kind::Replaced:
        dryRunLine(number, targetPath, outcome.succeeded ? "would replace it with the new description" : "would fail");
        break;
      case MergeOutcome::Kind::Kept:
        dryRunLine(number, targetPath, "would keep it unchanged");
        break;
    }
  }
  if (outcome.succeeded) return {true, outcome.notice, false};
  return {false, std::string(outcome.kind == MergeOutcome::Kind::Kept ? words.keptUnchanged : words.notInstalled) + ": " +
                     outcome.failure};
}

// ---- The dry run's numbered lines ------------------------------------------------------------------

void CNexlumeQ7App::dryRunLine(int number, const std::string& targetPath, const std::string& action) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "[%02d] ", number);
  platform::debugOutput(prefix + targetPath + ": " + action + "\r\n");
}

ExtractionResult CNexlumeQ7App::foreseeExtraction(const std::string& targetPath, int resourceId, int number) {
  const std::string folder = folderOf(targetPath);
  const bool folderPlanned = std::find(plannedFolders_.begin(), plannedFolders_.end(), folder) != plannedFolders_.end();
  if (!platform::pathExists(folder)) {
    if (!folderPlanned) {
      dryRunLine(number, targetPath, "would fail");
      return {false, "the folder " + folder + " does not exist", false};
    }
    // The run would create the folder first: the file would be a new one in it.
    dryRunLine(number, targetPath, "would write a new file");
    return {true, {}, false};
  }
  const platform::EmbeddedFile resource = platform::findEmbeddedFile(resourceId);
  if (resource.status != platform::ResourceStatus::Found || resource.data == nullptr || resource.size == 0) {
    dryRunLine(number, targetPath, "would fail");
    return {false, "the program carries no such file", false};
  }
  const platform::WriteResult write = platform::predictWriteFileReplacing(
      targetPath, std::string_view(reinterpret_cast<const char*>(resource.data), resource.size));
  if (!write) {
    dryRunLine(number, targetPath, "would fail");
    return {false, write.reason, write.inUse};
  }
  dryRunLine(number, targetPath,
             write.unchanged ? "would leave it as it is: it already holds the new file"
                             : platform::pathExists(targetPath) ? "would replace the installed file" : "would write a new file");
  return {true, {}, false};
}

InstalledDescription ProbeInstalledDescription(const std::string& targetPath, std::string* whyUnreadable, bool* inUse) {
  const platform::OpenedFile installed = platform::openFileForReading(targetPath);
  if (!installed) {
    if (whyUnreadable != nullptr) *whyUnreadable = installed.reason;
    if (inUse != nullptr) *inUse = installed.inUse;
    return platform::pathExists(targetPath) ? InstalledDescription::Unreadable : InstalledDescription::Absent;
  }
  std::array<std::uint8_t, kMergeProbeSize> scratch;
  const platform::FileValue<std::size_t> read = installed.value->read(scratch.data(), scratch.size());
  if (!read) {
    if (whyUnreadable != nullptr) *whyUnreadable = read.reason;
    return InstalledDescription::Unreadable;
  }
  return read.value == kMergeProbeSize ? InstalledDescription::Merge : InstalledDescription::Short;
}  // the file is closed before it is merged or replaced

}  // namespace app
