#!/usr/bin/env bash
# End-to-end scenarios for the Linux build: the real launcher in a program folder
# of its own, a server folder, and a stand-in Access that records how it started.
# Usage: posix_e2e.sh <path of the built DravikVT>
set -uo pipefail
launcher="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() { # check <description> <command...>
    if "${@:2}"; then
        passed=$((passed + 1))
    else
        echo "  FAILED: $1"
        failed=$((failed + 1))
    fi
}

setup() { # a fresh deployment in $work/$1
    root="$work/$1"
    mkdir -p "$root/app" "$root/server" "$root/access"
    cp "$launcher" "$root/app/DravikVT"
    printf 'NewFiles = %s/server\r\nDefAccessPath = %s/access/MSACCESS.EXE\r\nNewFE = uxVTade.ade\r\nSQLBaza = SRV 01\r\nRuntime = True\r\n' \
        "$root" "$root" >"$root/app/DravikVT.txt"
    printf 'FE v2' >"$root/server/uxVTade.ade"
    printf 'rux v2' >"$root/server/RuxVT1.ade"
    printf 'rux accde v2' >"$root/server/RUXVT2.ACCDE"
    printf 'companion v2' >"$root/server/Velkor_2007.exe"
    cat >"$root/access/MSACCESS.EXE" <<'STANDIN'
#!/bin/sh
{ printf 'show=%s cwd=%s args=' "$DRAVIKVT_SHOW_MODE" "$(pwd)"; printf '[%s]' "$@"; echo; } >>"$(dirname "$0")/started.log"
STANDIN
    chmod +x "$root/access/MSACCESS.EXE"
    export DRAVIKVT_REGISTRY="$root/registry" computername=pc07 username=Ana
    unset DRAVIKVT_HELD_KEYS
}

run() { # run [stdin text]: starts the launcher, waits for the stand-in to log
    printf '%s' "${1:-}" | "$root/app/DravikVT" >"$root/out.txt" 2>&1
    echo $? >"$root/rc.txt"
    sleep 0.3
}

starts() { [ -f "$root/access/started.log" ] && wc -l <"$root/access/started.log" || echo 0; }
same() { [ "$1" = "$2" ] || { echo "    expected [$2], got [$1]"; return 1; }; }
# durable_before_record <system calls> <program folder> <name>: the copy of <name>
# was synced, renamed into place and then its folder synced, before the record line.
durable_before_record() {
    awk -v copy="$2/$3.1.dravik-tmp" -v folder="$2" '
        step == 0 && index($0, "sync(") && index($0, "<" copy ">)") { step = 1; next }
        step == 1 && index($0, "rename") && index($0, "\"" copy "\", ") { step = 2; next }
        step == 2 && index($0, "sync(") && index($0, "<" folder ">)") { step = 3; next }
        index($0, "write(") && index($0, "/Kolacici.txt>") { recorded = 1; exit }
        END { exit !(step == 3 && recorded) }' "$1" ||
        { echo "    not in this order:"; grep -F -e "$3" -e "<$2>)" -e Kolacici "$1" | sed 's/^/      /'; return 1; }
}
contains() { grep -qF -- "$2" "$1" || { echo "    [$2] not in $1:"; sed 's/^/      /' "$1"; return 1; }; }

echo "scenario: a new workstation updates, records itself and starts Access"
setup fresh
run
check "front end copied" same "$(cat "$root/app/uxVTade.ade")" "FE v2"
check "report files copied under their own names" same "$(cat "$root/app/RUXVT2.ACCDE")" "rux accde v2"
check "companion copied" same "$(cat "$root/app/Velkor_2007.exe")" "companion v2"
check "one record line" same "$(grep -c '^PC07_ana		' "$root/server/Kolacici.txt")" "1"
check "Access started once" same "$(starts)" "1"
check "minimised, with the front end, user, runtime and cmd" contains "$root/access/started.log" \
    "show=2 cwd=$PWD args=[$root/app\\uxVTade.ade][/user][Admin][/pwd][/Runtime][/Cmd][SRV][01]"
check "trusted location registered" contains \
    "$root/registry/Software.key/Microsoft.key/Office.key/14.0.key/Access.key/Security.key/Trusted Locations.key/Location0.key/Path.value" \
    "$root\\"
check "status shown during the copy" contains "$root/out.txt" "Kopiranje nove verzije programa..."

echo "scenario: a recorded workstation starts Access and copies nothing"
printf 'FE v3' >"$root/server/uxVTade.ade"
: >"$root/out.txt"
run
check "no copy" same "$(cat "$root/app/uxVTade.ade")" "FE v2"
check "Access started again" same "$(starts)" "2"
check "nothing shown" same "$(cat "$root/out.txt")" ""
check "still one record line" same "$(grep -c '^PC07_ana' "$root/server/Kolacici.txt")" "1"

echo "scenario: a missing server folder is reported and Access is not started"
setup failing
rm -rf "$root/server"
run
check "the failure message" contains "$root/out.txt" "Dravik: Ne mogu pokrenuti program!"
check "with the system's text after Error:" contains "$root/out.txt" "Error:"
check "Access not started" same "$(starts)" "0"

echo "scenario: maintenance with Ctrl and Shift and the code"
setup maintenance
export DRAVIKVT_HELD_KEYS=ctrl,shift
run $'zelk\n2\n1\n3\n'
check "asked for the code" contains "$root/out.txt" "Šifra ?"
check "Pokreni program started Access" same "$(starts)" "1"
check "Uzmi novi MDA updated" same "$(cat "$root/app/uxVTade.ade")" "FE v2"
check "Kraj ended the program" same "$(cat "$root/rc.txt")" "0"

echo "scenario: a wrong code starts normally"
setup wrongcode
export DRAVIKVT_HELD_KEYS=ctrl,shift
run $'Zelk\n'
check "normal start" same "$(starts)" "1"

echo "scenario: no configuration file"
setup noconfig
rm "$root/app/DravikVT.txt"
run
check "error report names the file" contains "$root/out.txt" "DravikVT.txt"
check "ends with a failure code" same "$(cat "$root/rc.txt")" "1"
check "Access not started" same "$(starts)" "0"

echo "scenario: each copy and its name are on the disk before the record line"
setup durable
if strace -o /dev/null true 2>/dev/null; then
    strace -f -y -o "$root/calls.txt" -e trace=openat,fsync,fdatasync,rename,renameat,renameat2,write \
        "$root/app/DravikVT" </dev/null >"$root/out.txt" 2>&1
    for f in uxVTade.ade RuxVT1.ade RUXVT2.ACCDE Velkor_2007.exe; do
        check "$f synced, renamed, its folder synced, then recorded" \
            durable_before_record "$root/calls.txt" "$(realpath "$root/app")" "$f"
    done
else
    echo "  SKIPPED: strace cannot trace here"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
