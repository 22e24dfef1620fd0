#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the unit tests and the
# end-to-end cases (which start their own support service and proxy on
# loopback inside private mount namespaces; they need root). Then the same
# suite against a build with AddressSanitizer and UndefinedBehaviorSanitizer
# (tools/sanitize.sh), and every fuzz target for CV_FUZZ_SECONDS each
# (default 10; tools/fuzz.sh). CV_HARDENING=0 runs the first suite only.
# Arguments go to the first suite's ctest.
#
# Most cases wait on processes and sockets rather than on the processor, so
# each suite runs CV_TEST_JOBS cases at once (four per processor), longest
# first, and the sanitized and fuzzing builds compile at low priority beside
# the suites, in the time their cases leave the processors idle (their
# output in build/hardening-builds/).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
bash tools/build.sh
export CV_TEST_JOBS=${CV_TEST_JOBS:-$(($(nproc) * 4))}
hardening=${CV_HARDENING:-1}

# Each part's closing line of counts, for the summary at the end.
results=$(mktemp -d)
trap 'rm -rf -- "$results"' EXIT
summary=()
failed=()
# part NAME COMMAND...: runs a part, its output shown and its last count line kept.
part() {
  local name=$1 status=0 counts
  shift
  "$@" 2>&1 | tee "$results/out" || status=$?
  counts=$(grep -E '^[0-9]+% tests passed|^fuzz: [0-9]' "$results/out" | tail -n 1 || true)
  summary+=("$name: ${counts:-no count of cases}")
  [ "$status" = 0 ] || failed+=("$name")
}

builds=build/hardening-builds
if [ "$hardening" != 0 ]; then
  rm -rf "$builds"
  mkdir -p "$builds"
  # In a process group of their own, which the end of this script stops,
  # however it ends.
  set -m
  (
    status=0
    nice -n 10 bash tools/sanitize.sh --build-only >"$builds/asan.log" 2>&1 || status=$?
    echo "$status" >"$builds/asan.status"
    status=0
    nice -n 10 bash tools/fuzz.sh -b >"$builds/fuzz.log" 2>&1 || status=$?
    echo "$status" >"$builds/fuzz.status"
  ) </dev/null &
  builds_pid=$!
  set +m
  trap '[ -z "$builds_pid" ] || kill -TERM -- "-$builds_pid" 2>/dev/null; rm -rf -- "$results"' EXIT
  echo "run-tests: building build-asan/ and build-fuzz/ beside the tests (logs in $builds/)"
fi

part "tests" bash -c 'cd build && ctest --output-on-failure -j "$CV_TEST_JOBS" "$@"' ctest "$@"

if [ "$hardening" != 0 ]; then
  # built NAME: waits for that build's end; whether it succeeded, with its
  # log's end when it did not. Nothing else runs meanwhile, so the
  # compilers it starts from here on go at the ordinary priority (ninja is
  # in the builds' group; its running compilers, in groups of their own,
  # end within seconds). The next build starts at low priority again.
  built() {
    renice -n 0 -g "$builds_pid" >/dev/null 2>&1 || true
    while [ ! -e "$builds/$1.status" ] && kill -0 "$builds_pid" 2>/dev/null; do sleep 1; done
    [ "$(cat "$builds/$1.status" 2>/dev/null)" = 0 ] && return 0
    tail -n 40 "$builds/$1.log" >&2
    return 1
  }
  echo "run-tests: waiting for the build of build-asan/"
  # The fuzzing build goes on beside the sanitized suite.
  if built asan; then
    part "sanitized tests (build-asan)" bash tools/sanitize.sh --no-build
  else
    summary+=("sanitized tests (build-asan): the build failed ($builds/asan.log)")
    failed+=("sanitized build (build-asan)")
  fi
  echo "run-tests: waiting for the build of build-fuzz/"
  if built fuzz; then
    part "fuzzing (build-fuzz)" bash tools/fuzz.sh -n -t "${CV_FUZZ_SECONDS:-10}"
  else
    summary+=("fuzzing (build-fuzz): the build failed ($builds/fuzz.log)")
    failed+=("fuzzing build (build-fuzz)")
  fi
  wait "$builds_pid" || true
  builds_pid=
fi

echo
printf 'run-tests: %s\n' "${summary[@]}"
if [ ${#failed[@]} != 0 ]; then
  printf 'run-tests: failed: %s\n' "${failed[@]}" >&2
  exit 1
fi
