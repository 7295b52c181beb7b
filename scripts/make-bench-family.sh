#!/usr/bin/env bash
# Builds the benchmark corpus family in corpus/family/ (generated, never committed): page sets
# from several Debian documentation packages and keyword databases of different shapes, so
# that the keyword screen is measured on more than the texts and words it was tuned on.
#
#   corpus/family/pages/NAME/utf8/  about 5 MB of one package's Chinese pages (UTF-8)
#   corpus/family/pages/NAME/gbk/   the same pages in GBK (characters GBK lacks dropped)
#   corpus/family/words/SHAPE.db    a GBK keyword database (deny with AND/NOT rules, replace,
#                                   record, free) whose words all have one shape
#
# Page sets: gimp (the GIMP manual), debref (the Debian reference), guides (the Debian FAQ
# and the new maintainers' guide) and man (the Chinese manual pages, roff source as text).
# Word shapes, all drawn with fixed seeds from the jieba dictionary and the pages:
#   rare      Chinese-only words of 2-5 characters that occur in no page, 3,300 entries
#   rare13k   the same kind, 13,200 entries (10,000 deny, 2,000 replace, 1,000 record, 200 free)
#   frequent  words of 2-4 characters present in the pages (ten times or more in all)
#   mixed     Chinese words, ASCII words from the pages and words that mix the two
#   short     words of one or two characters
# Usage: scripts/make-bench-family.sh [OUTDIR]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-$ROOT/corpus/family}"
DICT=/usr/lib/python3/dist-packages/jieba/dict.txt
PACKAGES=(gimp-help-zh-cn debian-reference-zh-cn debian-faq-zh-cn maint-guide-zh-cn manpages-zh
  python3-jieba)

missing=()
for p in "${PACKAGES[@]}"; do dpkg -s "$p" > /dev/null 2>&1 || missing+=("$p"); done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Copies files (sorted) into a page set until about 5 MB are in, which is more than a
# benchmark run reads from one set; a .gz file is unpacked.
copy_set() {
  local name="$1" suffix="$2"
  shift 2
  local dir="$OUT/pages/$name"
  rm -rf "$dir"
  mkdir -p "$dir/utf8" "$dir/gbk"
  local total=0 count=0 file base
  while IFS= read -r -d '' file; do
    base="$(printf '%04d' "$count")-$(basename "$file" .gz)$suffix"
    if [[ "$file" == *.gz ]]; then gzip -dc "$file" > "$dir/utf8/$base"; else cp "$file" "$dir/utf8/$base"; fi
    iconv -c -f UTF-8 -t GBK "$dir/utf8/$base" > "$dir/gbk/$base" || true
    total=$((total + $(stat -c %s "$dir/utf8/$base")))
    count=$((count + 1))
    [ "$total" -ge 5000000 ] && break
  done < <(find "$@" -print0 | sort -z)
  echo "pages $name: $count files, $total bytes"
}

copy_set gimp "" /usr/share/gimp/2.0/help/zh_CN -name '*.html'
copy_set debref "" /usr/share/debian-reference -name '*.zh-cn.html'
copy_set guides "" /usr/share/doc/debian/FAQ/zh-cn /usr/share/doc/maint-guide-zh-cn/html \
  -name '*.html'
copy_set man ".txt" /usr/share/man/zh_CN -type f -name '*.gz'

mkdir -p "$OUT/words"
python3 - "$DICT" "$OUT" <<'PY'
import collections
import os
import random
import re
import sys

dict_path, out = sys.argv[1], sys.argv[2]


def gbk_ok(word):
    try:
        word.encode("gbk")
        return True
    except UnicodeEncodeError:
        return False


# Entries are stored lower-cased and must survive GBK; the rule separators and the entry
# separator may not occur inside a word.
def usable(word):
    return word and not any(c in word for c in "+-=@ ") and gbk_ok(word)


def is_cjk(word):
    return all("\u4e00" <= c <= "\u9fff" for c in word)


dictionary = []
with open(dict_path, encoding="utf-8") as f:
    for line in f:
        word = line.split(" ", 1)[0].lower()
        if usable(word):
            dictionary.append(word)

# Every page of every set, as text, lower-cased as the screen sees it.
texts = []
pages_root = os.path.join(out, "pages")
for name in sorted(os.listdir(pages_root)):
    folder = os.path.join(pages_root, name, "utf8")
    for page in sorted(os.listdir(folder)):
        with open(os.path.join(folder, page), encoding="utf-8", errors="replace") as f:
            texts.append(f.read().lower())
corpus = "\n".join(texts)

# The Chinese n-grams of the pages, 1 to 5 characters, with their counts.
grams = collections.Counter()
for run in re.findall("[\u4e00-\u9fff]+", corpus):
    for n in range(1, 6):
        for i in range(len(run) - n + 1):
            grams[run[i:i + n]] += 1

cjk = [w for w in dictionary if is_cjk(w)]
rare = [w for w in cjk if 2 <= len(w) <= 5 and w not in grams]
frequent = [w for w in cjk if 2 <= len(w) <= 4 and grams[w] >= 10]
singles = sorted({c for w in cjk for c in w if gbk_ok(c)})
doubles = [w for w in cjk if len(w) == 2]
ascii_words = sorted({w for w in re.findall("[a-z][a-z0-9_.]{2,11}", corpus)})
mixed_dict = [w for w in dictionary if not is_cjk(w) and re.search("[\u4e00-\u9fff]", w)]


def write(shape, seed, pick, deny=10000, replace=2000, record=1000, free=200):
    rng = random.Random(seed)
    draw = lambda: pick(rng)
    denies = []
    for _ in range(deny):
        r = rng.random()
        if r < 0.10:
            denies.append("+".join(draw() for _ in range(rng.choice((2, 2, 3)))))
        elif r < 0.15:
            denies.append("-".join(draw() for _ in range(rng.choice((2, 3)))))
        else:
            denies.append(draw())
    replaces = [draw() + ("=" + draw() if i % 2 == 0 else "") for i in range(replace)]
    records = [draw() for _ in range(record)]
    frees = [draw() for _ in range(free)]

    def section(tag, entries):
        return "<%s>%s</%s>" % (tag, "@@".join(entries), tag)

    text = (section("OrvKeyDeny", denies) + section("OrvKeyRepl", replaces) +
            section("KeyWordsJilu", records) + section("OrvKeyFree", frees))
    path = os.path.join(out, "words", shape + ".db")
    with open(path, "wb") as f:
        f.write(text.encode("gbk"))
    print("words %s: %d deny, %d replace, %d record, %d free" %
          (shape, deny, replace, record, free))


def mixed_pick(rng):
    r = rng.random()
    if r < 0.4:
        return rng.choice(cjk)
    if r < 0.6:
        return rng.choice(ascii_words)
    if r < 0.8 and mixed_dict:
        return rng.choice(mixed_dict)
    return rng.choice(ascii_words) + rng.choice(cjk)


write("rare", 20261208, lambda rng: rng.choice(rare), 2500, 500, 250, 50)
write("rare13k", 20121101, lambda rng: rng.choice(rare))
write("frequent", 7, lambda rng: rng.choice(frequent))
write("mixed", 11, mixed_pick)
write("short", 13, lambda rng: rng.choice(singles) if rng.random() < 0.3 else rng.choice(doubles),
      2500, 500, 250, 50)
PY
