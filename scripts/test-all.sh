#!/usr/bin/env bash
# Builds and runs every test: the Linux build natively, again under the address
# and undefined-behaviour sanitizers, the fuzzers for a bounded time, then the
# 32- and the 64-bit Windows builds under Wine, all inside one virtual X display.
# Name presets to run only those, e.g. scripts/test-all.sh linux.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${DRAVIKVT_IN_XVFB:-}" ]; then
    export DRAVIKVT_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan linux-fuzz windows-x86 windows-x64)

# Every case of the suites that show behaviour end to end, by name, from the log
# CTest keeps of the last run.
list_cases() {
    awk -v preset="$1" '
        / Testing: / { name = $3 }
        /^\[ +(OK|SKIPPED|FAILED) +\] .* ms\)$/ && name ~ /^(contract|e2e|update_on_disk|trusted_location|win32_ui)/ {
            printf "  %-12s %-34s %-7s %s\n", preset, name, $2, $4
        }' "build/$1/Testing/Temporary/LastTest.log" 2>/dev/null || true
}

for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure, build, test"
    cmake --workflow --preset "${preset}"
    list_cases "${preset}"
done
echo "=== all test runs passed: ${presets[*]}"
