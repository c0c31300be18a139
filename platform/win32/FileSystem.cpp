// File operations through the wide Win32 API: the UTF-8 path is converted to UTF-16 here and
// nowhere else. Windows itself supplies the semantics the layers above rely on: a read-only file
// (FILE_ATTRIBUTE_READONLY) cannot be opened for writing, deleted or replaced; an open without
// sharing keeps every other open out; names compare case-insensitively. Wine running as root lets
// root write and replace a read-only file, so that rule is also checked here before a write.
// Every public operation first passes the fault-injection hook.
#include <windows.h>
#include <restartmanager.h>

#include <climits>
#include <string>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

DWORD& lastErrorCode() {
  thread_local DWORD code = ERROR_SUCCESS;
  return code;
}

// Keeps the system's reason for a failure that just happened, for lastFileError(); returns false.
bool failed() {
  lastErrorCode() = GetLastError();
  return false;
}

// The fault-injection hook; an injected failure reads as an I/O error.
bool admit() {
  lastErrorCode() = ERROR_SUCCESS;
  if (admitFileOperation()) return true;
  SetLastError(ERROR_IO_DEVICE);
  return failed();
}

class Win32File : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { CloseHandle(handle_); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  std::optional<std::size_t> read(void* buffer, std::size_t size) override {
    if (!admit()) return std::nullopt;
    DWORD done = 0;
    const DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    if (!ReadFile(handle_, buffer, wanted, &done, nullptr)) return failed(), std::nullopt;
    return done;
  }

  // One WriteFile for the caller; only data beyond what one call can take is written in pieces.
  std::optional<std::size_t> write(const void* data, std::size_t size) override {
    if (!admit()) return std::nullopt;
    const auto* bytes = static_cast<const BYTE*>(data);
    std::size_t total = 0;
    do {
      const std::size_t left = size - total;
      const DWORD piece = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
      DWORD done = 0;
      if (!WriteFile(handle_, bytes + total, piece, &done, nullptr)) {
        failed();
        return total == 0 ? std::nullopt : std::optional<std::size_t>(total);
      }
      total += done;
      if (done < piece) break;
    } while (total < size);
    return total;
  }

  bool flush() override {
    if (!admit()) return false;
    return FlushFileBuffers(handle_) != FALSE || failed();
  }

  std::optional<std::uint64_t> size() override {
    if (!admit()) return std::nullopt;
    LARGE_INTEGER bytes{};
    if (!GetFileSizeEx(handle_, &bytes)) return failed(), std::nullopt;
    return static_cast<std::uint64_t>(bytes.QuadPart);
  }

 private:
  HANDLE handle_;
};

// CreateFileW without sharing and with normal attributes; null when it fails.
std::unique_ptr<File> openWithoutSharing(const std::string& path, DWORD access, DWORD disposition) {
  HANDLE handle = CreateFileW(win32::toWide(path).c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed(), nullptr;
  return std::make_unique<Win32File>(handle);
}

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(win32::toWide(path).c_str()); }

// A read-only file stops every write, as Windows stops every user at it.
bool isReadOnlyFile(const std::string& path) {
  const DWORD attributes = attributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  SetLastError(ERROR_ACCESS_DENIED);
  failed();
  return true;
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

std::unique_ptr<File> createFileForWriting(const std::string& path) {
  if (!admit() || isReadOnlyFile(path)) return nullptr;
  return openWithoutSharing(path, GENERIC_WRITE, CREATE_ALWAYS);
}

std::unique_ptr<File> createNewFile(const std::string& path) {
  if (!admit()) return nullptr;
  return openWithoutSharing(path, GENERIC_WRITE, CREATE_NEW);
}

std::unique_ptr<File> openFileForReading(const std::string& path) {
  if (!admit()) return nullptr;
  return openWithoutSharing(path, GENERIC_READ, OPEN_EXISTING);
}

bool pathExists(const std::string& path) {
  if (!admit()) return false;
  return attributesOf(path) != INVALID_FILE_ATTRIBUTES || failed();
}

bool fileExists(const std::string& path) {
  if (!admit()) return false;
  const DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool createDirectory(const std::string& path) {
  if (!admit()) return false;
  return CreateDirectoryW(win32::toWide(path).c_str(), nullptr) != FALSE || failed();
}

bool deleteFile(const std::string& path) {
  if (!admit() || isReadOnlyFile(path)) return false;
  return DeleteFileW(win32::toWide(path).c_str()) != FALSE || failed();
}

bool moveFileReplacing(const std::string& from, const std::string& to) {
  if (!admit() || isReadOnlyFile(to)) return false;
  const std::wstring target = win32::toWide(to);
  if (MoveFileExW(win32::toWide(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE)
    return true;
  failed();
  // A rename over a file that another program holds open is refused as "access denied", the same
  // words as a lack of rights: the file itself tells the two apart.
  if (lastErrorCode() == ERROR_ACCESS_DENIED && !canOpenForDeletion(target) && GetLastError() == ERROR_SHARING_VIOLATION)
    lastErrorCode() = ERROR_SHARING_VIOLATION;
  return false;
}

bool linkFile(const std::string& from, const std::string& to) {
  if (!admit()) return false;
  // A reparse point (a link) is never given a second name: its content is what would be kept.
  const DWORD attributes = attributesOf(from);
  if (attributes == INVALID_FILE_ATTRIBUTES) return failed();
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return failed();
  }
  return CreateHardLinkW(win32::toWide(to).c_str(), win32::toWide(from).c_str(), nullptr) != FALSE || failed();
}

bool canReplace(const std::string& path, std::string& why) {
  if (!admit()) return why = lastFileError(), false;
  const DWORD attributes = attributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return why = "a folder is in the way", false;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return why = "the file is read-only", false;
  if (!canOpenForDeletion(win32::toWide(path))) {
    failed();
    why = lastFileError();
    return false;
  }
  return true;
}

// MOVEFILE_WRITE_THROUGH already made the rename durable.
bool flushFolderOf(const std::string&) { return admit(); }

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  if (!admit()) return std::nullopt;
  HANDLE handle = CreateFileW(win32::toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed(), std::nullopt;
  std::vector<std::uint8_t> content;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(handle, &size) != FALSE;
  if (ok) content.reserve(static_cast<std::size_t>(size.QuadPart));
  BYTE chunk[1 << 16];
  while (ok) {
    DWORD done = 0;
    ok = ReadFile(handle, chunk, sizeof chunk, &done, nullptr) != FALSE || failed();
    if (!ok || done == 0) break;
    content.insert(content.end(), chunk, chunk + done);
  }
  CloseHandle(handle);
  if (!ok) return std::nullopt;
  return content;
}

bool lastFileErrorMeansInUse() {
  return lastErrorCode() == ERROR_SHARING_VIOLATION || lastErrorCode() == ERROR_LOCK_VIOLATION;
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

std::string lastFileError() {
  const DWORD code = lastErrorCode();
  return code == ERROR_SUCCESS ? std::string() : win32::systemErrorText(code);
}

// Windows paths are native paths: there is no drive mapping to set up.
void setDriveRoot(const std::string&) {}
std::optional<std::string> nativePath(const std::string& path) { return path; }

}  // namespace platform
