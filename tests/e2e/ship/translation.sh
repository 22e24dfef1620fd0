#!/usr/bin/env bash
# A translation made from the built template reaches the wizard: with a
# catalogue of the default domain for the user's language (every label of
# cvreport.pot in capitals) the titles and buttons show translated, the
# page texts that do not go through gettext stay as they are. So the
# template's entries are exactly the texts the wizard looks up, and it
# looks them up in the default domain.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../tui.sh
source "$SRC/tests/tui.sh"

POT=$CV_SANDBOX/build/po/cvreport.pot
[ -f "$POT" ] || cv_skip "the build made no cvreport.pot"
for tool in msgfmt localedef; do
  command -v "$tool" >/dev/null || cv_skip "$tool is not installed"
done

# A locale other than C, built privately (the host may have none).
mkdir -p "$WORK/locale"
localedef -i en_US -f UTF-8 "$WORK/locale/en_US.UTF-8" >/dev/null 2>&1 ||
  cv_skip "no en_US locale can be built here"

# The catalogue: every entry of the template, its text in capitals.
python3 - "$POT" "$WORK/caps.po" <<'PY'
import re, sys
out = []
for block in open(sys.argv[1], encoding="utf-8").read().split("\n\n"):
    m = re.search(r'^msgid ((?:".*"\n?)+)msgstr ""', block, re.M)
    if not m:
        out.append(block)
        continue
    msgid = "".join(re.findall(r'"(.*)"', m.group(1)))
    if msgid == "":
        block = block.replace("charset=CHARSET", "charset=UTF-8").replace("#, fuzzy\n", "")
        out.append(block)
        continue
    out.append(block[: m.end() - 2] + '"%s"' % msgid.upper())
open(sys.argv[2], "w", encoding="utf-8").write("\n\n".join(out))
PY
[ -d /usr/share/locale ] || cv_skip "there is no /usr/share/locale"
cv_overlay /usr/share/locale
mkdir -p /usr/share/locale/en_US/LC_MESSAGES
msgfmt --check -o /usr/share/locale/en_US/LC_MESSAGES/messages.mo "$WORK/caps.po" 2>"$WORK/msgfmt.err" ||
  cv_fail "the catalogue made from the template does not compile: $(cat "$WORK/msgfmt.err")"

cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"
TUI_ENV=(LOCPATH="$WORK/locale" LC_ALL=en_US.UTF-8)

# The welcome page: its title is not looked up, its buttons are.
tui_start
tui_wait_for "Welcome to Corvanta Problem Report wizard!"
tui_wait_for "NEXT"
grep -qF "CANCEL" "$CV_SCREEN" || cv_fail "the Cancel button is not translated"
! grep -qF "Next" "$CV_SCREEN" || cv_fail "an untranslated Next button"

# The contact page: title and buttons translated, field labels as they are.
tui_keys Enter
tui_wait_for "YOUR CONTACT INFORMATION AND PROBLEM DESCRIPTION"
for text in BACK NEXT CANCEL "Problem Description:"; do
  grep -qF -- "$text" "$CV_SCREEN" || cv_fail "the contact page lacks [$text]"
done

# The cancel confirmation, everything in it looked up; then the clean-up.
tui_keys Tab Enter
tui_wait_for "ARE YOU SURE YOU WANT TO CANCEL SUBMITTING THE PROBLEM REPORT?"
for text in "WARNING!" YES NO; do
  grep -qF -- "$text" "$CV_SCREEN" || cv_fail "the confirmation lacks [$text]"
done
tui_keys Left Enter
tui_wait_exit
expect_status 0
tui_wrote "CLEANING UP..." || cv_fail "the clean-up notice is not translated"
expect_contains /var/log/cvreport.log "Session has been canceled"

cv_pass
