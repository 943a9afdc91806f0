#!/usr/bin/env python3
"""Fails when a unit reaches past its layer.

- Operating-system headers (POSIX, Linux, GLib, Windows) belong to the
  platform layer only. Tests and benchmarks may use them to drive
  processes; the product code may not.
- Qt headers belong to the window's own folders only: the platform's Qt
  binding (platform/qt/), widgets/ and the forms (any folder named forms/),
  and their tests.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".inc"}
SKIPPED_TOP = {".git", "build", ".cache"}

OS_HEADER = re.compile(
    r"^(unistd|fcntl|dlfcn|pthread|time|signal|dirent|iconv|fnmatch|spawn|sched|pwd|grp|"
    r"termios|poll|semaphore|mqueue|syslog|libgen|windows|malloc|execinfo)\.h$"
    r"|^(sys|linux|netinet|arpa|gio|glib|asm)/"
    r"|^glib\.h$"
)
QT_HEADER = re.compile(r"^Q[A-Za-z]|^Qt[A-Za-z]*/")
INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]+)>')


def in_window_folders(relative: pathlib.PurePosixPath) -> bool:
    parts = relative.parts
    return "forms" in parts or "widgets" in parts or parts[:2] == ("platform", "qt") or (
        len(parts) > 2 and parts[0] == "tests" and parts[1:3] == ("platform", "qt"))


def may_use_os_headers(relative: pathlib.PurePosixPath) -> bool:
    top = relative.parts[0]
    return top in {"platform", "tests", "bench"}


def sources():
    for path in ROOT.rglob("*"):
        relative = pathlib.PurePosixPath(path.relative_to(ROOT).as_posix())
        if relative.parts[0] in SKIPPED_TOP or relative.parts[0].startswith("build"):
            continue
        if path.is_file() and path.suffix in SOURCE_SUFFIXES:
            yield path, relative


def main() -> int:
    faults = []
    for path, relative in sources():
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            header = match.group(1)
            if OS_HEADER.search(header) and not may_use_os_headers(relative):
                faults.append(f"{relative}:{number}: operating-system header <{header}> "
                              "outside platform/ (add what you need to the platform layer)")
            if QT_HEADER.search(header) and not in_window_folders(relative):
                faults.append(f"{relative}:{number}: Qt header <{header}> outside the window's "
                              "folders (platform/qt/, widgets/, forms/)")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} layering fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
