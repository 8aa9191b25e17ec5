# shellcheck shell=bash
# Helpers the project's scripts share; sourced, not run:
#
#   . "$here/scripts/common.sh"

# The compiler cache, shared between build folders and clones of the project: paths
# below the checkout are hashed relative to it.
updater_compiler_cache() {
    export CCACHE_BASEDIR="$1"
    export CCACHE_NOHASHDIR=1
}

# "PASSED FAILED" from the last "N% tests passed, F tests failed out of T" line of a
# ctest log; nothing when there is none (ctest could not run, or was cut short).
ctest_counts() {
    local line
    line="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" 2>/dev/null | tail -n 1 || true)"
    if [[ "$line" =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        echo "$((BASH_REMATCH[2] - BASH_REMATCH[1])) ${BASH_REMATCH[1]}"
    fi
}

# The names of the tests a ctest log lists as failed ("  12 - name (Failed)" below "The
# following tests FAILED:"; the list of tests that did not run, skipped ones among them,
# has the same form and is left out).
ctest_failed_names() {
    sed -n -E '/^The following tests FAILED:/,/^[^[:space:]]/s/^[[:space:]]+[0-9]+ - ([^ ]+) \(.*\)$/\1/p' "$1" 2>/dev/null
}

# Starts a virtual X server of its own (Xvfb, 1024x768x24, extra options after it) in the
# background; sets x_server to its process and x_display to its display (":N"). False
# when it did not come up within 10 s.
start_x_server() {
    local display_file tries
    display_file="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1024x768x24 "$@" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    x_server=$!
    for ((tries = 0; tries < 100; tries++)); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    x_display=":$(tr -dc '0-9' <"$display_file")"
    rm -f "$display_file"
    [ "$x_display" != ":" ]
}

# The checks of a checking script: pass and fail print one line each ("ok: ...",
# "FAIL: ...") and count into passed and failed.
passed=0
failed=0
pass() {
    echo "ok: $*"
    passed=$((passed + 1))
}
fail() {
    echo "FAIL: $*"
    failed=$((failed + 1))
}
