"""Prints the NODE element of an inventory report as the golden files hold it.

Usage: node_element.py REPORT.xml

Two things depend on the machine rather than on the simulated host and are
set aside: the amount of RAM (taken from the kernel, not from a file; it
must still read "<number> MB" and is written "N MB"), and the order of the
entries of each sysfs directory under "Hdimgs" (the order the file system
yields them, which differs between kernels), which is sorted by name. The
element is indented for reading; texts are kept as they are.
"""

import re
import sys
import xml.etree.ElementTree as ET


def sort_walk(element):
    for child in element:
        sort_walk(child)
    element[:] = sorted(element, key=lambda child: child.tag)


def main():
    root = ET.parse(sys.argv[1]).getroot()
    node = root.find("NODE")
    if node is None:
        sys.exit("no NODE element")
    for ram in node.iter("ram"):
        if not re.fullmatch(r"[0-9]+ MB", ram.text or ""):
            sys.exit("ram is not a number of MB: %r" % ram.text)
        ram.text = "N MB"
    for hdimgs in node.iter("Hdimgs"):
        sort_walk(hdimgs)
    node.tail = None
    ET.indent(node, space="  ")
    sys.stdout.write(ET.tostring(node, encoding="unicode") + "\n")


if __name__ == "__main__":
    main()
