#!/usr/bin/env bash
# wine_launch_test.sh LAUNCHER: the launcher CTest starts test programs with,
# run on a stand-in for wine that plays, launch by launch, a planned outcome:
#   failed:N  Wine's failed launch: a notice on standard error, nothing on
#             standard output, exit code N
#   ran:N     a test program that ran: its first lines, then exit code N
#   listed    a test program listing its tests
set -u
launcher=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/wine" <<'EOF'
#!/usr/bin/env bash
count=$(($(cat "$FAKE_WINE_DIR/count" 2>/dev/null || echo 0) + 1))
echo "$count" >"$FAKE_WINE_DIR/count"
printf '%s\n' "$@" >"$FAKE_WINE_DIR/arguments.$count"
read -ra plan <<<"$FAKE_WINE_PLAN"
outcome=${plan[count - 1]}
case $outcome in
  failed:*)
    echo "wine: could not load kernel32.dll, status c0000135" >&2
    exit "${outcome#failed:}" ;;
  ran:*)
    printf 'Running main() from gtest_main.cc\n[==========] Running 1 test from 1 test suite.\n'
    exit "${outcome#ran:}" ;;
  listed)
    printf 'Suite.\n  First\n  Second\n' ;;
esac
EOF
chmod +x "$work/wine"

banner=$'Running main() from gtest_main.cc\n[==========] Running 1 test from 1 test suite.'
listing=$'Suite.\n  First\n  Second'
notice="Wine did not start the program"
passed=0
failed=0

# row NAME PLAN LAUNCHES EXIT NOTICES STDOUT ARGUMENT...: the launcher, given
# ARGUMENTs, must have started wine LAUNCHES times with those arguments each
# time, ended with EXIT, said NOTICES times on standard error that it
# launched again, and passed standard output through as STDOUT.
row() {
  local name=$1 plan=$2 launches=$3 exit=$4 notices=$5 stdout=$6
  shift 6
  rm -f "$work"/count "$work"/arguments.*
  local out err status problems=()
  out=$(FAKE_WINE_DIR=$work FAKE_WINE_PLAN=$plan "$launcher" "$work/wine" "$@" 2>"$work/err")
  status=$?
  err=$(<"$work/err")
  [ "$(cat "$work/count")" = "$launches" ] || problems+=("wine started $(cat "$work/count") times, not $launches")
  [ "$status" = "$exit" ] || problems+=("exit code $status, not $exit")
  [ "$(grep -c "$notice" <<<"$err")" = "$notices" ] || problems+=("standard error: $err")
  [ "$out" = "$stdout" ] || problems+=("standard output: $out")
  local launch
  for launch in $(seq "$(cat "$work/count")"); do
    [ "$(<"$work/arguments.$launch")" = "$(printf '%s\n' "$@")" ] || problems+=("launch $launch was given other arguments")
  done
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok: $name"
    passed=$((passed + 1))
  else
    echo "FAILED: $name: $(printf '%s; ' "${problems[@]}")"
    failed=$((failed + 1))
  fi
}

program='C:\tests\tollix_unit_tests.exe'
row "a launch Wine failed is made once more" "failed:1 ran:0" 2 0 1 "$banner" "$program" --gtest_filter=A.B
row "a failed launch that exits 0 has run nothing: made once more" "failed:0 ran:0" 2 0 1 "$banner" "$program"
row "one launch more, no further: the second failed launch stands" "failed:5 failed:7 ran:0" 2 7 1 "" "$program"
row "a program that ran and failed is not started again" "ran:1 ran:0" 1 1 0 "$banner" "$program" --gtest_filter=A.B
row "a program that ran and passed is started once" "ran:0 ran:0" 1 0 0 "$banner" "$program" "an argument with spaces"
row "the program's exit code is passed on" "ran:3" 1 3 0 "$banner" "$program"
row "a discovery Wine failed is made once more, the listing left whole" "failed:1 listed" 2 0 1 "$listing" \
  "$program" --gtest_list_tests
row "a discovery that listed is made once" "listed listed" 1 0 0 "$listing" "$program" --gtest_list_tests

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
