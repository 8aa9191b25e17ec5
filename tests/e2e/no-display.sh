#!/usr/bin/env bash
# Started where no display is available, the updater says so in one line on the
# standard error stream and exits with -1 (255), interactive or unattended; asked
# for --help or --version it answers on standard output with 0 and nothing on
# standard error. Every binary given is checked.
#
#   no-display.sh BINARY...
set -uo pipefail
failed=0

for binary in "$@"; do
    for args in "" "--autoupdate"; do
        err="$(mktemp)"
        env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$binary" $args 2>"$err" >/dev/null
        code=$?
        lines=$(grep -c . "$err")
        echo "$(basename "$binary") '${args}': exit $code, stderr: $(cat "$err")"
        if [ $code -ne 255 ]; then
            echo "FAIL: expected exit code 255 (-1), got $code"
            failed=1
        fi
        if [ "$lines" -ne 1 ] || ! grep -qi "display" "$err"; then
            echo "FAIL: expected one line about the display on stderr, got $lines"
            failed=1
        fi
        rm -f "$err"
    done

    for args in --help -h --version -V; do
        out="$(mktemp)" err="$(mktemp)"
        env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$binary" $args >"$out" 2>"$err"
        code=$?
        echo "$(basename "$binary") $args: exit $code, $(grep -c . "$out") lines on stdout"
        if [ $code -ne 0 ] || [ -s "$err" ] || ! grep -q "Verrano2" "$out" || ! grep -q "1222" "$out"; then
            echo "FAIL: expected exit 0, the carried firmware on stdout and nothing on stderr; stderr: $(cat "$err")"
            failed=1
        fi
        rm -f "$out" "$err"
    done
done

[ $failed -eq 0 ] && echo "PASS"
exit $failed
