#!/usr/bin/env bash
# DravikPublish on Linux: what it prints and leaves, its status, a rollback, a
# refusal with the system's reason, one run at a time, runs stopped, killed or
# refused half-way and run again (a rollback then gives exactly one version), and
# publishing and rolling back again and again while launchers update from the same
# server folder, where every file a launcher ends with must be the whole old or the
# whole new one. The other refusals and failures half-way are the logic's, shown on
# the fake.
# Usage: posix_publish.sh <path of the built DravikVT> <path of the built DravikPublish>
#        [<path of the server shim>]
set -uo pipefail
launcher="$1"
publish="$2"
shim="${3:+$(realpath "$3")}"
work="$(mktemp -d)"
trap 'touch "$work/stop"; wait; rm -rf "$work"' EXIT
. "$(dirname "$0")/../reliability/common.sh"

files=(uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe)

# version <folder> <front-end size in KiB> <seed>: a complete version of the program.
version() {
    mkdir -p "$1"
    make_bytes "$1/uxVTade.ade" "$2" "fe $3"
    make_bytes "$1/RuxVT1.ade" 64 "rux1 $3"
    make_bytes "$1/RUXVT2.ACCDE" 96 "rux2 $3"
    make_bytes "$1/Velkor_2007.exe" 48 "companion $3"
}
run_publish() { # run_publish <argument>...: output in $work/out.txt, code in $rc
    timeout 60 "$publish" "$@" >"$work/out.txt" 2>&1
    rc=$?
}
same_files() { # same_files <folder> <folder>: every file of the version alike
    local f
    for f in "${files[@]}"; do cmp -s "$1/$f" "$2/$f" || { echo "    $f differs"; return 1; }; done
}
no_publish_leftovers() {
    local left
    left="$(find "$1" -name '~DravikPublish~*')"
    [ -z "$left" ] || { echo "    left behind: $left"; return 1; }
}
inode() { stat -c %i "$1"; }
is_mark_only() { # is_mark_only <record file>: one line, "<TAB>DravikPublish<TAB><run id><TAB>date - time"
    same "$(wc -l <"$1")" 1 && grep -qaP '^\tDravikPublish\t[0-9a-f]{32}-[0-9a-f]+\t.+ - .+\r$' "$1" ||
        { echo "    not a mark alone: $(head -c 200 "$1" | od -c | head -3)"; return 1; }
}

version "$work/v1" 512 1
version "$work/v2" 20480 2

echo "scenario: publishing replaces every file, empties Kolacici.txt and says what it did"
server="$work/server"
cp -r "$work/v1" "$server"
printf 'PC07_ana\t\t1.12.2026. - 8:00:00\r\n' >"$server/Kolacici.txt"
record_inode="$(inode "$server/Kolacici.txt")"
cp -r "$work/v2" "$work/new"
printf 'not the server record\r\n' >"$work/new/Kolacici.txt"
printf 'added file' >"$work/new/Upute-čćžšđ.txt"
run_publish "$work/new" "$server"
check "exit code 0" same "$rc" 0
check "every file is the new one" same_files "$server" "$work/v2"
check "the added file is there" same "$(cat "$server/Upute-čćžšđ.txt")" "added file"
check "Kolacici.txt holds only the publication mark" is_mark_only "$server/Kolacici.txt"
check "Kolacici.txt is the same file, not a new one" same "$(inode "$server/Kolacici.txt")" "$record_inode"
check "no temporary copy left" no_publish_leftovers "$server"
check "names the front end" contains "$work/out.txt" "Front end: uxVTade.ade"
check "one line a file while copying" contains "$work/out.txt" "  RUXVT2.ACCDE"
check "one line a file while replacing" contains "$work/out.txt" "  RuxVT1.ade replaced"
check "Croatian letters in UTF-8" contains "$work/out.txt" "  Upute-čćžšđ.txt added"
check "progress of the large front end" contains "$work/out.txt" "    100% of 20.0 MB"
check "the record file is kept" contains "$work/out.txt" "Kolacici.txt is not published"
check "says it emptied the record" contains "$work/out.txt" "Kolacici.txt emptied"
run_publish --status "$server"
check "status: the pair that took only the old version is still to update (8)" same "$rc" 8
check "status: the mark is no pair and no line by hand" lacks "$work/out.txt" "DravikPublish"
check "status names it" contains "$work/out.txt" "  PC07_ana	(took the previous version 1.12.2026. - 8:00:00)"

