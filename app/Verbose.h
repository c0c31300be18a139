#pragma once
// Unnumbered lines about what a merge did, printed after the numbered progress line they belong to,
// only when asked for (--verbose).
#include <string_view>

void setVerboseOutput(bool enabled);
bool verboseOutput();
// Sends "    <text>" with CR LF on the progress channel when verbose output is on.
void verboseLine(std::string_view text);
