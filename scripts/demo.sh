#!/usr/bin/env bash
# Builds the Linux launcher and runs it twice on a fresh copy of the demo
# deployment in examples/demo: the first start finds a new workstation and
# updates it, the second finds the copy current and only starts "Access".
set -euo pipefail
cd "$(dirname "$0")/.."

echo "Building the Linux launcher (cmake preset 'linux')..."
# A build tree of its own, without the tests, so the demo needs only cmake and g++.
cmake --preset linux -B build/demo-build -DBUILD_TESTING=OFF >/dev/null
cmake --build build/demo-build --target DravikVT -j"$(nproc)" >/dev/null

demo="$PWD/build/demo"
rm -rf "$demo"
cp -r examples/demo "$demo"
sed -i "s|@DEMO@|$demo|g" "$demo/workstation/DravikVT.txt"
cp build/demo-build/launcher/DravikVT "$demo/workstation/"

# The demo keeps its own registry, and plays computer "demo-pc", user "Ana".
export DRAVIKVT_REGISTRY="$demo/registry"
export computername=demo-pc username=Ana

show_folder() {
    echo "  $1:"
    (cd "$2" && for f in *; do
        case "$f" in
        DravikVT) what="(the launcher)" ;;
        *) what="$(head -n 1 "$f" | tr -d '\r\0' | cut -c 1-60)" ;;
        esac
        printf '    %-16s %s\n' "$f" "$what"
    done)
}

run_launcher() {
    echo
    echo "=== $1"
    echo "--- what the launcher showed:"
    "$demo/workstation/DravikVT" </dev/null
    sleep 0.5 # the stand-in Access runs on its own; let it finish printing
}

echo
echo "Demo deployment: $demo"
echo "  workstation/ holds DravikVT and DravikVT.txt; server/ the new version; access/ a stand-in for Access."
show_folder "server folder before" "$demo/server"

run_launcher "First start: a new workstation, so the launcher copies the new version, records it and starts Access"
show_folder "workstation folder after the first start" "$demo/workstation"

run_launcher "Second start: the workstation is recorded and every file is present, so nothing is copied"

echo
echo "=== Record file $demo/server/Kolacici.txt (one line per computer and user that took this version):"
sed 's/\t/<TAB>/g; s/\r$//; s/^/    /' "$demo/server/Kolacici.txt"
echo
echo "=== Trusted location the launcher registered for Access (HKEY_CURRENT_USER, kept in $DRAVIKVT_REGISTRY):"
find "$DRAVIKVT_REGISTRY" -name '*.value' | sort | while read -r value; do
    name="${value#"$DRAVIKVT_REGISTRY"/}"
    name="$(printf '%s' "$name" | sed 's/\.key\//\\/g; s/\.value$//')"
    type="$(head -n 1 "$value")"
    if [ "$type" = 4 ]; then
        data="REG_DWORD $(tail -c 4 "$value" | od -An -tu4 | tr -d ' ')"
    else
        data="REG_SZ \"$(tail -c +$((${#type} + 2)) "$value" | tr -d '\0')\""
    fi
    printf '    %s = %s\n' "$name" "$data"
done
echo
echo "To see an update again, empty the record file: : > $demo/server/Kolacici.txt"
