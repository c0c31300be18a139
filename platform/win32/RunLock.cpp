// The run lock on Windows: a named mutex, so that nothing is created in the host's folders. Its name
// comes from the host folder's final path, so that every way of reaching one folder (another drive
// letter, a link) meets one lock. A mutex whose owner ended without releasing it (a killed run) is
// taken over.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "platform/RunLock.h"
#include "platform/win32/HostFolder.h"

namespace platform {
namespace {

class MutexLock : public HostRunLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    if (mutex_ == nullptr) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  HANDLE mutex_;
};

// "NexlumeQ7Setup.Run." and the folded final path, whose backslashes a kernel object name may not
// hold; a path too long for a name gives its 64-bit FNV-1a hash instead.
std::wstring mutexNameFor(const std::wstring& folder) {
  std::wstring name = L"NexlumeQ7Setup.Run.";
  if (folder.size() <= 200) {
    for (const wchar_t c : folder) name += c == L'\\' ? L'/' : c;
    return name;
  }
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : folder) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t hex[17];
  std::swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(hash));
  return name + hex;
}

}  // namespace

RunLockResult acquireHostRunLock(std::chrono::milliseconds wait, const std::function<void()>& waiting) {
  RunLockResult result;
  const std::optional<std::wstring>& host = win32::hostFolderFinalPath();
  if (!host) {
    result.lock = std::make_unique<MutexLock>(nullptr);
    return result;
  }
  // Global: one run per host folder on the machine, across sessions; a process without the right to
  // create global objects falls back to its session's.
  const std::wstring name = mutexNameFor(*host);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
  if (mutex == nullptr) mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  if (mutex == nullptr) {
    result.why = "cannot create the run lock (system error " + std::to_string(GetLastError()) + ")";
    return result;
  }
  DWORD waited = WaitForSingleObject(mutex, 0);
  if (waited == WAIT_TIMEOUT && wait.count() > 0) {
    if (waiting) waiting();
    waited = WaitForSingleObject(mutex, static_cast<DWORD>(wait.count()));
  }
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    result.lock = std::make_unique<MutexLock>(mutex);
    return result;
  }
  const DWORD error = GetLastError();
  CloseHandle(mutex);
  result.busy = waited == WAIT_TIMEOUT;
  result.why = result.busy ? "another run on this host held it for " +
                                 std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) + " s"
                           : "cannot take the run lock (system error " + std::to_string(error) + ")";
  return result;
}

}  // namespace platform
