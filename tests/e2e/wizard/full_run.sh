#!/usr/bin/env bash
# A whole report through the wizard: welcome, contact details with the
# multi-line description edited across lines, the collection with its
# progress, the review, the submission, the problem ID, and the exit text
# on the restored terminal.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=1.5
cv_service_start --repid 770042
cv_service_config
cv_release "Orbelin Nimbus Server 6.2.1"

tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
expect_eq "$(head -n 1 "$CV_SCREEN" | sed 's/ *$//')" "Corvanta 6.2.1 Problem Report" "banner"
tui_keys Enter
tui_wait_for "Problem Description:"

# Single-line entries: Up and Down leave the focus where it is, Enter moves on.
tui_tabs 2
tui_type "Ada"
tui_keys Up
tui_type " Admin"
tui_keys Enter
tui_type "Example"
tui_keys Down
tui_type " Hosting"
tui_keys Enter
tui_type "ada@example.net"
tui_keys Enter
tui_type "Containers stop"
tui_keys Enter
tui_wait_for "Containers stop_"

# The description: Enter splits a line, Backspace at a line start joins it
# back, Up and Down keep the column.
tui_type "first line"
tui_keys Enter
tui_type "second"
tui_keys Left Left Left Enter
tui_wait_for "ond___"
tui_keys BSpace Up
tui_type "X"
tui_keys Down
tui_type "Y"
tui_wait_for "secoYnd__"
tui_wait_for "firXst line__"

# Past ten lines the view follows the cursor.
tui_keys C-e
for n in 03 04 05 06 07 08 09 10 11 12 13; do
  tui_keys Enter
  tui_type "row $n"
done
tui_wait_for "row 13__"
grep -qF "firXst line" "$CV_SCREEN" && cv_fail "the first line is still in view"
grep -qF "row 04__" "$CV_SCREEN" || cv_fail "the view does not end with the cursor's line"
tui_keys C-a
tui_wait_for "firXst line__"
grep -qF "row 13" "$CV_SCREEN" && cv_fail "the last line is still in view after Home"

# Ctrl-K, Ctrl-U and Delete at a line end, on "row 03".
tui_keys Down Down Right Right Right C-k Left C-u Right Delete
tui_wait_for "wrow 04__"
tui_tabs 2
tui_keys Enter

tui_wait_for "Gathering information..."
tui_wait_for "40%"
# Past the names box, left unchecked, Next sends the report on as it is.
tui_wait_for "Review the report" 20
expect_contains "$CV_SCREEN" "[ ] Replace host names, addresses and user names"
tui_keys Tab Tab
tui_expect_cursor_on "│ Next │"
tui_keys Enter
tui_wait_for "Submit report" 20
dir=$(cv_work_dirs)
expect_contains "$CV_SCREEN" "$dir/cvreport.tgz file."
tui_keys Enter
tui_wait_for "Congratulations!" 30
expect_contains "$CV_SCREEN" "Your problem report was assigned ID 770042"
tui_keys Enter
tui_wait_exit
expect_status 0

# The exit text, laid out for 64 columns, below whatever the terminal held.
sed -n '/^Your problem report/,$p' "$CV_SCREEN" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' >"$WORK/exit-text"
cat >"$WORK/expected-exit-text" <<'TEXT'
Your problem report was assigned ID 770042

Please refer to this ID when contacting the Corvanta technical
support.

You have been sent an email notification about the report with
additional instructions on how you can further communicate with
the Corvanta support team via email.
TEXT
diff -u "$WORK/expected-exit-text" "$WORK/exit-text" >&2 || cv_fail "exit text differs"

description=$'firXst line\nsecoYnd\nwrow 04'
for n in 05 06 07 08 09 10 11 12 13; do description+=$'\n'"row $n"; done
printf 'Full name: Ada Admin\nCompany: Example Hosting\nE-mail: ada@example.net\nSubject: Containers stop\nIssue: %s\n' \
  "$description" >"$WORK/expected-description"
diff -u "$WORK/expected-description" "$CV_OBSERVE/description" >&2 || cv_fail "contact file differs"
expect_eq "$(cv_requests part issue value)" "$description" "description sent"
expect_eq "$(cv_requests part cv_version value)" "6.2.1" "version sent"
expect_eq "$(cat "$CV_OBSERVE/args")" $'-d\n'"$dir/files" \
  "collector arguments"

expect_contains /var/log/cvreport.log "Session finished"
expect_lacks /var/log/cvreport.log "Session has been canceled"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
tui_wrote "Cleaning up..." || cv_fail "no cleanup window"

cv_pass
