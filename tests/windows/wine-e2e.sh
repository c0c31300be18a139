#!/bin/bash
# End-to-end test of the Windows installer under Wine:
#   wine-e2e.sh SETUP_EXE NATIVE_BUILD_DIR WINDOW_PROBE_EXE HOLD_FILES_EXE
# In a fresh Wine prefix (a temporary folder; a copy of $NEXLUME_WINE_TEMPLATE when that names an
# already booted prefix, else booted here) the host is registered with `wine reg add ... /reg:32`,
# as its 32-bit installer would have done. NexlumeQ7Setup.exe then runs twice (a fresh install, then
# merges), and its progress lines are read from Wine's debugger channel (OutputDebugStringW, which
# Wine traces as OutputDebugStringA on its seh channel: WINEDEBUG=warn+seh).
# The POSIX build (NATIVE_BUILD_DIR/app/nexlume-q7-setup) runs the same way on a copy of the same
# prefix: both must print the same lines, leave identical plain files and descriptions that are
# equal as documents (dsrtool dump of both gives the same record).
# What an admin meets is tested too: the help's message box (seen and closed by WINDOW_PROBE_EXE on
# an X server of its own, Xvfb), the silent switches, the appended log, a log that cannot be created,
# a missing host folder, and files held open by a stand-in for the host (HOLD_FILES_EXE).
set -uo pipefail

if [[ $# -ne 4 ]]; then
  echo "usage: $0 SETUP_EXE NATIVE_BUILD_DIR WINDOW_PROBE_EXE HOLD_FILES_EXE" >&2
  exit 2
fi
window_probe=$(realpath "$3")
hold_files=$(realpath "$4")
setup_exe=$(realpath "$1")
native_setup=$(realpath "$2/app/nexlume-q7-setup")
dsrtool=$(realpath "$2/tools/dsrtool/dsrtool")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/nexlume-wine-e2e.XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installers in a test prefix
xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1
  [[ -d $work/gui-prefix ]] && WINEPREFIX="$work/gui-prefix" wineserver -k >/dev/null 2>&1
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
# check DESCRIPTION COMMAND...: one named check, counted.
check() {
  local description=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $description"
  else
    failed=$((failed + 1))
    echo "FAILED: $description"
  fi
}

host_key='HKLM\Software\Tarvel\Tarvel Tessaprint Dual'
install_path='C:\Program Files (x86)\Tarvel\Tarvel Tessaprint Dual\'
install_folder_of() { echo "$1/drive_c/Program Files (x86)/Tarvel/Tarvel Tessaprint Dual"; }

# The progress lines on Wine's debugger channel, unescaped, one per line with their CR LF.
# A line that Wine cut short ends in "..." after the quote and is kept as it was, so it fails.
debug_lines() {
  perl -ne '
    next unless /:OutputDebugStringA "(.*)"(\.\.\.)?$/;
    my ($text, $cut) = ($1, $2);
    if ($cut) { print "CUT: $text\n"; next; }
    $text =~ s/\\(x([0-9a-fA-F]{2})|.)/defined $2 ? chr(hex $2) : ($1 eq "r" ? "\r" : $1 eq "n" ? "\n" : $1 eq "t" ? "\t" : $1)/ge;
    print $text;' "$1"
}

# Runs the Windows installer with the options after $1; its lines go to $1, its exit status to $1.status.
run_windows() {
  local out=$1
  shift
  WINEDEBUG=-all,warn+seh wine "$setup_exe" "$@" >/dev/null 2>"$out.debug" </dev/null
  echo $? >"$out.status"
  debug_lines "$out.debug" >"$out"
}

# Every file below $1 with its checksum, to see that a run wrote nothing.
tree_sums() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 -r md5sum); }

# Runs the POSIX build on the prefix $1; lines to $2, exit status to $2.status.
run_posix() {
  "$native_setup" --prefix "$1" 2>"$2" >/dev/null </dev/null
  echo $? >"$2.status"
}

