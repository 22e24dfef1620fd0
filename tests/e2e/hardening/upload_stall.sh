#!/usr/bin/env bash
# A service that stops short: it takes part of the upload and stops reading
# (or takes all of it and never answers), or it trickles its reply a few
# bytes a second. Without progress the build setting CVREPORT_STALL_TIMEOUT
# (120 seconds unless set) ends the transfer; a reply still going once the
# body is sent has CVREPORT_REPLY_TIMEOUT (300 seconds) to end. Either way:
# status 7, the reason and the manual-send hint, the archive kept. The case
# needs a build with short settings (tools/sanitize.sh builds with 3 and 6).
source "$(dirname "$0")/../../common.sh"

stall=$(cv_short_timeout CVREPORT_STALL_TIMEOUT)
reply=$(cv_short_timeout CVREPORT_REPLY_TIMEOUT)

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start --stall-max 60
cv_service_config

# MODE ARCHIVE_BYTES LIMIT ATTEMPTS REASON OUTCOME: what the service does,
# the size of the archive, the limit that ends each attempt, the attempts,
# what the user reads and what the service recorded.
rows=(
  # Larger than the socket buffers: the service stops reading mid-body,
  # so the report cannot have been filed and is tried three times in all,
  # with pauses of 2 and 8 s.
  "stall|16000000|$stall|3|Timeout was reached|stalled"
  # All of it is sent, and the reply never comes: never tried again.
  "stall|4096|$stall|1|Timeout was reached|stalled"
  "trickle|4096|$reply|1|The service did not finish its reply within $reply seconds|trickled"
)
for row in "${rows[@]}"; do
  IFS='|' read -r mode bytes limit attempts reason outcome <<<"$row"
  cv_service_mode "$mode"
  start=$SECONDS
  CV_COLLECTOR_ARCHIVE_BYTES=$bytes run_cvreport "${CV_CONTACT[@]}"
  elapsed=$((SECONDS - start))
  expect_status 7
  # Each attempt takes its limit and a few seconds more (libcurl averages
  # the speed over a while); the pauses add 2 and 8 s.
  least=$((limit * attempts))
  [ "$attempts" = 1 ] || least=$((least + 10))
  most=$((least + 10 * attempts + 10))
  [ "$elapsed" -ge "$least" ] || cv_fail "$mode: gave up after ${elapsed}s, before the limits"
  [ "$elapsed" -le "$most" ] || cv_fail "$mode: took ${elapsed}s with limits of ${least}s"
  expect_eq "$(grep -c "before the report was sent); trying again" "$OUT")" $((attempts - 1)) \
    "$mode: retries"
  expect_kept_report "Can't submit the report to $CV_SERVICE_URL: $reason"
  cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "$mode: kept archive differs"
  expect_contains /var/log/cvreport.log "Can't submit report: $reason"
  expect_eq "$(cv_requests last outcome)" "$outcome" "the service's record of $mode"
  rm -rf "$KEPT"
done

cv_pass
