#!/usr/bin/env bash
# "Cancel" and "No" on every page bring the page back from its start; on the
# collection page the collector is stopped with all it started and a new one
# runs; a cancel on the submit page keeps the archive for good.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2 CV_PACE_HOLD=$WORK/hold
cv_service_start --repid 770043
cv_service_config

confirm_no() {
  tui_wait_for "Are you sure you want to cancel submitting the problem report?"
  tui_expect_cursor_on "No"
  tui_keys Enter
  tui_wait_gone "Are you sure you want to cancel"
}

tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys Tab Enter
confirm_no
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys F12 # the first button: Next
tui_wait_for "Problem Description:"

tui_tabs 2
tui_type "Ada Admin"
tui_keys Escape
confirm_no
tui_wait_for "Ada Admin__"
tui_expect_cursor_on "Next"
tui_tabs 3
tui_type "Example Hosting"
tui_keys Enter
tui_type "ada@example.net"
tui_keys Enter
tui_type "Containers stop"
tui_tabs 3
tui_keys Enter

# The collector is busy (it waits for the hold file) when Cancel is pressed.
tui_wait_for "Gathering information..."
tui_wait_for "0%"
expect_eq "$(wc -l <"$CV_OBSERVE/collector-pids")" 1 "collectors started"
tui_keys Enter
tui_wait_for "Are you sure you want to cancel submitting the problem report?"
tui_expect_collectors_gone "while the cancel is being confirmed"
tui_keys Enter
tui_wait_for "Gathering information..."
for ((i = 0; i < 50; i++)); do
  [ "$(wc -l <"$CV_OBSERVE/collector-pids")" = 2 ] && break
  sleep 0.1
done
expect_eq "$(wc -l <"$CV_OBSERVE/collector-pids")" 2 "collectors started"
[ ! -e "$CV_OBSERVE/overlaps" ] || cv_fail "a second collector ran beside the first"
touch "$CV_PACE_HOLD"

tui_wait_for "Submit report" 20
dir=$(cv_work_dirs)
tui_keys Left Enter
confirm_no
tui_wait_for "Submit report"
tui_expect_cursor_on "Submit │"
tui_keys Enter
tui_wait_for "Congratulations!" 30
tui_keys Enter
tui_wait_exit
expect_status 0
expect_contains "$CV_SCREEN" "Your problem report was assigned ID 770043"

expect_lacks /var/log/cvreport.log "Session has been canceled"
expect_contains /var/log/cvreport.log "Session finished"
expect_eq "$(cv_work_dirs)" "$dir" "kept work directory"
cmp -s "$dir/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "the kept archive differs"
expect_eq "$(cv_requests count auth=ok)" 1 "reports received"

cv_pass
