#!/usr/bin/env bash
# Before collecting, a console report checks that the service can be
# reached the way the upload goes: name, connection, proxy and its
# credentials (certificate: https.sh; wrong proxy credentials:
# hardening/upload_faults.sh). When it cannot, one line names what failed
# and the report goes on: collected, tried, kept, status 7.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
# A proxy that tunnels to port 443 alone: an http upload needs no tunnel.
CV_PROXY_CONNECT_PORTS=443 cv_proxy_start pxuser pxpass
proxy=127.0.0.1:$CV_PROXY_PORT
login="HTTP_PROXY=http://$proxy HTTP_PROXY_USER=pxuser HTTP_PROXY_PASSWORD"

# settings | status | the reason named (none: no warning)
while IFS='|' read -r settings status reason; do
  read -ra extra <<<"$settings"
  cv_service_config "${extra[@]}"
  run_cvreport "${CV_CONTACT[@]}"
  expect_status "$status"
  if [ -z "$reason" ]; then expect_empty "$ERR" && continue; fi
  expect_contains /var/log/cvreport.log "$(cv_unreachable_warning "$reason")"
  expect_kept_report "$(sed -n 2p "$ERR")" "" "$(cv_unreachable_warning "$reason")"
  rm -rf "$KEPT"
done <<EOT
SUBMIT_URI=http://cv-nowhere.invalid/submit|7|the name of cv-nowhere.invalid:80 cannot be looked up
HTTP_PROXY=http://127.0.0.1:9|7|cannot connect to the proxy 127.0.0.1:9: Connection refused
HTTP_PROXY=http://$proxy|7|the proxy $proxy refused its credentials (HTTP 407)
$login=pxpass|0|
SUBMIT_URI=https://127.0.0.1:9/submit $login=pxpass|7|the proxy $proxy refused a tunnel to 127.0.0.1:9 (HTTP 403)
EOT

cv_pass
