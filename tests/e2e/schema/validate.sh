#!/usr/bin/env bash
# Every inventory document the suite knows holds to schema/cvsysinfo.rng:
# the golden documents (all of tests/fixtures/golden/*.xml, whoever adds
# them, the change documents against schema/cvsysinfo-changes.rng) and a document freshly written by cvsysinfo for each simulated host
# of tests/fixtures/hosts. The schema itself must also refuse documents that
# break the structure, or passing would prove nothing.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"

SCHEMA=$SRC/schema/cvsysinfo.rng
command -v xmllint >/dev/null || cv_skip "xmllint is not installed"
xmllint --noout --relaxng "$SCHEMA" /dev/null 2>"$WORK/compile" || true
grep -q 'failed to compile' "$WORK/compile" && cv_fail "the schema does not compile: $(cat "$WORK/compile")"

validated=0
failures=()
validate() {
  local doc=$1 label=$2 schema=${3:-$SCHEMA}
  if xmllint --noout --relaxng "$schema" "$doc" >"$WORK/validate.out" 2>&1; then
    validated=$((validated + 1))
  else
    failures+=("$label")
    echo "--- $label does not validate:" >&2
    head -c 3000 "$WORK/validate.out" >&2
  fi
}

# Golden documents are kept in the form their cases compare, and two of
# those forms are undone here, each only where a golden shows it:
# - a golden may be one section (a NODE, say) rather than a whole
#   inventory: it is checked against the grammar's define of that element,
#   through a copy of the schema that starts there;
# - the node goldens write the machine's RAM as "N MB" (their cases check
#   the number first): a number takes its place again;
# - an inventory golden may set the node section aside as an empty NODE
#   (the node goldens hold it): that NODE is let through as it is, and
#   everything else must still hold.
GOLDEN_PREP=$(
  cat <<'PY'
import copy, re, sys
import xml.etree.ElementTree as ET
RNG = "http://relaxng.org/ns/structure/1.0"
ET.register_namespace("", RNG)
ET.register_namespace("a", "http://relaxng.org/ns/compatibility/annotations/1.0")
schema_path, golden_path, doc_out, schema_out = sys.argv[1:5]
tree = ET.parse(golden_path)
root = tree.getroot()
for ram in root.iter("ram"):
    if ram.text == "N MB":
        ram.text = "0 MB"
tree.write(doc_out, encoding="UTF-8", xml_declaration=True)

grammar = ET.parse(schema_path)
defines = {d.get("name"): d for d in grammar.getroot().iter("{%s}define" % RNG)}
if root.tag != "CVLIN":
    if root.tag not in defines:
        sys.exit("the schema has no define for the element " + root.tag)
    start = grammar.getroot().find("{%s}start" % RNG)
    start[0].set("name", root.tag)
node = root.find("NODE") if root.tag == "CVLIN" else None
if node is not None and len(node) == 0 and not (node.text or "").strip():
    define = defines["NODE"]
    original = list(define)
    for child in original:
        define.remove(child)
    choice = ET.SubElement(define, "{%s}choice" % RNG)
    aside = ET.SubElement(choice, "{%s}element" % RNG, {"name": "NODE"})
    ET.SubElement(aside, "{%s}empty" % RNG)
    choice.extend(original)
grammar.write(schema_out, encoding="UTF-8", xml_declaration=True)
PY
)

# The golden documents; change documents (golden/diff) have a grammar of
# their own.
goldens=0
while IFS= read -r -d '' doc; do
  label="golden ${doc#"$SRC"/tests/fixtures/golden/}"
  goldens=$((goldens + 1))
  if [[ $doc == "$SRC/tests/fixtures/golden/diff/"* ]]; then
    validate "$doc" "$label" "$SRC/schema/cvsysinfo-changes.rng"
  elif python3 -c "$GOLDEN_PREP" "$SCHEMA" "$doc" "$WORK/golden.xml" "$WORK/golden.rng" \
    2>"$WORK/validate.out"; then
    validate "$WORK/golden.xml" "$label" "$WORK/golden.rng"
  else
    failures+=("$label")
    echo "--- $label: $(cat "$WORK/validate.out")" >&2
  fi
