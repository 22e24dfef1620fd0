#!/usr/bin/env bash
# A service that cannot be reached is found before collecting: a box names
# the reason, and the user chooses. Cancel ends the wizard as a confirmed
# cancel does, nothing collected; Continue collects, and the failed upload
# keeps the archive.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2
cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"
warning=$(cv_unreachable_warning "cannot connect to 127.0.0.1:9: Connection refused")

# The box, after the contact page, with the focus on Continue.
to_box() {
  tui_past_contact
  tui_wait_for "The support service cannot be reached"
  tui_expect_cursor_on "Continue │"
  expect_contains "$CV_SCREEN" "Cancel"
  tui_lacks "Gathering information..." || cv_fail "collection shown behind the box"
  expect_contains /var/log/cvreport.log "$warning"
}

# Cancel: the wizard ends at once, no question, nothing collected or kept.
to_box
tui_keys Tab Enter
tui_wait_exit
expect_status 0
expect_contains /var/log/cvreport.log "Session has been canceled"
tui_wrote "Are you sure you want to cancel" && cv_fail "Cancel asked again"
[ ! -s "$CV_OBSERVE/collector-pids" ] || cv_fail "collected after Cancel"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
rm -f /var/log/cvreport.log

# Continue: collected, the upload fails, the archive stays.
to_box
tui_keys Enter
tui_wait_for "Gathering information..."
tui_wait_for "Submit report" 20
tui_keys Enter
tui_wait_for "Failed to submit your report:" 30
tui_keys Enter
tui_wait_exit
expect_status 0
[ -s "$CV_OBSERVE/archive.tgz" ] || cv_fail "not collected after Continue"
[ -n "$(cv_work_dirs)" ] || cv_fail "archive not kept after Continue"
expect_lacks /var/log/cvreport.log "Session has been canceled"

cv_pass
