#!/usr/bin/env bash
# scripts/passed-on-repeat.sh on a real CTest run whose tests fail once, always
# or never; scripts/check-links.sh on guides with good and broken links.
# Usage: script_checks.sh <the scripts folder>
set -uo pipefail
scripts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
same() { # same <description> <got> <expected>
    [ "$2" = "$3" ] || { echo "FAILED: $1: expected [$3], got [$2]"; failed=1; }
}

# A test that fails its first start and passes its second: by its exit code,
# and by a timeout; the others pass at once, or never.
mkdir "$work/project"
cat >"$work/project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(repeats NONE)
enable_testing()
add_test(NAME steady COMMAND sh -c "echo 'Test Failed.'")
add_test(NAME never COMMAND sh -c "exit 1")
add_test(NAME fails_once COMMAND sh -c "test -f seen1 || { touch seen1; exit 1; }")
add_test(NAME times_out_once COMMAND sh -c "test -f seen2 || { touch seen2; sleep 20; }")
set_tests_properties(times_out_once PROPERTIES TIMEOUT 2)
CMAKE
cmake -S "$work/project" -B "$work/build" >/dev/null || failed=1
(cd "$work/build" && ctest -j2 --repeat until-pass:2 >/dev/null 2>&1)
same "tests passed only when repeated" \
    "$("$scripts/passed-on-repeat.sh" "$work/build/Testing/Temporary/LastTest.log" | sort | tr '\n' ' ')" \
    "fails_once times_out_once "

# Guides whose links all resolve, then one of each kind of broken link.
mkdir -p "$work/docs/sub"
printf '# Guide\n## The `DravikVT.txt` settings\n## Šifra\n## Šifra\n' >"$work/docs/sub/guide.md"
printf '%s\n' '# Top' '[a](sub/guide.md#the-dravikvttxt-settings) [b](sub/guide.md#šifra-1)' \
    '[c](#top) ![d](sub) [e](https://example.com/#none) `[f](missing.md)`' >"$work/docs/good.md"
same "good links" "$("$scripts/check-links.sh" "$work/docs/good.md" >/dev/null; echo $?)" 0
printf '%s\n' '# Top' '[a](sub/none.md) [b](sub/guide.md#šifra-2)' '' '[c]: #bottom' >"$work/docs/bad.md"
same "broken links" "$("$scripts/check-links.sh" "$work/docs/bad.md" | sed "s|$work/||")" \
    "docs/bad.md:2: broken link (no such file): sub/none.md
docs/bad.md:2: broken link (no such heading): sub/guide.md#šifra-2
docs/bad.md:4: broken link (no such heading): #bottom"
exit "$failed"
