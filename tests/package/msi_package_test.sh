#!/usr/bin/env bash
# The site package under Wine. Builds two versions of it from this build's
# DravikVT.exe with scripts/build-msi.sh, the first made into a package as they
# were before settings travelled (its settings file permanent), then, with the
# 64-bit msiexec in a Wine prefix of its own: installs the first, edits its
# settings on the workstation, starts the installed launcher through its
# Start-menu shortcut on the demo deployment, upgrades to the second, which
# brings its own settings, is refused the first again, and uninstalls.
#
# Usage: msi_package_test.sh x86|x64 DravikVT.exe MSACCESS.EXE WORK_DIR
#
# DRAVIK_WINE64_LOADER is the loader (default /usr/lib/wine/wine64). Where the
# 32-bit probe of this build found that this machine cannot run 32-bit Wine,
# it left the reason in DRAVIK_WINE_SKIP_FILE: the 32-bit launcher is then not
# started, and the package is still installed, upgraded and removed.
set -uo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 x86|x64 DravikVT.exe MSACCESS.EXE WORK_DIR" >&2
    exit 2
fi
arch="$1" exe="$2" msaccess="$3" work="$4"
root="$(cd "$(dirname "$0")/../.." && pwd)"
wine="${DRAVIK_WINE64_LOADER:-/usr/lib/wine/wine64}"

suite="msi_package $arch"
. "$(dirname "$0")/steps.sh"

export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver="$(dirname "$wine")/wineserver"
cleanup() { "$wineserver" -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

w() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }
windows_path() { w winepath -w "$1"; }
unix_path() { w winepath -u "$1"; }
msiexec() { "$wine" msiexec "$1" "$(windows_path "$2")" /qn >/dev/null 2>&1; }
same() { cmp -s "$1" "$2"; }

# Windows Installer keeps a per-user product under its "squished" code: each of
# the first three groups reversed, then each byte's two hex digits swapped.
squished() {
    local g="${1//-/}" out="" i
    for ((i = 7; i >= 0; i--)); do out+="${g:i:1}"; done
    for ((i = 11; i >= 8; i--)); do out+="${g:i:1}"; done
    for ((i = 15; i >= 12; i--)); do out+="${g:i:1}"; done
    for ((i = 16; i < 32; i += 2)); do out+="${g:i+1:1}${g:i:1}"; done
    printf '%s' "$out"
}
registered() {
    "$wine" reg query "HKCU\\Software\\Microsoft\\Installer\\Products\\$(squished "$1")" >/dev/null 2>&1
}
reg_key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }

# ---- The prefix, the demo deployment and the two packages ---------------------------------
begin "msi_package_${arch}.prepare"
rm -rf "$work"
mkdir -p "$work/v1" "$work/v2" "$work/demo/access"
sh "$root/cmake/wine-prefix-setup.sh" "$wine" >"$work/prefix-setup.log" 2>&1 ||
    { cat "$work/prefix-setup.log"; abort "the Wine prefix could not be made"; }

demo="$work/demo"
cp -r "$root/examples/demo/server" "$demo/"
cp "$msaccess" "$demo/access/MSACCESS.EXE"
demo_win=$(windows_path "$demo")
escaped=$(printf '%s' "$demo_win" | sed 's/[\\&|]/\\&/g')
sed "s|@DEMO@/|$escaped\\\\|" "$root/examples/demo/workstation/DravikVT.txt" >"$work/v1/DravikVT.txt"
# The second package brings other settings and another exe: the upgrade must
# replace both, an edited settings file too.
cp "$work/v1/DravikVT.txt" "$work/v2/DravikVT.txt"
printf '* The second package.\r\nLog = True\r\n' >>"$work/v2/DravikVT.txt"
cp "$exe" "$work/v1/DravikVT.exe"
cp "$exe" "$work/v2/DravikVT.exe"
printf 'second package' >>"$work/v2/DravikVT.exe" # data after the image: still runs

product_code() { sed -n 's/.*product code {\([0-9A-F-]*\)})$/\1/p' "$1"; }
for v in 1 2; do
    "$root/scripts/build-msi.sh" "$arch" "$work/v$v/DravikVT.exe" "$work/v$v/DravikVT.txt" \
        "1.0.$v" "$work/v$v/DravikVT.msi" >"$work/v$v/build.log" 2>&1 ||
        { cat "$work/v$v/build.log"; abort "the package 1.0.$v could not be built"; }
