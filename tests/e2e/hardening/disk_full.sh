#!/usr/bin/env bash
# The disk fills up while cvsysinfo writes: on a file system of 4 KiB and
# more, up to one that holds the whole document, every run either writes
# the complete document with status 0 or ends with the libxml error message
# and a non-zero status, the old file left as it was and nothing else;
# never a cut document with 0. (The last buffer written when the writer is
# freed used to fail unnoticed.)
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"
source "$SRC/tests/sim_node.sh"

cv_sim_node_host "$SRC/tests/fixtures/hosts/mixed"
cv_node_mount /dev/md0

run_cvsysinfo "$WORK/whole.xml"
expect_status 0
xmllint --noout "$WORK/whole.xml" || cv_fail "the reference document is not well-formed"
size=$(stat -c %s "$WORK/whole.xml")
[ "$size" -gt 8192 ] || cv_fail "the reference document is too small to cut ($size bytes)"

mkdir -p "$WORK/disk"
cut=0
whole=0
for ((kib = 4; kib <= size / 1024 + 8; kib += 4)); do
  mount -t tmpfs -o "size=${kib}k" cv-full-disk "$WORK/disk"
  echo "old document" >"$WORK/disk/report.xml"
  run_cvsysinfo "$WORK/disk/report.xml"
  if [ "$STATUS" = 0 ]; then
    cmp -s <(cv_without_time "$WORK/whole.xml") <(cv_without_time "$WORK/disk/report.xml") ||
      cv_fail "status 0 with a document that differs on a disk of ${kib} KiB"
    whole=$((whole + 1))
  else
    grep -qE '^libxml err -?[0-9]+ at [A-Za-z_]+:[0-9]+$' "$ERR" ||
      cv_fail "status $STATUS without the libxml message on a disk of ${kib} KiB"
    # The document is put in place only once it is complete.
    expect_eq "$(cat "$WORK/disk/report.xml")" "old document" "the old file on a disk of ${kib} KiB"
    cut=$((cut + 1))
  fi
  expect_eq "$(ls -A "$WORK/disk")" report.xml "files on a disk of ${kib} KiB"
  umount "$WORK/disk"
done
[ "$cut" -gt 0 ] || cv_fail "no run hit the full disk"
[ "$whole" -gt 0 ] || cv_fail "no disk was large enough"

# The document exactly one page too large: the writer's last buffer is the
# one that fails, when the writer is freed.
kib=$(((size + 4095) / 4096 * 4 - 4))
mount -t tmpfs -o "size=${kib}k" cv-full-disk "$WORK/disk"
run_cvsysinfo "$WORK/disk/report.xml"
[ "$STATUS" != 0 ] || cv_fail "a document cut at ${kib} KiB ended with status 0"
expect_eq "$(tail -n 1 "$ERR")" "$(grep -E '^libxml err' "$ERR" | tail -n 1)" "last message"
grep -qE '^libxml err -1 at makeXmlReport:[0-9]+$' "$ERR" || cv_fail "the failed close is not reported"
expect_eq "$(ls -A "$WORK/disk")" "" "files left"
umount "$WORK/disk"

cv_pass
