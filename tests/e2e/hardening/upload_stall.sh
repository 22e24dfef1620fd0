#!/usr/bin/env bash
# A service that accepts the upload and then stops reading and answering.
# No overall time limit applies, so the build setting CVREPORT_STALL_TIMEOUT
# (120 seconds unless set) ends the transfer once it has made no progress
# for that long: libcurl's time-out text, status 7, the archive kept. The
# case needs a build with a short setting (tools/sanitize.sh builds with 3).
source "$(dirname "$0")/../../common.sh"

limit=$(cv_short_timeout CVREPORT_STALL_TIMEOUT)

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start --stall-max 60
cv_service_mode stall

# stalled_run ARCHIVE_BYTES: one report against the stalled service; it must
# end well inside the time the service would hold it.
stalled_run() {
  local start=$SECONDS dir
  CV_COLLECTOR_ARCHIVE_BYTES=$1 run_cvreport "${CV_CONTACT[@]}"
  ELAPSED=$((SECONDS - start))
  expect_status 7
  [ "$ELAPSED" -ge "$limit" ] || cv_fail "gave up after ${ELAPSED}s, before the stall limit"
  [ "$ELAPSED" -le $((limit + 20)) ] || cv_fail "took ${ELAPSED}s with a stall limit of ${limit}s"
  dir=$(cv_work_dirs | tail -n 1)
  [ -n "$dir" ] || cv_fail "no work directory kept"
  printf 'Timeout was reached\nPlease send the %s/cvreport.tgz file containing the generated report manually to support@corvanta.com\n' \
    "$dir" >"$WORK/expected-err"
  diff -u "$WORK/expected-err" "$ERR" >&2 || cv_fail "stderr differs"
  cmp -s "$dir/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "kept archive differs"
  expect_contains /var/log/cvreport.log "Can't submit report: Timeout was reached"
  expect_eq "$(cv_requests last outcome)" stalled "the service's record"
  rm -rf "$dir"
}

cv_service_config
# An archive larger than the socket buffers: the service stops reading in
# the middle of the body.
stalled_run 16000000
# A small archive: all of it is sent, and the reply never comes.
stalled_run 4096

cv_pass