done < <(find "$SRC/tests/fixtures/golden" -name '*.xml' -type f -print0 2>/dev/null | sort -z)
echo "golden documents: $goldens"

# A fresh document of each simulated host.
if [ -x "$BIN/cvsysinfo" ] && [ -x "$BIN/cvsim-tool" ] && [ -f "$SRC/tests/sim_host.sh" ]; then
  # shellcheck source=../../sim_host.sh
  source "$SRC/tests/sim_host.sh"
  hosts=0
  for host in "$SRC"/tests/fixtures/hosts/*/; do
    host=${host%/}
    [ -d "$host" ] || continue
    name=${host##*/}
    doc=$WORK/host-$name.xml
    rm -f "$doc"
    cv_sim_host "$host"
    run_cvsysinfo "$doc"
    if [ -s "$doc" ]; then
      validate "$doc" "host $name"
      hosts=$((hosts + 1))
    elif [ "$STATUS" = 0 ]; then
      failures+=("host $name (status 0 but no document)")
    else
      echo "host $name: no document (status $STATUS), as the host describes"
    fi
  done
  echo "simulated hosts with a document: $hosts"
  # The README's demo writes the inventory of one of these hosts; its
  # document is among those just validated.
  demo_host=$(grep -o 'tests/fixtures/hosts/[A-Za-z0-9_.-]*' "$SRC/demo/console_report.sh" 2>/dev/null |
    head -n 1 | sed 's,.*/,,')
  if [ -n "$demo_host" ]; then
    [ -s "$WORK/host-$demo_host.xml" ] || failures+=("the demo's host $demo_host (no document)")
    echo "the demo's host: $demo_host"
  fi
else
  echo "cvsysinfo or the simulated platform is not built: no fresh documents"
fi

