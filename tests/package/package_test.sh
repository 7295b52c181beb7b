#!/usr/bin/env bash
# Installs the Debian package built from BUILD_DIR on this machine and checks it as an
# administrator would meet it: files, owners and modes, the service user, the installed
# orvproxy (plain and HTTPS) blocking one page and passing another, a setting and a list that
# survive an upgrade, and a purge that leaves nothing behind.
#   tests/package/package_test.sh [BUILD_DIR]     (default build/default; needs root and dpkg)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(realpath -m "${1:-$root/build/default}")"

skip() {
  echo "package test: skipped ($*)"
  exit 0
}
[ "$(id -u)" -eq 0 ] || skip "needs root"
for tool in dpkg dpkg-deb cpack curl openssl python3 runuser; do
  command -v "$tool" >/dev/null || skip "no $tool"
done
# Never touch an installation that was here before the test.
if dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q installed ||
  [ -e /opt/orvane ] || getent passwd orvane >/dev/null; then
  skip "Orvane is already installed here"
fi

APP=/opt/orvane
work="$(mktemp -d)"
pids=()
handmade=
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if dpkg-query -W orvane >/dev/null 2>&1; then dpkg --purge orvane >/dev/null 2>&1 || true; fi
  if [ -n "$handmade" ]; then
    deluser --system --quiet orvane >/dev/null 2>&1 || true
    delgroup --system --quiet orvane >/dev/null 2>&1 || true
    rm -rf "$APP"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then echo "  ok   $what"; else
    echo "  FAIL $what"
    failures=$((failures + 1))
  fi
}
same() { [ "$1" = "$2" ] || { echo "       got '$1', wanted '$2'" && false; }; }
owner_mode() { stat -c '%U:%G %a' "$1"; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  return 1
}
status_of() { curl -s -o "$work/body" -w '%{http_code}' "$@"; }

echo "== package"
mkdir "$work/first" "$work/second"
first="$(cd "$work/first" && "$root/scripts/package.sh" "$build" 2>>"$work/package.log")" ||
  { cat "$work/package.log"; exit 1; }
second="$(cd "$work/second" && ORV_PACKAGE_VERSION=99.0 "$root/scripts/package.sh" "$build" \
  2>>"$work/package.log")" || { cat "$work/package.log"; exit 1; }
check "two packages built" test -f "$first" -a -f "$second"
check "the package ships no settings file of its own" \
  bash -c "! dpkg-deb -c '$first' | grep -q '$APP/OrvFilter'"

echo "== install"
dpkg -i "$first" >/dev/null
for program in orvproxy orvctl orvscan orvkeyd; do
  check "$program in $APP, linked from /usr/bin" \
    test -x "$APP/$program" -a "$(readlink /usr/bin/$program)" = "$APP/$program"
done
for unit in orvproxy orvfilter orvkeyd; do
  check "$unit.service installed" test -f "/lib/systemd/system/$unit.service"
