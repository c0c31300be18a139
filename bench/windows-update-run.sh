#!/bin/bash
# bench/windows-update-run.sh WIN_BUILD WORK OUT_MD — figure 7 of scripts/bench.sh: the Windows
# installer's update run over eight installed descriptions against its floor (the same DOM work with
# MSXML and none of the project's code: 16 loads, 8 saves), both under the same Wine in one hyperfine
# run, in a fresh prefix of its own. Writes a Markdown paragraph to OUT_MD.
set -euo pipefail
win_build=$1 work=$2 out=$3
setup="$win_build/app/NexlumeQ7Setup.exe"
floor="$win_build/bench/nexlume-windows-update-floor.exe"
export WINEPREFIX="$work/wine-bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1
wineserver -w
key='HKLM\Software\Tarvel\Tarvel Tessaprint Dual'
add() { wine reg add "$key\\$1" /v "$2" /t REG_SZ /d "$3" /f /reg:32 >/dev/null 2>&1; }
add User InkConfig "DURA-UV4 CMYK"
add User Language English
add User Model "Nexlume Q7"
add Installer CompanyName "Tarvel Imaging"
add Installer InstallPath 'C:\Program Files (x86)\Tarvel\Tarvel Tessaprint Dual\'
wineserver -w
host="$WINEPREFIX/drive_c/Program Files (x86)/Tarvel/Tarvel Tessaprint Dual"
mkdir -p "$host/Tessaprint/Device" "$host/Profiles" "$WINEPREFIX/drive_c/floor-new" "$WINEPREFIX/drive_c/floor-out"
cp "$(dirname "$0")/../resources/Tessaprint/Device/"*.dsr "$WINEPREFIX/drive_c/floor-new/"
wineserver -p >/dev/null 2>&1  # one server for all runs
wine "$setup" && wine "$setup"  # a fresh install, then an update: from here on steady
hyperfine --warmup 1 --runs "${BENCH_WINE_RUNS:-5}" --export-json "$work/windows-hyperfine.json" --style basic \
  -n update-run "wine '$setup'" \
  -n floor "wine '$floor' 'C:\\Program Files (x86)\\Tarvel\\Tarvel Tessaprint Dual\\Tessaprint\\Device' 'C:\\floor-new' 'C:\\floor-out'" \
  >/dev/null
wineserver -k || true
python3 - "$work/windows-hyperfine.json" >"$out" <<'PY'
import json, sys
by = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
u, f = by["update-run"], by["floor"]
ratio = u["median"] / f["median"]
print("**7. The Windows update run under Wine** over eight installed descriptions, against its floor (the same "
      "DOM work with MSXML and none of the project's code: create, load the installed and the new description, "
      "save one, eight times), wall clock, median of the runs, both in one hyperfine run:\n")
print("| figure | ours | floor | ratio | goal | |\n|---|---|---|---|---|---|")
print(f"| NexlumeQ7Setup.exe update run / floor | {u['median']:.2f} s | {f['median']:.2f} s | {ratio:.2f}x | <= 1.1x | "
      f"{'met' if ratio <= 1.1 else 'missed'} |\n")
PY
