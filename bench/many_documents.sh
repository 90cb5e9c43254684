#!/usr/bin/env bash
# Many small documents through the real Korvane.exe under Wine, against a plain Win32 loop doing
# the same file work in the same Wine, in one run on the same disk.
#
#   bench/many_documents.sh [N] [RUNS] [SIZE] [MODES]   (defaults: 400, 3, 4096, "cmdline drop")
#
# Each run makes N documents of SIZE bytes and times, per mode, their encryption and their
# decryption (see bench/windows/many_documents.cpp): "plain" (per document: read, write a working
# file, flush, move onto the new name, delete the old), "cmdline" (Korvane.exe started with the
# names, from the Log-In press to the summary box) and "drop" (dragged onto the green area of a
# running Korvane.exe, from the drop to the summary). Prints every run, then per mode the medians
# in milliseconds per document and the ratio to the plain loop; for the decryption also the time
# the decrypted-files chooser took to come up. Expects built programs:
#   source scripts/lib.sh; kv_build_windows --target Korvane bench_many_documents
# KORVANE_EXE=path compares another build of the program.
set -u
source "$(dirname "$0")/../scripts/lib.sh"
n=${1:-400}
runs=${2:-3}
size=${3:-4096}
modes=${4:-cmdline drop}
exe=${KORVANE_EXE:-$KV_BUILD/windows/Korvane.exe}
driver="$KV_BUILD/windows/bench_many_documents.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build Korvane.exe and bench_many_documents.exe first"; exit 1; }

work="$KV_BUILD/bench-many"
rm -rf "$work"; mkdir -p "$work"
kv_start_display || exit 1
kv_wine_env
cleanup() { rm -rf "$work"; kv_stop_display; }
trap cleanup EXIT
winpath() { echo "Z:$(sed 's#/#\\#g' <<<"$1")"; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

echo "Korvane with $n documents of $size bytes vs a plain Win32 loop, $runs runs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)   folder: $work"
results="$work/results"
: >"$results"
for r in $(seq "$runs"); do
  sync
  # Wine's standard output may stay open in the wine server: read it from a file.
  (cd "$KV_BUILD/windows" && timeout 7200 wine "$driver" "$(winpath "$exe")" "$(winpath "$work/docs")" \
      "$n" "$size" plain $modes >"$work/out" 2>&1 </dev/null)
  tr -d '\r' <"$work/out" | grep -v '^done$' | sed "s/^/  run $r: /"
  grep -q FAIL "$work/out" && exit 1
  tr -d '\r' <"$work/out" | grep -v '^done$' >>"$results"
  rm -rf "$work/docs"
done

per_doc() { awk -v m="$1" -v f="$2" '$1 == m {print 1000 * $f / $2}' "$results" | median; }
plain_e=$(per_doc plain 3); plain_d=$(per_doc plain 4)
printf 'plain loop: encrypt %.2f ms, decrypt %.2f ms per document\n' "$plain_e" "$plain_d"
for m in $modes; do
  e=$(per_doc "$m" 3); d=$(per_doc "$m" 4)
  docs=$(awk -v m="$m" '$1 == m {print $2; exit}' "$results")
  chooser=$(awk -v m="$m" '$1 == m {print $5}' "$results" | median)
  printf '%s (%s documents): encrypt %.2f ms, decrypt %.2f ms per document; ratio %.2fx encrypt, %.2fx decrypt; chooser %.3f s\n' \
    "$m" "$docs" "$e" "$d" "$(echo "$e / $plain_e" | bc -l)" "$(echo "$d / $plain_d" | bc -l)" "$chooser"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
