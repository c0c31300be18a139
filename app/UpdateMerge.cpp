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

enum class Installed { Read, Missing, NotWellFormed, Kept };

// Reads the installed description P into `installed`: the one place where the load's verdict decides
// what happens to P. Missing: nothing is there at all (a failed look-up proves no absence);
// NotWellFormed: the judge finds it breaks the XML rules, so it holds nothing a merge could keep
// (`why` gives the place); Kept: anything else that stops the read (`why`), since the file may hold
// the user's media.
Installed readInstalled(const std::string& targetPath, DeviceSeries& installed, std::string& why) {
  if (!platform::fileExists(targetPath)) {
    if (!platform::pathExists(targetPath)) return Installed::Missing;
    why = "the installed description cannot be examined";
    return Installed::Kept;
  }
  // The document is dropped as soon as its record is read: the merge holds one DOM at a time.
  DeviceSeriesIO2 installedIO(targetPath);
  installedIO.OpenDocument();
  const dom::LoadResult& opened = installedIO.openResult();
  switch (opened.status) {
    case dom::LoadStatus::Loaded:
      break;
    case dom::LoadStatus::NotWellFormed:
      why = "the installed file is not well-formed XML (" + opened.reason + ")";
      return Installed::NotWellFormed;
    case dom::LoadStatus::NoDom:
      why = "the XML DOM is not available";
      return Installed::Kept;
    default:
      why = "the installed description cannot be read (" + std::string(dom::describe(opened.status)) + "): " + opened.reason;
      return Installed::Kept;
  }
  if (!installedIO.LoadDocumentWithFallback(installed)) {
    why = "the installed file is not a readable description: " + installedIO.lastError();
    return Installed::Kept;
  }
  return Installed::Read;
}

// The announcement of a replacement without a merge.
std::string unmergedNotice(const std::string& verdict, const std::string& keptAt, bool dryRun) {
  return std::string(dryRun ? "would be replaced" : "replaced") + " with the new description, not merged: " + verdict +
         "; the original " + (dryRun ? "would be" : "is") + " kept as " + keptAt;
}

// The new description written plainly over a file that is not well-formed XML: its original is
// kept first under a name that no later run replaces, and the replaced file also stays as P.bak.
MergeOutcome replaceUnmerged(const std::string& targetPath, int resourceId, const std::string& verdict) {
  std::string keptAt;
  if (const platform::WriteResult keptAside = platform::keepUnmerged(targetPath, keptAt); !keptAside)
    return kept(verdict + ", and its original cannot be kept aside: " + keptAside.reason);
  MergeOutcome outcome;
  outcome.kind = MergeOutcome::Kind::Replaced;
  outcome.notice = unmergedNotice(verdict, keptAt, false);
  const ExtractionResult written = extractResource(targetPath, resourceId, platform::backupPathFor(targetPath));
  outcome.succeeded = written.written;
  if (!outcome.succeeded) outcome.failure = "the new description could not be written: " + written.failure;
  return outcome;
}

}  // namespace

MergeOutcome mergeInstalledDescription(const std::string& targetPath, int resourceId) {
  const std::string newPath = platform::carriedCopyPathFor(targetPath);
  DeviceSeries installed;
  DeviceSeries fresh;

  std::string why;
  switch (readInstalled(targetPath, installed, why)) {
    case Installed::Missing: {
      MergeOutcome outcome;
      outcome.kind = MergeOutcome::Kind::Replaced;
      const ExtractionResult written = extractResource(targetPath, resourceId);
      outcome.succeeded = written.written;
      if (!outcome.succeeded) outcome.failure = "the new description could not be written: " + written.failure;
      return outcome;
    }
    case Installed::NotWellFormed:
      return replaceUnmerged(targetPath, resourceId, why);
    case Installed::Kept:
      return kept(why);
    case Installed::Read:
      break;
  }

  // The new description as carried, in a file created fresh. A stale P.tmp that cannot be removed
  // fails here: it is never read as the new description.
  if (const ExtractionResult carried = extractResourceToNewFile(newPath, resourceId); !carried.written)
    return kept("the new description cannot be written beside it: " + carried.failure);
  DeviceSeriesIO2 mergedIO(targetPath);
  {
    DeviceSeriesIO2 newIO(newPath);
    const bool loaded = newIO.LoadDocumentWithFallback(fresh);
    const std::string readBackFailure = newIO.lastError();
    if (const platform::FileResult removed = platform::removeIfPresent(newPath); !removed)
      return kept("cannot remove " + newPath + ": " + removed.reason);
    if (!loaded) return kept("the new description cannot be read back: " + readBackFailure);
    // The merged file carries the new description's version, taken over in memory.
    mergedIO.takeDocumentVersion(newIO);
  }

  MergeOutcome outcome;
  outcome.report = descriptionmerge::mergeDeviceSeries(installed, fresh);

  // Saved through P.out, renamed over P once complete and flushed; P stays as P.bak. A merge that
  // gives P's own bytes leaves P and P.bak as they are.
  mergedIO.keepReplacedFileAs(platform::backupPathFor(targetPath));
  if (!mergedIO.SaveDocument(fresh)) return kept(mergedIO.lastSaveFailure());
  outcome.kind = MergeOutcome::Kind::Merged;
  outcome.succeeded = true;
  outcome.unchanged = mergedIO.lastSaveLeftFileUnchanged();
  return outcome;
}

