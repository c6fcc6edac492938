#!/usr/bin/env bash
# build-msi.sh STAGE OUTPUT VERSION: builds the Windows Installer package from
# a folder holding Tollix.exe, README.md, LICENSE and docs/. Used by
# scripts/release.sh and by the package's tests. Same inputs and the same
# SOURCE_DATE_EPOCH give the same bytes.
set -eo pipefail
output=$2
version=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
epoch=${SOURCE_DATE_EPOCH:-315532800}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The cabinet keeps each file's time: make it the release's.
stage=$work/stage
cp -r "$1" "$stage"
find "$stage" -exec touch -h -d "@$epoch" {} +

# Windows Installer compares only the first three fields of a version, and
# the project counts releases in the fourth: fold it into the third so that
# every release is a newer product. 1.0.0.5 -> 1.0.5, 1.2.3.4 -> 1.2.3004.
IFS=. read -r major minor patch tweak <<<"$version"
msi_version=$major.$minor.$((${patch:-0} * 1000 + ${tweak:-0}))

# The codes Windows Installer wants new for each build come from what is
# built: a product per version and release time, a package per content.
code() { # code TEXT: a name-based UUID, upper case in braces
  python3 -c 'import sys, uuid; print("{%s}" % str(uuid.uuid5(uuid.UUID("3f09ae73-31c1-467e-b4fc-4c85bf44b8b8"), sys.argv[1])).upper())' "$1"
}
product_code=$(code "product $msi_version $epoch")
content=$(cd "$stage" && find . -type f | LC_ALL=C sort | xargs -d '\n' sha256sum | sha256sum | cut -d' ' -f1)
package_code=$(code "package $msi_version $epoch $content $(cat "$here/tollix.wxs" "$0" | sha256sum)")