done
# The settings file's component as it was: another ID, permanent and never
# overwritten (16 + 128), and nothing removed before it is installed.
msibuild "$work/v1/DravikVT.msi" -q "UPDATE \`Component\` SET \`ComponentId\` = '{96F09E0E-914A-4175-B4CA-864533E21544}', \`Attributes\` = 144 WHERE \`Component\` = 'SiteSettings'" &&
    msibuild "$work/v1/DravikVT.msi" -q "DELETE FROM \`RemoveFile\` WHERE \`FileKey\` = 'ReplaceSettings'" ||
    abort "the first package could not be made into one of permanent settings"
code1=$(product_code "$work/v1/build.log")
code2=$(product_code "$work/v2/build.log")
[ -n "$code1" ] && [ -n "$code2" ] && [ "$code1" != "$code2" ] ||
    abort "each version needs a product code of its own: '$code1', '$code2'"

IFS=';' read -r localappdata_win appdata_win computer user < <(
    w cmd /c 'echo %LOCALAPPDATA%;%APPDATA%;%COMPUTERNAME%;%USERNAME%')
program_win="$localappdata_win\\Dravik\\DravikVT"
program=$(unix_path "$program_win")
shortcut=$(unix_path "$appdata_win\\Microsoft\\Windows\\Start Menu\\Programs\\DravikVT.lnk")
[ -n "$program" ] && [ -n "$shortcut" ] || abort "Wine did not name the user's folders"
user_key="${computer^^}_${user,,}"
copies=(uxVTade.ade RuxVT1.ade RuxVT2.accde Velkor_2007.exe)
access_log="$demo/access/msaccess-started.log"
end

# The 32-bit launcher needs 32-bit Wine, which not every machine can run.
start_skip=""
if [ "$arch" = x86 ] && [ -n "${DRAVIK_WINE_SKIP_FILE:-}" ] && [ -f "$DRAVIK_WINE_SKIP_FILE" ]; then
    start_skip="32-bit Wine cannot run here: $(cat "$DRAVIK_WINE_SKIP_FILE")"
fi

lines() { if [ -f "$1" ]; then grep -c '' "$1"; else echo 0; fi; }

# Starts the launcher as a user does, through the Start-menu shortcut. Wine's
# start does not wait for a program started through a link, so this waits for
# the Wine server to end, which it does once the launcher and the stand-in
# Access have ended.
start_through_shortcut() {
    local expected_starts="$1"
    if ! "$wine" start /unix "$shortcut" >"$work/start.log" 2>&1; then
        cat "$work/start.log"
        fail "the shortcut could not be started"
        return
    fi
    if ! timeout 60 "$wineserver" -w; then
        fail "the launcher did not end within 60 s (a message box waiting?)"
        "$wineserver" -k >/dev/null 2>&1
        return
    fi
    [ "$(lines "$access_log")" -eq "$expected_starts" ] ||
        fail "Access was started $(lines "$access_log") times, not $expected_starts"
    local command_line="\"$program_win\\uxVTade.ade\" /user Admin /pwd /Runtime /Cmd DEMO-SQL baza"
    tail -n 1 "$access_log" 2>/dev/null | grep -qF "$command_line" ||
        fail "Access was not started on the installed front end: $(tail -n 1 "$access_log" 2>/dev/null)"
}

