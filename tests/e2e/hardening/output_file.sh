#!/usr/bin/env bash
# cvsysinfo runs as root and may be told to write where others can write.
# An existing path is replaced by a new root-owned file once the document
# is complete: a planted link is replaced, not followed, and a file of
# another user is not written through. Pipes and devices (the collector's
# /dev/fd/3, /dev/stdout) are written into as before, those of another
# user only when the caller's own descriptors name them. A run ended by a
# signal leaves neither its new file nor a command behind. (A failed write:
# disk_full.sh.)
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_sim_host "$SRC/tests/fixtures/hosts/empty"
umask 027
home=$WORK/home
mkdir "$home"
chown 65534:65534 "$home"
echo "system file" >"$WORK/victim"
# replaced NAME: the path holds a new document, root's, with the mode of a
# new file under the umask, and nothing else changed.
replaced() {
  expect_status 0
  [ -f "$1" ] && [ ! -L "$1" ] || cv_fail "$1 is not a file of its own"
  expect_eq "$(stat -c '%u %a' "$1")" "0 640" "owner and mode of $1"
  expect_inventory_golden "$1" empty
  expect_eq "$(cat "$WORK/victim")" "system file" "the link's target"
}

# A link planted by the directory's user, and one root made: both replaced.
ln -s "$WORK/victim" "$home/inventory.xml"
chown -h 65534:65534 "$home/inventory.xml"
run_cvsysinfo "$home/inventory.xml"
replaced "$home/inventory.xml"
ln -s "$WORK/victim" "$WORK/root-link.xml"
run_cvsysinfo "$WORK/root-link.xml"
replaced "$WORK/root-link.xml"

# Another user's file: its other name keeps the old text.
echo "old text" >"$home/theirs.xml"
chown 65534:65534 "$home/theirs.xml"
chmod 666 "$home/theirs.xml"
ln "$home/theirs.xml" "$home/theirs.keep"
run_cvsysinfo "$home/theirs.xml"
replaced "$home/theirs.xml"
expect_eq "$(cat "$home/theirs.keep")" "old text" "the old file"
# A name without a directory lands in the working directory.
(cd "$home" && run_cvsysinfo plain.xml && replaced plain.xml)

# Pipes and devices are written into.
"$BIN/cvsysinfo" /dev/stdout </dev/null 2>"$ERR" | xmllint --noout - || cv_fail "/dev/stdout into a pipe"
{ "$BIN/cvsysinfo" /dev/fd/3 3>&1 >/dev/null </dev/null 2>"$ERR" | xmllint --noout -; } ||
  cv_fail "/dev/fd/3 into a pipe"
run_cvsysinfo /dev/null
expect_status 0
[ -c /dev/null ] || cv_fail "/dev/null was replaced"
# /dev/stdout led to the caller's own file: written into.
run_cvsysinfo /dev/stdout
expect_status 0
[ -L /dev/stdout ] || cv_fail "/dev/stdout was replaced"
expect_inventory_golden "$OUT" empty
mkfifo "$WORK/fifo"
cat "$WORK/fifo" >"$WORK/from-fifo" &
run_cvsysinfo "$WORK/fifo"
wait
expect_status 0
[ -p "$WORK/fifo" ] || cv_fail "the pipe was replaced"
expect_inventory_golden "$WORK/from-fifo" empty
expect_eq "$(find "$home" "$WORK" /dev -maxdepth 1 -name '.cvsysinfo.*' | wc -l)" 0 "temporary files"

# Another user's pipe or device in a sticky directory: its owner would read
# the inventory. Refused, and left as it was.
theirs=/tmp/inventory.xml
for make in "mkfifo $theirs" "mknod $theirs c 1 3"; do
  $make
  chown 65534:65534 "$theirs"
  timeout 30 cat "$theirs" >"$WORK/theirs-read" &
  reader=$!
  run_cvsysinfo "$theirs"
  expect_status 1
  expect_contains "$ERR" "cvsysinfo: $theirs is a pipe or device of another user; the inventory is not written there"
  expect_eq "$(stat -c %u "$theirs")" 65534 "owner of $theirs after '$make'"
  kill "$reader" 2>/dev/null || true
  wait "$reader" || true
  expect_empty "$WORK/theirs-read"
  rm -f "$theirs"
done

# Signals: a host whose container takes a minute to answer keeps the run
# inside cvps, in a process group of cvsysinfo's, when the signal comes.
slow=$WORK/slow-host
cp -r "$SRC/tests/fixtures/hosts/empty" "$slow"
mkdir -p "$slow/containers/101"
echo 101 >"$slow/ids"
echo running >"$slow/containers/101/state"
echo 60000 >"$slow/latency-ms"
cv_sim_host "$slow"
# The simulated cvps processes of this host still there (the simulated
# /proc lists only the processes of its making).
cvps_left() {
  local p
  for p in "$CVSIM_REALPROC"/[0-9]*; do
    [ "$(cat "$p/comm" 2>/dev/null)" = cvps ] || continue
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "CVSIM_HOST=$CVSIM_HOST" && echo "${p##*/}"
  done
}
mkdir "$WORK/cut"
: >"$CVSIM_LOG"
"$BIN/cvsysinfo" "$WORK/cut/inventory.xml" </dev/null >"$OUT" 2>"$ERR" &
pid=$!
cv_wait_for 20 "cvsysinfo's cvps call" grep -q '^cvps ' "$CVSIM_LOG"
[ -n "$(find "$WORK/cut" -name '.cvsysinfo.*')" ] || cv_fail "no new file while the document is written"
kill -TERM "$pid"
cv_status wait "$pid"
expect_status 143
expect_eq "$(find "$WORK/cut" -mindepth 1 | wc -l)" 0 "files left by the cut run"
no_cvps_left() { [ -z "$(cvps_left)" ]; }
cv_wait_for 20 "the end of the cut run's cvps" no_cvps_left

cv_pass
