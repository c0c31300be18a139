#include "app/Verbose.h"

#include <string>

#include "platform/Progress.h"

namespace app {
namespace {
bool g_verbose = false;
}

void setVerboseOutput(bool enabled) { g_verbose = enabled; }

bool verboseOutput() { return g_verbose; }

void verboseLine(std::string_view text) {
  if (!g_verbose) return;
  std::string line = "    ";
  line += text;
  line += "\r\n";
  platform::debugOutput(line);
}

void noticeLine(std::string_view text) {
  std::string line = "nexlume-q7-setup: ";
  line += text;
  line += "\r\n";
  platform::debugOutput(line);
}

}  // namespace app
