#!/usr/bin/env bash
# The console review: refused with -q or off a terminal; lists, shows, sends
# the reviewed bytes less the excluded files, or keeps the report back with
# its attention list beside it. Without it, the count and the list's place.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

SECRET_LINE="api_secret = Zr8kQ2mX9vB4nT7wL1pY"
HIT="etc/app/settings.conf:2: a value named as a secret"
# A collector that plants one line for the second scan, one masked value
# and one withheld item, and keeps a copy of the archive it packed.
cat >"$WORK/collector.sh" <<SH
#!/bin/bash
set -eu
files=\${!#} work=\$(dirname "\${!#}")
mkdir -p "\$files/etc/app" "\$files/collector"
printf 'listen = 8080\n%s\npassword = ********\n' '$SECRET_LINE' >"\$files/etc/app/settings.conf"
printf 'nothing to hide here\n' >"\$files/etc/app/notes.txt"
printf '# Collected for review\n' >"\$files/collector/manifest.txt"
printf '# Left out\n/etc/cv/keys: withheld: private keys\n' >"\$files/collector/skipped.txt"
tar czf "\$work/cvreport.tgz" -C "\$files" . && cp "\$work/cvreport.tgz" '$WORK/collected.tgz'
[ -z "\${CV_LIST_BLOCKED:-}" ] || mkdir "\$work/attention.txt"
SH
cv_collector "$WORK/collector.sh"
cv_service_start --repid 770051
cv_service_config

# Refusals: -q, no terminal on either side. Nothing starts, nothing is sent.
no_term="Error: --review needs a terminal on its input and output; without --review the report is sent unreviewed"
for case in "quiet|-q|Error: --review asks questions and cannot go with -q" \
  "no terminal||$no_term" "stdout not a terminal|script|$no_term"; do
  IFS='|' read -r what how why <<<"$case"
  case $how in
    script) cv_status script -qec "$(printf '%q ' "$BIN/cvreport" --review "${CV_CONTACT[@]}") >'$OUT' 2>'$ERR'" /dev/null </dev/null ;;
    *) run_cvreport --review ${how:+"$how"} "${CV_CONTACT[@]}" ;;
  esac
  expect_status 1
  expect_eq "$(cat "$ERR")" "$why" "--review refused ($what)"
  [ ! -e /var/log/cvreport.log ] && [ -z "$(cv_work_dirs)" ] && [ ! -e "$WORK/collected.tgz" ] ||
    cv_fail "a log, work directory or archive was made ($what)"
done

# The attention list of the newest kept entry, and no archive member.
expect_attention_kept() {
  expect_eq "$(stat -c %a "$KEPT/attention.txt") $(cat "$KEPT/attention.txt")" "600 $HIT" "the kept attention list"
  ! tar tzf "$KEPT/cvreport.tgz" | grep -q attention || cv_fail "the attention list is in the archive"
}

# Without --review: the count and the list's place come first.
cv_service_mode error500
run_cvreport "${CV_CONTACT[@]}"
expect_status 7
notice=$(head -n 1 "$ERR")
[[ $notice == "1 line needs your attention before this report leaves; the list is in /tmp/cvreport."??????"/attention.txt" ]] || cv_fail "the notice: [$notice]"
expect_kept_report "Disk full" "" "$notice"
cv_service_mode ok

# A review that cannot be prepared is one warning; the report goes on unreviewed.
CV_LIST_BLOCKED=1 run_cvreport "${CV_CONTACT[@]}"
expect_status 0
[[ $(cat "$ERR") == "Warning: the report could not be prepared for review (Can't write /tmp/cvreport."??????"/attention.txt: Is a directory); it goes on unreviewed" ]] || cv_fail "the warning: [$(cat "$ERR")]"
expect_contains "$OUT" "Your problem report was assigned ID 770051"

# A review that excludes the file with the line to look at, then sends.
tui_start --review "${CV_CONTACT[@]}"
tui_wait_for "Review>"
for shown in "  68 bytes       1          1  etc/app/settings.conf" "/etc/cv/keys: withheld: private keys" "  $HIT"; do
  tui_wrote "$shown" || cv_fail "the review's list lacks [$shown]"
done
for step in "view etc/app/settings.conf|>>      2 [a value named as a secret]  $SECRET_LINE" \
  "view etc/app/notes.txt|        1  nothing to hide here" \
  "exclude etc/app/absent.conf|The report has no file etc/app/absent.conf; \"list\" shows its files." \
  "exclude description|description stays: the report cannot go without it." \
  "exclude etc/app/notes.txt|etc/app/notes.txt will be left out of the report." \
  "include etc/app/notes.txt|etc/app/notes.txt will be sent." \
  "exclude etc/app/settings.conf|etc/app/settings.conf will be left out of the report." \
  "list|etc/app/settings.conf  [excluded]" "shout|Unknown command: shout"; do
  tui_type "${step%%|*}"
  tui_keys Enter
  cv_wait_for 15 "[${step%%|*}] to print [${step#*|}]" tui_wrote "${step#*|}"
done
tui_type send && tui_keys Enter
tui_wait_exit
expect_status 0
mkdir "$WORK/before" "$WORK/sent"
tar xzf "$WORK/collected.tgz" -C "$WORK/before"
tar xzf "$CV_RECORDS/$(cv_requests part report stored)" -C "$WORK/sent"
rm "$WORK/before/etc/app/settings.conf"
printf 'etc/app/settings.conf\texcluded\tby the reporter\n' >>"$WORK/before/collector/manifest.txt"
diff -r "$WORK/before" "$WORK/sent" >&2 || cv_fail "what was sent is not what was reviewed less the excluded file"

# Kept back: "abort", the end of the input, Ctrl-C (as any interrupted run),
# and a review that could not be prepared: nothing is sent unseen.
kept_back="The report was kept back at your request and not sent."
for case in "abort|8|$kept_back" "C-d|8|$kept_back" "C-c|130|Report interrupted by SIGINT: nothing was sent." \
  "blocked|8|it was kept back and not sent."; do
  IFS='|' read -r keys status said <<<"$case"
  requests=$(cv_requests count)
  TUI_ENV=()
  [ "$keys" != blocked ] || TUI_ENV=(CV_LIST_BLOCKED=1)
  tui_start --review "${CV_CONTACT[@]}"
  case $keys in
    abort) tui_wait_for "Review>" && tui_type abort && tui_keys Enter ;;
    C-?) tui_wait_for "Review>" && tui_keys "$keys" ;;
  esac
  tui_wait_exit
  expect_status "$status"
  KEPT=$(cv_kept_reports | tail -n 1)
  # The store takes no entry whose attention list is not a file.
  [ "$keys" != blocked ] || KEPT=$(cv_work_dirs | tail -n 1)
  tui_wrote "$said" && tui_wrote "Please send the $KEPT/cvreport.tgz file containing the generated report" ||
    cv_fail "[$keys] did not say [$said] and where the report is kept"
  cmp -s "$KEPT/cvreport.tgz" "$WORK/collected.tgz" || cv_fail "[$keys] kept an archive other than the reviewed one"
  [ "$keys" = blocked ] || expect_attention_kept
  expect_eq "$(cv_requests count)" "$requests" "requests after [$keys]"
  expect_contains /var/log/cvreport.log "$said"
done

cv_pass