status_is() { [[ $(cat "$1.status") == "$2" ]]; }
line_count_is() { [[ $(grep -c $'\r$' "$1") == "$2" ]]; }

# The 52 files a run writes, in order, from the end-to-end tests' own table (tests/e2e/ExpectedFiles.h):
# expected_ids[i] is the resource of file i, expected_paths[i] its path below the installation folder
# as Windows names it; data_file[id] is the file under resources/ behind a resource (resources/files.tsv).
expected_ids=()
expected_paths=()
while IFS=$'\t' read -r id relative; do
  expected_ids+=("$id")
  expected_paths+=("$relative")
done < <(perl -ne 'if (/^\s*\{"(.*)", (\d+)\},$/) { my ($path, $id) = ($1, $2); $path =~ s/\\\\/\\/g; print "$id\t$path\n" }' \
  "$root/tests/e2e/ExpectedFiles.h")
if [[ ${#expected_paths[@]} -ne 52 ]]; then
  echo "cannot read the 52 expected files from tests/e2e/ExpectedFiles.h (read ${#expected_paths[@]})" >&2
  exit 2
fi
declare -A data_file
while IFS=$'\t' read -r id relative; do
  [[ -z $id || $id == \#* ]] && continue
  data_file[$id]="$root/resources/$relative"
done <"$root/resources/files.tsv"

# Lines [01] to [52] ending in CR LF, each the success line of the expected file of its number, with
# the size of the resource behind it; `suffix` is what the description paths end in (".dsr" on a
# fresh install, ".dsr.tmp" when they were merged: the new description is extracted beside it).
numbered_successes() {
  local file=$1 suffix=$2 n=0 line number path size
  while IFS= read -r line; do
    if [[ $n -ge 52 ]]; then
      echo "  a line after the 52nd: $line"
      return 1
    fi
    printf -v number '%02d' $((n + 1))
    path="$install_path${expected_paths[n]}"
    [[ $path == *.dsr ]] && path="${path%.dsr}$suffix"
    size=$(stat -c %s "${data_file[${expected_ids[n]}]:-}") || return 1
    [[ $line == "[$number] $path ( $size Bytes ) successfly updated!"$'\r' ]] ||
      { echo "  line $number: $line"; echo "  expected: [$number] $path ( $size Bytes ) successfly updated!"; return 1; }
    n=$((n + 1))
  done <"$file"
  [[ $n -eq 52 ]] || { echo "  $n lines"; return 1; }
}

# Every expected file in the installed tree $1, byte for byte the data file of its resource;
# `descriptions` says whether the .dsr files are compared too (not after a merge).
installed_files_match() {
  local folder=$1 descriptions=$2 i relative
  for i in "${!expected_paths[@]}"; do
    relative=${expected_paths[i]//\\//}
    [[ $descriptions == no && $relative == *.dsr ]] && continue
    cmp -s "${data_file[${expected_ids[i]}]:-}" "$folder/$relative" || { echo "  differs: $relative"; return 1; }
  done
}

# The same plain files in both trees, byte for byte, and descriptions that dsrtool reads as the same
# record; nothing else in either tree.
trees_agree() {
  local windows=$1 posix=$2 relative
  diff <(cd "$windows" && find . -type f | sort) <(cd "$posix" && find . -type f | sort) || return 1
  while IFS= read -r relative; do
    if [[ $relative == *.dsr ]]; then
      "$dsrtool" dump "$windows/$relative" >"$work/windows.json" &&
        "$dsrtool" dump "$posix/$relative" >"$work/posix.json" &&
        cmp -s "$work/windows.json" "$work/posix.json" ||
        { echo "  descriptions differ as documents: $relative"; return 1; }
    else
      cmp -s "$windows/$relative" "$posix/$relative" || { echo "  differs: $relative"; return 1; }
    fi
  done < <(cd "$windows" && find . -type f | sort)
}

descriptions_read() {
  local file
  for file in "$1/Tessaprint/Device/"*.dsr; do
    "$dsrtool" check "$file" >/dev/null || { echo "  does not read: $file"; return 1; }
  done
}

# The lines of a log after their time stamps ("2026-12-11 05:30:01.123 "), those of its last block.
timed_lines() {
  perl -ne 'if (/^=== NexlumeQ7Setup\.exe /) { @lines = () } elsif (s/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} //) { push @lines, $_ }
            END { print @lines }' "$1"
}

# A log of $2 blocks, the last closing with status $3; each block: a blank line, the header (program
# and file version, start with UTC offset, command line, user and elevation, Windows, the DOM; with a
# host found, its key and InstallPath), lines with time stamps, and the closing line.
log_blocks() {
  perl -e '
    my ($file, $blocks, $last) = @ARGV;
    open my $in, "<", $file or die "no log\n";
    my @lines = map { s/\r\n\z// or die "a line without CR LF: $_"; $_ } <$in>;
    my ($seen, $closing) = (0, "");
    my $field = qr/^(Command line: .*NexlumeQ7Setup\.exe|User:         \S.* \((not )?elevated\)|Windows:      \d+\.\d+ build \d+|XML DOM:      MSXML [46]\.0|Host key:     HKEY_LOCAL_MACHINE\\Software\\Tarvel\\Tarvel Tessaprint Dual\\Installer|InstallPath:  C:\\.*\\ \(the folder C:\\.*\))/;
    for (my $i = 0; $i < @lines; ++$i) {
      $_ = $lines[$i];
      if ($_ eq "") {
        $lines[$i + 1] =~ /^=== NexlumeQ7Setup\.exe \d+\.\d+\.\d+ \(file version \d+\.\d+\.\d+\.\d+\), started \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d$/
          or die "not a header: $lines[$i + 1]\n";
        die "a block without its closing line\n" if $seen && $closing eq "";
        ++$seen; $closing = ""; ++$i;
      } elsif (/^=== exit status (\d+): \S/) {
        $closing = $1;
      } elsif (!/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S/ && !/$field/) {
        die "neither header nor time-stamped: $_\n";
      }
    }
    die "$seen blocks, not $blocks\n" unless $seen == $blocks;
    die "the last block closes with \"$closing\", not $last\n" unless $closing eq $last;' "$@" || { echo "  in $1"; return 1; }
}
export -f log_blocks

no_scratch_files() { [[ -z $(find "$1" -name '*.tmp' -o -name '*.out') ]]; }

echo "=== Wine prefix"
if [[ -n ${NEXLUME_WINE_TEMPLATE:-} && -f ${NEXLUME_WINE_TEMPLATE}/system.reg ]]; then
  cp -a "$NEXLUME_WINE_TEMPLATE" "$WINEPREFIX"
else
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi

echo "=== no host registered"
run_windows "$work/unregistered"
check "exit status 3 without a registered host" status_is "$work/unregistered" 3
check "one line explains the missing host" line_count_is "$work/unregistered" 1
check "the line names what was looked for" grep -q '^NexlumeQ7Setup: host not found: ' "$work/unregistered"

echo "=== host registration (32-bit view)"
wine reg add "$host_key" /v Version /t REG_SZ /d 8.2.1 /f /reg:32 >/dev/null 2>&1
wine reg add "$host_key\\User" /v InkConfig /t REG_SZ /d "DURA-UV4 CMYK" /f /reg:32 >/dev/null 2>&1
wine reg add "$host_key\\User" /v Language /t REG_SZ /d English /f /reg:32 >/dev/null 2>&1
wine reg add "$host_key\\User" /v Model /t REG_SZ /d "Nexlume Q7" /f /reg:32 >/dev/null 2>&1
wine reg add "$host_key\\Installer" /v CompanyName /t REG_SZ /d "Tarvel Imaging" /f /reg:32 >/dev/null 2>&1
wine reg add "$host_key\\Installer" /v InstallPath /t REG_SZ /d "$install_path" /f /reg:32 >/dev/null 2>&1
wineserver -w  # the registry is on disk from here on, for the POSIX build too
windows_folder=$(install_folder_of "$WINEPREFIX")

echo "=== the host's folder is not there"
tree_sums "$WINEPREFIX/drive_c" >"$work/before-missing"
run_windows "$work/missing-folder"
check "a missing host folder: exit status 3" status_is "$work/missing-folder" 3
check "a missing host folder: one line naming the folder" bash -c "[[ \$(wc -l <'$work/missing-folder') == 1 ]] &&
  grep -qF 'NexlumeQ7Setup: the installation folder $install_path (InstallPath of HKEY_LOCAL_MACHINE' '$work/missing-folder'"
tree_sums "$WINEPREFIX/drive_c" >"$work/after-missing"
check "a missing host folder: nothing written" cmp -s "$work/before-missing" "$work/after-missing"

mkdir -p "$windows_folder/Tessaprint/Device" "$windows_folder/Profiles"
cp -a "$WINEPREFIX" "$work/posix-prefix"
posix_folder=$(install_folder_of "$work/posix-prefix")

for round in 1 2; do
  if [[ $round == 1 ]]; then
    echo "=== fresh install"
    suffix=.dsr
  else
    echo "=== second run: the descriptions are merged"
    suffix=.dsr.tmp
  fi
  run_windows "$work/windows-$round"
  run_posix "$work/posix-prefix" "$work/posix-$round"
  check "run $round: exit status 0" status_is "$work/windows-$round" 0
  check "run $round: the success line of each expected file, in order, on the debugger channel" numbered_successes "$work/windows-$round" "$suffix"
  check "run $round: the same lines as the POSIX build" cmp -s "$work/windows-$round" "$work/posix-$round"
  check "run $round: the POSIX build succeeded too" status_is "$work/posix-$round" 0
  if [[ $round == 1 ]]; then
    check "run 1: all 52 files byte for byte" installed_files_match "$windows_folder" yes
  else
    check "run 2: plain files byte for byte" installed_files_match "$windows_folder" no
    check "run 2: no .tmp or .out file left" no_scratch_files "$windows_folder"
    check "run 2: the merged descriptions read" descriptions_read "$windows_folder"
  fi
  check "run $round: the same installed tree as the POSIX build" trees_agree "$windows_folder" "$posix_folder"
done

echo "=== things planted in the host: kept or refused alike by both builds, nothing read or written outside"
outside="$work/outside"
mkdir -p "$outside"
# A file only root may read, larger than the probe read: never read through a link, never copied.
perl -e 'print "<root>", "s" x 4000, "</root>"' >"$outside/secret"
chmod 600 "$outside/secret"
description="Tessaprint/Device/Nexlume Q7 D4.dsr"
# plant_and_run NAME PLANT RESTORE: PLANT FOLDER puts the thing into an install folder and RESTORE
# FOLDER takes it away; both builds run on their own tree (each under 60 s: a FIFO must not block).
plant_and_run() {
  local name=$1 plant=$2 restore=$3
  cp -a "$outside" "$work/outside-before"
  "$plant" "$windows_folder"
  "$plant" "$posix_folder"
  WINEDEBUG=-all,warn+seh timeout 60 wine "$setup_exe" >/dev/null 2>"$work/$name.debug" </dev/null
  echo $? >"$work/$name.status"
  debug_lines "$work/$name.debug" >"$work/$name"
  timeout 60 "$native_setup" --prefix "$work/posix-prefix" 2>"$work/$name-posix" >/dev/null </dev/null
  echo $? >"$work/$name-posix.status"
  "$restore" "$windows_folder"
  "$restore" "$posix_folder"
  check "$name: exit status 1" status_is "$work/$name" 1
  check "$name: the POSIX build's exit status 1" status_is "$work/$name-posix" 1
  check "$name: the same lines as the POSIX build" same_lines_but_cut "$work/$name" "$work/$name-posix"
  check "$name: nothing outside the host read into it or written" diff -r "$work/outside-before" "$outside"
  rm -rf "$work/outside-before"
}
# Whether the Windows lines $1 are the POSIX lines $2, where a line that Wine's channel cut short
# ("CUT: " and the escaped start of it) only has to begin the same.
same_lines_but_cut() {
  perl -e '
    open(my $w, "<", $ARGV[0]) or die; open(my $p, "<", $ARGV[1]) or die;
    my @w = <$w>; my @p = <$p>;
    # Each build names itself at the start of its reason lines.
    s/^(CUT: |)NexlumeQ7Setup: /${1}nexlume-q7-setup: / for @w;
    exit 1 if @w != @p;
    for my $i (0 .. $#w) {
      my ($windows, $posix) = ($w[$i], $p[$i]);
      if ($windows =~ /^CUT: (.*)$/) {
        (my $start = $1) =~ s/\\(x([0-9a-fA-F]{2})|.)/defined $2 ? chr(hex $2) : ($1 eq "r" ? "\r" : $1 eq "n" ? "\n" : $1 eq "t" ? "\t" : $1)/ge;
        exit 1 unless index($posix, $start) == 0;
      } else {
        exit 1 unless $windows eq $posix;
      }
    }' "$1" "$2" || { diff "$1" "$2" | head -6; return 1; }
}
link_at_description() { mv "$1/$description" "$1/$description.saved" && ln -s "$outside/secret" "$1/$description"; }
fifo_at_description() { mv "$1/$description" "$1/$description.saved" && mkfifo "$1/$description"; }
put_description_back() { rm -f "$1/$description" && mv "$1/$description.saved" "$1/$description"; }
device_linked_outside() { mv "$1/Tessaprint/Device" "$1/Tessaprint/Device.saved" && ln -s "$(mktemp -d "$work/outside-device.XXXXXX")" "$1/Tessaprint/Device"; }
put_device_back() { rm "$1/Tessaprint/Device" && mv "$1/Tessaprint/Device.saved" "$1/Tessaprint/Device"; }
plant_and_run link-at-description link_at_description put_description_back
check "a link at a description: kept with its reason" \
  grep -q "Nexlume Q7 D4.dsr: kept unchanged: .*a symbolic link is in the way" "$work/link-at-description"
plant_and_run fifo-at-description fifo_at_description put_description_back
check "a FIFO at a description: kept with its reason" \
  grep -q "Nexlume Q7 D4.dsr: kept unchanged: .*not a regular file" "$work/fifo-at-description"
plant_and_run device-linked-outside device_linked_outside put_device_back
# Wine's channel cuts these long lines before the reason: it is read from the POSIX build's lines,
# which the Windows lines were found to begin alike.
check "the device folder linked outside: refused with its reason" \
  grep -q "Device leads outside the host's folder" "$work/device-linked-outside-posix"
check "the device folder linked outside: nothing written there" bash -c "[[ -z \$(find '$work'/outside-device.* -mindepth 1) ]]"
check "after the planted things: the same installed tree as the POSIX build" trees_agree "$windows_folder" "$posix_folder"

echo "=== the log, the dry run and a usage error"
log_dir="$WINEPREFIX/drive_c/nexlume-logs"
mkdir -p "$log_dir"
run_windows "$work/logged" '/LOG=C:\nexlume-logs\run.log'
check "/LOG: exit status 0" status_is "$work/logged" 0
check "/LOG: one block with its header, time-stamped lines and closing line" log_blocks "$log_dir/run.log" 1 0
check "/LOG: the lines of the debugger channel, each after its time stamp" \
  cmp -s <(timed_lines "$log_dir/run.log") "$work/logged"
check "/LOG: the success line of each expected file, in order, in the log" numbered_successes <(timed_lines "$log_dir/run.log") .dsr.tmp
run_windows "$work/logged-again" '/log:C:\nexlume-logs\run.log'
check "/LOG: a second run appends its own block" log_blocks "$log_dir/run.log" 2 0
tree_sums "$windows_folder" >"$work/before-dry"
run_windows "$work/dry" /DRYRUN '/LOG:C:\nexlume-logs\dry.log'
check "/DRYRUN: exit status 0" status_is "$work/dry" 0
check "/DRYRUN: 52 numbered lines, each saying what would be done" \
  bash -c "[[ \$(grep -c '^\[[0-9][0-9]\] C:.*: would ' '$work/dry') == 52 ]]"
rm -f "$log_dir/dry.log"
tree_sums "$windows_folder" >"$work/after-dry"
check "/DRYRUN: nothing written" cmp -s "$work/before-dry" "$work/after-dry"
run_windows "$work/bogus" /BOGUS '/LOG=C:\nexlume-logs\bogus.log'
check "an unknown switch: exit status 2" status_is "$work/bogus" 2
check "an unknown switch: the log says so, and closes with status 2" \
  bash -c "grep -q 'NexlumeQ7Setup: the switch /BOGUS is not known (nothing was written' '$log_dir/bogus.log' && log_blocks '$log_dir/bogus.log' 1 2"
rm -f "$log_dir/bogus.log"
tree_sums "$windows_folder" >"$work/after-bogus"
check "an unknown switch: nothing written" cmp -s "$work/before-dry" "$work/after-bogus"
run_windows "$work/no-log" '/LOG=C:\no such folder\setup.log'
check "a log that cannot be created: exit status 2" status_is "$work/no-log" 2
check "a log that cannot be created: the debugger channel says so" \
  grep -qF 'NexlumeQ7Setup: the log C:\no such folder\setup.log cannot be created: ' "$work/no-log"
tree_sums "$windows_folder" >"$work/after-no-log"
check "a log that cannot be created: nothing written" cmp -s "$work/before-dry" "$work/after-no-log"

echo "=== MSXML 4.0 unregistered: the update run merges on MSXML 6.0"
# A medium of the user's own in one description of both trees: a copy of the first medium with
# another English name, appended to the media list.
plant_user_medium() {
  perl -0pi -e 's{(<aMediaInfoList>.*?)(<MediaInfo>.*?</MediaInfo>)}{my ($head, $medium) = ($1, $2); (my $mine = $medium) =~ s{<English>[^<]*</English>}{<English>Medium of the user</English>}; "$head$medium\x00$mine"}se; s{\x00(<MediaInfo>.*?</MediaInfo>)(.*?)(\s*</aMediaInfoList>)}{$2$1$3}s' "$1"
}
plant_user_medium "$windows_folder/Tessaprint/Device/Nexlume Q7 D4.dsr"
plant_user_medium "$posix_folder/Tessaprint/Device/Nexlume Q7 D4.dsr"
check "the planted medium reads" bash -c "'$dsrtool' dump '$windows_folder/Tessaprint/Device/Nexlume Q7 D4.dsr' | grep -q 'Medium of the user'"
wine reg delete 'HKLM\Software\Classes\CLSID\{88d969c0-f192-11d4-a65f-0040963251e5}' /f >/dev/null 2>&1
wineserver -w
run_windows "$work/msxml6"
run_posix "$work/posix-prefix" "$work/posix-msxml6"
check "MSXML 6.0: exit status 0" status_is "$work/msxml6" 0
check "MSXML 6.0: the same lines as the POSIX build" cmp -s "$work/msxml6" "$work/posix-msxml6"
check "MSXML 6.0: the user's medium is merged" bash -c "'$dsrtool' dump '$windows_folder/Tessaprint/Device/Nexlume Q7 D4.dsr' | grep -q 'Medium of the user'"
check "MSXML 6.0: the same installed tree as the POSIX build" trees_agree "$windows_folder" "$posix_folder"

echo "=== files held open by the host: status 5, retry later"
device_path="${install_path}Tessaprint\\Device\\"
rm -f "$work/release"
tree_sums "$windows_folder" >"$work/before-held"
wine "$hold_files" "$(winepath -w "$work/release")" "${device_path}Nexlume Q7.bmp" "${device_path}Nexlume Q7 D4.dsr" \
  >"$work/holder.out" 2>&1 </dev/null &
holder=$!
for _ in $(seq 200); do grep -qs holding "$work/holder.out" && break; sleep 0.1; done
check "the stand-in holds the two files" grep -q holding "$work/holder.out"
run_windows "$work/held"
touch "$work/release"
wait "$holder"
check "held files: exit status 5" status_is "$work/held" 5
for name in "Nexlume Q7.bmp" "Nexlume Q7 D4.dsr"; do
  check "held files: $name is in use, and the line says to close the host" grep -qF \
    "NexlumeQ7Setup: $device_path$name: " "$work/held"
done
check "held files: each of their lines says in use and to close the host" bash -c \
  "[[ \$(grep -c ': in use by another program.*; close Tarvel Tessaprint Dual and run again' '$work/held') == 2 ]]"
check "held files: two of 52 failed" grep -qF 'NexlumeQ7Setup: 2 of 52 files were not installed or merged' "$work/held"
tree_sums "$windows_folder" | grep -F -e "/Nexlume Q7.bmp" -e "/Nexlume Q7 D4.dsr" >"$work/held-after"
grep -F -e "/Nexlume Q7.bmp" -e "/Nexlume Q7 D4.dsr" "$work/before-held" >"$work/held-before"
check "held files: both stay as they were" cmp -s "$work/held-before" "$work/held-after"
check "held files: no scratch file left" no_scratch_files "$windows_folder"
run_windows "$work/released"
check "once the host let go: exit status 0" status_is "$work/released" 0

echo "=== what a person sees: the help's message box, and silence otherwise (on Xvfb)"
# A prefix of its own, whose programs draw on an X server of the test's own.
cp -a "$WINEPREFIX" "$work/gui-prefix"
Xvfb -displayfd 3 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
setup_windows=$(winepath -w "$setup_exe")
# probe OUT SWITCHES...: the window probe's report on a run of the installer.
probe() {
  local out=$1
  shift
  # Its report comes through the C runtime's text mode: lines end in CR LF.
  DISPLAY=":$(cat "$work/display")" WINEPREFIX="$work/gui-prefix" wine "$window_probe" "$setup_windows" "$@" 2>/dev/null </dev/null |
    tr -d '\r' >"$out"
}
for help in '/?' /HELP -h --help; do
  probe "$work/probe-help" "$help"
  check "$help: a message box with the help" bash -c "grep -qx 'window: Nexlume Q7 Setup' '$work/probe-help' &&
    grep -q '/SUPPRESSMSGBOXES' '$work/probe-help' && grep -q '  5 files in use by another program' '$work/probe-help'"
  check "$help: exit status 0 once it is closed" grep -qx 'exit: 0' "$work/probe-help"
done
probe "$work/probe-version" /VERSION '/LOG=C:\nexlume-logs\version.log'
check "/VERSION: a message box with the version" grep -qx 'text: NexlumeQ7Setup.exe [0-9.]* (file version [0-9.]*)' "$work/probe-version"
check "/VERSION: in the log too" bash -c "grep -q 'NexlumeQ7Setup.exe .*(file version' '$work/gui-prefix/drive_c/nexlume-logs/version.log' &&
  log_blocks '$work/gui-prefix/drive_c/nexlume-logs/version.log' 1 0"
for switch in /S /SILENT /VERYSILENT /QUIET /qn /NORESTART /SUPPRESSMSGBOXES -s /silent -QN; do
  probe "$work/probe-silent" "$switch"
  check "$switch: no window, exit status 0" bash -c "grep -qx 'no window' '$work/probe-silent' && grep -qx 'exit: 0' '$work/probe-silent'"
done
probe "$work/probe-bogus" /BOGUS
check "an unknown switch: no window either, exit status 2" bash -c "grep -qx 'no window' '$work/probe-bogus' && grep -qx 'exit: 2' '$work/probe-bogus'"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
