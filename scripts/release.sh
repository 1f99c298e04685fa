#!/usr/bin/env bash
# Builds the release zip: DravikVT.exe and DravikPublish.exe for 32-bit Windows
# (they run on 64-bit Windows too) and for 64-bit Windows, a sample DravikVT.txt,
# the README and the guides.
#
# Usage: scripts/release.sh [--msi DravikVT.txt]
#                           [--sign CERT.pfx [--pass-file FILE] [--timestamp URL]]
#                           [--out DIR]
#
#   --msi FILE        also build a site's per-user packages, DravikVT-<version>-x64.msi
#                     and DravikVT-<version>-x86.msi, with FILE as their settings
#   --sign CERT.pfx   sign the exes before they are packed, then both packages
#   --pass-file FILE  the password of CERT.pfx; without it, it is read from
#                     standard input (asked for at a terminal)
#   --timestamp URL   an RFC 3161 time-stamp server to countersign the signatures
#   --out DIR         where the zip and the packages go (default: dist)
set -euo pipefail

usage() {
    sed -n 's/^# \{0,1\}//; 6,16p' "$0" >&2
    exit 2
}
fail() {
    echo "release.sh: $*" >&2
    exit 1
}

settings="" cert="" pass_file="" timestamp="" out="$(dirname "$0")/../dist"
while [ $# -gt 0 ]; do
    case "$1" in
    --msi) [ $# -ge 2 ] || usage; settings="$2"; shift 2 ;;
    --sign) [ $# -ge 2 ] || usage; cert="$2"; shift 2 ;;
    --pass-file) [ $# -ge 2 ] || usage; pass_file="$2"; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp="$2"; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out="$2"; shift 2 ;;
    *) usage ;;
    esac
done
if [ -z "$cert" ] && { [ -n "$pass_file" ] || [ -n "$timestamp" ]; }; then
    fail "--pass-file and --timestamp go with --sign"
fi
# The paths given are the caller's; the work is done from the repository.
absolute() { case "$1" in "" | /*) printf '%s' "$1" ;; *) printf '%s' "$PWD/$1" ;; esac; }
settings=$(absolute "$settings") cert=$(absolute "$cert") pass_file=$(absolute "$pass_file")
out=$(absolute "$out")
cd "$(dirname "$0")/.."

# Missing files and tools are found before the build.
if [ -n "$settings" ]; then
    [ -f "$settings" ] || fail "no such settings file: $settings"
    for tool in wixl msibuild msiinfo; do
        command -v "$tool" >/dev/null || fail "$tool is missing: apt-get install wixl msitools"
    done
fi
sign=()
password=""
if [ -n "$cert" ]; then
    [ -f "$cert" ] || fail "no such certificate file: $cert"
    command -v osslsigncode >/dev/null || fail "osslsigncode is missing: apt-get install osslsigncode"
    sign=(scripts/sign-files.sh "$cert")
    [ -z "$timestamp" ] || sign+=(--timestamp "$timestamp")
    if [ -n "$pass_file" ]; then
        [ -r "$pass_file" ] || fail "cannot read the password file $pass_file"
        sign+=(--pass-file "$pass_file")
    elif [ -t 0 ]; then
        IFS= read -r -s -p "Password of $cert: " password || true
        echo >&2
    else
        IFS= read -r password || [ -n "$password" ] || fail "no password on standard input"
    fi
fi

# Signs the files given, handing over the password read above through a pipe.
sign_files() {
    if [ -n "$pass_file" ]; then
        "${sign[@]}" "$@"
    else
        printf '%s\n' "$password" | "${sign[@]}" "$@"
    fi
}

version="$(sed -n 's/^project(DravikVT VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
stage="build/release/DravikVT-${version}"
rm -rf build/release
mkdir -p "$stage/32-bit" "$stage/64-bit" "$out"
out="$(cd "$out" && pwd)"

for arch in x86 x64; do
    echo "Building DravikVT.exe and DravikPublish.exe for windows-${arch}..."
    # Build trees of their own, without the tests: only the MinGW compilers are needed.
    cmake --preset "windows-${arch}" -B "build/release-${arch}" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "build/release-${arch}" --target DravikVT DravikPublish -j"$(nproc)" >/dev/null
done
cp build/release-x86/launcher/DravikVT.exe build/release-x86/publish/DravikPublish.exe "$stage/32-bit/"
cp build/release-x64/launcher/DravikVT.exe build/release-x64/publish/DravikPublish.exe "$stage/64-bit/"
[ ${#sign[@]} -eq 0 ] || sign_files "$stage"/32-bit/*.exe "$stage"/64-bit/*.exe
cp examples/DravikVT.txt README.md "$stage/"
mkdir -p "$stage/docs" && cp docs/*.md docs/launcher-window.png "$stage/docs/"

zip="$out/DravikVT-${version}.zip"
rm -f "$zip"
(cd build/release && zip -q -r "$zip" "DravikVT-${version}")
echo "Release: $zip"
(command -v unzip >/dev/null && unzip -l "$zip") || true

if [ -n "$settings" ]; then
    packages=()
    for arch in x86 x64; do
        bits=32
        [ "$arch" = x86 ] || bits=64
        package="$out/DravikVT-${version}-${arch}.msi"
        scripts/build-msi.sh "$arch" "$stage/${bits}-bit/DravikVT.exe" "$settings" "$version" "$package"
        packages+=("$package")
    done
    [ ${#sign[@]} -eq 0 ] || sign_files "${packages[@]}"
fi
