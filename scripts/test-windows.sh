#!/bin/bash
# The Windows build, tested under Wine: installs the mingw-w64 cross toolchain and Wine when they are
# missing, cross-builds NexlumeQ7Setup.exe, dsrtool.exe and the unit tests (build-win), runs the unit
# tests under Wine, where the DOM is Wine's MSXML 4.0, and the end-to-end test
# (tests/windows/wine-e2e.sh), which compares the Windows installer with the POSIX build's
# nexlume-q7-setup. Xvfb gives the end-to-end test an X server on which the help's message box can be
# seen and closed.
#   NEXLUME_NATIVE_BUILD  the POSIX build folder to compare with (default build-test, the one
#                         scripts/test.sh makes; its installer and dsrtool are built if needed)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

packages=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 wine googletest cmake perl xvfb)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "=== installing ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

native="${NEXLUME_NATIVE_BUILD:-$root/build-test}"
echo "=== POSIX installer and dsrtool for the comparison ($native)"
if [[ ! -f $native/CMakeCache.txt ]]; then
  "$root/scripts/install-packages.sh"
  cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Debug
fi
cmake --build "$native" -j"$jobs" --target nexlume-q7-setup dsrtool

echo "=== Windows build"
cmake -S "$root" -B "$root/build-win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Debug -DNEXLUME_WERROR=ON -DNEXLUME_NATIVE_BUILD_DIR="$native"
cmake --build "$root/build-win" -j"$jobs"

# One Wine prefix for the whole run (booting one takes a while): the unit tests run in it, and the
# end-to-end test starts from a copy of it.
wine_home=$(mktemp -d "${TMPDIR:-/tmp}/nexlume-wine.XXXXXX")
export WINEPREFIX="$wine_home/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export NEXLUME_WINE_TEMPLATE="$wine_home/template"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$wine_home"
}
trap cleanup EXIT
echo "=== Wine prefix"
wineboot --init >/dev/null 2>&1
wineserver -w
cp -a "$WINEPREFIX" "$NEXLUME_WINE_TEMPLATE"
# A server that stays, with the prefix's services started once: each test process then starts
# quickly, and no process it leaves behind holds the pipes through which CTest reads its output.
wineserver -p >/dev/null 2>&1
wineboot >/dev/null 2>&1

echo "=== Windows tests under Wine"
cd "$root/build-win"
ctest --output-on-failure -j"$jobs"
