#!/usr/bin/env bash
# Upload benchmark: a console report of a large archive to the loopback
# support service, against curl posting the same file the same way to the same
# service in the same run. Targets: cvreport's wall time at most 1.10 times
# curl's, and cvreport's peak resident memory (parent or upload worker) at
# most 32 MB.
#
#   bench/upload_bench.sh [SIZE_MIB] [ROUNDS]     (defaults 1024 and 3)
source "$(dirname "$0")/../tests/common.sh"

size_mib=${1:-1024}
rounds=${2:-3}
archive=/tmp/bench-archive.bin # on the mount of the work directories, for a hard link
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$archive"
export CV_BENCH_ARCHIVE=$archive

cv_collector "$SRC/bench/fixtures/prebuilt_collector.sh"
cv_service_start --no-store
cv_service_config

run_cvreport_once() {
  python3 "$SRC/bench/measure.py" "$BIN/cvreport" -q "${CV_CONTACT[@]}"
}
run_curl_once() {
  python3 "$SRC/bench/measure.py" curl -sS --fail --digest \
    -u "$CV_SERVICE_USER:$CV_SERVICE_PASSWORD" \
    -F "company=Example Hosting" -F "cv_version=3.0.0" -F "email=ada@example.net" \
    -F "fullname=Ada Admin" -F "issue=All containers stopped at 3am." \
    -F "subject=Containers stop" -F "report=@$archive;type=application/x-gzip;filename=cvreport.tgz" \
    "$CV_SERVICE_URL"
}

best_cv= best_curl= peak_cv=0
for ((i = 1; i <= rounds; i++)); do
  read -r t_cv rss_cv status < <(run_cvreport_once)
  [ "$status" = 0 ] || cv_fail "cvreport run $i failed with status $status"
  read -r t_curl _ status < <(run_curl_once)
  [ "$status" = 0 ] || cv_fail "curl run $i failed with status $status"
  echo "round $i: cvreport ${t_cv}s (peak ${rss_cv} KiB), curl ${t_curl}s"
  best_cv=$(python3 -c "print(min(float('$t_cv'), float('${best_cv:-1e9}')))")
  best_curl=$(python3 -c "print(min(float('$t_curl'), float('${best_curl:-1e9}')))")
  [ "$rss_cv" -gt "$peak_cv" ] && peak_cv=$rss_cv
done
rm -f "$archive"
[ -z "$(cv_work_dirs)" ] || cv_fail "a report failed and kept its archive"

ratio=$(python3 -c "print(f'{$best_cv / $best_curl:.3f}')")
peak_mb=$(python3 -c "print(f'{$peak_cv / 1024:.1f}')")
echo "upload of ${size_mib} MiB: cvreport ${best_cv}s, curl ${best_curl}s, ratio ${ratio} (target <= 1.10)"
echo "cvreport peak resident memory: ${peak_mb} MB (target <= 32 MB)"
python3 -c "import sys; sys.exit(0 if $ratio <= 1.10 and $peak_cv <= 32 * 1024 else 1)" ||
  { echo "benchmark target missed"; exit 1; }
exit 0
