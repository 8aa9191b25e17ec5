#!/usr/bin/env bash
# Builds the Windows installer and zip with CPack and checks them as a Windows user meets
# them: the zip holds the updater alone, a 64-bit program that needs no DLL beside it and
# carries its version; the installer, run silently under Wine, puts the updater under
# Program Files with a Start-menu entry, an uninstaller and an entry among the installed
# programs; the installed updater starts (no pedal here: it exits with -1); the
# uninstaller takes it all away again. Both are packed as a release is, signed with
# Authenticode by a throw-away code-signing certificate and its CA made here: the signatures
# of the installer and of the updater inside hold against that CA and break when one byte
# changes, the signed updater still runs, and taking the signature off gives back the
# updater as it was built.
#
#   check-windows-packages.sh BUILD_FOLDER PACKAGE_VERSION WINE_RUN...
#
# WINE_RUN: the command that runs a Windows program (tests/windows/wine-run.sh --prefix P).
set -euo pipefail

build="$1"
version="$2"
shift 2
wine_run=("$@")
prefix="${wine_run[2]}"
export WINEPREFIX="$prefix" WINEDEBUG=-all

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# shellcheck source-path=SCRIPTDIR source=../../scripts/common.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

#===============================================================================
# A CA and a code-signing certificate it issued, as a PKCS#12 file with a password.
keys="$scratch/keys"
mkdir "$keys"
if ! {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throw-away Test CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
        -keyout "$keys/ca.key" -out "$keys/ca.pem" &&
        openssl req -newkey rsa:2048 -nodes -subj "/CN=Throw-away Test Signer/O=morvell" \
            -keyout "$keys/signer.key" -out "$keys/signer.csr" &&
        printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$keys/signer.ext" &&
        openssl x509 -req -days 2 -in "$keys/signer.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" \
            -CAcreateserial -extfile "$keys/signer.ext" -out "$keys/signer.pem" &&
        openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.pem" -certfile "$keys/ca.pem" \
            -passout pass:throw-away -out "$keys/signer.p12"
} >"$scratch/openssl.log" 2>&1; then
    cat "$scratch/openssl.log"
    echo "FAIL: openssl could not make the test certificates"
    exit 1
fi

if ! UPDATER_SIGNING_PKCS12="$keys/signer.p12" UPDATER_SIGNING_PASSWORD=throw-away \
    cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack could not build the installer and the zip (is FirmwareUpdater built?)"
    exit 1
fi
installer="$scratch/out/firmware-updater-$version-win64.exe"
zip="$scratch/out/firmware-updater-$version-win64.zip"
for file in "$installer" "$zip"; do
    [ -f "$file" ] || {
        ls -l "$scratch/out"
        echo "FAIL: $(basename "$file") was not built"
        exit 1
    }
done
pass "built $(basename "$installer") and $(basename "$zip")"

#===============================================================================
# The zip
mkdir "$scratch/zip"
(cd "$scratch/zip" && unzip -q "$zip")
contents="$(cd "$scratch/zip" && find . -type f | sort | tr '\n' ' ')"
if [ "$contents" = "./LICENSE.txt ./firmware-updater.exe " ]; then
    pass "the zip holds firmware-updater.exe and LICENSE.txt"
else
    fail "the zip holds: $contents"
fi

exe="$scratch/zip/firmware-updater.exe"
if file "$exe" | grep -q 'PE32+ executable (GUI) x86-64'; then
    pass "a 64-bit Windows GUI program"
else
    fail "firmware-updater.exe is $(file -b "$exe")"
fi
# Only Windows' own libraries: no C++ runtime, threads or image library beside the program.
dlls="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')"
foreign="$(tr ' ' '\n' <<<"$dlls" | grep -E '^(lib|zlib)' || true)"
if [ -n "$dlls" ] && [ -z "$foreign" ]; then
    pass "needs no DLL beside it (imports $dlls)"
else
    fail "imports DLLs that Windows does not have: $foreign"
fi
# The resource types at the root of the program's resource table (PE format): the icon
# that Explorer and the window show (3 icon, 14 icon group) and the version (16).
types="$(python3 - "$exe" <<'EOF_PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections, = struct.unpack_from("<H", data, pe + 6)
optional_size, = struct.unpack_from("<H", data, pe + 20)
optional = pe + 24
pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
resources_rva, = struct.unpack_from("<I", data, optional + (112 if pe32_plus else 96) + 2 * 8)
for i in range(sections):
    _, size, rva, raw_size, raw = struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * i)
    if resources_rva and rva <= resources_rva < rva + max(size, raw_size):
        root = raw + resources_rva - rva
        named, numbered = struct.unpack_from("<HH", data, root + 12)
        entries = [struct.unpack_from("<I", data, root + 16 + 8 * k)[0] for k in range(named + numbered)]
        print(" ".join(str(e) for e in entries if e < 0x80000000))
EOF_PY
)"
if [ "$types" = "3 14 16" ]; then
    pass "carries its icon and its version (resource types $types)"
else
    fail "resource types '$types', expected icon (3), icon group (14) and version (16)"
