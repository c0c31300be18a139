#pragma once
// dsrtool's subcommands: inspect, check, re-save, merge and compare device-series description files.
#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUnreadable = 1;  // a description did not load or save
inline constexpr int kExitUsage = 2;
// diff's, as those of diff and cmp: the same media (kExitOk), different, or trouble (a description
// missing, unreadable or not a description).
inline constexpr int kExitDiffer = 1;
inline constexpr int kExitTrouble = 2;

// Runs `dsrtool args...` (args without the program name); "-" as the file of check or dump reads `in`.
// Writes results to out, messages to err.
int runDsrTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
