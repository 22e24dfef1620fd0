#!/usr/bin/env bash
# The run's private directory: mode 0700 with "files" inside, the contact file,
# the collector's arguments, and removal at the end.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config

run_cvreport -n "Ada Admin" -c "" -e "ada@example.net" -s "Disk fills up" -m "Since the update, /var/lib/cv fills."
expect_status 0
expect_eq "$(cat "$CV_OBSERVE/workdir-mode")" 700 "work directory mode"
expect_eq "$(cat "$CV_OBSERVE/filesdir-mode")" 700 "files directory mode"
workdir=$(cat "$CV_OBSERVE/workdir")
[[ $workdir =~ ^/tmp/cvreport\.[A-Za-z0-9]{6}$ ]] || cv_fail "work directory name $workdir"
printf '%s\n' "$workdir/files" >"$WORK/expected-args"
cmp -s "$CV_OBSERVE/args" "$WORK/expected-args" || cv_fail "collector arguments: $(cat "$CV_OBSERVE/args")"
printf 'Full name: Ada Admin\nCompany:   \nE-mail:    ada@example.net\nSubject:   Disk fills up\nIssue: Since the update, /var/lib/cv fills.\n' >"$WORK/expected-description"
cmp -s "$CV_OBSERVE/description" "$WORK/expected-description" || cv_fail "contact file differs"
[ ! -e "$workdir" ] || cv_fail "work directory left after success"
expect_contains /var/log/cvreport.log "diagnostic for the log"

# -p hands "-d" to the collector before the files directory.
run_cvreport -p "${CV_CONTACT[@]}"
expect_status 0
printf '%s\n' -d "$(cat "$CV_OBSERVE/workdir")/files" >"$WORK/expected-args"
cmp -s "$CV_OBSERVE/args" "$WORK/expected-args" || cv_fail "-p arguments: $(cat "$CV_OBSERVE/args")"
expect_contains "$OUT" "Progress: 100"

# Five empty fields still make a contact file with its five labels.
run_cvreport -n "" -c "" -e "" -s "" -m ""
expect_status 0
printf 'Full name: \nCompany:   \nE-mail:    \nSubject:   \nIssue: \n' >"$WORK/expected-description"
cmp -s "$CV_OBSERVE/description" "$WORK/expected-description" || cv_fail "empty contact file differs"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directories left: $(cv_work_dirs)"

cv_pass
