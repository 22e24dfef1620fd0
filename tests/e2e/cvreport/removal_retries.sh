#!/usr/bin/env bash
# A work directory that cannot be removed is tried six times, a second apart,
# then left without a message; the report itself still succeeds.
source "$(dirname "$0")/../../common.sh"

probe=$WORK/probe
touch "$probe"
chattr +i "$probe" 2>/dev/null || cv_skip "the sandbox's file system has no immutable attribute"
chattr -i "$probe"

cv_collector "$SRC/tests/fixtures/collectors/immutable_collector.sh"
cv_service_start
cv_service_config
start=$(date +%s%N)
run_cvreport -q "${CV_CONTACT[@]}"
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
expect_status 0
expect_empty "$ERR"
expect_contains "$OUT" "ProblemID: 100001"
dir=$(cv_work_dirs)
cv_on_exit "chattr -i '$dir/files/stuck'"
[ -n "$dir" ] || cv_fail "the directory vanished although a file in it could not be removed"
# Five waits of a second between six tries.
[ "$elapsed_ms" -ge 4800 ] || cv_fail "gave up after ${elapsed_ms} ms"
[ -e "$dir/files/stuck" ] || cv_fail "the stuck file is gone"

cv_pass
