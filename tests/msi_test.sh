#!/usr/bin/env bash
# msi_test.sh TOLLIX_EXE SOURCE_ROOT WINE: the Windows Installer package as an
# administrator uses it, with Wine's msiexec, each machine a Wine prefix of its
# own made here and removed at the end. Packages are built from TOLLIX_EXE by
# packaging/build-msi.sh: this version, an older and a newer one.
set -u
tollix=$1
root=$2
wine=$3
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for tool in wixl msibuild msidump msiinfo faketime; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
work=$(mktemp -d)
prefixes=()
cleanup() {
  local prefix
  for prefix in "${prefixes[@]}"; do WINEPREFIX=$prefix wineserver -k 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
problems=()
expect() { # expect WHAT COMMAND...: notes WHAT when the command fails
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
    failed=$((failed + 1))
  fi
  problems=()
}

version=$(sed -n 's/^project(Tollix VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
IFS=. read -r major minor patch tweak <<<"$version"
msi_version=$major.$minor.$((patch * 1000 + tweak))
stage=$work/stage
mkdir "$stage"
cp "$tollix" "$stage/Tollix.exe"
cp "$root/README.md" "$root/LICENSE" "$stage/"
cp -r "$root/docs" "$stage/docs"
build() { "$root/packaging/build-msi.sh" "$stage" "$work/$1" "$2" 2>"$work/$1.err" || cat "$work/$1.err"; }
build tollix.msi "$version"
build again.msi "$version"
build older.msi 0.9.0.1
build newer.msi 99.0.0.0

# --- The package's tables ---
table() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r' | LC_ALL=C sort; }
has_rows() { # has_rows MSI TABLE ROW...: each row is in the table
  local rows row
  rows=$(table "$1" "$2")
  shift 2
  for row in "$@"; do
    grep -qxF "$row" <<<"$rows" || { echo "  no row '$row'"; return 1; }
  done
}
tab=$'\t'
expect "two builds differ" cmp -s "$work/tollix.msi" "$work/again.msi"
expect "Property" has_rows "$work/tollix.msi" Property "ProductName${tab}Tollix" \
  "ProductVersion${tab}$msi_version" "Manufacturer${tab}Tollix" "ALLUSERS${tab}1" \
  "UpgradeCode${tab}{3f09ae73-31c1-467e-b4fc-4c85bf44b8b8}"
expect "Feature" has_rows "$work/tollix.msi" Feature "Tollix${tab}${tab}Tollix${tab}${tab}2${tab}1${tab}${tab}0" \
  "WmicPath${tab}${tab}wmic.exe in System32\\wbem and SysWOW64\\wbem${tab}${tab}2${tab}1000${tab}${tab}0"
expect "Condition" has_rows "$work/tollix.msi" Condition \
  "WmicPath${tab}1${tab}WMICPATH = \"1\" OR WMIC_SYSTEM64_OURS OR WMIC_SYSTEM32_OURS"
expect "Environment" has_rows "$work/tollix.msi" Environment "PathEntry${tab}=-*PATH${tab}[~];[INSTALLDIR]${tab}TollixExe"
expect "LaunchCondition" has_rows "$work/tollix.msi" LaunchCondition \
  "NOT WIX_DOWNGRADE_DETECTED${tab}A newer version of Tollix is already installed. Uninstall it first to install this older one."
expect "Upgrade" has_rows "$work/tollix.msi" Upgrade \
  "{3F09AE73-31C1-467E-B4FC-4C85BF44B8B8}${tab}${tab}$msi_version${tab}${tab}1${tab}${tab}WIX_UPGRADE_DETECTED" \
  "{3F09AE73-31C1-467E-B4FC-4C85BF44B8B8}${tab}$msi_version${tab}${tab}${tab}2${tab}${tab}WIX_DOWNGRADE_DETECTED"
expect "the product codes of two versions are the same" \
  test "$(table "$work/older.msi" Property | grep ^ProductCode)" != "$(table "$work/tollix.msi" Property | grep ^ProductCode)"
verdict "Tables: name, version $msi_version, manufacturer, UpgradeCode, ALLUSERS, features, PATH, upgrades"

# --- Machines ---
new_prefix() { # new_prefix NAME: a fresh machine
  local prefix=$work/$1
  prefixes+=("$prefix")
  WINEPREFIX=$prefix "$wine" wineboot -i >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
}
on() { WINEPREFIX=$work/$1 "$wine" "${@:2}"; }
msiexec() { # msiexec PREFIX LOG ARGS...: the exit code, as far as Unix keeps it
  local prefix=$1 log=$2
  shift 2
  on "$prefix" msiexec "$@" /qn /l*v "Z:${work//\//\\}\\$log" >/dev/null 2>&1
}
folder() { echo "$work/$1/drive_c/Program Files/Tollix"; }
system_path() {
  on "$1" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH 2>/dev/null |
    tr -d '\r' | sed -n 's/.*REG_EXPAND_SZ *//p; s/.*REG_SZ *//p'
}
path_count() { # path_count PREFIX: how many times the install folder is on the system PATH
  system_path "$1" | tr ';' '\n' | grep -ciFx 'C:\Program Files\Tollix\'
}
same() { cmp -s "$1" "$2" || { echo "  $2 is not $1"; return 1; }; }
installed() { # installed PREFIX: the files of an install
  local dir
  dir=$(folder "$1")
  same "$tollix" "$dir/Tollix.exe" && same "$tollix" "$dir/wmic.exe" && same "$root/README.md" "$dir/README.md" &&
    same "$root/LICENSE" "$dir/LICENSE" && same "$root/docs/wmic.md" "$dir/docs/wmic.md" &&
    same "$root/docs/examples/tollix-disks.yml" "$dir/docs/examples/tollix-disks.yml"
}
exit_code() { # exit_code EXPECTED COMMAND...
  local expected=$1 code
  shift
  "$@"
  code=$?
  [ "$code" -eq "$expected" ] || { echo "  exit code $code, not $expected"; return 1; }
}
registered() { # registered PREFIX: the Tollix versions in Programs and Features
  on "$1" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '/DisplayName/ { name = $NF } /DisplayVersion/ { if (name == "Tollix") print $NF; name = "" }' | LC_ALL=C sort
}
wbem64() { echo "$work/$1/drive_c/windows/system32/wbem/wmic.exe"; }
wbem32() { echo "$work/$1/drive_c/windows/syswow64/wbem/wmic.exe"; }

# A Windows release without wmic: the older version, then this one over it
# with the copies in the wbem folders, a refused downgrade, a newer version
# that keeps those copies, and the uninstall.
new_prefix bare
rm -f "$(wbem64 bare)" "$(wbem32 bare)"
expect "install exit code" exit_code 0 msiexec bare install.log /i "Z:${work//\//\\}\\older.msi"
expect "installed files" test -f "$(folder bare)/Tollix.exe"
expect "PATH holds the folder once: $(system_path bare)" test "$(path_count bare)" = 1
expect "wmic.exe in wbem without WMICPATH" test ! -e "$(wbem64 bare)" -a ! -e "$(wbem32 bare)"
mkdir -p "$work/bare/drive_c/scripts"
printf '%s\r\n' '@echo off' 'cd /d C:\scripts' 'set serial=' \
  'for /f "tokens=2 delims==" %%a in ('"'"'wmic bios get serialnumber /value'"'"') do set serial=%%a' \
  'echo serial=[%serial%]' >"$work/bare/drive_c/scripts/serial.bat"
serial=$(cd "$work" && on bare cmd /c 'C:\scripts\serial.bat' 2>/dev/null | tr -d '\r')
expect "the batch file read '$serial'" grep -qE '^serial=\[[^]]+\]$' <<<"$serial"
verdict "Without wmic: a silent install puts the folder on PATH once, and a batch file's wmic reads the BIOS serial ($serial)"

expect "upgrade exit code" exit_code 0 msiexec bare upgrade.log /i "Z:${work//\//\\}\\tollix.msi" WMICPATH=1
expect "files of this version" installed bare
expect "System32\\wbem copy" same "$tollix" "$(wbem64 bare)"
expect "SysWOW64\\wbem copy" same "$tollix" "$(wbem32 bare)"
expect "PATH holds the folder once: $(system_path bare)" test "$(path_count bare)" = 1
expect "registered versions: $(registered bare | tr '\n' ' ')" test "$(registered bare)" = "$msi_version"
verdict "Upgrade from 0.9.0.1 to $version with WMICPATH=1: one product, the files, wmic.exe in both wbem folders"

# 1603, a fatal error, of which Unix keeps the low byte. Wine's log has no
# room for the reason: it is checked in the tables.
expect "downgrade exit code" exit_code $((1603 % 256)) msiexec bare downgrade.log /i "Z:${work//\//\\}\\older.msi"
expect "files of this version" installed bare
expect "registered versions: $(registered bare | tr '\n' ' ')" test "$(registered bare)" = "$msi_version"
verdict "An older version is refused (1603) and changes nothing"

expect "upgrade exit code" exit_code 0 msiexec bare newer.log /i "Z:${work//\//\\}\\newer.msi"
expect "System32\\wbem copy" same "$tollix" "$(wbem64 bare)"
expect "SysWOW64\\wbem copy" same "$tollix" "$(wbem32 bare)"
expect "registered versions: $(registered bare | tr '\n' ' ')" test "$(registered bare)" = 99.0.0
verdict "An upgrade keeps the wbem copies without WMICPATH on its command line"

expect "uninstall exit code" exit_code 0 msiexec bare uninstall.log /x "Z:${work//\//\\}\\newer.msi"
expect "files left: $(cd "$work/bare/drive_c" && find "Program Files/Tollix" 2>/dev/null | head -3)" \
  test ! -e "$(folder bare)"
expect "wmic.exe left in a wbem folder" test ! -e "$(wbem64 bare)" -a ! -e "$(wbem32 bare)"
expect "PATH still names the folder: $(system_path bare)" test "$(path_count bare)" = 0
expect "registered versions: $(registered bare | tr '\n' ' ')" test -z "$(registered bare)"
expect "registry keys left" test -n "$(on bare reg query 'HKLM\Software\Tollix' >/dev/null 2>&1 || echo gone)" \
  -a -n "$(on bare reg query 'HKLM\Software\Wow6432Node\Tollix' >/dev/null 2>&1 || echo gone)"
verdict "Uninstall leaves no file, no PATH entry, no wmic.exe in wbem, nothing in Programs and Features"

# A Windows release that still has wmic: its file stays as it is.
new_prefix windows
cp "$(wbem64 windows)" "$work/wine-wmic.exe"
had32=no
[ -e "$(wbem32 windows)" ] && had32=yes && cp "$(wbem32 windows)" "$work/wine-wmic32.exe"
expect "install exit code" exit_code 0 msiexec windows keep.log /i "Z:${work//\//\\}\\tollix.msi" WMICPATH=1
expect "files" installed windows
expect "Wine's System32\\wbem\\wmic.exe changed" same "$work/wine-wmic.exe" "$(wbem64 windows)"
if [ $had32 = yes ]; then
  expect "Wine's SysWOW64\\wbem\\wmic.exe changed" same "$work/wine-wmic32.exe" "$(wbem32 windows)"
else
  expect "SysWOW64\\wbem copy" same "$tollix" "$(wbem32 windows)"
fi
expect "uninstall exit code" exit_code 0 msiexec windows keep-uninstall.log /x "Z:${work//\//\\}\\tollix.msi"
expect "Wine's System32\\wbem\\wmic.exe after uninstall" same "$work/wine-wmic.exe" "$(wbem64 windows)"
[ $had32 = no ] && expect "SysWOW64\\wbem copy left" test ! -e "$(wbem32 windows)"
verdict "With Windows' own wmic.exe, WMICPATH=1 leaves it as it was, through install and uninstall"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
