#!/usr/bin/env bash
# A confirmed cancel ends the wizard: logged, the work directory removed,
# nothing left on the terminal; on the collection page no collector process
# outlives it. F12 in the confirmation confirms too.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2 CV_PACE_HOLD=$WORK/hold
cv_service_start
cv_service_config

expect_canceled() {
  tui_wait_exit
  expect_status 0
  expect_contains /var/log/cvreport.log "Session has been canceled"
  expect_eq "$(grep -c 'Session finished' /var/log/cvreport.log)" 1 "Session finished records"
  [ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
  [ -z "$(grep -v '^ *$' "$CV_SCREEN")" ] || tui_fail "text left on the terminal"
  tui_wrote "Cleaning up..." || cv_fail "no cleanup window"
  rm -f /var/log/cvreport.log
}

# On the welcome page, with "Yes".
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys Tab Enter
tui_wait_for "Are you sure you want to cancel submitting the problem report?"
tui_keys Left Enter
expect_canceled

# On the contact page, with F12 in the confirmation.
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys Enter
tui_wait_for "Problem Description:"
tui_keys Tab Enter
tui_wait_for "Are you sure you want to cancel submitting the problem report?"
tui_keys F12
expect_canceled

# On the collection page while the collector is busy.
tui_to_collection
tui_wait_for "0%"
tui_keys Enter
tui_wait_for "Are you sure you want to cancel submitting the problem report?"
tui_keys Left Enter
expect_canceled
tui_expect_collectors_gone "after a confirmed cancel"
# A collector still around would now go on and make its archive.
touch "$CV_PACE_HOLD"
sleep 2
[ ! -e "$CV_OBSERVE/archive.tgz" ] || cv_fail "the collector went on after the cancel"

cv_pass
