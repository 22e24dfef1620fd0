#!/usr/bin/env bash
# The console review: --review is refused before anything starts with -q or
# without a terminal; on a terminal it lists the files, what the collector
# withheld and the lines to look at, shows a file with those lines marked,
# and sends exactly the reviewed bytes less the excluded files, or keeps
# the report back ("abort", the end of the input, Ctrl-C) with the attention
# list beside it. Without --review the report says how many lines need a
# look and where the list is, which never goes into the archive.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/tui.sh"

SECRET_LINE="api_secret = Zr8kQ2mX9vB4nT7wL1pY"
HIT="etc/app/settings.conf:2: a value named as a secret"
# A collector that plants one line for the second scan, one masked value
# and one withheld item, and keeps a copy of the archive it packed.
cat >"$WORK/collector.sh" <<SH
#!/bin/bash
set -eu
files=\${!#}
mkdir -p "\$files/etc/app" "\$files/collector"
printf 'listen = 8080\n%s\npassword = ********\n' '$SECRET_LINE' >"\$files/etc/app/settings.conf"
printf 'nothing to hide here\n' >"\$files/etc/app/notes.txt"
printf '# Collected for review\n' >"\$files/collector/manifest.txt"
printf '# Items left out of this report, and why\n/etc/cv/keys: withheld: private keys\n' \
  >"\$files/collector/skipped.txt"
tar czf "\$(dirname "\$files")/cvreport.tgz" -C "\$files" .
[ -z "\${CV_LIST_BLOCKED:-}" ] || mkdir "\$(dirname "\$files")/attention.txt"
cp "\$(dirname "\$files")/cvreport.tgz" '$WORK/collected.tgz'
SH
cv_collector "$WORK/collector.sh"
cv_service_start --repid 770051
cv_service_config

# Refusals: -q, no terminal on either side. Nothing starts, nothing is sent.
no_term="Error: --review needs a terminal on its input and output; without --review the report is sent unreviewed"
command_line=$(printf '%q ' "$BIN/cvreport" --review "${CV_CONTACT[@]}")
for case in "quiet|-q|Error: --review asks questions and cannot go with -q" \
  "no terminal||$no_term" "stdout not a terminal|script|$no_term"; do
  IFS='|' read -r what how why <<<"$case"
  case $how in
    script) cv_status script -qec "$command_line >'$OUT' 2>'$ERR'" /dev/null </dev/null ;;
    *) run_cvreport --review ${how:+"$how"} "${CV_CONTACT[@]}" ;;
  esac
  expect_status 1
  expect_eq "$(cat "$ERR")" "$why" "--review refused ($what)"
  expect_empty "$OUT"
  [ ! -e /var/log/cvreport.log ] || cv_fail "a log was written ($what)"
  [ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made ($what)"
  [ ! -e "$WORK/collected.tgz" ] || cv_fail "collected ($what)"
done
expect_eq "$(cv_requests count)" 0 "requests of refused runs"

members() { tar tzf "$1" | sed 's|^\./||' | grep -vE '^$|/$' | sort; }

# The attention list of the newest kept entry, and no archive member.
expect_attention_kept() {
  expect_eq "$(cat "$KEPT/attention.txt")" "$HIT" "the kept attention list"
  expect_eq "$(stat -c %a "$KEPT/attention.txt")" 600 "the attention list's mode"
  members "$KEPT/cvreport.tgz" | grep -qx attention.txt && cv_fail "the attention list is in the archive"
  return 0
}

# Without --review: the count and the list's place first, the report kept
# on a refusal with its list beside it.
cv_service_mode error500
run_cvreport "${CV_CONTACT[@]}"
expect_status 7
notice=$(head -n 1 "$ERR")
[[ $notice =~ ^"1 line needs your attention before this report leaves; the list is in /tmp/cvreport."[A-Za-z0-9]{6}"/attention.txt"$ ]] ||
  cv_fail "the attention notice: [$notice]"
expect_kept_report "Disk full" "" "$notice"
expect_attention_kept
cv_service_mode ok

# A review that cannot be prepared (here its list cannot be written) is one
# warning, and the report goes on unreviewed rather than lost.
CV_LIST_BLOCKED=1 run_cvreport "${CV_CONTACT[@]}"
expect_status 0
[[ $(cat "$ERR") =~ ^"Warning: the report could not be prepared for review (Can't write /tmp/cvreport."[A-Za-z0-9]{6}"/attention.txt: Is a directory); it goes on unreviewed"$ ]] ||
  cv_fail "the warning of a review not prepared: [$(cat "$ERR")]"
expect_contains "$OUT" "Your problem report was assigned ID 770051"

# A review that excludes the file with the line to look at, then sends.
tui_start --review "${CV_CONTACT[@]}"
tui_wait_for "Review>"
for shown in "etc/app/settings.conf" "/etc/cv/keys: withheld: private keys" "  $HIT" \
  "Commands: list, view FILE, exclude FILE, include FILE, send, abort"; do
  tui_shows "$shown" || cv_fail "the review's list lacks [$shown]"
done
grep -qE '^ +[0-9]+ bytes +1 +1  etc/app/settings.conf$' "$CV_SCREEN" ||
  cv_fail "settings.conf's row lacks its masked value and attention line"
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
tui_type send
tui_keys Enter
tui_wait_exit
expect_status 0
tui_wrote "Your problem report was assigned ID 770051" || cv_fail "no problem ID after send"
sent=$CV_RECORDS/$(cv_requests part report stored)
mkdir "$WORK/before" "$WORK/sent"
tar xzf "$WORK/collected.tgz" -C "$WORK/before"
tar xzf "$sent" -C "$WORK/sent"
diff <(members "$WORK/collected.tgz" | grep -vx etc/app/settings.conf) <(members "$sent") >&2 ||
  cv_fail "the sent archive's files are not the reviewed ones less the excluded one"
while IFS= read -r file; do
  [ "$file" = collector/manifest.txt ] && continue
  cmp -s "$WORK/before/$file" "$WORK/sent/$file" || cv_fail "$file differs from what was reviewed"
done < <(members "$sent")
expect_eq "$(head -n 1 "$WORK/sent/collector/manifest.txt")" "# Collected for review" "the manifest's first line"
expect_eq "$(tail -n 1 "$WORK/sent/collector/manifest.txt")" \
  "etc/app/settings.conf$(printf '\t')excluded$(printf '\t')by the reporter" "the manifest's exclusion record"
expect_eq "$(cv_requests part report complete)" True "the uploaded archive part"

# Keeping the report back: "abort", the end of the input, and Ctrl-C at
# the prompt, which the run ends as any interrupted one.
kept_back="The report was kept back at your request and not sent."
for case in "abort|8|$kept_back" "C-d|8|$kept_back" "C-c|130|Report interrupted by SIGINT: nothing was sent."; do
  IFS='|' read -r keys status said <<<"$case"
  requests=$(cv_requests count)
  tui_start --review "${CV_CONTACT[@]}"
  tui_wait_for "Review>"
  if [ "$keys" = abort ]; then tui_type abort && tui_keys Enter; else tui_keys "$keys"; fi
  tui_wait_exit
  expect_status "$status"
  KEPT=$(cv_kept_reports | tail -n 1)
  for line in "$said" "Please send the $KEPT/cvreport.tgz file containing the generated report manually"; do
    tui_wrote "$line" || cv_fail "[$keys] did not say [$line]"
  done
  cmp -s "$KEPT/cvreport.tgz" "$WORK/collected.tgz" || cv_fail "[$keys] kept an archive other than the reviewed one"
  expect_attention_kept
  expect_eq "$(cv_requests count)" "$requests" "requests after [$keys]"
  expect_contains /var/log/cvreport.log "$said"
done

cv_pass
