#!/usr/bin/env bash
# Huge logs and configuration files are cut to the collector's per-file cap or line tail, so the archive stays small.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"

COLLECTOR=/usr/libexec/cvreport/cvreport_collector
cv_collector "$SRC/scripts/cvreport_collector"
CAP=$((4 * 1024 * 1024))

# Without journalctl the collector reads /var/log/syslog, which is what is
# made huge here.
for dir in /usr/sbin /usr/bin /sbin /bin; do
  [ -e "$dir/journalctl" ] || continue
  real=$(cd -P "$dir" && pwd)
  if [ -e "$real/journalctl" ]; then
    grep -q " $real overlay " /proc/mounts || cv_overlay "$real"
    rm -f "$real/journalctl"
  fi
done
! PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH command -v journalctl >/dev/null || cv_fail "could not take journalctl away"

# 50 MB in one line of incompressible text: a line count alone would not bound it.
head -c 37500000 /dev/urandom | base64 -w 0 >/var/log/syslog
# 400000 numbered lines: only the last ones are wanted.
seq -f 'cvreport log line %.0f ........................................' 1 400000 >/var/log/cvreport.log
# A runaway configuration file, also incompressible.
mkdir -p /etc/cv
head -c 15000000 /dev/urandom | base64 >/etc/cv/huge.conf
echo "NODE_NAME=node-east-1" >/etc/cv/cv.conf

WORKDIR=$(mktemp -d /tmp/cvreport.XXXXXX)
FILES=$WORKDIR/files
mkdir -m 0700 "$FILES"
echo "Full name: Ada Admin" >"$FILES/description"

started=$SECONDS
cv_run "$COLLECTOR" "$FILES"
expect_status 0
[ $((SECONDS - started)) -lt 120 ] || cv_fail "collecting took $((SECONDS - started))s"
archive=$WORKDIR/cvreport.tgz
[ -f "$archive" ] || cv_fail "no archive"
size=$(stat -c %s "$archive")
# Two capped incompressible files make about 6 MiB; uncapped it would be over 45 MiB.
[ "$size" -lt $((10 * 1024 * 1024)) ] || cv_fail "the archive is $size bytes"

X=$WORK/x
mkdir -p "$X"
tar xzf "$archive" -C "$X"
manifest=$X/collector/manifest.txt

# The capped copies are the start of the original plus a note, no longer.
for pair in "logs/syslog:/var/log/syslog" "config/etc/cv/huge.conf:/etc/cv/huge.conf"; do
  copy=$X/${pair%%:*}
  orig=${pair#*:}
  [ -f "$copy" ] || cv_fail "${pair%%:*} is missing"
  copy_size=$(stat -c %s "$copy")
  if [ "$copy_size" -le "$CAP" ] || [ "$copy_size" -gt $((CAP + 100)) ]; then
    cv_fail "${pair%%:*} is $copy_size bytes"
  fi
  cmp -s -n "$CAP" "$copy" "$orig" || cv_fail "${pair%%:*} is not the start of $orig"
  expect_eq "$(tail -n 1 "$copy")" "[cvreport: truncated at $CAP bytes]" "last line of ${pair%%:*}"
  grep -qP "^${pair%%:*}\texit=0,truncated\t" "$manifest" || cv_fail "the manifest does not mark ${pair%%:*} truncated"
done

# The log tail: whole lines, the newest ones, a bounded number of them.
log=$X/logs/cvreport.log
lines=$(wc -l <"$log")
if [ "$lines" -lt 100 ] || [ "$lines" -gt 20000 ]; then
  cv_fail "logs/cvreport.log has $lines lines"
fi
expect_eq "$(tail -n 1 "$log")" "$(tail -n 1 /var/log/cvreport.log)" "last line of the log tail"
expect_eq "$(head -n 1 "$log")" "$(tail -n "$lines" /var/log/cvreport.log | head -n 1)" "first line of the log tail"
cmp -s "$X/config/etc/cv/cv.conf" /etc/cv/cv.conf || cv_fail "a small file next to a huge one was not copied whole"

cv_pass
