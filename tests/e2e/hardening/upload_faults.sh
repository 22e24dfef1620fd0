#!/usr/bin/env bash
# Upload faults that the cvreport cases leave out: a collector that exits 0
# without leaving the archive, and a proxy that refuses the credentials it is
# given. Each ends with status 7, the reason and the manual-send hint on
# stderr, the report kept, and the reason in the log.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config


# The collector succeeds but leaves no archive: libcurl cannot read the file
# part and breaks the request off before it is complete, so the service
# accepts nothing, and the files collected are kept where they are.
CV_COLLECTOR_NO_ARCHIVE=1 run_cvreport "${CV_CONTACT[@]}"
expect_status 7
reason=$(head -n 1 "$ERR")
expect_eq "$reason" "Can't submit the report to $CV_SERVICE_URL: Failed to open/read local data from file/application" "reason"
expect_kept_report "$reason" "Can't open cvreport.tgz: No such file or directory"
[ ! -e "$KEPT/cvreport.tgz" ] || cv_fail "an archive appeared"
[ -f "$KEPT/files/payload.bin" ] || cv_fail "the collected files were not kept"
expect_contains /var/log/cvreport.log "Can't submit report: Failed to open/read local data from file/application"
expect_eq "$(cv_requests last outcome)" client-gone "the service's record of the request"
expect_eq "$(cv_requests part report complete)" False "the archive part"
rm -rf "$KEPT"

# A proxy that refuses the credentials: tinyproxy answers wrong Basic
# credentials with 401 and an HTML page of its own, which is not the
# service's reply. The check before collecting has said so already.
cv_proxy_start pxuser pxpass
cv_service_config "HTTP_PROXY=http://127.0.0.1:$CV_PROXY_PORT" HTTP_PROXY_USER=pxuser \
  HTTP_PROXY_PASSWORD=wrong
before=$(cv_requests count)
run_cvreport "${CV_CONTACT[@]}"
expect_status 7
expect_kept_report "Server responded with HTTP code 401" "" \
  "$(cv_unreachable_warning "the proxy 127.0.0.1:$CV_PROXY_PORT refused its credentials (HTTP 401)")"
cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "kept archive differs"
expect_contains /var/log/cvreport.log "The server returned an error: Server responded with HTTP code 401"
expect_eq "$(cv_requests count)" "$before" "requests that passed the proxy"

cv_pass
