#!/usr/bin/env bash
# Signs Windows programs and packages in place with osslsigncode: an
# Authenticode signature (SHA-256) made with the certificate and private key
# of a PKCS#12 file (.pfx). Only what Debian's osslsigncode 2.5 offers.
#
# Usage: sign-files.sh CERT.pfx [--pass-file FILE] [--timestamp URL] FILE...
#
# The password of CERT.pfx comes from --pass-file, else from standard input
# (asked for without echo at a terminal). It reaches osslsigncode only through
# -readpass, never on a command line, which every user of the machine can read.
# With --timestamp, the RFC 3161 time-stamp server at URL countersigns each
# signature, so that it stays valid after the certificate expires.
# A file whose signing fails is left as it was, and the script fails.
set -euo pipefail

usage() {
    echo "usage: $0 CERT.pfx [--pass-file FILE] [--timestamp URL] FILE..." >&2
    exit 2
}
fail() {
    echo "sign-files.sh: $*" >&2
    exit 1
}

[ $# -ge 1 ] || usage
cert="$1"
shift
pass_file="" timestamp=""
files=()
while [ $# -gt 0 ]; do
    case "$1" in
    --pass-file) [ $# -ge 2 ] || usage; pass_file="$2"; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp="$2"; shift 2 ;;
    -*) usage ;;
    *) files+=("$1"); shift ;;
    esac
done
[ ${#files[@]} -gt 0 ] || usage
command -v osslsigncode >/dev/null || fail "osslsigncode is missing: apt-get install osslsigncode"
[ -f "$cert" ] || fail "no such certificate file: $cert"
[ -z "$pass_file" ] || [ -r "$pass_file" ] || fail "cannot read the password file $pass_file"
for file in "${files[@]}"; do
    [ -f "$file" ] || fail "no such file to sign: $file"
done

# Read once from standard input, then handed to each signing through a pipe.
password=""
if [ -z "$pass_file" ]; then
    if [ -t 0 ]; then
        IFS= read -r -s -p "Password of $cert: " password || true
        echo >&2
    else
        IFS= read -r password || [ -n "$password" ] || fail "no password on standard input"
    fi
fi

options=(-pkcs12 "$cert" -h sha256 -n DravikVT)
[ -z "$timestamp" ] || options+=(-ts "$timestamp")

for file in "${files[@]}"; do
    signed="$file.signing"
    rm -f "$signed"
    if [ -n "$pass_file" ]; then
        status=0
        osslsigncode sign "${options[@]}" -readpass "$pass_file" -in "$file" -out "$signed" || status=$?
    else
        status=0
        printf '%s\n' "$password" |
            osslsigncode sign "${options[@]}" -readpass /dev/stdin -in "$file" -out "$signed" || status=$?
    fi
    if [ "$status" -ne 0 ] || [ ! -s "$signed" ]; then
        rm -f "$signed"
        fail "signing $file failed (a wrong password, a certificate without its key${timestamp:+, or the time-stamp server $timestamp did not answer})"
    fi
    mv -f "$signed" "$file"
    echo "Signed: $file"
done
