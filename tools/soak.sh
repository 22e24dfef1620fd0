#!/usr/bin/env bash
# Runs a test suite several times in a row while busy loops keep every core
# loaded, to show that no case depends on an idle machine. Stops at the first
# failed run. The loops are bounded (they end by themselves after the time
# the runs may take at most) and are stopped when the script ends, however
# it ends.
#
#   tools/soak.sh [-n RUNS] [-l LOOPS] [-b BUILD_DIR] [CTEST_ARGS...]
#
#   -n RUNS       runs of the suite (default 5)
#   -l LOOPS      busy loops (default: the number of processors)
#   -b BUILD_DIR  the build tree whose suite runs (default build; build-asan
#                 runs the sanitized suite, which tools/sanitize.sh builds)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=5
loops=$(nproc)
build=build
while getopts "n:l:b:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    l) loops=$OPTARG ;;
    b) build=$OPTARG ;;
    *) sed -n '2,13p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ -f "$build/CTestTestfile.cmake" ] || { echo "soak: $build is not a built test tree" >&2; exit 2; }
[ "$build" != build-asan ] || export CV_SANITIZED_BUILD=1

# Each loop is a process group of its own, ended with the script; the
# timeout ends it even if this script is killed without a chance to.
busy=()
stop_loops() {
  local pid
  for pid in "${busy[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
}
trap stop_loops EXIT
for ((i = 0; i < loops; i++)); do
  setsid timeout $((runs * 1800)) sh -c 'while :; do :; done' &
  busy+=("$!")
done

for ((run = 1; run <= runs; run++)); do
  start=$SECONDS
  if (cd "$build" && ctest --output-on-failure -j "$(nproc)" "$@" >"../soak-run-$run.log" 2>&1); then
    echo "soak: run $run of $runs passed in $((SECONDS - start)) s ($(grep -E 'tests passed' "soak-run-$run.log"))"
  else
    echo "soak: run $run of $runs failed after $((SECONDS - start)) s; see soak-run-$run.log:" >&2
    grep -E '^\s*[0-9]+ - |tests passed' "soak-run-$run.log" >&2 || true
    exit 1
  fi
done
