#!/usr/bin/env bash
# Tools that flood cvsysinfo (tests/fixtures/hosts/flood): megabytes of text,
# binary data, lines that never end. The document is complete and
# well-formed, the run ends on its own, and what cannot be taken whole is
# left out with a message. How the readers cut, end and stop a tool is
# cvsysinfo/core/capture_test.cc's; this case proves one section of each
# reader goes through them. Configuration lines longer than the buffer stay
# one key, and a container whose root cannot be read gets no disk usage
# (rather than the host's). A tool that hangs, leaving a helper behind that
# holds cvsysinfo's standard error, neither outlives cvsysinfo nor holds up
# whoever reads that stream.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

host=$WORK/host
cp -r "$SRC/tests/fixtures/hosts/flood" "$host"
: >"$host/containers/101/root"
long=$(head -c 6000 /dev/zero | tr '\0' v)
printf 'LONG=%s=INVENTED=1\nAFTER=2\n' "$long" >>"$host/cv.conf"
printf 'NAME=%s.INVENTED=1\n' "$long" >"$host/containers/101/conf"
cv_sim_host "$host"

XML=$WORK/flood.xml
run_cvsysinfo "$XML"
expect_status 0
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
# A line that never ends, read line by line: parsing stops at the limit,
# and what came before it stays.
expect_contains "$ERR" "String is longer than limit, fail to parse!"
expect_eq "$(xpath 'count(/CVLIN/NODE/YumRepositories/*)')" 1 "yum entries"
# Output that never ends, read whole: given up, nothing written for it.
expect_contains "$ERR" "Output of 'cvmemcheck -x' is longer than 67108864 bytes, not read to its end"
expect_contains "$ERR" "Output of 'cvctl exec 101 netstat -anlp' is longer than 67108864 bytes, not read to its end"
expect_eq "$(xpath 'count(//memcheck)')" 0 "memcheck elements"
ct='/CVLIN/CONTAINERS/CT[CTID=101]'
expect_eq "$(xpath "count($ct/Ports)")" 0 "Ports of 101"
expect_eq "$(xpath "count($ct/Docker)")" 1 "Docker of 101, after Ports"

# A long configuration line: one key with its whole value, nothing invented.
expect_eq "$(xpath 'count(//INVENTED)')" 0 "invented keys"
expect_eq "$(xpath 'string-length(/CVLIN/CONTAINERS/CT[CTID=0]/CONF/LONG)')" 6011 "length of LONG"
expect_eq "$(xpath 'string(/CVLIN/CONTAINERS/CT[CTID=0]/CONF/AFTER)')" 2 "key after the long line"
expect_eq "$(xpath "count($ct/CONF/*)")" 1 "keys of the container's configuration"

# No root: no disk usage at all, the host's least of all.
expect_eq "$(xpath "string($ct/CtRoot)")" "" "root"
expect_eq "$(xpath "count($ct/Inodes | $ct/DiskSpace)")" 0 "disk elements"
expect_contains "$ERR" "Failed to retrieve Container's 101 root, disk usage skipped!"

# A hung netstat in 101: it prints a line, leaves a helper holding the
# streams it inherited, and waits for ever.
hung_pids=$WORK/hung.pids
printf '#!/bin/sh\necho "partial <line>"\n(exec sleep 900) &\necho $! >>%s\necho $$ >>%s\nexec sleep 900\n' \
  "$hung_pids" "$hung_pids" >"$host/containers/101/tools/netstat"
chmod 0755 "$host/containers/101/tools/netstat"
none_left() {
  local pid
  while read -r pid; do ! kill -0 "$pid" 2>/dev/null || return 1; done <"$hung_pids"
}
# ENDER: what ends cvsysinfo. timeout's TERM does in any build; the build's
# own limit on the command only where it is short (tools/sanitize.sh).
rows=("timeout -k 2 5")
limit=$(cv_short_timeout CVSYSINFO_COMMAND_TIMEOUT 2>/dev/null) && rows+=("")
for ender in "${rows[@]}"; do
  : >"$hung_pids"
  start=$SECONDS
  # shellcheck disable=SC2086 # the ender's words
  cv_status timeout 60 bash -c "$ender \"\$1\" -j 4 /dev/fd/3 3>\"\$2\" 2>&1 | cat" _ "$BIN/cvsysinfo" "$XML" >"$ERR"
  [ "$STATUS" != 124 ] || cv_fail "${ender:-the command limit}: the reader of standard error was held open"
  [ $((SECONDS - start)) -le 30 ] || cv_fail "${ender:-the command limit}: took $((SECONDS - start))s"
  cv_wait_for 10 "the hung netstat's processes to end after ${ender:-the command limit}" none_left
  [ -s "$hung_pids" ] || cv_fail "the hung netstat never ran"
done
if [ -n "${limit:-}" ]; then
  expect_status 0
  expect_contains "$ERR" "'cvctl exec 101 netstat -anlp' did not end within $limit seconds and was stopped"
  expect_eq "$(xpath "string($ct/Ports)")" "partial <line>" "Ports of the hung netstat"
fi

cv_pass
