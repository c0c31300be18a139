#pragma once
// Captures the progress lines that the code under test sends on the debugger output channel
// (stderr on POSIX, OutputDebugStringA on Windows), so that tests read them the same way.
#include <string>

namespace testprogress {

// Starts keeping every line sent from now on.
void start();
// Stops, and returns the lines kept, concatenated as they were sent.
std::string stop();

}  // namespace testprogress
