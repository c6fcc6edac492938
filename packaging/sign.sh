#!/usr/bin/env bash
# sign.sh FILE...: signs each Windows file (exe, msi) in place with
# Authenticode, when TOLLIX_SIGN_PFX names a PKCS#12 file holding the
# certificate and its key; its password is read from the file named by
# TOLLIX_SIGN_PASSWORD_FILE (never the command line, which others can read).
# Without TOLLIX_SIGN_PFX the files stay unsigned, and standard error says so.
# The signing time is SOURCE_DATE_EPOCH's, so that the same certificate signs
# the same bytes the same way. TOLLIX_SIGN_TIMESTAMP_URL adds a time stamp
# from that server, which keeps the signature valid after the certificate
# expires, and which differs on every run.
set -eo pipefail
if [ -z "${TOLLIX_SIGN_PFX:-}" ]; then
  echo "Not signed (TOLLIX_SIGN_PFX is not set): $*" >&2
  exit 0
fi
if [ -z "${TOLLIX_SIGN_PASSWORD_FILE:-}" ] || [ ! -r "$TOLLIX_SIGN_PASSWORD_FILE" ]; then
  echo "TOLLIX_SIGN_PFX is set, but TOLLIX_SIGN_PASSWORD_FILE names no readable file" >&2
  exit 1
fi
stamp=()
[ -n "${TOLLIX_SIGN_TIMESTAMP_URL:-}" ] && stamp=(-ts "$TOLLIX_SIGN_TIMESTAMP_URL")
for file in "$@"; do
  osslsigncode sign -pkcs12 "$TOLLIX_SIGN_PFX" -readpass "$TOLLIX_SIGN_PASSWORD_FILE" -h sha256 -n Tollix \
    -time "${SOURCE_DATE_EPOCH:-315532800}" "${stamp[@]}" -in "$file" -out "$file.signed" >&2
  mv "$file.signed" "$file"
done
