#!/usr/bin/env bash
# The simulated cvlist, cvps and cvctl exec answer as the mixed host's
# description says, found by name like the real tools.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"

H=$SRC/tests/fixtures/hosts/mixed
cv_sim_host "$H"
expect_eq "$CVSIM_HOST" "$(cd -P "$H" && pwd)" "CVSIM_HOST"
for tool in cvlist cvps cvctl; do
  expect_eq "$(sh -c "command -v $tool")" "/usr/sbin/$tool" "where the shell finds $tool"
done

# Runs a command line through the shell, as cvsysinfo does.
run() {
  cv_run sh -c "$1"
}
expect_same() { cmp -s "$1" "$2" || cv_fail "$1 differs from $2: $(diff "$1" "$2" | head -n 20)"; }

# The table, verbatim.
run "cvlist -a -o ctid,numproc,status,layout"
expect_status 0
expect_same "$OUT" "$H/cvlist/table"

# Roots: the default, and one printed with blanks around it.
run "cvlist -H -o root 101"
expect_status 0
expect_eq "$(cat "$OUT")" "/var/lib/cvsim/root/101" "root of 101"
run "cvlist -H -o root 107"
expect_same "$OUT" "$H/containers/107/root"
run "cvlist -H -o root 999"
expect_status 1
expect_contains "$ERR" "not found"

# Process tables: verbatim, or the header alone.
run "cvps -A -E 101 -o user,pid,%cpu,%mem,vsz,rss,tty,stat,start,cmd"
expect_status 0
expect_same "$OUT" "$H/containers/101/ps"
run "cvps -A -E 102 -o user,pid,%cpu,%mem,vsz,rss,tty,stat,start,cmd"
expect_status 0
expect_eq "$(cat "$OUT")" "USER PID %CPU %MEM VSZ RSS TT STAT STARTED COMMAND" "header of an empty table"

# A plain file answers any arguments.
run "cvctl exec 101 netstat -anlp"
expect_status 0
expect_same "$OUT" "$H/containers/101/tools/netstat"
expect_empty "$ERR"

# Canned answers per argument vector, and the fallback.
run "cvctl exec 101 docker --version"
expect_eq "$(cat "$OUT")" "Docker version 1.6.2, build 7c8fca2" "docker --version"
run "cvctl exec 101 docker images | awk 'FNR > 1 {print \$1\" \"\$2\" \"\$3}'"
expect_eq "$(cat "$OUT")" $'centos 7 0123abcd4567\n<none> <none> 89ef0123abcd' "docker images through awk"
run "cvctl exec 101 docker ps -a -q"
expect_same "$OUT" "$H/containers/101/tools/docker/ps -a -q.out"
run "cvctl exec 101 docker inspect 89ef0123abcd"
expect_status 0
expect_contains "$OUT" '"Id": "89ef0123abcd"'
run "cvctl exec 101 docker inspect feedfacecafe"
expect_status 1
expect_empty "$OUT"
expect_contains "$ERR" "No such image or container"

# An executable answers for itself.
run "cvctl exec 101 systemctl list-units --type=service"
expect_status 0
expect_contains "$OUT" "httpd.service"

# A program the container lacks, a container that is not running, one that
# does not exist.
run "cvctl exec 102 docker --version"
expect_status 127
expect_empty "$OUT"
expect_contains "$ERR" "docker: command not found"
run "cvctl exec 107 docker --version"
expect_status 0
expect_eq "$(cat "$OUT")" "docker version 1.6.2, build 7c8fca2" "a docker that is not Docker"
run "cvctl exec 103 netstat -anlp"
expect_status 1
expect_contains "$ERR" "not running"
run "cvctl exec 999 netstat -anlp"
expect_status 1
expect_contains "$ERR" "does not exist"

# Every call is on record, its arguments quoted.
grep -qxF "cvctl exec 101 docker inspect 89ef0123abcd" "$CVSIM_LOG" ||
  cv_fail "the call log lacks the inspect call: $(cat "$CVSIM_LOG")"
grep -qxF "cvps -A -E 101 -o user,pid,%cpu,%mem,vsz,rss,tty,stat,start,cmd" "$CVSIM_LOG" ||
  cv_fail "the call log lacks the cvps call: $(cat "$CVSIM_LOG")"

# The real df answers for the roots, which exist.
for id in 101 102 107; do
  [ -d "/var/lib/cvsim/root/$id" ] || cv_fail "no root directory for $id"
done
run "df -Pi /var/lib/cvsim/root/101"
expect_status 0
[ "$(awk 'NR == 2 { print NF }' "$OUT")" = 6 ] || cv_fail "df -Pi gave no six-field line: $(cat "$OUT")"

# Canned keys: no arguments, the written forms of %, / and @, stderr and
# status without stdout, and an executable that gets its arguments as they
# are.
D=$WORK/host
mkdir -p "$D/containers/7/tools/t"
echo running >"$D/containers/7/state"
echo "no arguments" >"$D/containers/7/tools/t/@.out"
echo "escaped" >"$D/containers/7/tools/t/a%2Fb%40c%25d e.out"
echo "bad" >"$D/containers/7/tools/t/x.err"
echo 3 >"$D/containers/7/tools/t/x.status"
printf '#!/bin/bash\nprintf "[%%s]" "$@"\n' >"$D/containers/7/tools/args"
chmod 0755 "$D/containers/7/tools/args"
cv_sim_host "$D"
run "cvctl exec 7 t"
expect_eq "$(cat "$OUT")" "no arguments" "no arguments"
run "cvctl exec 7 t 'a/b@c%d' e"
expect_eq "$(cat "$OUT")" "escaped" "escaped key"
run "cvctl exec 7 t x"
expect_status 3
expect_empty "$OUT"
expect_eq "$(cat "$ERR")" "bad" "stderr of x"
run "cvctl exec 7 t y"
expect_status 1
expect_contains "$ERR" "no answer for these arguments: y"
run "cvctl exec 7 args 'two words' '\$(x)' '' \"it's\""
expect_eq "$(cat "$OUT")" "[two words][\$(x)][][it's]" "arguments of an executable"

# A table made from the containers: the line before the header, VEID, the
# extra columns, values from containers/ID/cvlist and the defaults.
cv_sim_host "$SRC/tests/fixtures/hosts/listing-error"
run "cvlist -a -o ctid,numproc,status,layout"
expect_status 0
expect_eq "$(cat "$OUT")" "cvlist: warning: the container list is being rebuilt
      VEID NPROC STATUS  LAYOUT HOSTNAME      IP_ADDR
       101 7     running 5      a.example.net 10.1.0.101
       102 -     stopped 5      -             -" "generated table"
run "cvlist -H -o ctid,status,root 101"
expect_eq "$(cat "$OUT")" "       101 running /var/lib/cvsim/root/101 a.example.net 10.1.0.101" \
  "one row without header, the extra columns too"

cv_pass
