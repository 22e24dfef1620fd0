#!/usr/bin/env bash
# Without a terminal the wizard cannot run: cvreport says so, names the
# contact options, and ends with status 1 before any report run starts.
source "$(dirname "$0")/../../common.sh"
command -v script >/dev/null || cv_skip "script is not installed"

cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"
check_refused() {
  expect_status 1
  expect_empty "$OUT"
  expect_contains "$ERR" "the full-screen wizard needs a terminal"
  expect_contains "$ERR" "-n NAME -c COMPANY -e EMAIL -s SUBJECT -m DESCRIPTION"
  [ ! -e /var/log/cvreport.log ] || cv_fail "a log was written [$*]"
  [ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made [$*]"
}

run_cvreport
check_refused "no options"

run_cvreport -q -p
check_refused "-q -p"

# A terminal on stdin alone is not enough.
cv_status script -qec "$BIN/cvreport >$OUT 2>$ERR" /dev/null >/dev/null
check_refused "stdout redirected"

cv_pass
