#!/usr/bin/env bash
# orvproxy against nginx proxy_pass, in one run, on the same pages from the same upstream:
#   upstream   nginx serving the pages as static files
#   baseline   nginx proxy_pass to it (keep-alive upstream connections; gzip level 6 from 256
#              bytes for a client that offers it, as orvproxy compresses)
#   orvproxy   --upstream to it, with the benchmark database: 10,000 deny entries (AND and NOT
#              rules among them), 2,000 replace, 1,000 record and 200 free
#   orvproxy, filtering off: the same binary with KeyIsSystem=0, to tell the proxy's own cost
#              from the screening's
# Three page classes are measured side by side in every round:
#   small   pages of 5-15 KB, sent as they are
#   large   pages of 80-100 KB, sent as they are
#   gzip    the small pages to a client that offers gzip: both proxies compress
# All are driven by wrk with the same connections, threads and duration; for each class the
# script prints requests/s, p99 latency, the CPU time each proxy spent per request, its peak
# resident memory while the class ran (VmHWM; nginx's master and workers summed) and the
# ratios to nginx.
#
# Pages and words: corpus/pages/utf8 and corpus/OrvFilter.db from scripts/make-bench-corpus.sh
# when present (the Chinese GIMP manual and a jieba word sample); otherwise the demo site and a
# database generated to the same shape. Pages of a size the corpus lacks (all large ones, and
# small ones for the demo site) are made by joining the bodies of real pages one after another,
# in a fixed order. Only pages that orvproxy lets through are requested, so that both servers
# send the same bytes.
#
# Environment: ORVPROXY (binary; default: build it with the default preset), ORVPROXY_BEFORE
# (optional: another build, e.g. of the previous commit, measured in the same rounds with
# filtering on, so that a change is judged side by side), CLASSES ("small large gzip"; also
# "gzip-large": the large pages compressed), DURATION (of one measurement, 5s), ROUNDS (3: every
# server is measured once per class and round; the table shows the medians, and the ratios to
# nginx are taken within each round), QUICK (1: one round of 2 s, a smoke run), CONNECTIONS
# (32), WORKERS (worker processes of the nginx proxy and threads of orvproxy: the number of
# cores), PAGES (how many pages of each class to rotate through, 40), ORVPROXY_ARGS (more
# options for every orvproxy, e.g. "--compress off"), UPSTREAM_GZIP (1: the upstream sends
# every page gzipped, whatever the request offers, so orvproxy decodes each one before
# screening it), TLS (1: the clients speak HTTPS to both proxies, TLS 1.2/1.3 with the same
# certificate, one made for the run; wrk keeps its connections, so the handshakes are few and
# the cost measured is that of the records).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
DURATION="${DURATION:-5s}"
ROUNDS="${ROUNDS:-3}"
WARM=2s
if [ -n "${QUICK:-}" ]; then DURATION=2s; ROUNDS=1; WARM=1s; fi
CONNECTIONS="${CONNECTIONS:-32}"
WORKERS="${WORKERS:-$(nproc)}"
PAGES="${PAGES:-40}"
read -r -a CLASS_LIST <<<"${CLASSES:-small large gzip}"
read -r -a EXTRA_ARGS <<<"${ORVPROXY_ARGS:-}"
UPSTREAM_GZIP="${UPSTREAM_GZIP:-}"
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

# Pages and keyword database. Candidate pages go to site/src; the pages of each class are
# chosen from them (or made of them) once orvproxy can say which pass.
mkdir -p "$WORK/site/src" "$WORK/site/small" "$WORK/site/large" "$WORK/config/log" \
  "$WORK/config-off/log"
