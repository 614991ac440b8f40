#!/usr/bin/env bash
# The benchmark table's judgement: every goal of scripts/bench-goals is met at the goal and
# inside it and missed just outside it, and a table of edge cases (a goal of 0, a figure
# of 0, fractions) is judged as written.
set -euo pipefail
table="$(dirname "$0")/../scripts/bench-table"
goals="$(dirname "$0")/../scripts/bench-goals"
fail=0
# judge GOALS_FILE NAME VALUE → the "met" column of that row
judge() {
  printf 'BENCH %s %s u\n' "$2" "$3" | NUVTOLVEK_BENCH_GOALS="$1" "$table" |
    awk -v k="$2" '$1 == k { print $NF }'
}
expect() {  # expect GOALS_FILE NAME VALUE yes|NO
  local got
  got=$(judge "$1" "$2" "$3")
  if [ "$got" != "$4" ]; then
    echo "FAIL: $2 = $3 judged '$got', expected '$4'" >&2
    fail=1
  fi
}

# Every real goal, judged at, inside and just outside its bound.
rows=0
while read -r name goal dir _; do
  case "$name" in ''|'#'*) continue ;; esac
  rows=$((rows + 1))
  inside=$(awk -v g="$goal" -v d="$dir" 'BEGIN { print (d == "min") ? g * 2 + 1 : g / 2 }')
  outside=$(awk -v g="$goal" -v d="$dir" 'BEGIN { print (d == "min") ? g * 0.99 - 0.001 : g * 1.01 + 0.001 }')
  expect "$goals" "$name" "$goal" yes
  expect "$goals" "$name" "$inside" yes
  expect "$goals" "$name" "$outside" NO
done < "$goals"
[ "$rows" -gt 10 ] || { echo "FAIL: only $rows goals read" >&2; fail=1; }

# Edge cases: name goal direction value expected.
edge=$(mktemp)
trap 'rm -f "$edge"' EXIT
while read -r name goal dir value want; do
  printf '%s %s %s\n' "$name" "$goal" "$dir" > "$edge"
  expect "$edge" "$name" "$value" "$want"
done <<'CASES'
zero_max 0 max 0 yes
zero_max 0 max 2 NO
zero_max 0 max 0.001 NO
zero_max 0 max -1 yes
zero_min 0 min 0 yes
zero_min 0 min 5 yes
ten_min 10 min 0 NO
ten_min 10 min 10 yes
ten_min 10 min 9.99 NO
frac_max 0.5 max 0.5 yes
frac_max 0.5 max 0.51 NO
big_max 1000 max 999 yes
big_max 1000 max 1001 NO
CASES

# A figure with no goal is listed without a judgement; a goal with no figure says so.
out=$(printf 'BENCH unknown_figure 3 ms\n' | "$table")
grep -qE '^unknown_figure +- +3 ms +- *$' <<<"$out" || { echo "FAIL: unknown figure row" >&2; fail=1; }
grep -qE '^gaps_under_load .*not measured$' <<<"$out" || { echo "FAIL: missing figure row" >&2; fail=1; }
exit $fail
