#!/usr/bin/env bash
# Cancel on every page asks first. "No" brings the page back as it was: on
# the collection page the collector is stopped with all it started and a
# new one runs; on the submit page the archive is kept for good. "Yes" (or
# F12 in the question) ends the wizard: logged, the work directory removed,
# no collector process left, not even a command the collector runs under
# timeout; the terminal is left empty, but on the submit page, where the
# archive is kept and the terminal says how to send it. SIGTERM on the
# collection page ends it the same way, with status 143 and a line saying so;
# a terminal that hangs up, as SIGHUP does.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2 CV_PACE_HOLD=$WORK/hold
cv_service_start --repid 770043
cv_service_config REVIEW=no
QUESTION="Are you sure you want to cancel submitting the problem report?"

# cancel ASK_KEYS ANSWER_KEYS: asks to cancel with the page's keys and
# answers the question, which opens with the cursor on "No".
cancel() {
  # shellcheck disable=SC2086 # key lists
  tui_keys $1
  tui_wait_for "$QUESTION"
  tui_expect_cursor_on "No"
  # shellcheck disable=SC2086
  tui_keys $2
}

expect_page_back() {
  tui_wait_gone "Are you sure you want to cancel"
  tui_wait_for "$1"
}

expect_canceled() {
  tui_wait_exit
  expect_status 0
  expect_contains /var/log/cvreport.log "Session has been canceled"
  expect_eq "$(grep -c 'Session finished' /var/log/cvreport.log)" 1 "Session finished records"
  [ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
  [ -z "$(grep -v '^ *$' "$CV_SCREEN")" ] || cv_fail "text left on the terminal"
  tui_wrote "Cleaning up..." || cv_fail "no cleanup window"
  rm -f /var/log/cvreport.log
}

# The page may show before the collector has written its pid.
collectors_started() { [ "$(cat "$CV_OBSERVE/collector-pids" 2>/dev/null | wc -l)" = "$1" ]; }

# --- "No" on every page, one run from the start to the end ------------------
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
cancel "Tab Enter" Enter
expect_page_back "Welcome to Corvanta Problem Report wizard!"
tui_keys F12 # the first button: Next
tui_wait_for "Problem Description:"

tui_tabs 2
tui_type "Ada Admin"
cancel Escape Enter
expect_page_back "Ada Admin__"
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
cv_wait_for 5 "the collector to start" collectors_started 1
tui_keys Enter
tui_wait_for "$QUESTION"
tui_expect_collectors_gone "while the cancel is being confirmed"
tui_keys Enter
tui_wait_for "Gathering information..."
cv_wait_for 5 "a second collector to start" collectors_started 2
[ ! -e "$CV_OBSERVE/overlaps" ] || cv_fail "a second collector ran beside the first"
touch "$CV_PACE_HOLD"

tui_wait_for "Submit report" 20
dir=$(cv_work_dirs)
cancel "Left Enter" Enter
expect_page_back "Submit report"
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
rm -rf "$dir" /var/log/cvreport.log "$CV_PACE_HOLD" "$CV_OBSERVE"

# --- "Yes" ends the wizard --------------------------------------------------
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
cancel "Tab Enter" "Left Enter"
expect_canceled

tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys Enter
tui_wait_for "Problem Description:"
cancel "Tab Enter" F12
expect_canceled

tui_to_collection
tui_wait_for "0%"
cv_wait_for 5 "the collector to start" collectors_started 1
cancel Enter "Left Enter"
expect_canceled
# The collector alone makes the archive: none of its processes may go on.
tui_expect_collectors_gone "after a confirmed cancel"

touch "$CV_PACE_HOLD"
tui_to_collection
tui_wait_for "Submit report" 20
cancel "Left Enter" "Left Enter"
tui_wait_exit
expect_status 0
expect_contains /var/log/cvreport.log "Session has been canceled"
tui_expect_kept
tr '\n' ' ' <"$CV_SCREEN" | grep -qF "Please send the $KEPT/cvreport.tgz file" || cv_fail "no hint"
rm -rf "$KEPT" "$CV_PACE_HOLD" /var/log/cvreport.log

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
cv_wait_for 10 "the slow command to start" pgrep -f "$MARKER"
tui_keys Enter
tui_wait_for "$QUESTION"
[ -z "$(pgrep -f "$MARKER")" ] || cv_fail "the slow command outlived the cancel"
tui_keys Left Enter
expect_canceled

tui_to_collection
cv_wait_for 10 "the slow command to start" pgrep -f "$MARKER"
kill -TERM "$(pgrep -xf "$BIN/cvreport")"
tui_wait_exit
expect_status 143
[ -z "$(pgrep -f "$MARKER")" ] || cv_fail "the slow command outlived SIGTERM"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left after SIGTERM: $(cv_work_dirs)"
grep -qxF "Report interrupted by SIGTERM: nothing was sent." "$CV_SCREEN" ||
  cv_fail "no line saying the report was interrupted"
expect_contains /var/log/cvreport.log "Report interrupted by SIGTERM: nothing was sent."
rm -f /var/log/cvreport.log

# A hangup, while collecting and on a page waiting for keys.
tui_to_collection
cv_wait_for 10 "the slow command to start" pgrep -f "$MARKER"
tui_hang_up
[ -z "$(pgrep -f "$MARKER")" ] || cv_fail "the slow command outlived the hangup"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left after the hangup: $(cv_work_dirs)"
expect_contains /var/log/cvreport.log "Report interrupted by SIGHUP: nothing was sent."
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_hang_up

cv_pass
