#!/usr/bin/env python3
"""Writes the reference page of the inventory document from its schema.

Usage: reference.py [SCHEMA.rng] > docs/inventory.md

The page is the element tree of schema/cvsysinfo.rng with the text of each
a:documentation. An element family used in several places, or inside
itself, gets a section of its own and is named where it occurs. The case
tests/e2e/schema/reference.sh checks that docs/inventory.md is what this
prints, so the page cannot drift from the grammar.
"""

import os
import sys
import xml.etree.ElementTree as ET

RNG = "{http://relaxng.org/ns/structure/1.0}"
DOC = "{http://relaxng.org/ns/compatibility/annotations/1.0}documentation"

OCCURS = {
    "optional": "optional",
    "zeroOrMore": "any number",
    "oneOrMore": "one or more",
}


def local(element):
    return element.tag[len(RNG):] if element.tag.startswith(RNG) else None


def documentation(element):
    found = element.find(DOC)
    return " ".join(found.text.split()) if found is not None and found.text else ""


def patterns(element):
    """The pattern children, annotations and name classes left out."""
    return [c for c in element if local(c) not in (None, "anyName", "name", "nsName", "except", "param")]


class Reference:
    def __init__(self, path):
        self.root = ET.parse(path).getroot()
        self.defines = {d.get("name"): d for d in self.root.iter(RNG + "define")}
        self.uses = {name: 0 for name in self.defines}
        for ref in self.root.iter(RNG + "ref"):
            self.uses[ref.get("name")] += 1
        self.sections = []
        self.lines = []

    # --- naming ---------------------------------------------------------

    def element_name(self, element):
        if element.get("name"):
            return "`%s`" % element.get("name")
        any_name = element.find(RNG + "anyName")
        if any_name is None:
            return "*(a name)*"
        excluded = [n.text for n in any_name.iter(RNG + "name")]
        if excluded:
            return "*(any name but %s)*" % ", ".join("`%s`" % n for n in excluded)
        return "*(any name)*"

    def standalone(self, name):
        """A define that gets a section of its own: an element family used
        in several places, or one that holds itself."""
        define = self.defines[name]
        body = patterns(define)
        if len(body) != 1 or local(body[0]) != "element":
            return False
        if not any(self.has_elements(p) for p in patterns(body[0])):
            return False
        return self.uses[name] > 1 or any(r.get("name") == name for r in define.iter(RNG + "ref"))

    # --- content --------------------------------------------------------

    def leaf(self, pattern):
        """A short text for content without child elements, or None."""
        kind = local(pattern)
        if kind == "text":
            return "text"
        if kind == "empty":
            return "empty"
        if kind == "value":
            return '"%s"' % pattern.text
        if kind == "data":
            param = pattern.find(RNG + "param")
            if param is not None:
                return "text matching `%s`" % param.text
            excluded = [v.text for v in pattern.iter(RNG + "value")]
            text = pattern.get("type")
            if excluded:
                text += " other than " + ", ".join(excluded)
            return text
        if kind == "choice":
            options = [self.leaf(p) for p in patterns(pattern)]
            if None not in options:
                return " or ".join(options)
        return None

    def attributes(self, element):
        """Texts naming the attributes: the required ones, then the optional."""
        required, optional_names = [], []

        def collect(pattern, optional):
            kind = local(pattern)
            if kind == "attribute":
                name = pattern.get("name")
                if not name:
                    optional_names.append(None)
                else:
                    (optional_names if optional else required).append("`%s`" % name)
            elif kind == "ref" and not self.standalone(pattern.get("name")):
                for p in patterns(self.defines[pattern.get("name")]):
                    collect(p, optional)
            elif kind in ("optional", "zeroOrMore", "oneOrMore", "group", "choice", "interleave"):
                for p in patterns(pattern):
                    collect(p, optional or kind != "group")

        for p in self.expand(patterns(element)):
            collect(p, False)
        texts = []
        if required:
            texts.append("attributes " + ", ".join(required))
        if None in optional_names:
            texts.append("any attributes")
        named = [n for n in optional_names if n]
        if named:
            texts.append("optional attributes " + ", ".join(named))
        return texts

    def has_elements(self, pattern, seen=()):
        kind = local(pattern)
        if kind == "element":
            return True
        if kind == "ref":
            name = pattern.get("name")
            if name in seen:
                return False
            return any(self.has_elements(p, seen + (name,)) for p in patterns(self.defines[name]))
        return any(self.has_elements(p, seen) for p in patterns(pattern))

    def expand(self, body):
        """The patterns with the refs to inlined defines replaced by theirs."""
        out = []
        for p in body:
            if local(p) == "ref" and not self.standalone(p.get("name")):
                out += self.expand(patterns(self.defines[p.get("name")]))
            else:
                out.append(p)
        return out

    def mixed(self, pattern):
        """zeroOrMore(choice(..., text, ...)): text between the elements."""
        body = patterns(pattern)
        return (local(pattern) == "zeroOrMore" and len(body) == 1 and local(body[0]) == "choice"
                and any(local(q) == "text" for q in patterns(body[0])))

    def content_text(self, element):
        body = [p for p in self.expand(patterns(element)) if local(p) != "attribute"
                and not (local(p) in ("optional", "zeroOrMore") and all(
                    local(q) == "attribute" for q in patterns(p)))]
        parts = []
        if not any(self.has_elements(p) for p in body):
            texts = [self.leaf(p) for p in body]
            texts = [t for t in texts if t]
            if texts:
                parts.append(", ".join(texts))
        else:
            for p in body:
                if self.mixed(p):
                    parts.append("text and elements mixed")
                elif local(p) == "choice":
                    texts = [self.leaf(q) for q in patterns(p) if not self.has_elements(q)]
                    parts += [t + ", or else the elements below" for t in texts if t]
        parts += self.attributes(element)
        return "; ".join(parts)

    # --- the tree -------------------------------------------------------

    def emit(self, depth, text):
        self.lines.append("  " * depth + "- " + text)

    def walk(self, pattern, depth, occurs):
        kind = local(pattern)
        if kind == "element":
            self.element(pattern, depth, occurs)
        elif kind == "ref":
            name = pattern.get("name")
            if self.standalone(name):
                element = patterns(self.defines[name])[0]
                note = ", ".join(x for x in (occurs, "see [%s](#%s)" % (name, anchor(name))) if x)
                self.emit(depth, "%s (%s)" % (self.element_name(element), note))
                if name not in self.sections:
                    self.sections.append(name)
            else:
                for p in patterns(self.defines[name]):
                    self.walk(p, depth, occurs)
        elif kind == "optional" and self.chain(pattern):
            self.emit(depth, "Optional, in this order, each only after the one before:")
            for p in self.chain(pattern):
                self.walk(p, depth + 1, "")
        elif kind in OCCURS:
            inner = OCCURS[kind] if not occurs else occurs
            body = patterns(pattern)
            if len(body) > 1 and any(local(p) == "element" or local(p) == "ref" for p in body):
                if any(self.has_elements(p) for p in body):
                    self.emit(depth, "%s, in this order:" % inner.capitalize())
                    for p in body:
                        self.walk(p, depth + 1, "")
                    return
            for p in body:
                self.walk(p, depth, inner)
        elif kind == "choice":
            body = [p for p in patterns(pattern) if self.has_elements(p)]
            if not body:
                return
            if len(body) < len(patterns(pattern)):
                lead = "between the text, any number of" if occurs == "any number" else "or else"
            elif occurs:
                lead = "%s, each one of" % occurs
            else:
                lead = "one of"
            self.emit(depth, lead[0].upper() + lead[1:] + ":")
            for p in body:
                self.walk(p, depth + 1, "")
        elif kind in ("group", "interleave"):
            self.emit(depth, "In this order:" if kind == "group" else "In any order:")
            for p in patterns(pattern):
                self.walk(p, depth + 1, "")

    def chain(self, pattern):
        """The elements of optional(element, optional(element, ...)), a
        run of fields of which each needs the one before, or None."""
        found = []
        while pattern is not None:
            body = patterns(pattern)
            if local(pattern) != "optional" or not body or local(body[0]) != "element":
                return None
            found.append(body[0])
            if len(body) == 1:
                break
            if len(body) != 2:
                return None
            pattern = body[1]
        return found if len(found) > 2 else None

    def element(self, element, depth, occurs):
        name = self.element_name(element)
        content = self.content_text(element)
        label = ", ".join(x for x in (occurs, content) if x)
        doc = documentation(element)
        text = name + (" (%s)" % label if label else "") + (": " + doc if doc else "")
        self.emit(depth, text)
        for p in patterns(element):
            if local(p) != "attribute" and self.has_elements(p):
                self.walk(p, depth + 1, "")

    def section(self, name):
        element = patterns(self.defines[name])[0]
        self.lines += ["", "## %s" % name, ""]
        self.element(element, 0, "")

    def render(self):
        start = self.root.find(RNG + "start")
        for p in patterns(start):
            self.walk(p, 0, "")
        done = 0
        while done < len(self.sections):
            self.section(self.sections[done])
            done += 1
        return "\n".join(self.lines) + "\n"


