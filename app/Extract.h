#pragma once
// The one operation that turns an embedded file into a file on disk, with its numbered progress line.
#include <string>

// Writes embedded file `resourceId` to `targetPath`, replacing and truncating an existing file (no
// folder is created), and prints one numbered progress line. True only when the target holds the
// whole file afterwards. A target that cannot be opened is left as it was; a failed write removes
// the half-written target.
bool ExtractResourceToFile(const std::string& targetPath, int resourceId);

// As ExtractResourceToFile, for a scratch file that must be created fresh: whatever is at the path
// (a stale file, a planted symbolic link) is removed first and never written through.
bool ExtractResourceToNewFile(const std::string& targetPath, int resourceId);

// As ExtractResourceToFile, for a file whose old content must never be seen half replaced (a
// device-series description): the resource goes to targetPath + ".tmp", created fresh, is flushed
// and then renamed over targetPath, so the target is afterwards its old content or the whole
// resource, whenever the process ends. The line names targetPath.
bool ExtractResourceToFileReplacing(const std::string& targetPath, int resourceId);

// The number of extraction calls made so far in this process (the number of the last line printed).
int ExtractionCallCount();
