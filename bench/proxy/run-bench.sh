#!/usr/bin/env bash
# orvproxy against nginx proxy_pass, in one run, on the same pages from the same upstream:
#   upstream   nginx serving the pages as static files
#   baseline   nginx proxy_pass to it (keep-alive upstream connections)
#   orvproxy   --upstream to it, with 10,000 deny keywords (plus replace, record, free lists)
#   orvproxy, filtering off: the same binary with KeyIsSystem=0, to tell the proxy's own cost
#              from the screening's
# All are driven by wrk with the same connections, threads and duration; the script prints
# requests/s, p99 latency, the CPU time each proxy spent per request, and the ratios to nginx.
#
# Pages and words: corpus/pages/utf8 and corpus/OrvFilter.db from scripts/make-bench-corpus.sh
# when present (the Chinese GIMP manual and a jieba word sample); otherwise the demo site and a
# generated database of 10,000 words. Only pages that orvproxy lets through are requested, so
# that both servers send the same bytes.
#
# Environment: ORVPROXY (binary; default: build it with the default preset), ORVPROXY_BEFORE
# (optional: another build, e.g. of the previous commit, measured in the same run with
# filtering on, so that a change is judged side by side), DURATION (of one measurement, 5s),
# ROUNDS (3: every server is measured once per round; the table shows the medians, and the
# ratios to nginx are taken within each round), CONNECTIONS (32), WORKERS (worker processes of the nginx proxy and threads of orvproxy:
# the number of cores), PAGES (how many pages to rotate through, 40), ORVPROXY_ARGS (more
# options for every orvproxy, e.g. "--compress off"), ACCEPT_ENCODING (sent by wrk with every
# request, e.g. "gzip"), UPSTREAM_GZIP (1: the upstream sends every page gzipped, whatever the
# request offers, so orvproxy decodes each one before screening it), NGINX_GZIP (1: the nginx
# proxy compresses what it sends as orvproxy does, gzip level 6 from 256 bytes, so that a run
# with ACCEPT_ENCODING compares two proxies doing the same work). With ACCEPT_ENCODING set, the
# bytes each proxy sends per page are printed too. TLS (1: the clients speak HTTPS to both
# proxies, TLS 1.2/1.3 with the same certificate, one made for the run; wrk keeps its
# connections, so the handshakes are few and the cost measured is that of the records).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
DURATION="${DURATION:-5s}"
CONNECTIONS="${CONNECTIONS:-32}"
WORKERS="${WORKERS:-$(nproc)}"
PAGES="${PAGES:-40}"
ROUNDS="${ROUNDS:-3}"
read -r -a EXTRA_ARGS <<<"${ORVPROXY_ARGS:-}"
ACCEPT_ENCODING="${ACCEPT_ENCODING:-}"
UPSTREAM_GZIP="${UPSTREAM_GZIP:-}"
NGINX_GZIP="${NGINX_GZIP:-}"
TLS="${TLS:-}"
SCHEME=http; [ -n "$TLS" ] && SCHEME=https

need=()
command -v nginx >/dev/null || need+=(nginx-light)
command -v wrk >/dev/null || need+=(wrk)
command -v curl >/dev/null || need+=(curl)
[ -z "$TLS" ] || command -v openssl >/dev/null || need+=(openssl)
if [ "${#need[@]}" -gt 0 ]; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
NGINX="$(command -v nginx)"

if [ -z "${ORVPROXY:-}" ]; then
  (cd "$ROOT" && cmake --preset default >/dev/null && cmake --build build/default --target orvproxy)
  ORVPROXY="$ROOT/build/default/proxy/orvproxy"
fi

