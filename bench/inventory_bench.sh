#!/usr/bin/env bash
# Inventory benchmark: cvsysinfo on simulated hosts of many running
# containers, one after another (-j 1) and several at once (-j 4, the
# default, and -j 16), in one run:
#
#   - -j 1 against the floor its own command lines set when each is run with
#     sh -c one after another: at most 1.10 with every command started
#     through the shell, at most 0.85 as it runs (plain commands started
#     without the shell);
#   - tools that answer at once: -j 4 at most 0.60 times the -j 1 time;
#   - tools that take LATENCY ms to enter a container (latency-ms of the
#     simulated host): -j 4 at most 0.35 and -j 16 at most 0.20 times -j 1;
#     on a host of MID containers, since -j 1 there takes minutes at 1000;
#   - the documents of -j 1, 4 and 16 identical (the node's element, which
#     reads the live machine, left out);
#   - cvsysinfo's own peak resident memory at most 24 MB at -j 16, and flat
#     (within 1 MB) from SMALL to LARGE containers for every N;
#   - on a host of 16 running containers whose netstat prints FLOOD MiB of
#     "&" (five times as much escaped), the peak at most 256 MB at -j 16 and
#     the documents of -j 1 and -j 16 identical.
#
#   bench/inventory_bench.sh [SMALL] [LARGE] [MID] [LATENCY] [FLOOD]
#                                (defaults 100, 1000, 200, 20 ms and 6 MiB)
source "$(dirname "$0")/../tests/common.sh"
source "$SRC/tests/sim_host.sh"

small=${1:-100}
large=${2:-1000}
mid=${3:-200}
latency=${4:-20}
flood=${5:-6}
fault_lib=$CV_SANDBOX/build/lib/libcvfault.so
[ -f "$fault_lib" ] || cv_fail "$fault_lib is not built"
# cvsysinfo's own peak memory is traced by the preloaded library, which the
# tools it starts do not load.
preload=LD_PRELOAD=$fault_lib

# Prints "SECONDS PEAK_KIB STATUS" for one command.
measure() { python3 "$SRC/bench/measure.py" "$@"; }

make_host() { # N DIR [LATENCY_MS]
  bash "$SRC/bench/make_sim_host.sh" "$1" "$2" >/dev/null
  [ -z "${3:-}" ] || echo "$3" >"$2/latency-ms"
  cv_sim_host "$2"
}

rows=()
failed=()
# run_inventory NAME JOBS [NAME=VALUE...] -> seconds in $secs, peak KiB in
# $peak; the document at $WORK/NAME.xml. The settings are cvsysinfo's.
run_inventory() {
  local name=$1 jobs=$2 status
  shift 2
  rm -f "$WORK/hwm"
  read -r secs _ status < <(measure "$preload" CV_TRACE_HWM="$WORK/hwm" "$@" \
    "$BIN/cvsysinfo" -j "$jobs" "$WORK/$name.xml" 2>"$WORK/$name.err")
  [ "$status" = 0 ] || cv_fail "cvsysinfo -j $jobs ($name) failed with status $status"
  xmllint --noout --huge "$WORK/$name.xml" || cv_fail "$name: the document is not well-formed"
  peak=$(awk '{ print $2 }' "$WORK/hwm")
  cv_containers_part "$WORK/$name.xml"
}

ratio() { python3 -c "print(f'{$1 / $2:.3f}')"; }
mb() { python3 -c "print(f'{$1 / 1024:.1f}')"; }
check() { # NAME VALUE OP LIMIT
  python3 -c "import sys; sys.exit(0 if $2 $3 $4 else 1)" || failed+=("$1: $2 (target $3 $4)")
}
same_documents() { # NAME...: "yes" when all match the first
  local first=$1 name
  for name in "$@"; do
    cmp -s "$WORK/$first.xml.containers" "$WORK/$name.xml.containers" || { echo no; return; }
  done
  echo yes
}
row() { rows+=("$(printf '%-26s %3s %6s %10s %8s %12s %8s %9s' "$@")"); }

# --- no latency: the large host -----------------------------------------
make_host "$large" "$WORK/host-$large"
# Every command through the shell, as before plain commands were started
# without it; this run also records the command lines.
run_inventory shell-$large 1 CV_FAULT_SPAWNP=1 CV_TRACE_SPAWN="$WORK/trace"
t_shell=$secs p_shell=$peak
commands=$(tr -cd '\0' <"$WORK/trace" | wc -c)
read -r t_floor _ status < <(measure bash -c \
  'while IFS= read -r -d "" c; do sh -c "$c" >/dev/null 2>&1 </dev/null; done <"$1"; exit 0' replay "$WORK/trace")
