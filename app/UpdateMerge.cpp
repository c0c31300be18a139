#include "app/UpdateMerge.h"

#include <optional>
#include <string_view>

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
std::string unmergedNotice(const std::string& verdict, const std::string& keptAt, bool foreseen) {
  return std::string(foreseen ? "would be replaced" : "replaced") + " with the new description, not merged: " + verdict +
         "; the original " + (foreseen ? "would be" : "is") + " kept as " + keptAt;
}

// The steps of an update merge that touch the disk, in the order mergeWith takes them. The run's
// sink takes each step; the dry run's sink finds what each would meet at the names the run uses, and
// changes nothing.
class MergeSink {
 public:
  virtual ~MergeSink() = default;
  // Whether the steps are foreseen rather than taken.
  virtual bool foresees() const = 0;
  // The installed original kept under the first free unmerged name, which `keptAt` receives.
  virtual platform::WriteResult keepOriginalAside(const std::string& targetPath, std::string& keptAt) = 0;
  // The new description written at P, the file it replaces kept at `backupPath` when one is given.
  virtual ExtractionResult writeNewDescription(const std::string& targetPath, int resourceId, const std::string& backupPath) = 0;
  // The new description read into `fresh`, and its version taken over by `mergedIO`: empty, or why not.
  virtual std::string readNewDescription(const std::string& targetPath, int resourceId, DeviceSeriesIO2& mergedIO,
                                         DeviceSeries& fresh) = 0;
  // The merged record saved over P, P kept as P.bak: `unchanged` when P already held it.
  virtual platform::WriteResult saveMerged(DeviceSeriesIO2& mergedIO, DeviceSeries& merged) = 0;
};

// The new description written where no merge is made: `notice` says why when it is said at all.
MergeOutcome replaced(const ExtractionResult& written, std::string notice) {
  MergeOutcome outcome;
  outcome.kind = MergeOutcome::Kind::Replaced;
  outcome.notice = std::move(notice);
  outcome.succeeded = written.written;
  if (!outcome.succeeded) outcome.failure = "the new description could not be written: " + written.failure;
  return outcome;
}

// The one plan of an update merge, for the run and the dry run alike: the installed file's verdict
// decides, and `sink` takes or foresees each step.
MergeOutcome mergeWith(const std::string& targetPath, int resourceId, MergeSink& sink) {
  DeviceSeries installed;
  std::string why;
  switch (readInstalled(targetPath, installed, why)) {
    case Installed::Missing:
      return replaced(sink.writeNewDescription(targetPath, resourceId, {}), {});
    case Installed::NotWellFormed: {
      // The new description is written plainly over a file that is not well-formed XML: its original
      // is kept first under a name that no later run replaces, and the replaced file also stays as P.bak.
      std::string keptAt;
      if (const platform::WriteResult keptAside = sink.keepOriginalAside(targetPath, keptAt); !keptAside)
        return kept(why + ", and its original cannot be kept aside: " + keptAside.reason);
      return replaced(sink.writeNewDescription(targetPath, resourceId, platform::backupPathFor(targetPath)),
                      unmergedNotice(why, keptAt, sink.foresees()));
    }
    case Installed::Kept:
      return kept(why);
    case Installed::Read:
      break;
  }

  DeviceSeriesIO2 mergedIO(targetPath);
  DeviceSeries fresh;
  if (const std::string failure = sink.readNewDescription(targetPath, resourceId, mergedIO, fresh); !failure.empty())
    return kept(failure);
  MergeOutcome outcome;
  outcome.report = descriptionmerge::mergeDeviceSeries(installed, fresh);
  const platform::WriteResult saved = sink.saveMerged(mergedIO, fresh);
  if (!saved) return kept(saved.reason);
  outcome.kind = MergeOutcome::Kind::Merged;
  outcome.succeeded = true;
  outcome.unchanged = saved.unchanged;
  return outcome;
}

// The run: every step is taken.
class WritingSink : public MergeSink {
 public:
  bool foresees() const override { return false; }

  platform::WriteResult keepOriginalAside(const std::string& targetPath, std::string& keptAt) override {
    return platform::keepUnmerged(targetPath, keptAt);
  }

  ExtractionResult writeNewDescription(const std::string& targetPath, int resourceId, const std::string& backupPath) override {
    return extractResource(targetPath, resourceId, backupPath);
  }

