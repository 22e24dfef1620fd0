#!/usr/bin/env bash
# Runs a test suite several times in a row while busy loops keep every core
# loaded, to show that no case depends on an idle machine. Stops at the first
# failed run. The loops are bounded (they end by themselves after the time
# the runs may take at most) and are stopped when the script ends, however
# it ends.
#
#   tools/soak.sh [-n RUNS] [-l LOOPS] [-s] [CTEST_ARGS...]
#
#   -n RUNS   runs of the suite (default 5)
#   -l LOOPS  busy loops (default: the number of processors)
#   -s        the sanitized suite (build-asan/, which tools/sanitize.sh
#             builds) instead of the first one (build/)
#
# Each run has as many cases at once as run-tests.sh gives it
# (CV_TEST_JOBS).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=5
loops=$(nproc)
build=build
while getopts "n:l:s" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    l) loops=$OPTARG ;;
    s) build=build-asan ;;
    *) sed -n '2,16p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ -f "$build/CTestTestfile.cmake" ] || { echo "soak: $build is not a built test tree" >&2; exit 2; }
export CV_TEST_JOBS=${CV_TEST_JOBS:-$(($(nproc) * 4))}
suite() {
  if [ "$build" = build-asan ]; then
    bash tools/sanitize.sh --no-build "$@"
  else
    (cd build && ctest --output-on-failure -j "$CV_TEST_JOBS" "$@")
  fi
}

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
  if suite "$@" >"soak-run-$run.log" 2>&1; then
    echo "soak: run $run of $runs passed in $((SECONDS - start)) s ($(grep -E 'tests passed' "soak-run-$run.log"))"
  else
    echo "soak: run $run of $runs failed after $((SECONDS - start)) s; see soak-run-$run.log:" >&2
    grep -E '^\s*[0-9]+ - |tests passed' "soak-run-$run.log" >&2 || true
    exit 1
  fi
done
