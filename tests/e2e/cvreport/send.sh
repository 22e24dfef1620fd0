#!/usr/bin/env bash
# cvreport --send: an archive an earlier run kept goes to the service as the
# run would have sent it, from this host or one without the platform; what
# is not a report archive is refused without a request and left as it was.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_release "Orbelin Nimbus Server 6.0.1-42 final"

cv_service_config
run_cvreport --collect-only "${CV_CONTACT[@]}"
expect_status 0
kept=$(cv_kept_reports | tail -n 1)
cp "$kept/cvreport.tgz" "$WORK/kept.tgz"
archive=$WORK/kept.tgz
# What a report run sends, for comparison.
run_cvreport "${CV_CONTACT[@]}"
expect_status 0
cv_requests parts >"$WORK/direct-parts"
# The form as the run sent it, less the replaced subject.
sed 's/^subject\t-\t-\t.*/subject\t-\t-\tOnly the subject/' "$WORK/direct-parts" >"$WORK/replaced-parts"

# expect_sent PARTS: the last form is PARTS with the kept archive's bytes.
expect_sent() {
  cv_requests parts >"$WORK/parts"
  diff -u "$1" "$WORK/parts" >&2 || cv_fail "form parts differ"
  expect_eq "$(cv_requests part report sha256)" "$(sha256sum <"$archive" | cut -d' ' -f1)" \
    "archive digest"
}

# A kept report that went through leaves the store; any other archive
# stays for the user to delete.
run_cvreport --send "$kept/cvreport.tgz"
expect_status 0
expect_sent "$WORK/direct-parts"
expect_contains "$OUT" "The kept report $kept/cvreport.tgz was sent and removed."
[ ! -e "$kept" ] || cv_fail "the sent report is still kept"

run_cvreport --send "$archive" -s "Only the subject"
expect_status 0
expect_sent "$WORK/replaced-parts"
expect_contains "$OUT" "The archive $archive may now be deleted."

# A host without the platform: no collector, no release file; the version
# is the archive's.
rm /etc/orbelin-release
cv_status unshare --mount --propagation private -- bash -c \
  'mount -t tmpfs none /usr/libexec && exec "$@"' - "$BIN/cvreport" --send "$archive" \
  >"$OUT" 2>"$ERR" </dev/null
expect_status 0
expect_sent "$WORK/direct-parts"

# Archives that are not the collector's.
mkdir -p "$WORK/bad/report/collector" "$WORK/bad/dir"
cd "$WORK/bad"
echo "# manifest" >report/collector/manifest.txt
printf 'Full name: \nCompany:   Co\nE-mail:    a@b\nSubject:   \nIssue: x\n' >report/description
tar czf unfilled.tgz -C report .
tar czf no-contact.tgz -C report ./collector
tar czf no-manifest.tgz -C report ./description
tar cf bare.tar -C report .
echo "not an archive" >plain.tgz
echo "not a tar" | gzip >text.gz
head -c "$(($(stat -c %s "$archive") / 2))" "$archive" >cut.tgz
mkfifo fifo
ln -s fifo fifo-link
no_report="is not a cvreport archive: it has"
not_targz="is not a gzip-compressed tar archive"
# The first case alone runs under a size limit.
cases=(
  "$archive|$archive is $(stat -c %s "$archive") bytes, larger than the 1024 bytes the service accepts (SUBMIT_MAX_SIZE)"
  "none.tgz|Can't open none.tgz: No such file or directory"
  "dir|dir is not a regular file"
  "fifo|fifo is not a regular file"
  "fifo-link|fifo-link is not a regular file"
  "plain.tgz|plain.tgz $not_targz"
  "text.gz|text.gz $not_targz"
  "bare.tar|bare.tar $not_targz"
  "no-manifest.tgz|no-manifest.tgz $no_report no collector manifest"
  "no-contact.tgz|no-contact.tgz $no_report no contact file"
  "cut.tgz|cut.tgz is damaged: *"
  $'unfilled.tgz|Please fill in the following fields:\n Full Name:\n Subject:'
)
# The state of a file the run must leave alone (a FIFO's, without reading it).
file_state() {
  stat -c '%F %s %Y' "$1" 2>/dev/null || true
  [ ! -f "$1" ] || sha256sum "$1"
}
cv_service_config SUBMIT_MAX_SIZE=1k
for case in "${cases[@]}"; do
  name=${case%%|*} expected=${case#*|}
  before=$(file_state "$name")
  requests=$(cv_requests count)
  # A FIFO that blocked the open would end in timeout's status.
  cv_status timeout 30 "$BIN/cvreport" --send "$name" >"$OUT" 2>"$ERR" </dev/null
  expect_status 1
  [[ $(cat "$ERR") == $expected ]] || cv_fail "$name: stderr [$(cat "$ERR")], expected [$expected]"
  expect_eq "$(file_state "$name")" "$before" "$name unchanged"
  expect_eq "$(cv_requests count)" "$requests" "requests after sending $name"
  cv_service_config
done

# Without a release file in the archive this host's names the version; when
# it names none, the report run's error stops the send.
printf 'Full name: A\nCompany:   B\nE-mail:    a@b\nSubject:   S\nIssue: x\n' >report/description
tar czf no-release.tgz -C report .
cv_release "Orbelin Nimbus Server 7.1.0"
run_cvreport --send no-release.tgz
expect_status 0
expect_eq "$(cv_requests part cv_version value)" 7.1.0 "version from this host"
cv_release "Orbelin Server 7.1.0"
run_cvreport --send no-release.tgz
expect_status 1
expect_eq "$(cat "$ERR")" "Can't read version of Corvanta from /etc/orbelin-release" "no version"

# A bad limit stops the start (a report run over it: upload_failures.sh).
cv_service_config SUBMIT_MAX_SIZE=12X
run_cvreport --send "$archive"
expect_status 1
expect_eq "$(cat "$ERR")" "SUBMIT_MAX_SIZE must be a number of bytes with an optional K, M or G suffix: 12X" "limit"

cv_pass
