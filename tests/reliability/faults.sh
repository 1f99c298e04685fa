#!/usr/bin/env bash
# Faults during an update, each with nothing lost and a clear message on stdout:
# the server folder going away mid-copy, a full disk, a read-only program folder,
# a record file that cannot be written, a front end that cannot be read.
# Usage: faults.sh <path of the built DravikVT>
set -uo pipefail
launcher="$1"
work="$(mktemp -d)"
immutable=()
mounted=()
cleanup() {
    local p
    for p in "${immutable[@]}"; do chattr -i "$p" 2>/dev/null; done
    for p in "${mounted[@]}"; do umount "$p" 2>/dev/null; done
    chmod -R u+rwX "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/common.sh"

# scene <name>: a workstation with an old copy of everything, not yet recorded.
scene() {
    root="$work/$1"
    server="$root/server"
    access="$root/access"
    app="$root/ws/app"
    make_server "$server" "${2:-512}"
    make_access "$access"
    make_workstation "$root/ws" "$server" "$access"
    for f in uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe; do
        printf 'old %s' "$f" >"$app/$f"
    done
    echo "scenario: $1"
}
env_of_ws=(computername=pc07 username=Ana)
run() { # run: the launcher with stdin from /dev/null, bounded in time
    (cd "$root" && env "${env_of_ws[@]}" DRAVIKVT_REGISTRY="$root/registry" \
        timeout 20 "$app/DravikVT" </dev/null >"$root/out.txt" 2>&1)
    rc=$?
}
# Each file is still the old one or the complete new one.
old_or_new() { # old_or_new <name>
    printf 'old %s' "$1" | cmp -s - "$app/$1" || cmp -s "$app/$1" "${2:-$server}/$1" ||
        { echo "    $1 is neither the old nor the new file"; return 1; }
}
nothing_lost() { # nothing_lost [server folder the new files came from]
    local f
    for f in uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe; do
        check "$f old or new, never partial" old_or_new "$f" "${1:-$server}"
    done
    check "no temporary file" no_temporary_files "$app"
}
# alive <pid>: running or stopped, not a zombie waiting to be reaped.
alive() {
    local stat
    # The state is the field after the parenthesised command name.
    stat="$(cat "/proc/$1/stat" 2>/dev/null)" || return 1
    stat="${stat##*) }"
    [ -n "$stat" ] && [ "${stat:0:1}" != Z ]
}
is_root() { [ "$(id -u)" = 0 ]; }
# protect <path> <mode>: makes a file or folder refuse writing; for root, whom
# permissions do not stop, with the immutable attribute. Fails when neither works.
protect() {
    if is_root; then
        chattr +i "$1" 2>/dev/null || return 1
        immutable+=("$1")
    else
        chmod "$2" "$1"
    fi
}
unprotect() { if is_root; then chattr -i "$1"; else chmod u+w "$1"; fi; }

# --- The server folder renamed away while the front end is being copied ------------
# The launcher is stopped while its temporary copy exists, the folder is renamed,
# and the launcher goes on: the open front end is still read whole, everything the
# update looks for afterwards is gone, and the record cannot be written.
scene server_gone 131072
(cd "$root" && exec env "${env_of_ws[@]}" DRAVIKVT_REGISTRY="$root/registry" \
    "$app/DravikVT" </dev/null >"$root/out.txt" 2>&1) &
pid=$!
caught=no
for i in $(seq 1 2000); do
    if [ -e "$app/uxVTade.ade.1.dravik-tmp" ]; then
        kill -STOP "$pid" 2>/dev/null && caught=yes
        break
    fi
    alive "$pid" || break
    sleep 0.005
done
mv "$server" "$root/server.moved"
kill -CONT "$pid" 2>/dev/null
for i in $(seq 1 400); do # at most 20 s
    alive "$pid" || break
    sleep 0.05
done
kill -KILL "$pid" 2>/dev/null
wait "$pid"
rc=$?
check "the launcher was caught in the middle of the copy" same "$caught" yes
check "ended by itself" not_killed "$rc"
check "start-up failure reported" reported_failure "$root/out.txt"
check "the cause is the missing folder" contains "$root/out.txt" "No such file or directory"
check "Access not started" same "$(starts_after_a_moment "$access" pc07)" 0
nothing_lost "$root/server.moved"
check "nothing recorded" [ ! -e "$root/server.moved/Kolacici.txt" ]

# --- A full disk in the program folder -------------------------------------------------
# A small tmpfs where mounting works (root); a file-size limit in the launcher's shell
# otherwise. The limit is also tried with SIGXFSZ left at its default action.
# The tmpfs holds the launcher (large in a sanitizer build) with 1 MB to spare,
# less than the 4 MB front end needs.
small_kb=$(( $(stat -c %s "$launcher") / 1024 + 1024 ))
if is_root && mkdir -p "$work/small" && mount -t tmpfs -o size=${small_kb}k tmpfs "$work/small" 2>/dev/null; then
    mounted+=("$work/small")
    scene disk_full 4096
    mv "$root/ws" "$work/small/ws" && ln -s "$work/small/ws" "$root/ws"
    app="$work/small/ws/app"
    run
    check "ended by itself" not_killed "$rc"
    check "start-up failure reported" reported_failure "$root/out.txt"
    check "the cause is the full disk" contains "$root/out.txt" "No space left on device"
    check "Access not started" same "$(starts_after_a_moment "$access" pc07)" 0
    nothing_lost
    check "nothing recorded" [ ! -e "$server/Kolacici.txt" ]
else
    echo "  (no tmpfs: the full disk is tried with the file-size limit only)"
fi

scene file_size_limit_ignored 4096
(cd "$root" && trap '' XFSZ && ulimit -f 1024 && env "${env_of_ws[@]}" DRAVIKVT_REGISTRY="$root/registry" \
    timeout 20 "$app/DravikVT" </dev/null >"$root/out.txt" 2>&1)
rc=$?
check "ended by itself" not_killed "$rc"
check "start-up failure reported" reported_failure "$root/out.txt"
check "the cause is the file size" contains "$root/out.txt" "File too large"
check "Access not started" same "$(starts_after_a_moment "$access" pc07)" 0
nothing_lost
check "nothing recorded" [ ! -e "$server/Kolacici.txt" ]

scene file_size_limit_default_signal 4096
(cd "$root" && trap - XFSZ && ulimit -f 1024 && env "${env_of_ws[@]}" DRAVIKVT_REGISTRY="$root/registry" \
    timeout 20 "$app/DravikVT" </dev/null >"$root/out.txt" 2>&1)
rc=$?
check "not killed by SIGXFSZ" not_killed "$rc"
check "start-up failure reported" reported_failure "$root/out.txt"
check "the cause is the file size" contains "$root/out.txt" "File too large"
nothing_lost
check "nothing recorded" [ ! -e "$server/Kolacici.txt" ]

# --- A read-only program folder -----------------------------------------------------------
scene read_only_program_folder
if protect "$app" 0555; then
    run
    unprotect "$app"
    check "ended by itself" not_killed "$rc"
    check "start-up failure reported" reported_failure "$root/out.txt"
    if is_root; then cause="Operation not permitted"; else cause="Permission denied"; fi
    check "the cause is the refused write" contains "$root/out.txt" "$cause"
    check "Access not started" same "$(starts_after_a_moment "$access" pc07)" 0
    nothing_lost
    check "nothing recorded" [ ! -e "$server/Kolacici.txt" ]
else
    echo "  SKIPPED: running as root where the immutable attribute cannot be set"
fi

# --- A record file that cannot be written: a folder named Kolacici.txt --------------------
scene record_file_is_a_folder
mkdir "$server/Kolacici.txt"
run
check "ended by itself" not_killed "$rc"
check "start-up failure reported" reported_failure "$root/out.txt"
check "the cause is named" contains "$root/out.txt" "Is a directory"
check "Access not started" same "$(starts_after_a_moment "$access" pc07)" 0
nothing_lost
for f in uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe; do
    check "$f copied before the record failed" cmp -s "$app/$f" "$server/$f"
done
check "the folder stays empty" same "$(ls -A "$server/Kolacici.txt")" ""

# --- A front end on the server that cannot be read ---------------------------------------
scene front_end_unreadable
if is_root; then
    # Root reads any file; a folder in the front end's place cannot be read by anyone.
    rm "$server/uxVTade.ade" && mkdir "$server/uxVTade.ade"
    cause="Is a directory"
else
    chmod 000 "$server/uxVTade.ade"
    cause="Permission denied"
fi
run
check "ended by itself" not_killed "$rc"
check "start-up failure reported" reported_failure "$root/out.txt"
check "the cause is named" contains "$root/out.txt" "$cause"
check "Access not started" same "$(starts_after_a_moment "$access" pc07)" 0
check "the old front end stays" same "$(cat "$app/uxVTade.ade")" "old uxVTade.ade"
check "no temporary file" no_temporary_files "$app"
check "nothing recorded" [ ! -e "$server/Kolacici.txt" ]

# --- A record file users may only read and append to ----------------------------------
# The append-only attribute (root, ext4) is Linux's nearest to Read and Append Data:
# no one may truncate, rewrite or delete the file; appending still works.
scene record_append_only
printf 'PC01_ivo\t\t1.12.2026. - 8:00:00\r\n' >"$server/Kolacici.txt"
if is_root && chattr +a "$server/Kolacici.txt" 2>/dev/null; then
    run
    chattr -a "$server/Kolacici.txt"
    wait_for_starts "$access" 1
    check "Access started" same "$(access_starts "$access" pc07)" 1
    check "the line appended after the others" same "$(sed -n 2p "$server/Kolacici.txt" | cut -f1)" PC07_ana
else
    echo "  (no append-only attribute here: skipped)"
fi

finish
