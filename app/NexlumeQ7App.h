#pragma once
// The application object: its start-up operation performs the whole installation run.
#include <string>

#include "app/WinApp.h"

class CNexlumeQ7App : public CWinApp {
 public:
  enum class RunOutcome {
    NotRun,
    HostNotFound,           // a host lookup failed; nothing was written
    Completed,              // every file was written or merged
    CompletedWithFailures,  // the run finished, at least one file or merge failed
  };

  CNexlumeQ7App() : CWinApp(nullptr) {}
  ~CNexlumeQ7App() override = default;

  // Host lookup, then the 55 steps of the plan; returns TRUE in every case.
  BOOL InitInstance() override;

  RunOutcome outcome() const { return outcome_; }
  // Why the host was not found (one line), when outcome() is HostNotFound.
  const std::string& hostLookupFailure() const { return hostLookupFailure_; }

 private:
  void runPlan(const std::string& installPath);
  // Merges an installed description that delivers exactly 1024 bytes to one read, else writes it.
  bool writeOrMergeDescription(const std::string& targetPath, int resourceId);

  RunOutcome outcome_ = RunOutcome::NotRun;
  std::string hostLookupFailure_;
  bool everyFileSucceeded_ = true;
};