echo "scenario: a rollback puts back the version the publish replaced, once"
run_publish --rollback "$server"
check "exit code 0" same "$rc" 0
check "every file is the old one again" same_files "$server" "$work/v1"
check "the server folder holds what it held before the publish" same \
    "$(cd "$server" && find . -path ./DravikPublish -prune -o -type f -print | sort)" \
    "$(cd "$work/v1" && { find . -type f -print; echo ./Kolacici.txt; } | sort)"
check "Kolacici.txt emptied in place" same "$(inode "$server/Kolacici.txt")" "$record_inode"
check "and marked by the rollback" is_mark_only "$server/Kolacici.txt"
run_publish --rollback "$server"
check "a second rollback finds nothing to go back to (9)" same "$rc" 9
check "and changes nothing" same_files "$server" "$work/v1"

echo "scenario: a server folder it cannot write is refused through the real system"
run_publish "$work/new" "$work/no-such-server"
check "exit code 4" same "$rc" 4
check "the system's reason" contains "$work/out.txt" "No such file or directory"

echo "scenario: a folder, or a link, as Kolacici.txt is refused and nothing is replaced"
printf 'PC07_ana\r\n' >"$work/elsewhere.txt"
for kind in folder link; do
    server="$work/refused-$kind"
    cp -r "$work/v1" "$server"
    if [ "$kind" = folder ]; then mkdir "$server/Kolacici.txt"; else ln -s "$work/elsewhere.txt" "$server/Kolacici.txt"; fi
    run_publish "$work/v2" "$server"
    check "$kind: exit code 4" same "$rc" 4
    check "$kind: says what is there" contains "$work/out.txt" "Kolacici.txt\" is a $kind"
    check "$kind: nothing replaced" same_files "$server" "$work/v1"
    check "$kind: no temporary copy" no_publish_leftovers "$server"
    run_publish --status "$server"
    check "$kind: --status refuses it too (4)" same "$rc" 4
done
check "the link's target is untouched" same "$(cat "$work/elsewhere.txt")" "$(printf 'PC07_ana\r')"
server="$work/refused-folder"
rmdir "$server/Kolacici.txt"
run_publish "$work/v2" "$server"
check "an absent Kolacici.txt is published without, and not created" same "$rc:$(ls "$server/Kolacici.txt" 2>&1 >/dev/null | wc -l)" "0:1"

