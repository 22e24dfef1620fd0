#!/usr/bin/env bash
# make_sim_host.sh N DIR
#
# Writes a simulated host description (platform/sim/README.md) with N
# running containers, IDs 101 to 100+N, for benchmarks of cvsysinfo. Every
# container has a process table, counters, a configuration, packages,
# services and Docker with one image and one Docker container; the tools
# answer from canned files shared by all containers (ct-tools), so a
# container costs the simulation as little as possible. The cvlist table
# is written out too, for the same reason. DIR must be missing or empty.
set -euo pipefail

usage() {
  echo "usage: $0 N DIR   (N containers, 1 to 100000; DIR missing or empty)" >&2
  exit 2
}
[ $# = 2 ] || usage
n=$1
dir=$2
[[ $n =~ ^[1-9][0-9]{0,5}$ ]] && ((n <= 100000)) || usage
if [ -e "$dir" ]; then
  [ -d "$dir" ] && [ -z "$(ls -A -- "$dir")" ] || { echo "$0: $dir exists and is not empty" >&2; exit 1; }
fi
mkdir -p -- "$dir"/{containers,templates,cvlist,ct-tools/docker}

cat >"$dir/README" <<TEXT
A benchmark host: $n running containers whose tools answer at once.
Written by bench/make_sim_host.sh.
TEXT

cat >"$dir/cv.conf" <<'TEXT'
CV_ENABLED=yes
LOCKDIR=/var/lib/cv/lock
VE_ROOT=/var/lib/cv/root/$VEID
NET.RATE=eth0:1:4096
TEXT

# Shared by all containers.
tools=$dir/ct-tools
cat >"$tools/netstat" <<'TEXT'
Active Internet connections (servers and established)
Proto Recv-Q Send-Q Local Address           Foreign Address         State       PID/Program name
tcp        0      0 0.0.0.0:22              0.0.0.0:*               LISTEN      301/sshd
tcp        0      0 0.0.0.0:80              0.0.0.0:*               LISTEN      402/httpd
TEXT
# A plain file answers any arguments: list-units is the first thing asked.
cat >"$tools/systemctl" <<'TEXT'
crond.service   loaded active running Command Scheduler
httpd.service   loaded active running The Apache HTTP Server
sshd.service    loaded active running OpenSSH server daemon
TEXT
printf 'Docker version 1.6.2, build 7c8fca2\n' >"$tools/docker/--version.out"
printf 'Containers: 1\nImages: 1\nStorage Driver: devicemapper\nExecution Driver: native-0.2\n' \
  >"$tools/docker/info.out"
printf 'REPOSITORY TAG IMAGE ID CREATED VIRTUAL SIZE\ncentos 7 0123abcd4567 2 weeks ago 172.2 MB\n' \
  >"$tools/docker/images.out"
printf '5d2f8e91c3aa\n' >"$tools/docker/ps -a -q.out"
for id in 0123abcd4567 5d2f8e91c3aa; do
  printf '[{"Id": "%s", "Created": "2016-03-01T12:00:00Z"}]\n' "$id" >"$tools/docker/inspect $id.out"
done

cat >"$dir/templates/centos-7-x86_64" <<'TEXT'
[template]
timestamp=2016-03-01 12:00:00
is_os=1
name=centos-7-x86_64
osname=centos
osver=7
arch=x86_64
summary=Centos 7 Lyte OS Template
cached=yes

[template]
timestamp=2016-03-02 08:30:00
is_os=0
name=centos-7-x86_64-mysql
osname=centos
osver=7
arch=x86_64
summary=MySQL for Centos 7
cached=no
TEXT

{
  printf '%10s %10s %-9s %s\n' CTID NPROC STATUS LAYOUT
  for ((i = 1; i <= n; i++)); do
    printf '%10d %10d %-9s %s\n' $((100 + i)) 4 running 5
  done
} >"$dir/cvlist/table"

for ((i = 1; i <= n; i++)); do
  id=$((100 + i))
  ct=$dir/containers/$id
  mkdir -- "$ct"
  echo running >"$ct/state"
  cat >"$ct/ps" <<TEXT
USER       PID %CPU %MEM    VSZ   RSS TT       STAT  STARTED CMD
root         1  0.0  0.1  43420  3840 ?        Ss     Jan 01 /sbin/init
root       301  0.0  0.1  82552  6100 ?        Ss     Jan 01 /usr/sbin/sshd -D
root       402  0.0  0.5 228704  9876 ?        Ss     Jan 01 /usr/sbin/httpd -DFOREGROUND
TEXT
  printf 'sda %d 0 9732 120 338 0 41021 932 0 441 1052\n' "$i" >"$ct/iostat"
  printf 'Version: 2.5\n       uid  resource        held   maxheld   barrier     limit   failcnt\n      %d:  numproc            4        12      1024      1024         0\n' \
    "$id" >"$ct/resources"
  printf 'ONBOOT="yes"\nHOSTNAME="ct%d.example.net"\nIP_ADDRESS="10.%d.%d.%d"\nOSTEMPLATE=".centos-7-x86_64"\n' \
    "$id" $((id / 65536 % 256)) $((id / 256 % 256)) $((id % 256)) >"$ct/conf"
  cat >"$ct/packages" <<'TEXT'
[package]
name=bash
arch=x86_64
evr=4.2.46-19.el7
descr=The GNU Bourne Again shell
[package]
name=httpd
arch=x86_64
evr=2.4.6-40.el7
descr=Apache HTTP Server
[package]
name=openssh-server
arch=x86_64
evr=6.6.1p1-22.el7
descr=An open source SSH server daemon
TEXT
done
echo "$0: $n containers written to $dir"