done
for page in "$root"/man/*.[18]; do
  [ -e "$page" ] || continue
  name="$(basename "$page")"
  check "man page $name" test -f "/usr/share/man/man${name##*.}/$name.gz"
done
check "system user orvane" bash -c "getent passwd orvane | grep -q ':/usr/sbin/nologin$'"
check "settings root:orvane 640" same "$(owner_mode $APP/OrvFilter.ini)" "root:orvane 640"
check "lists root:orvane 644" same "$(owner_mode $APP/OrvFilter.db)" "root:orvane 644"
check "log/ orvane:orvane 750" same "$(owner_mode $APP/log)" "orvane:orvane 750"
check "the service user reads the settings" runuser -u orvane -- test -r $APP/OrvFilter.ini
check "the service user cannot change them" runuser -u orvane -- test ! -w $APP/OrvFilter.ini
check "filtering is on" same "$(orvctl get KeyIsSystem)" "1"
safe="$(orvctl get KeySafeCode)"
check "a safe code of this installation's own" \
  bash -c "[ ${#safe} -eq 20 ] && [ '$safe' != orvsafe ]"
check "the deny list holds the example words" bash -c "orvctl words deny show | grep -qx forbiddenword"

echo "== orvproxy, installed, as the service user"
mkdir -p "$work/site"
printf '<html><body>this page holds a forbiddenword</body></html>\n' >"$work/site/deny.html"
printf '<html><body>a clean page</body></html>\n' >"$work/site/clean.html"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=localhost \
  -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" \
  2>/dev/null
chmod 755 "$work"
chgrp orvane "$work/key.pem" && chmod 640 "$work/key.pem"
upstream="$(free_port)"
python3 -m http.server --bind 127.0.0.1 --directory "$work/site" "$upstream" >/dev/null 2>&1 &
pids+=($!)
plain="$(free_port)"
tls="$(free_port)"
# Through the /usr/bin link and without --dir: the program must still find /opt/orvane.
runuser -u orvane -- /usr/bin/orvproxy --listen "127.0.0.1:$plain" --listen-tls "127.0.0.1:$tls" \
  --tls-cert "$work/cert.pem" --tls-key "$work/key.pem" --upstream "http://127.0.0.1:$upstream" \
  --threads 2 >"$work/proxy.log" 2>&1 &
proxy=$!
pids+=("$proxy")
if ! { wait_port "$upstream" && wait_port "$plain" && wait_port "$tls"; }; then
  cat "$work/proxy.log"
  exit 1
fi

check "plain: a clean page passes" same "$(status_of "http://127.0.0.1:$plain/clean.html")" 200
check "plain: ... unchanged" grep -q "a clean page" "$work/body"
check "plain: a page with a deny word is blocked" \
  same "$(status_of "http://127.0.0.1:$plain/deny.html")" 401
check "plain: ... and its word never shows" bash -c "! grep -q 'holds a forbiddenword' '$work/body'"
check "TLS: a clean page passes" \
  same "$(status_of --cacert "$work/cert.pem" "https://localhost:$tls/clean.html")" 200
check "TLS: a page with a deny word is blocked" \
  same "$(status_of --cacert "$work/cert.pem" "https://localhost:$tls/deny.html")" 401
kill -TERM "$proxy"
wait "$proxy" || true
check "the block was logged into log/" bash -c "[ -n \"\$(ls -A $APP/log)\" ]"

echo "== settings and lists survive an upgrade"
orvctl set KeyClearLog 17 >/dev/null
(orvctl words deny show && echo upgradeword) | orvctl words deny save >/dev/null
check "orvctl keeps the settings' owner and mode" \
  same "$(owner_mode $APP/OrvFilter.ini)" "root:orvane 640"
logs_before="$(ls $APP/log)"
dpkg -i "$second" >/dev/null
check "upgraded" same "$(dpkg-query -W -f='${Version}' orvane)" 99.0
check "the changed setting is kept" same "$(orvctl get KeyClearLog)" 17
check "the safe code is kept" same "$(orvctl get KeySafeCode)" "$safe"
check "the added word is kept" bash -c "orvctl words deny show | grep -qx upgradeword"
check "the logs are kept" same "$(ls $APP/log)" "$logs_before"
check "settings still root:orvane 640" same "$(owner_mode $APP/OrvFilter.ini)" "root:orvane 640"

echo "== purge"
dpkg --purge orvane >/dev/null
check "$APP is gone" test ! -e $APP
check "the user is gone" bash -c "! getent passwd orvane"
check "the group is gone" bash -c "! getent group orvane"
check "links, units, defaults and marks are gone" bash -c \
  "! ls -d /usr/bin/orvctl /lib/systemd/system/orvproxy.service /usr/share/orvane /var/lib/orvane 2>/dev/null"

echo "== a purge leaves what the administrator made before the package"
handmade=1
addgroup --system --quiet orvane
adduser --system --quiet --ingroup orvane --home /nonexistent --no-create-home orvane
mkdir -p $APP
echo "kept" >$APP/notes.txt
dpkg -i "$first" >/dev/null
check "the settings are created beside the administrator's file" test -f $APP/OrvFilter.ini
dpkg --purge orvane >/dev/null
check "the administrator's file stays" test -f $APP/notes.txt
check "the settings the package made are gone" test ! -e $APP/OrvFilter.ini
check "the user made by hand stays" bash -c "getent passwd orvane >/dev/null"
check "the group made by hand stays" bash -c "getent group orvane >/dev/null"

if [ "$failures" -ne 0 ]; then
  echo "package test: $failures check(s) failed"
  exit 1
fi
echo "package test: passed"
