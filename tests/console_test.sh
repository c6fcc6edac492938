#!/usr/bin/env bash
# console_test.sh TOLLIX_EXE PROBE_EXE SCRIPT WINE...: Tollix on a real
# console. Under `script`, Wine takes the pseudo-terminal for a console, which
# no Windows test program can give its child: this is the only check of which
# handle the progress line is written to, whether standard error is taken for
# a console, whether a console on standard output turns the line off, and of
# the passwords read from the console without echo: Tollix's own, and wmic's
# with a star a key, through PROBE_EXE (tests/support/password_probe.cpp).
# Wine and its prefix (WINEPREFIX) are the environment's.
set -u
tollix=$1
probe=$2
script=$3
shift 3
wine=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The commands `script` runs are quoted for bash.
export SHELL=/bin/bash

# The first program that touches a window starts Wine's desktop process, which
# stays and keeps that program's output handles open: not the pseudo-terminal.
"${wine[@]}" "$tollix" /? </dev/null >/dev/null 2>&1 || true

passed=0
failed=0
problems=()
details=()
expect() {
  local what=$1
  shift
  "$@" || problems+=("$what")
}
verdict() {
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok: $1"
    passed=$((passed + 1))
  else
    echo "FAILED: $1: $(printf '%s; ' "${problems[@]}")"
    printf '%s\n' "${details[@]}"
    failed=$((failed + 1))
  fi
  problems=()
  details=()
}
contains() { [[ "$1" == *"$2"* ]]; }
lacks() { [[ "$1" != *"$2"* ]]; }
no_count() { ! grep -q "machines done" "$@"; }
no_prompt() { ! grep -q -e "Password for" -e pty-s3cret "$@"; }
# What follows the last count: back to the line's start, then blanks, which
# Wine turns into an erase to the end of the line.
erased() { [[ "$1" == *$'\r'* && ( "$1" == *$'\e[K'* || "$1" == *"                            "* ) ]]; }

# launch RUN OUTPUT...: calls RUN, which leaves what the program wrote in the
# OUTPUT files. On a loaded machine Wine now and then fails to start a program
# at all; a run whose output lacks the program's first words (a password
# prompt, the banner, or the probe's report) was not the program's, and is
# made once more.
launch() {
  local run=$1
  shift
  "$run"
  if ! grep -qa -e "Password for " -e "Tollix.exe " -e "Enter the password :" -e "read=" -e "Node - " "$@"; then
    echo "Wine did not start the program ($run): launched once more"
    "$run"
  fi
}

command_line() { printf '%q ' "${wine[@]}" "$tollix" "$@"; }
probe_line() { printf '%q ' "${wine[@]}" "$probe" "$@"; }

# typed_run NAME PROMPT COMMAND KEYS...: runs COMMAND under `script`, what the
# console showed in NAME.pty, and once PROMPT is up types each KEYS (a printf
# format) in turn, a moment apart, so that the console has shown what one
# group of keys did before the next comes. Typed before Wine has the console,
# keys would be echoed by the terminal itself.
typed_run() {
  local name=$1 prompt=$2 command=$3
  shift 3
  rm -f "$work/keys"
  mkfifo "$work/keys"
  timeout 240 "$script" -qec "$command" /dev/null <"$work/keys" >"$work/$name.pty" 2>/dev/null &
  local run=$!
  exec 3>"$work/keys"
  local deadline=$((SECONDS + 120))
  until grep -qa "$prompt" "$work/$name.pty" || [ $SECONDS -gt $deadline ] || ! kill -0 $run 2>/dev/null; do
    sleep 0.2
  done
  local keys
  for keys in "$@"; do
    sleep 1
    (printf "$keys" >&3) 2>/dev/null
  done
  exec 3>&-
  wait $run
}

# The password is asked on the console, whatever standard output is.
password_run() {
  typed_run password "Password for" \
    "$(command_line '/wql:select name from win32_bios' /node:. '/user:CORP\admin') >$(printf %q "$work/password.out")" \
    'pty-s3cret\r'
}
launch password_run "$work/password.pty" "$work/password.out"
shown=$(tr -d '\r' <"$work/password.pty")
results=$(<"$work/password.out")
details=("  the console showed: $(printf '%q' "$shown")" "  standard output: $(printf '%q' "$results")")
expect "no prompt on the console" contains "$shown" 'Password for CORP\admin:'
expect "the password echoed" lacks "$shown" pty-s3cret
expect "the prompt or the password among the results" no_prompt "$work/password.out"
expect "no results after the password" contains "$results" "Node=."
verdict "the password is asked on the console and not echoed"

