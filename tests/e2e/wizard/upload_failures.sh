#!/usr/bin/env bash
# A failed upload keeps the archive and shows the reason with the hints
# naming it; Exit leaves the same text, laid out for 64 columns with the send
# command on one line, on the restored terminal; Retry sends the same archive
# again. Which failure gives which reason is the console's table
# (cvreport/upload_failures.sh); here one reply, the wizard's own worker
# failures (fork, wait) and a long reply show as the wizard lays them out.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2
cv_service_start
cv_service_config REVIEW=no

# Submits from the collection page and waits for the error dialog.
submit_and_fail() {
  tui_wait_for "Submit report" 20
  tui_keys Enter
  tui_wait_for "Failed to submit your report:" 30
  dir=$(cv_kept_reports | tail -n 1)
  [ -n "$dir" ] || cv_fail "no report kept on the failure page"
}

# After Exit: the terminal holds the failure text and the hint, the archive
# stays where the hint says.
expect_kept() {
  local reason=$1 hint
  hint="Please send the $dir/cvreport.tgz file containing the generated report manually to support@corvanta.com"
  tui_keys Enter
  tui_wait_exit
  expect_status 0
  {
    echo "Failed to submit your report:"
    echo "    $reason"
    echo
    echo "$hint" | fold -s -w 64 | sed 's/ *$//'
    echo "To send it later, from this host or any other that can reach the service: cvreport --send $dir/cvreport.tgz"
  } >"$WORK/expected-exit-text"
  sed -n '/^Failed to submit your report:/,$p' "$CV_SCREEN" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' \
    >"$WORK/exit-text"
  # The screen is 80 columns wide: the command's line wraps there.
  tr -d '\n' <"$WORK/exit-text" | diff -u <(tr -d '\n' <"$WORK/expected-exit-text") - >&2 ||
    cv_fail "exit text differs"
  expect_eq "$(cv_kept_reports)" "$dir" "kept report"
  tui_expect_kept
  expect_contains /var/log/cvreport.log "Session finished"
  expect_lacks /var/log/cvreport.log "Session has been canceled"
  rm -rf "$dir"
  rm -f /var/log/cvreport.log
}

# 500 with a value line, a blank line and "Disk full".
cv_service_mode error500
tui_to_collection
submit_and_fail
expect_contains "$CV_SCREEN" "Disk full"
expect_contains "$CV_SCREEN" "$dir/cvreport.tgz"
expect_kept "Disk full"

# Retry, once the service is back, sends the same archive without
# collecting again; sent, it is kept no more.
cv_service_mode error500
rm -f "$CV_OBSERVE/collector-pids"
tui_to_collection
submit_and_fail
cv_service_mode ok
tui_keys Right Enter
tui_wait_for "Congratulations!" 30
expect_eq "$(cv_requests count auth=ok status=200)" 1 "accepted uploads"
expect_eq "$(cv_requests part report sha256)" "$(sha256sum <"$CV_OBSERVE/archive.tgz" | cut -d' ' -f1)" "retried archive"
expect_eq "$(wc -l <"$CV_OBSERVE/collector-pids")" 1 "collectors started"
tui_keys Enter
tui_wait_exit
[ -z "$(cv_kept_reports)$(cv_work_dirs)" ] || cv_fail "report left: $(cv_kept_reports) $(cv_work_dirs)"
rm -f /var/log/cvreport.log "$CV_OBSERVE/collector-pids"

# SIGTERM while the service holds the upload: the archive is kept, and the
# terminal says so before the hints.
cv_service_mode stall
tui_to_collection
tui_wait_for "Submit report" 20
tui_keys Enter
stalled() { [ "$(cv_requests count outcome=stalled)" = 1 ]; }
cv_wait_for 15 "the upload to reach the service" stalled
kill -TERM "$(pgrep -o -xf "$BIN/cvreport")" # the wizard, not its upload worker
tui_wait_exit
expect_status 143
tui_expect_kept
sed -n '/^Report interrupted by SIGTERM/,$p' "$CV_SCREEN" | tr -d '\n' |
  grep -qF "Please send the $KEPT/cvreport.tgz file containing the generated report manually to support@corvanta.comTo send it later, from this host or any other that can reach the service: cvreport --send $KEPT/cvreport.tgz" ||
  cv_fail "no hints after the interruption"
cv_service_mode ok
rm -rf "$KEPT"

# --collect-only: the submit page says where the report was kept, and Exit
# ends the wizard without a request.
before=$(cv_requests count)
tui_to_collection --collect-only
tui_wait_for "The report was collected and kept in" 20
tui_keys Enter
tui_wait_exit
expect_status 0
tui_expect_kept
expect_eq "$(cv_requests count)" "$before" "requests made by --collect-only"
rm -rf "$KEPT"

# The upload worker cannot be forked (the collector was the first fork);
# waiting for it fails.
cv_service_mode ok
for fault in "CV_FAULT_FORK_AT=2:Can't fork" "CV_FAULT_WAITPID_NOHANG=1:Fatal error"; do
  TUI_ENV=(LD_PRELOAD="$CV_SANDBOX/build/lib/libcvfault.so" "${fault%%:*}")
  tui_to_collection
  submit_and_fail
  expect_kept "${fault#*:}"
done
TUI_ENV=()

# A long error reply scrolls inside the dialog; its button stays on screen.
cv_service_mode error500-long
tui_to_collection
submit_and_fail
grep -q "│ Exit │" "$CV_SCREEN" || cv_fail "the Exit button is off the screen"
tui_keys Enter
tui_wait_exit
expect_status 0
expect_contains "$CV_SCREEN" "Detail line 0299 of a long refusal."
expect_contains "$CV_SCREEN" "containing the generated report manually to support@corvanta.com"
rm -rf "$dir"

# An archive over SUBMIT_MAX_SIZE is kept, not sent.
cv_service_mode ok
cv_service_config SUBMIT_MAX_SIZE=100 REVIEW=no
requests=$(cv_requests count)
tui_to_collection
submit_and_fail
tui_keys Enter
tui_wait_exit
expect_contains /var/log/cvreport.log "Error: The report archive is $(stat -c %s "$dir/cvreport.tgz") bytes, larger than the 100 bytes"
! grep -q "│ Retry │" "$CV_SCREEN" || cv_fail "Retry offered for an archive the service will refuse"
expect_eq "$(cv_requests count)" "$requests" "requests for an archive over the limit"
cv_service_config REVIEW=no

# A busy service: the Sending window announces the retry under its scale
# for the pause the service asked, and the next attempt gets the report in.
cv_service_mode busy:1:4
filed=$(cv_requests count status=200)
cv_on_fail "cat '$WORK/sending'"
tui_to_collection
tui_wait_for "Submit report" 20
tui_keys Enter
tui_wait_for "(attempt 2 of 3)" 30
cp "$CV_SCREEN" "$WORK/sending"
expect_contains "$WORK/sending" "Upload failed (Server responded"
expect_contains "$WORK/sending" "trying again in 4 s"
tui_wait_for "Congratulations!" 30
tui_keys Enter
tui_wait_exit
expect_status 0
expect_eq "$(cv_requests count status=200)" $((filed + 1)) "reports filed"

cv_pass
