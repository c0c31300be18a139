#pragma once
// The debugger output channel of the progress lines, and the Windows build's log.
#include <string>
#include <string_view>

namespace platform {

// Sends one complete line (with its CR LF) in one call: stderr on POSIX; on Windows the debugger
// channel (OutputDebugStringW) and, with a local time stamp in front ("2026-12-11 05:30:01.123 "),
// the log file when one is open.
void debugOutput(std::string_view line);

// Windows build: from now on every line also goes to the log file at `path`, appended after what it
// holds (created when missing; UTF-8). False, with the system's reason in `why`, when it cannot be
// opened for appending.
bool openProgressLog(const std::string& path, std::string& why);

// A line (with its CR LF) for the log alone, as it is: the log's header and closing line. False when
// the log did not take it whole; true when there is no log (POSIX: there never is).
bool logOutput(std::string_view line);

}  // namespace platform
