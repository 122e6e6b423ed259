#!/usr/bin/env bash
# vptree ls over trees of 10,000 and 50,000 profiles (groups of 100, each
# profile with its GUID, Rules, Description and VOB List) as a whole process,
# next to find over the same tree in the same run, with 16 requests in flight
# (the default) and with one at a time; and the system calls of the whole run
# per profile (strace -c -f). Wanted: at most 7 calls per profile, at most 1.1
# times find's time, 50,000 profiles in at most 5.5 times the time of 10,000,
# and 16 in flight no slower than one at a time.
#   tree_ls_process_bench.sh BINDIR [ROUNDS]
set -euo pipefail
rounds=${2:-5}
. "$(dirname "$0")/process_site.sh" "${1:?usage: tree_ls_process_bench.sh BINDIR [ROUNDS]}"

# A tree of $1 profiles below $2: one group of 100 made with the shell's own
# commands, copied for the others (their GUIDs repeat, which ls does not mind).
make_tree() {
  local profiles=$1 top="$2/Stavemark View Profiles" p g folder
  mkdir -p "$top/Group0"
  for ((p = 0; p < 100; p++)); do
    folder="$top/Group0/Proj$p"
    mkdir "$folder"
    printf '%08x-3c1d-4e8f-9a26-7d4c1b9e0f13 1.7' "$p" >"$folder/GUID"
    printf 'element * \\main\\LATEST\r\n' >"$folder/Rules"
    printf 'Project %d' "$p" >"$folder/Description"
    printf '%s' '\src \doc' >"$folder/VOB List"
  done
  for ((g = 1; g < profiles / 100; g++)); do cp -r "$top/Group0" "$top/Group$g"; done
}

now() { date +%s%N; }
declare -A ls_ns
for profiles in 10000 50000; do
  tree="$KELMORA_HOME/tree$profiles"
  mkdir -p "$tree"
  make_tree "$profiles" "$tree"
  listed=$(vptree --root "$tree" ls | grep -c '^profile' || true)
  if [ "$listed" != "$profiles" ]; then
    echo "tree_ls_process_bench: vptree ls listed $listed of $profiles profiles" >&2
    exit 1
  fi
  find "$tree" >/dev/null  # both find the tree in the page cache
  vptree_ns=0 find_ns=0 serial_ns=0
  for ((r = 0; r < rounds; r++)); do
    t0=$(now)
    vptree --root "$tree" ls >/dev/null
    t1=$(now)
    find "$tree" >/dev/null
    t2=$(now)
    KELMORA_REQUESTS_IN_FLIGHT=1 vptree --root "$tree" ls >/dev/null
    t3=$(now)
    vptree_ns=$((vptree_ns + t1 - t0))
    find_ns=$((find_ns + t2 - t1))
    serial_ns=$((serial_ns + t3 - t2))
  done
  ls_ns[$profiles]=$vptree_ns
  awk -v v="$vptree_ns" -v f="$find_ns" -v n="$rounds" -v p="$profiles" 'BEGIN {
    printf "%d profiles: vptree ls %8.1f ms, find %8.1f ms, ratio %.3f (at most 1.1 wanted)\n",
      p, v / n / 1e6, f / n / 1e6, v / f
  }'
  awk -v v="$vptree_ns" -v s="$serial_ns" -v f="$find_ns" -v n="$rounds" -v p="$profiles" 'BEGIN {
    printf "%d profiles: one request at a time %8.1f ms, ratio to find %.3f; 16 in flight / one at a time %.3f (at most 1 wanted)\n",
      p, s / n / 1e6, s / f, v / s
  }'
  if command -v strace >/dev/null; then
    counts=$(mktemp)
    strace -f -c -o "$counts" vptree --root "$tree" ls >/dev/null
    awk -v p="$profiles" '$NF == "total" {
      printf "%d profiles: %d system calls, %.2f per profile (at most 7 wanted)\n", p, $4, $4 / p
    }' "$counts"
    rm -f "$counts"
  else
    echo "tree_ls_process_bench: no strace: the system call count is skipped (apt-get install strace)"
  fi
done
awk -v a="${ls_ns[10000]}" -v b="${ls_ns[50000]}" 'BEGIN {
  printf "vptree ls, 50,000 / 10,000 profiles: %.3f (at most 5.5 wanted)\n", b / a
}'
