# Sourced by the benchmarks that time one of bench/'s own programs: a strict
# shell in the C locale (the collector's, and gzip's fastest), SRC, and
# bench_program.
set -euo pipefail
export LC_ALL=C
SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# bench_program NAME: PROGRAM is the built bench/NAME; stops unless it is built.
bench_program() {
  PROGRAM=${CV_BUILD_DIR:-$SRC/build}/bench/$1
  [ -x "$PROGRAM" ] || { echo "build first: $PROGRAM is missing" >&2; exit 1; }
}
