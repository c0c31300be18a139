#pragma once
// The debugger output channel of the progress lines.
#include <string_view>

namespace platform {

// Sends one complete line (with its CR LF) in one call: stderr on POSIX, OutputDebugStringA on Windows.
void debugOutput(std::string_view line);

}  // namespace platform
