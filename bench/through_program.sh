#!/usr/bin/env bash
# Copy speed through the real Korvane.exe under Wine, against the same file work done with
# cp + sync + mv + rm, in one run on the same disk.
#
#   bench/through_program.sh [MIB] [RUNS]        (defaults: 512 MiB, 3 runs)
#
# Korvane's round: the document's path typed into the main window, Process, until the summary
# box ("1 file encrypted."), then the locked path, Process, until the summary box again (see
# bench/windows/through_program.cpp). The cp round does what the program does to the disk:
#   encrypt: cp doc tmp; sync tmp; mv tmp doclocked; rm doc
#   decrypt: cp doclocked tmp; sync tmp; mv tmp doc; rm doclocked
# One warm-up round of each, then RUNS rounds alternating cp and Korvane; prints every round,
# the medians and their ratio (Korvane / cp). A 1 MiB document is then processed the same way
# for the fixed cost of one Process. Expects built programs:
#   source scripts/lib.sh; kv_build_windows --target Korvane bench_through_program
# Uses the display and Wine prefix of scripts/lib.sh (Xvfb when there is no display).
set -u
source "$(dirname "$0")/../scripts/lib.sh"
mib=${1:-512}
runs=${2:-3}
# Seconds cp waits between its two halves (not timed), as a person waits between the summary
# of the encryption and pressing Process again; 0 (the default) runs them back to back.
cp_pause=${KV_BENCH_CP_PAUSE:-0}
exe=${KORVANE_EXE:-$KV_BUILD/windows/Korvane.exe}  # another build of the program may be compared
driver="$KV_BUILD/windows/bench_through_program.exe"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build Korvane.exe and bench_through_program.exe first"; exit 1; }

work="$KV_BUILD/bench-through"
rm -rf "$work"; mkdir -p "$work"
kv_start_display || exit 1
kv_wine_env
cleanup() { [ -n "${DRV_PID:-}" ] && kill "$DRV_PID" 2>/dev/null; rm -rf "$work"; kv_stop_display; }
trap cleanup EXIT

winpath() { echo "Z:$(sed 's#/#\\#g' <<<"$1")"; }
now() { date +%s.%N; }

# One cp round on $1 (a document without "locked"): prints "<encrypt s> <decrypt s>".
cp_round() {
  local doc=$1 tmp="$work/cp.tmp" t0 t1 t2 t3
  t0=$(now)
  cp "$doc" "$tmp" && sync "$tmp" && mv "$tmp" "${doc}locked" && rm "$doc"
  t1=$(now)
  [ "$cp_pause" != 0 ] && sleep "$cp_pause"
  t2=$(now)
  cp "${doc}locked" "$tmp" && sync "$tmp" && mv "$tmp" "$doc" && rm "${doc}locked"
  t3=$(now)
  echo "$(echo "$t1 - $t0" | bc -l) $(echo "$t3 - $t2" | bc -l)"
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# Starts the driver on a document and talks to it through a pipe pair.
start_driver() {
  coproc DRV { cd "$KV_BUILD/windows" && exec timeout 3600 wine "$driver" "$(winpath "$exe")" "$(winpath "$1")" 2>&1; }
  local line
  while read -r line <&"${DRV[0]}"; do
    line=${line%$'\r'}
    [ "$line" = ready ] && return 0
    echo "driver: $line"
    [[ $line == FAIL* ]] && return 1
  done
  return 1
}
korvane_round() {
  local line
  echo round >&"${DRV[1]}"
  while read -r line <&"${DRV[0]}"; do
    line=${line%$'\r'}
    case $line in
      round*) echo "${line#round }"; return 0 ;;
      FAIL*) echo "driver: $line" >&2; return 1 ;;
    esac
  done
  return 1
}
stop_driver() {
  echo quit >&"${DRV[1]}"
  wait "$DRV_PID" 2>/dev/null
}

# Runs `rounds` alternating rounds on a document of `size` MiB; prints one line per round and
# sets CP_MEDIAN, KV_MEDIAN and RATIO (totals of both directions).
measure() {
  local size=$1 rounds=$2 label=$3 doc="$work/doc-$1.bin"
  head -c "$((size * 1024 * 1024))" /dev/urandom >"$doc"
  sync
  start_driver "$doc" || exit 1
  cp_round "$doc" >/dev/null
  korvane_round >/dev/null || exit 1
  local cps=() kvs=() r c k
  for r in $(seq "$rounds"); do
    sync; c=$(cp_round "$doc")
    sync; k=$(korvane_round) || exit 1
    printf '  %s round %d: cp %s s   Korvane %s s   (encrypt decrypt)\n' "$label" "$r" "$c" "$k"
    cps+=("$(awk '{print $1 + $2}' <<<"$c")"); kvs+=("$(awk '{print $1 + $2}' <<<"$k")")
  done
  stop_driver
  rm -f "$doc" "${doc}locked"
  CP_MEDIAN=$(printf '%s\n' "${cps[@]}" | median)
  KV_MEDIAN=$(printf '%s\n' "${kvs[@]}" | median)
  RATIO=$(echo "$KV_MEDIAN / $CP_MEDIAN" | bc -l)
}

echo "Korvane through the program vs cp + sync + mv + rm, $mib MiB, $runs runs after a warm-up"
[ "$cp_pause" != 0 ] && echo "cp pauses $cp_pause s between its encrypt and decrypt halves (not timed)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)   folder: $work"
measure "$mib" "$runs" "${mib} MiB"
big_ratio=$RATIO
printf 'median of encrypt + decrypt: cp %.3f s, Korvane %.3f s\n' "$CP_MEDIAN" "$KV_MEDIAN"
measure 1 5 "1 MiB"
printf '1 MiB document, median per Process: cp %.3f s, Korvane %.3f s\n' \
  "$(echo "$CP_MEDIAN / 2" | bc -l)" "$(echo "$KV_MEDIAN / 2" | bc -l)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'ratio %.2fx (Korvane / cp, %s MiB, median of %s)\n' "$big_ratio" "$mib" "$runs"
