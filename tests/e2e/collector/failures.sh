#!/usr/bin/env bash
# When the collector can't build the archive (bad usage, no FILES_DIR, a full disk, a signal) it fails with a reason and leaves no archive.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"

COLLECTOR=/usr/libexec/cvreport/cvreport_collector
cv_collector "$SRC/scripts/cvreport_collector"

run_collector() {
  cv_run "$COLLECTOR" "$@"
}

# Non-zero, one line on stderr, and not a word of success on stdout.
expect_refusal() {
  [ "$STATUS" != 0 ] || cv_fail "exit status 0 for: $*"
  expect_eq "$(wc -l <"$ERR")" "1" "stderr lines for: $*"
  expect_lacks "$OUT" "Progress: 100"
  expect_lacks "$OUT" "Archive SHA-256"
}

WORKDIR=$(mktemp -d /tmp/cvreport.XXXXXX)
FILES=$WORKDIR/files
mkdir -m 0700 "$FILES"
echo "Full name: Ada Admin" >"$FILES/description"

# Wrong usage: nothing collected, nothing packed.
run_collector
expect_refusal "no arguments"
run_collector -d
expect_refusal "-d alone"
run_collector "$FILES" "$FILES"
expect_refusal "two directories"
run_collector -x "$FILES"
expect_refusal "an unknown option"
run_collector ""
expect_refusal "an empty directory name"
expect_eq "$(ls -A "$FILES")" "description" "FILES_DIR after wrong usage"
expect_eq "$(ls -A "$WORKDIR")" "files" "work directory after wrong usage"

# FILES_DIR missing.
MISSING=$(mktemp -d /tmp/cvreport.XXXXXX)
run_collector -d "$MISSING/files"
expect_refusal "a missing FILES_DIR"
expect_contains "$ERR" "$MISSING/files"
expect_eq "$(ls -A "$MISSING")" "" "work directory of a missing FILES_DIR"

# FILES_DIR a plain file, or a link to a directory elsewhere.
NOTDIR=$(mktemp -d /tmp/cvreport.XXXXXX)
echo "not a directory" >"$NOTDIR/files"
run_collector "$NOTDIR/files"
expect_refusal "FILES_DIR a plain file"
[ ! -e "$NOTDIR/cvreport.tgz" ] || cv_fail "an archive for a plain-file FILES_DIR"
LINKED=$(mktemp -d /tmp/cvreport.XXXXXX)
mkdir -p "$WORK/elsewhere"
ln -s "$WORK/elsewhere" "$LINKED/files"
run_collector "$LINKED/files"
expect_refusal "FILES_DIR a symbolic link"
expect_eq "$(ls -A "$WORK/elsewhere")" "" "directory behind a linked FILES_DIR"
[ ! -e "$LINKED/cvreport.tgz" ] || cv_fail "an archive for a linked FILES_DIR"

# A signal while a slow command runs: the collector passes it on to the
# command, which `timeout` keeps in a process group of its own, and ends
# with 128 + the signal's number within 5 seconds, leaving no archive.
cv_overlay /usr/sbin
# The marker names this run alone: other cases may run at the same time.
MARKER=cv-slow-$(basename "$CV_SANDBOX")
printf '#!/bin/bash\nexec -a %s sleep 600\n' "$MARKER" >/usr/sbin/dmesg
chmod 0755 /usr/sbin/dmesg
for sig in INT:2 TERM:15 HUP:1; do
  # A shell leaves SIGINT ignored for the commands it starts in the
  # background; a terminal's Ctrl-C reaches a collector that has it.
  python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execv(sys.argv[1], sys.argv[1:])' \
    "$COLLECTOR" "$FILES" >"$OUT" 2>"$ERR" </dev/null &
  pid=$!
  cv_wait_for 10 "the slow command to start" pgrep -f "$MARKER"
  kill -"${sig%:*}" "$pid"
  start=$SECONDS
  cv_status wait "$pid"
  expect_status $((128 + ${sig#*:}))
  [ $((SECONDS - start)) -le 5 ] || cv_fail "SIG${sig%:*}: the collector took $((SECONDS - start)) s to stop"
  left=$(pgrep -f "$MARKER" || true)
  [ -z "$left" ] || { pkill -KILL -f "$MARKER"; cv_fail "SIG${sig%:*}: commands left running: $left"; }
  expect_contains "$ERR" "interrupted by SIG${sig%:*}"
  [ ! -e "$WORKDIR/cvreport.tgz" ] || cv_fail "SIG${sig%:*}: an archive was left"
done
rm -f /usr/sbin/dmesg

# A full disk where the archive goes: the work directory is a tiny, full
# file system, while FILES_DIR has room, so collecting works and packing fails.
FULL=$(mktemp -d /tmp/cvreport.XXXXXX)
mount -t tmpfs -o size=256k,mode=0700 cvfull "$FULL"
cv_on_exit "umount -l '$FULL'"
mkdir -m 0700 "$FULL/files"
mount -t tmpfs -o size=64m,mode=0700 cvfiles "$FULL/files"
cv_on_exit "umount -l '$FULL/files'"
echo "Full name: Ada Admin" >"$FULL/files/description"
head -c 1M /dev/zero >"$FULL/filler" 2>/dev/null || true
avail=$(df --output=avail -k "$FULL" | tail -n 1 | tr -d ' ')
[ "$avail" -le 8 ] || cv_fail "could not fill the test file system (${avail}k left)"
run_collector -d "$FULL/files"
expect_refusal "a full disk"
expect_contains "$ERR" "No space left on device"
leftovers=$(find "$FULL" -maxdepth 1 -name '*cvreport.tgz*')
expect_eq "$leftovers" "" "archive or temporary files on the full disk"
expect_lacks "$OUT" "Report archive:"

cv_pass
