#!/usr/bin/env bash
# A contact file that cannot be created, or not written whole, ends the
# wizard after the error dialog, logged; the collector never runs and the
# work directory is removed.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"

expect_contact_error() {
  tui_wait_for "Error: Can't write the contact data!"
  grep -q "┤ Error ├" "$CV_SCREEN" || cv_fail "the dialog is not titled Error"
  tui_keys Enter
  tui_wait_exit
  expect_status 0
  expect_eq "$(grep -c "Error: Can't write the contact data!" /var/log/cvreport.log)" 1 "error records"
  expect_contains /var/log/cvreport.log "Session finished"
  [ ! -e "$CV_OBSERVE/collector-pids" ] || cv_fail "the collector ran"
  [ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
  rm -f /var/log/cvreport.log
}

# No inode left for the file: /tmp holds just the two directories.
mount -t tmpfs -o nr_inodes=3,mode=1777 cvreport-full /tmp
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys Enter
tui_wait_for "Problem Description:"
tui_fill_contact "Ada Admin" "Example Hosting" "ada@example.net" "Containers stop" "Stops."
expect_contact_error
umount /tmp

# Room for the file but not for all it must hold.
mount -t tmpfs -o size=4k,mode=1777 cvreport-small /tmp
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys Enter
tui_wait_for "Problem Description:"
tui_tabs 2
tui_type "Ada Admin"
tui_keys Enter
tui_type "Example Hosting"
tui_keys Enter
tui_type "ada@example.net"
tui_keys Enter
tui_type "Containers stop"
tui_keys Enter
line=$(printf 'x%.0s' $(seq 1 100))
for ((i = 0; i < 50; i++)); do
  tui_type "$line"
  tui_keys Enter
done
tui_tabs 2
tui_keys Enter
expect_contact_error
umount /tmp

cv_pass
