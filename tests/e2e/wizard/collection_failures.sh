#!/usr/bin/env bash
# A collector that fails, that cannot be executed or cannot be started ends
# the wizard after the error dialog; the work directory is removed and
# nothing is left on the terminal.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2
cv_silent_start
cv_config "SUBMIT_URI=http://127.0.0.1:$CV_SILENT_PORT/submit"

expect_ended_cleanly() {
  tui_keys Enter
  tui_wait_exit
  expect_status 0
  expect_contains /var/log/cvreport.log "Session finished"
  expect_lacks /var/log/cvreport.log "Session has been canceled"
  [ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
  [ -z "$(grep -v '^ *$' "$CV_SCREEN")" ] || cv_fail "text left on the terminal"
}

# The collector exits with status 1 after its progress lines.
export CV_COLLECTOR_EXIT=1
tui_to_collection
tui_wait_for "A fatal error occured while collecting the information" 20
expect_contains "$CV_SCREEN" "Error"
expect_contains "$CV_SCREEN" "Exit"
expect_ended_cleanly
expect_contains /var/log/cvreport.log "A fatal error occured while collecting the information"
[ -e "$CV_OBSERVE/archive.tgz" ] || cv_fail "the collector did not run to its end"
unset CV_COLLECTOR_EXIT
rm -f /var/log/cvreport.log

# The collector cannot be executed: its child says why in the log.
cv_config "SUBMIT_URI=http://127.0.0.1:$CV_SILENT_PORT/submit" "COLLECTOR_SCRIPT=/nonexistent/collector"
tui_to_collection
tui_wait_for "A fatal error occured while collecting the information" 20
expect_ended_cleanly
expect_contains /var/log/cvreport.log "Error: Can't execute an information collector: No such file or directory"
rm -f /var/log/cvreport.log

# The collector's fork fails.
cv_config "SUBMIT_URI=http://127.0.0.1:$CV_SILENT_PORT/submit"
TUI_ENV=(LD_PRELOAD="$CV_SANDBOX/build/lib/libcvfault.so" CV_FAULT_FORK_AT=1)
tui_to_collection
tui_wait_for "Fatal error: Can't fork!"
expect_ended_cleanly
expect_contains /var/log/cvreport.log "Can't fork: Resource temporarily unavailable"

cv_pass
