#!/usr/bin/env python3
"""Checks the window's Qt translations (po/morvo-window_<lang>.ts).

- each file holds exactly the texts lupdate finds in the window's sources
  now (a text missing from it would stay Chinese for everyone);
- every text has a finished, non-empty translation with the same Qt
  placeholders (%1, %2, ...) and the same accelerator count (&);
- each file compiles with lrelease.

Usage: check_window_translations.py <source dir>
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

PLACEHOLDER = re.compile(r"%\d+")


def messages(path):
    """{(context, source): translation element} of a .ts file."""
    found = {}
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            found[(name, message.findtext("source"))] = message.find("translation")
    return found


def accelerators(text):
    return len(re.findall(r"&[^&]", text.replace("&&", "")))


def problems_of(ts, root):
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        fresh = Path(scratch) / ts.name
        shutil.copy(ts, fresh)
        script = (f'source po/window-sources.sh && "$MORVO_LUPDATE" '
                  f'"${{MORVO_LUPDATE_OPTIONS[@]}}" $(morvo_window_sources) -ts "{fresh}"')
        subprocess.run(["bash", "-c", script], cwd=root, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        now, kept = messages(fresh), messages(ts)
        for key in sorted(set(now) - set(kept)):
            problems.append(f"{ts.name}: not in the file: {key}")
        for key in sorted(set(kept) - set(now)):
            problems.append(f"{ts.name}: no longer in the sources: {key}")
        subprocess.run(["/usr/lib/qt6/bin/lrelease", "-silent", str(ts), "-qm",
                        str(Path(scratch) / "out.qm")], check=True)
    for (context, source), translation in sorted(kept.items()):
        where = f"{ts.name}: {context}: {source!r}"
        text = translation.text if translation is not None else None
        if translation is None or translation.get("type") in ("unfinished", "vanished",
                                                              "obsolete") or not text:
            problems.append(f"{where}: not translated")
            continue
        if sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
            problems.append(f"{where}: placeholders differ in {text!r}")
        if accelerators(source) != accelerators(text):
            problems.append(f"{where}: accelerators differ in {text!r}")
    return problems


def main():
    root = Path(sys.argv[1])
    files = sorted((root / "po").glob("morvo-window_*.ts"))
    problems = [] if files else ["no po/morvo-window_*.ts"]
    for ts in files:
        problems += problems_of(ts, root)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
