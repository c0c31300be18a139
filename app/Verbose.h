#pragma once
// Unnumbered lines on the progress channel, after the numbered line they belong to: notices, which
// every run prints (a failed or kept step, a summary), and verbose lines (what a merge did, what was
// looked up where), printed only when asked for (--verbose). Lines for the log alone (its header)
// go to the log only.
#include <string_view>

namespace app {
void setVerboseOutput(bool enabled);
bool verboseOutput();
// The name that begins every notice: "nexlume-q7-setup" unless the program sets its own.
void setProgramName(std::string_view name);
// Sends "    <text>" with CR LF on the progress channel when verbose output is on.
void verboseLine(std::string_view text);
// Sends "<program name>: <text>" with CR LF on the progress channel, always.
void noticeLine(std::string_view text);
// Sends "<text>" with CR LF to the log alone, when there is one (the Windows build's /LOG).
void logLine(std::string_view text);

}  // namespace app
