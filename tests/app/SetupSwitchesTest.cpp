// The Windows installer's command line: the switches an admin or a deployment tool types.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SetupSwitches.h"

using app::parseSetupSwitches;
using app::SetupSwitches;

namespace {

// The switches that were set, as "help version verbose dryrun log=<file>", in that order.
std::string setSwitches(const SetupSwitches& s) {
  std::string shown;
  const auto add = [&shown](bool set, const std::string& name) {
    if (set) shown += (shown.empty() ? "" : " ") + name;
  };
  add(s.help, "help");
  add(s.version, "version");
  add(s.verbose, "verbose");
  add(s.dryRun, "dryrun");
  add(s.log, "log=" + s.logPath);
  return shown;
}

TEST(SetupSwitches, TheSwitchesInEveryAcceptedSpelling) {
  const struct {
    std::vector<std::string> arguments;
    std::string expected;
  } cases[] = {
      {{}, ""},
      {{"/?"}, "help"},
      {{"-?"}, "help"},
      {{"/HELP"}, "help"},
      {{"/help"}, "help"},
      {{"-h"}, "help"},
      {{"--help"}, "help"},
      {{"/VERSION"}, "version"},
      {{"-Version"}, "version"},
      {{"/verbose", "/DryRun"}, "verbose dryrun"},
      {{"/LOG"}, "log="},
      {{"/LOG=C:\\logs\\setup.log"}, "log=C:\\logs\\setup.log"},
      {{"/log:C:\\logs\\setup.log"}, "log=C:\\logs\\setup.log"},
      {{"-LOG=D:\\a b\\x=y.log"}, "log=D:\\a b\\x=y.log"},
      {{"/LOG", "C:\\setup.log", "/VERBOSE"}, "verbose log=C:\\setup.log"},
      {{"/LOG", "/VERBOSE"}, "verbose log="},
      // Silent-install switches of other setup programs change nothing.
      {{"/S", "/SILENT", "/VERYSILENT", "/QUIET", "/qn", "/NORESTART", "/SUPPRESSMSGBOXES"}, ""},
      {{"-s", "-silent", "-verysilent", "-quiet", "-QN", "-norestart", "-suppressmsgboxes"}, ""},
      {{"/qn", "/LOG=C:\\x.log"}, "log=C:\\x.log"},
  };
  for (const auto& c : cases) {
    const std::string shown = c.arguments.empty() ? "(none)" : c.arguments.front() + (c.arguments.size() > 1 ? " ..." : "");
    const SetupSwitches got = parseSetupSwitches(c.arguments);
    EXPECT_EQ(got.error, "") << shown;
    EXPECT_EQ(setSwitches(got), c.expected) << shown;
  }
}

TEST(SetupSwitches, WhatIsNotUnderstoodIsNamed) {
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"/BOGUS"}, "the switch /BOGUS is not known"},
      {{"/SILENTLY"}, "the switch /SILENTLY is not known"},
      {{"setup.log"}, "the argument setup.log was not expected"},
      {{"/"}, "the argument / was not expected"},
      {{"/VERBOSE=yes"}, "the switch /VERBOSE=yes takes no value"},
      {{"/qn:1"}, "the switch /qn:1 takes no value"},
      {{"/LOG="}, "the switch /LOG= names no file"},
      // The first mistake is reported; a log asked for after it is still opened.
      {{"/X", "/Y", "/LOG=C:\\x.log"}, "the switch /X is not known"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseSetupSwitches(c.arguments).error, c.error) << c.arguments.front();
  }
  EXPECT_TRUE(parseSetupSwitches({"/X", "/LOG=C:\\x.log"}).log);
}

TEST(SetupSwitches, TheHelpShowsTheWindowsSyntaxAndEveryExitStatus) {
  const std::string help = app::setupHelpText();
  for (const char* shown : {"/LOG[=file]", "%TEMP%\\NexlumeQ7Setup.log", "/VERBOSE", "/DRYRUN", "/VERSION", "/?, /HELP",
                            "/S, /SILENT, /VERYSILENT, /QUIET, /qn, /NORESTART, /SUPPRESSMSGBOXES", "start /wait",
                            "%ERRORLEVEL%", "  0 every file", "  1 some file", "  2 usage error", "  3 host",
                            "  4 another run", "  5 files in use by another program"})
    EXPECT_NE(help.find(shown), std::string::npos) << shown;
  EXPECT_EQ(help.find("--LOG"), std::string::npos) << "no POSIX option syntax";
}

}  // namespace
