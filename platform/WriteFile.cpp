// Whole-file writes through an exclusive scratch file and a rename: the one way the installer puts
// a file on disk. Written once over the platform's own file operations.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace platform {
namespace {

// The result of a step that just failed, with the system's reason and whether the file was in use.
// `what` names files the user knows (the target, its backup), never the scratch file beside them.
WriteResult failed(WriteFailure failure, const std::string& what) {
  const std::string system = lastFileError();
  WriteResult result{failure, system.empty() ? what : what + ": " + system};
  result.inUse = lastFileErrorMeansInUse();
  return result;
}

// Creates `path` exclusively and writes `bytes`, flushed when `durable`; the file is closed on return.
// With `accessOf`, the file first takes the owner, mode and attributes of the file there (the one it
// will replace or back up), so that its content is never more widely readable than that file was.
// A file left half written is removed.
WriteResult writeScratch(const std::string& path, std::string_view bytes, bool durable, const std::string& accessOf = {}) {
  if (!removeIfPresent(path)) return failed(WriteFailure::Create, "a file left by an interrupted run cannot be removed");
  std::unique_ptr<File> file = createNewFile(path);
  if (!file) return failed(WriteFailure::Create, "the new file cannot be created");
  if (!accessOf.empty() && !file->takeAccessOf(accessOf)) {
    WriteResult result = failed(WriteFailure::Create, "the new file cannot be given the owner and access of " + accessOf);
    file.reset();
    removeIfPresent(path);
    return result;
  }
  const std::optional<std::size_t> written = file->write(bytes.data(), bytes.size());
  if (!written || *written != bytes.size() || (durable && !file->flush())) {
    WriteResult result = failed(WriteFailure::Write, "the new file cannot be written");
    file.reset();
    removeIfPresent(path);
    return result;
  }
  return {};
}

enum class BackupMethod {
  HardLinkElseCopy,  // a second name of the file where the file system has hard links
  Copy,              // a copy only: a hard link was already tried
};

// Leaves the file now at `target` at `backupPath` as well, replacing an older backup in one rename.
WriteResult backUp(const std::string& target, const std::string& backupPath, BackupMethod method = BackupMethod::HardLinkElseCopy) {
  const std::string scratch = scratchPathFor(backupPath);
  if (!removeIfPresent(scratch))
    return failed(WriteFailure::Backup, "a file left beside " + backupPath + " by an interrupted run cannot be removed");
  if (method == BackupMethod::Copy || !linkFile(target, scratch)) {
    // No hard links here: a copy of what it holds, with its owner and access. A target that is no
    // regular file is not read (never through a link), and so not backed up.
    std::optional<std::vector<std::uint8_t>> old = readWholeFile(target);
    if (!old) return failed(WriteFailure::Backup, "cannot read " + target + " for its backup");
    WriteResult copy =
        writeScratch(scratch, std::string_view(reinterpret_cast<const char*>(old->data()), old->size()), true, target);
    if (!copy) {
      copy.failure = WriteFailure::Backup;
      copy.reason = "the backup " + backupPath + ": " + copy.reason;
      return copy;
    }
  }
  if (!moveFileReplacing(scratch, backupPath)) {
    WriteResult result = failed(WriteFailure::Backup, "cannot replace " + backupPath);
    removeIfPresent(scratch);
    return result;
  }
  // When the backup already was the target's own file (a run ended between making it and replacing
  // the target), the rename of one name of a file over another name of it does nothing (POSIX) and
  // leaves the scratch name: it goes here.
  if (!removeIfPresent(scratch)) return failed(WriteFailure::Backup, "the backup " + backupPath + " is made, but a second name of it cannot be removed");
  return {};
}

}  // namespace

std::string scratchPathFor(const std::string& target) { return target + ".out"; }
std::string backupPathFor(const std::string& target) { return target + ".bak"; }
std::string carriedCopyPathFor(const std::string& target) { return target + ".tmp"; }
std::string unmergedPathFor(const std::string& target, int generation) {
  std::string path = target;
  path.append(".unmerged");
  if (generation > 1) path.append(".").append(std::to_string(generation));
  return path;
}

bool holdsExactly(const std::string& path, std::string_view bytes) {
  if (!fileExists(path)) return false;
  std::unique_ptr<File> file = openFileForReading(path);
  if (!file) return false;
  // Read in pieces, one byte past the expected end to tell a longer file.
  std::vector<char> piece(std::min<std::size_t>(bytes.size() + 1, std::size_t{1} << 20));
  std::size_t compared = 0;
  while (true) {
    const std::optional<std::size_t> read = file->read(piece.data(), piece.size());
    if (!read) return false;
    if (*read == 0) return compared == bytes.size();
    if (*read > bytes.size() - compared || std::memcmp(piece.data(), bytes.data() + compared, *read) != 0) return false;
    compared += *read;
  }
}

