#pragma once
// File operations on Windows-style paths ("C:\Program Files\...\x.dsr"), the only way the layers
// above touch the disk. POSIX maps the path through the Wine prefix's drive links (see setDriveRoot);
// Windows converts it to UTF-16 and calls the wide API. Every operation here is one "file-system
// operation" for the fault-injection hook.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// What one file operation met: success, or why it failed, in the system's words (strerror /
// FormatMessage, e.g. "Permission denied") or in this layer's own ("a symbolic link is in the way").
struct FileResult {
  bool ok = true;
  std::string reason;  // empty on success, and where the system gave no reason
  // Another program holds the file open (a sharing or lock violation; POSIX: another open handle's
  // lock). Such a failure goes away once that program closes the file: the run can be retried.
  bool inUse = false;
  explicit operator bool() const { return ok; }
  static FileResult failure(std::string reason, bool inUse = false) { return FileResult{false, std::move(reason), inUse}; }
};

// What a file operation produced, or, when it failed, why (`value` then holds nothing of use).
template <typename T>
struct FileValue : FileResult {
  T value{};
  FileValue(FileResult failed) : FileResult(std::move(failed)) {}  // NOLINT: a failure converts
  FileValue(T produced) : value(std::move(produced)) {}           // NOLINT: so does a value
};

// An open file handle, closed when destroyed.
class File {
 public:
  virtual ~File() = default;
  // ReadFile: up to `size` bytes; the count read (0 at the end of the file).
  virtual FileValue<std::size_t> read(void* buffer, std::size_t size) = 0;
  // WriteFile in one call: the count written.
  virtual FileValue<std::size_t> write(const void* data, std::size_t size) = 0;
  // FlushFileBuffers / fsync.
  virtual FileResult flush() = 0;
  // GetFileSizeEx / fstat: the size in bytes.
  virtual FileValue<std::uint64_t> size() = 0;
  // Gives this file the owner, group, mode and extended attributes (POSIX: ACLs among them) of the
  // regular file at `path`, or its attributes and access control list (Windows), never widening
  // access. Nothing is taken when there is no regular file at `path` (nothing, a link, a folder).
  virtual FileResult takeAccessOf(const std::string& path) = 0;
};

// A file opened by one of the three operations below: `value` is the handle on success.
using OpenedFile = FileValue<std::unique_ptr<File>>;

// CreateFile(GENERIC_WRITE, no sharing, CREATE_ALWAYS): replaces and truncates an existing file.
// Fails on a read-only file (POSIX: a file without any write permission bit) and in a missing folder.
OpenedFile createFileForWriting(const std::string& path);
// CreateFile(GENERIC_WRITE, no sharing, CREATE_NEW): fails when anything, a link included, is there.
OpenedFile createNewFile(const std::string& path);
// CreateFile(GENERIC_READ, no sharing, OPEN_EXISTING), never through a link: a link, folder, FIFO or
// device at the path is refused with its reason ("a symbolic link is in the way", "not a regular
// file"), without blocking.
OpenedFile openFileForReading(const std::string& path);

// GetFileAttributes succeeds: something (file, folder) exists at the path; else the system's reason.
FileResult pathExists(const std::string& path);
// A regular file exists at the path (CFileFind's existence test).
bool fileExists(const std::string& path);
// CreateDirectory with default security; one level only.
FileResult createDirectory(const std::string& path);
// DeleteFile: removes a file or a symbolic link (never its target).
FileResult deleteFile(const std::string& path);
// MoveFileEx(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): an atomic rename over `to`.
FileResult moveFileReplacing(const std::string& from, const std::string& to);
// Whether a replacing write could replace what is at `path` (nothing, a file or a link): a failure,
// with its reason, for a folder, a read-only file, a file another program holds open (`inUse`), or
// (POSIX) a folder that takes no new file. Changes nothing.
FileResult canReplace(const std::string& path);
// Makes a completed rename in the folder of `path` durable (fsync of the folder; nothing on Windows).
FileResult flushFolderOf(const std::string& path);

// CreateHardLink: a second name `to` for the regular file `from`; fails when anything is at `to`,
// when `from` is not a regular file (a link is never linked) or the file system has no hard links.
FileResult linkFile(const std::string& from, const std::string& to);

// The whole content of a file; opened as openFileForReading opens.
FileValue<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

// The programs that hold the file at `path` open, each as "name (process id N)", as far as the
// system names them (Windows: the Restart Manager); empty when it names none.
std::vector<std::string> programsHolding(const std::string& path);

