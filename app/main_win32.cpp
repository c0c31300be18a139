// NexlumeQ7Setup.exe [/LOG[=file]] [/VERBOSE] [/DRYRUN]: the part of the application framework that a
// windowless Windows program needs. The one application object is constructed with the program's
// static data, before WinMain; WinMain reads the options, opens the log, calls the start-up operation
// and, since no main window exists, the process ends with the exit status of the run (a program of
// the GUI subsystem: `start /wait NexlumeQ7Setup.exe` waits for it and sets %ERRORLEVEL%).
#include <windows.h>
#include <shellapi.h>

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "app/NexlumeQ7App.h"
#include "app/Verbose.h"
#include "platform/Progress.h"
#include "platform/win32/WideText.h"

app::CNexlumeQ7App theApp;

namespace {

// The program's arguments as UTF-8, without the program name. "/NAME=value", the form users know
// from other setup programs, becomes "/NAME:value", the form the parser takes.
std::vector<std::string> arguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    std::string arg = platform::win32::toUtf8(wide[i]);
    if (arg.starts_with("/")) {
      const std::size_t equals = arg.find('=');
      if (equals != std::string::npos && arg.find(':') > equals) arg[equals] = ':';
    }
    args.push_back(std::move(arg));
  }
  LocalFree(wide);
  return args;
}

// %TEMP%\NexlumeQ7Setup.log, the log of /LOG without a file.
std::string defaultLogPath() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  return platform::win32::toUtf8(std::wstring(folder, length > MAX_PATH ? 0 : length)) + "NexlumeQ7Setup.log";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  bool verbose = false;
  bool dryRun = false;
  std::string logPath;
  CLI::App cli("Installs the Nexlume Q7 / Q7M support files into the Tarvel Tessaprint Dual host.", "NexlumeQ7Setup.exe");
  cli.allow_windows_style_options();
  CLI::Option* logOption =
      cli.add_option("--LOG", logPath, "write the run's lines to this file (UTF-8); without a file, %TEMP%\\NexlumeQ7Setup.log")
          ->expected(0, 1)
          ->ignore_case();
  cli.add_flag("--VERBOSE", verbose, "add what each merge keeps, appends and trims")->ignore_case();
  cli.add_flag("--DRYRUN", dryRun, "write nothing: say for each file what the run would do")->ignore_case();
  cli.set_version_flag("--VERSION", "NexlumeQ7Setup.exe " NEXLUME_VERSION);
  cli.footer(app::kExitStatusHelp);

  std::vector<std::string> args = arguments();
  std::string usageError;
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // the parser takes them last first
    cli.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    // No console: the help goes where the lines go.
    if (logOption->count() > 0) platform::openProgressLog(logPath.empty() ? defaultLogPath() : logPath);
    platform::debugOutput(cli.help());
    return app::kAllWritten;
  } catch (const CLI::CallForVersion&) {
    platform::debugOutput(cli.version() + "\r\n");
    return app::kAllWritten;
  } catch (const CLI::ParseError& error) {
    usageError = error.what();
  }
  // A log that cannot be created does not stop the run; the lines still reach the debugger channel.
  if (logOption->count() > 0) {
    if (logPath.empty()) logPath = defaultLogPath();
    if (!platform::openProgressLog(logPath)) app::noticeLine("the log " + logPath + " cannot be created");
  }
  if (!usageError.empty()) {
    app::noticeLine(usageError + " (nothing was written; the options are /LOG[=file], /VERBOSE, /DRYRUN)");
    return app::kUsageError;
  }
  app::setVerboseOutput(verbose);
  theApp.setDryRun(dryRun);
  theApp.InitInstance();
  return app::exitStatusOf(theApp.outcome());
}
