// Whole-file writes through an exclusive scratch file and a rename: the one way the installer puts
// a file on disk. Written once over the platform's own file operations.
#include <memory>

#include "platform/FileSystem.h"

namespace platform {
namespace {

WriteResult failed(WriteFailure failure, const std::string& what) {
  const std::string system = lastFileError();
  return WriteResult{failure, system.empty() ? what : what + ": " + system};
}

// Creates `path` exclusively and writes `bytes`, flushed when `durable`; the file is closed on return.
// With `accessOf`, the file first takes the owner, mode and attributes of the file there (the one it
// will replace or back up), so that its content is never more widely readable than that file was.
// A file left half written is removed.
WriteResult writeScratch(const std::string& path, std::string_view bytes, bool durable, const std::string& accessOf = {}) {
  if (!removeIfPresent(path)) return failed(WriteFailure::Create, "a stale " + path + " cannot be removed");
  std::unique_ptr<File> file = createNewFile(path);
  if (!file) return failed(WriteFailure::Create, "cannot create " + path);
  if (!accessOf.empty() && !file->takeAccessOf(accessOf)) {
    WriteResult result = failed(WriteFailure::Create, "cannot give " + path + " the owner and access of " + accessOf);
    file.reset();
    removeIfPresent(path);
    return result;
  }
  const std::optional<std::size_t> written = file->write(bytes.data(), bytes.size());
  if (!written || *written != bytes.size() || (durable && !file->flush())) {
    WriteResult result = failed(WriteFailure::Write, "cannot write " + path);
    file.reset();
    removeIfPresent(path);
    return result;
  }
  return {};
}

// Leaves the file now at `target` at `backupPath` as well, replacing an older backup in one rename.
WriteResult backUp(const std::string& target, const std::string& backupPath) {
  const std::string scratch = scratchPathFor(backupPath);
  if (!removeIfPresent(scratch)) return failed(WriteFailure::Backup, "a stale " + scratch + " cannot be removed");
  if (!linkFile(target, scratch)) {
    // No hard links here: a copy of what it holds, with its owner and access. A target that is no
    // regular file is not read (never through a link), and so not backed up.
    std::optional<std::vector<std::uint8_t>> old = readWholeFile(target);
    if (!old) return failed(WriteFailure::Backup, "cannot read " + target + " for its backup");
    WriteResult copy =
        writeScratch(scratch, std::string_view(reinterpret_cast<const char*>(old->data()), old->size()), true, target);
    if (!copy) return WriteResult{WriteFailure::Backup, copy.reason};
  }
  if (!moveFileReplacing(scratch, backupPath)) {
    WriteResult result = failed(WriteFailure::Backup, "cannot replace " + backupPath);
    removeIfPresent(scratch);
    return result;
  }
  // When the backup already was the target's own file (a run ended between making it and replacing
  // the target), the rename of one name of a file over another name of it does nothing (POSIX) and
  // leaves the scratch name: it goes here.
  if (!removeIfPresent(scratch)) return failed(WriteFailure::Backup, "cannot remove " + scratch);
  return {};
}

}  // namespace

std::string scratchPathFor(const std::string& target) { return target + ".out"; }

bool removeIfPresent(const std::string& path) { return !pathExists(path) || deleteFile(path); }

WriteResult writeFileReplacing(const std::string& target, std::string_view bytes, const std::string& backupPath) {
  const std::string scratch = scratchPathFor(target);
  if (WriteResult written = writeScratch(scratch, bytes, true, target); !written) return written;
  if (!backupPath.empty()) {
    // A target that cannot be replaced is not backed up: the older backup stays the one generation back.
    if (std::string why; !canReplace(target, why)) {
      removeIfPresent(scratch);
      return WriteResult{WriteFailure::Replace, why};
    }
    if (WriteResult backup = backUp(target, backupPath); !backup) {
      removeIfPresent(scratch);
      return backup;
    }
  }
  if (!moveFileReplacing(scratch, target)) {
    // The target's own state is the reason ("the file is read-only"); the caller names the target.
    const std::string system = lastFileError();
    WriteResult result{WriteFailure::Replace, system.empty() ? "the file cannot be replaced" : system};
    removeIfPresent(scratch);
    return result;
  }
  if (!flushFolderOf(target)) {
    WriteResult result = failed(WriteFailure::None, "the replacement of " + target + " may not be on disk yet");
    result.durable = false;
    return result;
  }
  return {};
}

// Read back at once and removed: no flush, which would only cost time.
WriteResult writeNewFile(const std::string& path, std::string_view bytes) { return writeScratch(path, bytes, false); }

}  // namespace platform
