#pragma once
// The one operation that turns an embedded file into a file on disk, with its numbered progress line.
#include <string>

namespace app {
// Writes embedded file `resourceId` to `targetPath` and prints one numbered progress line. The bytes
// go to a scratch file created exclusively beside the target, which is flushed and renamed over it
// (platform::writeFileReplacing): the target is afterwards its old content or the whole file, whenever
// the process ends, and a link at the target is replaced, never written through. No folder is
// created. With a `backupPath`, the file replaced stays there. True only when the target holds the
// whole file afterwards.
bool ExtractResourceToFile(const std::string& targetPath, int resourceId, const std::string& backupPath = {});

// What one extraction did: whether the target holds the whole file, and if not, why.
struct ExtractionResult {
  bool written = false;
  std::string failure;  // in words, with the system's reason where it gave one
  bool inUse = false;   // it failed only because another program holds the target open
};
// ExtractResourceToFile with its result as a value.
ExtractionResult extractResource(const std::string& targetPath, int resourceId, const std::string& backupPath = {});

// As ExtractResourceToFile, for a scratch file that the caller reads back and removes: written to
// `targetPath` itself, created exclusively after a stale file or link there is removed.
ExtractionResult extractResourceToNewFile(const std::string& targetPath, int resourceId);

// The number of extraction calls made so far in this process (the number of the last line printed).
int extractionCallCount();

}  // namespace app
