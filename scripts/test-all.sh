#!/usr/bin/env bash
# Builds and runs every test: the Linux build natively, again under the address
# and undefined-behaviour sanitizers, the fuzzers for a bounded time, then the
# 32- and the 64-bit Windows builds under Wine with their MSI packages and the
# signed release, all inside one virtual X display.
# Name presets to run only those, e.g. scripts/test-all.sh linux.
#
# The guides' links are checked first. Every preset named is configured, built
# and tested even when an earlier one failed; a table of passed, failed and
# skipped tests ends the run, then every test that passed only when repeated,
# and the exit code is non-zero when any step of any preset failed.
set -uo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${DRAVIKVT_IN_XVFB:-}" ]; then
    export DRAVIKVT_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# Build and test in parallel as far as this machine goes.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan linux-fuzz windows-x86 windows-x64)

# Every case of the suites that show behaviour end to end, by name, from the log
# CTest keeps of the last run.
list_cases() {
    awk -v preset="$1" '
        / Testing: / { name = $3 }
        /^\[ +(OK|SKIPPED|FAILED) +\] .* ms\)$/ && name ~ /^(contract|e2e|update_on_disk|trusted_location|win32_ui|msi_package|release_signing)/ {
            printf "  %-12s %-34s %-7s %s\n", preset, name, $2, $4
        }' "build/$1/Testing/Temporary/LastTest.log" 2>/dev/null || true
}

# "tests failures skipped" of a CTest JUnit report.
junit_counts() {
    awk '/<testsuite/ { s = 1 } s && match($0, /(tests|failures|disabled|skipped)="[0-9]+"/) {
            split(substr($0, RSTART, RLENGTH), kv, "=")
            gsub(/"/, "", kv[2]); n[kv[1]] = kv[2]
         }
         s && />/ { s = 0 }
         END { printf "%d %d %d\n", n["tests"], n["failures"], n["skipped"] + n["disabled"] }' "$1"
}

declare -A outcome counts notes
failed=0
links=passed
if ! scripts/check-links.sh; then
    links=failed
    failed=1
fi
repeated=()
for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure, build, test"
    junit="$PWD/build/${preset}/test-results.xml"
    log="build/${preset}/Testing/Temporary/LastTest.log"
    rm -f "$junit" "$log"
    if ! cmake --preset "${preset}"; then
        outcome[$preset]="configure failed"
    elif ! cmake --build --preset "${preset}"; then
        outcome[$preset]="build failed"
    elif ! ctest --preset "${preset}" --output-junit "$junit"; then
        outcome[$preset]="tests failed"
    else
        outcome[$preset]="passed"
    fi
    [ "${outcome[$preset]}" = passed ] || failed=1
    counts[$preset]="- - -"
    [ -f "$junit" ] && counts[$preset]=$(junit_counts "$junit")
    # The Windows tests of a Wine this machine cannot run were skipped: say why.
    skip_file="build/${preset}/wine-unusable.txt"
    if [ -f "$skip_file" ]; then
        notes[$preset]="Wine tests skipped: $(cat "$skip_file")"
        echo "=== ${preset}: the tests under Wine did NOT run: $(cat "$skip_file")"
    fi
    list_cases "${preset}"
    if [ -f "$log" ]; then
        while read -r test; do
            repeated+=("${preset} ${test}")
        done < <(scripts/passed-on-repeat.sh "$log")
    fi
done

echo
echo "=== summary"
printf '%-12s %-17s %7s %7s %7s  %s\n' preset outcome passed failed skipped note
for preset in "${presets[@]}"; do
    read -r total fails skips <<<"${counts[$preset]}"
    passed=-
    [ "$total" = - ] || passed=$((total - fails - skips))
    printf '%-12s %-17s %7s %7s %7s  %s\n' "$preset" "${outcome[$preset]}" "$passed" "$fails" \
        "$skips" "${notes[$preset]:-}"
done
echo "=== links in the guides: ${links}"
# A test under Wine that fails is started again; one that passed only then
# is named in every run, so that a flaky test cannot hide.
for test in "${repeated[@]}"; do
    echo "=== passed only when repeated: ${test}"
done
[ ${#repeated[@]} -gt 0 ] || echo "=== no test needed a repeat"
if [ "$failed" -ne 0 ]; then
    echo "=== some steps failed"
    exit 1
fi
echo "=== all test runs passed: ${presets[*]}"
