#!/usr/bin/env bash
# Signs a Windows program or installer in place with Authenticode (osslsigncode), with the
# code-signing certificate the environment names:
#
#   UPDATER_SIGNING_PKCS12      the PKCS#12 file (.p12, .pfx): certificate, private key and
#                               the certificates between it and its CA
#   UPDATER_SIGNING_PASSWORD    the PKCS#12 file's password (unset: none)
#   UPDATER_SIGNING_TIMESTAMP   optional: an RFC 3161 timestamp server's address, which keeps
#                               the signature valid after the certificate has expired
#
#   packaging/sign-windows.sh FILE DESCRIPTION URL
#
# DESCRIPTION and URL go into the signature; Windows shows the description as the program's
# name when it asks whether to let it change the computer. The password reaches osslsigncode
# through a pipe, never on a command line.
set -euo pipefail

if [ $# -ne 3 ] || [ -z "${UPDATER_SIGNING_PKCS12:-}" ]; then
    sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
fi
file="$1"

args=(sign -h sha256 -pkcs12 "$UPDATER_SIGNING_PKCS12" -n "$2" -i "$3")
if [ -n "${UPDATER_SIGNING_TIMESTAMP:-}" ]; then
    args+=(-ts "$UPDATER_SIGNING_TIMESTAMP")
fi
rm -f "$file.signed"
if [ -n "${UPDATER_SIGNING_PASSWORD+set}" ]; then
    osslsigncode "${args[@]}" -readpass <(printf '%s' "$UPDATER_SIGNING_PASSWORD") \
        -in "$file" -out "$file.signed" >/dev/null
else
    osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
fi
chmod --reference="$file" "$file.signed"
mv "$file.signed" "$file"