cp "$ROOT/examples/config/OrvFilter.ini" "$WORK/config/"
sed 's/^KeyIsSystem=1/KeyIsSystem=0/' "$ROOT/examples/config/OrvFilter.ini" > "$WORK/config-off/OrvFilter.ini"
if [ -d "$ROOT/corpus/pages/utf8" ] && [ -f "$ROOT/corpus/OrvFilter.db" ]; then
  cp "$ROOT"/corpus/pages/utf8/*.html "$WORK/site/src/"
  cp "$ROOT/corpus/OrvFilter.db" "$WORK/config/"
  echo "bench: pages and words from corpus/"
else
  cp "$ROOT"/examples/site/*.html "$WORK/site/src/"
  # The corpus database's shape: about 10% of the deny entries AND rules and 5% NOT rules, half
  # of the replace entries with a replacement.
  python3 - "$WORK/config/OrvFilter.db" <<'PY'
import random, sys
rng = random.Random(7)
letters = "abcdefghijklmnopqrstuvwxyz"
hanzi = [chr(c) for c in range(0x4E00, 0x9FA5)]
def word():
    if rng.random() < 0.5:
        return "".join(rng.choice(letters) for _ in range(rng.randint(5, 10)))
    return "".join(rng.choice(hanzi) for _ in range(rng.randint(2, 4)))
def deny_entry():
    r = rng.random()
    if r < 0.10:
        return "+".join(word() for _ in range(rng.choice((2, 2, 3))))
    if r < 0.15:
        return "-".join(word() for _ in range(rng.choice((2, 3))))
    return word()
def section(tag, entries):
    return "<%s>%s</%s>" % (tag, "@@".join(entries), tag)
deny = [deny_entry() for _ in range(9999)] + ["forbiddenword"]
replace = [word() + ("=" + word() if i % 2 == 0 else "") for i in range(1999)] + ["badword"]
text = (section("OrvKeyDeny", deny) + section("OrvKeyRepl", replace) +
        section("KeyWordsJilu", [word() for _ in range(1000)]) +
        section("OrvKeyFree", [word() for _ in range(200)]))
open(sys.argv[1], "wb").write(text.encode("gbk", "ignore"))
PY
  echo "bench: demo pages, generated database (corpus/ not built: scripts/make-bench-corpus.sh)"
fi
python3 - "$WORK/config/OrvFilter.db" <<'PY'
import sys
text = open(sys.argv[1], "rb").read()
def entries(tag):
    start = text.find(b"<%s>" % tag)
    end = text.find(b"</%s>" % tag)
    return text[start + len(tag) + 2:end].split(b"@@") if start >= 0 and end > start else []
deny = entries(b"OrvKeyDeny")
print("bench: database of %d deny (%d AND, %d NOT), %d replace, %d record, %d free" % (
    len(deny), sum(b"+" in e for e in deny), sum(b"-" in e for e in deny),
    len(entries(b"OrvKeyRepl")), len(entries(b"KeyWordsJilu")), len(entries(b"OrvKeyFree"))))
PY

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
[ -n "$UPSTREAM_GZIP" ] && GZIP_LINE="gzip_static always;"
{ common upstream 1; cat <<CONF
  server { listen 127.0.0.1:$UP_PORT; root $WORK/site; $GZIP_LINE }
}
CONF
} > "$WORK/upstream.conf"
# The nginx proxy compresses for a client that offers gzip, as orvproxy does: level 6 from 256
# bytes. Requests of the uncompressed classes offer nothing and get the bytes as they are.
{ common proxy "$WORKERS"; cat <<CONF
  gzip on; gzip_comp_level 6; gzip_min_length 256; gzip_proxied any; gzip_vary on; gzip_types text/css;
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

# Appends to file $2 the paths under folder $1 of the site that orvproxy passes (some pages
# carry deny words and would get block pages), in name order, until $2 holds $3 paths; with $4
# and $5, only files of that many bytes and more, and fewer than $5.
passing() {
  local dir="$1" out="$2" want="$3" min="${4:-0}" max="${5:-999999999}" file size status
  touch "$out"
  for file in $(cd "$WORK/site/$dir" && ls -- *.html 2>/dev/null | sort); do
    [ "$(wc -l < "$out")" -ge "$want" ] && break
    size="$(stat -c %s "$WORK/site/$dir/$file")"
    [ "$size" -ge "$min" ] && [ "$size" -lt "$max" ] || continue
    status="$(curl -sk -o /dev/null -w '%{http_code}' "$SCHEME://127.0.0.1:$ORV_PORT/$dir/$file")"
    [ "$status" = 200 ] && echo "/$dir/$file" >> "$out"
  done
  return 0
}

# Pages of $3 to $4 bytes in folder $2, $1 of them, each made of one page that passes followed
# by the bodies of the next ones in turn (the page after its own for the first, and so on), the
# last body cut at a tag so that the page stays within its size.
join_pages() {
  python3 - "$WORK/site" "$WORK/src-passing" "$@" <<'PY'
import os, re, sys
site, listing, count, folder, low, high = sys.argv[1:7]
count, low, high = int(count), int(low), int(high)
sources = [open(site + line.strip(), "rb").read() for line in open(listing) if line.strip()]
def body(page):
    start = re.search(rb"<body[^>]*>", page, re.I)
    end = page.lower().rfind(b"</body>")
    return page[start.end() if start else 0:end if end >= 0 else len(page)]
bodies = [body(page) for page in sources]
made = 0
for k in range(count):
    page = sources[k % len(sources)]
    cut = page.lower().rfind(b"</body>")
    head, tail = (page[:cut], page[cut:]) if cut >= 0 else (page, b"")
    # Sizes spread over the range, the same ones in every run.
    target = low + (k * 7919) % max(1, high - low - len(tail))
    out = head
    j = k + 1
    while len(out) + len(tail) < target and any(bodies):
        whole = bodies[j % len(bodies)]
        room = high - 1 - len(tail) - len(out)
        piece = whole
        if len(whole) > room:
            cut = whole.rfind(b"<", 0, room)
            if cut <= 0:
                break  # no tag to cut at in the room left
            piece = whole[:cut]
        out += piece
        j += 1
    out += tail
    if low <= len(out) < high:
        open(os.path.join(site, folder, "page%03d.html" % k), "wb").write(out)
        made += 1
print("bench: %d pages of %d-%d KB made in %s/" % (made, low // 1000, high // 1000, folder))
PY
}

SMALL_MIN=5000; SMALL_MAX=15000; LARGE_MIN=80000; LARGE_MAX=100000
: > "$WORK/src-passing"
passing src "$WORK/src-passing" 200
if [ ! -s "$WORK/src-passing" ]; then echo "bench: no page passes orvproxy" >&2; exit 1; fi
passing src "$WORK/small-paths" "$PAGES" "$SMALL_MIN" "$SMALL_MAX"
if [ "$(wc -l < "$WORK/small-paths")" -lt "$PAGES" ]; then
  join_pages "$PAGES" small "$SMALL_MIN" "$SMALL_MAX"
  passing small "$WORK/small-paths" "$PAGES"
fi
passing src "$WORK/large-paths" "$PAGES" "$LARGE_MIN" "$LARGE_MAX"
if [ "$(wc -l < "$WORK/large-paths")" -lt "$PAGES" ]; then
  # A few more than needed: a joined page can meet an AND rule that none of its parts met.
  join_pages $((PAGES + PAGES / 2)) large "$LARGE_MIN" "$LARGE_MAX"
  passing large "$WORK/large-paths" "$PAGES"
fi
[ -n "$UPSTREAM_GZIP" ] && gzip -kf -6 "$WORK"/site/*/*.html
cp "$WORK/small-paths" "$WORK/gzip-paths"
cp "$WORK/large-paths" "$WORK/gzip-large-paths"

