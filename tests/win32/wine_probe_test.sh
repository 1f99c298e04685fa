#!/bin/sh
# How the Windows presets decide whether a Wine loader can run their tests:
# a loader that is missing, cannot be executed or is too slow is skipped with
# the reason; one that works runs the tests. Stand-in loaders play each case.
# Usage: wine_probe_test.sh SETUP_SCRIPT RUN_SCRIPT
set -u
setup="$1"
run="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# A stand-in loader: answers like Wine, notes every start, and makes wineboot
# take $STUB_BOOT_SLEEP seconds.
cat >"$work/wine-ok" <<'STUB'
#!/bin/sh
echo "$*" >>"$WINEPREFIX/starts"
[ "$1" = wineboot ] && mkdir -p "$WINEPREFIX/drive_c/windows/Fonts" && sleep "${STUB_BOOT_SLEEP:-0}"
echo "wine-stub"
STUB
# What a kernel without 32-bit support answers.
cat >"$work/wine-noexec" <<'STUB'
#!/bin/sh
echo "$0: cannot execute binary file: Exec format error" >&2
exit 126
STUB
chmod +x "$work/wine-ok" "$work/wine-noexec"

# probe NAME LOADER EXPECTED_STATUS EXPECTED_REASON_TEXT [VAR=VALUE...]
probe() {
    name="$1" loader="$2" want="$3" reason="$4"
    shift 4
    prefix="$work/$name"
    mkdir -p "$prefix"
    skip_file="$work/$name.skip"
    echo "stale reason" >"$skip_file" # an earlier run's verdict must not stick
    env WINEPREFIX="$prefix" DRAVIK_WINE_START_SECONDS=5 "$@" \
        sh "$setup" "$loader" "$skip_file" >"$work/$name.out" 2>&1
    got=$?
    [ "$got" -eq "$want" ] || fail "$name: setup exited $got, expected $want: $(cat "$work/$name.out")"
    if [ "$want" -eq 0 ]; then
        [ ! -e "$skip_file" ] || fail "$name: a working loader was marked skipped: $(cat "$skip_file")"
        env DRAVIK_WINE_SKIP_FILE="$skip_file" WINEPREFIX="$prefix" \
            sh "$run" "$loader" test_program.exe --flag >/dev/null 2>&1
        grep -qx "test_program.exe --flag" "$prefix/starts" ||
            fail "$name: the test program was not run under the loader"
    else
        grep -q "$reason" "$skip_file" 2>/dev/null ||
            fail "$name: reason lacks '$reason': $(cat "$skip_file" 2>/dev/null)"
        out=$(env DRAVIK_WINE_SKIP_FILE="$skip_file" sh "$run" "$loader" test_program.exe)
        status=$?
        [ "$status" -eq 77 ] || fail "$name: a test under a skipped loader exited $status, not 77"
        case "$out" in *"$reason"*) ;; *) fail "$name: a skipped test does not say why: $out" ;; esac
    fi
}

probe runs "$work/wine-ok" 0 ""
probe missing "$work/no-such-wine" 77 "is not installed"
probe no_exec "$work/wine-noexec" 77 "Exec format error"
probe too_slow "$work/wine-ok" 77 "did not finish within 1 s" \
    STUB_BOOT_SLEEP=10 DRAVIK_WINE_BOOT_SECONDS=1

[ "$failures" -eq 0 ] && echo "all probe cases passed"
exit "$failures"
