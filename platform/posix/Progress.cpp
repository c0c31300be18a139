#include <unistd.h>

#include <cerrno>

#include "platform/Progress.h"

namespace platform {

// One write(2) per line, so lines of concurrent writers to the same stderr never interleave;
// only a line the kernel cuts short is continued. A line that cannot be written (its reader has gone,
// the disk is full) is dropped: the output is never a reason to stop a run.
void debugOutput(std::string_view line) {
  std::size_t done = 0;
  while (done < line.size()) {
    ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// The POSIX build keeps no log: its lines go to stderr, which the caller redirects.
bool logOutput(std::string_view) { return true; }

}  // namespace platform
