#!/usr/bin/env bash
# A run that cannot start says why, logs it, and leaves no work directory.
source "$(dirname "$0")/../../common.sh"

record='^[A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: '

# No configuration file.
run_cvreport "${CV_CONTACT[@]}"
expect_status 1
expect_eq "$(cat "$ERR")" "No /etc/cvreport.conf config file"
expect_empty "$OUT"
grep -qE "${record}Session started\$" /var/log/cvreport.log || cv_fail "no Session started record"
grep -qE "${record}Error: No /etc/cvreport.conf config file\$" /var/log/cvreport.log ||
  cv_fail "no error record"
grep -qE "${record}Session finished\$" /var/log/cvreport.log || cv_fail "no Session finished record"
[ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was left"

# SUBMIT_URI present but empty, and absent.
for conf in "SUBMIT_URI=" "COLLECTOR_SCRIPT=/bin/true"; do
  cv_config "$conf"
  run_cvreport "${CV_CONTACT[@]}"
  expect_status 1
  expect_eq "$(cat "$ERR")" "No or empty SUBMIT_URI config parameter"
  [ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was left for [$conf]"
done

# A log that cannot be written stops the run before anything else.
cv_config "SUBMIT_URI=http://127.0.0.1:9/submit"
rm -f /var/log/cvreport.log
mount -o remount,ro,bind /var/log
run_cvreport "${CV_CONTACT[@]}"
expect_status 1
expect_eq "$(cat "$ERR")" "Can't open log file"
[ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made without a log"

cv_pass
