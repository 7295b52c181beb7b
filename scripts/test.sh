#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds every configuration and runs every test:
#   1. the normal build and its unit, integration and end-to-end tests;
#   2. the same engine tests under ASan + UBSan, and under TSan;
#   3. the Debian package made from the normal build: installed, run, upgraded and purged
#      (as root only; it skips itself otherwise);
#   4. the libFuzzer targets for a short run each;
#   5. OrvFilter.dll for i686 and x86_64 with the fake IIS under Wine.
# Environment: ORV_JOBS (default: number of cores), ORV_FUZZ_SECONDS (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${ORV_JOBS:-$(nproc)}"
FUZZ_SECONDS="${ORV_FUZZ_SECONDS:-20}"
step() { printf '\n=== %s ===\n' "$*"; }
# CI holds the code to a clean compile; a plain configure does not (see CMakeLists.txt).
STRICT=(-DORV_WARNINGS_AS_ERRORS=ON)

step "dependencies"
ORV_WITH_BENCH=0 scripts/install-deps.sh

step "format"
scripts/check-format.sh

for preset in default asan tsan; do
  step "build: $preset"
  cmake --preset "$preset" "${STRICT[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS" 2>/dev/null || cmake --build "build/$preset" -j "$JOBS"
  step "tests: $preset"
  (cd "build/$preset" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS")
done

step "package: install, run, upgrade, purge"
tests/package/package_test.sh build/default

step "fuzz: build"
cmake --preset fuzz "${STRICT[@]}" >/dev/null
cmake --build build/fuzz -j "$JOBS"
step "fuzz: run ${FUZZ_SECONDS}s each"
for target in build/fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="fuzz/corpus/${name#fuzz_}"
  mkdir -p "build/fuzz/work/$name"
  args=("build/fuzz/work/$name")
  [ -d "$corpus" ] && args+=("$corpus")
  echo "-- $name"
  "$target" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "${args[@]}" 2>&1 | tail -2
done

for arch in i686 x86_64; do
  step "windows: $arch"
  cmake --preset "mingw-$arch" "${STRICT[@]}" >/dev/null
  cmake --build "build/mingw-$arch" -j "$JOBS"
  if [ -x scripts/run-fake-iis.sh ]; then scripts/run-fake-iis.sh "$arch"; fi
done

step "all tests passed"
