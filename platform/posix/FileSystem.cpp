// File operations on Windows-style paths, mapped into a Wine prefix. Windows semantics kept here:
// - a file without any write permission bit is read-only: it cannot be opened for writing, deleted
//   or replaced by a rename (root included, as Windows stops every user at the read-only attribute);
// - "no sharing": an open file holds an exclusive advisory lock, so a second open fails;
// - existing path components are found case-insensitively.
// Every public operation first passes the fault-injection hook.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/RunLock.h"
#include "platform/posix/Text.h"

namespace platform {
namespace {

std::optional<std::string>& driveRoot() {
  static std::optional<std::string> prefix;
  return prefix;
}

// The real path of the host's install folder, once setHostFolder named it.
std::optional<std::string>& hostFolder() {
  static std::optional<std::string> folder;
  return folder;
}

// Why the folder setHostFolder named cannot be resolved; every write is refused with it.
std::string& hostFolderUnusable() {
  static std::string why;
  return why;
}

FileResult failWith(std::string why) { return FileResult::failure(std::move(why)); }
FileResult failWithErrno() { return failWith(std::strerror(errno)); }
// Another handle's lock on the file: Windows' sharing violation.
FileResult failInUse() { return FileResult::failure("the file is held open by another program", true); }
const FileResult kUnmapped = FileResult::failure("the path cannot be mapped to a drive of the prefix");

// The fault-injection hook; an injected failure reads as an I/O error.
FileResult admit() {
  if (admitFileOperation()) return {};
  errno = EIO;
  return failWithErrno();
}

// Why what lstat found cannot be opened as a file: only a regular file is ever read or written.
const char* notAPlainFile(const struct stat& info) {
  if (S_ISLNK(info.st_mode)) return "a symbolic link is in the way";
  if (S_ISDIR(info.st_mode)) return "a folder is in the way";
  return "not a regular file";
}

std::string folderOfNative(const std::string& native) {
  const std::string::size_type slash = native.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
}

// Whether the folder that holds `native` (the mapping of the Windows path `path`) resolves inside the
// host's install folder, links followed: a link below the install folder must not carry a write out
// of it. The install folder itself may be reached through links (the prefix's drive links are).
// Nothing is checked until setHostFolder named the folder.
FileResult folderInsideHost(const std::string& path, const std::string& native) {
  if (!hostFolderUnusable().empty()) return failWith(hostFolderUnusable());
  const std::optional<std::string>& host = hostFolder();
  if (!host) return {};
  char real[PATH_MAX];
  if (::realpath(folderOfNative(native).c_str(), real) == nullptr) return failWithErrno();
  const std::string folder = real;
  if (folder == *host || (folder.size() > host->size() && folder.compare(0, host->size(), *host) == 0 &&
                          (folder[host->size()] == '/' || *host == "/")))
    return {};
  const std::string::size_type separator = path.find_last_of("\\/");
  return failWith("the folder " + (separator == std::string::npos ? path : path.substr(0, separator)) +
                  " leads outside the host's folder");
}

bool isReadOnlyFile(const struct stat& info) { return S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0; }

// Windows refuses to replace or delete a read-only file, a folder, or a file held open without
// sharing: the refusal, or success when what is there (if anything) gives way.
FileResult refusalToReplace(const std::string& native) {
  struct stat existing{};
  if (::lstat(native.c_str(), &existing) != 0) return {};
  if (S_ISDIR(existing.st_mode)) return failWith("a folder is in the way");
  if (isReadOnlyFile(existing)) return failWith("the file is read-only");
  if (!S_ISREG(existing.st_mode)) return {};
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return {};
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return held ? failInUse() : FileResult{};
}

// The entry of `folder` whose name equals `name` ignoring case, preferring an exact match;
// `name` itself when nothing matches (a new file takes the case given).
std::string resolveComponent(const std::string& folder, const std::string& name) {
  struct stat info{};
  if (::lstat((folder + "/" + name).c_str(), &info) == 0) return name;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return name;
  std::string folded = text::foldCase(name);
  std::string match = name;
  while (dirent* entry = ::readdir(dir)) {
    if (text::foldCase(entry->d_name) == folded) {
      match = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return match;
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  FileValue<std::size_t> read(void* buffer, std::size_t size) override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    ssize_t n;
    do {
      n = ::read(fd_, buffer, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return failWithErrno();
    return static_cast<std::size_t>(n);
  }

  // One call for the caller; large writes that the kernel splits are continued here.
  FileValue<std::size_t> write(const void* data, std::size_t size) override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(fd_, bytes + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = ENOSPC;
        FileValue<std::size_t> partial = failWithErrno();
        partial.value = done;
        return partial;
      }
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  FileResult flush() override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    return ::fsync(fd_) == 0 ? FileResult{} : failWithErrno();
  }

  FileValue<std::uint64_t> size() override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    struct stat info{};
    if (::fstat(fd_, &info) != 0) return failWithErrno();
    return static_cast<std::uint64_t>(info.st_size);
  }

  FileResult takeAccessOf(const std::string& path) override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    const std::optional<std::string> native = nativePath(path);
    struct stat original{};
    if (!native || ::lstat(native->c_str(), &original) != 0) return errno == ENOENT ? FileResult{} : failWithErrno();
    if (!S_ISREG(original.st_mode)) return {};  // nothing is taken from a link or any other non-file
    // Owner and group first (a change of owner clears the set-id bits the mode may then give back).
    // Without the right to give the file away (not root), the group is kept where this user belongs
    // to it; where it cannot be kept either, the new group gets no access the old one had.
    // A read-only original (no write bit) is never replaced: its scratch file keeps the owner's
    // write bit, so that it stays a file the run may remove rather than a read-only one.
    mode_t mode = original.st_mode & 0777;
    if ((mode & 0222) == 0) mode |= 0200;
    if (::fchown(fd_, original.st_uid, original.st_gid) != 0 && ::fchown(fd_, static_cast<uid_t>(-1), original.st_gid) != 0)
      mode &= ~static_cast<mode_t>(070);
    if (::fchmod(fd_, mode) != 0) return failWithErrno();
    return copyExtendedAttributes(*native);
  }

 private:
  // The extended attributes of the file at `native` (POSIX ACLs among them) onto this file, after its
  // mode: an access ACL sets the group bits of the mode from its mask. A file system without them,
  // or a name this process may not set (a trusted or security name when not root), is skipped:
  // without the attribute the new file only has less access than the old one had.
  FileResult copyExtendedAttributes(const std::string& native) {
    ssize_t listSize = ::llistxattr(native.c_str(), nullptr, 0);
    if (listSize < 0) return errno == ENOTSUP || errno == ENOENT ? FileResult{} : failWithErrno();
    std::vector<char> names(static_cast<std::size_t>(listSize) + 1);
    listSize = ::llistxattr(native.c_str(), names.data(), names.size());
    if (listSize < 0) return failWithErrno();
    for (const char* name = names.data(); name < names.data() + listSize; name += std::strlen(name) + 1) {
      const ssize_t valueSize = ::lgetxattr(native.c_str(), name, nullptr, 0);
      if (valueSize < 0) {
        if (errno == ENODATA) continue;  // removed meanwhile
        return failWithErrno();
      }
      std::vector<char> value(static_cast<std::size_t>(valueSize));
      const ssize_t got = ::lgetxattr(native.c_str(), name, value.data(), value.size());
      if (got < 0) return failWithErrno();
      if (::fsetxattr(fd_, name, value.data(), static_cast<std::size_t>(got), 0) != 0 && errno != ENOTSUP && errno != EPERM)
        return failWithErrno();
    }
    return {};
  }

 public:

 private:
  int fd_;
};

// Opens the mapped path with `flags`, never through a link (O_NOFOLLOW; O_NONBLOCK so that a FIFO
// does not block); refuses links, folders, FIFOs and devices (found before the open where they can
// be, so that no device is ever opened), read-only files (for writing) and files that another handle
// holds; truncates only after all checks passed.
OpenedFile openMapped(const std::string& path, int flags, bool truncate) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> native = nativePath(path);
  if (!native) return kUnmapped;
  const bool writing = (flags & O_ACCMODE) != O_RDONLY;
  if (writing) {
    if (FileResult inside = folderInsideHost(path, *native); !inside) return inside;
  }
  struct stat info{};
  if (::lstat(native->c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return failWith(notAPlainFile(info));
  int fd = ::open(native->c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0666);
  if (fd < 0) {
    // A link planted after the look above.
    if (errno == ELOOP) return failWith("a symbolic link is in the way");
    return failWithErrno();
  }
  std::unique_ptr<File> file = std::make_unique<PosixFile>(fd);
  if (::fstat(fd, &info) != 0) return failWithErrno();
  if (!S_ISREG(info.st_mode)) return failWith(notAPlainFile(info));
  if (writing && isReadOnlyFile(info)) return failWith("the file is read-only");
  // Readers share the file, as Windows' read sharing lets them; a writer needs it alone.
  if (::flock(fd, (writing ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) return failInUse();
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) return failWithErrno();
  if (truncate && ::ftruncate(fd, 0) != 0) return failWithErrno();
  return file;
}

}  // namespace

void setDriveRoot(const std::string& prefixFolder) { driveRoot() = prefixFolder; }

std::optional<std::string> nativePath(const std::string& path) {
  const std::optional<std::string>& prefix = driveRoot();
  if (!prefix) return path;
  // "X:" followed by nothing or a separator; drive-relative ("C:x") and UNC paths cannot be mapped.
  bool letter = path.size() >= 2 && ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
  if (!letter || path[1] != ':' || (path.size() > 2 && path[2] != '\\' && path[2] != '/')) return std::nullopt;
  // The drive's entry under dosdevices, remembered per prefix and letter (a run names one drive many
  // times) and looked up again once it is gone.
  static std::map<std::string, std::string> knownDrives;
  const std::string driveName{path[0], ':'};
  const std::string driveKey = *prefix + '\0' + text::foldCase(driveName);
  std::string native;
  struct stat info{};
  if (auto known = knownDrives.find(driveKey); known != knownDrives.end() && ::lstat(known->second.c_str(), &info) == 0) {
    native = known->second;
  } else {
    const std::string devices = *prefix + "/dosdevices";
    native = devices + "/" + resolveComponent(devices, driveName);
    if (::lstat(native.c_str(), &info) != 0) return std::nullopt;
    knownDrives[driveKey] = native;
  }

  // Windows collapses repeated separators and resolves "." and ".." by text before the lookup.
  std::vector<std::string> components;
  std::size_t start = 2;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!part.empty() && part != ".") {
      components.push_back(std::move(part));
    }
    start = end + 1;
  }
  // A path that exists exactly as written is its own resolution (an exact match wins at every level),
  // found with one look-up; in a folder that exists as written, only the last name is looked for.
  std::string exact = native;
  for (const std::string& part : components) exact.append(1, '/').append(part);
  if (::lstat(exact.c_str(), &info) == 0) return exact;
  std::size_t resolvedParts = 0;
  if (!components.empty()) {
    const std::string folder = exact.substr(0, exact.size() - components.back().size() - 1);
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      native = folder;
      resolvedParts = components.size() - 1;
    }
  }
  for (std::size_t i = resolvedParts; i < components.size(); ++i) {
    std::string resolved = resolveComponent(native, components[i]);
    native.append(1, '/').append(resolved);
  }
  return native;
}

