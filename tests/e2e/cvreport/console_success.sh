#!/usr/bin/env bash
# A complete console report: the collector's lines, the upload progress and
# the problem ID, with and without -q, and a reply without an ID.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed CV_COLLECTOR_ARCHIVE_BYTES=3000000
cv_service_start --repid 770042
cv_service_config

check_progress_lines() {
  grep '^Upload progress: ' "$OUT" | sed 's/^Upload progress: \([0-9]*\)%$/\1/' >"$WORK/percents"
  [ -s "$WORK/percents" ] || cv_fail "no upload progress lines"
  sort -n -c "$WORK/percents" 2>/dev/null || cv_fail "progress goes backwards: $(tr '\n' ' ' <"$WORK/percents")"
  expect_eq "$(tail -n 1 "$WORK/percents")" 100 "last progress"
  [ "$(wc -l <"$WORK/percents")" -le 101 ] || cv_fail "more progress lines than percentages"
}

run_cvreport "${CV_CONTACT[@]}"
expect_status 0
expect_empty "$ERR"
# The Digest challenge and the report: the check before collecting sent none.
expect_eq "$(cv_requests count)" 2 "requests of a report"
expect_eq "$(sed -n 1p "$OUT")" "collector output line one"
expect_eq "$(sed -n 2p "$OUT")" "collector done"
check_progress_lines
cat >"$WORK/expected-tail" <<'TEXT'
Your report has been successfully submitted to the Corvanta technical
support team.
Your problem report was assigned ID 770042
Please refer to this ID when contacting the Corvanta technical support.

You have been sent an email notification about the report with additional
instructions on how you can further communicate with the Corvanta support
team via email.

TEXT
grep -v -e '^Upload progress: ' -e '^collector ' "$OUT" >"$WORK/tail"
diff -u "$WORK/expected-tail" "$WORK/tail" >&2 || cv_fail "success text differs"
expect_contains /var/log/cvreport.log "Session finished"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left after success"

# -q drops the collector's lines but keeps the progress.
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_empty "$ERR"
check_progress_lines
expect_eq "$(grep -v '^Upload progress: ' "$OUT")" "ProblemID: 770042" "quiet output"

# A reply without REPID is a success that prints nothing more.
cv_service_mode ok-norepid
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
check_progress_lines
expect_eq "$(grep -cv '^Upload progress: ' "$OUT")" 0 "lines besides progress"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left after a reply without ID"

# A charset parameter after text/plain is still the service's reply.
cv_service_mode ok-charset
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_contains "$OUT" "ProblemID: 770042"

# An address the wizard would refuse is sent as given, after one warning
# (its control characters made visible); the status is unchanged.
contact=("${CV_CONTACT[@]}")
contact[5]=$'ada+tag\e]0;x\a@example.net'
run_cvreport -q "${contact[@]}"
expect_status 0
expect_eq "$(cat "$ERR")" "Warning: the e-mail address 'ada+tag\x1b]0;x\x07@example.net' does not look valid; the service's notification will not reach it" "warning"
expect_eq "$(cv_requests part email value)" "${contact[5]}" "the address sent"

cv_pass
