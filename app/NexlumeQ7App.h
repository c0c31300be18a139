#pragma once
// The application object: its start-up operation performs the whole installation run.
#include <chrono>
#include <string>
#include <vector>

#include "app/WinApp.h"

namespace app {
struct ExtractionResult;
struct MergeOutcome;
// What the probe of an installed description found.
enum class InstalledDescription {
  Absent,      // nothing at the path: the new description is written
  Short,       // it opened and one read from its start gave fewer than 1024 bytes: it is replaced
  Merge,       // one read from its start gave exactly 1024 bytes: it is merged
  Unreadable,  // something is there that could not be opened or read (held open by another
               // process, no access, an I/O error), or that is no plain file (a link, which is
               // never read through, a FIFO, a device, a folder): it is kept, with the reason
};

// The write-or-merge decision's probe: opens the file at `targetPath` (read only, no sharing) and
// reads up to 1024 bytes from its start in one read. `whyUnreadable`, when given, receives the
// system's reason when the file could not be opened or read, and `inUse` whether that was because
// another program holds the file open.
InstalledDescription ProbeInstalledDescription(const std::string& targetPath, std::string* whyUnreadable = nullptr,
                                               bool* inUse = nullptr);

class CNexlumeQ7App : public CWinApp {
 public:
  enum class RunOutcome {
    NotRun,
    HostNotFound,           // a host lookup failed, or the host's folder is missing; nothing was written
    HostBusy,               // another run on the host held the run lock too long; nothing was written
    RunLockUnavailable,     // the run lock could not be taken for another reason than a busy run;
                            // nothing was written
    Completed,              // every file was written or merged
    CompletedWithFailures,  // the run finished, at least one file or merge failed
    CompletedFilesInUse,    // the run finished, and every step that failed found its file held open
  };

  CNexlumeQ7App() : CWinApp(nullptr) {}
  ~CNexlumeQ7App() override = default;

  // Host lookup, then the 55 steps of the plan; returns kTrue in every case.
  winapp::BOOL InitInstance() override;

  RunOutcome outcome() const { return outcome_; }
  // Why the host or its folder was not found (one line), when outcome() is HostNotFound.
  const std::string& hostLookupFailure() const { return hostLookupFailure_; }
  // Why the run lock could not be taken (one line), when outcome() is HostBusy or RunLockUnavailable.
  const std::string& runLockFailure() const { return runLockFailure_; }

  // How long a run waits for another run on the same host to end before it gives up.
  void setRunLockWait(std::chrono::milliseconds wait) { runLockWait_ = wait; }
  // A dry run looks the host up and goes through the whole plan without creating, writing, renaming
  // or deleting anything: one numbered line per file says what the run would do, and the outcome is
  // what the run would report where that can be foreseen.
  void setDryRun(bool dryRun) { dryRun_ = dryRun; }

 private:
  // A step's outcome; `problem` is its unnumbered line after the path ("kept unchanged: ...").
  struct StepResult {
    bool succeeded = true;
    std::string problem;
    bool inUse = false;  // it failed only because another program holds the file open
  };
  // The failed step of a file that another program holds open: `outcome` ("not installed") and who
  // holds it, with what the user can do.
  static StepResult inUseStep(const std::string& targetPath, const std::string& outcome);

  void runPlan(const std::string& installPath);
  // Step `number` of the plan writes one file (the dry run: foresees what writing it would meet).
  StepResult installFile(const std::string& targetPath, int resourceId, int number);
  // Merges, writes or keeps one description as its probe says (the dry run: foresees which, and how
  // it would end).
  StepResult installDescription(const std::string& targetPath, int resourceId, int number);
  // The step's result of a merge's outcome, and the dry run's numbered line for it.
  StepResult mergeStep(const std::string& targetPath, int number, const MergeOutcome& outcome);
  // The dry run's counterpart of an extraction: what writing the file would meet, with its numbered
  // line saying what would happen.
  ExtractionResult foreseeExtraction(const std::string& targetPath, int resourceId, int number);
  static void dryRunLine(int number, const std::string& targetPath, const std::string& action);

  RunOutcome outcome_ = RunOutcome::NotRun;
  std::chrono::milliseconds runLockWait_ = std::chrono::minutes(2);
  bool dryRun_ = false;
  std::vector<std::string> plannedFolders_;  // profile folders a dry run would create
  std::string hostLookupFailure_;
  std::string runLockFailure_;
  RunOutcome planOutcome_ = RunOutcome::Completed;  // what the plan's steps came to
};

}  // namespace app
