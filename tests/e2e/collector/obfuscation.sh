#!/usr/bin/env bash
# --obfuscate: names, addresses, MACs, users and listed words planted across
# the host and the collection leave in no file of the kept report, each as
# one placeholder in every file and run; a report still holding one stops.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_collector "$SRC/scripts/cvreport_collector"
cp -r "$SRC/tests/fixtures/hosts/mixed" "$WORK/host"
# Processes in containers: a site account's, and container-only accounts
# known from the container's own passwd; container 102's etc is a link out
# of its root, which root never follows.
ps_row() { printf '%-11s %s  0.0  0.1   1000   100 ?        S      Jan 01 /usr/bin/cvtt%s\n' "$@"; }
ps_row kovacs 77 " --peer 10.20.30.77" szabo 78 "" >>"$WORK/host/containers/101/ps"
{ head -n 1 "$WORK/host/containers/101/ps" && ps_row tothm 79 ""; } >"$WORK/host/containers/102/ps"
cv_sim_host "$WORK/host"
mkdir -p /var/lib/cvsim/root/101/etc /var/lib/cvsim/root/102 "$WORK/elsewhere"
printf 'szabo:x:1010:1010::/home/szabo:/bin/sh\nwww-data:x:33:33::/var/www:/bin/sh\n' \
  >/var/lib/cvsim/root/101/etc/passwd
printf 'tothm:x:1011:1011::/home/tothm:/bin/sh\n' >"$WORK/elsewhere/passwd"
ln -s "$WORK/elsewhere" /var/lib/cvsim/root/102/etc
# The host's process list comes from the real /proc, as in the privacy case.
umount /proc
printf '#!/bin/bash\nexec %q "$@"\n' "$BIN/cvsysinfo" >/usr/sbin/cvsysinfo
chmod 0755 /usr/sbin/cvsysinfo
cv_config "SUBMIT_URI=https://support.example.net/submit"

HOST=web-late-07.corp.example
printf 'kovacs:x:1001:1001::/home/kovacs:/bin/bash\nnagy:x:1002:1002::/home/nagy:/bin/bash\n' >>/etc/passwd
printf 'cvops:x:1050:kovacs\n' >>/etc/group
# Broken account lines never stop the run nor replace inside other words.
{
  printf '\377\001bin:x:1003:1003::/:/bin/sh\n::1004:1004::/:\nin:x:1005:\nz:x:99999999999999999999:\n'
  head -c 300000 /dev/zero | tr '\0' 'q'
  printf ':x:1006:1006::/:\n'
} >>/etc/passwd
printf '127.0.0.1 localhost\n10.20.30.41 db1.corp.example db1\n10.20.30.42 backup-west.corp.example\n' >/etc/hosts
mkdir -m 0755 /etc/cvreport
printf 'AcmeWidgets\n\n.*+(\na\n' >/etc/cvreport/obfuscate.words
# A name set only in the platform configuration, used in the log as well.
printf 'NODE_NAME=stor-late-9.corp.example\nPEER_URL=https://ops@api.acme-intra.net:8443/v1\n' >/etc/cv/late.conf
printf 'iface eth0 hwaddr 00:1A:2B:3C:4D:5E\n' >/etc/cv/net.conf
cat >/var/log/cvreport.log <<'EOF2'
Dec  1 03:00:01 cvtt: peer stor-late-9.corp.example (10.20.30.41) joined, db1.corp.example ready
Dec  1 03:00:02 cvtt: lease for dhcp-10-1-2-3 and ip-10-1-2-4.corp.example from 10.20.30.42
Dec  1 03:00:03 sshd: Accepted publickey for nagy from 10.20.30.77 port 22; kovacs in cvops
Dec  1 03:00:04 cvctl: AcmeWidgets migration to web-late-07 started on 00:1A:2B:3C:4D:5E
Dec  1 03:00:05 cvctl: loopback 127.0.0.1 kept, root and apache stay
EOF2
setsid setpriv --reuid=1002 --regid=1002 --clear-groups sleep 600 </dev/null >/dev/null 2>&1 &
cv_on_exit "kill -- -$!"

originals=(web-late-07.corp.example web-late-07 corp.example db1.corp.example backup-west.corp.example
  stor-late-9.corp.example api.acme-intra.net web1.example.net mail.example.net kovacs nagy cvops
  AcmeWidgets 10.20.30.41 10.20.30.42 10.20.30.77 10.0.0.101 dhcp-10-1-2-3 ip-10-1-2-4 1A:2B:3C szabo)
MAP=/var/lib/cvreport/obfuscation.map

# Runs cvreport on a host named $HOST, in a UTS namespace of its own.
# shellcheck disable=SC2016 # the inner shell expands them
run_named() { cv_run unshare --uts -- sh -c 'hostname "$0" && exec "$@"' "$HOST" "$BIN/cvreport" "$@"; }
# The placeholder the map gives an original.
placeholder() { awk -F'\t' -v o="$1" '$2 == o { print $3 }' "$MAP"; }

