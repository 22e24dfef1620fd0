#!/usr/bin/env bash
# An upload that failed before the service could have filed the report is
# tried again by a fresh worker, up to three attempts in all, each retry
# announced with its reason and pause (2 s, then 8 s, or the service's
# Retry-After); one that may have been filed never is, and no attempt
# sends the body twice, directly or through a proxy that closes the
# connection after the Digest challenge.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config

closed="Connection closed or reset before the report was sent"
# MODE|ARCHIVE_BYTES|STATUS|AUTHENTICATED|PAUSES|REASON: what the service
# does, the archive's size, the exit status, the authenticated requests the
# service saw (bodies, whole or cut), the pauses announced and their reason.
# A body cut short is larger than the socket buffers, so that the cut
# reaches the worker before the last byte leaves it.
rows=(
  # A reset at accept may reach libcurl while it connects, or after: "*"
  # takes any reason. The check before collecting takes the first reset.
  "reset-connections:3|4096|0|1|2 8|*"
  "reset-mid-body:1|16000000|0|2|2|$closed"
  "busy:1:1|4096|0|2|1|Server responded with HTTP code 503 (Service Unavailable)"
  # Three attempts at most.
  "close-mid-upload|16000000|7|3|2 8|$closed"
  "error500|4096|7|1||"
  # The whole body went out: the service may have filed it. Last: its
  # reason names the address below.
  "close-after-body|4096|7|1||"
)
for row in "${rows[@]}"; do
  IFS='|' read -r mode bytes status authenticated pauses reason <<<"$row"
  cv_service_mode "$mode"
  before=$(cv_requests count auth=ok)
  CV_COLLECTOR_ARCHIVE_BYTES=$bytes run_cvreport "${CV_CONTACT[@]}"
  expect_status "$status"
  : >"$WORK/expected-out"
  next=2
  for pause in $pauses; do
    echo "Upload failed ($reason); trying again in $pause s (attempt $next of 3)" >>"$WORK/expected-out"
    next=$((next + 1))
  done
  any='s/^Upload failed (.*); trying/Upload failed (*); trying/'
  [ "$reason" = "*" ] || any=
  { grep "trying again" "$OUT" || true; } | sed "$any" | diff -u "$WORK/expected-out" - >&2 || cv_fail "$mode: announcements differ"
  expect_eq "$(($(cv_requests count auth=ok) - before))" "$authenticated" "$mode: authenticated requests"
  if [ "$status" = 0 ]; then
    expect_eq "$(cv_requests count status=200)" 1 "$mode: reports filed"
    expect_contains "$OUT" "assigned ID 100001"
    expect_eq "$(cv_requests part report sha256)" "$(sha256sum <"$CV_OBSERVE/archive.tgz" | cut -d' ' -f1)" \
      "$mode: the archive filed"
    : >"$CV_RECORDS/requests.jsonl"
  else
    # A transfer's failure: the reason logged, after the address tried.
    shown=$(head -n 1 "$ERR")
    logged=${shown#"Can't submit the report to $CV_SERVICE_URL: "}
    [ "$logged" = "$shown" ] || expect_contains /var/log/cvreport.log "Can't submit report: $logged"
    KEPT=$(cv_kept_reports | tail -n 1)
    cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "$mode: archive not kept"
    expect_contains "$ERR" "Please send the $KEPT/cvreport.tgz file"
    rm -rf "$KEPT"
  fi
done
expect_eq "$(cv_requests count outcome=closed-after-body)" 1 "bodies sent to a service that never answered"
expect_contains "$ERR" "Can't submit the report to $CV_SERVICE_URL: "
expect_contains /var/log/cvreport.log "Upload failed ($closed); trying again in 8 s (attempt 3 of 3)"

# A signal during a pause ends the run at once, as during the upload: the
# archive kept, no further attempt.
cv_service_mode busy:2:30
: >"$CV_RECORDS/requests.jsonl"
: >"$OUT"
setsid "$BIN/cvreport" "${CV_CONTACT[@]}" >"$OUT" 2>"$ERR" </dev/null &
pid=$!
cv_on_exit "kill -KILL $pid"
cv_wait_for 60 "the first retry to be announced" grep -q "trying again in 30 s (attempt 2 of 3)" "$OUT"
start=$SECONDS
kill -TERM "$pid"
cv_status wait "$pid"
expect_status 143
[ $((SECONDS - start)) -lt 20 ] || cv_fail "the pause outlasted SIGTERM by $((SECONDS - start)) s"
expect_kept_report "Report interrupted by SIGTERM: nothing was sent."
rm -rf "$KEPT"
expect_eq "$(cv_requests count auth=ok)" 1 "attempts after the signal"

# Through a proxy that keeps no connection alive: it closes the challenge's
# connection, the authenticated request takes a fresh one, and libcurl
# sends the body once, answered or not.
cv_proxy_start
cv_service_config "HTTP_PROXY=http://127.0.0.1:$CV_PROXY_PORT"
for row in "ok|0" "close-after-body|7"; do
  IFS='|' read -r mode status <<<"$row"
  cv_service_mode "$mode"
  : >"$CV_RECORDS/requests.jsonl"
  run_cvreport "${CV_CONTACT[@]}"
  expect_status "$status"
  expect_lacks "$OUT" "trying again"
  expect_eq "$(cv_requests count auth=ok)" 1 "$mode through the proxy: bodies sent"
  expect_eq "$(cv_requests count auth=none req_on_conn=1)" 1 "$mode through the proxy: challenges"
  expect_eq "$(cv_requests count auth=ok req_on_conn=1)" 1 "$mode through the proxy: fresh connections"
  rm -rf "$(cv_kept_reports | tail -n 1)"
done

cv_pass
