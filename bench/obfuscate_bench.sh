#!/usr/bin/env bash
# Obfuscation benchmark: a collection of about 100 MB (a system log naming
# hosts, addresses, MACs and users; configuration files; a 1000-container
# inventory; the hosts and account files the names are gathered from, about
# 3000 names) obfuscated by cv_obfuscate (gather, build, replace in every
# file) against gzip -1 of the same bytes in the same run, both writing to
# /dev/null. Targets: at most 3 times gzip -1, and at most 128 MB peak
# memory. The same with the check for survivors that precedes sending is
# shown beside it.
#
#   bench/obfuscate_bench.sh [LOG_MIB] [ROUNDS]   (defaults 83, 3)
source "$(dirname "$0")/bench_lib.sh"
bench_program bench/cv_obfuscate
DRIVER=$PROGRAM
log_mib=${1:-83}
rounds=${2:-3}

bench_workdir obfbench
mkdir -p "$WORK/in/etc/cv/conf.d" "$WORK/in/var/log"

python3 - "$WORK/in" "$log_mib" <<'PY'
import random, sys
root, log_mib = sys.argv[1], int(sys.argv[2])
rnd = random.Random(22)
nets = [f"10.{rnd.randrange(1, 250)}.{rnd.randrange(250)}" for _ in range(40)] + \
       [f"192.168.{i}" for i in range(20)]
def ip(): return f"{rnd.choice(nets)}.{rnd.randrange(1, 254)}"
def mac(): return "52:54:00:" + ":".join(f"{rnd.randrange(256):02x}" for _ in range(3))
cts = [f"ct{100 + i}" for i in range(1000)]
hosts = [f"cvnode{i}" for i in range(100)]
users = [f"u{rnd.randrange(10**6):06d}x" for _ in range(600)]
groups = [f"team{i:03d}" for i in range(300)]
words = [f"Customer{i:03d}" for i in range(60)]
with open(f"{root}/etc/hosts", "w") as f:
    f.write("127.0.0.1 localhost\n")
    for h in hosts: f.write(f"{ip()} {h}.corp.example {h}\n")
    for c in cts: f.write(f"{ip()} {c}.cust.example {c}\n")
with open(f"{root}/etc/passwd", "w") as f:
    f.write("root:x:0:0:root:/root:/bin/bash\n")
    for i, u in enumerate(users): f.write(f"{u}:x:{1000 + i}:{1000 + i}::/home/{u}:/bin/bash\n")
with open(f"{root}/etc/group", "w") as f:
    for i, g in enumerate(groups): f.write(f"{g}:x:{2000 + i}:{rnd.choice(users)}\n")
with open(f"{root}/etc/obfuscate.words", "w") as f:
    f.write("\n".join(words) + "\n")
log = ["Dec  1 03:{m:02d}:{s:02d} {h} " + t for t in [
    "cvd[{p}]: container {c} started in {ms} ms",
    "sshd[{p}]: Accepted publickey for {u} from {ip} port {port} ssh2",
    "kernel: [{p}.{ms}] eth0: link up, 1000 Mbps full duplex",
    "dhclient[{p}]: DHCPACK of {ip} from {ip2} (dhcp-{dip})",
    "kernel: br0: port 2({mac}) entered forwarding state",
    "api[{p}]: GET /v1/containers/{c} 200 {ms}ms user={u} for {w}",
    "systemd[1]: Started cv-container@{c}.service.",
    "cvd[{p}]: resolved {c}.cust.example to {ip} via 2001:db8:{p}::{ms}",
]]
def fill(t):
    a = ip()
    return t.format(m=rnd.randrange(60), s=rnd.randrange(60), p=rnd.randrange(1, 9999),
                    c=rnd.choice(cts), ms=rnd.randrange(1, 9999), h=rnd.choice(hosts),
                    u=rnd.choice(users), ip=a, ip2=ip(), dip=a.replace(".", "-"), mac=mac(),
                    port=rnd.randrange(1024, 65535), w=rnd.choice(words))
def write(path, templates, size):
    with open(path, "w") as out:
        n = 0
        while n < size: n += out.write(fill(rnd.choice(templates)) + "\n")
write(f"{root}/var/log/messages", log, log_mib << 20)
conf = ["HOSTNAME={c}.cust.example", "IP_ADDRESS={ip}", "NETIF=ifname=eth0,mac={mac}",
        "# owner {u} of {w}", "ONBOOT=yes", "DNS=2001:db8:{p}::1", "NAMESERVER={ip2}"]
for i, c in enumerate(cts):
    write(f"{root}/etc/cv/conf.d/{c}.conf", conf, 10 << 10)
with open(f"{root}/inventory.xml", "w") as out:
    out.write('<?xml version="1.0"?>\n<inventory>\n')
    for c in cts:
        out.write(f'  <container id="{c[2:]}" hostname="{c}.cust.example">\n')
        out.write(f'    <network address="{ip()}" mac="{mac()}" gateway="{ip()}"/>\n')
        for _ in range(80):
            out.write(f'    <process pid="{rnd.randrange(99999)}" user="{rnd.choice(users + ["root", "nginx"])}" '
                      f'command="/usr/sbin/cvagent --peer {rnd.choice(cts)}.cust.example"/>\n')
        out.write('  </container>\n')
    out.write('</inventory>\n')
PY

bytes=$(du -sb "$WORK/in" | cut -f1)
bench_measure gzip 0 bash -c 'find "$1" -type f -exec cat {} + | gzip -1 >/dev/null' - "$WORK/in"
bench_measure obf 0 "$DRIVER" "$WORK/in" /dev/null
bench_measure check 0 "$DRIVER" "$WORK/in" /dev/null --check
"$DRIVER" "$WORK/in" /dev/null --check
ratio=$(bench_ratio "$obf_wall" "$gzip_wall")
bench_row "collection, $((bytes >> 20)) MiB" "wall s" ratio target "peak MB" target
bench_row "gzip -1" "$gzip_wall" 1.00 "" "" ""
bench_row obfuscation "$obf_wall" "$ratio" "<= 3" "$(bench_mb "$obf_peak")" "<= 128"
bench_row "obfuscation and the survivors check" "$check_wall" "$(bench_ratio "$check_wall" "$gzip_wall")" "" \
  "$(bench_mb "$check_peak")" ""
bench_verdict "time of obfuscation to gzip -1" "$ratio" 3
bench_verdict "peak memory of obfuscation, MB" "$(bench_mb "$obf_peak")" 128
bench_end
