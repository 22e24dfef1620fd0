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

big=CV_COLLECTOR_ARCHIVE_BYTES=16000000
submit="Can't submit the report to $CV_SERVICE_URL"
# LIMIT|ATTEMPTS|ROW: the limit that ends each attempt, the attempts, and
# the row of cv_report_rows.
rows=(
  # Larger than the socket buffers: the service stops reading mid-body,
  # so the report cannot have been filed and is tried three times in all,
  # with pauses of 2 and 8 s.
  "$stall|3|stall||$big|7|2 8:Timed out before the report was sent|outcome=stalled:3|$submit: Timeout was reached|"
  # All of it is sent, and the reply never comes: never tried again.
  "$stall|1|stall|||7||outcome=stalled:1|$submit: Timeout was reached|"
  "$reply|1|trickle|||7||outcome=trickled:1|$submit: The service did not finish its reply within $reply seconds|"
)
for row in "${rows[@]}"; do
  IFS='|' read -r limit attempts row <<<"$row"
  start=$SECONDS
  cv_report_rows "$row"
  elapsed=$((SECONDS - start))
  # Each attempt takes its limit and a few seconds more (libcurl averages
  # the speed over a while); the pauses add 2 and 8 s.
  least=$((limit * attempts))
  [ "$attempts" = 1 ] || least=$((least + 10))
  most=$((least + 10 * attempts + 10))
  [ "$elapsed" -ge "$least" ] || cv_fail "${row%%|*}: gave up after ${elapsed}s, before the limits"
  [ "$elapsed" -le "$most" ] || cv_fail "${row%%|*}: took ${elapsed}s with limits of ${least}s"
done

cv_pass
