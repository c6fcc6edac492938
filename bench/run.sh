#!/usr/bin/env bash
# Builds the benchmark programs and prints, from one run:
#  1. end to end under Wine: the median wall time of Tollix.exe, of the minimal
#     COM client (bench/minimal_client.cpp) and of Wine's own wmic on the same
#     queries, and the ratios Tollix/minimal and Tollix/wmic. wmic is timed
#     started directly (wmic.exe, one process, like the others) and as
#     "wine wmic" (which goes through start.exe). Wine 8's wmic has no
#     /format: it prints its table on the CSV run too.
#  2. wmic's grammar against Tollix's own under Wine: a copy of Tollix.exe
#     named wmic.exe, timed on wmic command lines, against Tollix.exe on the
#     same queries, output to a file as a script would capture it.
#  3. rendering cost per object and per array element, its growth from 10^4 to
#     10^6, and peak memory (bench/render_bench.cpp, in-memory WMI); and the
#     cost of wmic's /format:rawxml against its /format:csv (at most 1.5).
#  4. many machines: under Wine, one run over MACHINES names in a file (the
#     three names of this machine, repeated) with /throttle:1, against as many
#     runs of Tollix from a shell loop; and with the in-memory WMI
#     (bench/machines_bench.cpp), 100 to 10,000 machines taking 50 ms each to
#     connect, at throttle 32, against the ideal ceil(n/32) x 50 ms.
#
#   bench/run.sh [BUILD_DIR]        default build/mingw (configured with the mingw preset)
#
# Environment: RUNS (runs per program and query, default 11), SIZES (render
# sizes, default 10000,100000,1000000), RENDER_CASES (default: all), MACHINES
# (names in the Wine machine run, default 200), MACHINE_COUNTS (in-memory
# machine runs, default 100,1000,10000).
# One persistent wineserver serves every run; it is stopped at the end if this
# script started it.
set -eo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
cd "$TOLLIX_ROOT"

build=${1:-build/mingw}
runs=${RUNS:-11}
sizes=${SIZES:-10000,100000,1000000}

tollix_install_packages
tollix_prepare_wine
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset mingw -B "$build" >&2
fi
cmake --build "$build" --target Tollix minimal_client render_bench machines_bench >&2

tollix=$build/Tollix.exe
minimal=$build/minimal_client.exe
render=$build/render_bench.exe
machines=$build/machines_bench.exe

