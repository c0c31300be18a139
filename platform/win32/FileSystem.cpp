// File operations through the wide Win32 API: the UTF-8 path is converted to UTF-16 here and
// nowhere else. Windows itself supplies the semantics the layers above rely on: a read-only file
// (FILE_ATTRIBUTE_READONLY) cannot be opened for writing, deleted or replaced; an open without
// sharing keeps every other open out; names compare case-insensitively. Wine running as root lets
// root write and replace a read-only file, so that rule is also checked here before a write.
// Every public operation first passes the fault-injection hook.
#include <windows.h>
#include <restartmanager.h>
#include <aclapi.h>

#include <climits>
#include <string>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/win32/HostFolder.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

// The failure that system error `code` names, in the system's words; a sharing or lock violation
// is another program holding the file.
FileResult failedWithCode(DWORD code) {
  return FileResult::failure(code == ERROR_SUCCESS ? std::string() : win32::systemErrorText(code),
                             code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION);
}

// The failure of the system call that just failed.
FileResult failed() { return failedWithCode(GetLastError()); }

// A refusal of the layer's own (a link in the way), which no system error code says.
FileResult failWith(std::string why) { return FileResult::failure(std::move(why)); }

// The path with its last component removed: the folder that holds it.
std::string folderOf(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

// The final path of an open handle (links and drive substitutions resolved), case-folded so that
// two spellings of one folder compare equal; empty when the system cannot say.
std::wstring foldedFinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  }
  if (length == 0 || length >= path.size()) return std::wstring();
  path.resize(length);
  while (path.size() > 1 && path.back() == L'\\') path.pop_back();
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  return path;
}