// ---- Writing a file whole -------------------------------------------------------------------------

// The step at which a whole-file write stopped.
enum class WriteFailure {
  None,
  Create,       // a stale scratch file could not be removed, or the scratch file could not be created
  Write,        // writing or flushing the scratch file failed
  Backup,       // the backup of the replaced file could not be made
  Replace,      // the rename over the target failed (read-only, a folder, held open)
};

struct WriteResult {
  WriteFailure failure = WriteFailure::None;
  std::string reason;  // what failed, in words, with the system's reason where it gave one
  // The target holds the new content but the folder could not be flushed: after a crash it may hold
  // the old content again (never anything else). `reason` says why.
  bool durable = true;
  // The write failed only because another program holds the target (or its backup) open.
  bool inUse = false;
  // The target already held exactly these bytes: nothing was written, renamed or backed up.
  bool unchanged = false;
  explicit operator bool() const { return failure == WriteFailure::None; }
};

// The scratch file beside `target` that a replacing write of it goes through: target + ".out".
// Runs on one host are serialised (acquireHostRunLock), so a scratch file found there is a stale one.
std::string scratchPathFor(const std::string& target);
// The replaced file one generation back, beside a description that an update replaced: target + ".bak".
std::string backupPathFor(const std::string& target);
// The copy of the new description that the update merge reads back: target + ".tmp".
std::string carriedCopyPathFor(const std::string& target);
// Where an original replaced without a merge is kept: target + ".unmerged", then ".unmerged.2", ...
// (`generation` from 1). No run replaces or removes a file of these names.
std::string unmergedPathFor(const std::string& target, int generation);

// Whether the regular file at `path` (not a link) holds exactly `bytes`. False when it does not, or
// when that cannot be told.
bool holdsExactly(const std::string& path, std::string_view bytes);

// Keeps the file at `target` under the first unmergedPathFor name that is free, byte for byte (a hard
// link, else a flushed copy); `keptAt` receives that name. Nothing else is changed.
WriteResult keepUnmerged(const std::string& target, std::string& keptAt);
// The name keepUnmerged would choose now.
std::string nextUnmergedPath(const std::string& target);

// Removes the file or link at `path` if there is one (never a link's target): success when nothing
// is there afterwards.
FileResult removeIfPresent(const std::string& path);

// Every file the installer writes goes through here: `bytes` go to scratchPathFor(target), created
// exclusively (a stale file there is removed first; a link is never followed), which is flushed and
// renamed over `target`, and the folder flushed. A link at `target` is replaced, never followed; on
// any failure `target` keeps its old content and the scratch file is removed. With a `backupPath`,
// the file replaced stays there, byte for byte (a hard link made before the rename, else a copy
// written the same way), so that at every moment the old content is at `target` or `backupPath`.
// A target that already holds exactly `bytes` is left as it is, and so is its backup (a retry never
// rotates the backup of an earlier update away).
WriteResult writeFileReplacing(const std::string& target, std::string_view bytes, const std::string& backupPath = {});
// What writeFileReplacing would do, found without changing anything: the failure it would meet at a
// name it uses (target, scratch file, backup and its scratch file), or success (`unchanged` when the
// target already holds the bytes). Folders that are missing are the caller's to foresee.
WriteResult predictWriteFileReplacing(const std::string& target, std::string_view bytes, const std::string& backupPath = {});

// A scratch file that the caller reads back and removes: `bytes` go to `path`, created exclusively
// after a stale file there is removed (not flushed: it never has to outlive the process).
WriteResult writeNewFile(const std::string& path, std::string_view bytes);

// The host's install folder (a Windows path). From then on every folder that a file is created,
// replaced, renamed, linked or removed in, and every folder created, must resolve inside it with
// links followed (the install folder itself may be reached through links, as drive links are);
// otherwise the operation fails with "the folder ... leads outside the host's folder" and writes
// nothing. canReplace reports the same. The run lock is taken on this folder. When the folder cannot
// be resolved (not there, not mapped), false with `why`, and every such operation fails with `why`.
// An empty path checks nothing again (as before any call: tools, unit tests).
bool setHostFolder(const std::string& installPath, std::string& why);

// POSIX only: the Wine prefix whose dosdevices/<drive>: links map drive paths. Until it is set,
// paths are taken as native paths unchanged (tools and unit tests).
void setDriveRoot(const std::string& prefixFolder);
// The native path that `path` maps to, or nothing when it cannot be mapped.
std::optional<std::string> nativePath(const std::string& path);

}  // namespace platform
