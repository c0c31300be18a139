#pragma once
// Running nexlume-q7-setup on a prefix, and the files a run is expected to write.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedFiles.h"
#include "tests/support/TestFiles.h"

namespace e2e {

inline std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct RunResult {
  int exitStatus = -1;
  std::vector<std::string> lines;  // stderr, split at LF (each keeps its CR)
  std::string stdoutText;
};

// Runs the installer with `arguments` and the environment assignments `environment` ("NAME=value").
inline RunResult runSetup(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {}) {
  testfiles::TempFolder scratch;
  std::string command = "env";
  for (const std::string& assignment : environment) command += " " + shellQuoted(assignment);
  command += " " + shellQuoted(NEXLUME_SETUP_EXE);
  for (const std::string& argument : arguments) command += " " + shellQuoted(argument);
  command += " >" + shellQuoted(scratch / "out") + " 2>" + shellQuoted(scratch / "err") + " </dev/null";
  int status = std::system(command.c_str());
  RunResult result;
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::istringstream err(testfiles::readFile(scratch / "err"));
  for (std::string line; std::getline(err, line);) result.lines.push_back(line);
  result.stdoutText = testfiles::readFile(scratch / "out");
  return result;
}

// One file of the expected table, with the data file under resources/ that should arrive there.
struct ExpectedInstall {
  std::string relativePath;  // "Tessaprint\Device\Nexlume Q7.bmp"
  std::string sourcePath;    // the file under resources/
};

// The 52 files of the expected table in order, with the files of resources/files.tsv behind their
// resources (which data file stands behind a resource is the project's data, not the plan). A
// resource that files.tsv does not name fails the calling test.
inline std::vector<ExpectedInstall> expectedFiles() {
  std::map<int, std::string> sources;
  std::istringstream manifest(testfiles::readFile(std::string(NEXLUME_SOURCE_DIR) + "/resources/files.tsv"));
  for (std::string line; std::getline(manifest, line);) {
    std::size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    sources[std::stoi(line.substr(0, tab))] = std::string(NEXLUME_SOURCE_DIR) + "/resources/" + line.substr(tab + 1);
  }
  std::vector<ExpectedInstall> files;
  for (const ExpectedFile& expected : kExpectedFiles) {
    auto source = sources.find(expected.resourceId);
    if (source == sources.end())
      ADD_FAILURE() << "resource " << expected.resourceId << " of " << expected.relativePath << " is not in resources/files.tsv";
    files.push_back({expected.relativePath, source == sources.end() ? std::string() : source->second});
  }
  return files;
}

inline std::string nativeRelative(std::string windowsPath) {
  for (char& c : windowsPath)
    if (c == '\\') c = '/';
  return windowsPath;
}

}  // namespace e2e