for class in "${CLASS_LIST[@]}"; do
  paths="$WORK/$class-paths"
  if [ ! -s "$paths" ]; then echo "bench: no $class page passes orvproxy" >&2; exit 1; fi
  accept=""; [[ "$class" == gzip* ]] && accept=gzip
  bytes=0; ngx_wire=0; orv_wire=0
  while read -r path; do
    a="$(curl -sk "$SCHEME://127.0.0.1:$NGX_PORT$path" | wc -c)"
    b="$(curl -sk "$SCHEME://127.0.0.1:$ORV_PORT$path" | wc -c)"
    # A gzipping upstream reaches the client gzipped through nginx and decoded through orvproxy.
    [ "$a" = "$b" ] || [ -n "$UPSTREAM_GZIP" ] ||
      { echo "bench: $path differs in length ($a vs $b)" >&2; exit 1; }
    bytes=$((bytes + a))
    if [ -n "$accept" ]; then
      # What goes over the wire to a client with that offer: the bandwidth each proxy saves.
      ngx_wire=$((ngx_wire + $(curl -sk -H "Accept-Encoding: $accept" "$SCHEME://127.0.0.1:$NGX_PORT$path" | wc -c)))
      orv_wire=$((orv_wire + $(curl -sk -H "Accept-Encoding: $accept" "$SCHEME://127.0.0.1:$ORV_PORT$path" | wc -c)))
    fi
  done < "$paths"
  count="$(wc -l < "$paths")"
  line="bench: $class: $count pages, $((bytes / count)) bytes on average"
  [ -n "$accept" ] && line+=", sent with Accept-Encoding \"$accept\": nginx $((ngx_wire / count)), orvproxy $((orv_wire / count)) ($((100 * orv_wire / ngx_wire))% of nginx's)"
  echo "$line"
  {
    echo 'local paths = {}'
    while read -r path; do echo "paths[#paths + 1] = \"$path\""; done < "$paths"
    echo "local accept = \"$accept\""
    cat <<'LUA'
local i = 0
local headers = {}
if accept ~= "" then headers["Accept-Encoding"] = accept end
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i], headers)
end
LUA
  } > "$WORK/rotate-$class.lua"
done

