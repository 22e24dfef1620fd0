#!/usr/bin/env bash
# The translation template the build extracts with xgettext (po/, target
# cvreport-pot) holds exactly the labels the wizard shows through gettext:
# the titles and button labels handed to tr() or gettext() anywhere in
# cvreport. The labels are read from the sources here by a reader of its
# own, so a label the extraction misses (a new helper, a file outside its
# list, a label passed in a variable) fails, and so does a template left
# behind by the sources. The program binds no catalogue of its own.
source "$(dirname "$0")/../../ship_common.sh"
POT=$BUILD/po/cvreport.pot
[ -x "$BUILD/bin/cvreport" ] || { echo "SKIP: cvreport is not built"; exit 77; }
[ -f "$POT" ] || fail "the build made no po/cvreport.pot"

python3 - "$SRC/cvreport" "$POT" <<'PY' || fail "the template and the wizard's labels differ"
import os
import re
import sys

source_dir, pot_path = sys.argv[1], sys.argv[2]
ESCAPES = {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "'": "'", "?": "?"}


def unescape(body):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), body)


def tokens(text):
    """C++ tokens: identifiers, string literals (decoded), punctuation;
    comments and character literals dropped."""
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = n if i < 0 else i
        elif text.startswith("/*", i):
            i = text.find("*/", i) + 2
        elif c == '"':
            m = re.compile(r'"((?:[^"\\\n]|\\.)*)"').match(text, i)
            yield ("string", unescape(m.group(1)))
            i = m.end()
        elif c == "'":
            m = re.compile(r"'(?:[^'\\\n]|\\.)*'").match(text, i)
            i = m.end()
        elif c.isalpha() or c == "_":
            m = re.compile(r"[A-Za-z_0-9]+").match(text, i)
            yield ("name", m.group(0))
            i = m.end()
        elif c.isspace():
            i += 1
        else:
            yield ("punct", c)
            i += 1


LOOKUPS = {"tr", "gettext", "_", "N_", "gettext_noop", "dgettext", "dcgettext", "ngettext", "pgettext"}
labels, problems = {}, []
for dirpath, _, files in os.walk(source_dir):
    for name in sorted(files):
        if not name.endswith((".cc", ".h")) or name.endswith("_test.cc"):
            continue
        path = os.path.join(dirpath, name)
        toks = list(tokens(open(path, encoding="utf-8").read()))
        for k, (kind, value) in enumerate(toks):
            if kind != "name" or value not in LOOKUPS or k + 1 >= len(toks) or toks[k + 1] != ("punct", "("):
                continue
            if k > 0 and toks[k - 1] in (("punct", "."), ("punct", ">")):
                continue  # a member function of that name
            j, parts = k + 2, []
            while j < len(toks) and toks[j][0] == "string":
                parts.append(toks[j][1])
                j += 1
            rel = os.path.relpath(path, os.path.dirname(source_dir))
            if parts and toks[j] == ("punct", ")"):
                labels.setdefault("".join(parts), set()).add(rel)
                continue
            # The one place a lookup takes a variable: tr() itself, declared
            # with its parameter and defined as gettext of it.
            declared = toks[j : j + 3] == [("name", "const"), ("name", "char"), ("punct", "*")]
            forwarded = value == "gettext" and toks[j : j + 2] == [("name", "text"), ("punct", ")")] \
                and name == "screen.cc"
            if not (value == "tr" and declared) and not forwarded:
                problems.append("%s: %s(...) with an argument xgettext cannot read" % (rel, value))


def pot_entries(path):
    """msgid -> its source references, from a template's entries."""
    entries, refs, msgid, field = {}, [], None, None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("#:"):
            refs += line[2:].split()
        elif line.startswith("msgid "):
            msgid, field = unescape(line[7:-1]), "msgid"
        elif line.startswith('"') and field == "msgid":
            msgid += unescape(line[1:-1])
        elif line.startswith("msgstr"):
            if msgid:
                entries[msgid] = refs
            refs, msgid, field = [], None, None
    return entries


entries = pot_entries(pot_path)
missing = sorted(set(labels) - set(entries))
stale = sorted(set(entries) - set(labels))
for label in missing:
    problems.append("not in the template: %r (%s)" % (label, ", ".join(sorted(labels[label]))))
for msgid in stale:
    problems.append("in the template but shown nowhere: %r" % msgid)
if len(labels) < 10:
    problems.append("only %d labels found in the sources: %s" % (len(labels), sorted(labels)))
for msgid, refs in entries.items():
    if not any(ref.startswith("cvreport/wizard/") for ref in refs):
        problems.append("%r does not point into the wizard's sources: %s" % (msgid, refs))
for problem in problems:
    print(problem, file=sys.stderr)
print("%d labels, %d template entries" % (len(labels), len(entries)))
sys.exit(1 if problems else 0)
PY

# The template is a catalogue gettext takes: filled in, it compiles.
if command -v msgen >/dev/null && command -v msgfmt >/dev/null; then
  msgen -o "$WORK/en.po" "$POT" 2>"$WORK/msg.err" || fail "msgen refuses the template: $(cat "$WORK/msg.err")"
  msgfmt --check -o "$WORK/en.mo" "$WORK/en.po" 2>"$WORK/msg.err" ||
    fail "msgfmt refuses the template: $(cat "$WORK/msg.err")"
fi

# Labels go through gettext, and no domain of the program's own is bound.
if command -v nm >/dev/null; then
  nm -D --undefined-only "$BUILD/bin/cvreport" >"$WORK/symbols"
  grep -qE ' gettext(@|$)' "$WORK/symbols" || fail "cvreport does not call gettext"
  ! grep -qE ' (bindtextdomain|textdomain|bind_textdomain_codeset)(@|$)' "$WORK/symbols" ||
    fail "cvreport binds a catalogue of its own"
fi

echo "PASS [pot]"