# wmic's prompt, through a probe that reports what it read and the console's
# mode after: a star a character typed, Backspace (DEL, as a terminal sends
# it) taking the last one back, never the password.

# What the console showed after wmic's prompt: the cursor's hiding and
# showing around each write left out, the CRs of Wine's line ends too, the
# new line at the end kept, and the erase of a star as "\b \b", of which
# Wine makes a backspace and an erase to the end of the line.
shown_after_prompt() {
  local shown
  shown=$(sed -e $'s/\e\\[?25[lh]//g' "$1" | tr -d '\r'; echo .)
  shown=${shown%.}
  shown=${shown#*Enter the password :}
  printf '%s' "${shown//$'\b\e[K'/$'\b \b'}"
}
no_letters() { [[ "$1" != *[abcd]* ]]; }
stars_run() {
  typed_run stars "Enter the password :" "$(probe_line) >$(printf %q "$work/stars.out")" ab '\x7f' cd '\r'
}
launch stars_run "$work/stars.pty" "$work/stars.out"
shown=$(shown_after_prompt "$work/stars.pty"; echo .)
shown=${shown%.}
results=$(<"$work/stars.out")
details=("  the console showed: $(sed -n l "$work/stars.pty")" "  standard output: $(printf '%q' "$results")")
expect "no prompt on the console" grep -qa "Enter the password :" "$work/stars.pty"
expect "not a star a key, with the erase of one, and a new line" [ "$shown" = $'**\b \b**\n' ]
expect "the password shown" no_letters "$shown"
expect "the password not read as typed" contains "$results" " read=yes length=3 mode=restored password=acd"
verdict "wmic's prompt shows a star a key, takes Backspace, and reads the password"

# Without a console the first line of standard input, and nothing written.
piped_run() {
  echo secret | eval "$(probe_line)" >"$work/piped.out" 2>/dev/null
}
launch piped_run "$work/piped.out"
results=$(<"$work/piped.out")
details=("  standard output: $(printf '%q' "$results")")
expect "not the line piped in, alone" [ "$results" = "found=0 read=yes length=6 mode=none password=secret" ]
verdict "wmic's prompt reads a password piped in"

# Ctrl+C at the prompt ends the program, even one with a handler of its own
# that would keep it running: the read would go on with the console's echo,
# which the prompt has put back. STATUS_CONTROL_C_EXIT, of which Wine passes
# on the low byte. Enter, typed after, would end a prompt still reading.
interrupted_run() {
  typed_run interrupted "Enter the password :" \
    "$(probe_line keep-running) >$(printf %q "$work/interrupted.out"); echo \$? >$(printf %q "$work/interrupted.rc")" \
    ab '\x03' '\r'
}
launch interrupted_run "$work/interrupted.pty" "$work/interrupted.out"
shown=$(shown_after_prompt "$work/interrupted.pty")
results=$(<"$work/interrupted.out")
details=("  the console showed: $(sed -n l "$work/interrupted.pty")" "  standard output: $(printf '%q' "$results")"
         "  exit code: $(cat "$work/interrupted.rc" 2>&1)")
expect "not the stars of the keys before Ctrl+C alone" [ "$shown" = "**" ]
expect "the probe went on after Ctrl+C" [ -z "$results" ]
expect "not the exit code of Ctrl+C" [ "$(cat "$work/interrupted.rc" 2>/dev/null)" = 58 ]
verdict "Ctrl+C at wmic's prompt ends the program"

# The copy named wmic.exe asks for itself, and writes to a console as a
# console takes it: any character (the name of the failing machine, in
# UTF-8 on the terminal, where a single-byte write would have lost it), one
# CR per line end before the terminal's own.
cp "$tollix" "$work/wmic.exe"
wmic_line() { printf '%q ' "${wine[@]}" "$work/wmic.exe" "$@"; }
# Wine's notices of a program's first start are not the console's bytes.
"${wine[@]}" "$work/wmic.exe" /? </dev/null >/dev/null 2>&1 || true
wmic_password_run() {
  typed_run wmicpassword "Enter the password :" \
    "$(wmic_line /node:. '/user:CORP\admin' bios get name) >$(printf %q "$work/wmicpassword.out")" 'pw\r'
}
launch wmic_password_run "$work/wmicpassword.pty" "$work/wmicpassword.out"
# Starting COM may have Wine print notices after the prompt: the stars are
# counted, and the password looked for, wherever they are.
shown=$(sed -n -e '/Enter the password :/,$p' "$work/wmicpassword.pty")
stars=$(tr -cd '*' <<<"$shown")
results=$(iconv -f UTF-16LE -t UTF-8 "$work/wmicpassword.out" 2>/dev/null | tr -d '\r')
details=("  the console showed: $(sed -n l "$work/wmicpassword.pty")" "  standard output: $(printf '%q' "$results")")
expect "no prompt on the console" grep -qa "Enter the password :" "$work/wmicpassword.pty"
expect "not a star a key" [ "$stars" = "**" ]
expect "the password shown" lacks "$shown" "pw"
expect "no table after the password" contains "$results" "Name"
verdict "wmic.exe asks for the password of /user: with a star a key"

wmic_console_run() {
  timeout 240 "$script" -qec "$(wmic_line '/node:nosuch'$'\u0416' bios get name); echo rc=\$?" \
    /dev/null </dev/null >"$work/wmicconsole.pty" 2>/dev/null
}
launch wmic_console_run "$work/wmicconsole.pty"
console=$(<"$work/wmicconsole.pty")
details=("  the console showed: $(sed -n l "$work/wmicconsole.pty")")
expect "the node block without its name's last letter" contains "$console" $'Node - nosuch\u0416'
expect "no ERROR line" contains "$console" $'ERROR:'
expect "a pipe's extra CR on the console" lacks "$console" $'\r\r\r\n'
# The low byte of the machine's HRESULT, Wine's 0x80041015.
expect "not the exit code of a failing machine" contains "$console" "rc=21"
verdict "wmic.exe writes any character to a console, each line ending once"

# /every: without /repeat: runs until a key is pressed on the console, or
# Ctrl+C comes, and then ends as a run that went well.
for stop in x '\x03'; do
  every_run() {
    typed_run every "Version" "$(wmic_line os get version /every:1); echo rc=\$?" "$stop"
  }
  every_run
  shown=$(tr -d '\r' <"$work/every.pty")
  details=("  the console showed: $(sed -n l "$work/every.pty")")
  expect "not ended with exit code 0" contains "$shown" "rc=0"
  verdict "wmic.exe's /every: ends on $(printf %q "$stop") at the console"
done

# A node run with a machine failing midway. Its results are the same bytes
# whether standard error is a console or a file. One machine at a time: Wine's
# WMI is not safe for two queries at once in one process.
nodes=/node:.,nosuch,localhost
throttle=/throttle:1
file_run() {
  eval "$(command_line '/wql:select name from win32_bios' "$nodes" "$throttle")" >"$work/file.out" 2>"$work/file.err"
  file_status=$?
}
stderr_console_run() {
  timeout 240 "$script" -qec "$(command_line '/wql:select name from win32_bios' "$nodes" "$throttle") >$(printf %q "$work/console.out")" \
    /dev/null </dev/null >"$work/console.pty" 2>/dev/null
  console_status=$?
}
both_console_run() {
  timeout 240 "$script" -qec "$(command_line '/wql:select name from win32_bios' "$nodes" "$throttle")" \
    /dev/null </dev/null >"$work/both.pty" 2>/dev/null
}
launch file_run "$work/file.out"
launch stderr_console_run "$work/console.out"
launch both_console_run "$work/both.pty"

console=$(<"$work/console.pty")
last=${console##*3/3 machines done, 1 failed}
details=("  the console showed: $(printf '%q' "$console")"
         "  $(diff "$work/console.out" "$work/file.out" 2>&1 | head -n 20)")
expect "no first count" contains "$console" "0/3 machines done, 0 failed"
expect "no last count" contains "$console" "3/3 machines done, 1 failed"
expect "the line not erased at the end" erased "$last"
expect "standard output not the bytes it is with standard error a file" cmp -s "$work/console.out" "$work/file.out"
expect "the exit code not the one with standard error a file" [ "$console_status" = "$file_status" ]
expect "no results" grep -q "Node=localhost" "$work/console.out"
expect "a count in the results or on standard error as a file" no_count "$work/file.out" "$work/file.err"
verdict "with standard error a console and standard output a file, the count is on the console and the results unchanged"

both=$(<"$work/both.pty")
details=("  the console showed: $(printf '%q' "$both")")
expect "a count among the results" lacks "$both" "machines done"
expect "no results" contains "$both" "Node=localhost"
expect "the failing machine not reported" contains "$both" "1 of 3 nodes failed"
verdict "with standard output the console too, the results alone are shown"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
