#!/usr/bin/env bash
# Inventory benchmark: cvsysinfo on simulated hosts of many running
# containers whose tools answer at once, against running the very command
# lines cvsysinfo ran, one after another with sh -c, in the same run (the
# floor that running each tool through the shell sets). Targets: wall time
# at most 1.10 times that floor; peak resident memory at most 16 MB and flat
# from the small host to the large one.
#
#   bench/inventory_bench.sh [SMALL] [LARGE]     (defaults 100 and 1000)
source "$(dirname "$0")/../tests/common.sh"
source "$SRC/tests/sim_host.sh"

small=${1:-100}
large=${2:-1000}
fault_lib=$CV_SANDBOX/build/lib/libcvfault.so

# Prints "SECONDS PEAK_KIB STATUS" for one command.
measure() { python3 "$SRC/bench/measure.py" "$@"; }

bench_host() {
  local n=$1 host=$WORK/host-$1 trace=$WORK/trace-$1
  bash "$SRC/bench/make_sim_host.sh" "$n" "$host" >/dev/null
  cv_sim_host "$host"
  # One traced run records the command lines; its time does not count.
  CV_TRACE_COMMANDS=$trace LD_PRELOAD=$fault_lib "$BIN/cvsysinfo" "$WORK/trace.xml" 2>/dev/null
  local commands
  commands=$(tr -cd '\0' <"$trace" | wc -c)
  read -r t_inv _ status < <(measure "$BIN/cvsysinfo" "$WORK/inventory-$n.xml")
  [ "$status" = 0 ] || cv_fail "cvsysinfo failed with status $status"
  # Its own peak memory, without the tools it runs, from a second run.
  CV_TRACE_HWM=$WORK/hwm LD_PRELOAD=$fault_lib "$BIN/cvsysinfo" "$WORK/hwm.xml" 2>/dev/null
  rss=$(awk '{ print $2 }' "$WORK/hwm")
  xmllint --noout "$WORK/inventory-$n.xml" || cv_fail "the document is not well-formed"
  read -r t_sh _ status < <(measure bash -c 'while IFS= read -r -d "" c; do sh -c "$c" >/dev/null 2>&1; done <"$1"' replay "$trace")
  echo "$n containers: $commands commands; cvsysinfo ${t_inv}s (peak ${rss} KiB), sh -c floor ${t_sh}s"
  eval "time_$n=$t_inv floor_$n=$t_sh rss_$n=$rss"
}

bench_host "$small"
bench_host "$large"
eval "t=\$time_$large f=\$floor_$large rs=\$rss_$small rl=\$rss_$large"
ratio=$(python3 -c "print(f'{$t / $f:.3f}')")
growth=$(python3 -c "print(f'{($rl - $rs) / 1024:.1f}')")
echo "wall time at $large containers: ratio ${ratio} to the sh -c floor (target <= 1.10)"
echo "peak resident memory: $(python3 -c "print(f'{$rs/1024:.1f}')") MB at $small, $(python3 -c "print(f'{$rl/1024:.1f}')") MB at $large (+${growth} MB; target <= 16 MB and flat)"
python3 -c "import sys; sys.exit(0 if $ratio <= 1.10 and $rl <= 16 * 1024 and $rl - $rs <= 1024 else 1)" ||
  { echo "benchmark target missed"; exit 1; }