scratch=$(mktemp -d)
started_server=
cleanup() {
  rm -rf "$scratch"
  if [ -n "$started_server" ]; then wineserver -k >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT
# wineserver -p fails when a server already runs for this prefix: then that one
# is used and left running.
if wineserver -p 2>/dev/null; then
  started_server=1
else
  echo "(a wineserver already runs for $WINEPREFIX: using it, leaving it running)" >&2
fi

# Wine's wmic, started the way Tollix is: one process. ("wine wmic" from a
# shell goes through start.exe first, a second process; it is timed too.)
wmic_exe='C:\windows\system32\wbem\wmic.exe'

# Wall time of one command in milliseconds; its standard output goes to $1.
time_ms() {
  local out=$1
  shift
  local start end
  start=$(date +%s%N)
  "$@" >"$out" 2>/dev/null || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }

# scenario NAME DESTINATION TOLLIX_ARGS MINIMAL_ARGS WMIC_ARGS: the argument
# lists are names of arrays; an empty WMIC_ARGS array means no wmic runs.
# DESTINATION "file" sends standard output to a file (as a script capturing
# it would), "null" to /dev/null.
declare -a report
scenario() {
  local name=$1 destination=$2
  local -n targs=$3 margs=$4 wargs=$5
  local programs=(tollix minimal) program i k
  [ ${#wargs[@]} -gt 0 ] && programs+=(wmic winewmic)
  local -A times=() out=()
  for program in "${programs[@]}"; do
    out[$program]=$scratch/$program.out
    [ "$destination" = null ] && out[$program]=/dev/null
  done
  run_one() {
    case $1 in
      tollix) time_ms "${out[tollix]}" wine "$tollix" "${targs[@]}" ;;
      minimal) time_ms "${out[minimal]}" wine "$minimal" "${margs[@]}" ;;
      wmic) time_ms "${out[wmic]}" wine "$wmic_exe" "${wargs[@]}" ;;
      winewmic) time_ms "${out[winewmic]}" wine wmic "${wargs[@]}" ;;
    esac
  }
  # One untimed run each: the first start of a program pays for loading it.
  for program in "${programs[@]}"; do run_one "$program" >/dev/null; done
  local count=${#programs[@]}
  local -A ratios=()
  for ((i = 0; i < runs; i++)); do
    # The programs of a round run back to back, in an order that turns from
    # round to round so that none always goes first.
    local -A round=()
    for ((k = 0; k < count; k++)); do
      program=${programs[$(((i + k) % count))]}
      round[$program]=$(run_one "$program")
      times[$program]+=" ${round[$program]}"
    done
    for program in "${programs[@]}"; do
      [ "$program" = tollix ] || ratios[$program]+=" $(ratio "${round[tollix]}" "${round[$program]}")"
    done
  done
  # Times: medians over the rounds. Ratios: the median of each round's ratio,
  # which cancels most of the load other processes put on the machine while
  # the rounds run.
  local t m w s
  t=$(median <<<"${times[tollix]}")
  m=$(median <<<"${times[minimal]}")
  if [ ${#wargs[@]} -gt 0 ]; then
    w=$(median <<<"${times[wmic]}")
    s=$(median <<<"${times[winewmic]}")
    report+=("$(printf '%-30s %7s %8s %9s %10s %10s %12s %13s' "$name" "$t" "$m" "$w" "$s" \
      "$(median <<<"${ratios[minimal]}")" "$(median <<<"${ratios[wmic]}")" "$(median <<<"${ratios[winewmic]}")")")
  else
    report+=("$(printf '%-30s %7s %8s %9s %10s %10s %12s %13s' "$name" "$t" "$m" - - \
      "$(median <<<"${ratios[minimal]}")" - -)")
  fi
  # The last outputs must hold results, or the times mean nothing.
  if [ "$destination" = file ]; then
    for program in tollix minimal; do
      tr -d '\r' <"${out[$program]}" | grep -q '=\|^LOCALHOST' ||
        echo "WARNING: $name: $program printed no results" >&2
    done
  fi
}

bios_t=("/wql:select manufacturer,name,version from win32_bios")
bios_m=("select manufacturer,name,version from win32_bios")
bios_w=(path win32_bios get manufacturer,name,version)
biosall_t=("/wql:select * from win32_bios")
biosall_m=("select * from win32_bios")
none=()
proc_t=("/wql:select name,processid,threadcount from win32_process")
proc_m=("select name,processid,threadcount from win32_process")
proc_w=(path win32_process get name,processid,threadcount)
csv_t=("/wql:select name,processid,threadcount from win32_process" /format:csv)
csv_m=("select name,processid,threadcount from win32_process" csv)
csv_w=(path win32_process get name,processid,threadcount /format:csv)
procall_t=("/wql:select * from win32_process")
procall_m=("select * from win32_process")

echo "Running every program $runs times per query ..." >&2
scenario "Win32_BIOS, 3 properties" file bios_t bios_m bios_w
scenario "Win32_BIOS, select *" file biosall_t biosall_m none
scenario "Win32_Process, 3 properties" file proc_t proc_m proc_w
scenario "Win32_Process, CSV" file csv_t csv_m csv_w
scenario "Win32_Process, * > /dev/null" null procall_t procall_m none

# The same query in both grammars. The copy is the very Tollix.exe built
# above, so what the ratio shows is what reading wmic's command line and
# writing wmic's bytes cost on top of Tollix's own run.
wmic_copy=$scratch/copy/wmic.exe
mkdir -p "$scratch/copy"
cp "$tollix" "$wmic_copy"

# grammar_scenario NAME TOLLIX_ARGS WMIC_ARGS: the argument lists are names of
# arrays. Both run with standard output to a file.
declare -a grammar_report
grammar_scenario() {
  local name=$1
  local -n tollix_args=$2 wmic_args=$3
  local i tollix_ms wmic_ms tollix_times= wmic_times= ratios=
  grammar_one() {
    case $1 in
      tollix) time_ms "$scratch/grammar-tollix.out" wine "$tollix" "${tollix_args[@]}" ;;
      wmic) time_ms "$scratch/grammar-wmic.out" wine "$wmic_copy" "${wmic_args[@]}" ;;
    esac
  }
  grammar_one tollix >/dev/null
  grammar_one wmic >/dev/null
  for ((i = 0; i < runs; i++)); do
    # Which grammar goes first turns from round to round.
    if ((i % 2 == 0)); then
      tollix_ms=$(grammar_one tollix)
      wmic_ms=$(grammar_one wmic)
    else
      wmic_ms=$(grammar_one wmic)
      tollix_ms=$(grammar_one tollix)
    fi
    tollix_times+=" $tollix_ms"
    wmic_times+=" $wmic_ms"
    ratios+=" $(ratio "$wmic_ms" "$tollix_ms")"
  done
  grammar_report+=("$(printf '%-34s %12s %14s %10s' "$name" "$(median <<<"$wmic_times")" \
    "$(median <<<"$tollix_times")" "$(median <<<"$ratios")")")
  # Both files must hold results, or the times mean nothing: a value, or a
  # header and a row. The copy writes a disk file in UTF-16.
  tr -d '\r' <"$scratch/grammar-tollix.out" | grep -q '=\|^LOCALHOST' ||
    echo "WARNING: $name: Tollix printed no results" >&2
  local text
  text=$(iconv -f UTF-16 -t UTF-8 "$scratch/grammar-wmic.out" 2>/dev/null | tr -d '\r')
  grep -q '=' <<<"$text" || [ "$(grep -c . <<<"$text")" -ge 2 ] ||
    echo "WARNING: $name: the copy named wmic.exe printed no results" >&2
}

