#!/usr/bin/env bash
# Builds the release zip: DravikVT.exe and DravikPublish.exe for 32-bit Windows
# (they run on 64-bit Windows too) and for 64-bit Windows, a sample DravikVT.txt
# and the README.
set -euo pipefail
cd "$(dirname "$0")/.."

version="$(sed -n 's/^project(DravikVT VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
stage="build/release/DravikVT-${version}"
rm -rf build/release
mkdir -p "$stage/32-bit" "$stage/64-bit" dist

for arch in x86 x64; do
    echo "Building DravikVT.exe and DravikPublish.exe for windows-${arch}..."
    # Build trees of their own, without the tests: only the MinGW compilers are needed.
    cmake --preset "windows-${arch}" -B "build/release-${arch}" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "build/release-${arch}" --target DravikVT DravikPublish -j2 >/dev/null
done
cp build/release-x86/launcher/DravikVT.exe build/release-x86/publish/DravikPublish.exe "$stage/32-bit/"
cp build/release-x64/launcher/DravikVT.exe build/release-x64/publish/DravikPublish.exe "$stage/64-bit/"
cp examples/DravikVT.txt README.md "$stage/"
mkdir -p "$stage/docs" && cp docs/launcher-window.png "$stage/docs/"

zip="dist/DravikVT-${version}.zip"
rm -f "$zip"
(cd build/release && zip -q -r "../../$zip" "DravikVT-${version}")
echo "Release: $zip"
(command -v unzip >/dev/null && unzip -l "$zip") || true
