#!/usr/bin/env bash
# The hostile host: the tools hand over hostile bytes unchanged, ids that
# are shell commands reach the simulated Docker as data and are never run,
# and the odd container root exists for df.
# shellcheck disable=SC2016 # the hostile texts are meant literally
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"

H=$SRC/tests/fixtures/hosts/hostile
cv_sim_host "$H"

run() {
  cv_run sh -c "$1"
}
owned() { find /tmp -maxdepth 1 -name 'owned*' | head -n 5; }

# Bytes arrive as the description has them: the table with its last,
# unfinished 5000-byte line, the process table with NUL and control bytes.
run "cvlist -a -o ctid,numproc,status,layout"
cmp -s "$OUT" "$H/cvlist/table" || cv_fail "the hostile table changed on its way"
run "cvps -A -E 201 -o user,pid,%cpu,%mem,vsz,rss,tty,stat,start,cmd"
cmp -s "$OUT" "$H/containers/201/ps" || cv_fail "the hostile process table changed on its way"
cmp -s /proc/bc/201/resources "$H/containers/201/resources" || cv_fail "resources with NUL changed"

run "cvctl exec 201 netstat -anlp"
expect_status 0
expect_eq "$(tail -c 5000 "$OUT" | tr -d 0)" "" "the unfinished line"
[ "$(tail -c 1 "$OUT" | od -An -c | tr -d ' ')" = 0 ] || cv_fail "netstat's last line got a line end"
head -n 2 "$OUT" >"$WORK/head"
printf 'Proto Local Address <x>& ]]>\ntcp 0.0.0.0:22 \001\033[31m \377\376 \303\050\n' >"$WORK/expected"
cmp -s "$WORK/head" "$WORK/expected" || cv_fail "netstat's bytes changed: $(od -c "$WORK/head" | head)"

# Ids that are commands: each reaches docker inspect as one argument, is
# printed back, and nothing runs.
run "cvctl exec 201 docker ps -a -q"
expect_status 0
mapfile -t ids < <(head -n 3 "$OUT")
expect_eq "${ids[0]}" "x; touch /tmp/owned" "first hostile id"
run "cvctl exec 201 docker images | awk 'FNR > 1 {print \$1\" \"\$2\" \"\$3}'"
mapfile -t images < <(cut -d ' ' -f 3 "$OUT")
expect_eq "${images[0]}" 'x;touch${IFS}/tmp/owned-image' "hostile image id"
# An argument as the call log writes it (in single quotes, these).
logged() { printf "'%s'" "${1//\'/\'\\\'\'}"; }
for id in "${ids[@]}" "${images[@]}"; do
  printf -v quoted '%q' "$id"
  run "cvctl exec 201 docker inspect $quoted"
  expect_status 0
  expect_contains "$OUT" "\"Id\": \"$id\""
  grep -qxF "cvctl exec 201 docker inspect $(logged "$id")" "$CVSIM_LOG" ||
    cv_fail "the call log lacks the inspect of [$id]: $(tail -n 3 "$CVSIM_LOG")"
done
grep -qxF "cvctl exec 201 docker inspect 'it'\\''s \"quoted\"'" "$CVSIM_LOG" ||
  cv_fail "the call log does not quote a quote"
# The same ids given unquoted split into words; still nothing runs but the
# caller's own shell (kept away here by running them as argv).
cvctl exec 201 docker inspect "x;" touch /tmp/owned-argv >"$OUT" 2>"$ERR" && cv_fail "three ids accepted"
expect_contains "$ERR" "one id expected"

# The generated table prints hostile values as they are.
run "cvlist -o ctid,hostname,ip_addr 203"
expect_status 0
expect_contains "$OUT" '$(touch /tmp/owned-cvlist)'
expect_contains "$OUT" '`touch /tmp/owned-cvlist`;<x>&'

# The root with blanks, quotes and ";": printed verbatim, and it exists.
run "cvlist -H -o root 201"
expect_status 0
root=$(cat "$OUT")
expect_eq "$root" "/var/lib/cvsim/root/2 01;touch /tmp/owned-root;it's \"q\"" "odd root"
[ -d "$root" ] || cv_fail "the odd root was not created"
printf -v quoted '%q' "$root"
run "df -Pi $quoted"
expect_status 0
expect_eq "$(awk 'NR > 1' "$OUT" | wc -l)" 1 "df lines for the odd root"

# A root query that prints nothing and fails.
run "cvlist -H -o root 202"
expect_status 1
expect_empty "$OUT"

# The services of 201, bytes unchanged.
run "cvctl --quiet runscript 201 /usr/libexec/cvreport/list_services"
expect_status 0
printf '<x>&.service loaded active running ]]>\nbell\007.service loaded active running \377\376\n' \
  >"$WORK/expected"
cmp -s "$OUT" "$WORK/expected" || cv_fail "201's services changed: $(od -c "$OUT" | head)"

# The broken XML of the check tools, verbatim.
run "cvmemcheck -x"
expect_eq "$(cat "$OUT")" "<memcheck><a>1</a><b>" "broken XML of cvmemcheck"

[ -z "$(owned)" ] || cv_fail "something ran a hostile text: $(owned)"
cv_pass
