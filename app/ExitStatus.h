#pragma once
// The exit status of the installer, the same on both builds, and the words that document it.
#include <string>

#include "app/NexlumeQ7App.h"

namespace app {

enum ExitStatus {
  kAllWritten = 0,    // every file written or merged
  kSomeFailed = 1,    // the run finished, at least one file or merge failed
  kUsageError = 2,    // the command line was not understood, or the log asked for cannot be written; nothing written
  kHostNotFound = 3,  // the host or its installation folder was not found; nothing written
  kHostBusy = 4,      // another run on the host held it too long; nothing written
  kFilesInUse = 5,    // the run finished, and every failure was a file another program held open: retry later
};

// What a status means, in words, for the help and the log's closing line.
inline const char* exitStatusMeaning(int status) {
  switch (status) {
    case kAllWritten:
      return "every file written or merged (a dry run: would be)";
    case kSomeFailed:
      return "some file or merge failed (would fail)";
    case kUsageError:
      return "usage error, or the log cannot be written; nothing written";
    case kHostNotFound:
      return "host or its installation folder not found; nothing written";
    case kHostBusy:
      return "another run on the same host went on for over two minutes; nothing written";
    case kFilesInUse:
      return "files in use by another program, everything else written: close Tarvel Tessaprint Dual and run again";
    default:
      return "unknown status";
  }
}

// "Exit status: 0 ...; 1 ...; ..." over every status, one per line.
inline std::string exitStatusHelp() {
  std::string text = "Exit status:\n";
  for (int status = kAllWritten; status <= kFilesInUse; ++status)
    text += "  " + std::to_string(status) + " " + exitStatusMeaning(status) + "\n";
  return text;
}

inline ExitStatus exitStatusOf(CNexlumeQ7App::RunOutcome outcome) {
  switch (outcome) {
    case CNexlumeQ7App::RunOutcome::Completed:
      return kAllWritten;
    case CNexlumeQ7App::RunOutcome::HostNotFound:
      return kHostNotFound;
    case CNexlumeQ7App::RunOutcome::HostBusy:
      return kHostBusy;
    case CNexlumeQ7App::RunOutcome::CompletedFilesInUse:
      return kFilesInUse;
    case CNexlumeQ7App::RunOutcome::NotRun:
    case CNexlumeQ7App::RunOutcome::RunLockUnavailable:
    case CNexlumeQ7App::RunOutcome::CompletedWithFailures:
      break;
  }
  return kSomeFailed;
}

}  // namespace app
