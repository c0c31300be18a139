#!/bin/bash
# tests/reliability/full-sweep.sh [BUILD_FOLDER] — the fault sweep of the test command, over the
# real installer with its full payload instead of its small twin: every file operation of a fresh
# run and of an update run, failing and ending there. Takes about a quarter of an hour on a Release
# build (BUILD_FOLDER, default build-bench), much longer on a sanitizer build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build-bench}
cmake --build "$build" -j"${BUILD_JOBS:-2}" --target reliability_tests nexlume-q7-setup
NEXLUME_SWEEP_EXE="$build/app/nexlume-q7-setup" \
  "$build/tests/reliability/reliability_tests" --gtest_filter='WholeRuns/*'
