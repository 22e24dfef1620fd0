#!/usr/bin/env bash
# The contact page's checks: missing fields listed in page order, an invalid
# e-mail address that brings the focus back to its entry, values trimmed
# before they are written, and Back that keeps what was typed unchecked.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

tui_paced_collector
export CV_PACE_DELAY=0.2
cv_silent_start
cv_config "SUBMIT_URI=http://127.0.0.1:$CV_SILENT_PORT/submit" REVIEW=no

tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_keys Enter
tui_wait_for "Problem Description:"
tui_expect_cursor_on "Next"

# Everything missing: all four, in page order.
tui_keys Enter
tui_wait_for "Please fill in the following fields:"
expect_eq "$(tui_window_text "Please fill in")" $'Please fill in the following fields:\n Full Name:\n Company:\n E-mail:\n Subject:' \
  "missing fields"
tui_keys Enter
tui_wait_gone "Please fill in the following fields:"
tui_expect_cursor_on "Next"

# Blanks alone count as missing; only the name and the subject are listed.
tui_tabs 2
tui_type "   "
tui_keys Enter
tui_type " Example Hosting "
tui_keys Enter
tui_type " ada+tag@example.net "
tui_keys Tab Tab
tui_type "  keeps its blanks  "
tui_keys Tab Tab Enter
tui_wait_for "Please fill in the following fields:"
expect_eq "$(tui_window_text "Please fill in")" $'Please fill in the following fields:\n Full Name:\n Subject:' \
  "missing name and subject"
tui_keys Enter
tui_wait_gone "Please fill in the following fields:"
tui_expect_cursor_on "Next"
expect_contains "$CV_SCREEN" "Example Hosting__"

# A name that ends in a non-ASCII letter, and an address with "+".
tui_tabs 2
tui_keys C-u
tui_type $'  Ada Admin\xc3\xa9  '
tui_tabs 3
tui_type "  Containers stop  "
tui_tabs 3
tui_keys Enter
tui_wait_for "Invalid e-mail."
tui_keys Enter
tui_wait_gone "Invalid e-mail."
tui_wait_for "Problem Description:"
tui_expect_cursor_on "ada+tag@example.net"

# Back takes the typed values along without checking them or writing them.
tui_tabs 3
tui_keys Enter
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
dir=$(cv_work_dirs)
[ ! -e "$dir/files/description" ] || cv_fail "Back wrote the contact file"
tui_keys Enter
tui_wait_for "Problem Description:"
expect_contains "$CV_SCREEN" "keeps its blanks"
tui_expect_cursor_on "ada+tag@example.net"

# A refusal for another reason forgets the address: the focus is on Next.
tui_keys C-u
tui_tabs 4
tui_keys Enter
tui_wait_for "Please fill in the following fields:"
expect_eq "$(tui_window_text "Please fill in")" $'Please fill in the following fields:\n E-mail:' "missing address"
tui_keys Enter
tui_wait_gone "Please fill in the following fields:"
tui_expect_cursor_on "Next"

# A valid address: the trimmed values reach the contact file; the
# description keeps its blanks.
tui_tabs 4
tui_type " ada@example.net "
tui_tabs 4
tui_keys Enter
tui_wait_for "Gathering information..."
tui_wait_for "Submit report" 20
printf 'Full name: Ada Admin\xc3\xa9\nCompany: Example Hosting\nE-mail: ada@example.net\nSubject: Containers stop\nIssue:   keeps its blanks  \n' \
  >"$WORK/expected-description"
diff -u "$WORK/expected-description" "$CV_OBSERVE/description" >&2 || cv_fail "contact file differs"
tui_keys Left Enter
tui_wait_for "Are you sure you want to cancel submitting the problem report?"
tui_keys Left Enter
tui_wait_exit
expect_status 0
expect_contains /var/log/cvreport.log "Session has been canceled"

cv_pass
