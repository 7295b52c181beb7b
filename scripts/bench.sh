#!/usr/bin/env bash
# Builds the benchmark preset, makes the default corpus when it is missing, and runs orvbench
# on it. Extra arguments go to orvbench (for example --seconds 5 or --detail 1).
# Usage: scripts/bench.sh [orvbench options]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
cmake --preset bench >/dev/null
cmake --build build/bench --target orvbench
if [ ! -f corpus/OrvFilter.db ] || [ ! -d corpus/pages ]; then
  scripts/make-bench-corpus.sh corpus
fi
exec build/bench/bench/orvbench --pages corpus/pages --db corpus/OrvFilter.db "$@"
