#!/bin/bash
# Regenerates the sample data under resources/ with the generators of tools/resourcegen:
# the model bitmap, the media tables, the passmasks and the ICC profiles. The output is the
# same on every run; commit what changed. (The device-series descriptions have their own generator.)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-resources"

"$root/scripts/install-packages.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNEXLUME_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target nexlume-bmpgen nexlume-mediagen nexlume-iccgen >/dev/null

device="$root/resources/Tessaprint/Device"
mkdir -p "$device"
"$build/tools/resourcegen/nexlume-bmpgen" "$device/Nexlume Q7.bmp"
"$build/tools/resourcegen/nexlume-mediagen" "$device"
"$build/tools/resourcegen/nexlume-iccgen" "$root/resources/strings.tsv" "$root/resources"
