#pragma once
// The update merge of an installed device-series description with the new one from the program.
#include <string>

#include "model/DeviceSeriesMerge.h"

namespace app {
struct MergeOutcome {
  enum class Kind {
    Merged,         // the installed file was replaced by the merged description
    Replaced,       // nothing installed, or not well-formed XML (kept aside unmerged): the new one was written
    Kept,           // the installed file stays as it was and the new description is not installed
  };
  Kind kind = Kind::Kept;
  bool succeeded = false;                // Merged, or Replaced with the write succeeding
  std::string failure;                   // why, when it did not succeed
  // What the user must be told even when it succeeded: a replacement without a merge, with the
  // verdict on the installed file and where its original now is.
  std::string notice;
  bool unchanged = false;                // the installed file already was what the run would write
  descriptionmerge::MergeReport report;  // what the merge did (Merged only)
};

// Installs description `resourceId` at `targetPath` (P), keeping the user's media of the installed
// one. Works through P + ".tmp" (the new description as carried) and P + ".out" (the merged result),
// both created exclusively; P is replaced only by an atomic rename of the complete, flushed merged
// file, and stays as it was on every failure, except that a file the well-formedness judge finds not
// well-formed is replaced by the new description after its original is kept as P + ".unmerged" (or
// the next free number), a name no run replaces. The file replaced stays as P + ".bak". A merge that
// gives P's own bytes changes nothing.
MergeOutcome mergeInstalledDescription(const std::string& targetPath, int resourceId);

// What mergeInstalledDescription would do, found by the same plan without writing anything: the
// new description is read from the program instead of P.tmp, and each write is foreseen at the names
// the run would use (platform::predictWriteFileReplacing). Replaced: nothing installed, or not
// well-formed XML (`notice` then says so; `failure` when the new description could not be written);
// Merged: `report` says what the merge would keep, append and trim; Kept: `failure` says why, also
// when a name the run would write stands in the way.
MergeOutcome previewMerge(const std::string& targetPath, int resourceId);

// The run's entry: mergeInstalledDescription plus the verbose lines.
MergeOutcome MergeDeviceSeriesFile(const std::string& targetPath, int resourceId);

}  // namespace app
