// Faults injected into whole runs of the installer: for every file operation k of a fresh run and of
// an update run, the k-th operation fails as an I/O error, or the process ends just before it.
// Afterwards every installed file is its old content or the complete new (fresh run) or merged
// (update run) one, so the user's media are never lost and no partial file stands under a file's
// name; a description's backup P.bak is absent or holds the complete old P; nothing outside the
// host's folders changed; and the next normal run completes with exit status 0 and the same tree as
// a run without faults.
//
// The test command sweeps nexlume-q7-setup-small (same code, small payload); full-sweep.sh sets
// NEXLUME_SWEEP_EXE to sweep the real installer. NEXLUME_SWEEP_STRIDE=n tries every n-th k only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "RunSupport.h"
#include "model/DeviceSeriesIO.h"

namespace reliability {
namespace {

const std::string kUserMedium = "User medium";
const std::string kUserMediumJapanese = "ユーザーの媒体";

std::string sweepExe() {
  const char* chosen = std::getenv("NEXLUME_SWEEP_EXE");
  return chosen != nullptr && *chosen != '\0' ? chosen : kSmallSetupExe;
}

long sweepStride() {
  const char* stride = std::getenv("NEXLUME_SWEEP_STRIDE");
  const long n = stride != nullptr ? std::atol(stride) : 1;
  return n >= 1 ? n : 1;
}

bool loadDescription(const fs::path& path, DeviceSeries& series) {
  DeviceSeriesIO2 io(path.string());
  return io.LoadDocumentWithFallback(series);
}

bool holdsUserMedium(const std::string& bytes, const fs::path& scratch) {
  writeFile(scratch, bytes);
  DeviceSeries series;
  if (!loadDescription(scratch, series)) return false;
  for (const MediaInfo& medium : series.aMediaInfoList)
    if (medium.strMediaName[0] == kUserMedium && medium.strMediaName[6] == kUserMediumJapanese) return true;
  return false;
}

// The trees the sweep compares with, made once by runs without faults.
struct References {
  TempFolder folder;
  fs::path empty;      // the example prefix, nothing installed
  fs::path installed;  // after a fresh run, each description then given a medium of the user's own
  Snapshot emptyTree;  // the tree `empty`
  Snapshot fresh;      // the tree after a fresh run
  Snapshot freshTwice; // the tree after a fresh run and an update run (each description merged with itself)
  Snapshot merged;     // the tree after an update run of `installed`
  Snapshot userOld;    // the tree `installed`
  long freshOperations = 0;
  long updateOperations = 0;
  std::string failure;  // why the references could not be made

