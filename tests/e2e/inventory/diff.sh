#!/usr/bin/env bash
# cvsysinfo --diff on inventories of the simulated mixed host before and
# after every kind of change it compares, then each document it refuses
# and each misuse: statuses as diff's, text and change document golden,
# nothing hostile printed, a FIFO never waited on.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"
# shellcheck source=../../sim_node.sh
source "$SRC/tests/sim_node.sh"

inventory() {
  cv_sim_node_host "$1"
  run_cvsysinfo "$WORK/$2"
  expect_status 0
}

# The "new" host: the mixed one after a package update, a container
# stopped, added and removed, Docker objects replaced, ports moved,
# settings changed, a RAID mirror and a BIOS set degraded, a cluster member
# down, a volume group grown, a disk image resized, a template dropped.
make_new_host() {
  local new=$WORK/fixture/mixed
  mkdir -p "$WORK/fixture"
  cp -R "$SRC/tests/fixtures/hosts/mixed" "$new"
  local ct=$new/containers/101 node=$new/node
  sed -i 's/^evr=4.2.46-19.el7$/evr=4.2.46-20.el7/' "$ct/packages"
  printf '[package]\nname=vim\narch=x86_64\nevr=7.4-1\ndescr=Vi IMproved\n' >>"$ct/packages"
  sed -i 's/^ONBOOT="yes"/ONBOOT="no"/' "$ct/conf"
  sed -i '/402\/sshd/d; /0.0.0.0:80 /a udp        0      0 0.0.0.0:68              0.0.0.0:*                           612/dhclient' \
    "$ct/tools/netstat"
  sed -i 's/"Id": "0123abcd4567"/"Id": "fedc0123abcd"/' "$ct/tools/docker/inspect 0123abcd4567.out"
  sed -i 's/"Id": "5d2f8e91c3aa"/"Id": "6e3a9f02d4bb"/' "$ct/tools/docker/inspect 5d2f8e91c3aa.out"
  echo stopped >"$new/containers/103/state"
  sed -i 's/^\( *103 .*\)suspended/\1stopped  /' "$new/cvlist/table"
  cp -R "$new/containers/102" "$new/containers/110"
  sed -i '/^ *106 /d; s/^\( *\)102\( .*\)$/&\n\1110\2/' "$new/cvlist/table"
  rm -r "$new/containers/106"
  sed -i 's/^101 102 103 104 105 1 106 107$/101 102 103 104 105 1 107 110/' "$new/ids"
  sed -i 's/^LOG_LEVEL=.*/LOG_LEVEL=2/' "$new/cv.conf"
  sed -i 's/^cached=yes$/cached=no/' "$new/templates/centos-7-x86_64"
  sed -i 's/MD_DEVICES=2/MD_DEVICES=1/; /sdb1/d' "$node/tools/mdadm/-D -Y %2Fdev%2Fmd0.out"
  sed -i 's/:ok:/:degraded:/' "$node/tools/dmraid/-s -s -g --sep : -ct:f:r:sta:str:se:su:d:sp.out"
  sed -i 's/master="node-east-1"/master="node-west-2"/; s/name="node-east-1" alive="yes"/name="node-east-1" alive="no"/' \
    "$node/tools/sentrel/stat --xml.out"
  sed -i 's/status="healthy"/status="degraded"/' "$node/tools/quorix/-c alpha stat --xml.out"
  sed -i 's/:278.00g:/:556.00g:/' "$node/tools/vgs"
  sed -i 's/E5-2630 v3/E5-2640 v4/' "$node/files/proc/cpuinfo"
  echo 41943040 >"$node/files/sys/devices/virtual/block/hdimg0/size"
}

# Runs cvsysinfo --diff ARGS... from $WORK, so that file names are relative.
run_diff() { cv_run bash -c 'cd "$1" && shift && exec "$@"' - "$WORK" "$BIN/cvsysinfo" "$@"; }

# Compares $OUT with the golden tests/fixtures/golden/diff/NAME, the kit's
# version set aside (CV_UPDATE_GOLDEN=1 writes it instead, for review by
# hand).
expect_diff_golden() {
  local golden=$SRC/tests/fixtures/golden/diff/$1
  sed -i '2s/^<cvchanges version="[^"]*"/<cvchanges version="KIT"/' "$OUT"
  if [ -n "${CV_UPDATE_GOLDEN:-}" ]; then cp "$OUT" "$golden"; return 0; fi
  diff -u "$golden" "$OUT" >&2 || cv_fail "the comparison differs from $golden"
}

cv_node_mount /dev/md0
cv_node_mount "quorix://alpha"
inventory "$SRC/tests/fixtures/hosts/mixed" old.xml
run_cvsysinfo "$WORK/again.xml"
make_new_host
inventory "$WORK/fixture/mixed" new.xml
# Whose and when the runs were is set aside: the goldens name the files,
# and the heading made of these attributes is checked on east.xml below.
sed -i '2s|<CVLIN [^>]*>|<CVLIN>|' "$WORK/old.xml" "$WORK/again.xml" "$WORK/new.xml"

# Volatile values only: a process list, disk and I/O figures, a free size.
sed -e 's/httpd -DFOREGROUND/httpd -DFOREGROUND -X/; s/<Used>0</<Used>7</; s/<VFree>28.00g</<VFree>27.00g</' \
  -e 's/<IoStat>sda 1522 /<IoStat>sda 1600 /' "$WORK/old.xml" >"$WORK/volatile.xml"
cmp -s "$WORK/old.xml" "$WORK/volatile.xml" && cv_fail "the volatile edit changed nothing"
# A process list past libxml2's usual 10 MB for one text, as cvsysinfo
# writes for a container of many processes.
awk '{ print } /<AllProcesses>/ && !done { for (i = 0; i < 150000; i++) print "root 1 0.0 0.1 43420 3840 ? Ss Jan 01 /usr/lib/systemd/systemd --system"; done = 1 }' \
  "$WORK/old.xml" >"$WORK/processes.xml"
