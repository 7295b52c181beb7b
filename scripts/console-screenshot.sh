#!/usr/bin/env bash
# Takes a picture of OrvConsole's main window after a first start in an empty folder, under a
# virtual X server, and writes it to docs/screenshots/console-main.png.
#
#   scripts/console-screenshot.sh [build-dir]      (default: build/default)
#
# The program's --screenshot option answers the welcome box itself, grabs the main window once
# start-up has settled and leaves. Chinese texts need a CJK font (Debian: fonts-wqy-microhei).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/default}"
program="$build/console/OrvConsole"
out="$root/docs/screenshots/console-main.png"

if [ ! -x "$program" ]; then
  echo "console-screenshot: $program not built (cmake --build $build --target OrvConsole)" >&2
  exit 1
fi
if ! fc-list :lang=zh | grep -q .; then
  echo "console-screenshot: no Chinese font installed; install fonts-wqy-microhei" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$program" --dir "$work" --screenshot "$work/console-main.png"
cp "$work/console-main.png" "$out"
echo "console-screenshot: wrote $out"