namespace {
// More originals of one description than any series of failed updates leaves: the search stops there.
constexpr int kMostUnmergedGenerations = 999;
}  // namespace

std::string nextUnmergedPath(const std::string& target) {
  for (int generation = 1; generation <= kMostUnmergedGenerations; ++generation) {
    const std::string candidate = unmergedPathFor(target, generation);
    if (!pathExists(candidate)) return candidate;
  }
  return {};
}

WriteResult keepUnmerged(const std::string& target, std::string& keptAt) {
  keptAt = nextUnmergedPath(target);
  if (keptAt.empty()) return WriteResult{WriteFailure::Backup, "every name for keeping the original is taken"};
  if (linkFile(target, keptAt)) {
    if (!flushFolderOf(keptAt)) return failed(WriteFailure::Backup, "cannot make " + keptAt + " durable");
    return {};
  }
  // No hard links here: a copy of what it holds, with its owner and access, made as a backup is.
  if (WriteResult copy = backUp(target, keptAt, BackupMethod::Copy); !copy) return copy;
  if (!flushFolderOf(keptAt)) return failed(WriteFailure::Backup, "cannot make " + keptAt + " durable");
  return {};
}

bool removeIfPresent(const std::string& path) { return !pathExists(path) || deleteFile(path); }

// The target already holds the bytes: only scratch files a run that ended early left beside it go,
// so that the tree is that of a run that completed. The target and its backup stay as they are.
WriteResult leaveCurrentFile(const std::string& target, const std::string& backupPath) {
  for (const std::string& scratch : {scratchPathFor(target), backupPath.empty() ? std::string() : scratchPathFor(backupPath)}) {
    if (!scratch.empty() && !removeIfPresent(scratch))
      return failed(WriteFailure::Create, "a file left by an interrupted run cannot be removed");
  }
  WriteResult current;
  current.unchanged = true;
  return current;
}

WriteResult writeFileReplacing(const std::string& target, std::string_view bytes, const std::string& backupPath) {
  if (holdsExactly(target, bytes)) return leaveCurrentFile(target, backupPath);
  const std::string scratch = scratchPathFor(target);
  if (WriteResult written = writeScratch(scratch, bytes, true, target); !written) return written;
  if (!backupPath.empty()) {
    // A target that cannot be replaced is not backed up: the older backup stays the one generation back.
    if (std::string why; !canReplace(target, why)) {
      WriteResult result{WriteFailure::Replace, why};
      result.inUse = lastFileErrorMeansInUse();
      removeIfPresent(scratch);
      return result;
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
    result.inUse = lastFileErrorMeansInUse();
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

WriteResult predictWriteFileReplacing(const std::string& target, std::string_view bytes, const std::string& backupPath) {
  // Each name the write uses must take a new file or give way to one: the scratch files are removed
  // first, the target and the backup replaced by a rename. A current target only has its scratch
  // files removed.
  const bool current = holdsExactly(target, bytes);
  std::vector<std::pair<std::string, WriteFailure>> names = {{scratchPathFor(target), WriteFailure::Create}};
  if (!current) names.emplace_back(target, WriteFailure::Replace);
  if (!backupPath.empty()) {
    names.emplace_back(scratchPathFor(backupPath), current ? WriteFailure::Create : WriteFailure::Backup);
    if (!current) names.emplace_back(backupPath, WriteFailure::Backup);
  }
  for (const auto& [name, failure] : names) {
    // Beside a current target, a scratch name only has to give way where something is there.
    if (current && !pathExists(name)) continue;
    if (std::string why; !canReplace(name, why)) {
      // Named as the user knows it: the target, its backup, or what an interrupted run left.
      const bool scratch = name != target && name != backupPath;
      WriteResult result{failure, name == target ? why
                                  : scratch      ? "a file left by an interrupted run cannot be removed: " + why
                                                 : name + ": " + why};
      result.inUse = lastFileErrorMeansInUse();
      return result;
    }
  }
  WriteResult result;
  result.unchanged = current;
  return result;
}

// Read back at once and removed: no flush, which would only cost time.
WriteResult writeNewFile(const std::string& path, std::string_view bytes) { return writeScratch(path, bytes, false); }

}  // namespace platform
