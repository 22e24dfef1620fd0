#!/usr/bin/env bash
# The description's kernel files, /etc/cv files, other files and host tools
# are in place: /proc/bc beside a /proc that still works, the overridden
# /proc files, /sys directories, and programs at their paths. A second
# description replaces all of it.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"

H=$SRC/tests/fixtures/hosts/mixed
real_cpuinfo=$(head -n 5 /proc/cpuinfo)
cv_sim_host "$H"

same() { cmp -s "$1" "$2" || cv_fail "$2 is not the description's $1"; }

# /proc/bc, and the rest of /proc still answering for whoever reads it.
same "$H/containers/101/iostat" /proc/bc/101/iostat
same "$H/containers/101/resources" /proc/bc/101/resources
same "$H/containers/102/resources" /proc/bc/102/resources
[ ! -e /proc/bc/103 ] || cv_fail "/proc/bc/103 exists, without files in the description"
expect_eq "$(awk '/^Name:/ { print $2 }' /proc/self/status)" awk "/proc/self of the reader"
grep -q ' / ' /proc/mounts || cv_fail "/proc/mounts has no root entry"
grep -q "^MemTotal:" /proc/meminfo || cv_fail "/proc/meminfo is gone"
df -P / >/dev/null || cv_fail "df fails with the simulated /proc"

# Overridden and added /proc files.
same "$H/files/proc/cpuinfo" /proc/cpuinfo
same "$H/files/proc/zoneinfo" /proc/zoneinfo
same "$H/files/proc/cv/vestat" /proc/cv/vestat

# /etc/cv is the description's alone.
same "$H/cv.conf" /etc/cv/cv.conf
same "$H/containers/101/conf" /etc/cv/conf/101.conf
same "$H/files/etc/cv/memdedup.conf" /etc/cv/memdedup.conf
[ ! -e /etc/cv/conf/104.conf ] || cv_fail "a configuration for 104, which has none"
expect_eq "$(ls -A /etc/cv)" $'conf\ncv.conf\nmemdedup.conf' "the files of /etc/cv"

# Other files, and a /sys directory replaced by the description's.
same "$H/files/var/log/imgtrim.log" /var/log/imgtrim.log
expect_eq "$(ls -A /sys/devices/virtual/block)" hdimg0 "block devices"
same "$H/files/sys/devices/virtual/block/hdimg0/pdelta/0/io" /sys/devices/virtual/block/hdimg0/pdelta/0/io

# Host tools at their paths, found by the shell.
expect_eq "$(sh -c 'command -v cvmemcheck')" /usr/sbin/cvmemcheck "where cvmemcheck is"
expect_eq "$(sh -c 'cvmemcheck -x')" "$(cat "$H/tools/cvmemcheck")" "cvmemcheck -x"
expect_eq "$(sh -c 'free')" "$(cat "$H/tools/free")" "free"

# Another description takes the place of the first.
E=$SRC/tests/fixtures/hosts/empty
cv_sim_host "$E"
[ ! -e /proc/bc ] || cv_fail "/proc/bc outlived its description"
[ ! -e /proc/cv ] || cv_fail "/proc/cv outlived its description"
expect_eq "$(head -n 5 /proc/cpuinfo)" "$real_cpuinfo" "/proc/cpuinfo back to the kernel's"
same "$E/cv.conf" /etc/cv/cv.conf
expect_eq "$(ls -A /etc/cv/conf)" "" "container configurations of the empty host"
[ ! -e /sys/devices/virtual/block/hdimg0 ] || cv_fail "hdimg0 outlived its description"
cv_status sh -c free >"$OUT" 2>"$ERR"
expect_status 127
expect_contains "$ERR" "free: command not found"

# The simulation's default location leads to the description in use.
expect_eq "$(readlink /var/lib/cvsim/host)" "$(cd -P "$E" && pwd)" "/var/lib/cvsim/host"

cv_pass
