#!/usr/bin/env bash
# viewprofile --view V GetConfigSpec, a pure read, as a whole process next to
# a bare sqlite3 query of the same row in the same run; and what the process
# asks of the system (strace -c -f): its system calls, its syncs and how
# often it opens the client database. Wanted: at most 1.5 times the query's
# time, no fsync or fdatasync, the database opened once.
#   getcs_process_bench.sh BINDIR [RUNS]
set -euo pipefail
runs=${2:-200}
. "$(dirname "$0")/process_site.sh" "${1:?usage: getcs_process_bench.sh BINDIR [RUNS]}"
if ! command -v sqlite3 >/dev/null; then
  echo "getcs_process_bench: skipped: no sqlite3 program to compare with (apt-get install sqlite3)"
  exit 0
fi

composed_config_spec "\\Stavemark View Profiles\\Proj" "5b0e7a52-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7" \
  "" 'element * \main\LATEST' >"$KELMORA_HOME/view.cs"
stavetool mkview bench_view >/dev/null
stavetool setcs bench_view "$KELMORA_HOME/view.cs" >/dev/null
db="$KELMORA_HOME/client.db"
query="SELECT config_spec FROM view WHERE tag = 'bench_view'"
# The same bytes (sqlite3 ends its row with a line end), or the comparison means nothing.
if ! cmp -s <(viewprofile --view bench_view GetConfigSpec; echo) <(sqlite3 "$db" "$query"); then
  echo "getcs_process_bench: GetConfigSpec and the query answer differently" >&2
  exit 1
fi

if command -v strace >/dev/null; then
  viewprofile --view bench_view GetConfigSpec >/dev/null  # the log files as a run leaves them
  counts=$(mktemp) trace=$(mktemp)
  strace -f -c -o "$counts" viewprofile --view bench_view GetConfigSpec >/dev/null
  strace -f -e trace=openat,open -o "$trace" viewprofile --view bench_view GetConfigSpec >/dev/null
  opens=$(grep -c '/client\.db"' "$trace" || true)
  awk -v opens="$opens" '
    $NF == "total" { total = $4 }
    $NF ~ /^(fsync|fdatasync|pwrite64|unlink|fchown)$/ { n[$NF] = $4 }
    END {
      printf "GetConfigSpec system calls: %d\n", total
      printf "  fsync %d, fdatasync %d (0 wanted)\n", n["fsync"], n["fdatasync"]
      printf "  opens of client.db: %d (1 wanted)\n", opens
      printf "  pwrite64 %d, unlink %d, fchown %d\n", n["pwrite64"], n["unlink"], n["fchown"]
    }' "$counts"
  rm -f "$counts" "$trace"
else
  echo "getcs_process_bench: no strace: the system call count is skipped (apt-get install strace)"
fi

# In blocks, so that each side finds the database as its own runs leave it
# (the query's last close removes the log files that viewprofile keeps).
now() { date +%s%N; }
getcs_ns=0 query_ns=0
for ((round = 0; round < 4; round++)); do
  t0=$(now)
  for ((i = 0; i < runs / 4; i++)); do sqlite3 "$db" "$query" >/dev/null; done
  t1=$(now)
  for ((i = 0; i < runs / 4; i++)); do viewprofile --view bench_view GetConfigSpec >/dev/null; done
  t2=$(now)
  query_ns=$((query_ns + t1 - t0))
  getcs_ns=$((getcs_ns + t2 - t1))
done
awk -v g="$getcs_ns" -v q="$query_ns" -v n="$((runs / 4 * 4))" 'BEGIN {
  printf "GetConfigSpec: %8.2f ms per process\n", g / n / 1e6
  printf "sqlite3 query: %8.2f ms per process\n", q / n / 1e6
  printf "ratio GetConfigSpec / sqlite3 query: %.3f (at most 1.5 wanted)\n", g / q
}'
