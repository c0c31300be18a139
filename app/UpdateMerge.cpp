#include "app/UpdateMerge.h"

#include "app/Extract.h"
#include "app/Verbose.h"
#include "model/DeviceSeriesIO.h"
#include "platform/FileSystem.h"

namespace {

MergeOutcome kept(std::string failure) {
  MergeOutcome outcome;
  outcome.kind = MergeOutcome::Kind::Kept;
  outcome.failure = std::move(failure);
  return outcome;
}

// The new description written plainly: there is no installed description (nothing is backed up), or
// the installed file is not XML (it stays as the backup).
MergeOutcome replacedPlainly(const std::string& targetPath, int resourceId, const std::string& backupPath = {}) {
  MergeOutcome outcome;
  outcome.kind = MergeOutcome::Kind::Replaced;
  outcome.succeeded = ExtractResourceToFile(targetPath, resourceId, backupPath);
  if (!outcome.succeeded) outcome.failure = "the new description could not be written: " + LastExtractionFailure();
  return outcome;
}

}  // namespace

MergeOutcome mergeInstalledDescription(const std::string& targetPath, int resourceId) {
  const std::string newPath = targetPath + ".tmp";
  const std::string backupPath = targetPath + ".bak";
  DeviceSeries installed;
  DeviceSeries fresh;

  if (!platform::fileExists(targetPath)) {
    // Written plainly only when nothing is there at all: a failed look-up proves no absence.
    if (!platform::pathExists(targetPath)) return replacedPlainly(targetPath, resourceId);
    return kept("the installed description cannot be examined");
  }
  {
    // Each document is dropped as soon as its record is read: the merge holds one DOM at a time.
    DeviceSeriesIO2 installedIO(targetPath);
    if (!installedIO.OpenDocument()) {
      // Only the parser's own verdict that the file is not well-formed XML says that it holds nothing
      // to keep; a missing DOM, a file that could not be read, memory running short or a document
      // the project declines say nothing about the user's media.
      if (installedIO.documentRejected()) return replacedPlainly(targetPath, resourceId, backupPath);
      return kept(installedIO.domAvailable() ? "the installed description cannot be read: " + installedIO.openError()
                                             : "the XML DOM is not available");
    }
    if (!installedIO.LoadDocumentWithFallback(installed))
      return kept("the installed file is not a readable description: " + installedIO.lastError());
  }

  // The new description as carried, in a file created fresh. A stale P.tmp that cannot be removed
  // fails here: it is never read as the new description.
  if (!ExtractResourceToNewFile(newPath, resourceId))
    return kept("the new description cannot be written to " + newPath + ": " + LastExtractionFailure());
  DeviceSeriesIO2 mergedIO(targetPath);
  {
    DeviceSeriesIO2 newIO(newPath);
    const bool loaded = newIO.LoadDocumentWithFallback(fresh);
    const std::string why = newIO.lastError();
    if (!platform::removeIfPresent(newPath))
      return kept("cannot remove " + newPath + ": " + platform::lastFileError());
    if (!loaded) return kept("the new description cannot be read back: " + why);
    // The merged file carries the new description's version, taken over in memory.
    mergedIO.takeDocumentVersion(newIO);
  }

  MergeOutcome outcome;
  outcome.report = mergeDeviceSeries(installed, fresh);

  // Saved through P.out, renamed over P once complete and flushed; P stays as P.bak.
  mergedIO.keepReplacedFileAs(backupPath);
  if (!mergedIO.SaveDocument(fresh)) return kept("the merged description cannot be saved: " + mergedIO.lastError());
  outcome.kind = MergeOutcome::Kind::Merged;
  outcome.succeeded = true;
  return outcome;
}

bool MergeDeviceSeriesFile(const std::string& targetPath, int resourceId) {
  const MergeOutcome outcome = mergeInstalledDescription(targetPath, resourceId);
  if (verboseOutput()) {
    switch (outcome.kind) {
      case MergeOutcome::Kind::Merged:
        verboseLine("merged " + targetPath);
        for (const std::string& line : outcome.report.describe()) verboseLine("  " + line);
        break;
      case MergeOutcome::Kind::Replaced:
        verboseLine("no installed description to keep at " + targetPath + ": the new one was written");
        break;
      case MergeOutcome::Kind::Kept:
        verboseLine("kept " + targetPath + " unchanged: " + outcome.failure);
        break;
    }
  }
  return outcome.succeeded;
}
