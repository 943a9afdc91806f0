#!/usr/bin/env python3
"""Checks the message catalogs in po/ against the sources.

- every language's file compiles with `msgfmt --check`;
- the template holds exactly the texts xgettext finds in the sources now
  (a text marked and not in the template would stay Chinese for everyone);
- every language translates every text of the template, none fuzzy, none
  empty, with the same printf placeholders in the same order.

Usage: check_catalogs.py <source dir>
"""
import re
import subprocess
import sys
import tempfile
from pathlib import Path

PLACEHOLDER = re.compile(r"%(?:%|[-+ #0]*\d*(?:\.\d+)?[a-zA-Z])")


ESCAPES = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\"}


def unquote(text):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(0)), text)


def read_po(path):
    """The entries of a .po file: {msgid: (msgstr, flags)}; the header left out."""
    entries, flags, field, parts = {}, set(), None, {}

    def close():
        nonlocal flags, parts, field
        if "msgid" in parts and "msgctxt" not in parts and "msgid_plural" not in parts:
            msgid = "".join(parts["msgid"])
            if msgid:
                entries[msgid] = ("".join(parts.get("msgstr", [])), flags)
        flags, parts, field = set(), {}, None

    for line in Path(path).read_text(encoding="utf-8").splitlines() + [""]:
        line = line.strip()
        if not line:
            close()
        elif line.startswith("#,"):
            flags |= {f.strip() for f in line[2:].split(",")}
        elif line.startswith("#"):
            continue
        elif line.startswith('"'):
            parts[field].append(unquote(line[1:-1]))
        else:
            key, _, value = line.partition(" ")
            if key == "msgid" and "msgid" in parts:
                close()
            field = key
            parts[field] = [unquote(value[1:-1])]
    return entries


def main():
    source = Path(sys.argv[1])
    po_dir = source / "po"
    errors = []
    languages = sorted(po_dir.glob("*.po"))
    if not languages:
        errors.append("no language in po/")
    for po in languages:
        run = subprocess.run(["msgfmt", "--check", "-o", "/dev/null", str(po)],
                             capture_output=True, text=True)
        if run.returncode != 0:
            errors.append(f"{po.name}: msgfmt --check failed:\n{run.stderr}")

    with tempfile.TemporaryDirectory() as tmp:
        fresh = Path(tmp) / "fresh.pot"
        script = f'source po/sources.sh && xgettext "${{MORVO_XGETTEXT_OPTIONS[@]}}" ' \
                 f'-o "{fresh}" $(morvo_message_sources)'
        subprocess.run(["bash", "-c", script], cwd=source, check=True, capture_output=True)
        found = set(read_po(fresh))
    template = set(read_po(po_dir / "morvo.pot"))
    for text in sorted(found - template):
        errors.append(f"morvo.pot lacks a text of the sources (run po/update.sh): {text!r}")
    for text in sorted(template - found):
        errors.append(f"morvo.pot holds a text the sources no longer have: {text!r}")

    for po in languages:
        entries = read_po(po)
        for text in sorted(template):
            if text not in entries:
                errors.append(f"{po.name}: no entry for {text!r}")
                continue
            translation, flags = entries[text]
            if not translation.strip():
                errors.append(f"{po.name}: empty translation of {text!r}")
            if "fuzzy" in flags:
                errors.append(f"{po.name}: fuzzy translation of {text!r}")
            if PLACEHOLDER.findall(text) != PLACEHOLDER.findall(translation):
                errors.append(f"{po.name}: placeholders differ: {text!r} -> {translation!r}")

    for error in errors:
        print(error)
    print(f"{len(template)} texts, {len(languages)} language(s), {len(errors)} problem(s)")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
