#!/usr/bin/env bash
# The signed release: scripts/release.sh --msi --sign with a throw-away
# self-signed certificate made here, every signature checked with
# osslsigncode verify against that certificate; then scripts/sign-files.sh with
# the password on standard input, a wrong password and an unreachable
# time-stamp server. osslsigncode runs through a stand-in on PATH that notes
# each command line, to show that no password ever stands on one.
#
# Usage: release_signing_test.sh WORK_DIR
# release.sh builds in build/release-x86 and build/release-x64 as usual; its
# zip and packages go to WORK_DIR.
set -uo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 WORK_DIR" >&2
    exit 2
fi
work="$1"
root="$(cd "$(dirname "$0")/../.." && pwd)"

suite=release_signing
. "$(dirname "$0")/steps.sh"

for tool in openssl osslsigncode msiextract unzip; do
    command -v "$tool" >/dev/null || { echo "release_signing: $tool is missing"; exit 1; }
done
real_osslsigncode=$(command -v osslsigncode)

# Signed by the throw-away certificate, and by nothing else.
signed_by_test_certificate() {
    local output
    output=$("$real_osslsigncode" verify -CAfile "$work/signer.pem" -in "$1" 2>&1) ||
        { fail "$2 does not verify against the test certificate: $(tail -n 3 <<<"$output")"; return; }
    grep -qF "Subject: /CN=$subject" <<<"$output" || fail "$2 is signed by someone else"
}

# ---- A throw-away certificate, its password, and the stand-in --------------------------
begin "release_signing.certificate"
rm -rf "$work"
mkdir -p "$work/bin"
subject="DravikVT test signer $$"
password="test lozinka $RANDOM$RANDOM"
printf '%s\n' "$password" >"$work/password.txt"
make_certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$2" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
        -keyout "$work/$1.key" -out "$work/$1.pem" >/dev/null 2>&1
}
make_certificate signer "$subject" || abort "openssl could not make the certificate"
make_certificate stranger "DravikVT someone else" || abort "openssl could not make the second certificate"
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/signer.pfx" \
    -passout "file:$work/password.txt" || abort "openssl could not make the .pfx"
cat >"$work/bin/osslsigncode" <<STANDIN
#!/bin/sh
printf '%s\n' "\$*" >>"$work/commands.log"
exec "$real_osslsigncode" "\$@"
STANDIN
chmod +x "$work/bin/osslsigncode"
export PATH="$work/bin:$PATH"
end

# ---- The release, password from a file ----------------------------------------------------
begin "release_signing.release"
version="$(sed -n 's/^project(DravikVT VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
"$root/scripts/release.sh" --msi "$root/examples/DravikVT.txt" --sign "$work/signer.pfx" \
    --pass-file "$work/password.txt" --out "$work/dist" </dev/null >"$work/release.log" 2>&1 ||
    { cat "$work/release.log"; abort "release.sh failed"; }
mkdir -p "$work/zip"
unzip -q "$work/dist/DravikVT-$version.zip" -d "$work/zip" || abort "the zip cannot be read"
for bits in 32 64; do
    for exe in DravikVT DravikPublish; do
        signed_by_test_certificate "$work/zip/DravikVT-$version/$bits-bit/$exe.exe" "the zip's $bits-bit $exe.exe"
    done
done
for arch in x86 x64; do
    package="$work/dist/DravikVT-$version-$arch.msi"
    signed_by_test_certificate "$package" "DravikVT-$version-$arch.msi"
    # The exe was signed before it went into the package.
    mkdir -p "$work/extracted-$arch"
    (cd "$work/extracted-$arch" && msiextract "$package" >/dev/null) || fail "$package cannot be extracted"
    inner=$(find "$work/extracted-$arch" -name DravikVT.exe | head -n 1)
    signed_by_test_certificate "${inner:-/nonexistent}" "the exe inside DravikVT-$version-$arch.msi"
done
# The check can fail: another certificate does not vouch for these files.
"$real_osslsigncode" verify -CAfile "$work/stranger.pem" -in "$work/dist/DravikVT-$version-x64.msi" \
    >/dev/null 2>&1 && fail "a package verified against a certificate that did not sign it"
[ "$(grep -c '^sign ' "$work/commands.log")" -eq 6 ] || fail "not 6 signings: $(cat "$work/commands.log")"
end

# ---- sign-files.sh: standard input, a wrong password, a time-stamp server --------------------
begin "release_signing.password_and_timestamp"
unsigned="$root/build/release-x64/launcher/DravikVT.exe"
cp "$unsigned" "$work/stdin.exe"
"$root/scripts/sign-files.sh" "$work/signer.pfx" "$work/stdin.exe" <"$work/password.txt" >/dev/null 2>&1 ||
    fail "signing with the password on standard input failed"
signed_by_test_certificate "$work/stdin.exe" "the exe signed with the password on standard input"

cp "$unsigned" "$work/wrong.exe"
echo "not the password" | "$root/scripts/sign-files.sh" "$work/signer.pfx" "$work/wrong.exe" >/dev/null 2>&1 &&
    fail "signing with a wrong password succeeded"
cmp -s "$unsigned" "$work/wrong.exe" || fail "a failed signing changed the file"

# No time-stamp server can be reached offline: a closed port on this machine
# shows that one is asked and that its silence fails the signing.
cp "$unsigned" "$work/timestamp.exe"
"$root/scripts/sign-files.sh" "$work/signer.pfx" --pass-file "$work/password.txt" \
    --timestamp http://127.0.0.1:9/ "$work/timestamp.exe" >/dev/null 2>&1 &&
    fail "signing succeeded without the time-stamp server"
cmp -s "$unsigned" "$work/timestamp.exe" || fail "a failed time-stamped signing changed the file"
grep -q -- '-ts http://127.0.0.1:9/' "$work/commands.log" || fail "the time-stamp server was not asked"
ls "$work"/*.signing >/dev/null 2>&1 && fail "a failed signing left a file behind"

# Every signing read its password through -readpass; none had it on its command line.
grep '^sign ' "$work/commands.log" | grep -qv -- '-readpass' && fail "a signing without -readpass"
grep -qF -- "$password" "$work/commands.log" && fail "the password stood on a command line"
[ "$(grep -c '^sign ' "$work/commands.log")" -eq 9 ] || fail "not 9 signings: $(cat "$work/commands.log")"
end

if [ "$failures" -ne 0 ]; then
    echo "release_signing: $failures steps failed (the work folder $work is kept)"
    exit 1
fi
rm -rf "$work"
echo "release_signing: every step passed"
