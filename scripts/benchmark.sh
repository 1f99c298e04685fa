#!/usr/bin/env bash
# Times the whole launcher from outside on Linux and prints the figures of
# docs/PERFORMANCE.md: the start of a current workstation with record files of
# 1,000, 100,000 and 1,000,000 lines beside `grep -F -c KEY` on the same file,
# the update of a 200 MB front end beside `cp` followed by `sync` of the copy (the
# launcher writes its copies to the disk before it renames them), and the memory
# of a start, also with a record file that holds one 200 MB line.
# Each figure is the median of RUNS runs (default 11) with the fastest and the
# slowest. Needs: cmake, g++, and GNU time (/usr/bin/time, Debian package "time").
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${RUNS:-11}"

cmake --preset linux >/dev/null
cmake --build --preset linux --target DravikVT >/dev/null
root="$PWD/build/bench"
rm -rf "$root"
mkdir -p "$root"

now() { date +%s%N; }
# stats <file of nanosecond durations>: "median min max" in milliseconds
stats() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.1f %.1f %.1f", v[int((NR + 1) / 2)] / 1e6, v[1] / 1e6, v[NR] / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

deployment() { # deployment <dir> <front end>: a program folder, a server folder, a stand-in Access
    mkdir -p "$1/app" "$1/server" "$1/office"
    cp build/linux/launcher/DravikVT "$1/app/"
    printf 'NewFiles = %s/server\r\nDefAccessPath = %s/office\r\nNewFE = %s\r\n' "$1" "$1" "$2" >"$1/app/DravikVT.txt"
    printf '#!/bin/sh\nexit 0\n' >"$1/office/MSACCESS.EXE"
    chmod +x "$1/office/MSACCESS.EXE"
    echo companion >"$1/server/Velkor_2007.exe"
}

export computername=pc07 username=ana
echo "## Start of a current workstation (median of $runs runs, fastest-slowest, ms)"
echo
echo "| record lines | file size | DravikVT start | grep -F -c | DravikVT / grep |"
echo "|---:|---:|---:|---:|---:|"
for lines in 1000 100000 1000000; do
    d="$root/start-$lines"
    deployment "$d" uxVTade.ade
    for f in uxVTade.ade RuxVT1.ade RuxVT1.accde Velkor_2007.exe; do echo x >"$d/app/$f"; done
    awk -v n="$lines" 'BEGIN { for (i = 0; i < n - 1; i++) printf "PC%05d_user%06d\t\t8.12.2026. - 9:15:%02d\r\n", i % 99999, i, i % 60
                              printf "PC07_ana\t\t8.12.2026. - 9:15:00\r\n" }' >"$d/server/Kolacici.txt"
    export DRAVIKVT_REGISTRY="$d/registry"
    "$d/app/DravikVT" </dev/null >/dev/null # registers the trusted location once
    : >"$d/launcher.ns"
    : >"$d/grep.ns"
    for _ in $(seq "$runs"); do # side by side, alternating
        t0=$(now); "$d/app/DravikVT" </dev/null >/dev/null; t1=$(now)
        grep -F -c PC07_ana "$d/server/Kolacici.txt" >/dev/null; t2=$(now)
        echo $((t1 - t0)) >>"$d/launcher.ns"
        echo $((t2 - t1)) >>"$d/grep.ns"
    done
    [ "$(wc -l <"$d/server/Kolacici.txt")" -eq "$lines" ] || { echo "the start updated: not a current workstation" >&2; exit 1; }
    read -r lm lmin lmax <<<"$(stats "$d/launcher.ns")"
    read -r gm gmin gmax <<<"$(stats "$d/grep.ns")"
    size=$(du -h "$d/server/Kolacici.txt" | cut -f1)
    echo "| $lines | $size | $lm ($lmin-$lmax) | $gm ($gmin-$gmax) | $(ratio "$lm" "$gm") |"
done

echo
echo "## Update of a 200 MB front end (median of $runs runs, fastest-slowest, ms)"
echo
d="$root/update"
deployment "$d" big.ade
head -c 200000000 /dev/urandom >"$d/server/big.ade"
export DRAVIKVT_REGISTRY="$d/registry"
: >"$d/launcher.ns"
: >"$d/cp.ns"
for _ in $(seq "$runs"); do
    rm -f "$d/server/Kolacici.txt" "$d/app/big.ade" "$d/cp.ade"
    sync
    t0=$(now); "$d/app/DravikVT" </dev/null >/dev/null; t1=$(now)
    sync
    t2=$(now); cp "$d/server/big.ade" "$d/cp.ade"; sync "$d/cp.ade"; t3=$(now)
    echo $((t1 - t0)) >>"$d/launcher.ns"
    echo $((t3 - t2)) >>"$d/cp.ns"
done
cmp -s "$d/server/big.ade" "$d/app/big.ade" || { echo "the update did not copy the front end" >&2; exit 1; }
read -r lm lmin lmax <<<"$(stats "$d/launcher.ns")"
read -r cm cmin cmax <<<"$(stats "$d/cp.ns")"
echo "| whole update (DravikVT) | cp and sync of the same file | DravikVT / cp+sync |"
echo "|---:|---:|---:|"
echo "| $lm ($lmin-$lmax) | $cm ($cmin-$cmax) | $(ratio "$lm" "$cm") |"

echo
echo "## Memory of a start, whole process (maximum resident set, KB)"
echo
echo "| case | DravikVT | grep -F -c |"
echo "|---|---:|---:|"
d="$root/start-1000000"
export DRAVIKVT_REGISTRY="$d/registry"
: >"$d/rss"
for _ in $(seq 5); do /usr/bin/time -f %M -a -o "$d/rss" "$d/app/DravikVT" </dev/null >/dev/null; done
: >"$d/grss"
for _ in $(seq 5); do /usr/bin/time -f %M -a -o "$d/grss" grep -F -c PC07_ana "$d/server/Kolacici.txt" >/dev/null; done
echo "| current workstation, 1,000,000 record lines | $(sort -n "$d/rss" | sed -n 3p) | $(sort -n "$d/grss" | sed -n 3p) |"
# One line of 200 MB without a line end, then this workstation's line.
{ head -c 200000000 /dev/zero | tr '\0' x; printf '\r\nPC07_ana\t\t8.12.2026. - 9:15:00\r\n'; } >"$d/server/Kolacici.txt"
echo "| current workstation, one 200 MB line in the record | $(/usr/bin/time -f %M "$d/app/DravikVT" </dev/null 2>&1 >/dev/null) | $(/usr/bin/time -f %M grep -F -c PC07_ana "$d/server/Kolacici.txt" 2>&1 >/dev/null | tail -1) |"
d="$root/update"
export DRAVIKVT_REGISTRY="$d/registry"
rm -f "$d/server/Kolacici.txt"
echo "| update of the 200 MB front end | $(/usr/bin/time -f %M "$d/app/DravikVT" </dev/null 2>&1 >/dev/null) | |"
