#!/bin/sh
# Rebuilds the eight shipped device-series descriptions into resources/Tessaprint/Device/.
# Usage: tools/make_descriptions/regenerate.sh [BUILD_FOLDER]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-"$root/build-descriptions"}
cmake -S "$root" -B "$build" -DNEXLUME_TESTS=OFF >/dev/null
cmake --build "$build" --target make_descriptions -j2
"$build/tools/make_descriptions/make_descriptions" "$root/resources/Tessaprint/Device"
