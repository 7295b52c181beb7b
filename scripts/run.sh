#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds orvproxy and serves the demo site through it on
# 127.0.0.1:8080, filtering on. The demo config is copied to build/run-config (with its log/
# folder) so that running never changes the repository; the event logs stay there between
# runs. Extra arguments go to orvproxy. Ctrl-C stops it and writes the pending log lines.
set -euo pipefail
cd "$(dirname "$0")/.."

ORV_WITH_BENCH=0 scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build build/default --target orvproxy

CONFIG=build/run-config
mkdir -p "$CONFIG/log"
cp examples/config/OrvFilter.ini examples/config/OrvFilter.db "$CONFIG/"

echo "Open http://127.0.0.1:8080/ - event logs go to $CONFIG/log/"
exec build/default/proxy/orvproxy --dir "$CONFIG" --root examples/site \
  --listen 127.0.0.1:8080 "$@"
