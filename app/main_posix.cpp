// nexlume-q7-setup [--prefix DIR] [--dry-run] [--verbose] [--help] [--version]
// Stands in for the application framework: sets up the Wine prefix, constructs the one application
// object, calls its start-up operation and turns the run's outcome into the exit status.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "app/ExitStatus.h"
#include "app/NexlumeQ7App.h"
#include "app/Verbose.h"
#include "platform/FileSystem.h"
#include "platform/posix/Heap.h"
#include "platform/Registry.h"

namespace {

std::string defaultPrefix() {
  if (const char* wine = std::getenv("WINEPREFIX"); wine != nullptr && *wine != '\0') return wine;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home) + "/.wine";
  return std::string();
}

// Wine keeps the registry in its server's memory and writes the files back some time after a change;
// a server still running for the prefix may hold newer contents than the files. Its socket lives in
// /tmp/.wine-<uid>/server-<device>-<inode>/, named after the prefix folder.
bool wineserverMayBeRunning(const std::string& prefix) {
  struct stat info{};
  if (::stat(prefix.c_str(), &info) != 0) return false;
  char folder[128];
  std::snprintf(folder, sizeof folder, "/tmp/.wine-%u/server-%llx-%llx/socket", static_cast<unsigned>(::getuid()),
                static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino));
  struct stat socket{};
  return ::lstat(folder, &socket) == 0 && S_ISSOCK(socket.st_mode);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of the progress lines that stops early (`| head -1`) must not end the run half way:
  // writing to it then fails with EPIPE, the line is lost and the installation goes on.
  ::signal(SIGPIPE, SIG_IGN);
  platform::prepareHeapForDocuments();

  std::string prefix;
  bool verbose = false;
  bool dryRun = false;
  CLI::App cli("Installs the Nexlume Q7 / Q7M support files into the Tarvel Tessaprint Dual host of a Wine\n"
               "prefix. One numbered progress line per file goes to stderr.",
               "nexlume-q7-setup");
  CLI::Option* prefixOption =
      cli.add_option("--prefix", prefix, "the Wine prefix whose host is installed into (default: $WINEPREFIX, else $HOME/.wine)")
          ->type_name("DIR")
          // "--prefix --verbose" names no folder: an option is never taken for one.
          ->check([](const std::string& value) {
            return value.rfind("--", 0) == 0 ? "a folder is needed, not the option " + value : std::string();
          });
  cli.add_flag("--dry-run", dryRun, "write nothing anywhere: say for each file what the run would do");
  cli.add_flag("--verbose", verbose, "add what each merge keeps, appends and trims, and what was looked up where");
  cli.set_version_flag("--version", "nexlume-q7-setup " NEXLUME_VERSION);
  cli.footer(app::exitStatusHelp());
  try {
    cli.parse(argc, argv);
    if (prefixOption->count() > 0 && prefix.empty()) throw CLI::ValidationError("--prefix", "the folder is empty");
  } catch (const CLI::CallForHelp&) {
    std::cout << cli.help();
    return app::kAllWritten;
  } catch (const CLI::CallForVersion&) {
    std::cout << cli.version() << "\n";
    return app::kAllWritten;
  } catch (const CLI::ParseError& error) {
    std::cerr << "nexlume-q7-setup: " << error.what() << "\nRun 'nexlume-q7-setup --help' for the options.\n";
    return app::kUsageError;
  }
  app::setVerboseOutput(verbose);
  if (prefix.empty()) prefix = defaultPrefix();
  if (prefix.empty()) {
    app::noticeLine("host not found: no Wine prefix (set --prefix, WINEPREFIX or HOME)");
    return app::kHostNotFound;
  }

  platform::setRegistryPrefix(prefix);
  platform::setDriveRoot(prefix);
  app::verboseLine("Wine prefix " + prefix + ": HKEY_LOCAL_MACHINE from " + prefix + "/system.reg, HKEY_CURRENT_USER from " +
              prefix + "/user.reg, drives through " + prefix + "/dosdevices");
  if (verbose && wineserverMayBeRunning(prefix))
    app::verboseLine("a wineserver is running for this prefix: registry changes it holds may not be in the files yet "
                "(wineserver -w waits for it to write them)");

  app::CNexlumeQ7App installer;
  installer.setDryRun(dryRun);
  // Tests shorten the wait for another run's lock.
  if (const char* wait = std::getenv("NEXLUME_RUN_LOCK_WAIT_MS"); wait != nullptr && *wait != '\0')
    installer.setRunLockWait(std::chrono::milliseconds(std::atol(wait)));
  installer.InitInstance();

  return app::exitStatusOf(installer.outcome());
}
