#pragma once
// The debugger output channel of the progress lines.
#include <string>
#include <string_view>

namespace platform {

// Sends one complete line (with its CR LF) in one call: stderr on POSIX; on Windows the debugger
// channel (OutputDebugStringW) and the log file, when one is open.
void debugOutput(std::string_view line);

// Windows build: from now on every line also goes to the log file at `path` (created or truncated;
// UTF-8, each line with its one CR LF). False when the file cannot be created; the lines then go to
// the debugger channel only.
bool openProgressLog(const std::string& path);

}  // namespace platform
