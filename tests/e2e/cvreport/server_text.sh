#!/usr/bin/env bash
# The service's text reaches the terminal and the log only as printable
# text: a reply cannot retitle the terminal, clear the screen or draw a
# "ProblemID:" line of its own. An error reply without text (an empty 503,
# a redirect, which is not followed) names the HTTP status and its reason.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config

# no_controls FILE: no control byte but the line feed in FILE.
no_controls() {
  ! LC_ALL=C grep -q $'[\x01-\x09\x0b-\x1f\x7f]' "$1" || cv_fail "$1 holds control characters: $(od -c "$1" | head -5)"
}

# An ID that carries a terminal title, a bell and a carriage return.
cv_service_mode escapes
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
no_controls "$OUT"
expect_eq "$(grep -c 'ProblemID:' "$OUT")" 1 "ProblemID lines"
expect_eq "$(tail -n 1 "$OUT")" 'ProblemID: 100001\x1b]0;owned\x07 ProblemID: 999'
run_cvreport "${CV_CONTACT[@]}"
expect_status 0
no_controls "$OUT"
expect_contains "$OUT" 'Your problem report was assigned ID 100001\x1b]0;owned\x07'

# An error text with the same, and the log's record of it.
cv_service_mode escapes500
run_cvreport "${CV_CONTACT[@]}"
expect_status 7
no_controls "$ERR"
expect_kept_report '\x1b]0;owned\x07Disk\x1b[2J full\x0dProblemID: 999'
rm -rf "$KEPT"
no_controls /var/log/cvreport.log
expect_contains /var/log/cvreport.log 'The server returned an error: ERRCODE=17  \x1b]0;owned\x07Disk\x1b[2J full ProblemID: 999'

# Error replies without a text of their own.
cv_service_mode empty503
run_cvreport "${CV_CONTACT[@]}"
expect_status 7
expect_kept_report "Server responded with HTTP code 503 (Service Unavailable)"
rm -rf "$KEPT"
expect_contains /var/log/cvreport.log "The server returned an error: Server responded with HTTP code 503 (Service Unavailable)"

cv_service_mode redirect
before=$(cv_requests count)
run_cvreport "${CV_CONTACT[@]}"
expect_status 7
expect_kept_report "Server responded with HTTP code 302 (Found)"
rm -rf "$KEPT"
# Not followed: only the Digest challenge and the post reached anything.
expect_eq "$(($(cv_requests count) - before))" 2 "requests for one redirected report"
expect_lacks /var/log/cvreport.log "root:"

cv_pass
