#!/usr/bin/env bash
# Runs a command and prints the CPU time (user + system) each of its threads used, busiest first,
# with the wall time and the process's total: where a conversion spends its cores and where they sit
# idle. Threads are sampled from /proc every 100 ms, so one that lives shorter than that is missed.
# Usage: thread_cpu.sh command [argument ...]
set -euo pipefail
samples=$(mktemp)
trap 'rm -f "$samples"' EXIT
ticks=$(getconf CLK_TCK)
start=$(date +%s.%N)
"$@" > /dev/null &
pid=$!
while kill -0 "$pid" 2> /dev/null; do
  for stat in /proc/"$pid"/task/*/stat; do
    # comm may hold spaces: the fields after its closing parenthesis are fixed.
    line=$(cat "$stat" 2> /dev/null) || continue
    tid=${stat#/proc/"$pid"/task/}; tid=${tid%/stat}
    name=${line#*(}; name=${name%)*}
    read -r -a rest <<< "${line##*) }"
    echo "$tid ${name// /_} $(( rest[11] + rest[12] ))" >> "$samples"
  done
  sleep 0.1
done
wait "$pid"
wall=$(echo "$(date +%s.%N) - $start" | bc)
# The last sample of each thread holds its total.
awk -v ticks="$ticks" -v wall="$wall" '
  { name[$1] = $2; cpu[$1] = $3 }
  END {
    for (t in cpu) { total += cpu[t]; printf "%8.2f s  %s (%s)\n", cpu[t] / ticks, name[t], t | "sort -rn" }
    close("sort -rn")
    printf "wall %.2f s, threads %.2f s of CPU (%.2f cores busy)\n", wall, total / ticks, total / ticks / wall
  }' "$samples"