# Through the one open file that keeps appenders out: the kept copy on the disk
# first, then the cut, the mark and a flush; the system calls show the order.
echo "scenario: the emptied record is kept, cut, marked and flushed through one open file"
if command -v strace >/dev/null; then
    server="$work/traced"
    cp -r "$work/v1" "$server"
    printf 'PC07_ana\t\t1.12.2026. - 8:00:00\r\n' >"$server/Kolacici.txt"
    # LeakSanitizer cannot run under a tracer; the other sanitizers still do.
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        strace -f -o "$work/trace.txt" -e trace=openat,flock,ftruncate,write,fsync,close \
        "$publish" "$work/v2" "$server" >"$work/out.txt" 2>&1
    rc=$?
    steps="$(awk '
        /openat\(.*\/traced\/Kolacici\.txt", O_RDWR\|.*O_NOFOLLOW.* = [0-9]+$/ { record = $NF; print "hold"; next }
        record != "" && /DravikPublish\/Previous-[^\/]*\/Kolacici\.txt", O_WRONLY\|O_CREAT\|O_TRUNC.* = [0-9]+$/ { kept = $NF; print "keep"; next }
        record == "" { next }
        $0 ~ "flock\\(" record ", LOCK_EX" { print "lock" }
        kept != "" && $0 ~ "fsync\\(" kept "\\)" { print "kept-flushed" }
        kept != "" && $0 ~ "close\\(" kept "\\)" { kept = "" }
        $0 ~ "ftruncate\\(" record ", 0\\)" { print "cut" }
        $0 ~ "write\\(" record ", \"\\\\tDravikPublish\\\\t" { print "mark" }
        $0 ~ "write\\(" record "," && $0 !~ "DravikPublish" { print "other-write" }
        $0 ~ "fsync\\(" record "\\)" { print "flushed" }
        $0 ~ "close\\(" record "\\)" { print "closed"; record = "" }' "$work/trace.txt" | paste -sd' ')"
    if grep -q 'openat(' "$work/trace.txt"; then
        check "exit code 0" same "$rc" 0
        check "in this order, through one open file" same "$steps" "hold lock keep kept-flushed cut mark flushed closed"
        check "the kept record is the old one" same "$(cat "$server"/DravikPublish/Previous-*/Kolacici.txt)" "$(printf 'PC07_ana\t\t1.12.2026. - 8:00:00\r')"
    else
        echo "  (this machine lets no tracer follow a program: skipped)"
    fi
else
    echo "  (strace is not installed: skipped)"
fi

# A record that years of starts made long costs a publish no more memory than a
# short one: it is copied and emptied a chunk at a time.
echo "scenario: a 300 MB record file is kept and emptied in at most 64 MB"
server="$work/long"
cp -r "$work/v1" "$server"
yes "$(printf 'PC07_ana\t\t1.12.2026. - 8:00:00\r')" | head -c $((300 * 1024 * 1024)) >"$server/Kolacici.txt"
if ! grep -qa __asan_init "$publish"; then
    /usr/bin/time -v -o "$work/time.txt" "$publish" "$work/v2" "$server" >"$work/out.txt" 2>&1
    rc=$?
    rss="$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")"
    echo "  maximum resident set size: $rss KiB"
    check "exit code 0" same "$rc" 0
    check "at most 64 MB of memory" [ "${rss:-999999}" -le 65536 ]
    check "the kept record is whole" same "$(stat -c %s "$server"/DravikPublish/Previous-*/Kolacici.txt)" $((300 * 1024 * 1024))
    check "the record holds only the mark" is_mark_only "$server/Kolacici.txt"
else
    echo "  (a sanitizer's own memory would be measured: skipped)"
fi
rm -rf "$server"

# The worst moment, without guessing with sleeps: the debugger stops the launcher
# where it appends its record line, after copying the old version; DravikPublish
# runs to the end; then the launcher goes on.
echo "scenario: a version published just before the record line is taken whole and recorded"
if command -v gdb >/dev/null; then
    server="$work/caught"
    cp -r "$work/v1" "$server"
    : >"$server/Kolacici.txt"
    make_access "$work/caught-access"
    make_workstation "$work/caught-ws" "$server" "$work/caught-access"
    printf '%s\n' "set breakpoint pending on" "break dravik::AppendRecord" \
        "run </dev/null >$work/caught.txt 2>&1" \
        "shell \"$publish\" \"$work/v2\" \"$server\" >\"$work/out.txt\" 2>&1; echo \$? >\"$work/caught.rc\"" \
        "delete" "continue" >"$work/commands.gdb"
    # LeakSanitizer cannot run under a debugger; the other sanitizers still do.
    computername=pc07 username=Ana DRAVIKVT_REGISTRY="$work/caught-registry" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        gdb -q -batch -nx -x "$work/commands.gdb" --args "$work/caught-ws/app/DravikVT" >"$work/gdb.txt" 2>&1
    if [ -f "$work/caught.rc" ]; then
        check "published while the launcher stood before its append" same "$(cat "$work/caught.rc")" 0
        check "the launcher ended normally" contains "$work/gdb.txt" "exited normally"
        check "the new version, whole" same_files "$work/caught-ws/app" "$work/v2"
        check "recorded once, after the publish" same "$(grep -c '^PC07_ana	' "$server/Kolacici.txt")" 1
    else
        echo "  (this machine lets no debugger stop a program: skipped)"
    fi
else
    echo "  (gdb is not installed: skipped)"
fi

