#include <windows.h>

#include <string>

#include "platform/Progress.h"

namespace platform {

// The debugger output channel takes a terminated string: the line is copied once to add the zero.
void debugOutput(std::string_view line) { OutputDebugStringA(std::string(line).c_str()); }

}  // namespace platform
