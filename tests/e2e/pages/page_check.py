"""Checks a page made by stylesheets/inventory.xsl, fleet.xsl or changes.xsl.

page_check.py PAGE [--inventory XML] [--changes XML] [--text TEXT]... [--no-text TEXT]... [--row HOST=TEXT]...

- The page parses as HTML without a single parse error (html5lib, strict).
- It is inert: no element that runs or loads anything, no event-handler or
  style attribute, no link but to a fragment or to a file beside the page
  ("./NAME", which must exist), no javascript: anywhere, an inline style
  that imports nothing.
- With --inventory, what the page says matches the inventory: the container
  table row by row, each container's details with its packages, the
  templates table, the totals, the CPU and the cluster storage.
- With --changes, it matches the change document: the summary first, both
  inventories in title and header, each item a row of its section's table,
  each container without items listed; "No changes." when there are none.
- Each --text is in the page's text, each --no-text is not; each --row
  HOST=TEXT is in the text of the fleet table's row of HOST. Blanks in the
  page's text count as one space.
Exits 1 with one line per fault.
"""
import argparse
import os
import re
import sys
import urllib.parse
import xml.etree.ElementTree as ET

import html5lib

NS = "{http://www.w3.org/1999/xhtml}"
ACTIVE = {"script", "iframe", "frame", "frameset", "object", "embed", "applet", "link", "img",
          "base", "form", "input", "button", "svg", "math", "video", "audio", "source", "track",
          "picture", "portal", "template", "noscript", "canvas"}
LOADING = {"src", "srcset", "action", "formaction", "data", "poster", "background", "lowsrc",
           "dynsrc", "xlink:href", "ping", "manifest", "codebase", "archive", "style"}

faults = []


def fault(msg):
    faults.append(msg)


def tag(el):
    return el.tag[len(NS):] if isinstance(el.tag, str) and el.tag.startswith(NS) else el.tag


def text(el):
    return "".join(el.itertext())


def norm(s):
    # What an HTML parser makes of line ends in text.
    return (s or "").replace("\r\n", "\n").replace("\r", "\n")


def shown(s):
    # What a page shows of a value: what HTML calls an error, U+FFFD.
    bad = lambda c: "\x7f" <= c <= "\x9f" or "\ufdd0" <= c <= "\ufdef" or ord(c) & 0xFFFE == 0xFFFE
    return "".join("\ufffd" if bad(c) else c for c in norm(s))


def find_id(root, ident):
    for el in root.iter():
        if el.get("id") == ident:
            return el
    return None


def rows(table):
    body = [el for el in table.iter() if tag(el) == "tbody"]
    return [[c for c in tr if tag(c) in ("td", "th")] for tr in body[0] if tag(tr) == "tr"] if body else []


def check_inert(root, base):
    for el in root.iter():
        name = tag(el)
        if not isinstance(name, str):
            continue
        if name in ACTIVE:
            fault(f"active element <{name}>")
        if name == "meta" and el.get("http-equiv", "").lower() == "refresh":
            fault("a refreshing meta element")
        if name == "style" and re.search(r"url\s*\(|@import|expression\s*\(|behavior", el.text or "", re.I):
            fault("the style loads something")
        for attr, value in el.attrib.items():
            attr_l = attr.lower()
            if attr_l.startswith("on"):
                fault(f"event handler {attr} on <{name}>")
            if attr_l in LOADING:
                fault(f"loading attribute {attr} on <{name}>")
            if "javascript:" in re.sub(r"[\s\x00-\x1f]", "", value).lower():
                fault(f"javascript: in {attr} of <{name}>")
            if attr_l == "href" and not (value.startswith("#") or value.startswith("./")):
                fault(f"link to {value!r}")
            elif attr_l == "href" and value.startswith("./") and base is not None:
                target = os.path.join(base, urllib.parse.unquote(value[2:]))
                if not os.path.isfile(target):
                    fault(f"the link {value!r} leads nowhere")


