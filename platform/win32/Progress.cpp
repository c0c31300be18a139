#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/Progress.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

HANDLE& progressLog() {
  static HANDLE log = INVALID_HANDLE_VALUE;
  return log;
}

// "2026-12-11 05:30:01.123 ": the local time of a line in the log.
std::string timeStamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

}  // namespace

// The debugger output channel takes UTF-16, so that non-ASCII paths arrive intact; the same line,
// after its time stamp, goes to the log, when there is one.
void debugOutput(std::string_view line) {
  OutputDebugStringW(win32::toWide(line).c_str());
  if (progressLog() != INVALID_HANDLE_VALUE) logOutput(timeStamp().append(line));
}

bool logOutput(std::string_view line) {
  if (progressLog() == INVALID_HANDLE_VALUE) return true;
  DWORD written = 0;
  return WriteFile(progressLog(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != FALSE &&
         written == line.size();
}

// Appending only: each run adds its block after the earlier ones, which stay as they were.
bool openProgressLog(const std::string& path, std::string& why) {
  HANDLE log = CreateFileW(win32::toWide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) {
    why = win32::systemErrorText(GetLastError());
    return false;
  }
  if (progressLog() != INVALID_HANDLE_VALUE) CloseHandle(progressLog());
  progressLog() = log;
  return true;
}

}  // namespace platform
