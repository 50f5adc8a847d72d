#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (osslsigncode, SHA-256).
#
# Usage: sign.sh --pkcs12 FILE --password-file FILE [--timestamp-url URL] [--description TEXT] PROGRAM
#
# The signature is written to a copy beside the program, which then replaces it. A failed signing removes
# the program: a build asked to sign leaves a signed program or none, never an unsigned one that could ship.
# Without a timestamp server the signing time is SOURCE_DATE_EPOCH when that is set, so the same program and
# certificate give the same signed bytes; a timestamp server's answer differs on every request.
set -euo pipefail

pkcs12= password_file= timestamp_url= description=
while [ $# -gt 1 ]; do
  case "$1" in
    --pkcs12) pkcs12=$2 ;;
    --password-file) password_file=$2 ;;
    --timestamp-url) timestamp_url=$2 ;;
    --description) description=$2 ;;
    *) echo "sign.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
program=${1:?"usage: sign.sh --pkcs12 FILE --password-file FILE [--timestamp-url URL] PROGRAM"}
[ -n "$pkcs12" ] && [ -n "$password_file" ] || { echo "sign.sh: --pkcs12 and --password-file are needed" >&2; exit 2; }

options=(-pkcs12 "$pkcs12" -readpass "$password_file" -h sha256)
[ -n "$description" ] && options+=(-n "$description")
if [ -n "$timestamp_url" ]; then
  options+=(-ts "$timestamp_url")
elif [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  options+=(-time "$SOURCE_DATE_EPOCH")
fi

signed="$program.signing"
rm -f "$signed"
trap 'rm -f "$signed"' EXIT
if ! osslsigncode sign "${options[@]}" -in "$program" -out "$signed" >/dev/null; then
  rm -f "$program"
  echo "sign.sh: signing failed; $program removed" >&2
  exit 1
fi
mv -f "$signed" "$program"
