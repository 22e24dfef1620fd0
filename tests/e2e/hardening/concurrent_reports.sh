#!/usr/bin/env bash
# Two reports started at once: each gets a work directory of its own, both
# complete (accepted, or refused with their own archives kept), and the
# shared log holds whole records, even long ones written at the same moment
# by both upload workers.
source "$(dirname "$0")/../../common.sh"

cv_collector "$SRC/tests/fixtures/collectors/rendezvous_collector.sh"
cv_service_start
cv_service_config
export CV_STDERR_LINES=200

# both_runs ROUND: starts two reports together (by the names A and B) and
# waits for both; their streams and statuses land in $WORK/ROUND-{A,B}.*
both_runs() {
  local round=$1 who pid pids=()
  export CV_RENDEZVOUS=$WORK/$round-rendezvous
  for who in A B; do
    CV_OBSERVE=$WORK/$round-$who timeout -k 5 90 "$BIN/cvreport" -q -n "Reporter $who" \
      -c "Company $who" -e "$who@example.net" -s "Subject $who" -m "Problem $who" \
      >"$WORK/$round-$who.out" 2>"$WORK/$round-$who.err" </dev/null &
    pids+=($!)
  done
  for who in A B; do
    pid=${pids[0]}
    pids=("${pids[@]:1}")
    cv_status wait "$pid"
    echo "$STATUS" >"$WORK/$round-$who.status"
  done
  for who in A B; do
    [ -e "$WORK/$round-$who/met" ] || cv_fail "$round: run $who did not meet the other one"
  done
  [ "$(cat "$WORK/$round-A/workdir")" != "$(cat "$WORK/$round-B/workdir")" ] ||
    cv_fail "$round: both runs used one work directory"
}

# Every line of the log is a whole record or a whole line of a collector.
check_log() {
  python3 - /var/log/cvreport.log "$@" <<'PY' || cv_fail "the log holds broken lines"
import re, sys
record = re.compile(r"^[A-Z][a-z]{2} \d{2} \d{2}:\d{2}:\d{2} \d{4}: (.*)$")
collector = re.compile(r"^collector \d+ diagnostic line \d+, written while another run writes too$")
kept = re.compile(r"^Report kept in /var/lib/cvreport/kept/[0-9-]+/cvreport\.tgz$")
allowed = set(sys.argv[2:])
bad = 0
for n, line in enumerate(open(sys.argv[1], "rb").read().decode().split("\n")[:-1], 1):
    m = record.match(line)
    if collector.match(line) or (m and (m.group(1) in allowed or kept.match(m.group(1)))):
        continue
    print("line %d: %.200r" % (n, line), file=sys.stderr)
    bad += 1
sys.exit(1 if bad else 0)
PY
}

# Accepted: both identifiers shown, both directories removed, the service
# got each reporter's own archive.
both_runs ok
for who in A B; do
  expect_eq "$(cat "$WORK/ok-$who.status")" 0 "status of run $who"
  expect_eq "$(grep -vx 'Upload progress: [0-9]*%' "$WORK/ok-$who.out")" "ProblemID: 100001" "stdout of run $who"
  expect_empty "$WORK/ok-$who.err"
  [ ! -e "$(cat "$WORK/ok-$who/workdir")" ] || cv_fail "run $who left its work directory"
done
python3 - "$CV_RECORDS/requests.jsonl" "$WORK/ok-A/archive.tgz" "$WORK/ok-B/archive.tgz" <<'PY' ||
import hashlib, json, sys
forms = [r for r in map(json.loads, open(sys.argv[1])) if r.get("parts") and r["status"] == 200]
got = {}
for r in forms:
    parts = {p["name"]: p for p in r["parts"]}
    got[parts["fullname"]["value"]] = parts["report"]["sha256"]
want = {"Reporter A": hashlib.sha256(open(sys.argv[2], "rb").read()).hexdigest(),
        "Reporter B": hashlib.sha256(open(sys.argv[3], "rb").read()).hexdigest()}
sys.exit(0 if got == want else "reports received: %r" % got)
PY
  cv_fail "the service did not get each report with its own archive"
expect_eq "$(grep -c ': Session started$' /var/log/cvreport.log)" 2 "Session started records"
expect_eq "$(grep -c ': Session finished$' /var/log/cvreport.log)" 2 "Session finished records"
check_log "Session started" "Session finished"

# Refused with an 11 KB text: both workers log it as one record at once;
# each run keeps its own archive and names it in its hint.
: >/var/log/cvreport.log
cv_service_mode error500-long
both_runs refused
# Both are kept, each in an entry of its own, though begun in one second.
for who in A B; do
  expect_eq "$(cat "$WORK/refused-$who.status")" 7 "status of run $who"
  dir=$(sed -n 's|^Please send the \(.*\)/cvreport.tgz file .*|\1|p' "$WORK/refused-$who.err")
  [ "${dir%/*}" = "$CV_KEPT_STORE" ] || cv_fail "run $who kept its report in [$dir]"
  echo "$dir" >>"$WORK/kept-entries"
  cmp -s "$dir/cvreport.tgz" "$WORK/refused-$who/archive.tgz" || cv_fail "run $who did not keep its archive"
  expect_eq "$(head -n 1 "$WORK/refused-$who.err")" "Detail line 0000 of a long refusal." "first line of run $who's reason"
done
long=$(python3 -c 'print("The server returned an error: ERRCODE=18  " + " ".join("Detail line %04d of a long refusal." % i for i in range(300)))')
expect_eq "$(grep -cxF -- "${long}" <(sed 's/^[A-Z][a-z][a-z] [0-9][0-9] [0-9:]* [0-9]*: //' /var/log/cvreport.log))" 2 "whole long records"
check_log "Session started" "Session finished" "$long"
expect_eq "$(sort -u "$WORK/kept-entries" | wc -l)" 2 "kept entries"

cv_pass
