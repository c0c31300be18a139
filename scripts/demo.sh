#!/bin/bash
# Installs what the build needs, builds the installer and dsrtool, and runs the installer twice on a
# copy of the demo host of examples/: a fresh install, then an update. Shows the progress lines, what
# the update changed for the media of one installed description (dsrtool diff of the file it replaced,
# P.bak, and the new P), and the tree.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-demo"

"$root/scripts/install-packages.sh" || exit 1
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNEXLUME_TESTS=OFF >/dev/null || exit 1
cmake --build "$build" -j"$(nproc)" --target nexlume-q7-setup dsrtool >/dev/null || exit 1

scratch=$(mktemp -d "${TMPDIR:-/tmp}/nexlume-demo.XXXXXX")
prefix="$scratch/wine-prefix"
cp -a "$root/examples/wine-prefix" "$prefix"
host="$prefix/drive_c/Program Files (x86)/Tarvel/Tarvel Tessaprint Dual"

run() {
  echo
  echo "=== $1: nexlume-q7-setup --prefix $prefix --verbose"
  "$build/app/nexlume-q7-setup" --prefix "$prefix" --verbose 2>&1 | tr -d '\r'
  echo "=== exit status ${PIPESTATUS[0]}"
}

description="$host/Tessaprint/Device/Nexlume Q7 D4.dsr"
run "First run (fresh install)"

# An update of the same release changes nothing; so that this one has work to do, the installed
# description is made to look like an older release (its first medium, PET Film, dried 8 s where the
# new release says 10 s), and the user hides that medium in the host.
echo
echo "=== Between the runs: PET Film made to dry 8 s (an older release) and hidden (by the user) in ${description#"$host/"}"
sed -i -e '0,/<nDryTime>10<\/nDryTime>/s//<nDryTime>8<\/nDryTime>/' \
  -e '0,/<bVisibleMedia>true<\/bVisibleMedia>/s//<bVisibleMedia>false<\/bVisibleMedia>/' "$description"
run "Second run (update)"

echo
echo "=== The media before and after the update: dsrtool diff P.bak P (P = ${description#"$host/"})"
(cd "$(dirname "$description")" && "$build/tools/dsrtool/dsrtool" diff "$(basename "$description").bak" "$(basename "$description")")
echo "=== exit status $? (0 the same media, 1 they differ, 2 trouble): the new dry time came in, the user's choice to hide PET Film stayed"

echo
echo "=== Installed tree below $host"
(cd "$host" && find . -type f -printf '%10s  %P\n' | sort -k2)
echo
echo "The demo prefix stays in $scratch"
