#!/bin/bash
# fuzz/run.sh [SECONDS] [HARNESS...] — builds the libFuzzer harnesses (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs each (or the ones named: description, escaped,
# base64, registry, verdict) for SECONDS (default 20) on a copy of its
# committed corpus. New inputs go to build-fuzz/corpus/<harness>; a crash leaves its input in
# build-fuzz/findings/ and makes the script fail. Long runs: fuzz/run.sh 600.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
harnesses=("${@:2}")
[[ ${#harnesses[@]} -eq 0 ]] && harnesses=(description escaped base64 registry verdict)
build="$root/build-fuzz"
jobs=${FUZZ_BUILD_JOBS:-2}

if ! command -v clang++ >/dev/null; then
  echo "fuzz/run.sh: clang++ is needed (Debian: clang libclang-rt-14-dev)" >&2
  exit 1
fi
mkdir -p "$build"
if ! { CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" &&
       cmake --build "$build" -j"$jobs" --target fuzz_description fuzz_escaped fuzz_base64 fuzz_registry fuzz_verdict; } \
     >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log" >&2
  exit 1
fi

mkdir -p "$build/findings"
# The cut-down shipped descriptions seed the description harness too.
declare -A extra_seeds=([description]="$root/tests/reliability/fixtures" [verdict]="$root/fuzz/corpus/description")
status=0
for harness in "${harnesses[@]}"; do
  corpus="$build/corpus/$harness"
  mkdir -p "$corpus"
  max_len=4096
  [[ $harness == description ]] && max_len=65536
  echo "=== fuzz_$harness for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/fuzz_$harness" "$corpus" "$root/fuzz/corpus/$harness" ${extra_seeds[$harness]:-} \
      -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/findings/$harness-" -print_final_stats=1 2>"$build/fuzz_$harness.log"; then
    status=1
    echo "fuzz_$harness: FINDING (see $build/fuzz_$harness.log and $build/findings/)" >&2
    tail -40 "$build/fuzz_$harness.log" >&2
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+ *DONE" "$build/fuzz_$harness.log" || true
done
exit $status
