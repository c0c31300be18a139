// NexlumeQ7Setup.exe [/LOG[=file]] [/VERBOSE] [/DRYRUN] [/VERSION] [/?]: the part of the application
// framework that a windowless Windows program needs. The one application object is constructed with
// the program's static data, before WinMain; WinMain reads the switches, opens the log, calls the
// start-up operation and, since no main window exists, the process ends with the exit status of the
// run (a program of the GUI subsystem: `start /wait NexlumeQ7Setup.exe` waits for it and sets
// %ERRORLEVEL%). The only window it ever opens is the help's or the version's message box.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "app/NexlumeQ7App.h"
#include "app/SetupSwitches.h"
#include "app/Verbose.h"
#include "platform/Progress.h"
#include "platform/win32/WideText.h"
#include "xmlio/Dom.h"

app::CNexlumeQ7App theApp;

namespace {

constexpr const char* kProgramName = "NexlumeQ7Setup";

// The program's arguments as UTF-8, without the program name.
std::vector<std::string> arguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) args.push_back(platform::win32::toUtf8(wide[i]));
  LocalFree(wide);
  return args;
}

// %TEMP%\NexlumeQ7Setup.log, the log of /LOG without a file.
std::string defaultLogPath() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  return platform::win32::toUtf8(std::wstring(folder, length > MAX_PATH ? 0 : length)) + "NexlumeQ7Setup.log";
}

// The file version of the program's own version resource, "1.0.0.0"; empty when it has none.
std::string fileVersion() {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(path, &ignored));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (data.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(data.size()), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size) || size < sizeof *info)
    return {};
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{HIWORD(info->dwFileVersionMS)}, unsigned{LOWORD(info->dwFileVersionMS)},
                unsigned{HIWORD(info->dwFileVersionLS)}, unsigned{LOWORD(info->dwFileVersionLS)});
  return text;
}

// "2026-12-11 05:30:01 +01:00": the local time now, with its offset from UTC.
std::string localTimeWithOffset() {
  FILETIME utc{};
  FILETIME local{};
  GetSystemTimeAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME now{};
  FileTimeToSystemTime(&local, &now);
  const auto ticks = [](const FILETIME& time) {
    return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  };
  const long long offsetMinutes = (ticks(local) - ticks(utc)) / (10'000'000LL * 60);
  const long long magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[48];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u %c%02lld:%02lld", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  return text;
}

// "NAME (elevated)" or "NAME (not elevated)": whose rights the run writes with.
std::string userAndElevation() {
  wchar_t name[257] = {};
  DWORD length = 257;
  std::string user = GetUserNameW(name, &length) ? platform::win32::toUtf8(name) : std::string("(unknown)");
  HANDLE token = nullptr;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  std::string state = "elevation unknown";
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size))
      state = elevation.TokenIsElevated != 0 ? "elevated" : "not elevated";
    CloseHandle(token);
  }
  return user + " (" + state + ")";
}

// The Windows version as the system itself reports it (RtlGetVersion does not depend on the
// program's manifest, as GetVersionEx does).
std::string windowsVersion() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto rtlGetVersion =
      ntdll != nullptr ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                       : nullptr;
  if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return "unknown";
  return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + " build " +
         std::to_string(info.dwBuildNumber);
}

// The head of one run's block in the log; the run adds the host's key and folder once it found them.
bool writeLogHeader() {
  const std::string lines[] = {
      "",
      "=== " + std::string(kProgramName) + ".exe " NEXLUME_VERSION " (file version " + fileVersion() + "), started " +
          localTimeWithOffset(),
      "Command line: " + platform::win32::toUtf8(GetCommandLineW()),
      "User:         " + userAndElevation(),
      "Windows:      " + windowsVersion(),
      "XML DOM:      " + std::string(dom::domComponentName()),
  };
  for (const std::string& line : lines)
    if (!platform::logOutput(line + "\r\n")) return false;
  return true;
}

// The block's last line: the status and what it means.
int finish(int status) {
  app::logLine("=== exit status " + std::to_string(status) + ": " + app::exitStatusMeaning(status));
  return status;
}

// The help or the version, in a message box (the program has no console), on the debugger channel
// and in the log.
int show(const std::string& text) {
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    platform::debugOutput(text.substr(start, end - start) + "\r\n");
    start = end + 1;
  }
  MessageBoxW(nullptr, platform::win32::toWide(text).c_str(), L"Nexlume Q7 Setup", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
  return finish(app::kAllWritten);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  app::setProgramName(kProgramName);
  const app::SetupSwitches switches = app::parseSetupSwitches(arguments());

  // A deployment tool that asks for a log relies on it: without one, nothing is done.
  if (switches.log) {
    const std::string logPath = switches.logPath.empty() ? defaultLogPath() : switches.logPath;
    std::string why;
    if (!platform::openProgressLog(logPath, why)) {
      app::noticeLine("the log " + logPath + " cannot be created: " + why + "; nothing was written");
      return app::kUsageError;
    }
    if (!writeLogHeader()) {
      app::noticeLine("the log " + logPath + " cannot be written; nothing was written");
      return app::kUsageError;
    }
  }
  if (!switches.error.empty()) {
    app::noticeLine(switches.error + " (nothing was written; NexlumeQ7Setup.exe /? shows the switches)");
    return finish(app::kUsageError);
  }
  if (switches.help) return show(app::setupHelpText());
  if (switches.version) return show(std::string(kProgramName) + ".exe " NEXLUME_VERSION " (file version " + fileVersion() + ")\n");

  app::setVerboseOutput(switches.verbose);
  theApp.setDryRun(switches.dryRun);
  theApp.InitInstance();
  return finish(app::exitStatusOf(theApp.outcome()));
}
