#!/usr/bin/env bash
# Tools that flood cvsysinfo (tests/fixtures/hosts/flood): megabytes of text,
# binary data, lines that never end. The document is complete and
# well-formed, the run ends on its own in bounded time, and what cannot be
# taken whole is left out with a message.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_sim_host "$SRC/tests/fixtures/hosts/flood"
XML=$WORK/flood.xml
start=$SECONDS
run_cvsysinfo "$XML"
expect_status 0
[ $((SECONDS - start)) -le 60 ] || cv_fail "took $((SECONDS - start))s"
xmllint --noout --huge "$XML" || cv_fail "the document is not well-formed"
xpath() { xmllint --huge --xpath "$1" "$XML"; }
expect_eq "$(xpath 'count(/CVLIN/*)')" 4 "sections"
expect_eq "$(xpath 'name(/CVLIN/*[4])')" CVTEMPLATES "last section"

# Megabytes of text: all of them.
expect_eq "$(xpath 'string-length(/CVLIN/NODE/MemoryUsage) = 8000000')" true "8,000,000 bytes in MemoryUsage"
# Binary data: kept where it is valid UTF-8, the rest replaced.
xpath 'string(/CVLIN/NODE/DiskSpaceUsage)' >"$WORK/df-text"
[ "$(stat -c %s "$WORK/df-text")" -gt 1048576 ] || cv_fail "binary df output was cut"
grep -q $'\xef\xbf\xbd' "$WORK/df-text" || cv_fail "binary df output not mended"
# A line that never ends, read line by line: parsing stops at the limit.
expect_contains "$ERR" "String is longer than limit, fail to parse!"
expect_eq "$(xpath 'count(/CVLIN/NODE/YumRepositories/*)')" 0 "yum entries"
# Output that never ends, read whole: given up, nothing written for it.
expect_contains "$ERR" "Output of 'cvmemcheck -x' is longer than 67108864 bytes, not read to its end"
expect_contains "$ERR" "Output of 'cvctl exec 101 netstat -anlp' is longer than 67108864 bytes, not read to its end"
expect_eq "$(xpath 'count(//memcheck)')" 0 "memcheck elements"
expect_eq "$(xpath 'count(/CVLIN/CONTAINERS/CT[CTID=101]/Ports)')" 0 "Ports of 101"
expect_eq "$(xpath 'count(/CVLIN/CONTAINERS/CT[CTID=101]/Docker)')" 1 "Docker of 101, after Ports"
# The run ended, so every tool given up on was stopped and reaped: the
# reader kills it, then waits for it.

cv_pass
