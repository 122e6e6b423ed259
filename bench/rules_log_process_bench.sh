#!/usr/bin/env bash
# vptree log of a profile whose Rules history holds 1,000 revisions, as a
# whole process, next to cat of the history's index in the same run (the
# least any log must read). Wanted: under 0.1 s. The first 999 revisions are
# written in the history's documented format (docs/profile-tree.md), the
# last one by a real save, so that the log reads what a save leaves.
#   rules_log_process_bench.sh BINDIR [ROUNDS]
set -euo pipefail
rounds=${2:-10}
. "$(dirname "$0")/process_site.sh" "${1:?usage: rules_log_process_bench.sh BINDIR [ROUNDS]}"

profile="$root/Stavemark View Profiles/Proj"
history="$profile/.history"
mkdir -p "$history"
printf '5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13 1.999' >"$profile/GUID"
for ((r = 1; r < 1000; r++)); do
  for ((l = 0; l < 20; l++)); do printf 'element \\src\\file%d.c REL_%d\r\n' "$l" "$r"; done \
    >"$history/rules.$r"
  printf '%d\t2026-12-07T09:%02d:%02dZ\tjdoe@build%d\t%d\t%d\n' \
    "$r" $((r / 60 % 60)) $((r % 60)) $((r % 7)) 20 20
done >"$history/index"
cp "$history/rules.999" "$profile/Rules"
work=$(mktemp -d "$KELMORA_HOME/work-XXXXXX")
printf 'element * CHECKEDOUT\n' >"$work/private"
printf 'element \\src\\file%d.c REL_1000\n' 0 1 2 >"$work/profile"
vptree rules Proj --private "$work/private" --profile "$work/profile"
vptree save Proj >/dev/null
listed=$(vptree log Proj | wc -l)
if [ "$listed" != 1000 ]; then
  echo "rules_log_process_bench: vptree log listed $listed of 1000 revisions" >&2
  exit 1
fi

now() { date +%s%N; }
log_ns=0 cat_ns=0
for ((r = 0; r < rounds; r++)); do
  t0=$(now)
  vptree log Proj >/dev/null
  t1=$(now)
  cat "$history/index" >/dev/null
  t2=$(now)
  log_ns=$((log_ns + t1 - t0))
  cat_ns=$((cat_ns + t2 - t1))
done
awk -v l="$log_ns" -v c="$cat_ns" -v n="$rounds" 'BEGIN {
  printf "vptree log of 1,000 revisions: %.1f ms (under 100 ms wanted), cat of the index %.1f ms, ratio %.2f\n",
    l / n / 1e6, c / n / 1e6, l / c
}'
