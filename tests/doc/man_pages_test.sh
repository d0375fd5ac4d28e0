#!/usr/bin/env bash
# The manual pages as man shows them: no warning from the formatter at 80 columns, a name line
# that whatis reads, and every option vesk-library's help names described in its page.
#   man_pages_test.sh PAGES_DIR VESK_LIBRARY
set -uo pipefail
pages=$1 library=$2
status=0
for page in "$pages"/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: the formatter warns:"; echo "$warnings"; status=1
  fi
  if ! lexgrog "$page" >/dev/null 2>&1; then
    echo "$page: no name line whatis can read"; status=1
  fi
  if grep -q '@VERSION@' "$page"; then
    echo "$page: the version was not filled in"; status=1
  fi
done
for option in $("$library" --help 2>&1 | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  if ! grep -q -- "${option//-/\\\\-}" "$pages/vesk-library.1"; then
    echo "vesk-library.1 does not describe $option"; status=1
  fi
done
for command in $("$library" --help 2>&1 | sed -n 's/^  \([a-z][a-z]*\)[ ,].*/\1/p' | sort -u); do
  if ! grep -q -- "^\.B.* $command\b\|^\.BR* $command\b" "$pages/vesk-library.1"; then
    echo "vesk-library.1 does not describe the command $command"; status=1
  fi
done
exit $status