fi

# The version resource, as Explorer shows it (UTF-16 strings).
resource="$(strings -el -n 3 "$exe")"
for field in "FileDescription|Firmware Updater" "ProductVersion|2.0" "CompanyName|morvell"; do
    key="${field%%|*}" value="${field#*|}"
    if grep -A1 -x "$key" <<<"$resource" | tail -n 1 | grep -qx "$value"; then
        pass "version resource: $key $value"
    else
        fail "version resource: no $key \"$value\""
    fi
done

#===============================================================================
# The signatures
verify() {
    osslsigncode verify -CAfile "$keys/ca.pem" -in "$1" >"$scratch/verify.log" 2>&1
}
for file in "$exe" "$installer"; do
    name="$(basename "$file")"
    [ "$file" = "$exe" ] && name="the zip's $name"
    if verify "$file"; then
        pass "$name: the signature holds against the test CA"
    else
        cat "$scratch/verify.log"
        fail "$name: osslsigncode verify rejects the signature"
    fi
    changed="$scratch/changed-$(basename "$file")"
    cp "$file" "$changed"
    size="$(stat -c %s "$changed")"
    # One byte in the middle of the file, inside what the signature covers.
    python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(int(sys.argv[2])); b = f.read(1); f.seek(int(sys.argv[2])); f.write(bytes([b[0] ^ 0x01]))' \
        "$changed" $((size / 2))
    if verify "$changed"; then
        fail "$name: the signature still holds with byte $((size / 2)) changed"
    else
        pass "$name: one changed byte breaks the signature"
    fi
done
osslsigncode remove-signature -in "$exe" -out "$scratch/unsigned.exe" >/dev/null 2>&1 || true
if cmp -s "$scratch/unsigned.exe" "$build/bin/firmware-updater.exe"; then
    pass "without its signature the zip's updater is the one built"
else
    fail "without its signature the zip's updater differs from $build/bin/firmware-updater.exe"
fi
# Signed, the updater still runs and answers its version: the updater's, then the firmware's.
answer="$(timeout 60 "${wine_run[@]}" "$exe" --version 2>/dev/null | tr -d '\r' || true)"
if grep -qx "firmware-updater ${version%%+fw*}" <<<"$answer" && grep -q "^firmware: .* ${version#*+fw} " <<<"$answer"; then
    pass "the signed updater runs under Wine: $(head -n 1 <<<"$answer")"
else
    fail "the signed updater's --version under Wine answered: $answer"
fi

#===============================================================================
# The installer, silently, as an administrator would run it
"${wine_run[@]}" "$installer" /S
installed="$prefix/drive_c/Program Files/Firmware Updater"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Firmware Updater"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Firmware Updater'

for file in "$installed/firmware-updater.exe" "$installed/Uninstall.exe" "$installed/LICENSE.txt" \
    "$menu/Firmware Updater.lnk" "$menu/Uninstall.lnk"; do
    if [ -f "$file" ]; then
        pass "installed ${file#"$prefix/drive_c/"}"
    else
        fail "the installer left no ${file#"$prefix/drive_c/"}"
    fi
done
if cmp -s "$installed/firmware-updater.exe" "$exe"; then
    pass "the installed updater is the zip's"
else
    fail "the installed updater differs from the zip's"
fi
registered="$(wine reg query "$uninstall_key" /v DisplayVersion 2>/dev/null | tr -d '\r' || true)"
if grep -q "DisplayVersion *REG_SZ *$version\$" <<<"$registered"; then
    pass "listed among the installed programs as version $version"
else
    fail "not listed among the installed programs with version $version: $registered"
fi

# No MIDI ports under Wine here: the unattended updater finds no pedal and says so with -1.
status=0
timeout 60 "${wine_run[@]}" "$installed/firmware-updater.exe" --autoupdate >/dev/null 2>&1 || status=$?
if [ "$status" -eq 255 ]; then
    pass "the installed updater runs: no pedal, exit -1 (255)"
else
    fail "the installed updater exited with $status, expected 255 (no pedal)"
fi

#===============================================================================
# The uninstaller, silently. It hands over to a copy of itself and returns at once, so
# wait for the copy's work to show.
"${wine_run[@]}" "$installed/Uninstall.exe" /S
uninstalled() {
    [ ! -e "$installed/firmware-updater.exe" ] && ! wine reg query "$uninstall_key" >/dev/null 2>&1
}
for ((tries = 0; tries < 60; tries++)); do
    uninstalled && break
    sleep 0.5
done
for file in "$installed/firmware-updater.exe" "$installed/LICENSE.txt" "$menu/Firmware Updater.lnk"; do
    if [ -e "$file" ]; then
        fail "the uninstaller left ${file#"$prefix/drive_c/"}"
    fi
done
if wine reg query "$uninstall_key" >/dev/null 2>&1; then
    fail "the uninstaller left the entry among the installed programs"
else
    pass "uninstalled: program, Start-menu entry and the installed-programs entry gone"
fi
rm -rf "$installed"

[ "$failed" -eq 0 ] && echo "PASS"
exit $((failed > 0))