WORK="$(mktemp -d /tmp/orv-proxy-bench.XXXXXX)"
chmod 755 "$WORK"
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "bench: nothing listens on port $1" >&2
  cat "$WORK"/*-error.log "$WORK/orvproxy.log" >&2 2>/dev/null || true
  return 1
}

# Pages and keyword database.
mkdir -p "$WORK/site" "$WORK/config/log" "$WORK/config-off/log"
cp "$ROOT/examples/config/OrvFilter.ini" "$WORK/config/"
sed 's/^KeyIsSystem=1/KeyIsSystem=0/' "$ROOT/examples/config/OrvFilter.ini" > "$WORK/config-off/OrvFilter.ini"
if [ -d "$ROOT/corpus/pages/utf8" ] && [ -f "$ROOT/corpus/OrvFilter.db" ]; then
  cp "$ROOT"/corpus/pages/utf8/*.html "$WORK/site/"
  cp "$ROOT/corpus/OrvFilter.db" "$WORK/config/"
  echo "bench: pages and words from corpus/"
else
  cp "$ROOT"/examples/site/*.html "$WORK/site/"
  python3 - "$WORK/config/OrvFilter.db" <<'PY'
import random, sys
rng = random.Random(7)
letters = "abcdefghijklmnopqrstuvwxyz"
hanzi = [chr(c) for c in range(0x4E00, 0x9FA5)]
def word():
    if rng.random() < 0.5:
        return "".join(rng.choice(letters) for _ in range(rng.randint(5, 10)))
    return "".join(rng.choice(hanzi) for _ in range(rng.randint(2, 4)))
def section(tag, entries):
    return "<%s>%s</%s>" % (tag, "@@".join(entries), tag)
deny = [word() for _ in range(10000)]
text = (section("OrvKeyDeny", deny + ["forbiddenword"]) +
        section("OrvKeyRepl", [word() for _ in range(2000)] + ["badword"]) +
        section("KeyWordsJilu", [word() for _ in range(1000)]) +
        section("OrvKeyFree", [word() for _ in range(200)]))
open(sys.argv[1], "wb").write(text.encode("gbk", "ignore"))
PY
  echo "bench: demo pages, generated database (corpus/ not built: scripts/make-bench-corpus.sh)"
fi
echo "bench: $(ls "$WORK/site" | wc -l) pages, deny list of $(python3 -c '
import sys; t=open(sys.argv[1],"rb").read()
a=t.find(b"<OrvKeyDeny>")+12; b=t.find(b"</OrvKeyDeny>"); print(len(t[a:b].split(b"@@")))' "$WORK/config/OrvFilter.db") entries"

# Both proxies' listeners: plain, or TLS with one certificate.
ORV_LISTEN=(--listen); NGX_SSL=""
if [ -n "$TLS" ]; then
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 \
    -keyout "$WORK/bench.key" -out "$WORK/bench.crt" -subj /CN=localhost \
    -addext subjectAltName=DNS:localhost,IP:127.0.0.1 2>/dev/null
  ORV_LISTEN=(--tls-cert "$WORK/bench.crt" --tls-key "$WORK/bench.key" --listen-tls)
  NGX_SSL="ssl; ssl_certificate $WORK/bench.crt; ssl_certificate_key $WORK/bench.key;
    ssl_protocols TLSv1.2 TLSv1.3"
fi

UP_PORT="$(free_port)"; NGX_PORT="$(free_port)"; ORV_PORT="$(free_port)"; OFF_PORT="$(free_port)"
USER_LINE=""; [ "$(id -u)" -eq 0 ] && USER_LINE="user root;"
common() {
  cat <<CONF
$USER_LINE
pid $WORK/$1.pid;
error_log $WORK/$1-error.log;
worker_processes $2;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $WORK/$1-body;
  proxy_temp_path $WORK/$1-proxy;
  fastcgi_temp_path $WORK/$1-fastcgi;
  uwsgi_temp_path $WORK/$1-uwsgi;
  scgi_temp_path $WORK/$1-scgi;
  types { text/html html; text/css css; }
  keepalive_requests 100000;
CONF
}
GZIP_LINE=""
if [ -n "$UPSTREAM_GZIP" ]; then
  gzip -k -6 "$WORK"/site/*.html
  GZIP_LINE="gzip_static always;"
fi
{ common upstream 1; cat <<CONF
  server { listen 127.0.0.1:$UP_PORT; root $WORK/site; $GZIP_LINE }
}
CONF
} > "$WORK/upstream.conf"
PROXY_GZIP_LINE=""
if [ -n "$NGINX_GZIP" ]; then
  PROXY_GZIP_LINE="gzip on; gzip_comp_level 6; gzip_min_length 256; gzip_proxied any; gzip_vary on; gzip_types text/css;"
fi
{ common proxy "$WORKERS"; cat <<CONF
  $PROXY_GZIP_LINE
  upstream site { server 127.0.0.1:$UP_PORT; keepalive 256; }
  server {
    listen 127.0.0.1:$NGX_PORT $NGX_SSL;
    location / {
      proxy_pass http://site;
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_buffer_size 64k;
      proxy_buffers 32 64k;
    }
  }
}
CONF
} > "$WORK/proxy.conf"

"$NGINX" -p "$WORK" -c "$WORK/upstream.conf" -g 'daemon off;' & PIDS+=($!)
"$NGINX" -p "$WORK" -c "$WORK/proxy.conf" -g 'daemon off;' & PIDS+=($!); NGX_PID=$!
"$ORVPROXY" --dir "$WORK/config" "${ORV_LISTEN[@]}" "127.0.0.1:$ORV_PORT" \
  --upstream "http://127.0.0.1:$UP_PORT" --threads "$WORKERS" "${EXTRA_ARGS[@]}" 2>"$WORK/orvproxy.log" & PIDS+=($!)
ORV_PID=$!
cp "$WORK/config/OrvFilter.db" "$WORK/config-off/"
"$ORVPROXY" --dir "$WORK/config-off" "${ORV_LISTEN[@]}" "127.0.0.1:$OFF_PORT" \
  --upstream "http://127.0.0.1:$UP_PORT" --threads "$WORKERS" "${EXTRA_ARGS[@]}" 2>"$WORK/orvproxy-off.log" & PIDS+=($!)
OFF_PID=$!
wait_port "$UP_PORT"; wait_port "$NGX_PORT"; wait_port "$ORV_PORT"; wait_port "$OFF_PORT"
if [ -n "${ORVPROXY_BEFORE:-}" ]; then
  BEFORE_PORT="$(free_port)"
  "$ORVPROXY_BEFORE" --dir "$WORK/config" "${ORV_LISTEN[@]}" "127.0.0.1:$BEFORE_PORT" \
    --upstream "http://127.0.0.1:$UP_PORT" --threads "$WORKERS" 2>"$WORK/orvproxy-before.log" & PIDS+=($!)
  BEFORE_PID=$!
  wait_port "$BEFORE_PORT"
fi
head -1 "$WORK/orvproxy.log"

# Pages that orvproxy passes (some corpus pages carry deny words and would get block pages).
: > "$WORK/paths"
for page in $(ls "$WORK/site" | sort); do
  status="$(curl -sk -o /dev/null -w '%{http_code}' "$SCHEME://127.0.0.1:$ORV_PORT/$page")"
  [ "$status" = 200 ] && echo "/$page" >> "$WORK/paths"
  [ "$(wc -l < "$WORK/paths")" -ge "$PAGES" ] && break
done
if [ ! -s "$WORK/paths" ]; then echo "bench: no page passes orvproxy" >&2; exit 1; fi
bytes=0
while read -r path; do
  a="$(curl -sk "$SCHEME://127.0.0.1:$NGX_PORT$path" | wc -c)"
  b="$(curl -sk "$SCHEME://127.0.0.1:$ORV_PORT$path" | wc -c)"
  # A gzipping upstream reaches the client gzipped through nginx and decoded through orvproxy.
  [ "$a" = "$b" ] || [ -n "$UPSTREAM_GZIP" ] ||
    { echo "bench: $path differs in length ($a vs $b)" >&2; exit 1; }
  bytes=$((bytes + a))
done < "$WORK/paths"
count="$(wc -l < "$WORK/paths")"
echo "bench: $count pages in rotation, $((bytes / count)) bytes on average"
if [ -n "$ACCEPT_ENCODING" ]; then
  # What goes over the wire to a client with that offer: the bandwidth the screen costs or saves.
  ngx_wire=0; orv_wire=0
  while read -r path; do
    ngx_wire=$((ngx_wire + $(curl -sk -H "Accept-Encoding: $ACCEPT_ENCODING" "$SCHEME://127.0.0.1:$NGX_PORT$path" | wc -c)))
    orv_wire=$((orv_wire + $(curl -sk -H "Accept-Encoding: $ACCEPT_ENCODING" "$SCHEME://127.0.0.1:$ORV_PORT$path" | wc -c)))
  done < "$WORK/paths"
  echo "bench: body bytes per page with Accept-Encoding \"$ACCEPT_ENCODING\": nginx $((ngx_wire / count)), orvproxy $((orv_wire / count)) ($((100 * orv_wire / ngx_wire))% of nginx's)"
fi

{
  echo 'local paths = {}'
  while read -r path; do echo "paths[#paths + 1] = \"$path\""; done < "$WORK/paths"
  echo "local accept = \"$ACCEPT_ENCODING\""
  cat <<'LUA'
local i = 0
local headers = {}
if accept ~= "" then headers["Accept-Encoding"] = accept end
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i], headers)
end
LUA
} > "$WORK/rotate.lua"

# CPU time (clock ticks, user + system) of a process and its children's threads: the nginx
# proxy's work is done by its worker processes.
cpu_ticks() {
  local total=0 pid
  for pid in "$1" $(pgrep -P "$1" || true); do
    [ -r "/proc/$pid/stat" ] || continue
    total=$((total + $(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat")))
  done
  echo "$total"
}

# wrk prints latency in us, ms or s; requests/s plainly. Also prints the microseconds of CPU
# the proxy (its second argument: the process) spent per request, which is steadier than
# requests/s on a shared machine.
measure() {
  local out before after
  before="$(cpu_ticks "$2")"
  out="$(wrk -t1 -c"$CONNECTIONS" -d"$DURATION" --latency -s "$WORK/rotate.lua" "$SCHEME://127.0.0.1:$1/")"
  after="$(cpu_ticks "$2")"
  echo "$out" > "$WORK/wrk-$1.txt"
  local rps p99 requests cpu
  rps="$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")"
  p99="$(awk '$1 == "99%" {v=$2; u=v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v);
           if (u == "us") v /= 1000; else if (u == "s") v *= 1000; print v}' <<<"$out")"
  local errors
  errors="$(awk '/Non-2xx|Socket errors/' <<<"$out")"
  [ -n "$errors" ] && echo "bench: $errors" >&2
  requests="$(awk '/requests in/ {print $1}' <<<"$out")"
  cpu="$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v n="$requests" \
           'BEGIN { printf "%.1f", (n > 0 ? t * 1e6 / hz / n : 0) }')"
  echo "$rps $p99 $cpu"
}

echo "bench: $SCHEME, wrk -t1 -c$CONNECTIONS -d$DURATION x $ROUNDS rounds, proxies with $WORKERS workers"
# Warm every server (connection pools, charset cache) before measuring.
for port in "$NGX_PORT" "$ORV_PORT" "$OFF_PORT" ${BEFORE_PORT:+"$BEFORE_PORT"}; do
  wrk -t1 -c"$CONNECTIONS" -d2s -s "$WORK/rotate.lua" "$SCHEME://127.0.0.1:$port/" >/dev/null
done
# Each round measures every server once, one after the other; ratios are taken within a
# round, and the table shows medians over the rounds.
variants=(ngx orv off); [ -n "${BEFORE_PORT:-}" ] && variants+=(before)
declare -A PORT=([ngx]="$NGX_PORT" [orv]="$ORV_PORT" [off]="$OFF_PORT" [before]="${BEFORE_PORT:-}")
declare -A PID=([ngx]="$NGX_PID" [orv]="$ORV_PID" [off]="$OFF_PID" [before]="${BEFORE_PID:-}")
for _ in $(seq "$ROUNDS"); do
  for v in "${variants[@]}"; do measure "${PORT[$v]}" "${PID[$v]}" > "$WORK/round-$v"; done
  read -r base_rps base_p99 _ < "$WORK/round-ngx"
  for v in "${variants[@]}"; do
    read -r rps p99 cpu < "$WORK/round-$v"
    awk -v r="$rps" -v p="$p99" -v c="$cpu" -v br="$base_rps" -v bp="$base_p99" \
      'BEGIN { printf "%s %s %s %s %s\n", r, p, c, r / br, p / bp }' >> "$WORK/results-$v"
  done
done

median() {  # median of column $1 of a file
  awk -v c="$1" '{ print $c }' "$2" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
row() {
  local f="$WORK/results-$2"
  printf '%-30s %12.1f %12.2f %14.1f %9.2fx %9.2fx\n' "$1" "$(median 1 "$f")" "$(median 2 "$f")" \
    "$(median 3 "$f")" "$(median 4 "$f")" "$(median 5 "$f")"
}
printf '%-30s %12s %12s %14s %10s %10s\n' "" "requests/s" "p99 (ms)" "CPU us/request" "req/s" "p99"
row "nginx proxy_pass" ngx
row "orvproxy" orv
row "orvproxy, filtering off" off
if [ -n "${BEFORE_PORT:-}" ]; then row "orvproxy, before" before; fi
