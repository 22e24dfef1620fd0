#!/usr/bin/env bash
# A confirmed cancel ends the wizard: logged, the work directory removed,
# nothing left on the terminal; on the collection page no collector process
# outlives it, not even a command the collector runs under timeout. F12 in
# the confirmation confirms too. SIGTERM on the collection page ends the
# wizard the same way, with status 143 and a line that says so.
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

# The shipped collector, busy in a slow command that timeout keeps in a
# process group of its own: the cancel stops that command too.
cv_collector
cv_overlay /usr/sbin
# The marker names this run alone: other cases may run at the same time.
MARKER=cv-slow-$(basename "$CV_SANDBOX")
printf '#!/bin/bash\nexec -a %s sleep 600\n' "$MARKER" >/usr/sbin/dmesg
chmod 0755 /usr/sbin/dmesg
cv_on_exit "pkill -KILL -f $MARKER"
tui_to_collection
for ((i = 0; i < 100; i++)); do
  pgrep -f "$MARKER" >/dev/null && break
  sleep 0.1
done
pgrep -f "$MARKER" >/dev/null || cv_fail "the slow command did not start"
tui_keys Enter
tui_wait_for "Are you sure you want to cancel submitting the problem report?"
[ -z "$(pgrep -f "$MARKER")" ] || cv_fail "the slow command outlived the cancel"
tui_keys Left Enter
expect_canceled

tui_to_collection
for ((i = 0; i < 100; i++)); do
  pgrep -f "$MARKER" >/dev/null && break
  sleep 0.1
done
kill -TERM "$(pgrep -xf "$BIN/cvreport")"
tui_wait_exit
expect_status 143
[ -z "$(pgrep -f "$MARKER")" ] || cv_fail "the slow command outlived SIGTERM"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left after SIGTERM: $(cv_work_dirs)"
tui_capture
grep -qxF "Report interrupted by SIGTERM: nothing was sent." "$CV_SCREEN" ||
  tui_fail "no line saying the report was interrupted"
expect_contains /var/log/cvreport.log "Report interrupted by SIGTERM: nothing was sent."

cv_pass
