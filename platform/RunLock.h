#pragma once
// One installation run at a time on a host: two runs would meet at the same scratch files.
#include <chrono>
#include <memory>
#include <string>

namespace platform {

// Held while it exists.
class HostRunLock {
 public:
  virtual ~HostRunLock() = default;
};

// Takes the run lock of the host, waiting up to `wait` for another run to end, without creating a
// file in the host's folders: POSIX locks the Wine prefix folder itself (flock; no lock is needed
// until setDriveRoot names one), Windows a named mutex. Null when the wait ran out or the lock cannot
// be taken; `why` then says which.
std::unique_ptr<HostRunLock> acquireHostRunLock(std::chrono::milliseconds wait, std::string& why);

}  // namespace platform
