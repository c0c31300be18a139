#pragma once
// dsrtool's subcommands: inspect, check and re-save device-series description files.
#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUnreadable = 1;  // a description did not load or save
inline constexpr int kExitUsage = 2;

// Runs `dsrtool args...` (args without the program name); writes results to out, messages to err.
int runDsrTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
