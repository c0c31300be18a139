#pragma once
// The exit status of the installer, the same on both builds, and the text that documents it.
#include "app/NexlumeQ7App.h"

namespace app {

enum ExitStatus {
  kAllWritten = 0,    // every file written or merged
  kSomeFailed = 1,    // the run finished, at least one file or merge failed
  kUsageError = 2,    // the command line was not understood; nothing written
  kHostNotFound = 3,  // the host was not found; nothing written
  kHostBusy = 4,      // another run on the host held it too long; nothing written
};

inline constexpr const char* kExitStatusHelp =
    "Exit status: 0 every file written or merged (a dry run: would be); 1 some file or merge failed\n"
    "(would fail); 2 usage error; 3 host not found (nothing written); 4 another run on the same host\n"
    "went on for over two minutes (nothing written).\n";

inline ExitStatus exitStatusOf(CNexlumeQ7App::RunOutcome outcome) {
  switch (outcome) {
    case CNexlumeQ7App::RunOutcome::Completed:
      return kAllWritten;
    case CNexlumeQ7App::RunOutcome::HostNotFound:
      return kHostNotFound;
    case CNexlumeQ7App::RunOutcome::HostBusy:
      return kHostBusy;
    case CNexlumeQ7App::RunOutcome::NotRun:
    case CNexlumeQ7App::RunOutcome::RunLockUnavailable:
    case CNexlumeQ7App::RunOutcome::CompletedWithFailures:
      break;
  }
  return kSomeFailed;
}

}  // namespace app
