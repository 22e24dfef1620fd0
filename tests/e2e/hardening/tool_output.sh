#!/usr/bin/env bash
# What tools and configuration files print reaches the document as printed,
# and no more: endless lines are cut at the output limit with the tool and
# all it started ended, a last line without its line end is kept, a long
# configuration line stays one key, and a container whose root cannot be
# read gets no disk usage (rather than the host's).
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

host=$WORK/host
mkdir -p "$host/tools" "$host/containers/101/tools"
export CV_TOOL_PIDS=$WORK/tool-pids
# Repositories for ever, in 4 KB lines, from a tool that ignores the closed
# pipe and has a helper printing with it.
cat >"$host/tools/yum" <<'TOOL'
#!/bin/sh
trap '' PIPE
echo $$ >>"$CV_TOOL_PIDS"
name=$(printf '%04000d' 0)
(while :; do echo "Repo-id      : helper"; done) &
echo $! >>"$CV_TOOL_PIDS"
while :; do echo "Repo-id      : $name"; done
TOOL
# The last container id comes without a line end.
cat >"$host/containers/101/tools/docker" <<'TOOL'
#!/bin/sh
case $1 in
  --version) echo "Docker version 1.6.2, build 7c8fca2" ;;
  ps) printf 'first\nlast' ;;
  inspect) printf '[{"Id": "%s"}]\n' "$2" ;;
esac
TOOL
chmod +x "$host/tools/yum" "$host/containers/101/tools/docker"
echo running >"$host/containers/101/state"
: >"$host/containers/101/root"
long=$(head -c 6000 /dev/zero | tr '\0' v)
printf 'CV_ENABLED=yes\nLONG=%s=INVENTED=1\nAFTER=2\n' "$long" >"$host/cv.conf"
printf 'NAME=%s.INVENTED=1\n' "$long" >"$host/containers/101/conf"
cv_sim_host "$host"

run_cvsysinfo "$WORK/out.xml"
expect_status 0
xpath() { xmllint --huge --xpath "$1" "$WORK/out.xml"; }
expect_eq "$(xpath 'count(/CVLIN/*)')" 4 "sections of a well-formed document"

# Endless lines: cut at 64 MiB, the lines before the cut all there.
expect_contains "$ERR" "Output of 'yum repolist -v' is longer than 67108864 bytes, not read to its end"
size=$(stat -c %s "$WORK/out.xml")
[ "$size" -gt $((60 << 20)) ] && [ "$size" -lt $((72 << 20)) ] || cv_fail "document of $size bytes"
expect_eq "$(xpath 'count(/CVLIN/NODE/YumRepositories/Repository) > 15000')" true "repositories before the cut"
# The tool and its helper were ended, not left printing into nothing.
[ "$(wc -l <"$CV_TOOL_PIDS")" = 2 ] || cv_fail "the tool did not start as planned"
for _ in $(seq 50); do
  left=
  while read -r pid; do
    ! kill -0 "$pid" 2>/dev/null || left+=" $pid"
  done <"$CV_TOOL_PIDS"
  [ -n "$left" ] || break
  sleep 0.1
done
[ -z "$left" ] || cv_fail "processes left running:$left"

# The last container without its line end.
ct='/CVLIN/CONTAINERS/CT[CTID=101]'
expect_eq "$(xpath "count($ct/Docker/Containers/CT)")" 2 "Docker containers"
expect_eq "$(xpath "string($ct/Docker/Containers/CT[2]/Conf)")" '[{"Id": "last"}]' "the last container"

# A long configuration line: one key with its whole value, nothing invented.
expect_eq "$(xpath 'count(//INVENTED)')" 0 "invented keys"
expect_eq "$(xpath 'string-length(/CVLIN/CONTAINERS/CT[CTID=0]/CONF/LONG)')" 6011 "length of LONG"
expect_eq "$(xpath 'string(/CVLIN/CONTAINERS/CT[CTID=0]/CONF/AFTER)')" 2 "key after the long line"
expect_eq "$(xpath "count($ct/CONF/*)")" 1 "keys of the container's configuration"

# No root: no disk usage at all, the host's least of all.
expect_eq "$(xpath "string($ct/CtRoot)")" "" "root"
expect_eq "$(xpath "count($ct/Inodes | $ct/DiskSpace)")" 0 "disk elements"
expect_contains "$ERR" "Failed to retrieve Container's 101 root, disk usage skipped!"

cv_pass
