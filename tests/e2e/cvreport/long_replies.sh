#!/usr/bin/env bash
# Replies larger than any fixed buffer: a long refusal is shown whole before
# the hints; a huge success reply is cut to what is kept and still gives the ID.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config

cv_service_mode error500-long
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 7
for i in 0000 0150 0299; do
  expect_contains "$ERR" "Detail line $i of a long refusal."
done
expect_eq "$(grep -c 'of a long refusal' "$ERR")" 300 "refusal lines shown"
expect_eq "$(tail -n 2 "$ERR" | head -n 1 | cut -c1-16)" "Please send the " "hint after the text"
rm -rf "$(cv_kept_reports)"

cv_service_mode big-reply
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_contains "$OUT" "ProblemID: 100001"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left"

cv_service_mode notype
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_contains "$OUT" "ProblemID: 100001"

cv_pass
