# Steps of a package test, reported as GoogleTest reports its cases, so that
# scripts/test-all.sh lists them by name. Set `suite` to the test's name first.
failures=0
step_failures=0
step_name=""
step_started=0

now_ms() { date +%s%3N; }
begin() {
    step_name="$1"
    step_failures=0
    step_started=$(now_ms)
    echo "[ RUN      ] $step_name"
}
fail() {
    echo "  FAILED: $*"
    step_failures=$((step_failures + 1))
}
end() {
    local took=$(($(now_ms) - step_started))
    if [ "$step_failures" -eq 0 ]; then
        echo "[       OK ] $step_name ($took ms)"
    else
        echo "[  FAILED  ] $step_name ($took ms)"
        failures=$((failures + 1))
    fi
}
skipped() {
    echo "  SKIPPED: $*"
    echo "[  SKIPPED ] $step_name (0 ms)"
}
# Stops at a failure that leaves nothing sensible to check.
abort() {
    fail "$*"
    end
    echo "$suite: stopped after a failure"
    exit 1
}
