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

# answers COMMAND STATUS STREAM HOW [WHAT]: runs the command line through the
# shell, as cvsysinfo does; it ends with STATUS, and its STREAM (out or err)
# is the file WHAT (same), is the text WHAT (eq), holds WHAT (has) or is
# empty (empty).
answers() {
  local command=$1 status=$2 stream=$3 how=$4 what=${5:-} file
  cv_run sh -c "$command"
  [ "$STATUS" = "$status" ] || cv_fail "[$command]: exit status $STATUS, expected $status"
  file=$OUT
  [ "$stream" = out ] || file=$ERR
  case $how in
    same) cmp -s "$file" "$what" || cv_fail "[$command]: $stream differs from $what: $(diff "$file" "$what" | head -n 20)" ;;
    eq) expect_eq "$(cat "$file")" "$what" "$stream of [$command]" ;;
    has) expect_contains "$file" "$what" ;;
    empty) expect_empty "$file" ;;
  esac
}

ps_columns=user,pid,%cpu,%mem,vsz,rss,tty,stat,start,cmd
while IFS='|' read -r command status stream how what; do
  answers "$command" "$status" "$stream" "$how" "${what//@H/$H}"
done <<ROWS
cvlist -a -o ctid,numproc,status,layout|0|out|same|@H/cvlist/table
cvlist -H -o root 101|0|out|eq|/var/lib/cvsim/root/101
cvlist -H -o root 107|0|out|same|@H/containers/107/root
cvlist -H -o root 999|1|err|has|not found
cvps -A -E 101 -o $ps_columns|0|out|same|@H/containers/101/ps
cvps -A -E 102 -o $ps_columns|0|out|eq|USER PID %CPU %MEM VSZ RSS TT STAT STARTED COMMAND
cvctl exec 101 netstat -anlp|0|out|same|@H/containers/101/tools/netstat
cvctl exec 101 netstat -anlp|0|err|empty
cvctl exec 101 docker --version|0|out|eq|Docker version 1.6.2, build 7c8fca2
cvctl exec 101 docker ps -a -q|0|out|same|@H/containers/101/tools/docker/ps -a -q.out
cvctl exec 101 docker inspect 89ef0123abcd|0|out|has|"Id": "89ef0123abcd"
cvctl exec 101 docker inspect feedfacecafe|1|out|empty
cvctl exec 101 docker inspect feedfacecafe|1|err|has|No such image or container
cvctl exec 101 systemctl list-units --type=service|0|out|has|httpd.service
cvctl exec 102 docker --version|127|out|empty
cvctl exec 102 docker --version|127|err|has|docker: command not found
cvctl exec 107 docker --version|0|out|eq|docker version 1.6.2, build 7c8fca2
cvctl exec 103 netstat -anlp|1|err|has|not running
cvctl exec 999 netstat -anlp|1|err|has|does not exist
ROWS
# Canned answers in a pipe, as the docker section reads them.
answers "cvctl exec 101 docker images | awk 'FNR > 1 {print \$1\" \"\$2\" \"\$3}'" 0 out eq \
  $'centos 7 0123abcd4567\n<none> <none> 89ef0123abcd'

# Every call is on record, its arguments quoted.
grep -qxF "cvctl exec 101 docker inspect 89ef0123abcd" "$CVSIM_LOG" ||
  cv_fail "the call log lacks the inspect call: $(cat "$CVSIM_LOG")"
grep -qxF "cvps -A -E 101 -o user,pid,%cpu,%mem,vsz,rss,tty,stat,start,cmd" "$CVSIM_LOG" ||
  cv_fail "the call log lacks the cvps call: $(cat "$CVSIM_LOG")"

# The real df answers for the roots, which exist.
for id in 101 102 107; do
  [ -d "/var/lib/cvsim/root/$id" ] || cv_fail "no root directory for $id"
done
answers "df -Pi /var/lib/cvsim/root/101" 0 err empty
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
while IFS='|' read -r command status stream how what; do
  answers "$command" "$status" "$stream" "$how" "$what"
done <<'ROWS'
cvctl exec 7 t|0|out|eq|no arguments
cvctl exec 7 t 'a/b@c%d' e|0|out|eq|escaped
cvctl exec 7 t x|3|out|empty
cvctl exec 7 t x|3|err|eq|bad
cvctl exec 7 t y|1|err|has|no answer for these arguments: y
cvctl exec 7 args 'two words' '$(x)' '' "it's"|0|out|eq|[two words][$(x)][][it's]
ROWS

# A table made from the containers: the line before the header, VEID, the
# extra columns, values from containers/ID/cvlist and the defaults.
cv_sim_host "$SRC/tests/fixtures/hosts/listing-error"
answers "cvlist -a -o ctid,numproc,status,layout" 0 out eq "cvlist: warning: the container list is being rebuilt
      VEID NPROC STATUS  LAYOUT HOSTNAME      IP_ADDR
       101 7     running 5      a.example.net 10.1.0.101
       102 -     stopped 5      -             -"
# One row without header, the extra columns too.
answers "cvlist -H -o ctid,status,root 101" 0 out eq \
  "       101 running /var/lib/cvsim/root/101 a.example.net 10.1.0.101"

cv_pass
