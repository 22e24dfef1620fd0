#!/usr/bin/env bash
# The check before collecting, behind a notice: a signal ends the wizard; a
# service that cannot be reached gets a box naming the reason. Cancel ends
# the wizard at once; Continue collects.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
cv_silent_start
cv_config "SUBMIT_URI=https://127.0.0.1:$CV_SILENT_PORT/submit"

TUI_AFTER_CONTACT="Checking the support service..." tui_to_collection
cv_wait_for 15 "the check to connect" cv_silent_connected
kill -TERM "$(pgrep -xf "$BIN/cvreport")"
tui_wait_exit
expect_status 143
grep -qxF "Report interrupted by SIGTERM: nothing was sent." "$CV_SCREEN" || cv_fail "no interrupted line"

# to_box REASON: the box, with the focus on Continue, and nothing collected.
to_box() {
  TUI_AFTER_CONTACT="The support service cannot be reached" tui_to_collection
  tui_expect_cursor_on "Continue │"
  expect_contains /var/log/cvreport.log "$(cv_unreachable_warning "$1")"
  [ ! -s "$CV_OBSERVE/collector-pids" ] || cv_fail "collected before the box"
}
to_box "127.0.0.1:$CV_SILENT_PORT did not answer within 10 seconds"
tui_keys Tab Enter
tui_wait_exit
expect_status 0
expect_contains /var/log/cvreport.log "Session has been canceled"
! tui_wrote "Are you sure you want to cancel" || cv_fail "Cancel asked again"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left after Cancel"

cv_config "SUBMIT_URI=http://127.0.0.1:9/submit" REVIEW=no
to_box "cannot connect to 127.0.0.1:9: Connection refused"
tui_keys Enter
tui_wait_for "Submit report" 20

cv_pass
