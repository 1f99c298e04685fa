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

for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure, build, test"
    cmake --workflow --preset "${preset}"
done
echo "=== all test runs passed: ${presets[*]}"