[ "$status" = 0 ] || cv_fail "the sh -c replay failed"
row "sh -c floor ($commands cmds)" - 0 "$large" "$t_floor" 1.000 - -
row "-j 1, all through sh" 1 0 "$large" "$t_shell" "$(ratio "$t_shell" "$t_floor")" "$(mb "$p_shell")" -
check "-j 1 through sh / floor" "$(ratio "$t_shell" "$t_floor")" "<=" 1.10

declare -A peak_large peak_small
for jobs in 1 4 16; do
  run_inventory "j$jobs-$large" "$jobs"
  eval "t_j$jobs=$secs"
  peak_large[$jobs]=$peak
done
same=$(same_documents "j1-$large" "j4-$large" "j16-$large" "shell-$large")
row "-j 1" 1 0 "$large" "$t_j1" "$(ratio "$t_j1" "$t_floor") floor" "$(mb "${peak_large[1]}")" "$same"
row "-j 4 (default)" 4 0 "$large" "$t_j4" "$(ratio "$t_j4" "$t_j1")" "$(mb "${peak_large[4]}")" "$same"
row "-j 16" 16 0 "$large" "$t_j16" "$(ratio "$t_j16" "$t_j1")" "$(mb "${peak_large[16]}")" "$same"
check "-j 1 / floor" "$(ratio "$t_j1" "$t_floor")" "<=" 0.85
check "-j 4 / -j 1, no latency" "$(ratio "$t_j4" "$t_j1")" "<=" 0.60
check "peak at -j 16, $large containers (KiB)" "${peak_large[16]}" "<=" $((24 * 1024))
[ "$same" = yes ] || failed+=("documents differ across -j at $large containers")

# --- no latency: the small host, for memory -----------------------------
make_host "$small" "$WORK/host-$small"
for jobs in 1 4 16; do
  run_inventory "j$jobs-$small" "$jobs"
  peak_small[$jobs]=$peak
  row "-j $jobs (memory)" "$jobs" 0 "$small" "$secs" - "$(mb "$peak")" -
  check "peak growth at -j $jobs, $small to $large containers (KiB)" \
    "$((peak_large[$jobs] - peak_small[$jobs]))" "<=" 1024
done

# --- latency: the middle host -------------------------------------------
make_host "$mid" "$WORK/host-lat" "$latency"
for jobs in 1 4 16; do
  run_inventory "lat-j$jobs" "$jobs"
  eval "l_j$jobs=$secs lp_j$jobs=$peak"
done
same=$(same_documents lat-j1 lat-j4 lat-j16)
row "-j 1" 1 "$latency" "$mid" "$l_j1" 1.000 "$(mb "$lp_j1")" "$same"
row "-j 4 (default)" 4 "$latency" "$mid" "$l_j4" "$(ratio "$l_j4" "$l_j1")" "$(mb "$lp_j4")" "$same"
row "-j 16" 16 "$latency" "$mid" "$l_j16" "$(ratio "$l_j16" "$l_j1")" "$(mb "$lp_j16")" "$same"
check "-j 4 / -j 1, ${latency} ms" "$(ratio "$l_j4" "$l_j1")" "<=" 0.35
check "-j 16 / -j 1, ${latency} ms" "$(ratio "$l_j16" "$l_j1")" "<=" 0.20
[ "$same" = yes ] || failed+=("documents differ across -j at ${latency} ms")

# --- flood: the sections' memory ----------------------------------------
bash "$SRC/bench/make_sim_host.sh" 16 "$WORK/host-flood" >/dev/null
printf '#!/bin/sh\nhead -c %d /dev/zero | tr "\\0" "&"\n' $((flood << 20)) >"$WORK/host-flood/ct-tools/netstat"
chmod +x "$WORK/host-flood/ct-tools/netstat"
cv_sim_host "$WORK/host-flood"
for jobs in 1 16; do
  run_inventory "flood-j$jobs" "$jobs"
  eval "f_j$jobs=$secs fp_j$jobs=$peak"
done
same=$(same_documents flood-j1 flood-j16)
row "-j 1, ${flood} MiB of & each" 1 0 16 "$f_j1" 1.000 "$(mb "$fp_j1")" "$same"
row "-j 16, ${flood} MiB of & each" 16 0 16 "$f_j16" "$(ratio "$f_j16" "$f_j1")" "$(mb "$fp_j16")" "$same"
check "peak at -j 16, 16 containers printing $flood MiB (KiB)" "$fp_j16" "<=" $((256 * 1024))
[ "$same" = yes ] || failed+=("documents differ across -j at $flood MiB a container")

printf '%-26s %3s %6s %10s %8s %12s %8s %9s\n' run N lat_ms containers seconds ratio peak_MB identical
printf '%s\n' "${rows[@]}"
echo "(ratio: to the sh -c floor for the floor and -j 1 rows without latency, else to -j 1 of the same host)"
if [ ${#failed[@]} -gt 0 ]; then
  printf 'target missed: %s\n' "${failed[@]}"
  exit 1
fi
echo "all targets met"
