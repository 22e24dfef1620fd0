#!/usr/bin/env bash
# When SUBMIT_USER or SUBMIT_PASSWORD is empty, the built-in credential of
# the build is sent instead, never the user alone.
source "$(dirname "$0")/../../common.sh"

builtin=$(sed -n 's/^CVREPORT_DEFAULT_CREDENTIAL:STRING=//p' "$CV_SANDBOX/build/CMakeCache.txt")
[ ${#builtin} = 20 ] || cv_fail "no built-in credential in the build cache"
CV_SERVICE_USER=${builtin%%:*}
CV_SERVICE_PASSWORD=${builtin#*:}
# The plain text never stands in the program.
! grep -qF -- "$builtin" "$BIN/cvreport" || cv_fail "the credential is stored in plain text"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start

for conf in "SUBMIT_USER=someone" "SUBMIT_PASSWORD=secret" "SUBMIT_USER="; do
  cv_config "SUBMIT_URI=$CV_SERVICE_URL" "$conf"
  run_cvreport -q "${CV_CONTACT[@]}"
  expect_status 0
  expect_eq "$(cv_requests last digest_user)" "$CV_SERVICE_USER" "user sent with [$conf]"
done
expect_eq "$(cv_requests count auth=bad)" 0 "refused requests"

cv_pass
