#!/usr/bin/env bash
# Synchronize in start-up mode on a view that is up to date with its profile,
# as a whole viewprofile process, next to GetConfigSpec on the same view in
# the same run. The two are run in turns so that both see the same machine;
# at most 3 times GetConfigSpec's time is wanted.
#   synchronize_process_bench.sh BINDIR [RUNS]
set -euo pipefail
runs=${2:-100}
. "$(dirname "$0")/process_site.sh" "${1:?usage: synchronize_process_bench.sh BINDIR [RUNS]}"

# A profile listing the two VOBs, and a view composed from its revision.
folder="$root/Stavemark View Profiles/Proj"
mkdir -p "$folder"
printf '%s' '\src \doc' >"$folder/VOB List"
printf '%s' "5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7" >"$folder/GUID"
composed_config_spec "\\Stavemark View Profiles\\Proj" "5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7" \
  "" 'element * \main\LATEST' >"$KELMORA_HOME/view.cs"
stavetool mkview bench_view >/dev/null
stavetool setcs bench_view "$KELMORA_HOME/view.cs" >/dev/null

# Up to date and silent at start-up, or the comparison means nothing.
check=$(viewprofile --view bench_view Synchronize TRUE </dev/null 2>&1)
if [ "$check" != TRUE ]; then
  echo "synchronize_process_bench: Synchronize TRUE answered: $check" >&2
  exit 1
fi

now() { date +%s%N; }
sync_ns=0 getcs_ns=0
for ((i = 0; i < runs; i++)); do
  t0=$(now)
  viewprofile --view bench_view Synchronize TRUE </dev/null >/dev/null
  t1=$(now)
  viewprofile --view bench_view GetConfigSpec </dev/null >/dev/null
  t2=$(now)
  sync_ns=$((sync_ns + t1 - t0))
  getcs_ns=$((getcs_ns + t2 - t1))
done
awk -v s="$sync_ns" -v g="$getcs_ns" -v n="$runs" 'BEGIN {
  printf "Synchronize TRUE: %8.2f ms per process\n", s / n / 1e6
  printf "GetConfigSpec:    %8.2f ms per process\n", g / n / 1e6
  printf "ratio Synchronize TRUE / GetConfigSpec: %.3f (at most 3 wanted)\n", s / g
}'
