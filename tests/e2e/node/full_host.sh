#!/usr/bin/env bash
# A host with everything the NODE element reads: every tool, the kernel
# files, hdimg devices, md devices and quorix clusters mounted. The element
# is the golden one, the document is well-formed, the node's container
# totals are what the containers section listed and found running, and a
# cluster name from the mount table never reaches the shell unquoted.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"
# shellcheck source=../../sim_node.sh
source "$SRC/tests/sim_node.sh"

XML=$WORK/report.xml
cv_sim_node_host "$SRC/tests/fixtures/hosts/mixed"
cv_node_mount /dev/md0
cv_node_mount "quorix://alpha"
cv_node_mount /dev/md127
cv_node_mount "quorix://beta one"
cv_node_mount "quorix://x;touch /tmp/owned-quorix"
cv_node_mount /dev/mdx
cv_node_mount /dev/md0

run_cvsysinfo "$XML"
expect_status 0
xmllint --noout "$XML" || cv_fail "the report is not well-formed"
cv_node_golden "$XML" full

xpath() { xmllint --xpath "$1" "$XML" 2>/dev/null || true; }
listed=$(xpath 'count(/CVLIN/CONTAINERS/CT[CTID!=0])')
running=$(xpath 'count(/CVLIN/CONTAINERS/CT[STATE="running"])')
if [ "$listed" = 0 ] || [ "$running" = 0 ]; then cv_fail "the mixed host lists no running containers"; fi
expect_eq "$(xpath 'string(/CVLIN/NODE/TOTAL_CT)')" "$listed" "TOTAL_CT"
expect_eq "$(xpath 'string(/CVLIN/NODE/RUNNING_CT)')" "$running" "RUNNING_CT"

# The tools were asked what the Parts say, with the values quoted.
for call in "quorix -c alpha stat --xml" "quorix -c 'beta one' stat --xml" \
  "quorix -c 'x;touch /tmp/owned-quorix' stat --xml" "mdadm -D -Y /dev/mdx" \
  "yum repolist -v" "chipcaps dump --mask-caps" "sentrel stat --xml" "numactl --hardware"; do
  grep -qxF -- "$call" "$CVSIM_LOG" || cv_fail "no call [$call] in $CVSIM_LOG"
done
[ ! -e /tmp/owned-quorix ] || cv_fail "a cluster name from the mount table was run"
# Three quorix and four mdadm calls: one per mount, md0 twice.
expect_eq "$(grep -c '^mdadm ' "$CVSIM_LOG")" 4 "mdadm calls"
expect_eq "$(grep -c '^quorix ' "$CVSIM_LOG")" 3 "quorix calls"

cv_pass
