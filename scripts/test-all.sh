#!/usr/bin/env bash
# Builds and runs every test: the Linux build natively, then the 32- and the
# 64-bit Windows builds under Wine, all inside one virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${DRAVIKVT_IN_XVFB:-}" ]; then
    export DRAVIKVT_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux windows-x86 windows-x64)

for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure, build, test"
    cmake --workflow --preset "${preset}"
done
echo "=== all test runs passed: ${presets[*]}"
