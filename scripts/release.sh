#!/usr/bin/env bash
# Builds the release package from a clean build folder:
#   dist/Tollix-<version>-win-x64.zip  holding Tollix.exe (stripped), README.md,
#                                      the docs/ it links to, LICENSE and
#                                      SHA256SUMS (of the exe)
#   dist/Tollix-<version>-x64.msi      the same files for Windows Installer
#                                      (packaging/build-msi.sh)
# and prints each one's path and SHA-256. The version is the project's.
# Two runs on the same commit, in any folders, give the same bytes: the exe
# carries no link time and no build folder, and the zip's file times are the
# commit's (SOURCE_DATE_EPOCH, when set, wins).
# With TOLLIX_SIGN_PFX (see packaging/sign.sh) the exe in both packages, and
# the MSI, are signed; without it they are not, and standard error says so.
set -eo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tollix_install_packages
cd "$TOLLIX_ROOT"

version=$(sed -n 's/^project(Tollix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

rm -rf build/release
cmake --preset release >&2
cmake --build --preset release >&2

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp build/release/Tollix.exe README.md LICENSE "$stage/"
cp -r docs "$stage/docs"
packaging/sign.sh "$stage/Tollix.exe"
(cd "$stage" && sha256sum Tollix.exe >SHA256SUMS)
mkdir -p dist
zip=dist/Tollix-$version-win-x64.zip
# Fixed names, order, times and attributes: the zip's bytes depend on its
# contents alone.
/usr/bin/python3 - "$stage" "$zip" <<'EOF'
import os
import sys
import time
import zipfile

stage, target = sys.argv[1], sys.argv[2]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
docs = sorted(
    os.path.relpath(os.path.join(folder, file), stage).replace(os.sep, "/")
    for folder, _, files in os.walk(os.path.join(stage, "docs"))
    for file in files
)
with zipfile.ZipFile(target, "w") as archive:
    for name in ["Tollix.exe", "README.md", *docs, "LICENSE", "SHA256SUMS"]:
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0
        info.external_attr = 0
        with open(os.path.join(stage, name), "rb") as file:
            archive.writestr(info, file.read(), compresslevel=9)
EOF
msi=dist/Tollix-$version-x64.msi
rm "$stage/SHA256SUMS"
packaging/build-msi.sh "$stage" "$msi" "$version"
packaging/sign.sh "$msi"
for package in "$zip" "$msi"; do
  echo "$TOLLIX_ROOT/$package"
  sha256sum "$package" | cut -d' ' -f1
done