# Unpacks the newest kept report into $1 and checks that nothing planted is left.
check_kept_report() {
  local x=$1 kept original
  kept=$(cv_kept_reports | tail -n 1)
  mkdir -p "$x"
  tar xzf "$kept/cvreport.tgz" -C "$x"
  (cd "$kept" && sha256sum --quiet -c cvreport.tgz.sha256) || cv_fail "the checksum does not verify"
  for original in "${originals[@]}"; do
    expect_eq "$(grep -rlF --exclude=description -- "$original" "$x" || true)" "" "files holding [$original]"
    expect_eq "$(tar tzf "$kept/cvreport.tgz" | grep -F -- "$original" || true)" "" "file names holding [$original]"
  done
  expect_contains "$x/collector/manifest.txt" "# Obfuscated: host names, addresses and user names were replaced"
  xmllint --noout --relaxng "$SRC/schema/cvsysinfo.rng" "$x/inventory/cvsysinfo.xml" 2>"$WORK/schema.err" ||
    cv_fail "the obfuscated inventory is not valid: $(cat "$WORK/schema.err")"
  # What support needs stays: system accounts, loopback addresses.
  expect_contains "$x/logs/cvreport.log" "loopback 127.0.0.1 kept, root and apache stay"
  expect_contains "$x/inventory/cvsysinfo.xml" "apache "
  expect_contains "$x/inventory/cvsysinfo.xml" "tothm "
}

run_named --collect-only --obfuscate "${CV_CONTACT[@]}"
expect_status 0
expect_contains "$OUT" "Names in this report were replaced; the map is in $MAP"
check_kept_report "$WORK/x1"
# One original, one placeholder, in every file that had it; an address
# keeps its host part in the placeholder of its /24 network.
x1=$WORK/x1
shown_net=$(placeholder 10.20.30)
[ -n "$shown_net" ] || cv_fail "the map has no placeholder for the network 10.20.30"
for pair in "db1.corp.example:logs/cvreport.log network/hosts" "kovacs:logs/cvreport.log inventory/cvsysinfo.xml" \
  "10.20.30.41:logs/cvreport.log network/hosts" "10.20.30.42:logs/cvreport.log network/hosts"; do
  original=${pair%%:*}
  shown=$(placeholder "$original")
  [[ $original != 10.20.30.* ]] || shown=$shown_net.${original##*.}
  [ -n "$shown" ] || cv_fail "the map has no placeholder for [$original]"
  read -r -a files <<<"${pair#*:}"
  for file in "${files[@]}"; do expect_contains "$x1/$file" "$shown"; done
done
expect_contains "$x1/logs/cvreport.log" "$(placeholder kovacs) in $(placeholder cvops)"
expect_contains "$x1/config/etc/cv/late.conf" "NODE_NAME=$(placeholder stor-late-9.corp.example)"
cp "$MAP" "$WORK/map1"

# OBFUSCATE=yes alone asks for it, and the map is reused: a second report
# gives every original the same placeholder.
cv_config "SUBMIT_URI=https://support.example.net/submit" "OBFUSCATE=yes"
run_named --collect-only "${CV_CONTACT[@]}"
expect_status 0
check_kept_report "$WORK/x2"
expect_eq "$(grep -vxFf "$MAP" "$WORK/map1" || true)" "" "map lines changed by the second run"
expect_eq "$(grep -F 'cvtt: ' "$WORK/x2/logs/cvreport.log")" "$(grep -F 'cvtt: ' "$WORK/x1/logs/cvreport.log")" \
  "the planted log lines in two runs"

# Refusals: each stops with status 9, keeps nothing and names no original.
kept_before=$(cv_kept_reports | wc -l)
refusals=(
  "name:a file named after the host:config/etc/cv/nodes/$(placeholder $HOST)/peer.conf still holds a"
  "words:a words file that is not root's:/etc/cvreport/obfuscate.words"
  "map:a map that is not 0600:$MAP"
)
for refusal in "${refusals[@]}"; do
  IFS=: read -r what why said <<<"$refusal"
  case $what in
    name) mkdir -p "/etc/cv/nodes/$HOST" && printf 'x\n' >"/etc/cv/nodes/$HOST/peer.conf" ;;
    words) rm -r /etc/cv/nodes && chown 1001 /etc/cvreport/obfuscate.words ;;
    map) chown 0 /etc/cvreport/obfuscate.words && chmod 0644 "$MAP" ;;
  esac
  run_named --collect-only --obfuscate "${CV_CONTACT[@]}"
  expect_status 9
  expect_contains "$ERR" "$said"
  for original in "${originals[@]}"; do expect_lacks "$ERR" "$original"; done
  expect_eq "$(cv_kept_reports | wc -l)" "$kept_before" "reports kept with $why"
  expect_eq "$(find /tmp -name 'cvreport.tgz*')" "" "archives left with $why"
done

cv_pass
