#!/usr/bin/env bash
# A host with containers in every state, Docker present and absent, and
# templates with gaps: the containers and templates sections as reviewed.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_sim_host "$SRC/tests/fixtures/hosts/mixed"
run_cvsysinfo "$WORK/mixed.xml"
expect_status 0
expect_inventory_golden "$WORK/mixed.xml" mixed
expect_contains "$ERR" "Failed to retrieve Container's 105 status, err = 17!"
expect_contains "$ERR" "Failed to retrieve application templates list for 'ubuntu-16.04-x86_64' OS template, err = 5!"

# Containers 1 and 108 (after the 0 that ends the list) are never asked about.
for id in 1 108; do
  ! grep -E "^cv(ps|ctl) .*\b$id\b" "$CVSIM_LOG" || cv_fail "container $id was visited"
done
# Only the running containers are asked for their processes and Docker.
expect_eq "$(grep -c '^cvps ' "$CVSIM_LOG")" 3 "process tables asked for"
expect_eq "$(grep -c "^cvctl exec 101 docker inspect" "$CVSIM_LOG")" 4 "inspections in 101 (two images, two containers)"
! grep -q "^cvctl exec 102 docker info" "$CVSIM_LOG" || cv_fail "docker info asked without Docker"

# The node counts what the containers section listed and found running.
expect_eq "$(xmllint --xpath 'count(/CVLIN/CONTAINERS/CT[CTID!=0])' "$WORK/mixed.xml")" 7 "containers listed"
expect_eq "$(xmllint --xpath 'count(/CVLIN/CONTAINERS/CT[STATE="running"])' "$WORK/mixed.xml")" 3 "running"

cv_pass
