#!/bin/bash
# Installs what the build needs, then builds and runs every test twice: a normal build and an
# AddressSanitizer + UndefinedBehaviorSanitizer build, both with warnings as errors; then the
# Windows build's tests under Wine (scripts/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

"$root/scripts/install-packages.sh"

status=0
for variant in test asan; do
  build="$root/build-$variant"
  options=(-DCMAKE_BUILD_TYPE=Debug -DNEXLUME_WERROR=ON)
  if [[ $variant == asan ]]; then
    options+=(-DNEXLUME_SANITIZE=ON)
  fi
  echo "=== $variant build"
  cmake -S "$root" -B "$build" "${options[@]}"
  cmake --build "$build" -j"$jobs"
  echo "=== $variant tests"
  # The sanitizer build sweeps every third file operation of whole runs; the normal build every one.
  sweep_stride=1
  [[ $variant == asan ]] && sweep_stride=3
  if ! (cd "$build" && NEXLUME_SWEEP_STRIDE=$sweep_stride ctest --output-on-failure -j"$jobs"); then
    status=1
  fi
done

echo "=== fuzzing (20 s per harness)"
"$root/fuzz/run.sh" 20 || status=1

# The Windows build: cross-built with mingw-w64 and tested under Wine against the POSIX build above.
echo "=== windows build and tests under Wine"
"$root/scripts/test-windows.sh" || status=1
exit $status
