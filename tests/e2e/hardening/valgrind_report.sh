#!/usr/bin/env bash
# Console reports under valgrind's memcheck, the forked upload worker
# included (the collector, another program, is not traced): one accepted,
# one refused (the archive kept). No invalid access, no use of undefined
# values, no memory lost in any process. The console flow ends with _exit, so
# what is still referenced then is not a leak; what nothing references is.
source "$(dirname "$0")/../../common.sh"

[ -z "${CV_SANITIZED_BUILD:-}" ] || cv_skip "valgrind cannot run programs built with sanitizers"
command -v valgrind >/dev/null || cv_skip "valgrind is not installed"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start
cv_service_config

# memcheck_run NAME EXPECTED_STATUS: one report; each process's log lands
# in $WORK/NAME.PID.log.
memcheck_run() {
  local name=$1 log
  cv_run timeout -k 5 240 valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --track-origins=yes --error-exitcode=99 \
    --log-file="$WORK/$name.%p.log" "$BIN/cvreport" "${CV_CONTACT[@]}"
  [ "$STATUS" = "$2" ] || { cat "$WORK/$name".*.log >&2; cv_fail "$name: status $STATUS, expected $2"; }
  local logs=() ended=0
  for log in "$WORK/$name".*.log; do
    # A child that went on to run the collector leaves only the header: the
    # program it started is not traced.
    if ! grep -q "HEAP SUMMARY" "$log"; then
      [ "$(grep -cv -e '^==[0-9]*== *$' -e 'Memcheck, a memory' -e 'Copyright' -e 'Using Valgrind' \
        -e 'Command:' -e 'Parent PID' "$log")" = 0 ] || { cat "$log" >&2; cv_fail "$name: errors before exec"; }
      continue
    fi
    logs+=("$log")
    grep -q "ERROR SUMMARY: 0 errors" "$log" || { cat "$log" >&2; cv_fail "$name: memcheck found errors"; }
    grep -qE "definitely lost: 0 bytes|All heap blocks were freed" "$log" ||
      { cat "$log" >&2; cv_fail "$name: memory was lost"; }
  done
  [ ${#logs[@]} -ge 2 ] || cv_fail "$name: the upload worker was not traced to its end"
  echo "memcheck $name: ${#logs[@]} processes, $(grep -h 'ERROR SUMMARY' "${logs[@]}" | sed 's/^==[0-9]*== *//' | sort | uniq -c | tr -s ' ' | tr '\n' ' ')"
}

memcheck_run accepted 0
expect_contains "$OUT" "Your problem report was assigned ID 100001"
[ -z "$(cv_work_dirs)" ] || cv_fail "the work directory was left"

cv_service_mode error500
memcheck_run refused 7
expect_contains "$ERR" "Disk full"
dir=$(cv_kept_reports | tail -n 1)
cmp -s "$dir/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "the archive was not kept"

cv_pass
