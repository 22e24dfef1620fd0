# Sourced by the benchmarks: a strict shell in the C locale (the collector's,
# and gzip's fastest), SRC, and the timing, table and verdict helpers.
set -euo pipefail
export LC_ALL=C
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BENCH_MISSED=0

# bench_program PATH: PROGRAM is the built PATH (bench/NAME, bin/NAME); stops
# unless it is built.
bench_program() {
  PROGRAM=${CV_BUILD_DIR:-$SRC/build}/$1
  [ -x "$PROGRAM" ] || { echo "build first: $PROGRAM is missing" >&2; exit 1; }
}

# bench_workdir NAME: WORK is a fresh directory under /var/tmp, removed on exit.
bench_workdir() {
  WORK=$(mktemp -d "/var/tmp/cv-$1.XXXXXX")
  trap 'rm -rf -- "$WORK"' EXIT
}

# bench_measure NAME STATUS COMMAND...: NAME_cpu, NAME_wall (seconds) and
# NAME_peak (KiB), the medians of $rounds runs, CPU being user plus system with
# children; stops unless every run ends with STATUS.
bench_measure() {
  local name=$1 expected=$2 r got cpu wall peak
  shift 2
  : >"$WORK/runs"
  for ((r = 1; r <= rounds; r++)); do
    got=0
    /usr/bin/time -f '%U %S %e %M' -o "$WORK/time" "$@" >/dev/null 2>"$WORK/stderr" || got=$?
    [ "$got" = "$expected" ] || { cat "$WORK/stderr" >&2; echo "failed ($got): $*" >&2; exit 1; }
    tail -n 1 "$WORK/time" >>"$WORK/runs"
  done
  read -r cpu wall peak < <(python3 -c 'import statistics as s, sys
runs = [list(map(float, line.split())) for line in open(sys.argv[1])]
print("%.3f %.3f %d" % tuple(s.median(f(r) for r in runs) for f in
      (lambda r: r[0] + r[1], lambda r: r[2], lambda r: r[3])))' "$WORK/runs")
  printf -v "${name}_cpu" %s "$cpu"
  printf -v "${name}_wall" %s "$wall"
  printf -v "${name}_peak" %s "$peak"
}

bench_ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f\n", a / b; else print "n/a" }'; }
bench_mb() { awk -v k="$1" 'BEGIN { printf "%.1f\n", k / 1024 }'; }
# bench_row FIRST CELL...: one row of a table, the first column wide.
bench_row() { printf '%-40s' "$1"; shift; printf ' %9s' "$@"; echo; }

# bench_verdict WHAT VALUE LIMIT: PASS or FAIL of VALUE <= LIMIT.
bench_verdict() {
  if awk -v v="$2" -v l="$3" 'BEGIN { exit !(v <= l) }'; then
    echo "PASS $1: $2 (target <= $3)"
  else
    echo "FAIL $1: $2 (target <= $3)"
    BENCH_MISSED=1
  fi
}
# bench_end: the exit status of the benchmark, after its verdicts.
bench_end() { [ "$BENCH_MISSED" = 0 ] || { echo "benchmark target missed"; exit 1; }; }