  explicit References(const std::string& exe) {
    empty = folder / "empty";
    copyTree(kExamplePrefix, empty);
    emptyTree = snapshot(empty);
    const fs::path freshPrefix = folder / "fresh";
    copyTree(empty, freshPrefix);
    RunResult run;
    freshOperations = countFileOperations(exe, freshPrefix, &run);
    if (run.exitCode != 0) {
      failure = "the fresh run failed: " + run.errors;
      return;
    }
    fresh = snapshot(freshPrefix);
    const fs::path twicePrefix = folder / "twice";
    copyTree(freshPrefix, twicePrefix);
    run = runInstaller(exe, twicePrefix);
    if (run.exitCode != 0) {
      failure = "the second run failed: " + run.errors;
      return;
    }
    freshTwice = snapshot(twicePrefix);

    installed = folder / "installed";
    copyTree(freshPrefix, installed);
    for (const std::string& name : kDescriptions) {
      const fs::path path = installed / kDeviceFolder / name;
      DeviceSeries series;
      DeviceSeriesIO2 io(path.string());
      if (!io.LoadDocumentWithFallback(series)) {
        failure = "cannot load " + path.string() + ": " + io.lastError();
        return;
      }
      MediaInfo mine = series.aMediaInfoList.at(0);
      mine.strMediaName.fill(kUserMedium);
      mine.strMediaName[6] = kUserMediumJapanese;
      series.aMediaInfoList.front().bVisibleMedia = false;
      series.aMediaInfoList.push_back(mine);
      if (!io.SaveDocument(series)) {
        failure = "cannot plant the user's medium in " + path.string() + ": " + io.lastError();
        return;
      }
    }
    userOld = snapshot(installed);

    const fs::path mergedPrefix = folder / "merged";
    copyTree(installed, mergedPrefix);
    updateOperations = countFileOperations(exe, mergedPrefix, &run);
    if (run.exitCode != 0) {
      failure = "the update run failed: " + run.errors;
      return;
    }
    merged = snapshot(mergedPrefix);
    for (const std::string& name : kDescriptions) {
      if (!holdsUserMedium(merged[descriptionKey(name)], folder / "check.dsr")) {
        failure = "the update run without faults lost the user's medium in " + name;
        return;
      }
    }
  }
};

References& references() {
  static References instance(sweepExe());
  return instance;
}

enum class RunKind { Fresh, Update };

struct SweepCase {
  RunKind kind;
  const char* mode;  // "fail" or "exit"
};

void PrintTo(const SweepCase& c, std::ostream* out) {
  *out << (c.kind == RunKind::Fresh ? "fresh run, " : "update run, ") << c.mode;
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

// Scratch files of a merge, left by a run that ended early; the next run must remove them.
std::vector<std::string> scratchFiles(const Snapshot& tree) {
  std::vector<std::string> found;
  for (const auto& [path, bytes] : tree)
    if (path.ends_with(".dsr.tmp") || path.ends_with(".dsr.out")) found.push_back(path);
  return found;
}

TEST_P(FaultSweep, EveryFileOperationOfTheRun) {
  References& refs = references();
  ASSERT_TRUE(refs.failure.empty()) << refs.failure;
  const SweepCase sweep = GetParam();
  const bool update = sweep.kind == RunKind::Update;
  const fs::path& start = update ? refs.installed : refs.empty;
  const long operations = update ? refs.updateOperations : refs.freshOperations;
  // A fresh run installs the new descriptions; an update run keeps the user's or merges them.
  const Snapshot& before = update ? refs.userOld : Snapshot();
  const Snapshot& after = update ? refs.merged : refs.fresh;
  ASSERT_GT(operations, 50);

  const std::string exe = sweepExe();
  int failures = 0;
  long covered = 0;
  for (long k = 1; k <= operations && failures < 5; k += sweepStride()) {
    SCOPED_TRACE("fault " + std::to_string(k) + ":" + sweep.mode + " of " + std::to_string(operations));
    TempFolder folder;
    const fs::path prefix = folder / "prefix";
    copyTree(start, prefix);

    const RunResult faulted =
        runInstaller(exe, prefix, {{"NEXLUME_FAULT_AT", std::to_string(k) + ":" + sweep.mode}});
    ++covered;
    bool ok = true;
    if (faulted.signal != 0 || faulted.timedOut || faulted.exitCode < 0) {
      ADD_FAILURE() << "the run crashed or hung (signal " << faulted.signal << "): " << faulted.errors;
      ok = false;
    } else if (std::string(sweep.mode) == "exit") {
      ok = faulted.exitCode == 99;
      EXPECT_EQ(faulted.exitCode, 99) << "the process did not end at the fault";
    } else {
      // A fault on the look at the host's folder ends the run there, before anything is written (3).
      ok = faulted.exitCode == 0 || faulted.exitCode == 1 ||
           (faulted.exitCode == 3 && faulted.errors.find("(InstallPath of ") != std::string::npos &&
            snapshot(prefix) == (update ? refs.userOld : refs.emptyTree));
      EXPECT_TRUE(ok) << "exit status " << faulted.exitCode << ": " << faulted.errors;
    }

    const Snapshot tree = snapshot(prefix);
    const Snapshot& startTree = update ? refs.userOld : refs.emptyTree;
    for (const auto& [path, bytes] : tree) {
      const bool inHost = path.starts_with(kHostFolder + "/");
      const auto old = startTree.find(path);
      const auto complete = after.find(path);
      if (!inHost && (old == startTree.end() || old->second != bytes)) {
        ok = false;
        ADD_FAILURE() << path << " outside the host's folders was written";
      } else if (inHost && !path.ends_with(".bak") && !path.ends_with(".tmp") && !path.ends_with(".out") &&
                 (old == startTree.end() || old->second != bytes) && (complete == after.end() || complete->second != bytes)) {
        ok = false;
        ADD_FAILURE() << path << " is neither its old content nor the complete new one (" << bytes.size() << " bytes)";
      }
    }
    for (const std::string& name : kDescriptions) {
      // The backup is made just before P is replaced: it is absent or the complete old P.
      const auto backup = tree.find(descriptionKey(name) + ".bak");
      const auto oldP = before.find(descriptionKey(name));
      if (backup != tree.end() && (oldP == before.end() || backup->second != oldP->second)) {
        ok = false;
        ADD_FAILURE() << name << ".bak is not the complete old description";
      }
    }
    for (const std::string& name : kDescriptions) {
      const std::string key = descriptionKey(name);
      const auto now = tree.find(key);
      const auto old = before.find(key);
      const bool isOld = old == before.end() ? now == tree.end() : now != tree.end() && now->second == old->second;
      const bool isNew = now != tree.end() && now->second == after.at(key);
      if (!isOld && !isNew) {
        ok = false;
        ADD_FAILURE() << name << " is neither its old content nor the complete "
                      << (update ? "merged" : "new") << " one ("
                      << (now == tree.end() ? std::string("missing") : std::to_string(now->second.size()) + " bytes")
                      << ")\n"
                      << faulted.errors;
      }
    }

    const RunResult next = runInstaller(exe, prefix);
    if (next.exitCode != 0) {
      ok = false;
      ADD_FAILURE() << "the next normal run ended with " << next.exitCode << " (signal " << next.signal
                    << "):\n" << next.errors;
    }
    // After a fresh run, a description the faulted run had installed is merged with itself.
    const Snapshot recovered = snapshot(prefix);
    for (const auto& [path, bytes] : after) {
      // A backup is the description as the faulted run left it: checked above.
      if (path.ends_with(".bak")) continue;
      const auto now = recovered.find(path);
      const bool mergedWithItself = !update && now != recovered.end() && now->second == refs.freshTwice.at(path);
      if (now == recovered.end() || (now->second != bytes && !mergedWithItself)) {
        ok = false;
        ADD_FAILURE() << "after the next normal run " << path << " differs from a run without faults";
      }
    }
    const std::vector<std::string> left = scratchFiles(recovered);
    if (!left.empty()) {
      ok = false;
      ADD_FAILURE() << "the next normal run left " << left.front();
    }
    if (!ok) ++failures;
  }
  std::printf("[ sweep    ] %s, %s mode: %ld of %ld injection points covered\n", update ? "update run" : "fresh run",
              sweep.mode, covered, operations);
}

INSTANTIATE_TEST_SUITE_P(WholeRuns, FaultSweep,
                         ::testing::Values(SweepCase{RunKind::Fresh, "fail"}, SweepCase{RunKind::Fresh, "exit"},
                                           SweepCase{RunKind::Update, "fail"}, SweepCase{RunKind::Update, "exit"}),
                         [](const ::testing::TestParamInfo<SweepCase>& param) {
                           return std::string(param.param.kind == RunKind::Fresh ? "FreshRun" : "UpdateRun") +
                                  (std::string(param.param.mode) == "fail" ? "Failing" : "Ending");
                         });

}  // namespace
}  // namespace reliability
