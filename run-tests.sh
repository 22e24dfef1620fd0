#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the unit tests and the
# end-to-end cases (which start their own support service and proxy on
# loopback inside private mount namespaces; they need root). Then the same
# suite against a build with AddressSanitizer and UndefinedBehaviorSanitizer
# (tools/sanitize.sh), and every fuzz target for CV_FUZZ_SECONDS each
# (default 10; tools/fuzz.sh). CV_HARDENING=0 runs the first suite only.
# Arguments go to the first suite's ctest.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
bash tools/build.sh

failed=()
(cd build && ctest --output-on-failure -j "$(nproc)" "$@") || failed+=("tests")
if [ "${CV_HARDENING:-1}" != 0 ]; then
  bash tools/sanitize.sh || failed+=("sanitized tests (build-asan)")
  bash tools/fuzz.sh -t "${CV_FUZZ_SECONDS:-10}" || failed+=("fuzzing (build-fuzz)")
fi
if [ ${#failed[@]} != 0 ]; then
  printf 'run-tests: failed: %s\n' "${failed[@]}" >&2
  exit 1
fi
