#include "app/UpdateMerge.h"

#include "app/Extract.h"
#include "app/Verbose.h"
#include "model/DeviceSeriesIO.h"
#include "platform/FileSystem.h"
#include "platform/Resources.h"

namespace app {
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
  if (!outcome.succeeded) outcome.failure = "the new description could not be written: " + lastExtractionFailure();
  return outcome;
}

enum class Installed { Read, Missing, NotXml, Unreadable };

// Reads the installed description P into `installed`. Missing: nothing is there at all (a failed
// look-up proves no absence); NotXml: the XML parser itself finds it not well-formed, so it holds
// nothing to keep; Unreadable: anything else that stops the read, with `why` (a missing DOM, a file
// that could not be read, memory running short, a document the project declines, no description).
Installed readInstalled(const std::string& targetPath, DeviceSeries& installed, std::string& why) {
  if (!platform::fileExists(targetPath)) {
    if (!platform::pathExists(targetPath)) return Installed::Missing;
    why = "the installed description cannot be examined";
    return Installed::Unreadable;
  }
  // The document is dropped as soon as its record is read: the merge holds one DOM at a time.
  DeviceSeriesIO2 installedIO(targetPath);
  if (!installedIO.OpenDocument()) {
    if (installedIO.documentRejected()) {
      why = installedIO.openError();
      return Installed::NotXml;
    }
    why = installedIO.domAvailable() ? "the installed description cannot be read: " + installedIO.openError()
                                     : "the XML DOM is not available";
    return Installed::Unreadable;
  }
  if (!installedIO.LoadDocumentWithFallback(installed)) {
    why = "the installed file is not a readable description: " + installedIO.lastError();
    return Installed::Unreadable;
  }
  return Installed::Read;
}

}  // namespace

MergeOutcome mergeInstalledDescription(const std::string& targetPath, int resourceId) {
  const std::string newPath = targetPath + ".tmp";
  const std::string backupPath = targetPath + ".bak";
  DeviceSeries installed;
  DeviceSeries fresh;

  std::string why;
  switch (readInstalled(targetPath, installed, why)) {
    case Installed::Missing:
      return replacedPlainly(targetPath, resourceId);
    case Installed::NotXml:
      return replacedPlainly(targetPath, resourceId, backupPath);
    case Installed::Unreadable:
      return kept(why);
    case Installed::Read:
      break;
  }

  // The new description as carried, in a file created fresh. A stale P.tmp that cannot be removed
  // fails here: it is never read as the new description.
  if (!extractResourceToNewFile(newPath, resourceId))
    return kept("the new description cannot be written to " + newPath + ": " + lastExtractionFailure());
  DeviceSeriesIO2 mergedIO(targetPath);
  {
    DeviceSeriesIO2 newIO(newPath);
    const bool loaded = newIO.LoadDocumentWithFallback(fresh);
    const std::string readBackFailure = newIO.lastError();
    if (!platform::removeIfPresent(newPath))
      return kept("cannot remove " + newPath + ": " + platform::lastFileError());
    if (!loaded) return kept("the new description cannot be read back: " + readBackFailure);
    // The merged file carries the new description's version, taken over in memory.
    mergedIO.takeDocumentVersion(newIO);
  }

  MergeOutcome outcome;
  outcome.report = descriptionmerge::mergeDeviceSeries(installed, fresh);

  // Saved through P.out, renamed over P once complete and flushed; P stays as P.bak.
  mergedIO.keepReplacedFileAs(backupPath);
  if (!mergedIO.SaveDocument(fresh)) return kept(mergedIO.lastSaveFailure());
  outcome.kind = MergeOutcome::Kind::Merged;
  outcome.succeeded = true;
  return outcome;
}

MergeOutcome previewMerge(const std::string& targetPath, int resourceId) {
  DeviceSeries installed;
  DeviceSeries fresh;
  MergeOutcome outcome;
  std::string why;
  switch (readInstalled(targetPath, installed, why)) {
    case Installed::Missing:
      outcome.kind = MergeOutcome::Kind::Replaced;
      outcome.succeeded = true;
      return outcome;
    case Installed::NotXml:
      outcome.kind = MergeOutcome::Kind::Replaced;
      outcome.succeeded = true;
      outcome.failure = "not well-formed XML (" + why + ")";
      return outcome;
    case Installed::Unreadable:
      return kept(why);
    case Installed::Read:
      break;
  }
  // The new description read straight from the program: nothing is written.
  const platform::EmbeddedFile resource = platform::findEmbeddedFile(resourceId);
  if (resource.status != platform::ResourceStatus::Found || resource.data == nullptr)
    return kept("the program carries no new description to merge");
  DeviceSeriesIO2 newIO(targetPath + ".tmp");
  if (!newIO.OpenDocumentFrom(std::string_view(reinterpret_cast<const char*>(resource.data), resource.size)) ||
      !newIO.LoadDocumentWithFallback(fresh))
    return kept("the new description cannot be read: " + newIO.lastError());
  outcome.report = descriptionmerge::mergeDeviceSeries(installed, fresh);
  outcome.kind = MergeOutcome::Kind::Merged;
  outcome.succeeded = true;
  return outcome;
}

MergeOutcome MergeDeviceSeriesFile(const std::string& targetPath, int resourceId) {
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
  return outcome;
}

}  // namespace app
