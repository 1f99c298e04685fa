#!/usr/bin/env bash
# Names, one a line, every test of a CTest run that failed a start and then
# passed a later one (the Windows test presets repeat a failing test until it
# passes), read from the run's log: build/<preset>/Testing/Temporary/LastTest.log.
# CTest's JUnit report keeps only the last start of each test, so it cannot tell.
# Usage: scripts/passed-on-repeat.sh LastTest.log
set -euo pipefail

# Each start is a block of its own, written whole when it ends:
#   "3/6 Testing: <name>", ..., "Output:", the test's output, "<end of output>",
#   ..., "Test Passed." or "Test Failed." (a timeout too).
awk '
    !output && /^[0-9]+\/[0-9]+ Testing: / { name = $0; sub(/^[0-9]+\/[0-9]+ Testing: /, "", name) }
    /^Output:$/ { output = 1; next }
    /^<end of output>$/ { output = 0; ended = 1; next }
    output || !ended { next }
    /^Test Failed\.$/ { failed[name] = 1; ended = 0 }
    /^Test Passed\.$/ { ended = 0; if (failed[name] && !(name in shown)) { shown[name] = 1; print name } }
' "$1"
