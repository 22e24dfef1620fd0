#!/usr/bin/env bash
# A report run that cannot start is shown in the error dialog, logged, and
# ends the wizard with status 0, without a work directory and without the
# cleanup window.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

# No configuration file.
tui_start
tui_wait_for "No /etc/cvreport.conf config file"
expect_eq "$(tui_window_text "No /etc/cvreport.conf")" "No /etc/cvreport.conf config file" "dialog text"
grep -q "┤ Error ├" "$CV_SCREEN" || cv_fail "the dialog is not titled Error"
grep -q "│ Exit │" "$CV_SCREEN" || cv_fail "the dialog has no Exit button"
tui_keys Enter
tui_wait_exit
expect_status 0
expect_contains /var/log/cvreport.log "Session started"
expect_contains /var/log/cvreport.log "Error: No /etc/cvreport.conf config file"
expect_contains /var/log/cvreport.log "Session finished"
[ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made"
[ -z "$(grep -v '^ *$' "$CV_SCREEN")" ] || cv_fail "text left on the terminal"
tui_wrote "Corvanta 3.0.0 Problem Report" || cv_fail "the terminal's record lacks the banner"
! tui_wrote "Cleaning up..." || cv_fail "the cleanup window was shown without a work directory"

# An empty SUBMIT_URI.
cv_config "SUBMIT_URI="
tui_start
tui_wait_for "No or empty SUBMIT_URI config parameter"
tui_keys Enter
tui_wait_exit
expect_status 0
[ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made"

# An address root must not hand to libcurl, and a configuration others can
# change: refused in the dialog before anything is collected.
cv_config "SUBMIT_URI=file:///etc/shadow"
tui_start
tui_wait_for "SUBMIT_URI must be an http or https URL"
expect_eq "$(tui_window_text "SUBMIT_URI must")" "SUBMIT_URI must be an http or https URL: file:///etc/shadow" "dialog text"
tui_keys Enter
tui_wait_exit
expect_status 0
expect_contains /var/log/cvreport.log "Error: SUBMIT_URI must be an http or https URL: file:///etc/shadow"
[ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made"
cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"
chmod 0666 /etc/cvreport.conf
tui_start
tui_wait_for "is writable by others than root"
tui_keys Enter
tui_wait_exit
expect_status 0
expect_contains /var/log/cvreport.log "Error: /etc/cvreport.conf is writable by others than root (mode 0666): run chmod go-w /etc/cvreport.conf"
[ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made"

# A log that cannot be written: said on the screen, nothing logged.
cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"
rm -f /var/log/cvreport.log
mount -o remount,ro,bind /var/log
tui_start
tui_wait_for "Can't open log file"
tui_keys Enter
tui_wait_exit
expect_status 0
[ ! -e /var/log/cvreport.log ] || cv_fail "a log was written"
[ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made without a log"

cv_pass
