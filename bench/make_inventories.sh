#!/usr/bin/env bash
# make_inventories.sh N PACKAGES DIR
#
# Writes two inventories of one host a week apart, DIR/old.xml and
# DIR/new.xml, for the benchmark of cvsysinfo --diff: N containers (IDs 101
# on; every tenth stopped) of PACKAGES packages each, the node of
# tests/fixtures/golden/node-full.xml and forty templates. On the new side
# every twentieth container has packages updated, added and removed, every
# fortieth a port moved, every hundredth is stopped and off at boot; the
# first container is gone and one follows the last; the BIOS RAID set is
# degraded, a template no longer cached, and every volatile value differs.
# Prints "CHANGED ADDED REMOVED", the containers a comparison must report.
source "$(dirname "$0")/bench_lib.sh"
usage() { echo "usage: $0 N PACKAGES DIR   (N 20 to 100000 containers, PACKAGES 10 to 10000)" >&2; exit 2; }
[ $# = 3 ] || usage
n=$1 packages=$2 dir=$3
[[ $n =~ ^[1-9][0-9]{1,5}$ ]] && ((n >= 20 && n <= 100000)) || usage
[[ $packages =~ ^[1-9][0-9]{1,4}$ ]] && ((packages <= 10000)) || usage
NODE=$SRC/tests/fixtures/golden/node-full.xml
mkdir -p -- "$dir"

# The node's golden is streamed through line by line: its RAM placeholder
# becomes a number, its counts become this host's, and on the new side its
# volatile figures move and the BIOS RAID set degrades.
# shellcheck disable=SC2016 # an awk program, expanded by awk
GENERATOR='
function running(i) { return i % 10 != 5 && !(side && i % 100 == 0) }
function changed(i) { return side && i % 20 == 0 }
function vol(i, k) { return (i * 7919 + k * 104729 + side * 15485863) % 9973 }
BEGIN {
  first = side ? 2 : 1; last = side ? n + 1 : n
  split("bash glibc openssl coreutils systemd util-linux kernel-headers python libxml2 zlib " \
        "curl sed grep gawk tar gzip xz rpm yum cronie openssh nginx httpd perl vim-minimal " \
        "libcurl ncurses readline pam shadow-utils", base, " ")
  nb = 30
  print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
  printf "<CVLIN host=\"cvnode-bench\" time=\"2026-12-%02dT10:00:00Z\" version=\"7.0.%d\">\n  <CVLIST>\n", \
         side ? 8 : 1, 1 + side
  for (i = first; i <= last; i++) {
    printf "    <CT>\n      <CTID>%d</CTID>\n      <NPROC>%s</NPROC>\n      <STATUS>%s</STATUS>\n" \
           "      <LAYOUT>5</LAYOUT>\n    </CT>\n", 100 + i, running(i) ? 30 + vol(i, 1) % 20 : "",
           running(i) ? "running" : "stopped"
    total++; up += running(i)
  }
  print "  </CVLIST>\n  <CONTAINERS>\n    <CT>\n      <CTID>0</CTID>\n      <CONF>"
  print "        <CV_ENABLED>yes</CV_ENABLED>\n        <LOCKDIR>/var/lib/cv/lock</LOCKDIR>"
  print "        <VE_ROOT>/var/lib/cv/root/$VEID</VE_ROOT>\n      </CONF>\n    </CT>"
  for (i = first; i <= last; i++) container(i)
  print "  </CONTAINERS>"
}
function container(i,    id) {
  id = 100 + i
  printf "    <CT>\n      <CTID>%d</CTID>\n      <STATE>%s</STATE>\n", id, running(i) ? "running" : "stopped"
  if (running(i)) {
    processes(i)
    printf "      <IoStat>sda %d 0 %d %d %d 0 %d %d 0 %d %d\n</IoStat>\n", vol(i, 2), vol(i, 3) * 8,
           vol(i, 4), vol(i, 5), vol(i, 6) * 8, vol(i, 7), vol(i, 8), vol(i, 9)
    printf "      <CtRoot>/var/lib/cv/root/%d</CtRoot>\n", id
    printf "      <Inodes>\n        <Count>655360</Count>\n        <IUsed>%d</IUsed>\n" \
           "        <IFree>%d</IFree>\n      </Inodes>\n", 40000 + vol(i, 10), 615360 - vol(i, 10)
    printf "      <DiskSpace>\n        <Size>10485760</Size>\n        <Used>%d</Used>\n" \
           "        <Avail>%d</Avail>\n      </DiskSpace>\n", 2000000 + vol(i, 11), 8485760 - vol(i, 11)
    resources(i)
    ports(i)
    docker(i)
  }
  conf(i)
  print "      <Services>crond.service   loaded active running Command Scheduler\n" \
        "sshd.service    loaded active running OpenSSH server daemon\n</Services>"
  software(i)
  print "    </CT>"
}
function processes(i,    k) {
  print "      <AllProcesses>USER       PID %CPU %MEM    VSZ   RSS TT       STAT  STARTED CMD"
  for (k = 1; k <= 30; k++)
    printf "root     %5d  %d.%d  0.%d %6d %5d ?        Ss     Dec 01 /usr/sbin/cvagent --worker %d\n",
           k * 37 + vol(i, k) % 50, vol(i, k) % 10, vol(i, k + 1) % 10, k % 10, 40000 + k * 13,
           1000 + vol(i, k + 2), k
  print "</AllProcesses>"
}
function resources(i,    k, r) {
  split("kmemsize numproc physpages numfile numtcpsock", r, " ")
  print "      <Resources>Version: 2.5"
  print "       uid  resource                     held              maxheld              barrier                limit              failcnt"
  for (k = 1; k <= 5; k++)
    printf "%s  %-20s %12d %20d %20s %20s %20d\n", k == 1 ? sprintf("%9d:", 100 + i) : "          ",
           r[k], vol(i, 20 + k), 10000 + vol(i, 20 + k), "9223372036854775807", "9223372036854775807", 0
  print "</Resources>"
}
function ports(i) {
  print "      <Ports>Active Internet connections (servers and established)"
  print "Proto Recv-Q Send-Q Local Address           Foreign Address         State       PID/Program name"
  print "tcp        0      0 0.0.0.0:22              0.0.0.0:*               LISTEN      301/sshd"
  print "tcp        0      0 0.0.0.0:80              0.0.0.0:*               LISTEN      402/httpd"
  if (side && i % 40 == 0)
    print "tcp        0      0 0.0.0.0:8080            0.0.0.0:*               LISTEN      977/java"
  else
    print "tcp        0      0 127.0.0.1:25            0.0.0.0:*               LISTEN      880/master"
  printf "tcp        0      0 10.0.%d.%d:22          192.0.2.%d:%d        ESTABLISHED 5%d/sshd\n",
         i % 250, 1 + i % 200, 1 + vol(i, 30) % 250, 1024 + vol(i, 31), vol(i, 32)
  print "</Ports>"
}
function docker(i,    k) {
  print "      <Docker>\n        <Version>Docker version 1.6.2, build 7c8fca2\n</Version>"
  print "        <Containers>1</Containers>\n        <Images>2</Images>"
  print "        <StorageDriver>devicemapper</StorageDriver>\n        <ExecutionDriver>native-0.2</ExecutionDriver>"
  print "        <Images>"
  for (k = 0; k < 2; k++)
    printf "          <Image>\n            <Repository>%s</Repository>\n            <Tag>%s</Tag>\n" \
           "            <Conf>[\n{\n    \"Id\": \"%s\",\n    \"Created\": \"2016-03-01T12:00:00Z\"\n}\n]\n" \
           "</Conf>\n          </Image>\n", k ? "nginx" : "centos", k ? "1.9" : "7", k ? "89ef0123abcd" : "0123abcd4567"
  print "        </Images>\n        <Containers>\n          <CT>"
  printf "            <Conf>[\n{\n    \"Id\": \"5d2f%08x\",\n    \"Created\": \"2016-03-01T12:00:00Z\",\n" \
         "    \"State\": {\n        \"Running\": true,\n        \"Pid\": %d\n    }\n}\n]\n</Conf>\n", i, vol(i, 40)
  print "          </CT>\n        </Containers>\n      </Docker>"
}
function conf(i) {
  print "      <CONF>"
  printf "        <ONBOOT>%s</ONBOOT>\n", side && i % 100 == 0 ? "no" : "yes"
  print "        <PHYSPAGES>65536:65536</PHYSPAGES>\n        <SWAPPAGES>0:0</SWAPPAGES>"
  print "        <DISKSPACE>10485760:10485760</DISKSPACE>\n        <DISKINODES>655360:655360</DISKINODES>"
  print "        <CPUUNITS>1000</CPUUNITS>\n        <VE_ROOT>/var/lib/cv/root/$VEID</VE_ROOT>"
  print "        <VE_PRIVATE>/var/lib/cv/private/$VEID</VE_PRIVATE>"
  printf "        <OSTEMPLATE>.centos-7-x86_64</OSTEMPLATE>\n        <HOSTNAME>.</HOSTNAME>\n"
  print "        <IP_ADDRESS>.</IP_ADDRESS>\n        <NAMESERVER>.</NAMESERVER>\n        <DESCRIPTION>.</DESCRIPTION>"
  printf "        <NETIF>\n          <ETH0>ifname=eth0,mac=00:18:51:%02X:%02X:%02X</ETH0>\n" \
         "          <ETH1>ifname=eth1</ETH1>\n        </NETIF>\n      </CONF>\n", int(i / 65536) % 256,
         int(i / 256) % 256, i % 256
}
function software(i,    k, name, release) {
  print "      <InstalledSoftware>"
  for (k = 0; k < packages; k++) {
    if (changed(i) && k == packages - 1) continue
    name = base[k % nb + 1] (k >= nb ? "-part" int(k / nb) : "")
    release = 1 + k % 4 + (changed(i) && k % 50 == 7)
    printf "        <Package name=\"%s\" arch=\"%s\" evr=\"%d.%d.%d-%d.el7\" description=\"Part %d of the base system\"/>\n",
           name, k % 7 == 3 ? "noarch" : "x86_64", 1 + k % 5, k % 13, k % 9, release, k
  }
  if (changed(i))
    print "        <Package name=\"cv-guest-tools\" arch=\"x86_64\" evr=\"7.0-3\" description=\"Guest tools\"/>"
  print "        <Package name=\"\" arch=\"\" evr=\"\" description=\"\"/>\n      </InstalledSoftware>"
}
/<TOTAL_CT>/ { sub(/>[0-9]*</, ">" total "<") }
/<RUNNING_CT>/ { sub(/>[0-9]*</, ">" up "<") }
/<ram>N MB<\/ram>/ { sub(/N MB/, "64401 MB") }
/<sets>/ { sets = 1 }
side && sets && /<status>ok<\/status>/ { sub(/ok/, "degraded") }
side && /^Mem:/ { sub(/19230044    30121500/, "19874112    29477432") }
side && /^\/dev\/vg0\/root/ { sub(/12110336  36726752/, "12298220  36538868") }
side && /^ +101 / { sub(/131071/, "131950") }
side { sub(/<VFree>28.00g/, "<VFree>27.25g"); sub(/<bio_in>1203122/, "<bio_in>1210452")
       sub(/<configtime>0.034/, "<configtime>0.029"); sub(/took="250s"/, "took=\"262s\"") }
{ print }
END {
  split("centos-7-x86_64 centos-6-x86_64 debian-8.0-x86_64 ubuntu-16.04-x86_64 cvlinux-7-x86_64", os, " ")
  split("mysql php nginx devel tomcat postfix ruby", flavour, " ")
  print "  <CVTEMPLATES>"
  for (k = 0; k < 40; k++) {
    printf "    <TEMPLATE>\n      <Name>%s%s</Name>\n      <Architecture>x86_64</Architecture>\n",
           os[k % 5 + 1], k < 5 ? "" : "-" flavour[int(k / 5)]
    printf "      <Timestamp>2026-%02d-%02d %02d:00:00</Timestamp>\n      <IsOsTemplate>%d</IsOsTemplate>\n" \
           "      <IsCached>%d</IsCached>\n    </TEMPLATE>\n", 1 + k % 12, 1 + k % 28, side ? 12 : 8,
           k < 5, !(side && k == 3)
  }
  print "  </CVTEMPLATES>\n</CVLIN>"
}'
generate() { awk -v side="$1" -v n="$n" -v packages="$packages" "$GENERATOR" "$NODE"; }
generate 0 >"$dir/old.xml"
generate 1 >"$dir/new.xml"
echo "$((n / 20)) 1 1"
