#!/usr/bin/env bash
# Builds cvreport and cvsysinfo with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the whole test suite
# against that build: the unit tests and the end-to-end cases (the cases find
# the programs through CV_BUILD_DIR, which CTest sets to this build). Any
# sanitizer report ends the program with a failure, so it fails its test.
# Arguments go to ctest (e.g. -R e2e.cvreport).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-asan

# A stalled upload gives up after 3 seconds here rather than 120, and a
# trickling reply after 6 rather than 300, so that the stalled-service and
# slow-reply cases (tests/e2e/hardening/upload_stall.sh,
# tests/e2e/cvreport/server_text.sh) can run.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCV_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCVREPORT_STALL_TIMEOUT=3 -DCVREPORT_REPLY_TIMEOUT=6 >/dev/null
cmake --build "$build"

# The programs carry their sanitizer settings (fuzz/sanitizer_hooks.cc): a
# report ends the program with status 86. The console flow ends with _exit
# by design, so its leaks are checked under valgrind instead
# (tests/e2e/hardening/valgrind_*.sh), which cannot run sanitized programs:
# those cases skip here.
export CV_SANITIZED_BUILD=1

cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
