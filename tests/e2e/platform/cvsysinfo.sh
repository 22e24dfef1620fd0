#!/usr/bin/env bash
# cvsysinfo runs against the simulated host: it loads the simulated
# libraries through its own RUNPATH from the build tree it lies in, and
# what it reports of the containers and templates is what the fixture
# hosts describe. (cvsysinfo's own cases check its document in detail.)
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"

[ -x "$BIN/cvsysinfo" ] || cv_skip "cvsysinfo is not built"
grep -q '^CV_PLATFORM_SIMULATED:INTERNAL=TRUE$' "$CV_SANDBOX/build/CMakeCache.txt" ||
  cv_skip "cvsysinfo is linked with the real platform libraries"
HOSTS=$SRC/tests/fixtures/hosts
XML=$WORK/report.xml

# The libraries come from this build tree, reached here through the sandbox.
ldd "$BIN/cvsysinfo" >"$WORK/ldd"
for lib in libcvctl.so libcvtt.so; do
  grep -qF "$lib => $CV_SANDBOX/build/bin/../lib/$lib" "$WORK/ldd" ||
    cv_fail "$lib is not the simulation of this build: $(grep -F "$lib" "$WORK/ldd")"
done

# --version and --help name the kit's version and the simulated libraries.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$CV_SANDBOX/build/CMakeCache.txt")
for option in --version --help; do
  run_cvsysinfo "$option"
  expect_status 0
  expect_contains "$OUT" "cvsysinfo $version (Corvanta problem report kit)
Platform libraries: the simulation (not for production hosts)"
done

xpath() { xmllint --xpath "$1" "$XML" 2>/dev/null || true; }

cv_sim_host "$HOSTS/mixed"
run_cvsysinfo "$XML"
expect_status 0
xmllint --noout "$XML" || cv_fail "the report is not well-formed"
expect_eq "$(xpath '/CVLIN/CONTAINERS/CT/CTID/text()' | tr '\n' ' ')" "0 101 102 103 104 105 106 107 " \
  "containers reported (no 1; none after the 0)"
for pair in 101:running 102:running 103:suspended 104:mounted 106:stopped 107:running; do
  expect_eq "$(xpath "string(/CVLIN/CONTAINERS/CT[CTID=${pair%%:*}]/STATE)")" "${pair#*:}" "state of ${pair%%:*}"
done
expect_eq "$(xpath 'count(/CVLIN/CONTAINERS/CT[CTID=105]/STATE)')" 0 "state of the failing 105"
expect_contains "$ERR" "Failed to retrieve Container's 105 status, err = 17!"
expect_eq "$(xpath 'count(/CVLIN/CONTAINERS/CT[CTID=101]/InstalledSoftware/Package)')" 5 "packages of 101"
expect_eq "$(xpath 'string(/CVLIN/CONTAINERS/CT[CTID=101]/CtRoot)')" /var/lib/cvsim/root/101 "root of 101"
expect_eq "$(xpath 'count(/CVLIN/CONTAINERS/CT[CTID=101]/DiskSpace)')" 1 "disk space of 101"
expect_eq "$(xpath 'string(/CVLIN/CONTAINERS/CT[CTID=101]/Docker/Version)')" \
  "Docker version 1.6.2, build 7c8fca2" "Docker of 101"
expect_eq "$(xpath 'count(/CVLIN/CVTEMPLATES/TEMPLATE)')" 7 "templates (ubuntu failing)"
expect_contains "$ERR" "Failed to retrieve application templates list for 'ubuntu-16.04-x86_64' OS template, err = 5!"

cv_sim_host "$HOSTS/failures"
rm -f "$XML"
run_cvsysinfo "$XML"
expect_status 19
expect_contains "$ERR" "Failed to initialize cvctl library, err = 19!"
[ ! -e "$XML" ] || cv_fail "a report without the library"

cv_sim_host "$HOSTS/listing-error"
run_cvsysinfo "$XML"
expect_status 0
expect_contains "$ERR" "Failed to retrieve Containers information, err = -4!"
expect_contains "$ERR" "Failed to retrieve Lyte templates list, err = 3!"
expect_eq "$(xpath '/CVLIN/CVLIST/CT/CTID/text()' | tr '\n' ' ')" "101 102 " "VEID table"

cv_sim_host "$HOSTS/alloc-failure"
run_cvsysinfo "$XML"
expect_status 0
expect_contains "$ERR" "Failed to allocate memory for Containers information!"

# Nothing that the hostile host hands over runs.
cv_sim_host "$HOSTS/hostile"
run_cvsysinfo "$XML"
expect_status 0
xmllint --noout "$XML" || cv_fail "the hostile report is not well-formed"
owned=$(find /tmp -maxdepth 1 -name 'owned*' | head -n 5)
[ -z "$owned" ] || cv_fail "a hostile text was run: $owned"

cv_pass