  // The new description as carried, in P.tmp created fresh, read back and removed. A stale P.tmp that
  // cannot be removed fails here: it is never read as the new description.
  std::string readNewDescription(const std::string& targetPath, int resourceId, DeviceSeriesIO2& mergedIO,
                                 DeviceSeries& fresh) override {
    const std::string newPath = platform::carriedCopyPathFor(targetPath);
    if (const ExtractionResult carried = extractResourceToNewFile(newPath, resourceId); !carried.written)
      return "the new description cannot be written beside it: " + carried.failure;
    DeviceSeriesIO2 newIO(newPath);
    const bool loaded = newIO.LoadDocumentWithFallback(fresh);
    const std::string readBackFailure = newIO.lastError();
    if (const platform::FileResult removed = platform::removeIfPresent(newPath); !removed)
      return "cannot remove " + newPath + ": " + removed.reason;
    if (!loaded) return "the new description cannot be read back: " + readBackFailure;
    // The merged file carries the new description's version, taken over in memory.
    mergedIO.takeDocumentVersion(newIO);
    return {};
  }

  // Saved through P.out, renamed over P once complete and flushed; P stays as P.bak. A merge that
  // gives P's own bytes leaves P and P.bak as they are.
  platform::WriteResult saveMerged(DeviceSeriesIO2& mergedIO, DeviceSeries& merged) override {
    mergedIO.keepReplacedFileAs(platform::backupPathFor(mergedIO.path()));
    if (!mergedIO.SaveDocument(merged)) return platform::WriteResult{platform::WriteFailure::Replace, mergedIO.lastSaveFailure()};
    platform::WriteResult saved;
    saved.unchanged = mergedIO.lastSaveLeftFileUnchanged();
    return saved;
  }
};

// The dry run: the new description is read from the program, and each write is only foreseen.
class ForeseeingSink : public MergeSink {
 public:
  explicit ForeseeingSink(int resourceId) {
    const platform::EmbeddedFile resource = platform::findEmbeddedFile(resourceId);
    if (resource.status == platform::ResourceStatus::Found && resource.data != nullptr)
      carried_ = std::string_view(reinterpret_cast<const char*>(resource.data), resource.size);
  }

  bool foresees() const override { return true; }

  platform::WriteResult keepOriginalAside(const std::string& targetPath, std::string& keptAt) override {
    keptAt = platform::nextUnmergedPath(targetPath);
    if (keptAt.empty()) return platform::WriteResult{platform::WriteFailure::Backup, "every name for keeping the original is taken"};
    return {};
  }

  ExtractionResult writeNewDescription(const std::string& targetPath, int, const std::string& backupPath) override {
    if (!carried_) return {false, kNothingCarried, false};
    const platform::WriteResult write = platform::predictWriteFileReplacing(targetPath, *carried_, backupPath);
    return {static_cast<bool>(write), write.reason, write.inUse};
  }

  // The run writes the new description to P.tmp first; here it is read straight from the program.
  std::string readNewDescription(const std::string& targetPath, int, DeviceSeriesIO2& mergedIO, DeviceSeries& fresh) override {
    if (!carried_) return kNothingCarried;
    const std::string newPath = platform::carriedCopyPathFor(targetPath);
    if (const platform::FileResult obstacle = platform::canReplace(newPath); !obstacle) return newPath + ": " + obstacle.reason;
    DeviceSeriesIO2 newIO(newPath);
    if (!newIO.OpenDocumentFrom(*carried_) || !newIO.LoadDocumentWithFallback(fresh))
      return "the new description cannot be read: " + newIO.lastError();
    mergedIO.takeDocumentVersion(newIO);
    return {};
  }

  // The merged text the run would write, and what would meet it at each name the write uses.
  platform::WriteResult saveMerged(DeviceSeriesIO2& mergedIO, DeviceSeries& merged) override {
    std::string mergedText;
    if (!mergedIO.ComposeText(merged, mergedText))
      return platform::WriteResult{platform::WriteFailure::Write, "the merged description cannot be composed: " + mergedIO.lastError()};
    return platform::predictWriteFileReplacing(mergedIO.path(), mergedText, platform::backupPathFor(mergedIO.path()));
  }

 private:
  static constexpr const char* kNothingCarried = "the program carries no new description to merge";
  std::optional<std::string_view> carried_;  // the new description as the program carries it
};

}  // namespace

MergeOutcome mergeInstalledDescription(const std::string& targetPath, int resourceId) {
  WritingSink run;
  return mergeWith(targetPath, resourceId, run);
}

MergeOutcome previewMerge(const std::string& targetPath, int resourceId) {
  ForeseeingSink dryRun(resourceId);
  return mergeWith(targetPath, resourceId, dryRun);
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
