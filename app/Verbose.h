#pragma once
// Unnumbered lines on the progress channel, after the numbered line they belong to: notices, which
// every run prints (a failed or kept step, a summary), and verbose lines (what a merge did, what was
// looked up where), printed only when asked for (--verbose).
#include <string_view>

namespace app {
void setVerboseOutput(bool enabled);
bool verboseOutput();
// Sends "    <text>" with CR LF on the progress channel when verbose output is on.
void verboseLine(std::string_view text);
// Sends "nexlume-q7-setup: <text>" with CR LF on the progress channel, always.
void noticeLine(std::string_view text);

}  // namespace app
