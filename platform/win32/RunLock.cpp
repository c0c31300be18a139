// The run lock on Windows: a named mutex, so that nothing is created in the host's folders. A mutex
// whose owner ended without releasing it (a killed run) is taken over.
#include <windows.h>

#include "platform/RunLock.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

class MutexLock : public HostRunLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<HostRunLock> acquireHostRunLock(std::chrono::milliseconds wait, std::string& why) {
  // Global: one run per machine, across sessions; a process without the right to create global
  // objects falls back to its session's.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Global\\NexlumeQ7Setup.Run");
  if (mutex == nullptr) mutex = CreateMutexW(nullptr, FALSE, L"Local\\NexlumeQ7Setup.Run");
  if (mutex == nullptr) {
    why = "cannot create the run lock (system error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(wait.count()));
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return std::make_unique<MutexLock>(mutex);
  CloseHandle(mutex);
  why = waited == WAIT_TIMEOUT ? "another run on this host held it for " +
                                     std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) + " s"
                               : "cannot take the run lock (system error " + std::to_string(GetLastError()) + ")";
  return nullptr;
}

}  // namespace platform
