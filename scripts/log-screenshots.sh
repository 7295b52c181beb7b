#!/usr/bin/env bash
# Takes pictures of the log windows over a realistic week of logs, under a virtual X server,
# and writes docs/screenshots/log-list-page.png, log-manager.png and log-charts.png.
#
#   scripts/log-screenshots.sh [build-dir]      (default: build/default)
#
# The week is made by scripts/make-log-week.py (GBK files as the filter writes them); the
# log manager opens on the day with an afternoon probe from one address. Chinese texts need a
# CJK font (Debian: fonts-wqy-microhei).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/default}"
program="$build/console/orv_log_screenshots"
out="$root/docs/screenshots"

if [ ! -x "$program" ]; then
  echo "log-screenshots: $program not built (cmake --build $build --target orv_log_screenshots)" >&2
  exit 1
fi
if ! fc-list :lang=zh | grep -q .; then
  echo "log-screenshots: no Chinese font installed; install fonts-wqy-microhei" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
end="2026-12-08"
python3 "$root/scripts/make-log-week.py" "$work/log" --end "$end"
mkdir -p "$out"
QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "-screen 0 1280x900x24" \
  "$program" "$work/log" "$out" "2026-12-06"
