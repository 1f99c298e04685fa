#!/bin/sh
# Makes the Wine prefix the Windows tests share ($WINEPREFIX) look like a desktop:
# Wine's own fonts (MS Sans Serif, Marlett for the title-bar buttons, Tahoma),
# which Debian's Wine does not find by itself, and windows that Wine frames
# itself, since Xvfb has no window manager (without one each hide waits 2 s).
#
# Usage: wine-prefix-setup.sh LOADER [SKIP_FILE]
#
# With SKIP_FILE the loader is one this machine may be unable to run (32-bit
# Wine on a kernel without 32-bit support, or only under slow emulation). Every
# step is then bounded: when the loader does not start, the prefix is not ready
# within DRAVIK_WINE_BOOT_SECONDS, or a Windows program does not finish within
# DRAVIK_WINE_START_SECONDS, the reason goes to SKIP_FILE and the script exits
# 77, which the tests read as "skipped". Without SKIP_FILE any failure fails.
set -e
wine="$1"
skip_file="${2:-}"
boot_seconds="${DRAVIK_WINE_BOOT_SECONDS:-180}"
start_seconds="${DRAVIK_WINE_START_SECONDS:-45}"

skip() {
    printf '%s\n' "$*" >"$skip_file"
    echo "SKIPPED: $*"
    # A server left behind by a step that was cut off.
    "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
    exit 77
}

# Runs a step, within a time limit when probing; a step that fails or overruns
# while probing skips with the reason.
step() {
    limit="$1"
    what="$2"
    shift 2
    if [ -z "$skip_file" ]; then
        "$@"
        return
    fi
    # Into a file, not a pipe: the Wine server it starts outlives the step.
    log="$skip_file.log"
    set +e
    timeout -k 5 "$limit" "$@" >"$log" 2>&1
    status=$?
    set -e
    cat "$log"
    output=$(cat "$log")
    rm -f "$log"
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        skip "$what did not finish within $limit s ($wine): this machine runs 32-bit Wine too slowly, if at all"
    elif [ "$status" -ne 0 ]; then
        reason=$(printf '%s\n' "$output" | grep -v '^[[:space:]]*$' | tail -n 1)
        skip "$what failed with exit code $status ($wine): ${reason:-no output}"
    fi
}

if [ -n "$skip_file" ]; then
    rm -f "$skip_file"
    [ -e "$wine" ] || skip "the Wine loader $wine is not installed"
    step "$start_seconds" "starting the Wine loader" "$wine" --version
fi
step "$boot_seconds" "making the Wine prefix" "$wine" wineboot -i
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ]; then
    cp -u /usr/share/wine/fonts/* "$fonts/"
fi
step "$start_seconds" "running a Windows program" \
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
