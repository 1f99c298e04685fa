#!/usr/bin/env bash
# Many workstations updating from one server folder at the same moment: every
# record line stays whole, every workstation that did not fail is recorded once,
# every copy is complete and no temporary file is left.
# Usage: many_workstations.sh <path of the built DravikVT> [count]
set -uo pipefail
launcher="$1"
count="${2:-60}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"

server="$work/server"
access="$work/access"
make_server "$server" 4096 # a few MB, so that the copies overlap
make_access "$access"
for i in $(seq 1 "$count"); do
    make_workstation "$work/ws$i" "$server" "$access"
done

workstation() { # workstation <i>: its own program folder, computer and user
    cd "$work/ws$1" || exit 99
    computername="ws$1" username="User$1" DRAVIKVT_REGISTRY="$work/ws$1/registry" \
        timeout 50 "$work/ws$1/app/DravikVT" </dev/null >"$work/ws$1/out.txt" 2>&1
    echo $? >"$work/ws$1/rc.txt"
}
start_together "$count" workstation

echo "$count launchers started together"
recorded_ok=0
failures=0
for i in $(seq 1 "$count"); do
    ws="$work/ws$i"
    rc="$(cat "$ws/rc.txt" 2>/dev/null || echo missing)"
    check "ws$i: ended by itself (exit $rc)" not_killed "${rc//missing/255}"
    check "ws$i: ended within the time limit" [ "$rc" != 124 ]
    key="WS${i}_user${i}"
    lines="$(grep -ac "^${key}"$'\t\t' "$server/Kolacici.txt")"
    if grep -qaF "Dravik: Ne mogu pokrenuti program!" "$ws/out.txt"; then
        failures=$((failures + 1))
        echo "  ws$i reported a failure:"
        sed 's/^/    /' "$ws/out.txt"
        check "ws$i: the failure is the start-up failure message" reported_failure "$ws/out.txt"
        check "ws$i: a failed update is not recorded" same "$lines" 0
    else
        check "ws$i: recorded exactly once" same "$lines" 1
        recorded_ok=$((recorded_ok + 1))
    fi
    # A workstation needed everything; what it has must be whole.
    for f in uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe; do
        if [ -e "$ws/app/$f" ]; then
            check "ws$i: $f complete" cmp -s "$ws/app/$f" "$server/$f"
        else
            check "ws$i: $f is missing only after a reported failure" \
                grep -qaF "Dravik: Ne mogu pokrenuti program!" "$ws/out.txt"
        fi
    done
done
check "no temporary file in any program folder" no_temporary_files "$work"/ws*/app

# Every line whole and well formed: key, two tabs, date, " - ", time, CR LF.
total="$(grep -ac '' "$server/Kolacici.txt")"
good="$(grep -acP '^[^\t\r\n]+\t\t[0-9][^\t\r\n]* - [0-9][^\t\r\n]*\r$' "$server/Kolacici.txt")"
check "every record line is well formed ($good of $total)" same "$good" "$total"
check "the record file ends with CR LF" same "$(tail -c 2 "$server/Kolacici.txt" | od -An -tx1 | tr -d ' ')" "0d0a"
check "one line per successful workstation" same "$total" "$recorded_ok"
wait_for_starts "$access" "$recorded_ok"
started="$(wc -l <"$access/started.log" 2>/dev/null || echo 0)"
check "Access started once per successful workstation" same "$started" "$recorded_ok"
echo "$recorded_ok updated and recorded, $failures reported a failure"

# One program folder shared by several users who all start at the same moment (or
# one user's double click): one launcher updates at a time, none copies over
# another's copy, and every one of them starts Access.
shared="$work/shared"
sharers=8
make_workstation "$shared" "$server" "$access"
: >"$access/started.log"
sharer() { # sharer <i>: one more user of the shared program folder
    cd "$shared" || exit 99
    computername="desk" username="Sharer$1" DRAVIKVT_REGISTRY="$shared/registry" \
        timeout 50 "$shared/app/DravikVT" </dev/null >"$shared/out$1.txt" 2>&1
    echo $? >"$shared/rc$1.txt"
}
start_together "$sharers" sharer
for i in $(seq 1 "$sharers"); do
    check "sharer $i: ended by itself, exit 0" same "$(cat "$shared/rc$i.txt")" 0
    check "sharer $i: no failure" lacks "$shared/out$i.txt" "Dravik: Ne mogu pokrenuti program!"
done
for f in uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe; do
    check "shared folder: $f identical to the server's" cmp -s "$shared/app/$f" "$server/$f"
done
check "shared folder: no temporary file" no_temporary_files "$shared/app"
wait_for_starts "$access" "$sharers"
check "Access started by every sharer" same "$(wc -l <"$access/started.log")" "$sharers"
finish
