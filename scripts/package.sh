#!/usr/bin/env bash
# Builds the Debian package orvane_<version>_amd64.deb into the current folder:
#   scripts/package.sh [BUILD_DIR]        (default build/default)
# Configures BUILD_DIR with the default preset's settings when it has not been configured,
# builds what the package holds (not the tests) and runs cpack. ORV_PACKAGE_VERSION overrides
# the version (an upgrade test builds a second, higher one from the same build). Only the
# package's path goes to stdout.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build/default}")"
out="$PWD"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
fi
cmake --build "$build" -j "${ORV_JOBS:-$(nproc)}" --target orv_package_contents >&2

version_args=()
if [ -n "${ORV_PACKAGE_VERSION:-}" ]; then version_args=(-R "$ORV_PACKAGE_VERSION"); fi
rm -f "$build"/package/orvane_*.deb
(cd "$build" && cpack -G DEB -B "$build/package" "${version_args[@]}" >&2)
for deb in "$build"/package/orvane_*.deb; do
  [ "$(dirname "$deb")" = "$out" ] || cp "$deb" "$out/"
  echo "$out/$(basename "$deb")"
done
