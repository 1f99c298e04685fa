#!/usr/bin/env bash
# Builds a site's per-user DravikVT package from packaging/DravikVT.wxs with
# wixl (Debian's wixl 0.101), then sets with msibuild (msitools) what that wixl
# cannot write: the settings file found in the program folder is removed before
# the package's is installed (an edited one too), and an upgrade also replaces
# the same version of the other architecture.
#
# Usage: build-msi.sh x86|x64 DravikVT.exe DravikVT.txt VERSION OUTPUT.msi
set -euo pipefail

if [ $# -ne 5 ]; then
    echo "usage: $0 x86|x64 DravikVT.exe DravikVT.txt VERSION OUTPUT.msi" >&2
    exit 2
fi
arch="$1" exe="$2" settings="$3" version="$4" output="$5"
root="$(cd "$(dirname "$0")/.." && pwd)"

fail() {
    echo "build-msi.sh: $*" >&2
    exit 1
}

case "$arch" in x86 | x64) ;; *) fail "the architecture is x86 or x64, not '$arch'" ;; esac
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the version is three numbers, e.g. 1.0.0, not '$version'"
[ -f "$exe" ] || fail "no such exe: $exe"
[ -f "$settings" ] || fail "no such settings file: $settings"
# Every workstation gets this file: a key the launcher needs must be there.
for key in NewFiles DefAccessPath NewFE; do
    grep -q "^$key" "$settings" || fail "$settings has no $key line"
done
for tool in wixl msibuild msiinfo; do
    command -v "$tool" >/dev/null || fail "$tool is missing: apt-get install wixl msitools"
done

# One product code per architecture and version, the same on every rebuild:
# Windows Installer then refuses a second, different package of a version
# that is installed, instead of installing it beside the first. (A name-based
# UUID, version 5 and RFC 4122 variant bits set in the SHA-1 of the name.)
hash=$(printf 'DravikVT product %s %s' "$arch" "$version" | sha1sum | cut -c 1-32)
variant=$(printf '%x' $(((0x${hash:16:1} & 0x3) | 0x8)))
product_code=$(printf '%s-%s-5%s-%s%s-%s' "${hash:0:8}" "${hash:8:4}" "${hash:13:3}" \
    "$variant" "${hash:17:3}" "${hash:20:12}" | tr a-f A-F)

# This wixl finds sources only by names relative to the folder it runs in.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/DravikVT.exe"
cp "$settings" "$work/DravikVT.txt"
cp "$root/launcher/DravikVT.ico" "$work/DravikVT.ico"
mkdir -p "$(dirname "$output")"
output="$(realpath "$output")"
rm -f "$output"

# wixl only warns about an attribute it does not know, and leaves it out of
# the package: any warning is a failure here.
log="$work/wixl.log"
if ! (cd "$work" && wixl -a "$arch" -o "$output" \
    -D Arch="$arch" -D Version="$version" -D ProductCode="$product_code" \
    "$root/packaging/DravikVT.wxs") 2>"$log"; then
    cat "$log" >&2
    fail "wixl failed"
fi
if grep -qi warning "$log"; then
    cat "$log" >&2
    rm -f "$output"
    fail "wixl left something out of the package"
fi

# Windows Installer keeps an unversioned file that was changed after it was
# installed, and a package before this one left DravikVT.txt permanent: the
# file is removed first, on install and on uninstall (3), whatever it holds.
msibuild "$output" -q "INSERT INTO \`RemoveFile\` (\`FileKey\`, \`Component_\`, \`FileName\`, \`DirProperty\`, \`InstallMode\`) VALUES ('ReplaceSettings', 'SiteSettings', 'DravikVT.txt', 'INSTALLDIR', 3)"
# The upgrade range, rewritten with its maximum included (512; 1 migrates the
# feature states): the same version of the other architecture is replaced too.
# The attributes are part of the table's key, so the row is written anew.
upgrade_code=$(msiinfo export "$output" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t//p')
msibuild "$output" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
msibuild "$output" -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')"
# Read them back: a wixl that wrote these tables differently would leave them unchanged.
components=$(msiinfo export "$output" Component | tr -d '\r')
upgrades=$(msiinfo export "$output" Upgrade | tr -d '\r')
removals=$(msiinfo export "$output" RemoveFile | tr -d '\r')
# Neither permanent (16) nor never-overwritten (128): the file travels with the package.
grep -qP '^SiteSettings\t\{[0-9A-F-]{36}\}\tINSTALLDIR\t0\t\tDravikVT.txt$' <<<"$components" ||
    fail "the settings component is marked to stay or not to be overwritten"
grep -qP '^ReplaceSettings\tSiteSettings\tDravikVT.txt\tINSTALLDIR\t3$' <<<"$removals" ||
    fail "the settings file found in the program folder is not removed first"
grep -qP "^\\{[0-9A-F-]{36}\\}\t\t\Q$version\E\t\t513\t\tWIX_UPGRADE_DETECTED$" <<<"$upgrades" ||
    fail "the upgrade range does not include its maximum"

echo "Package: $output (DravikVT $version, $arch, product code {$product_code})"