def anchor(name):
    return "".join(c for c in name.lower() if c.isalnum() or c in "-_ ").replace(" ", "-")


HEADER = """\
# The inventory document

<!-- Written by schema/reference.py from schema/cvsysinfo.rng; edit those, not this page. -->

`cvsysinfo FILE` writes one XML document (UTF-8, no indentation) that
describes the host. Its grammar is `schema/cvsysinfo.rng` (RELAX NG); check a
document with `xmllint --noout --relaxng schema/cvsysinfo.rng FILE`.

How to read the tree: each element is followed, in brackets, by how often it
occurs (once when nothing is said) and what it holds: *text* (any text, also
empty), a number type, fixed values, or attributes; an element without such
a note holds the elements listed under it, in the order listed.

Where a name comes from the host (a `cvlist` column, an `lvs` header, a
configuration key, a sysfs entry, the XML a platform tool prints) the tree
says *(any name)*. Such names are mended into valid XML names: every
character other than an ASCII letter or digit becomes `_`, and a name that
would start with a digit, or be empty, gets a leading `_` (so a delta
level `0` is `_0`). Texts are copied as the host gave them, except that
bytes XML cannot carry (invalid UTF-8, control characters other than tab,
line feed and carriage return) become U+FFFD.

A section that cannot gather its data is still written, usually empty, and
`cvsysinfo` says why on standard error; the notes below tell which elements
may then be missing.

"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "cvsysinfo.rng")
    sys.stdout.write(HEADER + "## The tree\n\n" + Reference(path).render())


if __name__ == "__main__":
    main()
