#include "app/Verbose.h"

#include <string>

#include "platform/Progress.h"

namespace app {
namespace {
bool g_verbose = false;
std::string& programName() {
  static std::string name = "nexlume-q7-setup";
  return name;
}
}  // namespace

void setVerboseOutput(bool enabled) { g_verbose = enabled; }

bool verboseOutput() { return g_verbose; }

void setProgramName(std::string_view name) { programName() = name; }

void verboseLine(std::string_view text) {
  if (!g_verbose) return;
  std::string line = "    ";
  line += text;
  line += "\r\n";
  platform::debugOutput(line);
}

void noticeLine(std::string_view text) {
  std::string line = programName() + ": ";
  line += text;
  line += "\r\n";
  platform::debugOutput(line);
}

void logLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  platform::logOutput(line);
}

}  // namespace app
