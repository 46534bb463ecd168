#!/usr/bin/env bash
# The English translation holds every text of the editor's sources, each one translated.
#   translations_up_to_date.sh LUPDATE TS_FILE LUPDATE_ARGS...
set -uo pipefail
lupdate=$1 ts=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/current.ts"
if ! "$lupdate" "$@" -ts "$work/current.ts" >"$work/lupdate.log" 2>&1; then
  cat "$work/lupdate.log"
  echo "0 passed, 1 failed"
  exit 1
fi
failed=0
if ! cmp -s "$ts" "$work/current.ts"; then
  echo "FAIL: $ts does not match the sources; run"
  echo "  cmake --build build --target update_translations"
  echo "and translate its unfinished entries. Texts new to it, or gone from the sources:"
  diff <(grep -o '<source>.*</source>' "$ts" | sort) \
    <(grep -o '<source>.*</source>' "$work/current.ts" | sort) | grep '^[<>]' |
    sed -e 's/^</  gone:/' -e 's/^>/  new: /'
  failed=$((failed + 1))
fi
if grep -q 'type="unfinished"' "$ts"; then
  echo "FAIL: untranslated entries in $ts:"
  grep -B1 'type="unfinished"' "$ts" | grep -o '<source>.*</source>' | sed 's/^/  /'
  failed=$((failed + 1))
fi
echo "$((2 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
