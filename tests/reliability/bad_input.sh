#!/usr/bin/env bash
# Bad input for the whole program: odd configuration files and record files. Each
# run must end within its time limit, by itself (no signal), with either the
# normal result (Access started) or the start-up failure message.
# Usage: bad_input.sh <path of the built DravikVT>
set -uo pipefail
launcher="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/common.sh"

# scene <name>: a workstation that is current (recorded, every file present), so a
# run that gets past the configuration just starts Access.
scene() {
    root="$work/$1"
    server="$root/server"
    access="$root/access"
    app="$root/ws/app"
    make_server "$server" 64
    make_access "$access"
    make_workstation "$root/ws" "$server" "$access"
    cp "$server"/* "$app/"
    printf 'PC07_ana\t\t1.12.2026. - 8:00:00\r\n' >"$server/Kolacici.txt"
    good_config="$(cat "$app/DravikVT.txt")"
}
run() {
    (cd "$root" && env computername=pc07 username=Ana DRAVIKVT_REGISTRY="$root/registry" \
        timeout 20 "$app/DravikVT" </dev/null >"$root/out.txt" 2>&1)
    rc=$?
}
# ends_sanely <expectation>: normal (Access started, no message), failure (the
# start-up failure message), or either.
ends_sanely() {
    check "ended within the time limit" [ "$rc" != 124 ]
    check "ended by itself (exit $rc)" not_killed "$rc"
    # A run that fails must not start Access; a short look is enough to see one that does.
    if [ "$1" = failure ]; then wait_for_starts "$access" 1 6; else wait_for_starts "$access" 1; fi
    local starts
    starts="$(access_starts "$access" pc07)"
    case "$1" in
    normal)
        check "Access started" same "$starts" 1
        check "no failure message" lacks "$root/out.txt" "Ne mogu pokrenuti"
        ;;
    failure)
        check "start-up failure reported" reported_failure "$root/out.txt"
        check "Access not started" same "$starts" 0
        ;;
    *)
        if [ "$starts" = 1 ]; then
            check "normal result" lacks "$root/out.txt" "Ne mogu pokrenuti"
        else
            check "clear failure" reported_failure "$root/out.txt"
        fi
        ;;
    esac
}
long_text() { head -c "$1" /dev/zero | tr '\0' "${2:-x}"; }

echo "scenario: a 100 KB junk line before the keys"
scene long_junk_line
{ long_text 102400; printf '\r\n%s\r\n' "$good_config"; } >"$app/DravikVT.txt"
run
ends_sanely normal

echo "scenario: the server folder's line itself is 100 KB long"
scene long_key_line
{ printf 'NewFiles = %s' "$server"; long_text 102400 ' '; printf '\r\n%s\r\n' "$good_config"; } >"$app/DravikVT.txt"
run
ends_sanely failure
check "the cause is the overflow" contains "$root/out.txt" "Error:Overflow"

echo "scenario: a 100 KB line without any line end"
scene long_unended_line
{ printf '%s\r\n' "$good_config"; long_text 102400 '='; } >"$app/DravikVT.txt"
run
ends_sanely normal

echo "scenario: NUL bytes in lines no setting reads, and NUL padding after a crash"
scene nul_bytes
{ printf 'Junk\0\0\0line\r\n\0\r\n'; printf '%s\r\n' "$good_config"; printf 'SQLBaza = A\0B\r\n\0\0\0\0'; } >"$app/DravikVT.txt"
run
ends_sanely normal

echo "scenario: a NUL byte in the line a setting is read from"
scene nul_in_setting
{ printf '* first\r\nSQLBaza = A\0B\r\n'; printf '%s\r\n' "$good_config"; } >"$app/DravikVT.txt"
run
ends_sanely failure
check "the setting and its line are named" contains "$root/out.txt" "redak 2, postavka SQLBaza"

echo "scenario: NUL bytes inside the front end's name"
scene nul_in_name
printf 'NewFiles = %s\r\nDefAccessPath = %s\r\nNewFE = uxVT\0ade.ade\r\n' "$server" "$access" >"$app/DravikVT.txt"
run
ends_sanely any

echo "scenario: bytes the code page does not define (0x81 0x83 0x88 0x90 0x98) and UTF-8"
scene invalid_code_page
{ printf '\x81\x83\x88\x90\x98 \xc4\x8d\xff\xfe\r\n%s\r\n' "$good_config"; printf 'SQLBaza = \x81\x98\xff\r\n'; } >"$app/DravikVT.txt"
run
ends_sanely normal

echo "scenario: a front-end name in bytes the code page does not define"
scene invalid_code_page_name
printf 'NewFiles = %s\r\nDefAccessPath = %s\r\nNewFE = \x81\x98\xff.ade\r\n' "$server" "$access" >"$app/DravikVT.txt"
run
ends_sanely failure

echo "scenario: only comments"
scene only_comments
printf '* one\r\n* NewFiles = %s\r\n*\r\n' "$server" >"$app/DravikVT.txt"
run
ends_sanely failure

echo "scenario: an empty configuration file"
scene empty_config
: >"$app/DravikVT.txt"
run
ends_sanely failure

echo "scenario: a megabyte of random bytes as configuration"
scene random_config
head -c 1048576 /dev/urandom >"$app/DravikVT.txt"
run
ends_sanely any

echo "scenario: 40,000 configuration lines, keys first"
scene forty_thousand_lines
{ printf '%s\r\n' "$good_config"; seq 1 40000 | awk '{ printf "Line%d = %d\r\n", $1, $1 }'; } >"$app/DravikVT.txt"
run
ends_sanely failure
check "the cause is the overflow" contains "$root/out.txt" "Error:Overflow"

echo "scenario: 40,000 comment lines and the keys"
scene forty_thousand_comments
{ seq 1 40000 | awk '{ printf "* %d\r\n", $1 }'; printf '%s\r\n' "$good_config"; } >"$app/DravikVT.txt"
run
ends_sanely normal

echo "scenario: CR-only line ends"
scene cr_only
printf '%s' "$good_config" | tr -d '\n' >"$app/DravikVT.txt"
run
ends_sanely any

echo "scenario: a record file of 40,000 lines, some 100 KB long, with the key last"
scene big_record_file
{
    seq 1 40000 | awk '{ printf "PC%05d_user\t\t1.12.2026. - 8:00:00\r\n", $1 }'
    for i in 1 2 3; do long_text 102400 a; printf '\r\n'; long_text 102400 $'\t'; printf '\r\n'; done
    printf 'PC07_ana\t\t1.12.2026. - 8:00:00\r\n'
} >"$server/Kolacici.txt"
before="$(md5sum <"$server/Kolacici.txt")"
run
ends_sanely normal
check "the record file is left alone" same "$(md5sum <"$server/Kolacici.txt")" "$before"

echo "scenario: a record file of 40,000 lines without the key, ending in an unended 100 KB line"
scene big_record_file_update
{ seq 1 40000 | awk '{ printf "PC%05d_user\t\t1.12.2026. - 8:00:00\r\n", $1 }'; long_text 102400 b; } >"$server/Kolacici.txt"
run
ends_sanely normal
check "the new line stands alone at the end" same \
    "$(tail -c 200 "$server/Kolacici.txt" | tail -n 1 | grep -acP '^PC07_ana\t\t[0-9][^\t\r\n]* - [0-9][^\t\r\n]*\r$')" 1
check "the long line got its line end" same "$(grep -ac $'^b*\r$' "$server/Kolacici.txt")" 1
check "no temporary file" no_temporary_files "$app"

echo "scenario: a record file of NULs and random bytes"
scene random_record_file
head -c 2097152 /dev/urandom >"$server/Kolacici.txt"
run
ends_sanely normal
check "recorded after the junk" same "$(tail -c 200 "$server/Kolacici.txt" | tail -n 1 | grep -ac '^PC07_ana')" 1

finish