# A process stopped by the shim right after one step on the server, while another
# runs: no sleeps decide who comes first.
# paused <name> <step> <command...>: starts the command in the background under the
# shim, stopped after <step>; returns once it stands there (or has ended).
paused() {
    local dir="$work/pause-$1"
    rm -rf "$dir"
    mkdir -p "$dir"
    (LD_PRELOAD="$shim" DRAVIK_SLOW_FOLDER="$server" DRAVIK_PAUSE_DIR="$dir" DRAVIK_PAUSE_AT="$2" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
        "${@:3}"; echo $? >"$dir/rc") &
    local i
    for i in $(seq 1 1200); do [ -e "$dir/paused" ] || [ -e "$dir/rc" ] && break; sleep 0.05; done
    check "$1 stopped where asked" [ -e "$dir/paused" ]
}
go_on() { touch "$work/pause-$1/go"; }
ended() { # ended <name>: waits for a paused command; its exit code
    local i
    for i in $(seq 1 3000); do [ -e "$work/pause-$1/rc" ] && break; sleep 0.05; done
    cat "$work/pause-$1/rc" 2>/dev/null || echo none
}
# A stand-in Access that notes which version its folder held when it started.
versioned_access() { # versioned_access <folder>
    mkdir -p "$1"
    cat >"$1/MSACCESS.EXE" <<STANDIN
#!/bin/sh
app="\${1%[\\\\/]*}"; seen=mixed
for v in v1 v2 v3; do
    whole=yes
    for f in ${files[*]}; do cmp -s "\$app/\$f" "$work/\$v/\$f" || whole=no; done
    [ ! -e "$work/\$v/RuxVT3.ade" ] || cmp -s "\$app/RuxVT3.ade" "$work/\$v/RuxVT3.ade" || whole=no
    [ \$whole = yes ] && seen=\$v
done
echo "\$seen" >>"\$(dirname "\$0")/versions.log"
STANDIN
    chmod +x "$1/MSACCESS.EXE"
}
workstation() { # workstation <name>: runs a new workstation's launcher on $server
    make_workstation "$work/$1" "$server" "$work/$1-access"
    versioned_access "$work/$1-access"
    cd "$work/$1" && computername="$1" username=ana DRAVIKVT_REGISTRY="$work/$1/registry" \
        timeout 250 "$work/$1/app/DravikVT" </dev/null >"$work/$1/out.txt" 2>&1
}
# took <workstation> <version>: started Access once, on that version whole, without a
# message, and recorded once.
took() {
    local i
    for i in $(seq 1 100); do [ -s "$work/$1-access/versions.log" ] && break; sleep 0.05; done
    same "$(cat "$work/$1-access/versions.log" 2>/dev/null)" "$2" &&
        lacks "$work/$1/out.txt" "Dravik:" && lacks "$work/$1/out.txt" "Upozorenje" &&
        same "$(grep -ac "^${1^^}_ana	" "$server/Kolacici.txt")" 1
}

if [ -n "$shim" ]; then
    version "$work/v3" 512 3
    cp "$work/v2/"* "$work/v3/" && make_bytes "$work/v3/RuxVT3.ade" 32 "rux3 3"

    echo "scenario: a workstation starting while a publish stands after each of its renames"
    for k in 1 2 3 4; do
        server="$work/renames$k"
        rm -rf "$server" && cp -r "$work/v1" "$server"
        printf 'PC01_ivo\t\t1.12.2026. - 8:00:00\r\n' >"$server/Kolacici.txt"
        paused "publish$k" "rename:$k" "$publish" "$work/v2" "$server"
        (workstation "mid$k") &
        for i in $(seq 1 200); do grep -qa "Kopiranje" "$work/mid$k/out.txt" 2>/dev/null && break; sleep 0.05; done
        sleep 0.3 # it copies what it finds, then waits for the record
        go_on "publish$k"
        check "after rename $k: the publish ended well" same "$(ended "publish$k")" 0
        wait
        check "after rename $k: the workstation started Access on the new version whole" took "mid$k" v2
    done

    echo "scenario: a publish that adds a report file while a workstation copies"
    server="$work/adds"
    cp -r "$work/v1" "$server"
    "$publish" "$work/v2" "$server" >/dev/null 2>&1 # its mark is the record's first line
    DRAVIK_SLOW_FOLDER="$server" paused adder "open:Velkor_2007.exe:1" workstation adder
    "$publish" "$work/v3" "$server" >"$work/out.txt" 2>&1
    check "the publish ended well" same "$?" 0
    go_on adder
    ended adder >/dev/null
    check "the workstation took the added file, and started Access on that version" took adder v3

    echo "scenario: a publish renaming the front end over while a workstation copies it"
    server="$work/during"
    cp -r "$work/v2" "$server"
    "$publish" "$work/v1" "$server" >/dev/null 2>&1
    paused copier "open:uxVTade.ade:2" workstation copier
    "$publish" "$work/v2" "$server" >"$work/out.txt" 2>&1
    check "the publish ended well" same "$?" 0
    go_on copier
    ended copier >/dev/null
    check "the update took the new version whole, with no message" took copier v2

    echo "scenario: a rollback while a workstation copies"
    paused rolled "open:uxVTade.ade:2" workstation rolled
    "$publish" --rollback "$server" >"$work/out.txt" 2>&1
    check "the rollback ended well" same "$?" 0
    go_on rolled
    ended rolled >/dev/null
    check "the update took the version rolled back to, whole" took rolled v1

    echo "scenario: a server published by hand while a workstation copies: taken again"
    server="$work/by-hand"
    cp -r "$work/v1" "$server"
    : >"$server/Kolacici.txt"
    paused handy "open:Velkor_2007.exe:1" workstation handy
    cp "$work/v2/"* "$server/" && : >"$server/Kolacici.txt"
    go_on handy
    ended handy >/dev/null
    check "the update took the new version whole" took handy v2
