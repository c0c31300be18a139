#include "app/SetupSwitches.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "app/ExitStatus.h"

namespace app {
namespace {

std::string upper(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return result;
}

// Asked for by deployment tools out of habit; this program is silent and never restarts anything.
constexpr std::array<std::string_view, 7> kSilentSwitches = {"S", "SILENT", "VERYSILENT", "QUIET", "QN", "NORESTART",
                                                             "SUPPRESSMSGBOXES"};

// "/NAME=value" to NAME (upper case) and value; false for an argument that is no switch.
bool splitSwitch(const std::string& argument, std::string& name, std::string& value, bool& hasValue) {
  std::size_t start = argument.starts_with("--") ? 2 : (argument.starts_with("/") || argument.starts_with("-")) ? 1 : 0;
  if (start == 0 || argument.size() == start) return false;
  const std::size_t separator = argument.find_first_of("=:", start);
  hasValue = separator != std::string::npos;
  name = upper(std::string_view(argument).substr(start, hasValue ? separator - start : std::string::npos));
  value = hasValue ? argument.substr(separator + 1) : std::string();
  return true;
}

}  // namespace

SetupSwitches parseSetupSwitches(const std::vector<std::string>& arguments) {
  SetupSwitches switches;
  // Every argument is read, so that a log asked for after a mistake still gets the record of it;
  // the first mistake is the one reported.
  const auto fail = [&switches](const std::string& error) {
    if (switches.error.empty()) switches.error = error;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string name;
    std::string value;
    bool hasValue = false;
    if (!splitSwitch(argument, name, value, hasValue)) {
      fail("the argument " + argument + " was not expected");
      continue;
    }
    if (name == "LOG") {
      switches.log = true;
      // "/LOG file", the form some deployment tools write, as well as "/LOG=file".
      if (!hasValue && i + 1 < arguments.size() && !arguments[i + 1].starts_with("/") && !arguments[i + 1].starts_with("-"))
        value = arguments[++i];
      if (hasValue && value.empty()) fail("the switch " + argument + " names no file");
      switches.logPath = value;
      continue;
    }
    bool* flag = name == "?" || name == "H" || name == "HELP" ? &switches.help
                 : name == "VERSION"                          ? &switches.version
                 : name == "VERBOSE"                          ? &switches.verbose
                 : name == "DRYRUN"                           ? &switches.dryRun
                                                              : nullptr;
    const bool silent = std::find(kSilentSwitches.begin(), kSilentSwitches.end(), name) != kSilentSwitches.end();
    if (flag == nullptr && !silent) {
      fail("the switch " + argument + " is not known");
    } else if (hasValue) {
      fail("the switch " + argument + " takes no value");
    } else if (flag != nullptr) {
      *flag = true;
    }
  }
  return switches;
}

std::string setupHelpText() {
  return "Installs the Nexlume Q7 / Q7M support files into Tarvel Tessaprint Dual, merging the device\n"
         "descriptions already installed so that the user's media stay. Every run is silent: no window\n"
         "opens but this help, and the computer is never restarted.\n"
         "\n"
         "NexlumeQ7Setup.exe [/LOG[=file]] [/VERBOSE] [/DRYRUN] [/VERSION] [/?]\n"
         "\n"
         "  /LOG[=file]  append a record of the run to file: a header, every line with its time,\n"
         "               and the exit status (default %TEMP%\\NexlumeQ7Setup.log). A log that\n"
         "               cannot be written stops the run with status 2 before anything is written.\n"
         "  /VERBOSE     also say what each merge keeps, appends and trims\n"
         "  /DRYRUN      write nothing: say for each file what the run would do\n"
         "  /VERSION     show the version\n"
         "  /?, /HELP    show this help\n"
         "  /S, /SILENT, /VERYSILENT, /QUIET, /qn, /NORESTART, /SUPPRESSMSGBOXES\n"
         "               accepted and ignored: the run is silent and restarts nothing anyway\n"
         "\n"
         "Switches begin with / or - and are read in any case; /LOG:file is /LOG=file.\n"
         "Run it with: start /wait NexlumeQ7Setup.exe /LOG=C:\\setup.log, then %ERRORLEVEL%.\n"
         "\n" +
         exitStatusHelp();
}

}  // namespace app
