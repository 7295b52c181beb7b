#!/usr/bin/env bash
# Runs the fake IIS against OrvFilter.dll under Wine, once with the filter switched on and
# once with it switched off:
#   scripts/run-fake-iis.sh i686|x86_64
# Needs a finished `cmake --build build/mingw-ARCH` (ORV_WIN_BUILD_DIR overrides the folder).
# The 32-bit pair runs under `wine`, the 64-bit pair under `wine64`, both in a private
# 64-bit Wine prefix under build/ (ORV_WINEPREFIX overrides it). No display is needed.
# Exits non-zero when anything fails; the work folder is then kept for inspection. A run that
# gives no verdict within ORV_FAKEIIS_TIMEOUT seconds (default 120) is killed and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

arch="${1:-}"
case "$arch" in
  i686 | x86_64) ;;
  *)
    echo "usage: $0 i686|x86_64" >&2
    exit 2
    ;;
esac

build="${ORV_WIN_BUILD_DIR:-build/mingw-$arch}"
dll="$build/filter/isapi/OrvFilter.dll"
exe="$build/tests/fakeiis/fakeiis.exe"
for file in "$dll" "$exe"; do
  if [ ! -f "$file" ]; then
    echo "run-fake-iis: $file is missing; build $build first" >&2
    exit 1
  fi
done

# The DLL as IIS needs it: exactly the five ISAPI entry points, undecorated, and no
# dependency beyond Windows system DLLs (the compiler's runtime is linked in statically).
objdump="$arch-w64-mingw32-objdump"
exports="$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort | tr '\n' ' ')"
expected="GetExtensionVersion GetFilterVersion HttpExtensionProc HttpFilterProc TerminateExtension "
if [ "$exports" != "$expected" ]; then
  echo "run-fake-iis: $dll exports '$exports', expected '$expected'" >&2
  exit 1
fi
system_dlls='^(kernel32|user32|advapi32|msvcrt|ntdll|ws2_32|ole32|oleaut32|shell32|shlwapi|version|bcrypt|api-ms-win-.*)\.dll$'
for file in "$dll" "$exe"; do
  while read -r imported; do
    if ! printf '%s\n' "$imported" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
      echo "run-fake-iis: $file imports $imported, which a server does not have" >&2
      exit 1
    fi
  done < <("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
echo "run-fake-iis: $arch exports and imports are as IIS needs them"

wine64="$(command -v wine64 || true)"
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
if [ "$arch" = i686 ]; then wine="$(command -v wine || true)"; else wine="$wine64"; fi
if [ -z "$wine" ] || [ ! -x "$wine" ]; then
  echo "run-fake-iis: no Wine loader for $arch" >&2
  exit 1
fi

export WINEPREFIX="${ORV_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run-fake-iis: creating the Wine prefix $WINEPREFIX (takes a minute the first time)"
  mkdir -p "$WINEPREFIX"
  # A 64-bit prefix runs both the 32-bit and the 64-bit programs.
  WINEARCH=win64 timeout 600 "$wine64" wineboot -i >/dev/null 2>&1 || true
  timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
fi

work="$(mktemp -d "$root/build/fakeiis-$arch.XXXXXX")"

# The fixture: the same words and lists as tests/fakeiis/gbk_samples.h expects.
# Deny "赌博" (GBK B6 C4 B2 A9) and "casino"; replace "广告" (B9 E3 B8 E6) and "spam=ham";
# record "彩票" (B2 CA C6 B1); free "freepass".
write_fixture() { # folder, KeyIsSystem value
  local folder="$1" system="$2"
  mkdir -p "$folder/log"
  cp "$dll" "$exe" "$folder/"
  printf '%s\r\n' \
    '[OrvFilter]' \
    "KeyIsSystem=$system" \
    'KeyIsLog=1' \
    'KeySafeCode=Pass42' \
    'KeyIsGzip=1' \
    'KeyIsShowWords=1' \
    'KeyFileType=asp|aspx|php|htm|html' \
    'KeyBaiUrl=/admin/' \
    'KeyHeiUrl=/forbidden/|.asp;' \
    'KeyBaiIp=10.9.9.9' \
    'KeyHeiIp=10.6.6.6' \
    'KeySendWords=Please contact the webmaster.' >"$folder/OrvFilter.ini"
  printf '%s' \
    '<OrvKeyDeny>' $'\xB6\xC4\xB2\xA9' '@@casino</OrvKeyDeny>' \
    '<OrvKeyRepl>' $'\xB9\xE3\xB8\xE6' '@@spam=ham</OrvKeyRepl>' \
    '<KeyWordsJilu>' $'\xB2\xCA\xC6\xB1' '</KeyWordsJilu>' \
    '<OrvKeyFree>freepass</OrvKeyFree>' >"$folder/OrvFilter.db"
}

# A run takes seconds; the limit only turns a hang into a clear failure.
limit="${ORV_FAKEIIS_TIMEOUT:-120}"
status=0
run_mode() { # mode name, KeyIsSystem value, extra fakeiis arguments
  local mode="$1" system="$2"
  shift 2
  # A blank in the folder's name, as in "C:\Program Files\...".
  local folder="$work/site $mode"
  write_fixture "$folder" "$system"
  echo "--- fake IIS, $arch, filter $mode"
  local rc=0
  (cd "$folder" && timeout -k 5 "$limit" "$wine" fakeiis.exe '.\OrvFilter.dll' "$@") \
    >"$folder/fakeiis.raw" 2>&1 || rc=$?
  tr -d '\r' <"$folder/fakeiis.raw" | tee "$folder/fakeiis.out"
  # The summary line decides: it says how many scenarios ran and how many failed, and the fake
  # IIS ends itself right after printing it. The exit code must agree.
  local summary
  summary="$(grep -E '^[0-9]+ scenario\(s\), [0-9]+ failed$' "$folder/fakeiis.out" | tail -n 1 || true)"
  if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    if [ -n "$summary" ]; then
      echo "run-fake-iis: $arch, filter $mode: FAILED: printed '$summary' but did not exit within ${limit}s" >&2
    else
      echo "run-fake-iis: $arch, filter $mode: FAILED: no verdict within ${limit}s (hung; killed)" >&2
    fi
    wineserver -k 2>/dev/null || true
    status=1
  elif [ -z "$summary" ]; then
    echo "run-fake-iis: $arch, filter $mode: FAILED: ended without a verdict, exit code $rc (crashed?)" >&2
    status=1
  elif [[ "$summary" != *" 0 failed" ]] || [ "$rc" != 0 ]; then
    echo "run-fake-iis: $arch, filter $mode: FAILED: $summary, exit code $rc (see $folder)" >&2
    status=1
  fi
}

run_mode on 1
run_mode off 0 --off

# Wine's own services linger a few seconds after the last program; never wait on them for long.
timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
if [ "$status" = 0 ]; then
  rm -rf "$work"
  echo "run-fake-iis: $arch passed"
fi
exit "$status"
