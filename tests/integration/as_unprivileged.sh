#!/bin/sh
# Runs a test program once more as an unprivileged user, for the cases that need
# permissions to mean something: root reads a file of mode 000 and writes into a
# read-only folder. Not root: the ordinary run already covers them (skipped, 77).
# Usage: as_unprivileged.sh <test program> [arguments...]
set -e
if [ "$(id -u)" != 0 ]; then
    echo "not running as root: the ordinary run is already unprivileged"
    exit 77
fi
program="$1"
shift
# A copy where the user may run it; the build tree may lie in root's home.
place=$(mktemp -d)
trap 'rm -rf "$place"' EXIT
cp "$program" "$place/"
chmod 755 "$place" "$place/$(basename "$program")"
setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
    "$place/$(basename "$program")" "$@"
