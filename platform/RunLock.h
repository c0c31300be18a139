#pragma once
// One installation run at a time on a host: two runs would meet at the same scratch files.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Held while it exists.
class HostRunLock {
 public:
  virtual ~HostRunLock() = default;
};

struct RunLockResult {
  std::unique_ptr<HostRunLock> lock;  // null when the lock was not taken
  bool busy = false;                  // not taken because another run held it for the whole wait
  std::string why;                    // why it was not taken
};

// Takes the run lock of the host whose install folder setHostFolder named (its resolved folder, so
// that every way of reaching one host folder meets one lock), waiting up to `wait` for another run
// to end, without creating a file in the host's folders: POSIX locks the folder itself (flock),
// Windows takes a named mutex whose name comes from the folder's final path. `waiting`, when given,
// is called once as soon as the lock is found held. Without a host folder, or with one that cannot be
// resolved and so takes nothing, no lock is needed.
RunLockResult acquireHostRunLock(std::chrono::milliseconds wait, const std::function<void()>& waiting = {});

}  // namespace platform
