// nexlume-q7-setup [--prefix DIR] [--verbose] [--help] [--version]
// Stands in for the application framework: sets up the Wine prefix, constructs the one application
// object, calls its start-up operation and turns the run's outcome into the exit status.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/NexlumeQ7App.h"
#include "app/Verbose.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace {

enum ExitStatus { kAllWritten = 0, kSomeFailed = 1, kUsageError = 2, kHostNotFound = 3, kHostBusy = 4 };

constexpr const char* kUsage =
    "usage: nexlume-q7-setup [--prefix DIR] [--verbose] [--help] [--version]\n"
    "Installs the Nexlume Q7 / Q7M support files into the Tarvel Tessaprint Dual host of a Wine prefix\n"
    "(DIR, else $WINEPREFIX, else $HOME/.wine). Progress lines go to stderr.\n"
    "Exit status: 0 every file written or merged, 1 some file or merge failed, 2 usage error,\n"
    "3 host not found (nothing written), 4 another run on the same host went on for over two minutes\n"
    "(nothing written).\n";

struct Options {
  std::string prefix;
  bool verbose = false;
};

std::string defaultPrefix() {
  if (const char* wine = std::getenv("WINEPREFIX"); wine != nullptr && *wine != '\0') return wine;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home) + "/.wine";
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  // Each description passes through documents and texts of a few megabytes. Memory freed after one
  // is kept for the next rather than handed back and faulted in again, which costs more than the
  // parsing itself on a virtual machine.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  Options options;
  bool prefixGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return kAllWritten;
    }
    if (arg == "--version") {
      std::puts("nexlume-q7-setup " NEXLUME_VERSION);
      return kAllWritten;
    }
    if (arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--prefix" && i + 1 < argc && *argv[i + 1] != '\0') {
      options.prefix = argv[++i];
      prefixGiven = true;
    } else if (arg.starts_with("--prefix=") && arg.size() > 9) {
      options.prefix = std::string(arg.substr(9));
      prefixGiven = true;
    } else {
      std::fprintf(stderr, "nexlume-q7-setup: unexpected argument '%s'\n%s", argv[i], kUsage);
      return kUsageError;
    }
  }
  if (!prefixGiven) options.prefix = defaultPrefix();
  if (options.prefix.empty()) {
    if (options.verbose) std::fputs("nexlume-q7-setup: host not found: no Wine prefix (set --prefix, WINEPREFIX or HOME)\n", stderr);
    return kHostNotFound;
  }

  platform::setRegistryPrefix(options.prefix);
  platform::setDriveRoot(options.prefix);

  setVerboseOutput(options.verbose);
  CNexlumeQ7App app;
  // Tests shorten the wait for another run's lock.
  if (const char* wait = std::getenv("NEXLUME_RUN_LOCK_WAIT_MS"); wait != nullptr && *wait != '\0')
    app.setRunLockWait(std::chrono::milliseconds(std::atol(wait)));
  app.InitInstance();

  switch (app.outcome()) {
    case CNexlumeQ7App::RunOutcome::Completed:
      return kAllWritten;
    case CNexlumeQ7App::RunOutcome::HostNotFound:
      if (options.verbose) {
        // The lookup's reason, and why the registry files themselves could not be read, if they could not.
        std::string line = "nexlume-q7-setup: host not found: " + app.hostLookupFailure();
        if (std::string note = platform::registryLoadNote(); !note.empty()) line += " (" + note + ")";
        std::fputs((line + "\n").c_str(), stderr);
      }
      return kHostNotFound;
    case CNexlumeQ7App::RunOutcome::HostBusy:
      std::fputs(("nexlume-q7-setup: nothing was written: " + app.runLockFailure() + "\n").c_str(), stderr);
      return kHostBusy;
    default:
      return kSomeFailed;
  }
}
