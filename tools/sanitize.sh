#!/usr/bin/env bash
# Builds cvreport and cvsysinfo with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the whole test suite
# against that build: the unit tests and the end-to-end cases (the cases find
# the programs through CV_BUILD_DIR, which CTest sets to this build). Any
# sanitizer report ends the program with a failure, so it fails its test.
#
#   tools/sanitize.sh [--build-only | --no-build] [CTEST ARGUMENT...]
#
#   --build-only  configure and build build-asan/, run nothing
#   --no-build    run the suite against build-asan/ as it is
#
# Other arguments go to ctest (e.g. -R e2e.cvreport). The suite runs
# $CV_TEST_JOBS cases at once, by default four per processor: most cases
# wait on processes and sockets rather than on the processor.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-asan
step=all
case ${1:-} in
  --build-only | --no-build) step=$1; shift ;;
esac

# A stalled upload gives up after 3 seconds here rather than 120, and a
# trickling reply after 6 rather than 300, so that the stalled-service and
# slow-reply cases (tests/e2e/hardening/upload_stall.sh,
# tests/e2e/cvreport/server_text.sh) can run; a command of cvsysinfo is
# stopped after 3 seconds rather than 120 (tests/e2e/hardening/tool_output.sh).
if [ "$step" != --no-build ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCV_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCVREPORT_STALL_TIMEOUT=3 -DCVREPORT_REPLY_TIMEOUT=6 \
    -DCVSYSINFO_COMMAND_TIMEOUT=3 >/dev/null
  cmake --build "$build"
fi
[ "$step" != --build-only ] || exit 0

# The programs carry their sanitizer settings (fuzz/sanitizer_hooks.cc): a
# report ends the program with status 86. The console flow ends with _exit
# by design, so its leaks are checked under valgrind instead
# (tests/e2e/hardening/valgrind_*.sh), which cannot run sanitized programs:
# those cases skip here.
export CV_SANITIZED_BUILD=1

cd "$build"
ctest --output-on-failure -j "${CV_TEST_JOBS:-$(($(nproc) * 4))}" "$@"
