#!/usr/bin/env bash
# The collector packs the host's state and the contact file into cvreport.tgz next to FILES_DIR, with progress and checksum.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"

COLLECTOR=/usr/libexec/cvreport/cvreport_collector
cv_collector "$SRC/scripts/cvreport_collector"

make_work_dir() {
  WORKDIR=$(mktemp -d /tmp/cvreport.XXXXXX)
  FILES=$WORKDIR/files
  mkdir -m 0700 "$FILES"
  printf 'Full name: Ada Admin\nSubject:   Containers stop\nIssue: All containers stopped at 3am.\n' \
    >"$FILES/description"
}

run_collector() {
  cv_run "$COLLECTOR" "$@"
}

# --- fixtures: a platform host -------------------------------------------

cv_release "Orbelin Server release 7.4 (build 7.4.0-1182)"
mkdir -p /etc/cv/nodes
printf 'NODE_NAME=node-east-1\nSTORAGE_POOL=/var/lib/cv/pool0\n' >/etc/cv/cv.conf
printf 'role: compute\nzone: east\n' >/etc/cv/nodes/node-east-1.yaml

# 30 containers: the inventory is given 30 s more than the usual 90 s.
mkdir -p /etc/cv/conf
for id in $(seq 101 130); do echo 'OSTEMPLATE=base' >"/etc/cv/conf/$id.conf"; done
echo 'not a container' >/etc/cv/conf/notes.txt