# A process and its children: the nginx proxy's work is done by its worker processes.
family() { echo "$1" $(pgrep -P "$1" || true); }
# CPU time (clock ticks, user + system) of a process and its children's threads.
cpu_ticks() {
  local total=0 pid
  for pid in $(family "$1"); do
    [ -r "/proc/$pid/stat" ] || continue
    total=$((total + $(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat")))
  done
  echo "$total"
}
# Peak resident memory (KiB) since the last reset_peak, summed over the process and its children.
reset_peak() {
  local pid
  for pid in $(family "$1"); do echo 5 > "/proc/$pid/clear_refs" 2>/dev/null || true; done
}
peak_kib() {
  local total=0 pid
  for pid in $(family "$1"); do
    total=$((total + $(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)))
  done
  echo "$total"
}

# wrk prints latency in us, ms or s; requests/s plainly. Also prints the microseconds of CPU
# the proxy (its third argument: the process) spent per request, which is steadier than
# requests/s on a shared machine, and its peak resident memory in MiB.
measure() {
  local class="$1" port="$2" pid="$3" out before after
  reset_peak "$pid"
  before="$(cpu_ticks "$pid")"
  out="$(wrk -t1 -c"$CONNECTIONS" -d"$DURATION" --latency -s "$WORK/rotate-$class.lua" "$SCHEME://127.0.0.1:$port/")"
  after="$(cpu_ticks "$pid")"
  local rps p99 requests cpu errors peak
  peak="$(peak_kib "$pid")"
  rps="$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")"
  p99="$(awk '$1 == "99%" {v=$2; u=v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v);
           if (u == "us") v /= 1000; else if (u == "s") v *= 1000; print v}' <<<"$out")"
  errors="$(awk '/Non-2xx|Socket errors/' <<<"$out")"
  [ -n "$errors" ] && echo "bench: $class, port $port: $errors" >&2
  requests="$(awk '/requests in/ {print $1}' <<<"$out")"
  cpu="$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v n="$requests" \
           'BEGIN { printf "%.1f", (n > 0 ? t * 1e6 / hz / n : 0) }')"
  echo "$rps $p99 $cpu $((peak / 1024))"
}

echo "bench: $SCHEME, wrk -t1 -c$CONNECTIONS -d$DURATION x $ROUNDS rounds, proxies with $WORKERS workers; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
variants=(ngx orv off); [ -n "${BEFORE_PORT:-}" ] && variants+=(before)
declare -A PORT=([ngx]="$NGX_PORT" [orv]="$ORV_PORT" [off]="$OFF_PORT" [before]="${BEFORE_PORT:-}")
declare -A PID=([ngx]="$NGX_PID" [orv]="$ORV_PID" [off]="$OFF_PID" [before]="${BEFORE_PID:-}")
# Warm every server (connection pools, charset cache, allocator) before measuring.
for class in "${CLASS_LIST[@]}"; do
  for v in "${variants[@]}"; do
    wrk -t1 -c"$CONNECTIONS" -d"$WARM" -s "$WORK/rotate-$class.lua" "$SCHEME://127.0.0.1:${PORT[$v]}/" >/dev/null
  done
done
# Each round measures every server once per class, one after the other; ratios are taken
# within a round, and the table shows medians over the rounds.
for _ in $(seq "$ROUNDS"); do
  for class in "${CLASS_LIST[@]}"; do
    for v in "${variants[@]}"; do measure "$class" "${PORT[$v]}" "${PID[$v]}" > "$WORK/round-$v"; done
    read -r base_rps base_p99 base_cpu _ < "$WORK/round-ngx"
    for v in "${variants[@]}"; do
      read -r rps p99 cpu peak < "$WORK/round-$v"
      awk -v r="$rps" -v p="$p99" -v c="$cpu" -v m="$peak" -v br="$base_rps" -v bp="$base_p99" \
        -v bc="$base_cpu" 'BEGIN { printf "%s %s %s %s %s %s %s\n", r, p, c, m, r / br, p / bp,
                                   (bc > 0 ? c / bc : 0) }' >> "$WORK/results-$class-$v"
    done
  done
done

median() {  # median of column $1 of a file
  awk -v c="$1" '{ print $c }' "$2" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
row() {
  local f="$WORK/results-$2-$3"
  printf '  %-26s %10.1f %9.2f %8.1f %8.0f %9.2fx %7.2fx %7.2fx\n' "$1" "$(median 1 "$f")" \
    "$(median 2 "$f")" "$(median 3 "$f")" "$(median 4 "$f")" "$(median 5 "$f")" \
    "$(median 6 "$f")" "$(median 7 "$f")"
}
declare -A TITLE=([small]="small pages (5-15 KB)" [large]="large pages (80-100 KB)"
                  [gzip]="small pages, gzip to the client" [gzip-large]="large pages, gzip to the client")
echo "bench: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
for class in "${CLASS_LIST[@]}"; do
  echo "${TITLE[$class]:-$class}"
  printf '  %-26s %10s %9s %8s %8s %10s %8s %8s\n' "" "req/s" "p99 ms" "CPU us" "RSS MiB" \
    "req/s /ngx" "p99 /ngx" "CPU /ngx"
  row "nginx proxy_pass" "$class" ngx
  row "orvproxy" "$class" orv
  row "orvproxy, filtering off" "$class" off
  if [ -n "${BEFORE_PORT:-}" ]; then row "orvproxy, before" "$class" before; fi
done
