#!/usr/bin/env bash
# Builds the default benchmark corpus in corpus/ (generated, never committed):
#   corpus/pages/utf8/  the Simplified Chinese GIMP manual pages (UTF-8)
#   corpus/pages/gbk/   the same pages converted to GBK (characters GBK lacks are dropped)
#   corpus/OrvFilter.db a GBK keyword database sampled from the jieba dictionary with a fixed
#                       seed: 10,000 deny entries (about 10% AND rules, 5% NOT rules), 2,000
#                       replace entries (half with "=" values), 1,000 record and 200 free.
# Usage: scripts/make-bench-corpus.sh [OUTDIR]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-$ROOT/corpus}"
HELP=/usr/share/gimp/2.0/help/zh_CN
DICT=/usr/lib/python3/dist-packages/jieba/dict.txt

if [ ! -d "$HELP" ] || [ ! -f "$DICT" ]; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get install -y -qq --no-install-recommends gimp-help-zh-cn python3-jieba
fi

mkdir -p "$OUT/pages/utf8" "$OUT/pages/gbk"
count=0
while IFS= read -r -d '' page; do
  name="$(basename "$page")"
  cp "$page" "$OUT/pages/utf8/$name"
  iconv -c -f UTF-8 -t GBK "$page" > "$OUT/pages/gbk/$name" || true
  count=$((count + 1))
done < <(find "$HELP" -name '*.html' -print0 | sort -z)
echo "pages: $count in each encoding"

python3 - "$DICT" "$OUT/OrvFilter.db" <<'PY'
import random
import sys

dict_path, db_path = sys.argv[1], sys.argv[2]
rng = random.Random(20121101)
words = []
with open(dict_path, encoding="utf-8") as f:
    for line in f:
        word = line.split(" ", 1)[0]
        # Entries are stored lower-cased and must survive GBK; the rule separators and the
        # entry separator may not occur inside a word.
        if len(word) < 2 or any(c in word for c in "+-=@"):
            continue
        try:
            word.encode("gbk")
        except UnicodeEncodeError:
            continue
        words.append(word.lower())

def pick():
    return rng.choice(words)

deny = []
for _ in range(10000):
    r = rng.random()
    if r < 0.10:
        deny.append("+".join(pick() for _ in range(rng.choice((2, 2, 3)))))
    elif r < 0.15:
        deny.append("-".join(pick() for _ in range(rng.choice((2, 3)))))
    else:
        deny.append(pick())
replace = [pick() + ("=" + pick() if i % 2 == 0 else "") for i in range(2000)]
record = [pick() for _ in range(1000)]
free = [pick() for _ in range(200)]

def section(tag, entries):
    return "<%s>%s</%s>" % (tag, "@@".join(entries), tag)

text = (section("OrvKeyDeny", deny) + section("OrvKeyRepl", replace) +
        section("KeyWordsJilu", record) + section("OrvKeyFree", free))
with open(db_path, "wb") as f:
    f.write(text.encode("gbk"))
print("database: %s (%d deny, %d replace, %d record, %d free)" %
      (db_path, len(deny), len(replace), len(record), len(free)))
PY