MergeOutcome previewMerge(const std::string& targetPath, int resourceId) {
  DeviceSeries installed;
  DeviceSeries fresh;
  MergeOutcome outcome;
  std::string why;
  const platform::EmbeddedFile resource = platform::findEmbeddedFile(resourceId);
  if (resource.status != platform::ResourceStatus::Found || resource.data == nullptr)
    return kept("the program carries no new description to merge");
  const std::string_view carried(reinterpret_cast<const char*>(resource.data), resource.size);
  switch (readInstalled(targetPath, installed, why)) {
    case Installed::Missing:
      outcome.kind = MergeOutcome::Kind::Replaced;
      outcome.succeeded = true;
      return outcome;
    case Installed::NotWellFormed: {
      const std::string keptAt = platform::nextUnmergedPath(targetPath);
      if (keptAt.empty()) return kept(why + ", and every name for keeping its original is taken");
      const platform::WriteResult write = platform::predictWriteFileReplacing(targetPath, carried, platform::backupPathFor(targetPath));
      if (!write) return kept(write.reason);
      outcome.kind = MergeOutcome::Kind::Replaced;
      outcome.succeeded = true;
      outcome.notice = unmergedNotice(why, keptAt, true);
      return outcome;
    }
    case Installed::Kept:
      return kept(why);
    case Installed::Read:
      break;
  }
  // The run writes the new description to P.tmp first.
  if (const platform::FileResult obstacle = platform::canReplace(platform::carriedCopyPathFor(targetPath)); !obstacle)
    return kept(platform::carriedCopyPathFor(targetPath) + ": " + obstacle.reason);
  // The new description read straight from the program: nothing is written.
  DeviceSeriesIO2 newIO(platform::carriedCopyPathFor(targetPath));
  if (!newIO.OpenDocumentFrom(carried) || !newIO.LoadDocumentWithFallback(fresh))
    return kept("the new description cannot be read: " + newIO.lastError());
  outcome.report = descriptionmerge::mergeDeviceSeries(installed, fresh);
  // The merged text the run would write, and what would meet it at each name the write uses.
  DeviceSeriesIO2 mergedIO(targetPath);
  mergedIO.takeDocumentVersion(newIO);
  std::string mergedText;
  if (!mergedIO.ComposeText(fresh, mergedText)) return kept("the merged description cannot be composed: " + mergedIO.lastError());
  const platform::WriteResult write = platform::predictWriteFileReplacing(targetPath, mergedText, platform::backupPathFor(targetPath));
  if (!write) return kept(write.reason);
  outcome.kind = MergeOutcome::Kind::Merged;
  outcome.succeeded = true;
  outcome.unchanged = write.unchanged;
  return outcome;
}

MergeOutcome MergeDeviceSeriesFile(const std::string& targetPath, int resourceId) {
  const MergeOutcome outcome = mergeInstalledDescription(targetPath, resourceId);
  if (verboseOutput()) {
    switch (outcome.kind) {
      case MergeOutcome::Kind::Merged:
        verboseLine((outcome.unchanged ? "merged " + targetPath + ", which already held the merge: left as it was"
                                       : "merged " + targetPath));
        for (const std::string& line : outcome.report.describe()) verboseLine("  " + line);
        break;
      case MergeOutcome::Kind::Replaced:
        if (outcome.notice.empty()) verboseLine("no installed description at " + targetPath + ": the new one was written");
        break;
      case MergeOutcome::Kind::Kept:
        verboseLine("kept " + targetPath + " unchanged: " + outcome.failure);
        break;
    }
  }
  return outcome;
}

}  // namespace app