OpenedFile createFileForWriting(const std::string& path) { return openMapped(path, O_WRONLY | O_CREAT, true); }

OpenedFile createNewFile(const std::string& path) { return openMapped(path, O_WRONLY | O_CREAT | O_EXCL, false); }

OpenedFile openFileForReading(const std::string& path) { return openMapped(path, O_RDONLY, false); }

FileResult pathExists(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> native = nativePath(path);
  if (!native) return kUnmapped;
  struct stat info{};
  return ::lstat(native->c_str(), &info) == 0 ? FileResult{} : failWithErrno();
}

bool fileExists(const std::string& path) {
  if (!admit()) return false;
  std::optional<std::string> native = nativePath(path);
  struct stat info{};
  return native && ::stat(native->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileResult createDirectory(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> native = nativePath(path);
  if (!native) return kUnmapped;
  if (FileResult inside = folderInsideHost(path, *native); !inside) return inside;
  return ::mkdir(native->c_str(), 0777) == 0 ? FileResult{} : failWithErrno();
}

FileResult deleteFile(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> native = nativePath(path);
  struct stat info{};
  if (!native || ::lstat(native->c_str(), &info) != 0) return failWithErrno();
  if (FileResult inside = folderInsideHost(path, *native); !inside) return inside;
  if (S_ISDIR(info.st_mode)) return failWith("a folder is in the way");
  if (isReadOnlyFile(info)) return failWith("the file is read-only");
  return ::unlink(native->c_str()) == 0 ? FileResult{} : failWithErrno();
}

namespace {
// Both folders of a two-name operation (a link, a rename) must lie inside the host's folder.
FileResult foldersInsideHost(const std::string& from, const std::string& fromNative, const std::string& to,
                             const std::string& toNative) {
  if (FileResult inside = folderInsideHost(from, fromNative); !inside) return inside;
  return folderInsideHost(to, toNative);
}
}  // namespace

FileResult linkFile(const std::string& from, const std::string& to) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> source = nativePath(from);
  std::optional<std::string> target = nativePath(to);
  struct stat info{};
  if (!source || !target || ::lstat(source->c_str(), &info) != 0) return failWithErrno();
  if (FileResult inside = foldersInsideHost(from, *source, to, *target); !inside) return inside;
  if (!S_ISREG(info.st_mode)) return failWith(notAPlainFile(info));
  return ::link(source->c_str(), target->c_str()) == 0 ? FileResult{} : failWithErrno();
}

FileResult moveFileReplacing(const std::string& from, const std::string& to) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> source = nativePath(from);
  std::optional<std::string> target = nativePath(to);
  if (!source || !target) return kUnmapped;
  if (FileResult inside = foldersInsideHost(from, *source, to, *target); !inside) return inside;
  if (FileResult refused = refusalToReplace(*target); !refused) return refused;
  return ::rename(source->c_str(), target->c_str()) == 0 ? FileResult{} : failWithErrno();
}

