#!/usr/bin/env bash
# Failures before the upload (statuses 2, 3 and 4): said on stderr without
# the manual-send hint, logged, and the work directory removed.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_silent_start
cv_config "SUBMIT_URI=http://127.0.0.1:$CV_SILENT_PORT/submit"

check_clean_end() {
  expect_lacks "$ERR" "Please send"
  [ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
  [ ! -e "$CV_OBSERVE/archive.tgz" ] || [ -n "${1:-}" ] || cv_fail "collector ran"
}

# 4: the collector fails.
CV_COLLECTOR_EXIT=3 run_cvreport "${CV_CONTACT[@]}"
expect_status 4
expect_eq "$(cat "$ERR")" "A fatal error occured while collecting the information"
expect_contains /var/log/cvreport.log "A fatal error occured while collecting the information"
check_clean_end collector-ran
rm -rf "$CV_OBSERVE"

# 4: the collector cannot be executed; its child says why in the log.
cv_config "SUBMIT_URI=http://127.0.0.1:$CV_SILENT_PORT/submit" "COLLECTOR_SCRIPT=/nonexistent/collector"
run_cvreport "${CV_CONTACT[@]}"
expect_status 4
expect_contains /var/log/cvreport.log "Error: Can't execute an information collector: No such file or directory"
check_clean_end

# 3: no pipe for the collector.
cv_config "SUBMIT_URI=http://127.0.0.1:$CV_SILENT_PORT/submit"
fault=$CV_SANDBOX/build/lib/libcvfault.so
CV_FAULT_PIPE_AT=1 LD_PRELOAD=$fault run_cvreport "${CV_CONTACT[@]}"
expect_status 3
expect_eq "$(cat "$ERR")" "Can't create a pipe: Too many open files"
expect_contains /var/log/cvreport.log "Can't create a pipe: Too many open files"
check_clean_end

# 3: the collector's fork fails.
CV_FAULT_FORK_AT=1 LD_PRELOAD=$fault run_cvreport "${CV_CONTACT[@]}"
expect_status 3
expect_eq "$(cat "$ERR")" "Can't fork: Resource temporarily unavailable"
check_clean_end

# 2: no room for the contact file: /tmp holds just the two directories.
mount -t tmpfs -o nr_inodes=3,mode=1777 cvreport-full /tmp
run_cvreport "${CV_CONTACT[@]}"
expect_status 2
expect_eq "$(cat "$ERR")" "Can't write the contact data!"
expect_contains /var/log/cvreport.log "Error: Can't write the contact data!"
check_clean_end
umount /tmp

cv_pass
