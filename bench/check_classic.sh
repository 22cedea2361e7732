#!/usr/bin/env bash
# The classic recogniser's text of every bench page must stay byte for byte what it was:
# runs PROGRAM (default build/gui/quillon) on every picture of CASES (default
# ../shared/bench/cases) and compares its text with bench/classic/NAME.txt.
# Exits 1 on any difference or missing reference, 2 when nothing could be checked.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
program="${1:-build/gui/quillon}"
cases="${2:-${BENCH_CASES:-$here/../../shared/bench/cases}}"
expected="$here/classic"
if [[ ! -x "$program" || ! -d "$cases" ]]; then
  echo "usage: $0 [PROGRAM [CASES]] (no program at $program or no cases at $cases)" >&2
  exit 2
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
checked=0 failed=0
for picture in "$cases"/*; do
  name="$(basename "$picture")"
  case "$name" in *.txt | *.sha256) continue ;; esac
  name="${name%.*}"
  if [[ ! -f "$expected/$name.txt" ]]; then
    echo "NEW     $name (no bench/classic/$name.txt)"
    failed=$((failed + 1))
    continue
  fi
  if ! "$program" "$picture" "$work/$name.txt" 2>"$work/$name.err"; then
    echo "FAILED  $name: $(tail -1 "$work/$name.err")"
    failed=$((failed + 1))
  elif cmp -s "$work/$name.txt" "$expected/$name.txt"; then
    echo "same    $name"
  else
    echo "CHANGED $name"
    diff "$expected/$name.txt" "$work/$name.txt" | head -5
    failed=$((failed + 1))
  fi
  checked=$((checked + 1))
done
echo "$checked pages, $failed differ"
[[ $checked -gt 0 ]] || exit 2
[[ $failed -eq 0 ]]