def in_kib_style(value):
    """The hardware's "N MB" (units of 1024 KiB) as the page shows sizes."""
    m = re.fullmatch(r"([0-9]+) MB", value)
    if not m:
        return value
    kib = int(m.group(1)) * 1024
    for unit, size in (("TiB", 1 << 30), ("GiB", 1 << 20), ("MiB", 1 << 10)):
        if kib >= size:
            return "%.1f %s" % (kib / size, unit)
    return "%d KiB" % kib


def check_inventory(root, inv):
    doc = ET.parse(inv).getroot()
    cts = [ct for ct in doc.findall("CONTAINERS/CT") if (ct.findtext("CTID") or "") != "0"]
    table = find_id(root, "containers")
    if not cts:
        if table is not None:
            fault("a container table for an inventory without containers")
    elif table is None:
        fault("no container table")
    else:
        got = rows(table)
        if len(got) != len(cts):
            fault(f"container table has {len(got)} rows, the inventory {len(cts)} containers")
        for ct, row in zip(cts, got):
            ctid = norm(ct.findtext("CTID"))
            state = norm(ct.findtext("STATE")) if ct.find("STATE") is not None else "unknown"
            if text(row[0]) != ctid or text(row[1]) != state:
                fault(f"row [{text(row[0])!r} {text(row[1])!r}], expected [{ctid!r} {state!r}]")
            packages = str(len(ct.findall("InstalledSoftware/Package")))
            if text(row[7]) != packages:
                fault(f"container {ctid!r}: {text(row[7])!r} packages, expected {packages}")
            docker = "yes" if ct.find("Docker/Version") is not None else "no" if ct.find("Docker") is not None else None
            if docker and text(row[6]) != docker:
                fault(f"container {ctid!r}: Docker {text(row[6])!r}, expected {docker}")
            used = ct.findtext("DiskSpace/Used")
            if used and re.fullmatch(r"[0-9]+", used) and not re.fullmatch(r"[0-9.]+ [KMGT]iB", text(row[3])):
                fault(f"container {ctid!r}: disk used {text(row[3])!r}")
            if re.fullmatch(r"[0-9]+", ctid):
                details = find_id(root, "ct-" + ctid)
                if details is None or tag(details) != "details":
                    fault(f"no details of container {ctid}")
                    continue
                shown = text(details)
                for pkg in ct.findall("InstalledSoftware/Package"):
                    if norm(pkg.get("name")) not in shown:
                        fault(f"container {ctid}: package {pkg.get('name')!r} not shown")
    templates = doc.findall("CVTEMPLATES/TEMPLATE")
    table = find_id(root, "templates")
    got = rows(table) if table is not None else []
    if len(got) != len(templates):
        fault(f"{len(got)} template rows, the inventory has {len(templates)} templates")
    for tpl, row in zip(templates, got):
        if text(row[0]) != norm(tpl.findtext("Name") or ""):
            fault(f"template {text(row[0])!r}, expected {tpl.findtext('Name')!r}")
    node = doc.find("NODE")
    total = node.findtext("TOTAL_CT") if node is not None and node.find("TOTAL_CT") is not None else str(len(cts))
    running = (node.findtext("RUNNING_CT") if node is not None and node.find("RUNNING_CT") is not None
               else str(sum(1 for ct in cts if ct.findtext("STATE") == "running")))
    for ident, want in (("total", total), ("running", running)):
        el = find_id(root, ident)
        if el is None or text(el) != want:
            fault(f"{ident}: {None if el is None else text(el)!r}, expected {want}")
    cpu_card = text(find_id(root, "summary-cpu"))
    for path in ("hardware/cpu/logical", "hardware/cpu/model-name", "hardware/ram", "hardware/numa/nodes"):
        value = node.findtext(path) if node is not None else None
        if value and path == "hardware/ram":
            value = in_kib_style(value)
        if value and norm(value) not in cpu_card:
            fault(f"{path} {value!r} not in the summary")
    cluster_card = text(find_id(root, "summary-cluster"))
    for cluster in node.findall("tessel/*") if node is not None else []:
        if norm(cluster.get("name", "")) not in cluster_card:
            fault(f"cluster {cluster.get('name')!r} not in the summary")


