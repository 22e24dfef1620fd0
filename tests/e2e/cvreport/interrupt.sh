#!/usr/bin/env bash
# Ctrl-C, SIGTERM or SIGHUP end a console report cleanly. During collection:
# the collector and every command it started stop within the grace time
# (the slow command sits in a process group of its own under timeout), the
# work directory goes, one line says nothing was sent, the log says so, and
# the status is 128 + the signal's number. During the upload: the worker
# stops before it completes the report, the archive is kept with the hint.
# During the check of the service before collecting: as during collection.
source "$(dirname "$0")/../../common.sh"

cv_service_start
cv_service_config

# A report in a session of its own, so that "Ctrl-C" can go to its whole
# process group as a terminal sends it.
REPORT_PID=
start_report() {
  # Emptied here, not by the redirection of the background job: that runs
  # whenever the job gets going, and until then a wait on "$OUT" would read
  # the last report's output and signal this one too early.
  : >"$OUT"
  : >"$ERR"
  setsid "$BIN/cvreport" "${CV_CONTACT[@]}" >>"$OUT" 2>>"$ERR" </dev/null &
  REPORT_PID=$!
  cv_on_exit "kill -KILL -- -$REPORT_PID"
}

# interrupt SIGNAL TARGET: sends the signal as a terminal (TARGET group) or
# a supervisor (TARGET pid) would, then waits for the report to end.
interrupt() {
  local sig=$1 target=$2 start
  if [ "$target" = group ]; then kill -"$sig" -- -"$REPORT_PID"; else kill -"$sig" "$REPORT_PID"; fi
  start=$SECONDS
  cv_status wait "$REPORT_PID"
  ELAPSED=$((SECONDS - start))
  [ "$ELAPSED" -le 7 ] || cv_fail "SIG$sig: the report took ${ELAPSED}s to end"
  left=$(pgrep -g "$REPORT_PID" || true)
  [ -z "$left" ] || cv_fail "SIG$sig: processes of the report left: $(ps -o pid=,args= -p "${left//$'\n'/,}")"
}

# --- during collection: the shipped collector, busy in a slow command -------

cv_collector
cv_overlay /usr/sbin
# The marker names this run alone: other cases may run at the same time.
MARKER=cv-slow-$(basename "$CV_SANDBOX")
printf '#!/bin/bash\nexec -a %s sleep 600\n' "$MARKER" >/usr/sbin/dmesg
chmod 0755 /usr/sbin/dmesg
slow_command_runs() { pgrep -f "$MARKER" >/dev/null; }
for case in INT:2:group TERM:15:pid HUP:1:group; do
  IFS=: read -r sig number target <<<"$case"
  start_report
  cv_wait_for 15 "the slow command to start" slow_command_runs
  interrupt "$sig" "$target"
  expect_status $((128 + number))
  expect_eq "$(cat "$ERR")" "Report interrupted by SIG$sig: nothing was sent." "SIG$sig: stderr"
  [ -z "$(pgrep -f "$MARKER")" ] || cv_fail "SIG$sig: the slow command outlived the report"
  [ -z "$(cv_work_dirs)" ] || cv_fail "SIG$sig: work directory left: $(cv_work_dirs)"
  expect_contains /var/log/cvreport.log "Report interrupted by SIG$sig: nothing was sent."
done
expect_eq "$(cv_requests count)" 0 "requests sent while collecting"
rm -f /usr/sbin/dmesg

# --- during the upload: a service that reads slowly keeps it going ----------

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed CV_COLLECTOR_ARCHIVE_BYTES=$((64 * 1024 * 1024))
cv_service_mode slow-read
uploads=0
uploads_recorded() { [ "$(cv_requests count auth=ok)" = "$uploads" ]; }
for case in INT:2:group TERM:15:pid; do
  IFS=: read -r sig number target <<<"$case"
  start_report
  # Past 0%: the body is on its way, so the authenticated request has begun
  # (the first request, which Digest answers with its challenge, has none).
  cv_wait_for 60 "the upload's body to be on its way" grep -qE "Upload progress: [1-9]" "$OUT"
  interrupt "$sig" "$target"
  expect_status $((128 + number))
  expect_kept_report "Report interrupted by SIG$sig: nothing was sent."
  cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "SIG$sig: the kept archive differs"
  # The worker hung up wherever it was: the upload, which would have gone
  # on to a reply, ended without one.
  uploads=$((uploads + 1))
  cv_wait_for 30 "the end of the upload of SIG$sig" uploads_recorded
  expect_eq "$(cv_requests count auth=ok outcome=client-gone)" "$uploads" "SIG$sig: uploads cut short"
  expect_eq "$(cv_requests count auth=ok outcome=replied)" 0 "SIG$sig: reports answered"
  rm -rf "$KEPT"
done

# --- in the check before collecting, for a TLS answer that never comes ------
cv_silent_start
cv_config "SUBMIT_URI=https://127.0.0.1:$CV_SILENT_PORT/submit"
start_report
cv_wait_for 15 "the check to connect" cv_silent_connected
interrupt INT group
expect_status 130
expect_eq "$(cat "$ERR")" "Report interrupted by SIGINT: nothing was sent." "SIGINT in the check: stderr"

cv_pass
