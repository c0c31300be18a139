#pragma once
// The command line of NexlumeQ7Setup.exe, in the switch syntax of Windows setup programs:
// "/NAME" or "-NAME" (also "--NAME"), any case, a value after "=" or ":" ("/LOG=C:\setup.log").
#include <string>
#include <vector>

namespace app {

struct SetupSwitches {
  bool help = false;     // /?, /HELP, -h, --help
  bool version = false;  // /VERSION
  bool verbose = false;  // /VERBOSE
  bool dryRun = false;   // /DRYRUN
  bool log = false;      // /LOG, with or without a file
  std::string logPath;   // the file after /LOG; empty: the default log
  std::string error;     // what was not understood, in one line; empty when all was
};

// Reads the arguments after the program name. The switches of other setup programs that ask for a
// silent run without restart (/S, /SILENT, /VERYSILENT, /QUIET, /qn, /NORESTART, /SUPPRESSMSGBOXES)
// are accepted and change nothing: every run is silent and none restarts the computer.
SetupSwitches parseSetupSwitches(const std::vector<std::string>& arguments);

// The help, in the switch syntax above, with the exit statuses.
std::string setupHelpText();

}  // namespace app
