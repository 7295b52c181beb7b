#!/bin/sh
# Checks the manual pages: every program has one, it renders without a single groff warning,
# it has the sections an administrator looks for, and every long option a program prints
# with --help is described in its page (an option added to a program without its page fails
# here).
#
#   [ORV_VERSION=x.y] man_pages_test.sh MANDIR [PROGRAM...]
#
# PROGRAM are built binaries; their --help output is compared with their pages.
set -u

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 MANDIR [PROGRAM...]" >&2
  exit 2
fi
mandir=$1
shift
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The page text with roff's escaped hyphens and font changes taken out, as a reader sees it.
plain_page() {
  sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g' "$1"
}

page_of() {
  for section in 1 8; do
    if [ -f "$mandir/$1.$section" ]; then
      echo "$mandir/$1.$section"
      return 0
    fi
  done
  return 1
}

# Tools in section 1, daemons in section 8.
for entry in orvctl.1 orvscan.1 OrvConsole.1 orvproxy.8 orvkeyd.8; do
  page=$mandir/$entry
  name=${entry%.*}
  section=${entry##*.}
  if [ ! -f "$page" ]; then
    fail "$entry: no such page"
    continue
  fi
  title=$(echo "$name" | tr '[:lower:]' '[:upper:]')
  grep -q "^\.TH $title $section " "$page" || fail "$entry: .TH does not name $title $section"
  # The page footer states the version the programs are built as (ORV_VERSION, set by CMake).
  if [ -n "${ORV_VERSION:-}" ]; then
    grep -q "^\.TH $title $section [0-9]* \"Orvane $ORV_VERSION\" " "$page" ||
      fail "$entry: .TH does not give the version as \"Orvane $ORV_VERSION\""
  fi
  required="NAME|SYNOPSIS|DESCRIPTION|OPTIONS|FILES|EXIT STATUS|EXAMPLES|SEE ALSO"
  [ "$section" = 8 ] && required="$required|SIGNALS"
  old_ifs=$IFS
  IFS='|'
  for heading in $required; do
    grep -q "^\.SH \"\{0,1\}$heading\"\{0,1\}\$" "$page" || fail "$entry: no $heading section"
  done
  IFS=$old_ifs
  sed -n '/^\.SH EXAMPLES/,/^\.SH /p' "$page" | grep -q '^\.EX' ||
    fail "$entry: EXAMPLES holds no example"
  warnings=$(LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$entry: groff warns: $warnings"
  if command -v mandoc >/dev/null 2>&1; then
    lint=$(mandoc -Tlint -Wwarning "$page" 2>&1)
    [ -z "$lint" ] || fail "$entry: mandoc warns: $lint"
  fi
done

for program in "$@"; do
  name=$(basename "$program")
  if ! page=$(page_of "$name"); then
    fail "$name: no page in $mandir"
    continue
  fi
  case $name in
    # Has no --help: it would open its window.
    OrvConsole) continue ;;
  esac
  # A program that does not know --help prints its usage on stderr after the complaint; the
  # usage counts, the complaint does not.
  help=$(timeout 10 "$program" --help 2>&1 </dev/null)
  options=$(printf '%s\n' "$help" | grep -v 'unknown option' |
    grep -o -- '--[a-z][a-z0-9-]*' | sort -u)
  if [ -z "$options" ]; then
    fail "$name: --help printed no long option"
    continue
  fi
  text=$(plain_page "$page")
  for option in $options; do
    printf '%s\n' "$text" | grep -q -e "\(^\|[^a-z0-9-]\)$option\([^a-z0-9-]\|\$\)" ||
      fail "$name: $option is in --help but not in $(basename "$page")"
  done
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "man pages: all checks passed"
