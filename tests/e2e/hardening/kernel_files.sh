#!/usr/bin/env bash
# Kernel files that cannot be read and a missing /sys: every section that
# reads them is still written (with the error texts of its capture, or
# empty), the document is well-formed and the run ends with status 0.
# cvsysinfo runs as root without the capabilities that let root read any
# file, so that a file of mode 000 cannot be opened.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"
source "$SRC/tests/sim_node.sh"

cv_sim_node_host "$SRC/tests/fixtures/hosts/mixed"
XML=$WORK/report.xml

# run_unprivileged: run_cvsysinfo without CAP_DAC_OVERRIDE and
# CAP_DAC_READ_SEARCH (dropped from the bounding and inheritable sets, so
# that the exec does not give them back to root).
run_unprivileged() {
  cv_run timeout -k 5 120 setpriv --inh-caps=-dac_override,-dac_read_search \
    --bounding-set=-dac_override,-dac_read_search "$BIN/cvsysinfo" "$XML"
  expect_status 0
  xmllint --noout "$XML" || cv_fail "the document is not well-formed"
  expect_eq "$(xpath 'count(/CVLIN/*)')" 4 "sections"
}
xpath() { xmllint --xpath "$1" "$XML" 2>/dev/null || true; }

# /proc files that cannot be opened, one that cannot be read (a directory),
# and a mount table that cannot be opened.
chmod 000 /proc/cv/vestat /proc/bc/101/iostat /proc/zoneinfo
rm /proc/bc/101/resources
mkdir /proc/bc/101/resources
rm /proc/mounts
install -m 000 /dev/null /proc/mounts
setpriv --inh-caps=-dac_override,-dac_read_search --bounding-set=-dac_override,-dac_read_search \
  cat /proc/cv/vestat >/dev/null 2>&1 && cv_skip "capabilities cannot be dropped here"
run_unprivileged
expect_eq "$(xpath 'string(/CVLIN/NODE/VESTAT)')" "Unable to open file /proc/cv/vestat" "VESTAT"
expect_eq "$(xpath 'string(/CVLIN/CONTAINERS/CT[CTID=101]/IoStat)')" \
  "Unable to open file /proc/bc/101/iostat" "IoStat"
expect_eq "$(xpath 'string(/CVLIN/CONTAINERS/CT[CTID=101]/Resources)')" \
  $'\nUnable to read from file /proc/bc/101/resources' "Resources"
expect_eq "$(xpath 'string(/CVLIN/NODE/hardware/numa/nodes)')" 0 "NUMA nodes without zoneinfo"
expect_eq "$(xpath 'count(/CVLIN/NODE/hardware/cpu)')" 1 "cpu element"
expect_eq "$(xpath 'count(/CVLIN/NODE/software_raid/*)')" 0 "software_raid without a mount table"
expect_eq "$(xpath 'count(/CVLIN/NODE/tessel/*)')" 0 "tessel without a mount table"
expect_eq "$(xpath 'count(/CVLIN/NODE/memdedups)')" 0 "memdedups without a mount table"
expect_eq "$(xpath 'count(/CVLIN/NODE/Hdimgs/hdimg0)')" 1 "hdimg0 while /sys is there"

# /proc/cpuinfo that cannot be opened: the hardware element stays empty.
chmod 000 /proc/cpuinfo
run_unprivileged
expect_eq "$(xpath 'count(/CVLIN/NODE/hardware/*)')" 0 "hardware children"
expect_contains "$ERR" "can't read /proc/cpuinfo"
expect_contains "$ERR" "error: Permission denied"
expect_contains "$ERR" "failed to get hardware info"

# No /sys at all: no Hdimgs element, everything else as before.
mount -t tmpfs -o mode=0555 cv-no-sys /sys
run_unprivileged
expect_eq "$(xpath 'count(/CVLIN/NODE/Hdimgs)')" 0 "Hdimgs without /sys"
expect_eq "$(xpath 'name(/CVLIN/NODE/*[last()])')" chipcaps "last node section"

cv_pass
