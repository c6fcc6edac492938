#!/usr/bin/env bash
# signing_test.sh TOLLIX_EXE SOURCE_ROOT: the release's signatures, made with
# a throwaway self-signed code-signing certificate, checked with osslsigncode.
set -u
tollix=$1
root=$2
for tool in openssl osslsigncode faketime wixl; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
check() { # check WHAT COMMAND...
  local what=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    sed 's/^/  /' "$work/out" | tail -n 5
    failed=$((failed + 1))
  fi
}
fails() { ! "$@"; }

# Made as of 2000, so that it is valid at the release's signing time.
TZ=UTC faketime '2000-01-01 00:00:00' openssl req -x509 -newkey rsa:2048 -nodes -days 36500 \
  -subj "/CN=Tollix test signing" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
echo "not on any command line" >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" \
  -passout "file:$work/password"
export SOURCE_DATE_EPOCH=1700000000

mkdir "$work/stage"
cp "$tollix" "$work/stage/Tollix.exe"
cp "$root/README.md" "$root/LICENSE" "$work/stage/"
cp -r "$root/docs" "$work/stage/docs"
check "Unsigned without TOLLIX_SIGN_PFX, saying so" \
  bash -c '"$1" "$2" 2>&1 | grep -q "^Not signed" && cmp "$2" "$3"' - "$root/packaging/sign.sh" "$work/stage/Tollix.exe" "$tollix"
check "No password file: refused" \
  fails env TOLLIX_SIGN_PFX="$work/cert.pfx" TOLLIX_SIGN_PASSWORD_FILE="$work/none" \
  "$root/packaging/sign.sh" "$work/stage/Tollix.exe"

sign() { TOLLIX_SIGN_PFX="$work/cert.pfx" TOLLIX_SIGN_PASSWORD_FILE="$work/password" "$root/packaging/sign.sh" "$@" 2>/dev/null; }
sign "$work/stage/Tollix.exe"
"$root/packaging/build-msi.sh" "$work/stage" "$work/tollix.msi" 1.0.0.0 2>/dev/null
sign "$work/tollix.msi"
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1"; }
check "The signed exe verifies" verify "$work/stage/Tollix.exe"
check "The signed MSI verifies" verify "$work/tollix.msi"
check "Signing time is SOURCE_DATE_EPOCH's" \
  bash -c 'osslsigncode verify -CAfile "$1" -in "$2" | grep -q "Signing time: Nov 14 22:13:20 2023"' - \
  "$work/cert.pem" "$work/stage/Tollix.exe"

cp "$tollix" "$work/again.exe"
sign "$work/again.exe"
check "Signing again gives the same bytes" cmp "$work/stage/Tollix.exe" "$work/again.exe"

# One byte in the middle of the program's code.
cp "$work/stage/Tollix.exe" "$work/tampered.exe"
offset=$(($(stat -c %s "$work/tampered.exe") / 3))
byte=$(od -An -tu1 -j "$offset" -N1 "$work/tampered.exe" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" |
  dd of="$work/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
check "A tampered byte fails verification" fails verify "$work/tampered.exe"

[ "$failed" -eq 0 ]