serial_t=("/wql:select serialnumber from win32_bios")
serial_w=(bios get serialnumber /value)

echo "Running both grammars $runs times per query ..." >&2
grammar_scenario "Win32_Process, 3 properties" proc_t proc_w
grammar_scenario "Win32_Process, CSV" csv_t csv_w
grammar_scenario "bios get serialnumber /value" serial_t serial_w

echo "End to end under Wine: median wall time of $runs runs in ms, output to a file unless marked;"
echo "ratios: median over the runs of Tollix's time over the other program's in the same round"
echo "(targets: Tollix/minimal <= 1.05, Tollix/wmic <= 0.70)"
printf '%-30s %7s %8s %9s %10s %10s %12s %13s\n' "query" "Tollix" "minimal" "wmic.exe" "wine wmic" \
  "T/minimal" "T/wmic.exe" "T/wine wmic"
printf '%s\n' "${report[@]}"
echo

echo "wmic's grammar (Tollix.exe copied as wmic.exe) against Tollix's own, the same query, output to a file;"
echo "median wall time of $runs runs in ms; ratio: median over the runs of the wmic grammar's time over"
echo "Tollix's in the same round (target: wmic grammar / Tollix grammar <= 1.05)"
printf '%-34s %12s %14s %10s\n' "query" "wmic grammar" "Tollix grammar" "ratio"
printf '%s\n' "${grammar_report[@]}"
echo

echo "Rendering in-process with the in-memory WMI, each size in a process of its own"
render_args=(--sizes "$sizes")
[ -n "${RENDER_CASES:-}" ] && render_args+=(--cases "$RENDER_CASES")
wine "$render" "${render_args[@]}" | tr -d '\r'
echo

machine_names=${MACHINES:-200}
host=$(wine cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
names=$scratch/nodes.txt
aliases=(. localhost "$host")
for ((i = 0; i < machine_names; i++)); do echo "${aliases[$((i % 3))]}"; done >"$names"
query="/wql:select name,version from win32_bios"
echo "Many machines under Wine: $machine_names names (., localhost, $host repeated), Win32_BIOS, list layout" >&2
wine "$tollix" "$query" "/node:@$(winepath -w "$names")" /throttle:1 >/dev/null 2>&1 || true  # warm
one_run=$(time_ms "$scratch/one.out" wine "$tollix" "$query" "/node:@$(winepath -w "$names")" /throttle:1)
loop_start=$(date +%s%N)
while read -r name; do
  wine "$tollix" "$query" >/dev/null 2>&1 || true
done <"$names"
loop_ms=$((($(date +%s%N) - loop_start) / 1000000))
grep -c '^Node=' <(tr -d '\r' <"$scratch/one.out") | grep -qx "$machine_names" ||
  echo "WARNING: the machine run did not print $machine_names objects" >&2
echo "Many machines under Wine, $machine_names names, Win32_BIOS:"
printf '  one run, /node:@file /throttle:1: %6d ms\n' "$one_run"
printf '  %d runs from a shell loop:      %6d ms\n' "$machine_names" "$loop_ms"
printf '  loop / one run:                   %6s   (target: 10 or more)\n' "$(ratio "$loop_ms" "$one_run")"
echo

echo "Many machines in-process with the in-memory WMI, 50 ms to connect each, throttle 32"
echo "(ideal = ceil(machines / 32) x 50 ms; target: time / ideal <= 1.3, flat memory)"
printf '%8s %8s %10s %10s %7s %9s\n' machines throttle "time ms" "ideal ms" ratio "peak MiB"
IFS=, read -ra counts <<<"${MACHINE_COUNTS:-100,1000,10000}"
for count in "${counts[@]}"; do
  wine "$machines" "$count" 50 32 | tr -d '\r'
done