# An inventory tool that insists on being asked for -j N and exactly one
# output file.
cv_overlay /usr/sbin
cat >/usr/sbin/cvsysinfo <<'EOF'
#!/bin/bash
[ $# -eq 3 ] && [ "$1" = -j ] || { echo "usage: cvsysinfo -j N FILE" >&2; exit 2; }
# The collector's -j follows the processors, within 4 to 16.
[ "$2" -ge 4 ] && [ "$2" -le 16 ] || { echo "bad -j $2" >&2; exit 2; }
shift 2
printf '<inventory><node name="node-east-1"/><cpus>8</cpus></inventory>\n' >"$1"
EOF
chmod 0755 /usr/sbin/cvsysinfo

# A process whose command line support should see in the process list.
sleep 4271 >/dev/null 2>&1 &
marker_pid=$!
cv_on_exit "kill $marker_pid"

# --- with -d --------------------------------------------------------------

make_work_dir
run_collector -d "$FILES"
expect_status 0

archive=$WORKDIR/cvreport.tgz
[ -f "$archive" ] || cv_fail "no archive at $archive"
leftovers=$(find "$WORKDIR" -mindepth 1 -maxdepth 1 ! -name files ! -name cvreport.tgz ! -name cvreport.tgz.sha256)
expect_eq "$leftovers" "" "files left next to the archive"
gzip -t "$archive" || cv_fail "the archive is not valid gzip"

tar tzf "$archive" >"$WORK/listing" || cv_fail "tar can't list the archive"
for entry in description collector/manifest.txt collector/skipped.txt \
  system/uname.txt system/os-release system/orbelin-release system/dmesg.txt \
  storage/mounts.txt storage/df-h.txt storage/df-i.txt \
  network/ip-addr.txt network/ip-route.txt network/ip-link.txt \
  processes/ps.txt packages/packages.txt hardware/meminfo hardware/cpuinfo hardware/free.txt \
  config/etc/cv/cv.conf config/etc/cv/nodes/node-east-1.yaml inventory/cvsysinfo.xml; do
  grep -qxF -- "$entry" "$WORK/listing" || cv_fail "the archive lacks $entry"
done
# Everything sits under FILES_DIR's content, never under an absolute or parent path.
! grep -qE '^(/|\.\./)|/\.\./' "$WORK/listing" || cv_fail "unsafe member names: $(cat "$WORK/listing")"

X=$WORK/x
mkdir -p "$X"
tar xzf "$archive" -C "$X"
cmp -s "$X/description" "$FILES/description" || cv_fail "the contact file changed in the archive"
expect_eq "$(cat "$X/system/orbelin-release")" "Orbelin Server release 7.4 (build 7.4.0-1182)" "release file"
expect_contains "$X/system/uname.txt" "$(uname -r)"
cmp -s "$X/config/etc/cv/cv.conf" /etc/cv/cv.conf || cv_fail "/etc/cv/cv.conf was not copied as is"
cmp -s "$X/config/etc/cv/nodes/node-east-1.yaml" /etc/cv/nodes/node-east-1.yaml ||
  cv_fail "a nested /etc/cv file was not copied as is"
expect_contains "$X/inventory/cvsysinfo.xml" '<node name="node-east-1"/>'
# The mounts are the collector's own: this case's overlay on /etc shows there.
grep -qE '^overlay /etc overlay ' "$X/storage/mounts.txt" || cv_fail "mounts.txt does not list the /etc overlay"
expect_contains "$X/processes/ps.txt" "sleep 4271"
grep -qE '^bash([[:space:]]|-[0-9])' "$X/packages/packages.txt" || cv_fail "the package list lacks bash"
expect_contains "$X/hardware/meminfo" "MemTotal:"
grep -qP '^system/uname.txt\texit=0\tuname -a$' "$X/collector/manifest.txt" ||
  cv_fail "the manifest does not record uname's status"
grep -qP '^inventory/cvsysinfo.xml\texit=0\t' "$X/collector/manifest.txt" ||
  cv_fail "the manifest does not record the inventory"
# How long it took, of how long it was given, and with how many jobs.
jobs=$(nproc)
[ "$jobs" -lt 4 ] && jobs=4
[ "$jobs" -gt 16 ] && jobs=16
grep -qP "^inventory/cvsysinfo.xml\texit=0\t/usr/sbin/cvsysinfo -j $jobs, [0-9]+s of 120s$" "$X/collector/manifest.txt" ||
  cv_fail "the manifest does not record the inventory's time: $(grep inventory "$X/collector/manifest.txt")"

# Progress: well formed, from 0 to 100, never going back.
grep '^Progress' "$OUT" >"$WORK/progress" || cv_fail "no progress lines with -d"
bad=$(grep -vxE 'Progress: [0-9]{1,3}' "$WORK/progress" || true)
expect_eq "$bad" "" "malformed progress lines"
expect_eq "$(head -n 1 "$WORK/progress")" "Progress: 0" "first progress line"
expect_eq "$(tail -n 1 "$WORK/progress")" "Progress: 100" "last progress line"
prev=0
while read -r _ n; do
  [ "$n" -le 100 ] || cv_fail "progress $n is above 100"
  [ "$n" -ge "$prev" ] || cv_fail "progress went back from $prev to $n"
  prev=$n
done <"$WORK/progress"
[ "$(wc -l <"$WORK/progress")" -ge 5 ] || cv_fail "too few progress steps: $(cat "$WORK/progress")"

# The checksum file verifies the archive and agrees with what was printed.
(cd "$WORKDIR" && sha256sum --quiet -c cvreport.tgz.sha256) || cv_fail "cvreport.tgz.sha256 does not verify"
sum=$(sha256sum "$archive")
sum=${sum%% *}
expect_eq "$(cat "$WORKDIR/cvreport.tgz.sha256")" "$sum  cvreport.tgz" "checksum file"
expect_contains "$OUT" "Archive SHA-256: $sum"
[ "$(wc -l <"$ERR")" -le 3 ] || cv_fail "too much said on stderr"

# A second run in the same work directory replaces the archive and its checksum.
echo "Second thoughts." >>"$FILES/description"
run_collector -d "$FILES"
expect_status 0
(cd "$WORKDIR" && sha256sum --quiet -c cvreport.tgz.sha256) || cv_fail "the checksum of the second run does not verify"
tar xzf "$archive" -O description | grep -qx "Second thoughts." || cv_fail "the second run kept the old archive"

# --- without -d -----------------------------------------------------------

make_work_dir
run_collector "$FILES"
expect_status 0
[ -f "$WORKDIR/cvreport.tgz" ] || cv_fail "no archive without -d"
expect_lacks "$OUT" "Progress:"
expect_contains "$OUT" "Collecting"
expect_contains "$OUT" "Archive SHA-256: "

cv_pass
