# Shared set-up for run.sh and test.sh: packages, the Wine prefix, the build.
# Sourced, not run. Everything it prints goes to standard error, so that the
# standard output of run.sh is Tollix's own.

TOLLIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TOLLIX_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix clang lld wine wine64 googletest nlohmann-json3-dev
                 python3-yaml wixl msitools faketime osslsigncode openssl)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tollix}"

tollix_install_packages() {
  local missing=() package
  for package in "${TOLLIX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing ${missing[*]} ..." >&2
  $sudo apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >&2
}

tollix_prepare_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX ..." >&2
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}

# tollix_build PRESET [TARGET]: configures once, then rebuilds what is stale.
tollix_build() {
  local preset=$1 target=${2:-}
  cd "$TOLLIX_ROOT"
  if [ ! -f "build/$preset/CMakeCache.txt" ]; then
    cmake --preset "$preset" >&2
  fi
  if [ -n "$target" ]; then
    cmake --build --preset "$preset" --target "$target" >&2
  else
    cmake --build --preset "$preset" >&2
  fi
}
