#!/usr/bin/env bash
# Before collecting, a console report checks that the service can be
# reached the way the upload will go (name, connection, proxy and its
# credentials, certificate). When it cannot, one line names what failed and
# the report goes on: collected, tried, kept, status 7. A reachable service
# sees no request of the check; Ctrl-C during the check ends the run.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_silent_start
cv_service_start
cv_proxy_start pxuser pxpass
proxy=127.0.0.1:$CV_PROXY_PORT

# What the service could not be reached through | the reason named.
while IFS='|' read -r settings reason; do
  read -ra extra <<<"$settings"
  cv_service_config "${extra[@]}"
  rm -f "$CV_OBSERVE/archive.tgz"
  run_cvreport -q "${CV_CONTACT[@]}"
  expect_status 7
  expect_eq "$(head -n 1 "$ERR")" "$(cv_unreachable_warning "$reason")" "warning for [$settings]"
  expect_contains /var/log/cvreport.log "$(cv_unreachable_warning "$reason")"
  expect_kept_workdir "$(sed -n 2p "$ERR")" "$(cv_unreachable_warning "$reason")"
  cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "[$settings]: archive not collected and kept"
  rm -rf "$KEPT"
done <<EOT
SUBMIT_URI=http://cv-nowhere.invalid/submit|the name of cv-nowhere.invalid:80 cannot be looked up
HTTP_PROXY=http://127.0.0.1:9|cannot connect to the proxy 127.0.0.1:9: Connection refused
HTTP_PROXY=http://$proxy|the proxy $proxy refused its credentials (HTTP 407)
HTTP_PROXY=http://$proxy HTTP_PROXY_USER=pxuser HTTP_PROXY_PASSWORD=wrong|the proxy $proxy refused its credentials (HTTP 401)
EOT
expect_eq "$(cv_requests count auth=ok)" 0 "reports that got through"

# Reachable, directly and through the proxy: no warning, and the service
# records the upload's requests alone (the Digest challenge and the report).
for settings in "" "HTTP_PROXY=http://$proxy HTTP_PROXY_USER=pxuser HTTP_PROXY_PASSWORD=pxpass"; do
  read -ra extra <<<"$settings"
  cv_service_config "${extra[@]}"
  before=$(cv_requests count)
  run_cvreport -q "${CV_CONTACT[@]}"
  expect_status 0
  expect_empty "$ERR"
  expect_eq "$(($(cv_requests count) - before))" 2 "requests of a report [$settings]"
done

# Ctrl-C while the check waits for a TLS answer that never comes: the run
# ends at once, before collecting, with nothing kept.
cv_config "SUBMIT_URI=https://127.0.0.1:$CV_SILENT_PORT/submit"
rm -f "$CV_OBSERVE/archive.tgz"
: >"$OUT"
: >"$ERR"
setsid "$BIN/cvreport" -q "${CV_CONTACT[@]}" >>"$OUT" 2>>"$ERR" </dev/null &
pid=$!
cv_on_exit "kill -KILL -- -$pid"
cv_wait_for 15 "the check to connect" test -s "$CV_SILENT_ACCEPTED"
kill -INT -- -"$pid"
cv_wait_for 5 "the report to end after Ctrl-C in the check" grep -q "interrupted" "$ERR"
cv_status wait "$pid"
expect_status 130
expect_eq "$(cat "$ERR")" "Report interrupted by SIGINT: nothing was sent." "stderr of Ctrl-C in the check"
[ ! -e "$CV_OBSERVE/archive.tgz" ] || cv_fail "collected after Ctrl-C in the check"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"

cv_pass
