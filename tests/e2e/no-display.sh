#!/usr/bin/env bash
# Started where no display is available, the updater says so in one line on the
# standard error stream and exits with -1 (255), interactive or unattended.
#
#   no-display.sh BINARY
set -uo pipefail
binary="$1"
failed=0

for args in "" "--autoupdate"; do
    err="$(mktemp)"
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$binary" $args 2>"$err" >/dev/null
    code=$?
    lines=$(grep -c . "$err")
    echo "args '${args}': exit $code, stderr: $(cat "$err")"
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

[ $failed -eq 0 ] && echo "PASS"
exit $failed