FileResult canReplace(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> native = nativePath(path);
  if (!native) return kUnmapped;
  if (FileResult inside = folderInsideHost(path, *native); !inside) return inside;
  if (FileResult refused = refusalToReplace(*native); !refused) return refused;
  // The scratch file is created beside the target: its folder must take a new file.
  const std::string folder = folderOfNative(*native);
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return failWith(std::string("its folder: ") + std::strerror(errno));
  return {};
}

FileResult flushFolderOf(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> native = nativePath(path);
  if (!native) return kUnmapped;
  int fd = ::open(folderOfNative(*native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return failWithErrno();
  FileResult flushed = ::fsync(fd) == 0 ? FileResult{} : failWithErrno();
  ::close(fd);
  return flushed;
}

FileValue<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  std::optional<std::string> native = nativePath(path);
  if (!native) return kUnmapped;
  struct stat info{};
  if (::lstat(native->c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return failWith(notAPlainFile(info));
  int fd = ::open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return failWith(errno == ELOOP ? "a symbolic link is in the way" : std::strerror(errno));
  std::vector<std::uint8_t> content;
  FileResult read = ::fstat(fd, &info) == 0 ? FileResult{} : failWithErrno();
  if (read && !S_ISREG(info.st_mode)) read = failWith(notAPlainFile(info));
  // Read straight into the content, sized as the file says and grown if the file grows meanwhile.
  if (read) content.resize(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t filled = 0;
  while (read) {
    if (filled == content.size()) content.resize(content.size() * 2);
    const ssize_t n = ::read(fd, content.data() + filled, content.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) read = failWithErrno();
      break;
    }
    filled += static_cast<std::size_t>(n);
  }
  content.resize(filled);
  ::close(fd);
  if (!read) return read;
  return content;
}

// No system service names the holder of a lock here.
std::vector<std::string> programsHolding(const std::string&) { return {}; }
bool setHostFolder(const std::string& installPath, std::string& why) {
  hostFolder().reset();
  hostFolderUnusable().clear();
  if (installPath.empty()) return true;
  const std::optional<std::string> native = nativePath(installPath);
  char real[PATH_MAX];
  struct stat info{};
  if (!native) {
    why = "the host's folder " + installPath + " cannot be mapped to a drive of the prefix";
  } else if (::realpath(native->c_str(), real) == nullptr) {
    why = "the host's folder " + installPath + ": " + std::strerror(errno);
  } else if (::stat(real, &info) != 0 || !S_ISDIR(info.st_mode)) {
    why = "the host's folder " + installPath + " is not a folder";
  } else {
    hostFolder() = real;
    return true;
  }
  hostFolderUnusable() = why;
  return false;
}

namespace {

// An flock on the host's install folder, released when the descriptor closes (also when the process
// ends, however it ends).
class FolderLock : public HostRunLock {
 public:
  explicit FolderLock(int fd) : fd_(fd) {}
  ~FolderLock() override {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace

RunLockResult acquireHostRunLock(std::chrono::milliseconds wait, const std::function<void()>& waiting) {
  RunLockResult result;
  // No host folder, or one that cannot be resolved, into which nothing can be written: no lock.
  const std::optional<std::string>& host = hostFolder();
  if (!host) {
    result.lock = std::make_unique<FolderLock>(-1);
    return result;
  }
  // The resolved folder: prefixes whose drives lead to one host folder lock the same folder.
  const int fd = ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    result.why = "cannot open the host's folder " + *host + " to lock it: " + std::strerror(errno);
    return result;
  }
  auto lock = std::make_unique<FolderLock>(fd);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  bool told = false;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      result.lock = std::move(lock);
      return result;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      result.why = "cannot lock the host's folder " + *host + ": " + std::strerror(errno);
      return result;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    if (!told && waiting) waiting();
    told = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  result.busy = true;
  result.why = "another run on this host held it for " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) + " s";
  return result;
}

}  // namespace platform