# One component per docs folder, files in a fixed order, the first the key.
docs_component() { # docs_component ID GUID FOLDER
  local file key=' KeyPath="yes"'
  echo "<Component Id=\"$1\" Guid=\"$2\" Win64=\"yes\">"
  for file in $(cd "$stage/$3" && find . -maxdepth 1 -type f | LC_ALL=C sort); do
    file=${file#./}
    echo "<File Id=\"$1_${file//[^A-Za-z0-9]/_}\" Name=\"$file\" Source=\"$3/$file\"$key />"
    key=
  done
  echo '</Component>'
}
{
  echo '<Include><Directory Id="DocsFolder" Name="docs">'
  docs_component Docs 0b820925-35a3-4062-9cf7-d07edfa3b39a docs
  echo '<Directory Id="DocsExamplesFolder" Name="examples">'
  docs_component DocsExamples db3ed3fa-6d2a-44a9-afe8-6ee46014c4f4 docs/examples
  echo '</Directory></Directory></Include>'
} >"$work/docs.wxi"

# wixl stamps the summary with the time it runs: stop the clock at the
# release's.
(cd "$stage" && TZ=UTC faketime "$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')" \
  wixl -a x64 -I "$work" -D Version="$msi_version" -D ProductCode="$product_code" -D Source=. \
  -o "$work/tollix.msi" "$here/tollix.wxs")

# What wixl cannot write. The PATH entry: "*" makes it a system variable,
# "=-" creates or adds to it and removes only our part on uninstall, and
# "[~];" appends. The searches: a wmic.exe already in each wbem folder, and
# whether that one is this package's own, by its registry value: Windows
# Installer's record of the component is no proof, as Wine records one that
# its condition left out, and then removes the file there on uninstall. The
# feature stays on through upgrades that do not ask for it.
idt() { # idt NAME COLUMNS TYPES KEY ROW...
  local name=$1 columns=$2 types=$3 key=$4
  shift 4
  {
    printf '%s\r\n%s\r\n%s\t%s\r\n' "$columns" "$types" "$name" "$key"
    local row
    for row in "$@"; do printf '%s\r\n' "$row"; done
  } >"$work/$name.idt"
}
tab=$'\t'
idt Environment "Environment${tab}Name${tab}Value${tab}Component_" "s72${tab}l255${tab}L255${tab}s72" Environment \
  "PathEntry${tab}=-*PATH${tab}[~];[INSTALLDIR]${tab}TollixExe"
idt Signature "Signature${tab}FileName${tab}MinVersion${tab}MaxVersion${tab}MinSize${tab}MaxSize${tab}MinDate${tab}MaxDate${tab}Languages" \
  "s72${tab}s255${tab}S20${tab}S20${tab}I4${tab}I4${tab}I4${tab}I4${tab}S255" Signature \
  "WmicSystem64${tab}wmic.exe${tab}${tab}${tab}${tab}${tab}${tab}${tab}" \
  "WmicSystem32${tab}wmic.exe${tab}${tab}${tab}${tab}${tab}${tab}${tab}"
idt RegLocator "Signature_${tab}Root${tab}Key${tab}Name${tab}Type" "s72${tab}i2${tab}s255${tab}S255${tab}I2" Signature_ \
  "WmicSystem64Ours${tab}2${tab}Software\\Tollix${tab}WmicSystem64${tab}18" \
  "WmicSystem32Ours${tab}2${tab}Software\\Tollix${tab}WmicSystem32${tab}2"
idt DuplicateFile "FileKey${tab}Component_${tab}File_${tab}DestName${tab}DestFolder" "s72${tab}s72${tab}s72${tab}L255${tab}S72" FileKey \
  "WmicExe${tab}TollixExe${tab}TollixExe${tab}wmic.exe${tab}" \
  "WmicSystem64${tab}WmicSystem64${tab}TollixExe${tab}wmic.exe${tab}Wbem64" \
  "WmicSystem32${tab}WmicSystem32${tab}TollixExe${tab}wmic.exe${tab}Wbem32"
idt AppSearch "Property${tab}Signature_" "s72${tab}s72" "Property${tab}Signature_" \
  "WMIC_SYSTEM64${tab}WmicSystem64" "WMIC_SYSTEM32${tab}WmicSystem32" \
  "WMIC_SYSTEM64_OURS${tab}WmicSystem64Ours" "WMIC_SYSTEM32_OURS${tab}WmicSystem32Ours"
idt Condition "Feature_${tab}Level${tab}Condition" "s38${tab}i2${tab}S255" "Feature_${tab}Level" \
  "WmicPath${tab}1${tab}WMICPATH = \"1\" OR WMIC_SYSTEM64_OURS OR WMIC_SYSTEM32_OURS"
mkdir "$work/dump"
(cd "$work" && msidump -d dump -t tollix.msi >/dev/null)
sequence=$work/dump/InstallExecuteSequence.idt
printf '%s\t\t%s\r\n' WriteEnvironmentStrings 5200 RemoveEnvironmentStrings 3300 DuplicateFiles 4210 \
  RemoveDuplicateFiles 3400 >>"$sequence"
grep -q "^AppSearch${tab}" "$sequence" || printf 'AppSearch\t\t50\r\n' >>"$sequence"
sql() { msibuild "$work/tollix.msi" -q "$1"; }
msibuild "$work/tollix.msi" -i "$work/Environment.idt" -i "$work/Signature.idt" -i "$work/RegLocator.idt" \
  -i "$work/AppSearch.idt" -i "$work/Condition.idt" -i "$work/DuplicateFile.idt" -i "$sequence"
# msibuild imports no empty key column, which DrLocator needs.
sql 'CREATE TABLE `DrLocator` (`Signature_` CHAR(72) NOT NULL, `Parent` CHAR(72), `Path` CHAR(255),
     `Depth` INT PRIMARY KEY `Signature_`, `Parent`, `Path`)'
sql "INSERT INTO \`DrLocator\` (\`Signature_\`, \`Path\`, \`Depth\`) VALUES ('WmicSystem64', '[System64Folder]wbem', 0)"
sql "INSERT INTO \`DrLocator\` (\`Signature_\`, \`Path\`, \`Depth\`) VALUES ('WmicSystem32', '[SystemFolder]wbem', 0)"
sql "UPDATE \`Component\` SET \`Condition\` = 'NOT WMIC_SYSTEM64 OR WMIC_SYSTEM64_OURS' WHERE \`Component\` = 'WmicSystem64'"
sql "UPDATE \`Component\` SET \`Condition\` = 'NOT WMIC_SYSTEM32 OR WMIC_SYSTEM32_OURS' WHERE \`Component\` = 'WmicSystem32'"
msibuild "$work/tollix.msi" -s Tollix Tollix "x64;1033" "$package_code"
cp "$work/tollix.msi" "$output"
