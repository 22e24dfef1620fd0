#!/usr/bin/env bash
# On an 80x24 terminal the contact page shows fewer lines of the
# description, so that the whole page with its buttons stays on the screen.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"
CV_TUI_ROWS=24

tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
grep -q "│ Next │" "$CV_SCREEN" || cv_fail "the welcome page's buttons are off the screen"
tui_keys Enter
tui_wait_for "Problem Description:"
grep -q "│ Back │  │ Next │  │ Cancel │" "$CV_SCREEN" || cv_fail "the buttons are off the screen"
grep -q "┤ Your contact information and problem description ├" "$CV_SCREEN" ||
  cv_fail "the title is off the screen"
expect_eq "$(grep -c '│ ______________________________________________________________ │' "$CV_SCREEN")" 4 \
  "description lines in view"

tui_tabs 6
for n in 1 2 3 4 5 6; do
  tui_type "row $n"
  [ "$n" = 6 ] || tui_keys Enter
done
tui_wait_for "row 6__"
for n in 3 4 5 6; do grep -q "row ${n}__" "$CV_SCREEN" || cv_fail "row $n is not in view"; done
grep -q "row 2__" "$CV_SCREEN" && cv_fail "row 2 is still in view"

tui_keys Tab Tab Tab Enter
tui_wait_for "Are you sure you want to cancel submitting the problem report?"
tui_keys F12
tui_wait_exit
expect_status 0

cv_pass
