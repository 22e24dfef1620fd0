#!/usr/bin/env bash
# bench/make_sim_host.sh writes a host of N running containers that the
# simulation serves: the table, every container's tools and services; it
# refuses a bad count and a directory that holds something.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"

GEN=$SRC/bench/make_sim_host.sh
D=$WORK/bench-host
bash "$GEN" 12 "$D" >/dev/null || cv_fail "the generator failed"
cv_sim_host "$D"

run() {
  cv_run sh -c "$1"
}

run "cvlist -a -o ctid,numproc,status,layout"
expect_status 0
expect_eq "$(awk 'NR > 1 { print $1 }' "$OUT" | tr '\n' ' ')" "$(seq -s ' ' 101 112) " "IDs of the table"
expect_eq "$(awk 'NR > 1 { print $3 }' "$OUT" | sort -u)" running "states of the table"
expect_eq "$(head -n 1 "$OUT" | awk '{ print $1 }')" CTID "first header word"

for id in 101 112; do
  run "cvctl exec $id docker --version"
  expect_eq "$(cat "$OUT")" "Docker version 1.6.2, build 7c8fca2" "docker of $id"
  run "cvctl exec $id docker images | awk 'FNR > 1 {print \$3}'"
  image=$(cat "$OUT")
  run "cvctl exec $id docker inspect $image"
  expect_status 0
  expect_contains "$OUT" "\"Id\": \"$image\""
  run "cvctl exec $id netstat -anlp"
  expect_contains "$OUT" "0.0.0.0:22"
  run "cvctl --quiet runscript $id /usr/libexec/cvreport/list_services"
  expect_contains "$OUT" "sshd.service"
  run "cvps -A -E $id -o user,pid,%cpu,%mem,vsz,rss,tty,stat,start,cmd"
  expect_contains "$OUT" "/usr/sbin/sshd -D"
  [ -f "/proc/bc/$id/iostat" ] && [ -f "/proc/bc/$id/resources" ] || cv_fail "no /proc/bc/$id files"
  [ -f "/etc/cv/conf/$id.conf" ] || cv_fail "no configuration of $id"
  [ -d "/var/lib/cvsim/root/$id" ] || cv_fail "no root of $id"
done
[ ! -e "$D/containers/113" ] || cv_fail "a thirteenth container"

# Refusals, leaving what is there alone.
for n in 0 -3 x 100001; do
  ! bash "$GEN" "$n" "$WORK/other-$n" 2>/dev/null || cv_fail "a count of $n was accepted"
  [ ! -e "$WORK/other-$n" ] || cv_fail "a count of $n wrote something"
done
! bash "$GEN" 2 "$D" 2>"$ERR" || cv_fail "a non-empty directory was written into"
expect_contains "$ERR" "not empty"
expect_eq "$(find "$D/containers" -mindepth 1 -maxdepth 1 | wc -l)" 12 "containers after the refusal"

cv_pass
