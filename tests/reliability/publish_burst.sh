#!/usr/bin/env bash
# The morning after a publish: many new workstations start at the same moment over a
# slow link to the server, each open of a server file delayed by a preloaded shim.
# None may fail, each ends with the whole version and one record line.
# Usage: publish_burst.sh <DravikVT> <DravikPublish> <slow-server shim> [count:ms:record]...
# record is "published" (the record as DravikPublish leaves it) or "hand" (emptied by
# hand). Prints how long each burst took, for bench/publish_burst.sh.
set -uo pipefail
launcher="$(realpath "$1")"
publish="$(realpath "$2")"
shim="$(realpath "$3")"
shift 3
bursts=("$@")
[ ${#bursts[@]} -gt 0 ] || bursts=(50:30:published 200:5:published 50:30:hand)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"

# An ASan build checks that its runtime comes first; the shim comes before it here.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
files=(uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe)
n=0
for burst in "${bursts[@]}"; do
    IFS=: read -r count ms record <<<"$burst"
    n=$((n + 1))
    root="$work/burst$n"
    server="$root/server"
    make_server "$server" 1024
    make_access "$root/access"
    printf 'OLD_pc\t\t1.12.2026. - 8:00:00\r\n' >"$server/Kolacici.txt"
    if [ "$record" = published ]; then
        make_server "$root/new" 1024
        "$publish" "$root/new" "$server" >"$root/publish.txt" 2>&1
        check "burst $n: DravikPublish published" same "$?" 0
    else
        : >"$server/Kolacici.txt"
    fi
    for i in $(seq 1 "$count"); do
        make_workstation "$root/ws$i" "$server" "$root/access"
    done
    ws() { # ws <i>
        cd "$root/ws$1" || exit 99
        computername="ws$1" username="u$1" DRAVIKVT_REGISTRY="$root/ws$1/registry" \
            LD_PRELOAD="$shim" DRAVIK_SLOW_FOLDER="$server" DRAVIK_SLOW_MS="$ms" \
            timeout 200 "$root/ws$1/app/DravikVT" </dev/null >"$root/ws$1/out.txt" 2>&1
        echo $? >"$root/ws$1/rc.txt"
    }
    started=$(date +%s.%N)
    start_together "$count" ws
    took=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a - 1 }') # less start_together's 1 s
    failures=0
    whole=0
    for i in $(seq 1 "$count"); do
        if [ "$(cat "$root/ws$i/rc.txt")" != 0 ] || grep -qaE "Ne mogu|ld.so" "$root/ws$i/out.txt"; then
            failures=$((failures + 1))
            [ "$failures" -gt 1 ] || sed 's/^/    /' "$root/ws$i/out.txt"
        fi
        same_version=1
        for f in "${files[@]}"; do cmp -s "$root/ws$i/app/$f" "$server/$f" || same_version=0; done
        whole=$((whole + same_version))
    done
    lines=$(grep -ac '^WS[0-9]*_u' "$server/Kolacici.txt")
    echo "burst $n: $count workstations at $ms ms per open, record $record:" \
        "$failures failed, took $took s"
    check "burst $n: no workstation failed" same "$failures" 0
    check "burst $n: each holds the server's version whole" same "$whole" "$count"
    check "burst $n: one record line each" same "$lines" "$count"
done
finish
