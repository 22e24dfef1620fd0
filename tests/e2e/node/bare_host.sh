#!/usr/bin/env bash
# A bare host: none of the node's tools, no /proc/cv, no imgtrim log, no
# memdedup configuration, no block devices, no containers. Every section of
# NODE is still written, in its place and order (the golden element), and
# the run ends well.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"
# shellcheck source=../../sim_node.sh
source "$SRC/tests/sim_node.sh"

XML=$WORK/report.xml
cv_sim_node_host "$SRC/tests/fixtures/hosts/empty"
cv_node_remove_tools

run_cvsysinfo "$XML"
expect_status 0
xmllint --noout "$XML" || cv_fail "the report is not well-formed"
cv_node_golden "$XML" bare
for tool in free df yum cvmemcheck; do expect_contains "$ERR" "$tool: not found"; done
expect_lacks "$ERR" "libxml err"

cv_pass
