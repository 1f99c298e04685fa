#!/usr/bin/env bash
# A new version published at the worst moment: the launcher has copied the old
# version and is about to append its record line. The launcher is stopped there
# by the debugger (no guessing with sleeps), DravikPublish runs to the end, then
# the launcher goes on: it must end with the whole new version, recorded.
# Usage: posix_publish_during_append.sh <path of the built DravikVT> <path of the built DravikPublish>
set -uo pipefail
launcher="$1"
publish="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../reliability/common.sh"

if ! command -v gdb >/dev/null; then
    echo "skipped: gdb is not installed"
    exit 77
fi

version() { # version <folder> <seed>
    mkdir -p "$1"
    make_bytes "$1/uxVTade.ade" 256 "fe $2"
    make_bytes "$1/RuxVT1.ade" 32 "rux1 $2"
    make_bytes "$1/RUXVT2.ACCDE" 32 "rux2 $2"
    make_bytes "$1/Velkor_2007.exe" 16 "companion $2"
}
version "$work/v1" 1
version "$work/v2" 2
cp -r "$work/v1" "$work/server"
: >"$work/server/Kolacici.txt"
make_access "$work/access"
make_workstation "$work/ws" "$work/server" "$work/access"
export DRAVIKVT_REGISTRY="$work/registry" computername=pc07 username=Ana

# Stopped where the update appends its record line; the publish runs meanwhile.
cat >"$work/commands.gdb" <<EOF
set pagination off
set breakpoint pending on
break dravik::AppendRecord
run </dev/null >$work/launcher.txt 2>&1
shell "$publish" "$work/v2" "$work/server" >"$work/publish.txt" 2>&1; echo \$? >"$work/publish.rc"
delete
continue
EOF
# LeakSanitizer cannot run under a debugger; the other sanitizers still do.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    gdb -q -batch -nx -x "$work/commands.gdb" --args "$work/ws/app/DravikVT" >"$work/gdb.txt" 2>&1
if grep -qE "ptrace|Operation not permitted" "$work/gdb.txt" && [ ! -f "$work/publish.rc" ]; then
    echo "skipped: this machine lets no debugger stop a program"
    exit 77
fi
wait_for_starts "$work/access" 1

echo "scenario: a version published just before the record line is taken whole and recorded"
check "the publish ran while the launcher stood before its append" same "$(cat "$work/publish.rc" 2>/dev/null)" 0
check "the launcher ended normally" contains "$work/gdb.txt" "exited normally"
for f in uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe; do
    check "$f is the new version's" cmp -s "$work/ws/app/$f" "$work/v2/$f"
done
check "recorded once, after the publish" same "$(grep -c '^PC07_ana		' "$work/server/Kolacici.txt")" 1
check "Access started" same "$(access_starts "$work/access" pc07)" 1
check "no temporary copy left" no_temporary_files "$work/ws/app"
finish
