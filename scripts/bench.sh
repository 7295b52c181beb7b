#!/usr/bin/env bash
# Builds the benchmark preset, makes the default corpus when it is missing, and runs orvbench
# on it. Extra arguments go to orvbench (for example --seconds 5 or --detail 1). With --family
# first, runs the corpus family instead (made by scripts/make-bench-family.sh when missing).
# Usage: scripts/bench.sh [--family] [orvbench options]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
cmake --preset bench >/dev/null
cmake --build build/bench --target orvbench
if [ "${1:-}" = "--family" ]; then
  shift
  [ -d corpus/family/words ] || scripts/make-bench-family.sh corpus/family
  exec build/bench/bench/orvbench --family corpus/family "$@"
fi
if [ ! -f corpus/OrvFilter.db ] || [ ! -d corpus/pages ]; then
  scripts/make-bench-corpus.sh corpus
fi
exec build/bench/bench/orvbench --pages corpus/pages --db corpus/OrvFilter.db "$@"
