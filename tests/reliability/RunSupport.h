#pragma once
// Whole runs of the installer on Wine-style prefixes copied from examples/wine-prefix into a
// temporary folder (on the memory file system when there is one), and snapshots of the installed
// tree to compare runs by.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/DeviceSeriesIO.h"
#include "tests/e2e/ExpectedFiles.h"

namespace reliability {

namespace fs = std::filesystem;

inline const std::string kSetupExe = NEXLUME_SETUP_EXE;
inline const std::string kSmallSetupExe = NEXLUME_SETUP_SMALL_EXE;
inline const std::string kExamplePrefix = std::string(NEXLUME_SOURCE_DIR) + "/examples/wine-prefix";
// The host's folders inside a prefix made from the example.
inline const std::string kHostFolder = "drive_c/Program Files (x86)/Tarvel/Tarvel Tessaprint Dual";
inline const std::string kDeviceFolder = kHostFolder + "/Tessaprint/Device";

// The eight descriptions a run installs, by file name in the device folder, in the order of the
// end-to-end tests' table of expected files.
inline const std::vector<std::string> kDescriptions = [] {
  const std::string deviceFolder = "Tessaprint\\Device\\";
  std::vector<std::string> names;
  for (const e2e::ExpectedFile& file : e2e::kExpectedFiles) {
    const std::string path = file.relativePath;
    if (path.starts_with(deviceFolder) && path.ends_with(".dsr")) names.push_back(path.substr(deviceFolder.size()));
  }
  return names;
}();

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A folder removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder() {
    const fs::path base = ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "nexlume-reliability-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    // Give back write permission that a test took away, so that everything can be removed.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator(); ++it)
      if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Copies a prefix (or any tree) with its links as links.
inline void copyTree(const fs::path& from, const fs::path& to) {
  fs::create_directories(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

using Snapshot = std::map<std::string, std::string>;

// The regular files of the whole prefix (registry files and drive_c) by relative path, with their
// bytes; links are not followed.
inline Snapshot snapshot(const fs::path& prefix) {
  Snapshot files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(prefix))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), prefix).string()] = readFile(entry.path());
  return files;
}

inline std::string descriptionKey(const std::string& name) { return kDeviceFolder + "/" + name; }

// The name, in every language slot, of the medium of the user's own that tests plant.
inline const std::string kUserMedium = "Banner of the user";

// Adds a medium of the user's own (a copy of the first medium, renamed) to the description at `path`;
// false with `why` when it cannot be loaded or saved.
inline bool plantUserMedium(const fs::path& path, std::string& why) {
  DeviceSeries series;
  DeviceSeriesIO2 io(path.string());
  if (!io.LoadDocumentWithFallback(series) || series.aMediaInfoList.empty()) {
    why = "cannot load " + path.string() + ": " + io.lastError();
    return false;
  }
  MediaInfo mine = series.aMediaInfoList.front();
  mine.strMediaName.fill(kUserMedium);
  series.aMediaInfoList.push_back(mine);
  if (io.SaveDocument(series)) return true;
  why = "cannot save " + path.string() + ": " + io.lastError();
  return false;
}

// The host saved the description again since the update, with a comment of its own at the end: its
// merge with the new description is no longer what it holds, so the next run has a merge to write.
inline void resaveAsTheHost(const fs::path& path) { writeFile(path, readFile(path) + "<!-- saved by the host -->\n"); }

// Whether the description at `path` loads and holds the medium of the user's own.
inline bool holdsUserMedium(const fs::path& path) {
  DeviceSeries series;
  DeviceSeriesIO2 io(path.string());
  if (!io.LoadDocumentWithFallback(series)) return false;
  for (const MediaInfo& medium : series.aMediaInfoList)
    if (medium.strMediaName[0] == kUserMedium) return true;
  return false;
}

struct RunResult {
  int exitCode = -1;   // the exit status, or -1 when the process did not exit normally
  int signal = 0;      // the signal that ended it, if one did
  bool timedOut = false;
  std::string errors;  // what it wrote to stderr
};

