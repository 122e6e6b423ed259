#!/usr/bin/env bash
# viewprofile status --json over 100 views of one 1,000-profile tree, one
# view after another, next to GetConfigSpec on the same 100 views in the same
# run; each a whole viewprofile process. At most 2 times GetConfigSpec's time
# is wanted. Then the 100 views in one process (status --all --json), next to
# the 100 processes.
#   status_process_bench.sh BINDIR [ROUNDS]
set -euo pipefail
rounds=${2:-3}
. "$(dirname "$0")/process_site.sh" "${1:?usage: status_process_bench.sh BINDIR [ROUNDS]}"
top="$root/Stavemark View Profiles"
# 1,000 profiles in 20 groups of 50; the views follow the first 100.
for ((p = 0; p < 1000; p++)); do
  folder="$top/Group$((p / 50))/Proj$p"
  mkdir -p "$folder"
  printf '%s' '\src \doc' >"$folder/VOB List"
  printf '%08x-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7' "$p" >"$folder/GUID"
  profile_rules "element * REL_$p" 'element * \main\LATEST' >"$folder/Rules"
done
views=()
for ((v = 0; v < 100; v++)); do
  composed_config_spec "\\Stavemark View Profiles\\Group$((v / 50))\\Proj$v" \
    "$(printf '%08x' "$v")-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7" \
    "element * REL_$v" 'element * \main\LATEST' >"$KELMORA_HOME/view.cs"
  stavetool mkview "bench_$v" >/dev/null
  stavetool setcs "bench_$v" "$KELMORA_HOME/view.cs" >/dev/null
  views+=("bench_$v")
done

# Up to date and clean, or the comparison means nothing.
if ! check=$(viewprofile --view bench_7 status --json); then
  echo "status_process_bench: status answered:" >&2
  echo "$check" >&2
  exit 1
fi

now() { date +%s%N; }
status_ns=0 getcs_ns=0 all_ns=0
for ((r = 0; r < rounds; r++)); do
  t0=$(now)
  for view in "${views[@]}"; do viewprofile --view "$view" status --json >/dev/null; done
  t1=$(now)
  for view in "${views[@]}"; do viewprofile --view "$view" GetConfigSpec >/dev/null; done
  t2=$(now)
  viewprofile status --all --json >/dev/null
  t3=$(now)
  status_ns=$((status_ns + t1 - t0))
  getcs_ns=$((getcs_ns + t2 - t1))
  all_ns=$((all_ns + t3 - t2))
done
awk -v s="$status_ns" -v g="$getcs_ns" -v a="$all_ns" -v n="$((rounds * 100))" 'BEGIN {
  printf "status --json:  %8.2f ms per view\n", s / n / 1e6
  printf "GetConfigSpec:  %8.2f ms per view\n", g / n / 1e6
  printf "ratio status --json / GetConfigSpec: %.3f (at most 2 wanted)\n", s / g
  printf "status --all --json: %8.2f ms per view; ratio to one process per view %.3f\n", a / n / 1e6, a / s
}'