else
    echo "  (no server shim given: the scenarios that stop a process at one step are skipped)"
fi

# shimmed <VAR=value>... -- <argument>...: the publish under the shim, which refuses
# one rename or cut, or stops or kills it at its n-th rename, as the variables say.
shimmed() {
    local vars=()
    while [ "$1" != -- ]; do vars+=("$1"); shift; done
    shift
    # In a shell of its own, which says "Killed" where nobody reads it.
    (env "${vars[@]}" LD_PRELOAD="$shim" DRAVIK_ONCE="$work/once.$RANDOM$RANDOM" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0:detect_leaks=0" \
        timeout -s KILL 60 "$publish" "$@" >"$work/out.txt" 2>&1; exit $?) 2>/dev/null
    rc=$?
}
exactly() { # exactly <server> <version>: the server's files are the version's, byte for byte
    same "$(cd "$1" && find . -maxdepth 1 -type f ! -name Kolacici.txt | sort)" \
        "$(cd "$2" && find . -maxdepth 1 -type f | sort)" && same_files "$1" "$2"
}
own_entries_only() { # DravikPublish\ holds its lock, publication, one kept folder and its note
    local odd
    odd="$(ls -A "$1/DravikPublish" | grep -vxE 'Publish.lock|Published.txt|Previous-[0-9a-f-]+(\.txt)?')"
    [ -z "$odd" ] && [ "$(find "$1/DravikPublish" -mindepth 1 -type d | wc -l)" -le 1 ] ||
        { echo "    in DravikPublish: $(ls -A "$1/DravikPublish" | tr '\n' ' ')"; return 1; }
}
snapshot() { (cd "$1" && find . -type f -exec md5sum {} + | sort); }
fresh_server() { # fresh_server <folder> <version>...: published one after the other
    rm -rf "$1"
    cp -r "$work/v1" "$1"
    printf 'PC07_ana\t\t1.12.2026. - 8:00:00\r\n' >"$1/Kolacici.txt"
    local v
    for v in "${@:2}"; do run_publish "$work/$v" "$1" || true; done
}
version "$work/third" 1024 3 # every file changed

if [ -n "$shim" ]; then
    echo "scenario: a run stopped with SIGSTOP refuses a second; once it is killed, a second goes on"
    server="$work/stopped"
    fresh_server "$server"
    env LD_PRELOAD="$shim" DRAVIK_SIGNAL_AT_RENAME="2 STOP" \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
        "$publish" "$work/third" "$server" >"$work/stopped.txt" 2>&1 &
    stopped=$!
    for _ in $(seq 100); do [ "$(ps -o stat= -p "$stopped")" = T ] && break; sleep 0.1; done
    before="$(snapshot "$server")"
    run_publish "$work/v2" "$server"
    check "a second run is refused with code 11" same "$rc" 11
    check "it says why, naming the lock" contains "$work/out.txt" \
        "Another DravikPublish is working on this server folder, or one stopped on a computer that lost the network (the server lets go of it within minutes; the server's Open Files list shows who holds $server\\DravikPublish\\Publish.lock)"
    check "and changes nothing" same "$(snapshot "$server")" "$before"
    kill -9 "$stopped"
    wait "$stopped" 2>/dev/null
    run_publish "$work/v2" "$server"
    check "once the stopped run is killed, a second publishes" same "$rc" 0
    check "the server is v2, whole" exactly "$server" "$work/v2"
    check "no file of a run beside the server's files" no_publish_leftovers "$server"
    check "DravikPublish holds only its own entries" own_entries_only "$server"

    echo "scenario: a publish killed at each of its renames, then run again, then rolled back"
    fresh_server "$work/published-v2" v2
    renames=10 # four kept copies, the note, four server files, the publication
    for n in $(seq 1 $renames); do
        server="$work/killed$n"
        rm -rf "$server"
        cp -a "$work/published-v2" "$server"
        shimmed DRAVIK_SIGNAL_AT_RENAME="$n KILL" -- "$work/third" "$server"
        check "killed at rename $n" same "$rc" 137
        run_publish "$work/third" "$server"
        check "killed at rename $n: the rerun publishes v3" same "$rc" 0
        check "killed at rename $n: v3 whole" exactly "$server" "$work/third"
        check "killed at rename $n: no file of a run beside the server's files" no_publish_leftovers "$server"
        check "killed at rename $n: DravikPublish holds only its own entries" own_entries_only "$server"
        run_publish --rollback "$server"
        check "killed at rename $n: the rollback gives exactly v2" exactly "$server" "$work/v2"
    done

    echo "scenario: v3 with one rename refused (exit 6), run again, rolled back: exactly v2"
    server="$work/refused"
    fresh_server "$server" v2
    shimmed DRAVIK_REFUSE_RENAME="$server/RuxVT1.ade" -- "$work/third" "$server"
    check "exit code 6" same "$rc" 6
    run_publish "$work/third" "$server"
    check "the rerun finishes" same "$rc" 0
    check "it leaves the front end, already new, alone" contains "$work/out.txt" "  uxVTade.ade is on the server already"
    run_publish --rollback "$server"
    check "the rollback gives exactly v2" exactly "$server" "$work/v2"

    echo "scenario: v3 ending in exit 7, run again, rolled back: exactly v2"
    server="$work/uncut"
    fresh_server "$server" v2
    shimmed DRAVIK_REFUSE_CUT=1 -- "$work/third" "$server"
    check "exit code 7" same "$rc" 7
    run_publish "$work/third" "$server"
    check "the rerun only empties the record" same "$rc:$(grep -c ' replaced$' "$work/out.txt")" 0:0
    check "Kolacici.txt emptied but for the mark" is_mark_only "$server/Kolacici.txt"
    run_publish --rollback "$server"
    check "the rollback gives exactly v2" exactly "$server" "$work/v2"

    echo "scenario: v3 failing at its first rename (exit 5): status and rollback know v2's publication"
    server="$work/first-refused"
    fresh_server "$server" v2
    run_publish --status "$server"
    head -1 "$work/out.txt" >"$work/status-before.txt"
    shimmed DRAVIK_REFUSE_RENAME="$server/uxVTade.ade" -- "$work/third" "$server"
    check "exit code 5" same "$rc" 5
    run_publish --status "$server"
    check "--status names v2's publication" same "$(head -1 "$work/out.txt")" "$(cat "$work/status-before.txt")"
    check "and knows who took v1" contains "$work/out.txt" "  PC07_ana	(took the previous version"
    run_publish --rollback "$server"
    check "the rollback gives exactly v1" exactly "$server" "$work/v1"
else
    echo "  (no server shim given: the scenarios that stop or refuse a run are skipped)"
fi

# The first run stops inside its copies, in the debugger; the second runs meanwhile.
echo "scenario: two publishes at once: one publishes whole, the other is refused and changes nothing"
if command -v gdb >/dev/null; then
    server="$work/twice"
    fresh_server "$server"
    cat >"$work/second.sh" <<SECOND
before="\$(cd "$server" && find . -type f -exec md5sum {} + | sort)"
timeout 60 "$publish" "$work/third" "$server" >"$work/second.txt" 2>&1; echo \$? >"$work/second.rc"
[ "\$before" = "\$(cd "$server" && find . -type f -exec md5sum {} + | sort)" ] && echo same >"$work/second.same"
SECOND
    printf '%s\n' "set breakpoint pending on" "break dravik::PosixPlatform::CopyFileOver" \
        "run \"$work/v2\" \"$server\" >$work/first.txt 2>&1" "shell bash $work/second.sh" "delete" \
        "continue" >"$work/twice.gdb"
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        gdb -q -batch -nx -x "$work/twice.gdb" "$publish" >"$work/gdb.txt" 2>&1
    if [ -f "$work/second.rc" ]; then
        check "the second is refused with code 11" same "$(cat "$work/second.rc")" 11
        check "and changes nothing" [ -f "$work/second.same" ]
        check "the first publishes" contains "$work/first.txt" "Published 4 files."
        check "the server holds v2, whole" exactly "$server" "$work/v2"
    else
        echo "  (this machine lets no debugger stop a program: skipped)"
    fi
else
    echo "  (gdb is not installed: skipped)"
fi

echo "scenario: publishing again and again while launchers update from the same server folder"
server="$work/busy"
cp -r "$work/v1" "$server"
: >"$server/Kolacici.txt"
record_inode="$(inode "$server/Kolacici.txt")"
access="$work/access"
make_access "$access"
stations=6
for i in $(seq 1 "$stations"); do make_workstation "$work/ws$i" "$server" "$access"; done
# Each workstation loses its front end before every start, so every start updates.
station() { # station <number>: starts its launcher until told to stop, checking each result
    local ws="$work/ws$1" f
    while [ ! -e "$work/stop" ]; do
        rm -f "$ws/app/uxVTade.ade"
        (cd "$ws" && computername="ws$1" username="user$1" DRAVIKVT_REGISTRY="$ws/registry" \
            timeout 20 "$ws/app/DravikVT" </dev/null >"$ws/out.txt" 2>&1)
        echo $? >>"$ws/codes.txt"
        grep -qaF "Dravik: Ne mogu pokrenuti program!" "$ws/out.txt" && cat "$ws/out.txt" >>"$ws/failures.txt"
        for f in "${files[@]}"; do
            [ -e "$ws/app/$f" ] || continue
            cmp -s "$ws/app/$f" "$work/v1/$f" || cmp -s "$ws/app/$f" "$work/v2/$f" ||
                echo "start $(wc -l <"$ws/codes.txt"): $f is neither version" >>"$ws/torn.txt"
        done
    done
}
for i in $(seq 1 "$stations"); do station "$i" & done
sleep 0.5
publishes=0
publish_failures=0
for round in 1 2 3 4 5 6 7 8; do
    # Version 2 goes out and version 1 comes back: by publishing it, or by a rollback.
    if [ $((round % 4)) = 0 ]; then args=(--rollback "$server"); else args=("$work/v$((round % 2 + 1))" "$server"); fi
    timeout 60 "$publish" "${args[@]}" >"$work/round$round.txt" 2>&1 || {
        publish_failures=$((publish_failures + 1))
        sed 's/^/    /' "$work/round$round.txt"
    }
    publishes=$((publishes + 1))
    sleep 0.2
done
sleep 0.5
touch "$work/stop"
wait
starts=0
for i in $(seq 1 "$stations"); do
    ws="$work/ws$i"
    starts=$((starts + $(wc -l <"$ws/codes.txt")))
    check "ws$i: every start ended by itself, in time" same "$(awk '$1 >= 124' "$ws/codes.txt" | wc -l)" 0
    check "ws$i: every file whole, of one version or the other" same "$(cat "$ws/torn.txt" 2>/dev/null)" ""
    # A start that ran into a publish may have started Access on files of both
    # versions; recorded, a workstation holds the version on the server, whole.
    if grep -q "^WS${i}_user$i	" "$server/Kolacici.txt"; then
        check "ws$i: recorded, and holding the server's version whole" same_files "$ws/app" "$server"
    fi
    [ -s "$ws/failures.txt" ] && { echo "  ws$i reported failures:"; sed 's/^/    /' "$ws/failures.txt"; }
done
echo "  $publishes publishes, $starts launcher starts"
check "every publish succeeded" same "$publish_failures" 0
check "the launchers started often enough to overlap the publishes" [ "$starts" -ge $((stations * 4)) ]
check "the server ends with the last version published" same_files "$server" "$work/v1"
check "no temporary copy left on the server" no_publish_leftovers "$server"
check "Kolacici.txt was never replaced" same "$(inode "$server/Kolacici.txt")" "$record_inode"
finish
