#!/usr/bin/env bash
# A failed upload shows the reason with the manual-send hint, ends the
# wizard, keeps the archive, and leaves the same text, laid out for 64
# columns, on the restored terminal. Which failure gives which reason is
# tests/e2e/cvreport/upload_failures.sh's table; here one reply proves the
# wizard shows what the upload gave, and the failures of the wizard's own
# worker handling (fork, wait) and a long reply show as the wizard lays out.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2
cv_service_start
cv_service_config

# Submits from the collection page and waits for the error dialog.
submit_and_fail() {
  tui_wait_for "Submit report" 20
  dir=$(cv_work_dirs)
  tui_keys Enter
  tui_wait_for "Failed to submit your report:" 30
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
  } >"$WORK/expected-exit-text"
  sed -n '/^Failed to submit your report:/,$p' "$CV_SCREEN" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' \
    >"$WORK/exit-text"
  diff -u "$WORK/expected-exit-text" "$WORK/exit-text" >&2 || cv_fail "exit text differs"
  expect_eq "$(cv_work_dirs)" "$dir" "kept work directory"
  cmp -s "$dir/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "kept archive differs"
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
expect_contains "$CV_SCREEN" "Please send the $dir/cvreport.tgz file"
expect_kept "Disk full"
expect_contains "$CV_RECORDS/requests.jsonl" '"status": 500'

# The upload worker cannot be forked (the collector was the first fork).
cv_service_mode ok
TUI_ENV=(LD_PRELOAD="$CV_SANDBOX/build/lib/libcvfault.so" CV_FAULT_FORK_AT=2)
tui_to_collection
submit_and_fail
expect_kept "Can't fork"

# Waiting for the worker fails.
TUI_ENV=(LD_PRELOAD="$CV_SANDBOX/build/lib/libcvfault.so" CV_FAULT_WAITPID_NOHANG=1)
tui_to_collection
submit_and_fail
expect_kept "Fatal error"
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
cv_service_config SUBMIT_MAX_SIZE=100
requests=$(cv_requests count)
tui_to_collection
submit_and_fail
tui_keys Enter
tui_wait_exit
expect_contains /var/log/cvreport.log "Error: $dir/cvreport.tgz is $(stat -c %s "$dir/cvreport.tgz") bytes, larger than the 100 bytes"
expect_eq "$(cv_requests count)" "$requests" "requests for an archive over the limit"

cv_pass
