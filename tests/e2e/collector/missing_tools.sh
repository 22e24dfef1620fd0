#!/usr/bin/env bash
# Missing or failing tools are skipped with a note in the archive, and the report is still built (logs then come from /var/log).
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"

COLLECTOR=/usr/libexec/cvreport/cvreport_collector
cv_collector "$SRC/scripts/cvreport_collector"

# Takes programs away from this case: each directory holding one becomes an
# overlay, and the program is deleted there.
hide_tools() {
  local tool dir real overlaid=" "
  for tool in "$@"; do
    for dir in /usr/local/sbin /usr/local/bin /usr/sbin /usr/bin /sbin /bin; do
      [ -e "$dir/$tool" ] || [ -L "$dir/$tool" ] || continue
      real=$(cd -P "$dir" && pwd)
      case $overlaid in
        *" $real "*) ;;
        *)
          cv_overlay "$real"
          overlaid="$overlaid$real "
          ;;
      esac
      rm -f "$real/$tool"
    done
  done
}

hidden=(ip ss netstat dmesg journalctl findmnt cvsysinfo)
hide_tools "${hidden[@]}"
for tool in "${hidden[@]}"; do
  ! PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH command -v "$tool" >/dev/null ||
    cv_fail "could not take $tool away"
done

# An inventory tool found on the caller's PATH that fails without writing
# anything, leaving a command behind in a process group of its own that
# holds its standard error: the collector neither waits for it nor leaves it.
mkdir -p "$WORK/bin"
printf '#!/bin/bash\necho "cvsysinfo: no platform database" >&2\nset -m\nsleep 900 &\necho $! >%s\nexit 3\n' \
  "$WORK/left.pid" >"$WORK/bin/cvsysinfo"
chmod 0755 "$WORK/bin/cvsysinfo"

# Without a journal the log files are read; a log that is a link is not.
printf 'Dec  1 03:00:0%d node syslog line %d\n' 1 1 2 2 3 3 >/var/log/syslog
printf 'Dec  1 03:00:0%d node messages line %d\n' 4 4 5 5 >/var/log/messages
echo "not a log" >"$WORK/elsewhere.log"
ln -s "$WORK/elsewhere.log" /var/log/kern.log

WORKDIR=$(mktemp -d /tmp/cvreport.XXXXXX)
FILES=$WORKDIR/files
mkdir -m 0700 "$FILES"
echo "Full name: Ada Admin" >"$FILES/description"

cv_run timeout 200 env PATH="$WORK/bin:$PATH" "$COLLECTOR" -d "$FILES"
expect_status 0
left_gone() { ! kill -0 "$(cat "$WORK/left.pid")" 2>/dev/null; }
cv_wait_for 10 "the end of the command the inventory left running" left_gone
[ -f "$WORKDIR/cvreport.tgz" ] || cv_fail "no archive"
expect_eq "$(grep '^Progress' "$OUT" | tail -n 1)" "Progress: 100" "last progress line"

X=$WORK/x
mkdir -p "$X"
tar xzf "$WORKDIR/cvreport.tgz" -C "$X"
tar tzf "$WORKDIR/cvreport.tgz" >"$WORK/listing"
skipped=$X/collector/skipped.txt
manifest=$X/collector/manifest.txt

expect_contains "$skipped" "ip addr: 'ip' is not installed"
expect_contains "$skipped" "ip route: 'ip' is not installed"
expect_contains "$skipped" "ip link: 'ip' is not installed"
expect_contains "$skipped" "dmesg: 'dmesg' is not installed"
expect_contains "$skipped" "findmnt: 'findmnt' is not installed"
expect_contains "$skipped" "listening sockets: neither 'ss' nor 'netstat' is installed"
expect_contains "$skipped" "journalctl: 'journalctl' is not installed"
expect_contains "$skipped" "/var/log/kern.log: is a symbolic link"
for gone in network/ip-addr.txt network/ip-route.txt network/ip-link.txt system/dmesg.txt \
  storage/findmnt.txt network/listening.txt logs/journal.txt logs/kern.log; do
  ! grep -qxF "$gone" "$WORK/listing" || cv_fail "the archive holds $gone"
  expect_lacks "$manifest" "$gone"
done

# The rest was still collected.
for kept in system/uname.txt storage/df-h.txt network/resolv.conf processes/ps.txt hardware/meminfo; do
  grep -qxF "$kept" "$WORK/listing" || cv_fail "the archive lacks $kept"
done
cmp -s "$X/logs/syslog" /var/log/syslog || cv_fail "logs/syslog differs from /var/log/syslog"
cmp -s "$X/logs/messages" /var/log/messages || cv_fail "logs/messages differs from /var/log/messages"
expect_lacks "$WORK/listing" "elsewhere"

# The failing inventory tool is on record with its status, its output kept.
grep -qP "^inventory/cvsysinfo.out\texit=3\t$WORK/bin/cvsysinfo " "$manifest" ||
  cv_fail "the manifest does not record cvsysinfo's exit status: $(cat "$manifest")"
expect_contains "$X/inventory/cvsysinfo.out" "cvsysinfo: no platform database"
expect_contains "$skipped" "inventory/cvsysinfo.xml: cvsysinfo wrote no inventory"

cv_pass