// The folded final path of the folder at `path`, links followed.
FileValue<std::wstring> foldedFinalPathOfFolder(const std::string& path) {
  HANDLE folder = CreateFileW(win32::toWide(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return failed();
  FileValue<std::wstring> final = foldedFinalPath(folder);
  if (final.value.empty()) final = failed();
  CloseHandle(folder);
  return final;
}

std::optional<std::wstring>& hostFolder() {
  static std::optional<std::wstring> folder;
  return folder;
}

// Why the folder setHostFolder named cannot be resolved; every write is refused with it.
std::string& hostFolderUnusable() {
  static std::string why;
  return why;
}

// Whether the folder that holds `path` resolves inside the host's install folder (see setHostFolder).
FileResult folderInsideHost(const std::string& path) {
  if (!hostFolderUnusable().empty()) return failWith(hostFolderUnusable());
  const std::optional<std::wstring>& host = hostFolder();
  if (!host) return {};
  const std::string folder = folderOf(path);
  const FileValue<std::wstring> resolved = foldedFinalPathOfFolder(folder);
  if (!resolved) return resolved;
  const std::wstring& final = resolved.value;
  if (final == *host || (final.size() > host->size() && final.compare(0, host->size(), *host) == 0 &&
                         final[host->size()] == L'\\'))
    return {};
  return failWith("the folder " + folder + " leads outside the host's folder");
}

// Both folders of a two-name operation (a link, a rename) must lie inside the host's folder.
FileResult foldersInsideHost(const std::string& from, const std::string& to) {
  if (FileResult inside = folderInsideHost(from); !inside) return inside;
  return folderInsideHost(to);
}

// Why what is at `attributes` is no plain file, or null when it is one.
const char* notAPlainFile(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "a symbolic link is in the way";
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "a folder is in the way";
  return nullptr;
}

// The fault-injection hook; an injected failure reads as an I/O error.
FileResult admit() {
  if (admitFileOperation()) return {};
  return failedWithCode(ERROR_IO_DEVICE);
}

class Win32File : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { CloseHandle(handle_); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  FileValue<std::size_t> read(void* buffer, std::size_t size) override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    DWORD done = 0;
    const DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    if (!ReadFile(handle_, buffer, wanted, &done, nullptr)) return failed();
    return static_cast<std::size_t>(done);
  }

  // One WriteFile for the caller; only data beyond what one call can take is written in pieces.
  FileValue<std::size_t> write(const void* data, std::size_t size) override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    const auto* bytes = static_cast<const BYTE*>(data);
    std::size_t total = 0;
    do {
      const std::size_t left = size - total;
      const DWORD piece = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
      DWORD done = 0;
      if (!WriteFile(handle_, bytes + total, piece, &done, nullptr)) {
        FileValue<std::size_t> partial = failed();
        partial.value = total;
        return partial;
      }
      total += done;
      if (done < piece) break;
    } while (total < size);
    return total;
  }

  FileResult flush() override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    return FlushFileBuffers(handle_) != FALSE ? FileResult{} : failed();
  }

  FileValue<std::uint64_t> size() override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    LARGE_INTEGER bytes{};
    if (!GetFileSizeEx(handle_, &bytes)) return failed();
    return static_cast<std::uint64_t>(bytes.QuadPart);
  }

  // The access control list and the attributes of the file at `path`; Windows keeps its owner with
  // the creator, as a replacement by ReplaceFile does.
  FileResult takeAccessOf(const std::string& path) override {
    if (FileResult admitted = admit(); !admitted) return admitted;
    HANDLE original = CreateFileW(win32::toWide(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (original == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileResult{} : failedWithCode(error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = GetFileType(original) == FILE_TYPE_DISK;
    FileResult ok;
    if (plain && !GetFileInformationByHandle(original, &info)) ok = failed();
    if (ok && plain && notAPlainFile(info.dwFileAttributes) == nullptr) {
      PACL dacl = nullptr;
      PSECURITY_DESCRIPTOR descriptor = nullptr;
      DWORD error = GetSecurityInfo(original, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                    &descriptor);
      if (error == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(descriptor, &control, &revision);
        const SECURITY_INFORMATION which = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0
                                                                            ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
        error = SetSecurityInfo(handle_, SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr);
        LocalFree(descriptor);
      }
      // A volume that keeps no access control lists has none to keep.
      if (error != ERROR_SUCCESS && error != ERROR_NOT_SUPPORTED) ok = failedWithCode(error);
      FILE_BASIC_INFO basic{};
      const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
      basic.FileAttributes = (info.dwFileAttributes & kept) != 0 ? info.dwFileAttributes & kept : FILE_ATTRIBUTE_NORMAL;
      if (ok && !SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic)) ok = failed();
    }
    CloseHandle(original);
    return ok;
  }

 private:
  HANDLE handle_;
};

// CreateFileW without sharing and with normal attributes.
OpenedFile openWithoutSharing(const std::string& path, DWORD access, DWORD disposition, DWORD flags = 0) {
  HANDLE handle =
      CreateFileW(win32::toWide(path).c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed();
  return std::unique_ptr<File>(std::make_unique<Win32File>(handle));
}

// Opens the file at `path` for reading with `share`, never through a link: the link itself is
// opened (FILE_FLAG_OPEN_REPARSE_POINT) and refused, as are a folder and anything that is not a file
// on a disk. A link that the file system follows without calling it one (a POSIX link under Wine)
// shows in the file's final path, which then is not its folder's final path and its name.
FileValue<HANDLE> openPlainFileForReading(const std::string& path, DWORD share) {
  HANDLE handle = CreateFileW(win32::toWide(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const FileResult refused = failed();
    const DWORD attributes = GetFileAttributesW(win32::toWide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && notAPlainFile(attributes) != nullptr) return failWith(notAPlainFile(attributes));
    return refused;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  FileResult refusal;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    refusal = failWith("not a regular file");  // a pipe or a device (under Wine, a FIFO)
  } else if (!GetFileInformationByHandle(handle, &info)) {
    refusal = failed();
  } else if (const char* notPlain = notAPlainFile(info.dwFileAttributes)) {
    refusal = failWith(notPlain);
  } else {
    const std::wstring folder = foldedFinalPathOfFolder(folderOf(path)).value;
    std::wstring name = win32::toWide(path.substr(folderOf(path).size() + (folderOf(path).size() < path.size() ? 1 : 0)));
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    const std::wstring final = foldedFinalPath(handle);
    if (!folder.empty() && !final.empty() && final != folder + L"\\" + name) refusal = failWith("a symbolic link is in the way");
  }
  if (!refusal) {
    CloseHandle(handle);
    return refusal;
  }
  return handle;
}

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(win32::toWide(path).c_str()); }

// A read-only file stops every write, as Windows stops every user at it: access denied.
FileResult refusalOfReadOnlyFile(const std::string& path) {
  const DWORD attributes = attributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {};
  }
  return failedWithCode(ERROR_ACCESS_DENIED);
}

// The checks every write passes first: the fault hook, and the folder inside the host's.
FileResult admitWriteIn(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  return folderInsideHost(path);
}

// Opens `path` for deletion, with every sharing, and closes it again: what a rename over the file
// needs. Fails with a sharing violation when another program holds it open without delete sharing.
bool canOpenForDeletion(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

}  // namespace

OpenedFile createFileForWriting(const std::string& path) {
  if (FileResult admitted = admitWriteIn(path); !admitted) return admitted;
  if (FileResult refused = refusalOfReadOnlyFile(path); !refused) return refused;
  return openWithoutSharing(path, GENERIC_WRITE, CREATE_ALWAYS);
}

// WRITE_DAC: the new file may take the access control list of the file it replaces.
OpenedFile createNewFile(const std::string& path) {
  if (FileResult admitted = admitWriteIn(path); !admitted) return admitted;
  return openWithoutSharing(path, GENERIC_WRITE | WRITE_DAC, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT);
}

OpenedFile openFileForReading(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  FileValue<HANDLE> opened = openPlainFileForReading(path, 0);
  if (!opened) return static_cast<FileResult&>(opened);
  return std::unique_ptr<File>(std::make_unique<Win32File>(opened.value));
}

FileResult pathExists(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  if (attributesOf(path) != INVALID_FILE_ATTRIBUTES) return {};
  const FileResult missing = failed();
  // Some entries have no attributes to give (a FIFO under Wine) and are there all the same: the
  // folder's listing says so. A name with wildcards is no entry.
  if (path.find_first_of("*?") != std::string::npos) return missing;
  WIN32_FIND_DATAW entry;
  HANDLE found = FindFirstFileW(win32::toWide(path).c_str(), &entry);
  if (found == INVALID_HANDLE_VALUE) return missing;
  FindClose(found);
  return {};
}

bool fileExists(const std::string& path) {
  if (!admit()) return false;
  const DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileResult createDirectory(const std::string& path) {
  if (FileResult admitted = admitWriteIn(path); !admitted) return admitted;
  return CreateDirectoryW(win32::toWide(path).c_str(), nullptr) != FALSE ? FileResult{} : failed();
}

FileResult deleteFile(const std::string& path) {
  if (FileResult admitted = admitWriteIn(path); !admitted) return admitted;
  if (FileResult refused = refusalOfReadOnlyFile(path); !refused) return refused;
  return DeleteFileW(win32::toWide(path).c_str()) != FALSE ? FileResult{} : failed();
}

FileResult moveFileReplacing(const std::string& from, const std::string& to) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  if (FileResult inside = foldersInsideHost(from, to); !inside) return inside;
  if (FileResult refused = refusalOfReadOnlyFile(to); !refused) return refused;
  const std::wstring target = win32::toWide(to);
  if (MoveFileExW(win32::toWide(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE)
    return {};
  const DWORD error = GetLastError();
  // A rename over a file that another program holds open is refused as "access denied", the same
  // words as a lack of rights: the file itself tells the two apart.
  if (error == ERROR_ACCESS_DENIED && !canOpenForDeletion(target) && GetLastError() == ERROR_SHARING_VIOLATION)
    return failedWithCode(ERROR_SHARING_VIOLATION);
  return failedWithCode(error);
}

FileResult linkFile(const std::string& from, const std::string& to) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  if (FileResult inside = foldersInsideHost(from, to); !inside) return inside;
  // A reparse point (a link) is never given a second name: its content is what would be kept.
  const DWORD attributes = attributesOf(from);
  if (attributes == INVALID_FILE_ATTRIBUTES) return failed();
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return failedWithCode(ERROR_NOT_SUPPORTED);
  return CreateHardLinkW(win32::toWide(to).c_str(), win32::toWide(from).c_str(), nullptr) != FALSE ? FileResult{} : failed();
}

FileResult canReplace(const std::string& path) {
  if (FileResult admitted = admitWriteIn(path); !admitted) return admitted;
  const DWORD attributes = attributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return failWith("a folder is in the way");
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return failWith("the file is read-only");
  if (!canOpenForDeletion(win32::toWide(path))) return failed();
  return {};
}

// MOVEFILE_WRITE_THROUGH already made the rename durable.
FileResult flushFolderOf(const std::string&) { return admit(); }

FileValue<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  if (FileResult admitted = admit(); !admitted) return admitted;
  const FileValue<HANDLE> opened = openPlainFileForReading(path, FILE_SHARE_READ);
  if (!opened) return static_cast<const FileResult&>(opened);
  const HANDLE handle = opened.value;
  std::vector<std::uint8_t> content;
  LARGE_INTEGER size{};
  FileResult read;
  if (GetFileSizeEx(handle, &size)) content.reserve(static_cast<std::size_t>(size.QuadPart));
  else read = failed();
  BYTE chunk[1 << 16];
  while (read) {
    DWORD done = 0;
    if (!ReadFile(handle, chunk, sizeof chunk, &done, nullptr)) read = failed();
    if (!read || done == 0) break;
    content.insert(content.end(), chunk, chunk + done);
  }
  CloseHandle(handle);
  if (!read) return read;
  return content;
}

// One Restart Manager session per question; it names the processes that have the file open.
std::vector<std::string> programsHolding(const std::string& path) {
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (RmStartSession(&session, 0, key) != ERROR_SUCCESS) return {};
  std::vector<std::string> holders;
  const std::wstring wide = win32::toWide(path);
  LPCWSTR files[] = {wide.c_str()};
  if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
    std::vector<RM_PROCESS_INFO> processes(8);
    UINT needed = 0;
    UINT count = static_cast<UINT>(processes.size());
    DWORD reasons = RmRebootReasonNone;
    DWORD status = RmGetList(session, &needed, &count, processes.data(), &reasons);
    if (status == ERROR_MORE_DATA) {
      processes.resize(needed);
      count = needed;
      status = RmGetList(session, &needed, &count, processes.data(), &reasons);
    }
    for (UINT i = 0; status == ERROR_SUCCESS && i < count; ++i) {
      const RM_PROCESS_INFO& process = processes[i];
      const std::wstring name = process.strAppName[0] != L'\0' ? process.strAppName : L"a program";
      holders.push_back(win32::toUtf8(name) + " (process id " + std::to_string(process.Process.dwProcessId) + ")");
    }
  }
  RmEndSession(session);
  return holders;
}

bool setHostFolder(const std::string& installPath, std::string& why) {
  hostFolder().reset();
  hostFolderUnusable().clear();
  if (installPath.empty()) return true;
  std::string folder = installPath;
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  HANDLE handle = CreateFileW(win32::toWide(folder).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  std::wstring final;
  if (handle == INVALID_HANDLE_VALUE) {
    why = "the host's folder " + installPath + ": " + failed().reason;
  } else {
    BY_HANDLE_FILE_INFORMATION info{};
    const bool isFolder = GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    final = foldedFinalPath(handle);
    const std::string unresolved = final.empty() ? failed().reason : std::string();
    CloseHandle(handle);
    if (!isFolder) {
      why = "the host's folder " + installPath + " is not a folder";
    } else if (final.empty()) {
      why = "the host's folder " + installPath + ": " + unresolved;
    } else {
      hostFolder() = std::move(final);
      return true;
    }
  }
  hostFolderUnusable() = why;
  return false;
}

namespace win32 {
const std::optional<std::wstring>& hostFolderFinalPath() { return hostFolder(); }
}  // namespace win32

// Windows paths are native paths: there is no drive mapping to set up.
void setDriveRoot(const std::string&) {}
std::optional<std::string> nativePath(const std::string& path) { return path; }

}  // namespace platform