// Whether `user` can execute `path`: every folder above it must let that user through, which a
// checkout in a private folder (root's home, a mktemp -d folder) does not.
inline bool executableBy(int user, const fs::path& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(static_cast<gid_t>(user)) != 0 || ::setuid(static_cast<uid_t>(user)) != 0) ::_exit(2);
    ::_exit(::access(path.c_str(), X_OK) == 0 ? 0 : 1);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A copy of the installer that `user` can execute, in `folder` (which the caller has given to that
// user): the build folder may sit below a folder that only root may enter. The installer carries its
// files inside itself and links pugixml statically, so the copy runs on its own. Empty when even
// the copy cannot be reached (the temporary folder itself is private).
inline fs::path installerCopyFor(int user, const std::string& exe, const fs::path& folder) {
  const fs::path copy = folder / ("setup-for-user-" + std::to_string(user));
  std::error_code error;
  fs::copy_file(exe, copy, fs::copy_options::overwrite_existing, error);
  if (error || ::chown(copy.c_str(), static_cast<uid_t>(user), static_cast<gid_t>(user)) != 0 ||
      ::chmod(copy.c_str(), 0755) != 0 || !executableBy(user, copy))
    return {};
  return copy;
}

// A run started and not yet waited for.
struct StartedRun {
  pid_t pid = -1;
  fs::path errorFile;  // where its stderr goes
};

// Starts `exe --prefix PREFIX [extra]` with `environment` added, stdout discarded and stderr kept in
// a file named after the prefix and `tag` (so that runs on one prefix can overlap). With `user` >= 0
// the installer runs as that user (the caller is root and has given the prefix and its parent
// folder to it), from a copy of the installer that the user can reach (see installerCopyFor; the
// test should skip when there is none). `inChild` runs in the child just before the installer
// starts (to set a resource limit, say).
inline StartedRun startInstaller(const std::string& exe, const fs::path& prefix,
                                 const std::vector<std::pair<std::string, std::string>>& environment = {},
                                 const std::vector<std::string>& extra = {}, int user = -1,
                                 const std::function<void()>& inChild = {}, const std::string& tag = "") {
  StartedRun run;
  run.errorFile = prefix.parent_path() / (prefix.filename().string() + tag + ".stderr");
  const std::string program = user >= 0 ? installerCopyFor(user, exe, prefix.parent_path()).string() : exe;
  run.pid = ::fork();
  if (run.pid == 0) {
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    int err = ::open(run.errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int out = ::open("/dev/null", O_WRONLY);
    if (err < 0 || out < 0) ::_exit(126);
    ::dup2(err, 2);
    ::dup2(out, 1);
    if (user >= 0 && (::setgid(static_cast<gid_t>(user)) != 0 || ::setuid(static_cast<uid_t>(user)) != 0)) ::_exit(125);
    if (inChild) inChild();
    std::vector<std::string> args = {program, "--prefix", prefix.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return run;
}

// Waits for a started run, ending it after `timeoutSeconds`.
inline RunResult finishInstaller(const StartedRun& run, int timeoutSeconds = 300) {
  RunResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(run.pid, &status, WNOHANG);
    if (done == run.pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(run.pid, SIGKILL);
      ::waitpid(run.pid, &status, 0);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.errors = readFile(run.errorFile);
  std::error_code ignored;
  fs::remove(run.errorFile, ignored);
  return result;
}

// startInstaller and finishInstaller in one.
inline RunResult runInstaller(const std::string& exe, const fs::path& prefix,
                              const std::vector<std::pair<std::string, std::string>>& environment = {},
                              const std::vector<std::string>& extra = {}, int user = -1,
                              int timeoutSeconds = 300, const std::function<void()>& inChild = {}) {
  return finishInstaller(startInstaller(exe, prefix, environment, extra, user, inChild), timeoutSeconds);
}

// The number of file operations a normal run on `prefix` performs (the run happens).
inline long countFileOperations(const std::string& exe, const fs::path& prefix, RunResult* result = nullptr) {
  const fs::path countFile = prefix.parent_path() / (prefix.filename().string() + ".count");
  RunResult run = runInstaller(exe, prefix, {{"NEXLUME_FAULT_COUNT", countFile.string()}});
  if (result != nullptr) *result = run;
  const long count = std::atol(readFile(countFile).c_str());
  std::error_code ignored;
  fs::remove(countFile, ignored);
  return count;
}

}  // namespace reliability
