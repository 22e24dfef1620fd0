#!/usr/bin/env bash
# What reaches the service: the form parts in order with their values, the
# archive as "cvreport.tgz" of type application/x-gzip, and Digest credentials.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config
cv_release "Orbelin Nimbus Server 6.0.1-42 final"

run_cvreport -n "Ada Admin" -c "Example Hosting" -e "ada@example.net" -s "Containers stop" \
  -m $'Line one\nline two with caf\xc3\xa9'
expect_status 0
printf '%s\n' \
  $'company\t-\t-\tExample Hosting' \
  $'cv_version\t-\t-\t6.0.1-42' \
  $'email\t-\t-\tada@example.net' \
  $'fullname\t-\t-\tAda Admin' \
  $'issue\t-\t-\tLine one' \
  $'line two with caf\xc3\xa9' \
  $'subject\t-\t-\tContainers stop' \
  $'report\tcvreport.tgz\tapplication/x-gzip\t-' >"$WORK/expected-parts"
cv_requests parts >"$WORK/parts"
diff -u "$WORK/expected-parts" "$WORK/parts" >&2 || cv_fail "form parts differ"
expect_eq "$(cv_requests part report sha256)" "$(sha256sum <"$CV_OBSERVE/archive.tgz" | cut -d' ' -f1)" \
  "archive digest"
expect_eq "$(cv_requests last digest_user)" "$CV_SERVICE_USER" "digest user"
expect_eq "$(cv_requests last auth)" ok "authentication"
# The answer to the challenge goes on a connection of its own: a proxy that
# closes the challenge's connection late must not take the report with it.
expect_eq "$(cv_requests last req_on_conn)" 1 "requests on the authenticated connection"

# Without a release file the version is 3.0.0.
rm /etc/orbelin-release
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_eq "$(cv_requests part cv_version value)" "3.0.0" "default version"

# A release file that ends before the version sends the field empty.
cv_release "Orbelin Nimbus Server"
run_cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_eq "$(cv_requests part cv_version value)" "" "version without a version token"

cv_pass
