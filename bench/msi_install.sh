#!/usr/bin/env bash
# msi_install.sh [TOLLIX_EXE] [ROUNDS]: under Wine, in a throwaway prefix,
# the wall time of a silent install of the MSI against copying the same files
# by hand with `cmd /c copy`, each started the same way (one Wine command),
# median of ROUNDS (default 5) rounds, and their ratio.
set -eo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tollix=${1:-$root/build/mingw/Tollix.exe}
rounds=${2:-5}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

mkdir "$work/stage"
cp "$tollix" "$work/stage/Tollix.exe"
cp "$root/README.md" "$root/LICENSE" "$work/stage/"
cp -r "$root/docs" "$work/stage/docs"
version=$(sed -n 's/^project(Tollix VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
"$root/packaging/build-msi.sh" "$work/stage" "$work/tollix.msi" "$version"
wine wineboot -i >/dev/null 2>&1
wineserver -w
stage='Z:'${work//\//\\}'\stage'
printf '%s\r\n' '@echo off' 'md "C:\copied\docs\examples"' \
  "copy /y \"$stage\\Tollix.exe\" \"C:\\copied\\Tollix.exe\" >nul" \
  "copy /y \"$stage\\Tollix.exe\" \"C:\\copied\\wmic.exe\" >nul" \
  "copy /y \"$stage\\README.md\" \"C:\\copied\\\" >nul" "copy /y \"$stage\\LICENSE\" \"C:\\copied\\\" >nul" \
  "copy /y \"$stage\\docs\\*\" \"C:\\copied\\docs\\\" >nul" \
  "copy /y \"$stage\\docs\\examples\\*\" \"C:\\copied\\docs\\examples\\\" >nul" >"$work/copy.bat"

ms() { local start=$(date +%s%N); "$@" >/dev/null 2>&1; echo $((($(date +%s%N) - start) / 1000000)); }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
msi='Z:'${work//\//\\}'\tollix.msi'
install=() copy=()
for ((round = 0; round < rounds; round++)); do
  install+=("$(ms wine msiexec /i "$msi" /qn)")
  wine msiexec /x "$msi" /qn >/dev/null 2>&1
  copy+=("$(ms wine cmd /c 'Z:'"${work//\//\\}"'\copy.bat')")
  rm -rf "$WINEPREFIX/drive_c/copied"
done
install_ms=$(printf '%s\n' "${install[@]}" | median)
copy_ms=$(printf '%s\n' "${copy[@]}" | median)
echo "msiexec /i /qn: ${install_ms} ms (${install[*]})"
echo "cmd /c copy:    ${copy_ms} ms (${copy[*]})"
echo "ratio:          $(awk -v a="$install_ms" -v b="$copy_ms" 'BEGIN { printf "%.2f", a / b }')"
