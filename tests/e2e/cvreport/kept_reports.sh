#!/usr/bin/env bash
# Reports a run keeps last: --collect-only on the simulated host keeps its
# report without a request, a refused report's archive moves with its contact file
# into a root-only entry of /var/lib/cvreport/kept, and --kept lists them
# oldest first with the command that sends each. A store that is a link or
# not root's is never used: the report stays in /tmp and the user is told why.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_collector "$SRC/scripts/cvreport_collector"
cp -r "$SRC/tests/fixtures/hosts/mixed" "$WORK/host"
cv_sim_host "$WORK/host"
cv_service_start
cv_service_config

run_cvreport --kept
expect_status 0
expect_eq "$(cat "$OUT")" "No kept reports." "the list without a store"

run_cvreport --collect-only "${CV_CONTACT[@]}"
expect_status 0
expect_eq "$(cv_requests count)" 0 "requests made by --collect-only"
collected=$(cv_kept_reports | tail -n 1)
[ -n "$collected" ] || cv_fail "--collect-only kept nothing"
printf 'The report was collected and kept in %s/cvreport.tgz\nTo send it later, from this host or any other that can reach the service: cvreport --send %s/cvreport.tgz\n' \
  "$collected" "$collected" >"$WORK/expected-tail"
tail -n 2 "$OUT" | diff -u "$WORK/expected-tail" - >&2 || cv_fail "--collect-only's last lines differ"
expect_contains /var/log/cvreport.log "Report kept in $collected/cvreport.tgz"
cmp -s <(tar xzOf "$collected/cvreport.tgz" description) "$collected/description" ||
  cv_fail "the kept contact file is not the archive's"
[ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"

# This host's mount lists may hold lines for the second scan; its notice comes first.
attention_notice() { grep -m 1 -F ' your attention before this report leaves; the list is in /tmp/cvreport.' "$ERR" || true; }

# A refused upload; the subject, read back by --kept, holds a control sequence.
cv_service_mode error500
run_cvreport -n "Ada Admin" -c "Example Hosting" -e "ada@example.net" -s $'Disks \e[2J full' -m "Full."
expect_status 7
outage=$(cv_kept_reports | tail -n 1)

kept_block() { # ENTRY SUBJECT: the entries are KiB-sized
  local name=${1##*/} size
  size=$(awk -v b="$(stat -c %s "$1/cvreport.tgz")" 'BEGIN { printf "%.1f KiB", b / 1024 }')
  printf 'Kept:    %s-%s-%s %s:%s:%s UTC\nSize:    %s\nSubject: %s\nSend:    cvreport --send %s/cvreport.tgz\n' \
    "${name:0:4}" "${name:4:2}" "${name:6:2}" "${name:9:2}" "${name:11:2}" "${name:13:2}" "$size" "$2" "$1"
}
run_cvreport --kept
expect_status 0
{
  kept_block "$collected" "Containers stop"
  echo
  kept_block "$outage" 'Disks \x1b[2J full'
} >"$WORK/expected-list"
diff -u "$WORK/expected-list" "$OUT" >&2 || cv_fail "--kept's list differs"

# Unsafe stores: keeping falls back to the work directory, listing fails.
mkdir "$WORK/elsewhere"
for case in "link:/var/lib/cvreport is a link or not a directory" \
  "foreign:/var/lib/cvreport/kept is not owned by root" \
  "writable:/var/lib/cvreport/kept may be changed by others than root"; do
  what=${case%%:*} why=${case#*:}
  rm -rf /var/lib/cvreport
  case $what in
    link) ln -s "$WORK/elsewhere" /var/lib/cvreport ;;
    foreign) install -d -m 0700 -o 65534 /var/lib/cvreport/kept ;;
    writable) install -d -m 0777 /var/lib/cvreport/kept ;;
  esac
  run_cvreport --kept
  expect_status 1
  expect_eq "$(cat "$ERR")" "cvreport: $why" "--kept in a $what store"
  [ "$what" = writable ] && continue # a root-owned store is made root's alone
  run_cvreport "${CV_CONTACT[@]}"
  expect_status 7
  expect_kept_report "Disk full" "$why" "$(attention_notice)"
  expect_contains /var/log/cvreport.log "The report could not be kept in $CV_KEPT_STORE: $why"
  expect_eq "$(ls -A "$WORK/elsewhere")" "" "files put through the link"
  rm -rf "$KEPT"
done

cv_pass
