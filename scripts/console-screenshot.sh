#!/usr/bin/env bash
# Takes a picture of each page of OrvConsole under a virtual X server and writes them to
# docs/screenshots/: settings.png, words-deny.png, words-replace.png, words-record.png,
# words-free.png, list-black.png and list-white.png.
#
#   scripts/console-screenshot.sh [build-dir]      (default: build/default)
#
# The pictures show a demo folder: the example settings file, with the word and URL/IP lists of
# examples/console-demo/ stored by orvctl (so both need to be built). The program's
# --screenshot option answers any message box itself, grabs the main window once start-up has
# settled and leaves; --page picks the page. Chinese texts need a CJK font (Debian:
# fonts-wqy-microhei) and the virtual X server xvfb.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/default}"
program="$build/console/OrvConsole"
orvctl="$build/tools/orvctl"
demo="$root/examples/console-demo"
out="$root/docs/screenshots"

for needed in "$program" "$orvctl"; do
  if [ ! -x "$needed" ]; then
    echo "console-screenshot: $needed not built (cmake --build $build --target OrvConsole orvctl)" >&2
    exit 1
  fi
done
if ! fc-list :lang=zh | grep -q .; then
  echo "console-screenshot: no Chinese font installed; install fonts-wqy-microhei" >&2
  exit 1
fi
if ! command -v xvfb-run >/dev/null; then
  echo "console-screenshot: xvfb-run not found; install xvfb" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
folder="$work/orvane"
mkdir -p "$folder/log" "$out"
cp "$root/examples/config/OrvFilter.ini" "$root/examples/config/OrvFilter.db" "$folder/"
ctl() { "$orvctl" --dir "$folder" "$@"; }
for list in deny replace record free; do
  ctl words "$list" save "$demo/$list.txt"
done
for list in url-black ip-black url-white ip-white; do
  ctl lists "$list" save "$demo/$list.txt"
done
ctl set KeyLogPath "$folder/log"
ctl set KeySafeCode "x7k2m9q4w8e3r5t1y6u0"
ctl set KeySendWords "本页面含有违反国家法律法规的内容，已被拦截。"
ctl set KeyIsAutoWords 1
ctl set KeyAutoHour 3

for page in settings words-deny words-replace words-record words-free list-black list-white; do
  QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" \
    "$program" --dir "$folder" --page "$page" --screenshot "$work/$page.png"
  cp "$work/$page.png" "$out/$page.png"
  echo "console-screenshot: wrote $out/$page.png"
done