# ---- Install ------------------------------------------------------------------------------
begin "msi_package_${arch}.install"
msiexec /i "$work/v1/DravikVT.msi" || abort "msiexec /i of the first package failed"
listing=$(cd "$program" 2>/dev/null && ls | tr '\n' ' ')
[ "$listing" = "DravikVT.exe DravikVT.txt " ] || fail "the program folder holds: $listing"
same "$program/DravikVT.exe" "$work/v1/DravikVT.exe" || fail "DravikVT.exe is not the packaged one"
same "$program/DravikVT.txt" "$work/v1/DravikVT.txt" || fail "DravikVT.txt is not the packaged one"
# Wine writes the target's path into the link (Windows writes the advertised
# descriptor too); the start below goes through it.
[ -f "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
grep -qaF "$program_win\\DravikVT.exe" "$shortcut" || fail "the shortcut does not lead to $program_win\\DravikVT.exe"
reg_key_exists 'HKCU\Software\Dravik\DravikVT' || fail "no per-user key path HKCU\\Software\\Dravik\\DravikVT"
registered "$code1" || fail "the product is not registered for this user"
# Edited on the workstation, as an administrator or a logon script did before
# settings travelled with the package.
printf '* Edited on this workstation.\r\n' >>"$program/DravikVT.txt"
end

# ---- The installed launcher on the demo deployment ----------------------------------------
begin "msi_package_${arch}.start_on_demo"
if [ -n "$start_skip" ]; then
    skipped "$start_skip"
    # What the launcher would have copied, for the upgrade and the uninstall to keep.
    for f in "${copies[@]}"; do cp "$demo/server/$f" "$program/"; done
else
    start_through_shortcut 1
    for f in "${copies[@]}"; do
        same "$program/$f" "$demo/server/$f" || fail "$f was not copied into the program folder"
    done
    record="$demo/server/Kolacici.txt"
    [ "$(lines "$record")" -eq 1 ] && grep -qP "^\\Q$user_key\\E\\t\\t" "$record" ||
        fail "Kolacici.txt does not hold one line for $user_key: $(cat -A "$record" 2>/dev/null)"
    trusted=$(w reg query 'HKCU\Software\Microsoft\Office\14.0\Access\Security\Trusted Locations' /s)
    grep -qF "$localappdata_win\\Dravik\\" <<<"$trusted" ||
        fail "$localappdata_win\\Dravik\\ is not a trusted location: $trusted"
    end
fi

# ---- Upgrade ------------------------------------------------------------------------------
begin "msi_package_${arch}.upgrade"
msiexec /i "$work/v2/DravikVT.msi" || abort "msiexec /i of the second package failed"
same "$program/DravikVT.exe" "$work/v2/DravikVT.exe" || fail "the upgrade did not replace DravikVT.exe"
same "$program/DravikVT.txt" "$work/v2/DravikVT.txt" || fail "the upgrade did not bring its DravikVT.txt"
for f in "${copies[@]}"; do
    same "$program/$f" "$demo/server/$f" || fail "the upgrade changed or removed the copied $f"
done
[ -f "$shortcut" ] || fail "the upgrade removed the shortcut"
registered "$code1" && fail "the first version is still registered beside the second"
registered "$code2" || fail "the second version is not registered"
if [ -z "$start_skip" ]; then
    # Same settings, same copies: the upgraded launcher copies nothing again.
    start_through_shortcut 2
    [ "$(lines "$demo/server/Kolacici.txt")" -eq 1 ] || fail "the upgraded launcher updated again"
    # The second package's settings switch the log on.
    LC_ALL=C grep -qaP '^\xEF\xBB\xBF.* started, user \Q'"$user_key"'\E\r$' "$program/DravikVT.log" &&
        grep -qa 'ended, exit code 0' "$program/DravikVT.log" ||
        fail "no log of the start: $(cat "$program/DravikVT.log" 2>/dev/null)"
fi
end

begin "msi_package_${arch}.downgrade_refused"
msiexec /i "$work/v1/DravikVT.msi" && fail "the older package was installed over the newer one"
same "$program/DravikVT.exe" "$work/v2/DravikVT.exe" || fail "the refused downgrade changed DravikVT.exe"
end

# ---- Uninstall ----------------------------------------------------------------------------
begin "msi_package_${arch}.uninstall"
msiexec /x "$work/v2/DravikVT.msi" || abort "msiexec /x failed"
[ -e "$program/DravikVT.exe" ] && fail "DravikVT.exe is still installed"
[ -e "$shortcut" ] && fail "the shortcut is still there"
reg_key_exists 'HKCU\Software\Dravik\DravikVT' && fail "HKCU\\Software\\Dravik\\DravikVT is still there"
registered "$code2" && fail "the product is still registered"
[ -e "$program/DravikVT.txt" ] && fail "DravikVT.txt is still installed"
# Not the package's to remove: the launcher's copies.
for f in "${copies[@]}"; do
    [ -f "$program/$f" ] || fail "the uninstall removed the copied $f"
done
end

if [ "$failures" -ne 0 ]; then
    echo "msi_package $arch: $failures steps failed (the work folder $work is kept)"
    exit 1
fi
cleanup
rm -rf "$work"
echo "msi_package $arch: every step passed${start_skip:+ (the launcher was not started: $start_skip)}"
