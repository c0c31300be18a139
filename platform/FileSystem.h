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
#include <vector>

namespace platform {

// An open file handle, closed when destroyed.
class File {
 public:
  virtual ~File() = default;
  // ReadFile: up to `size` bytes; the count read, or nothing on failure.
  virtual std::optional<std::size_t> read(void* buffer, std::size_t size) = 0;
  // WriteFile in one call: the count written, or nothing on failure.
  virtual std::optional<std::size_t> write(const void* data, std::size_t size) = 0;
  // FlushFileBuffers / fsync.
  virtual bool flush() = 0;
};

// CreateFile(GENERIC_WRITE, no sharing, CREATE_ALWAYS): replaces and truncates an existing file.
// Fails on a read-only file (POSIX: a file without any write permission bit) and in a missing folder.
std::unique_ptr<File> createFileForWriting(const std::string& path);
// CreateFile(GENERIC_WRITE, no sharing, CREATE_NEW): fails when anything, a link included, is there.
std::unique_ptr<File> createNewFile(const std::string& path);
// CreateFile(GENERIC_READ, no sharing, OPEN_EXISTING).
std::unique_ptr<File> openFileForReading(const std::string& path);

// GetFileAttributes succeeds: something (file, folder) exists at the path.
bool pathExists(const std::string& path);
// A regular file exists at the path (CFileFind's existence test).
bool fileExists(const std::string& path);
// CreateDirectory with default security; one level only.
bool createDirectory(const std::string& path);
// DeleteFile: removes a file or a symbolic link (never its target).
bool deleteFile(const std::string& path);
// CopyFile; with failIfExists false an existing target is replaced.
bool copyFile(const std::string& from, const std::string& to, bool failIfExists);
// MoveFileEx(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): an atomic rename over `to`.
bool moveFileReplacing(const std::string& from, const std::string& to);
// Makes a completed rename in the folder of `path` durable (fsync of the folder; nothing on Windows).
bool flushFolderOf(const std::string& path);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

// POSIX only: the Wine prefix whose dosdevices/<drive>: links map drive paths. Until it is set,
// paths are taken as native paths unchanged (tools and unit tests).
void setDriveRoot(const std::string& prefixFolder);
// The native path that `path` maps to, or nothing when it cannot be mapped.
std::optional<std::string> nativePath(const std::string& path);

}  // namespace platform
