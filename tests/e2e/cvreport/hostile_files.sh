#!/usr/bin/env bash
# Root reads the configuration, runs the collector it names, appends to the
# log and reads the release and sysconfig files. A file that someone other
# than root can change stops the run before anything is collected, naming
# the file and the fix; a link, FIFO or directory at the log is not used; a
# FIFO or a device in place of a file to read is refused without a hang; a
# byte-order mark in front of the configuration is skipped, and a line too
# long to read whole is dropped, never read as a key. What each check makes
# of a file is cvreport/run/files_test.cc's; this case proves each fixed
# path goes through it.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config
cp /etc/cvreport.conf "$WORK/good.conf"

# refused MESSAGE: the run stopped at the start with MESSAGE, status 1,
# before the collector ran and without a work directory.
refused() {
  rm -rf "$CV_OBSERVE"
  cv_run timeout 20 "$BIN/cvreport" "${CV_CONTACT[@]}"
  expect_status 1
  expect_eq "$(cat "$ERR")" "$1"
  expect_empty "$OUT"
  [ ! -e "$CV_OBSERVE" ] || cv_fail "the collector ran for [$1]"
  [ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was left for [$1]"
  grep -qF "Error: $1" /var/log/cvreport.log || cv_fail "no error record for [$1]"
}

# reported: the run went through to the service.
reported() {
  run_cvreport -q "${CV_CONTACT[@]}"
  expect_status 0
  expect_eq "$(tail -n 1 "$OUT")" "ProblemID: 100001"
}

# --- who may change the configuration and the collector -----------------
# Every file and directory shape is a row of checkRootOnly's table
# (cvreport/run/files_test.cc); here each fixed path proves it is checked.
conf=/etc/cvreport.conf
chmod 0666 $conf
refused "$conf is writable by others than root (mode 0666): run chmod go-w $conf"
chmod 0644 $conf
# A link, to a file root alone can change, is fine; one someone else owns
# is not.
mkdir -p /etc/cvreport.d
mv $conf /etc/cvreport.d/site.conf
ln -s /etc/cvreport.d/site.conf $conf
reported
chown -h 1000 $conf
refused "$conf is owned by user 1000, not root: run chown -h root $conf"
rm $conf
cp "$WORK/good.conf" $conf

collector=/usr/libexec/cvreport/cvreport_collector
chown 1000 $collector
refused "$collector is owned by user 1000, not root: run chown root $collector"
chown root $collector
# COLLECTOR_SCRIPT names another one: the same rules hold for it.
install -m 0755 "$SRC/tests/fixtures/collectors/recording_collector.sh" /tmp/collector
cv_service_config "COLLECTOR_SCRIPT=/tmp/collector"
refused "/tmp/collector lies in /tmp, which others than root can write to (mode 1777): move it to a directory only root can write to"
cp "$WORK/good.conf" $conf
reported

# --- the log ----------------------------------------------------------------
# A link there would have root append wherever it points.
mv /var/log/cvreport.log "$WORK/old.log"
ln -s /etc/owned /var/log/cvreport.log
reported
expect_eq "$(cat "$ERR")" "Not using /var/log/cvreport.log: it is a symbolic link"
[ ! -e /etc/owned ] || cv_fail "root wrote through the link at the log"
rm /var/log/cvreport.log
# A FIFO without a reader must not hold the run; a directory is no log either.
for make in mkfifo mkdir; do
  $make /var/log/cvreport.log
  cv_run timeout 20 "$BIN/cvreport" -q "${CV_CONTACT[@]}"
  expect_status 0
  expect_eq "$(cat "$ERR")" "Not using /var/log/cvreport.log: it is not a regular file"
  rm -r /var/log/cvreport.log
done
mv "$WORK/old.log" /var/log/cvreport.log

# --- files that are not regular files, or too large -------------------------
# The shapes are rows of readSettingsFile's table; these prove the reads of
# the configuration and sysconfig use it.
{ cat "$WORK/good.conf"; head -c 1100000 /dev/zero | tr '\0' '#'; echo; } >$conf
refused "$conf is larger than 1 MiB"
cp "$WORK/good.conf" $conf
mkfifo /etc/sysconfig/cv
refused "/etc/sysconfig/cv is not a regular file"
rm /etc/sysconfig/cv

# The release file is read by the upload worker: the report is kept. A link
# to a regular file is how real hosts have it.
ln -s /dev/zero /etc/orbelin-release
cv_run timeout 60 "$BIN/cvreport" "${CV_CONTACT[@]}"
expect_status 7
expect_kept_report "Can't read version of Corvanta from /etc/orbelin-release: /etc/orbelin-release is not a regular file"
rm -rf "$KEPT" /etc/orbelin-release
printf 'Orbelin Nimbus Server 6.1.2 (build 7)\n' >/etc/orbelin-release.real
ln -s /etc/orbelin-release.real /etc/orbelin-release
reported
expect_eq "$(cv_requests part cv_version value)" "6.1.2" "version from the linked release file"

# --- a line longer than the read buffer ----------------------------------------
# Read in pieces, its tail would run a collector the file never named.
{ cat "$WORK/good.conf"; printf '#%04094dCOLLECTOR_SCRIPT=/tmp/collector\n' 0; } >$conf
reported
expect_eq "$(cat "$ERR")" "Line $(($(wc -l <"$WORK/good.conf") + 1)) of $conf is longer than 4095 bytes: it is not used"
expect_contains /var/log/cvreport.log "of $conf is longer than 4095 bytes: it is not used"
cp "$WORK/good.conf" $conf

# --- a byte-order mark in front of the first key ------------------------------
{ printf '\xef\xbb\xbf'; cat "$WORK/good.conf"; } >$conf
reported
expect_eq "$(cv_requests last digest_user)" "$CV_SERVICE_USER" "user sent from a marked file"

cv_pass
