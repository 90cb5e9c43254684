#!/usr/bin/env bash
# The native file-level benchmark against cp + sync + mv + rm doing the same file work.
#
#   bench/file_level.sh [FILE] [RUNS]     (defaults: 512 MiB of random bytes, 5 runs)
#
# Each round: cp encrypts-and-decrypts by hand (cp doc tmp; sync tmp; mv tmp doclocked; rm doc,
# and back), then build/native/bench_file_cipher does it through the program's own cipher (a
# working file, flushed to disk, put in place, the original deleted). Prints every round, the
# medians of encrypt + decrypt and their ratio (bench_file_cipher / cp). FILE ends up as it was.
# Expects the native build: source scripts/lib.sh; kv_build_native
set -u
source "$(dirname "$0")/../scripts/lib.sh"
bench="$KV_BUILD/native/bench_file_cipher"
[ -x "$bench" ] || { echo "build the native benchmarks first (kv_build_native)"; exit 1; }
runs=${2:-5}
if [ -n "${1:-}" ]; then
  doc=$1
else
  doc="$KV_BUILD/bench-file-level.bin"
  head -c $((512 * 1024 * 1024)) /dev/urandom >"$doc"
  trap 'rm -f "$doc" "${doc}locked"' EXIT
fi
tmp="$(dirname "$doc")/.bench-file-level.tmp"
now() { date +%s.%N; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

echo "bench_file_cipher vs cp + sync + mv + rm on $doc ($(du -h "$doc" | cut -f1)), $runs runs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
cps=(); kvs=()
for r in $(seq "$runs"); do
  sync
  t0=$(now)
  cp "$doc" "$tmp" && sync "$tmp" && mv "$tmp" "${doc}locked" && rm "$doc"
  cp "${doc}locked" "$tmp" && sync "$tmp" && mv "$tmp" "$doc" && rm "${doc}locked"
  t1=$(now)
  c=$(echo "$t1 - $t0" | bc -l)
  sync
  k=$("$bench" "$doc" | awk '/^(en|de)cryption/ {s += $2} END {print s}')
  [ -n "$k" ] || { echo "bench_file_cipher failed"; exit 1; }
  printf '  round %d: cp %.3f s   bench_file_cipher %.3f s   (encrypt + decrypt)\n' "$r" "$c" "$k"
  cps+=("$c"); kvs+=("$k")
done
cm=$(printf '%s\n' "${cps[@]}" | median)
km=$(printf '%s\n' "${kvs[@]}" | median)
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'median: cp %.3f s, bench_file_cipher %.3f s\n' "$cm" "$km"
printf 'ratio %.2fx (bench_file_cipher / cp, median of %s)\n' "$(echo "$km / $cm" | bc -l)" "$runs"
