#include <windows.h>

#include <string>

#include "platform/Progress.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

HANDLE& progressLog() {
  static HANDLE log = INVALID_HANDLE_VALUE;
  return log;
}

}  // namespace

// The debugger output channel takes UTF-16, so that non-ASCII paths arrive intact; the same bytes
// go to the log, when there is one.
void debugOutput(std::string_view line) {
  OutputDebugStringW(win32::toWide(line).c_str());
  if (progressLog() != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(progressLog(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
}

bool openProgressLog(const std::string& path) {
  HANDLE log = CreateFileW(win32::toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return false;
  if (progressLog() != INVALID_HANDLE_VALUE) CloseHandle(progressLog());
  progressLog() = log;
  return true;
}

}  // namespace platform