def check_changes(root, path):
    doc = ET.parse(path).getroot()
    body = next(el for el in root.iter() if tag(el) == "body")
    first = [el for el in body if tag(el) != "h1"][:1]
    if not first or first[0].get("id") != "summary" or text(first[0]) != shown(doc.findtext("summary")):
        fault(f"the page does not open with the summary {doc.findtext('summary')!r}")
    title = text(next(el for el in root.iter() if tag(el) == "title"))
    for side in ("old", "new"):
        el = doc.find(side)
        if shown(el.get("host") or el.get("file")) not in title:
            fault(f"the title {title!r} does not name the {side} inventory")
        header = text(find_id(root, side)) if find_id(root, side) is not None else ""
        for attr in ("host", "time", "version", "file"):
            if el.get(attr) is not None and shown(el.get(attr)) not in header:
                fault(f"the {side} header lacks its {attr} {el.get(attr)!r}")
    listing = find_id(root, "added-removed")
    listed = [text(li) for li in listing if tag(li) == "li"] if listing is not None else []
    sections = []
    for ct in doc.findall("containers/container"):
        if ct.find("item") is not None:
            sections.append(("ct-" + re.sub("[^0-9]", "", ct.get("id")), ct))
        elif f"Container {shown(ct.get('id'))} {shown(ct.get('change'))}" not in listed:
            fault(f"container {ct.get('id')!r} is not in the list of added and removed ones {listed!r}")
    sections += [(name, doc.find(name)) for name in ("node", "templates") if doc.find(f"{name}/item") is not None]
    for ident, el in sections:
        section = find_id(root, ident)
        table = next((t for t in section.iter() if tag(t) == "table"), None) if section is not None else None
        got = [[text(c) for c in row] for row in rows(table)] if table is not None else []
        want = [[shown(item.get(a)) for a in ("kind", "key", "change", "old", "new")] for item in el.findall("item")]
        if got != want:
            fault(f"the table of {ident} holds {got!r}, the document {want!r}")
    if not doc.findall("containers/container") and not sections and "No changes." not in text(body):
        fault("a page without changes does not say so")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("page")
    ap.add_argument("--inventory")
    ap.add_argument("--changes")
    ap.add_argument("--text", action="append", default=[])
    ap.add_argument("--no-text", action="append", default=[])
    ap.add_argument("--row", action="append", default=[])
    args = ap.parse_args()
    with open(args.page, "rb") as f:
        data = f.read()
    parser = html5lib.HTMLParser(strict=True)
    try:
        root = parser.parse(data)
    except html5lib.html5parser.ParseError as e:
        print(f"{args.page}: not accepted by the HTML parser: {e}")
        return 1
    check_inert(root, os.path.dirname(os.path.abspath(args.page)))
    page_text = text(root)
    flat_text = " ".join(page_text.split())
    for t in args.text:
        if t not in page_text and t not in flat_text:
            fault(f"the text {t!r} is missing")
    for t in args.no_text:
        if t in flat_text:
            fault(f"the text {t!r} is there")
    if args.inventory:
        check_inventory(root, args.inventory)
    if args.changes:
        check_changes(root, args.changes)
    if args.row:
        table = find_id(root, "fleet")
        by_host = {}
        for tr in (table.iter() if table is not None else []):
            if tag(tr) == "tr":
                cells = [c for c in tr if tag(c) == "td"]
                if cells:
                    by_host[text(cells[0])] = text(tr)
        for wanted_row in args.row:
            host, _, want = wanted_row.partition("=")
            if host not in by_host:
                fault(f"no row of host {host!r}")
            elif want not in by_host[host]:
                fault(f"the row of {host!r} lacks {want!r}: {by_host[host]!r}")
    for f in faults:
        print(f"{args.page}: {f}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
