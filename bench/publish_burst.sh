#!/usr/bin/env bash
# Times the morning after a publish: fifty new workstations starting at once, every
# open of a server file 30 ms late, with this launcher and with the launcher of
# 86110b1 (before a version's record line waited for the record file held against
# a publish), side by side in one run, RUNS times each (default 3). Prints the
# figures of docs/PERFORMANCE.md. Needs: cmake, g++, git.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${RUNS:-3}"
burst="${BURST:-50:30:published}"
baseline=86110b1

cmake --preset linux >/dev/null
cmake --build --preset linux --target DravikVT DravikPublish dravik_server_shim >/dev/null
old="$PWD/build/bench-$baseline"
if [ ! -x "$old/launcher/DravikVT" ]; then
    tree="$(mktemp -d)"
    git worktree add --detach "$tree" "$baseline" >/dev/null
    cmake -S "$tree" -B "$old" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$old" --target DravikVT -j "$(nproc)" >/dev/null
    git worktree remove --force "$tree"
fi

times() { # times <launcher>: the burst's seconds, one a line
    local i
    for i in $(seq 1 "$runs"); do
        bash tests/reliability/publish_burst.sh "$1" build/linux/publish/DravikPublish \
            build/linux/tests/reliability/libdravik_server_shim.so "$burst" |
            tee /dev/stderr | sed -n 's/.*failed, took \([0-9.]*\) s$/\1/p'
    done
}
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'; }
now_s="$(times build/linux/launcher/DravikVT 2>/dev/null | median)"
then_s="$(times "$old/launcher/DravikVT" 2>/dev/null | median)"
echo "burst $burst, median of $runs: this launcher $now_s s, $baseline $then_s s," \
    "ratio $(awk -v a="$now_s" -v b="$then_s" 'BEGIN { printf "%.2f", a / b }')"
