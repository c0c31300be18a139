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

// There is no installed description to keep: the new one is written plainly.
MergeOutcome replacedPlainly(const std::string& targetPath, int resourceId) {
  MergeOutcome outcome;
  outcome.kind = MergeOutcome::Kind::Replaced;
  outcome.succeeded = ExtractResourceToFileReplacing(targetPath, resourceId);
  if (!outcome.succeeded) outcome.failure = "the new description could not be written";
  return outcome;
}

// Removes a scratch file of this merge (or a stale one of an interrupted run) if there is one.
void removeScratch(const std::string& path) {
  if (platform::pathExists(path)) platform::deleteFile(path);
}

}  // namespace

MergeOutcome mergeInstalledDescription(const std::string& targetPath, int resourceId) {
  const std::string newPath = targetPath + ".tmp";
  const std::string mergedPath = targetPath + ".out";
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
      // Only a file the DOM read and rejected holds nothing to keep; a DOM that is missing or a file
      // that could not be read says nothing about the user's media.
      if (installedIO.documentRejected()) return replacedPlainly(targetPath, resourceId);
      return kept(installedIO.domAvailable() ? "the installed description cannot be read"
                                             : "the XML DOM is not available");
    }
    if (!installedIO.LoadDocumentWithFallback(installed))
      return kept("the installed file is not a readable description: " + installedIO.lastError());
  }

  // The new description as carried, in a file created fresh.
  ExtractResourceToNewFile(newPath, resourceId);
  DeviceSeriesIO2 mergedIO(mergedPath);
  {
    DeviceSeriesIO2 newIO(newPath);
    if (!newIO.LoadDocumentWithFallback(fresh)) {
      std::string why = newIO.lastError();
      removeScratch(newPath);
      return kept("the new description cannot be read back: " + why);
    }
    // The merged file carries the new description's version, taken over in memory; it is saved to
    // a path cleared first, so the save finds no file there to take a version from (and a copy of
    // the new description there would only cost a copy and a parse).
    mergedIO.takeDocumentVersion(newIO);
  }
  removeScratch(mergedPath);

  MergeOutcome outcome;
  outcome.report = mergeDeviceSeries(installed, fresh);

  if (!mergedIO.SaveDocument(fresh)) {
    // Moving the unmerged copy over the installed file would lose the user's media.
    std::string why = mergedIO.lastError();
    removeScratch(mergedPath);
    removeScratch(newPath);
    return kept("the merged description cannot be saved: " + why);
  }
  removeScratch(newPath);
  // The save flushed the merged file; the rename replaces the installed one atomically.
  if (!platform::moveFileReplacing(mergedPath, targetPath)) {
    outcome.kind = MergeOutcome::Kind::Kept;
    outcome.failure = "the merged description cannot replace the installed one (it stays as " + mergedPath + ")";
    return outcome;
  }
  platform::flushFolderOf(targetPath);
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
