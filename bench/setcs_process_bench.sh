#!/usr/bin/env bash
# stavetool setcs of a 1.6 MB config spec of every kind of rule, as a whole
# process, next to sed 's/#.*//' over the same file in the same run: CPU time
# (user and system) and elapsed time. Once with a text that changes the
# stored one (written to the log and synced, as every change is), once with
# the text already stored (checked and compared, nothing written). Wanted:
# no slower than sed.
#   setcs_process_bench.sh BINDIR [RUNS]
set -euo pipefail
runs=${2:-20}
. "$(dirname "$0")/process_site.sh" "${1:?usage: setcs_process_bench.sh BINDIR [RUNS]}"

spec="$KELMORA_HOME/large.cs" other="$KELMORA_HOME/large2.cs"
mixed_config_spec 1600000 >"$spec"
{ cat "$spec"; printf 'element * \\main\\LATEST\r\n'; } >"$other"
stavetool mkview bench_view >/dev/null
stavetool setcs bench_view "$spec"
if ! cmp -s <(stavetool catcs bench_view) "$spec"; then
  echo "setcs_process_bench: the stored config spec is not the file" >&2
  exit 1
fi

# CPU time of the children (user + system, in clock ticks) and elapsed time
# of running "$@" runs times, into ticks and ns.
ticks_now() { awk '{ print $16 + $17 }' "/proc/$$/stat"; }
measure() {
  local start_ticks start_ns i
  start_ticks=$(ticks_now)
  start_ns=$(date +%s%N)
  for ((i = 0; i < runs; i++)); do "$@"; done
  ns=$(($(date +%s%N) - start_ns))
  ticks=$(($(ticks_now) - start_ticks))
}
run_sed() { sed 's/#.*//' "$spec" >/dev/null; }
changed=0
run_changed() {
  # Each run stores the other text, so each one changes what is stored.
  if ((changed++ % 2)); then stavetool setcs bench_view "$spec"; else stavetool setcs bench_view "$other"; fi
}
run_same() { stavetool setcs bench_view "$spec"; }

measure run_sed
sed_ticks=$ticks sed_ns=$ns
measure run_changed
changed_ticks=$ticks changed_ns=$ns
stavetool setcs bench_view "$spec"
measure run_same
same_ticks=$ticks same_ns=$ns
measure run_sed
sed_ticks=$((sed_ticks + ticks)) sed_ns=$((sed_ns + ns))
awk -v hz="$(getconf CLK_TCK)" -v n="$runs" -v bytes="$(wc -c <"$spec")" \
  -v st="$sed_ticks" -v sn="$sed_ns" \
  -v ct="$changed_ticks" -v cn="$changed_ns" -v mt="$same_ticks" -v mn="$same_ns" 'BEGIN {
  ms = 1000 / hz
  printf "config spec: %d bytes\n", bytes
  printf "sed s/#.*//:          CPU %6.2f ms, elapsed %6.2f ms\n", st * ms / (2 * n), sn / (2 * n) / 1e6
  printf "setcs, changed text:  CPU %6.2f ms, elapsed %6.2f ms; ratio to sed: CPU %.3f, elapsed %.3f\n",
    ct * ms / n, cn / n / 1e6, (ct / n) / (st / (2 * n)), (cn / n) / (sn / (2 * n))
  printf "setcs, same text:     CPU %6.2f ms, elapsed %6.2f ms; ratio to sed: CPU %.3f, elapsed %.3f\n",
    mt * ms / n, mn / n / 1e6, (mt / n) / (st / (2 * n)), (mn / n) / (sn / (2 * n))
  print "(no slower than sed wanted)"
}'
