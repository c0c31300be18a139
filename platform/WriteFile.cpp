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

// The result of a step that failed with `cause`: its reason and whether the file was in use.
// `what` names files the user knows (the target, its backup), never the scratch file beside them.
// With no `what`, the reason is the cause's alone.
WriteResult failed(WriteFailure failure, const std::string& what, const FileResult& cause) {
  WriteResult result{failure, cause.reason.empty() ? what : what.empty() ? cause.reason : what + ": " + cause.reason};
  result.inUse = cause.inUse;
  return result;
}

// Creates `path` exclusively and writes `bytes`, flushed when `durable`; the file is closed on return.
// With `accessOf`, the file first takes the owner, mode and attributes of the file there (the one it
// will replace or back up), so that its content is never more widely readable than that file was.
// A file left half written is removed.
WriteResult writeScratch(const std::string& path, std::string_view bytes, bool durable, const std::string& accessOf = {}) {
  if (FileResult removed = removeIfPresent(path); !removed)
    return failed(WriteFailure::Create, "a file left by an interrupted run cannot be removed", removed);
  OpenedFile created = createNewFile(path);
  if (!created) return failed(WriteFailure::Create, "the new file cannot be created", created);
  std::unique_ptr<File> file = std::move(created.value);
  // Whatever stops the write removes the half-written file, after closing it.
  auto abandon = [&](WriteFailure failure, const std::string& what, const FileResult& cause) {
    WriteResult result = failed(failure, what, cause);
    file.reset();
    removeIfPresent(path);
    return result;
  };
  if (!accessOf.empty()) {
    if (FileResult taken = file->takeAccessOf(accessOf); !taken)
      return abandon(WriteFailure::Create, "the new file cannot be given the owner and access of " + accessOf, taken);
  }
  const FileValue<std::size_t> written = file->write(bytes.data(), bytes.size());
  if (!written) return abandon(WriteFailure::Write, "the new file cannot be written", written);
  // A short count without an error gives no reason of the system's.
  if (written.value != bytes.size()) return abandon(WriteFailure::Write, "the new file cannot be written", {});
  if (durable) {
    if (FileResult flushed = file->flush(); !flushed) return abandon(WriteFailure::Write, "the new file cannot be written", flushed);
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
  if (FileResult removed = removeIfPresent(scratch); !removed)
    return failed(WriteFailure::Backup, "a file left beside " + backupPath + " by an interrupted run cannot be removed", removed);
  if (method == BackupMethod::Copy || !linkFile(target, scratch)) {
    // No hard links here: a copy of what it holds, with its owner and access. A target that is no
    // regular file is not read (never through a link), and so not backed up.
    const FileValue<std::vector<std::uint8_t>> old = readWholeFile(target);
    if (!old) return failed(WriteFailure::Backup, "cannot read " + target + " for its backup", old);
    WriteResult copy = writeScratch(
        scratch, std::string_view(reinterpret_cast<const char*>(old.value.data()), old.value.size()), true, target);
    if (!copy) {
      copy.failure = WriteFailure::Backup;
      copy.reason = "the backup " + backupPath + ": " + copy.reason;
      return copy;
    }
  }
  if (FileResult moved = moveFileReplacing(scratch, backupPath); !moved) {
    removeIfPresent(scratch);
    return failed(WriteFailure::Backup, "cannot replace " + backupPath, moved);
  }
  // When the backup already was the target's own file (a run ended between making it and replacing
  // the target), the rename of one name of a file over another name of it does nothing (POSIX) and
  // leaves the scratch name: it goes here.
  if (FileResult removed = removeIfPresent(scratch); !removed)
    return failed(WriteFailure::Backup, "the backup " + backupPath + " is made, but a second name of it cannot be removed", removed);
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
  const OpenedFile file = openFileForReading(path);
  if (!file) return false;
  // Read in pieces, one byte past the expected end to tell a longer file.
  std::vector<char> piece(std::min<std::size_t>(bytes.size() + 1, std::size_t{1} << 20));
  std::size_t compared = 0;
  while (true) {
    const FileValue<std::size_t> read = file.value->read(piece.data(), piece.size());
    if (!read) return false;
    if (read.value == 0) return compared == bytes.size();
    if (read.value > bytes.size() - compared || std::memcmp(piece.data(), bytes.data() + compared, read.value) != 0)
      return false;
    compared += read.value;
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
  // No hard links here: a copy of what it holds, with its owner and access, made as a backup is.
  if (!linkFile(target, keptAt)) {
    if (WriteResult copy = backUp(target, keptAt, BackupMethod::Copy); !copy) return copy;
  }
  if (FileResult flushed = flushFolderOf(keptAt); !flushed)
    return failed(WriteFailure::Backup, "cannot make " + keptAt + " durable", flushed);
  return {};
}

FileResult removeIfPresent(const std::string& path) { return pathExists(path) ? deleteFile(path) : FileResult{}; }

// The target already holds the bytes: only scratch files a run that ended early left beside it go,
// so that the tree is that of a run that completed. The target and its backup stay as they are.
WriteResult leaveCurrentFile(const std::string& target, const std::string& backupPath) {
  for (const std::string& scratch : {scratchPathFor(target), backupPath.empty() ? std::string() : scratchPathFor(backupPath)}) {
    if (scratch.empty()) continue;
    if (FileResult removed = removeIfPresent(scratch); !removed)
      return failed(WriteFailure::Create, "a file left by an interrupted run cannot be removed", removed);
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
    if (FileResult replaceable = canReplace(target); !replaceable) {
      removeIfPresent(scratch);
      return failed(WriteFailure::Replace, {}, replaceable);
    }
    if (WriteResult backup = backUp(target, backupPath); !backup) {
      removeIfPresent(scratch);
      return backup;
    }
  }
  if (FileResult moved = moveFileReplacing(scratch, target); !moved) {
    // The target's own state is the reason ("the file is read-only"); the caller names the target.
    removeIfPresent(scratch);
    if (moved.reason.empty()) moved.reason = "the file cannot be replaced";
    return failed(WriteFailure::Replace, {}, moved);
  }
  if (FileResult flushed = flushFolderOf(target); !flushed) {
    WriteResult result = failed(WriteFailure::None, "the replacement of " + target + " may not be on disk yet", flushed);
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
    if (FileResult replaceable = canReplace(name); !replaceable) {
      // Named as the user knows it: the target, its backup, or what an interrupted run left.
      const bool scratch = name != target && name != backupPath;
      const std::string& why = replaceable.reason;
      WriteResult result{failure, name == target ? why
                                  : scratch      ? "a file left by an interrupted run cannot be removed: " + why
                                                 : name + ": " + why};
      result.inUse = replaceable.inUse;
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
