#!/usr/bin/env bash
# TLS: an untrusted certificate is refused with libcurl's text and the
# archive kept, at once and never tried again; once the host trusts the certificate the report goes through.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start --https --cert-dir "$WORK/cert"
cv_service_config

run_cvreport -q "${CV_CONTACT[@]}"
expect_status 7
expect_contains "$ERR" "be reached (the certificate of ${CV_SERVICE_URL:8:15} is not trusted: "
expect_contains "$ERR" "Can't submit the report to $CV_SERVICE_URL: SSL peer certificate or SSH remote key was not OK"
expect_contains "$ERR" "Please send the"
# With -q a retry would be announced on stderr.
expect_lacks "$ERR" "trying again"
expect_eq "$(cv_requests count auth=ok)" 0 "requests that passed"
dir=$(cv_kept_reports | tail -n 1)
cmp -s "$dir/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "archive not kept"

# Trusting the certificate host-wide (in the overlay of /etc) lets it through.
cert=$(find "$WORK/cert" -name '*.pem' -o -name '*.crt' | grep -v key | head -n 1)
[ -n "$cert" ] || cv_fail "no certificate made"
cat "$cert" >>/etc/ssl/certs/ca-certificates.crt
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_empty "$ERR"
expect_contains "$OUT" "ProblemID: 100001"

cv_pass
