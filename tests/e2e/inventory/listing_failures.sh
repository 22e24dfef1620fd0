#!/usr/bin/env bash
# The library cannot list containers or templates, or allocate its list:
# the sections stay in place, empty, with their messages.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_sim_host "$SRC/tests/fixtures/hosts/listing-error"
run_cvsysinfo "$WORK/listing.xml"
expect_status 0
expect_contains "$ERR" "Failed to retrieve Containers information, err = -4!"
expect_contains "$ERR" "Failed to retrieve Lyte templates list, err = 3!"
expect_inventory_golden "$WORK/listing.xml" listing-error

cv_sim_host "$SRC/tests/fixtures/hosts/alloc-failure"
run_cvsysinfo "$WORK/alloc.xml"
expect_status 0
expect_contains "$ERR" "Failed to allocate memory for Containers information!"
expect_eq "$(xmllint --xpath 'count(/CVLIN/CONTAINERS/*)' "$WORK/alloc.xml")" 0 "containers"

cv_pass
