#!/usr/bin/env bash
# viewprofile sync --all over 50 views that are up to date (one process)
# next to viewprofile status --json of the same 50 views (a process each) and
# to status --all --json (one process), in the same run. At most 2 times
# status's time is wanted.
#   sync_all_process_bench.sh BINDIR [ROUNDS]
set -euo pipefail
rounds=${2:-3}
. "$(dirname "$0")/process_site.sh" "${1:?usage: sync_all_process_bench.sh BINDIR [ROUNDS]}"
top="$root/Stavemark View Profiles"
# 10 profiles with 5 views each.
views=()
for ((v = 0; v < 50; v++)); do
  p=$((v / 5))
  folder="$top/Proj$p"
  if [[ ! -d $folder ]]; then
    mkdir -p "$folder"
    printf '%s' '\src \doc' >"$folder/VOB List"
    printf '%08x-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7' "$p" >"$folder/GUID"
    profile_rules "element * REL_$p" 'element * \main\LATEST' >"$folder/Rules"
  fi
  composed_config_spec "\\Stavemark View Profiles\\Proj$p" \
    "$(printf '%08x' "$p")-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7" \
    "element * REL_$p" 'element * \main\LATEST' >"$KELMORA_HOME/view.cs"
  stavetool mkview "bench_$v" >/dev/null
  stavetool setcs "bench_$v" "$KELMORA_HOME/view.cs" >/dev/null
  views+=("bench_$v")
done

# Every view up to date, or the comparison means nothing.
if ! check=$(viewprofile sync --all --no-input --json) ||
  ! grep -q '"up_to_date": 50' <<<"$check"; then
  echo "sync_all_process_bench: sync --all answered:" >&2
  echo "$check" >&2
  exit 1
fi

now() { date +%s%N; }
sync_ns=0 status_ns=0 all_ns=0
for ((r = 0; r < rounds; r++)); do
  t0=$(now)
  viewprofile sync --all --no-input --json >/dev/null
  t1=$(now)
  for view in "${views[@]}"; do viewprofile --view "$view" status --json >/dev/null; done
  t2=$(now)
  viewprofile status --all --json >/dev/null || true
  t3=$(now)
  sync_ns=$((sync_ns + t1 - t0))
  status_ns=$((status_ns + t2 - t1))
  all_ns=$((all_ns + t3 - t2))
done
awk -v s="$sync_ns" -v t="$status_ns" -v a="$all_ns" -v n="$rounds" 'BEGIN {
  printf "sync --all, 50 views:          %8.2f ms\n", s / n / 1e6
  printf "status --json, 50 views:       %8.2f ms\n", t / n / 1e6
  printf "status --all --json, 50 views: %8.2f ms\n", a / n / 1e6
  printf "ratio sync --all / status --json: %.3f (under 2 wanted)\n", s / t
  printf "ratio sync --all / status --all --json: %.3f\n", s / a
}'
