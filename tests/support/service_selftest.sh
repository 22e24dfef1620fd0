#!/usr/bin/env bash
# The support service and the proxy that every upload case drives, checked
# once with the curl tool, so that a failing upload case points at cvreport
# rather than at its harness: the service starts, answers one upload with
# Digest authentication and records it; a real proxy passes one on.
source "$(dirname "$0")/../common.sh"

cv_service_start --repid 424242
head -c 300000 /dev/urandom >"$WORK/report.tgz"
# upload [CURL OPTIONS...]: prints the HTTP code of an upload of the file.
upload() {
  curl -sS --max-time 60 -o "$WORK/reply" -w '%{http_code}' "$@" --digest \
    -u "$CV_SERVICE_USER:$CV_SERVICE_PASSWORD" -F company=ACME \
    -F "report=@$WORK/report.tgz;type=application/x-gzip" "$CV_SERVICE_URL"
}

expect_eq "$(upload)" 200 "HTTP code of the upload"
expect_eq "$(cat "$WORK/reply")" $'REPID=424242\n\nThank you for your report.' "reply"
expect_eq "$(cv_requests count)" 2 "requests recorded"
expect_eq "$(cv_requests count auth=none status=401)" 1 "unauthenticated first requests"
expect_eq "$(cv_requests last auth)/$(cv_requests last digest_user)" "ok/$CV_SERVICE_USER" "authentication"
expect_eq "$(cv_requests parts | cut -f1-3 | tr '\t\n' ' |')" "company - -|report report.tgz application/x-gzip|" "parts"
expect_eq "$(cv_requests part report sha256)" "$(sha256sum <"$WORK/report.tgz" | cut -d' ' -f1)" "checksum of the file"
cmp -s "$WORK/report.tgz" "$CV_RECORDS/upload-2-report.bin" || cv_fail "the file was not stored as sent"

cv_proxy_start
expect_eq "$(upload -x "http://127.0.0.1:$CV_PROXY_PORT")" 200 "HTTP code through the proxy"
expect_contains "$CV_PROXY_LOG" "POST $CV_SERVICE_URL HTTP/1.1"
case $(cv_requests header via) in
  *cvreport-test-proxy*) ;;
  *) cv_fail "the service saw no Via header of the proxy: $(cv_requests header via)" ;;
esac
expect_eq "$(cv_requests count auth=ok)" 2 "uploads recorded"

cv_pass
