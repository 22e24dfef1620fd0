#!/usr/bin/env bash
# A service that takes the upload and then trickles its reply, a few bytes
# a second: fast enough for the stall limit, never finished. Once the body
# is sent the reply has the build setting CVREPORT_REPLY_TIMEOUT (300
# seconds unless set) to end; then it is a transfer failure: status 7, the
# archive kept, the reason and the hint. The case needs a build with a
# short setting (tools/sanitize.sh builds with 6).
source "$(dirname "$0")/../../common.sh"

limit=$(cv_short_timeout CVREPORT_REPLY_TIMEOUT)

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start --stall-max 60
cv_service_mode trickle
cv_service_config

start=$SECONDS
run_cvreport "${CV_CONTACT[@]}"
elapsed=$((SECONDS - start))
expect_status 7
[ "$elapsed" -ge "$limit" ] || cv_fail "gave up after ${elapsed}s, before the reply limit"
[ "$elapsed" -le $((limit + 20)) ] || cv_fail "took ${elapsed}s with a reply limit of ${limit}s"
expect_kept_workdir "The service did not finish its reply within $limit seconds"
cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "kept archive differs"
expect_contains /var/log/cvreport.log "Can't submit report: The service did not finish its reply within $limit seconds"
expect_eq "$(cv_requests last outcome)" trickled "the service's record"

cv_pass