# The root attributes of newer inventories, of two different hosts.
sed '2s|<CVLIN>|<CVLIN host="node-east-1" time="2026-12-01T10:00:00Z" version="7.0.1">|' "$WORK/old.xml" >"$WORK/east.xml"
sed '2s|<CVLIN>|<CVLIN host="node-west-2" time="2026-12-08T10:00:00Z" version="7.0.2">|' "$WORK/new.xml" >"$WORK/west.xml"

# --- documents that are refused ---------------------------------------
echo "top secret $RANDOM" >"$WORK/secret"
printf '<?xml version="1.0"?>\n<!DOCTYPE CVLIN [<!ENTITY s SYSTEM "file://%s">]>\n<CVLIN>&s;</CVLIN>\n' \
  "$WORK/secret" >"$WORK/entity.xml"
printf '<CVLIN><CVLIST>\n</CVLIN>\n' >"$WORK/broken.xml"
printf '<?xml version="1.0"?>\n<cvchanges/>\n' >"$WORK/other.xml"
sed "s|<TOTAL_CT>|<TOTAL_CT>seven|" "$WORK/old.xml" >"$WORK/invalid.xml"
mkfifo "$WORK/fifo"
mkdir "$WORK/locked"
chmod 000 "$WORK/locked"

# name | status | arguments | golden of stdout or "" | text stderr holds ("" : empty)
# | texts stdout holds, separated by ";"
two_hosts="cvsysinfo: warning: east.xml is of host node-east-1, west.xml of host node-west-2"
cases=(
  "every change, text|1|--diff old.xml new.xml|every-change.txt|"
  "every change, xml|1|--diff --format xml old.xml new.xml|every-change.xml|"
  "two runs on one host|0|--diff old.xml again.xml|||No changes."
  "volatile values only|0|--diff old.xml volatile.xml||"
  "volatile values with --all|1|--diff --all old.xml volatile.xml|||volatile IoStat: changed;volatile volume-group vg0 VFree: 28.00g -> 27.00g"
  "a process list over 10 MB|0|--diff old.xml processes.xml||"
  "two hosts|1|--diff east.xml west.xml||$two_hosts|Comparing node-east-1 at 2026-12-01T10:00:00Z (kit 7.0.1) with node-west-2 at 2026-12-08T10:00:00Z (kit 7.0.2)"
  "two hosts, xml|1|--diff --format xml east.xml west.xml||$two_hosts|<old file=\"east.xml\" host=\"node-east-1\" time=\"2026-12-01T10:00:00Z\" version=\"7.0.1\"/>"
  "missing|2|--diff old.xml absent.xml||cvsysinfo: cannot read absent.xml: No such file or directory"
  "a directory|2|--diff locked old.xml||cvsysinfo: cannot read locked: Is a directory"
  "a FIFO|2|--diff old.xml fifo||cvsysinfo: cannot read fifo: not a regular file"
  "not well-formed|2|--diff broken.xml new.xml||cvsysinfo: broken.xml is not well-formed XML: line 2: Opening and ending tag mismatch"
  "not an inventory|2|--diff old.xml other.xml||cvsysinfo: other.xml is not an inventory (its root element is cvchanges, not CVLIN)"
  "fails the schema|2|--diff invalid.xml new.xml||cvsysinfo: invalid.xml does not match the inventory schema: line "
  "an entity naming a secret|2|--diff entity.xml new.xml||cvsysinfo: entity.xml is not an inventory (it declares a document type)"
  "one document|2|--diff old.xml||usage: cvsysinfo"
  "standard input twice|2|--diff - -||usage: cvsysinfo"
  "three documents|2|--diff old.xml new.xml again.xml||usage: cvsysinfo"
  "--all without --diff|2|--all old.xml new.xml||usage: cvsysinfo"
  "an unknown format|2|--diff --format html old.xml new.xml||usage: cvsysinfo"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name status arguments golden message texts <<<"$row"
  cv_on_fail "case: $name"
  # shellcheck disable=SC2086 # the arguments are words
  run_diff $arguments
  expect_status "$status"
  if [ -n "$golden" ]; then expect_diff_golden "$golden"; fi
  IFS=';' read -r -a texts <<<"$texts"
  for text in "${texts[@]}"; do expect_contains "$OUT" "$text"; done
  if [ "$status" = 1 ] && [[ $arguments == *"--format xml"* ]]; then
    xmllint --noout --relaxng "$SRC/schema/cvsysinfo-changes.rng" "$OUT" 2>"$WORK/rng.err" ||
      cv_fail "$name: the change document does not match its schema: $(cat "$WORK/rng.err")"
  fi
  if [ "$status" = 2 ]; then expect_empty "$OUT"; fi
  if [ -n "$message" ]; then expect_contains "$ERR" "$message"; else expect_empty "$ERR"; fi
  [ "$(wc -l <"$ERR")" -le 2 ] || cv_fail "$name: more than a line of trouble"
  expect_lacks "$ERR" "top secret"
  expect_lacks "$OUT" "top secret"
done

cv_status bash -c 'cd "$1" && exec "$2" --diff - new.xml <old.xml' - "$WORK" "$BIN/cvsysinfo" >"$OUT" 2>"$ERR"
expect_status 1
expect_eq "$(head -1 "$OUT")" "Comparing - with new.xml" "the heading of standard input"
tail -n +2 "$OUT" | cmp -s - <(tail -n +2 "$SRC/tests/fixtures/golden/diff/every-change.txt") ||
  cv_fail "standard input is not compared as the file it holds"

cv_pass
