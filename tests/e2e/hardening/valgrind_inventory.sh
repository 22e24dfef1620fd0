#!/usr/bin/env bash
# One full inventory run under valgrind's memcheck, on a host with every
# section filled: no invalid access, no use of undefined values, and no
# memory lost (definitely or indirectly) when the program ends.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"
source "$SRC/tests/sim_node.sh"

[ -z "${CV_SANITIZED_BUILD:-}" ] || cv_skip "valgrind cannot run programs built with sanitizers"
command -v valgrind >/dev/null || cv_skip "valgrind is not installed"

cv_sim_node_host "$SRC/tests/fixtures/hosts/mixed"
cv_node_mount /dev/md0
cv_node_mount "quorix://alpha"

cv_run timeout -k 5 240 valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --track-origins=yes --error-exitcode=99 \
  --suppressions="$SRC/tests/fixtures/valgrind/platform.supp" --log-file="$WORK/memcheck.log" "$BIN/cvsysinfo" "$WORK/report.xml"
if [ "$STATUS" != 0 ]; then
  cat "$WORK/memcheck.log" >&2
  cv_fail "cvsysinfo under memcheck ended with $STATUS"
fi
xmllint --noout "$WORK/report.xml" || cv_fail "the document is not well-formed"
grep -q "ERROR SUMMARY: 0 errors" "$WORK/memcheck.log" || cv_fail "memcheck found errors"
grep -qE "definitely lost: 0 bytes|All heap blocks were freed" "$WORK/memcheck.log" ||
  cv_fail "memory was lost: $(grep -A3 'LEAK SUMMARY' "$WORK/memcheck.log")"
# The run really covered the containers and the node.
expect_eq "$(xmllint --xpath 'count(/CVLIN/CONTAINERS/CT[STATE="running"]/Docker)' "$WORK/report.xml")" \
  "$(xmllint --xpath 'count(/CVLIN/CONTAINERS/CT[STATE="running"])' "$WORK/report.xml")" "Docker elements"
expect_eq "$(xmllint --xpath 'count(/CVLIN/NODE/lvm/volumes/volume) > 0' "$WORK/report.xml")" true "LVM volumes"
echo "memcheck: $(grep -E 'ERROR SUMMARY|total heap usage' "$WORK/memcheck.log" | sed 's/^==[0-9]*== *//' | tr '\n' ' ')"

cv_pass
