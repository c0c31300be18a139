#pragma once
// The update merge of an installed device-series description with the new one from the program.
#include <string>

#include "model/DeviceSeriesMerge.h"

namespace app {
struct MergeOutcome {
  enum class Kind {
    Merged,         // the installed file was replaced by the merged description
    Replaced,       // no installed description to keep (missing, or not XML): the new one was written
    Kept,           // the installed file stays as it was and the new description is not installed
  };
  Kind kind = Kind::Kept;
  bool succeeded = false;                // Merged, or Replaced with the write succeeding
  std::string failure;                   // why, when it did not succeed
  descriptionmerge::MergeReport report;  // what the merge did (Merged only)
};

// Installs description `resourceId` at `targetPath` (P), keeping the user's media of the installed
// one. Works through P + ".tmp" (the new description as carried) and P + ".out" (the merged result),
// both created exclusively; P is replaced only by an atomic rename of the complete, flushed merged
// file, and stays as it was on every failure, except that a file the XML parser itself finds not
// well-formed is replaced by the new description. The file replaced stays as P + ".bak".
MergeOutcome mergeInstalledDescription(const std::string& targetPath, int resourceId);

// What mergeInstalledDescription would do, found without writing anything: the installed description
// and the new one (read from the program, not from a file) merged in memory by the same merge.
// Replaced: nothing installed, or not well-formed XML (`failure` then says so); Merged: `report` says
// what the merge would keep, append and trim; Kept: `failure` says why.
MergeOutcome previewMerge(const std::string& targetPath, int resourceId);

// The run's entry: mergeInstalledDescription plus the verbose lines.
MergeOutcome MergeDeviceSeriesFile(const std::string& targetPath, int resourceId);

}  // namespace app
