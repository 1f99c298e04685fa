# Shared by the reliability scripts: checks, a server folder, workstations with
# their own program folder, and a stand-in Access that notes who started it.
# Sourced; expects $launcher (the built DravikVT) and $work (a scratch folder).

passed=0
failed=0
export LC_ALL=C

check() { # check <description> <command...>
    if "${@:2}"; then
        passed=$((passed + 1))
    else
        echo "  FAILED: $1"
        failed=$((failed + 1))
    fi
}
same() { [ "$1" = "$2" ] || { echo "    expected [$2], got [$1]"; return 1; }; }
contains() { grep -qaF -- "$2" "$1" || { echo "    [$2] not in $1:"; head -c 2000 "$1" | sed 's/^/      /'; return 1; }; }
lacks() { ! grep -qaF -- "$2" "$1" || { echo "    [$2] unexpectedly in $1"; return 1; }; }
no_temporary_files() { # no_temporary_files <folder>...
    local left
    left="$(find "$@" -name '*.dravik-tmp' 2>/dev/null)"
    [ -z "$left" ] || { echo "    left behind: $left"; return 1; }
}
not_killed() { # not_killed <exit code>: a code from a signal means a crash or a kill
    [ "$1" -lt 128 ] || { echo "    exit code $1 (signal $(($1 - 128)))"; return 1; }
}
# The start-up failure message, as the terminal window prints it.
reported_failure() { # reported_failure <stdout file>
    contains "$1" "Dravik: Ne mogu pokrenuti program!" && contains "$1" "Error:"
}

finish() {
    echo "$passed checks passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# make_bytes <file> <size in KiB> <seed>: incompressible bytes, different per seed.
make_bytes() {
    head -c $(($2 * 1024)) /dev/urandom >"$1"
    printf '%s' "$3" | dd of="$1" conv=notrunc status=none
}

# make_server <folder> <front-end size in KiB>
make_server() {
    mkdir -p "$1"
    make_bytes "$1/uxVTade.ade" "$2" fe
    make_bytes "$1/RuxVT1.ade" 64 rux1
    make_bytes "$1/RUXVT2.ACCDE" 96 rux2
    make_bytes "$1/Velkor_2007.exe" 48 companion
}

# make_access <folder>: an executable MSACCESS.EXE that appends who started it.
make_access() {
    mkdir -p "$1"
    cat >"$1/MSACCESS.EXE" <<'STANDIN'
#!/bin/sh
echo "started ${computername:-?} $1" >>"$(dirname "$0")/started.log"
STANDIN
    chmod +x "$1/MSACCESS.EXE"
}

# make_workstation <folder> <server folder> <access folder>: a program folder with
# the launcher and its DravikVT.txt.
make_workstation() {
    mkdir -p "$1/app"
    cp "$launcher" "$1/app/DravikVT"
    printf '* reliability test\r\nNewFiles = %s\r\nDefAccessPath = %s/MSACCESS.EXE\r\nNewFE = uxVTade.ade\r\nSQLBaza = SRV01\r\nRuntime = True\r\n' \
        "$2" "$3" >"$1/app/DravikVT.txt"
}

# access_starts <access folder> <computer name>: how often the stand-in was started for it.
access_starts() {
    [ -f "$1/started.log" ] || { echo 0; return; }
    grep -c "^started $2 " "$1/started.log"
}

# wait_for_starts <access folder> <count> [tries of 50 ms]: the stand-in runs
# detached; give it time.
wait_for_starts() {
    local i
    for i in $(seq 1 "${3:-100}"); do
        [ -f "$1/started.log" ] && [ "$(wc -l <"$1/started.log")" -ge "$2" ] && return 0
        sleep 0.05
    done
    return 0
}

# start_together <count> <run>: runs "<run> <i>" for i from 1 to count, all at
# the same moment, and waits for them. Opening a FIFO for reading blocks until
# someone opens it for writing, so every one waits on it until the test does.
start_together() {
    local go="$work/go-$2" i
    mkfifo "$go"
    for i in $(seq 1 "$1"); do
        (
            exec 3<"$go"
            "$2" "$i"
        ) &
    done
    sleep 1 # let every one of them block on the FIFO
    exec 4>"$go"
    exec 4>&-
    wait
    rm -f "$go"
}