[ ${#failures[@]} = 0 ] || cv_fail "documents that do not validate: ${failures[*]}"
[ "$validated" -gt 0 ] || cv_skip "no inventory document to validate here"

# The schema refuses what the document never holds. Each case takes a valid
# document (the fresh one with the most containers), changes it as the
# script says with bad=False, which must still validate (so the change
# itself is sound), and with bad=True, which breaks one rule and must not.
mapfile -d '' candidates < <(find "$WORK" -maxdepth 1 -name 'host-*.xml' -type f -print0)
SAMPLE=$(python3 - "${candidates[@]}" <<'PY'
import sys
import xml.etree.ElementTree as ET
best, most = None, -1
for path in sys.argv[1:]:
    root = ET.parse(path).getroot()
    count = len(root.findall("CONTAINERS/CT"))
    if root.tag == "CVLIN" and count > most:
        best, most = path, count
print(best or "")
PY
)
[ -n "$SAMPLE" ] || {
  echo "no fresh document: the schema's refusals are not checked here"
  cv_pass
}
MUTATE=$(
  cat <<'PY'
import sys
import xml.etree.ElementTree as ET
sample, out, bad, script = sys.argv[1], sys.argv[2], sys.argv[3] == "bad", sys.argv[4]
tree = ET.parse(sample)
root = tree.getroot()
def first(path):
    found = root.find(path)
    if found is None:
        raise SystemExit("no " + path + " in the sample")
    return found
def container(ctid, state=None):
    ct = ET.SubElement(first("CONTAINERS"), "CT")
    ET.SubElement(ct, "CTID").text = ctid
    if state is not None:
        ET.SubElement(ct, "STATE").text = state
    return ct
exec(script)
tree.write(out, encoding="UTF-8", xml_declaration=True)
PY
)
refused() {
  local what=$1 script=$2 kind
  for kind in good bad; do
    python3 -c "$MUTATE" "$SAMPLE" "$WORK/$kind.xml" "$kind" "$script" ||
      cv_fail "could not change the document: $what"
  done
  xmllint --noout --relaxng "$SCHEMA" "$WORK/good.xml" >"$WORK/good.out" 2>&1 ||
    cv_fail "the sound counterpart of \"$what\" does not validate: $(head -c 1000 "$WORK/good.out")"
  if xmllint --noout --relaxng "$SCHEMA" "$WORK/bad.xml" >/dev/null 2>&1; then
    cv_fail "the schema takes a document where $what"
  fi
}
refused "NODE comes before CONTAINERS" '
if bad:
    node = first("NODE"); root.remove(node); root.insert(1, node)'
refused "CVTEMPLATES is missing" '
if bad: root.remove(first("CVTEMPLATES"))'
refused "a section appears twice" '
if bad: root.append(ET.fromstring("<CVTEMPLATES/>"))'
refused "NODE lacks TOTAL_CT" '
if bad: first("NODE").remove(first("NODE/TOTAL_CT"))'
refused "RUNNING_CT is not a number" '
first("NODE/RUNNING_CT").text = "three" if bad else "3"'
refused "a cvlist row shows a hidden HOSTNAME column" '
ct = ET.SubElement(first("CVLIST"), "CT"); ET.SubElement(ct, "CTID").text = "7"
ET.SubElement(ct, "HOSTNAME" if bad else "_HOSTNAME").text = "node7.example.net"'
refused "a cvlist row does not start with CTID" '
ct = ET.SubElement(first("CVLIST"), "CT")
if not bad: ET.SubElement(ct, "CTID").text = "7"
ET.SubElement(ct, "STATUS").text = "running"'
refused "the host entry is not container 0" '
first("CONTAINERS/CT/CTID").text = "5" if bad else "0"'
refused "a container reports an unknown state" '
ct = container("300", "flying" if bad else "mounted"); ET.SubElement(ct, "InstalledSoftware")'
refused "a stopped container has a process table" '
ct = container("301", "stopped")
if bad: ET.SubElement(ct, "AllProcesses").text = "ps"
ET.SubElement(ct, "InstalledSoftware")'
refused "a running container lacks its Docker element" '
ct = container("304", "running")
for name in ("IoStat", "Resources"): ET.SubElement(ct, name).text = "Unable to open file"
if not bad: ET.SubElement(ct, "Docker")
ET.SubElement(ct, "InstalledSoftware")'
refused "container 1 is reported" '
ct = container("1" if bad else "303"); ET.SubElement(ct, "InstalledSoftware")'
refused "a package lacks its evr" '
sw = ET.SubElement(container("302"), "InstalledSoftware")
attrs = {"name": "bash", "arch": "x86_64", "description": ""}
if not bad: attrs["evr"] = "4.2"
ET.SubElement(sw, "Package", attrs)'
refused "a configuration value holds an element" '
key = first("CONTAINERS/CT/CONF")[0]
if bad: ET.SubElement(key, "nested")'
refused "a template is cached \"yes\" instead of 1" '
t = ET.SubElement(first("CVTEMPLATES"), "TEMPLATE")
ET.SubElement(t, "IsOsTemplate").text = "1"; ET.SubElement(t, "IsCached").text = "yes" if bad else "1"'
refused "hardware gives its RAM without the unit" '
first("NODE/hardware/ram").text = "2048" if bad else "2048 MB"'
refused "a dmraid device skips its format field" '
d = ET.SubElement(first("NODE/dmraid/raid_devices"), "device")
ET.SubElement(d, "path").text = "/dev/sda"
if not bad: ET.SubElement(d, "format").text = "isw"
ET.SubElement(d, "raidname").text = "isw_x"'
refused "imgtrim holds text" '
stats = ET.SubElement(first("NODE/imgtrim"), "Stats", {"freed": "10"})
if bad: stats.text = "freed=10"'
refused "Docker lists its images before its version" '
docker = first("CONTAINERS/CT[STATE=\"running\"]/Docker")
for child in list(docker): docker.remove(child)
version = ET.Element("Version"); version.text = "Docker version 1.6.2\n"
items = [version, ET.Element("Images"), ET.Element("Containers")]
if bad: items[0], items[1] = items[1], items[0]
docker.extend(items)'

cv_pass
