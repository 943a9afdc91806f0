#!/usr/bin/env python3
"""The Debian package, installed the way a user would have it.

Builds the package with CPack, unpacks it into a scratch root (dpkg -x, as
`apt install ./morvo*.deb` would lay it out), checks the desktop entry and
the AppStream metainfo with their validators, checks that the manual page
names every option of --help, and converts a file with the installed
morvo-convert as an ordinary user, whose settings must land in their
configuration folder.

Usage: package_test.py BUILD_DIR
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def run(command, **kwargs):
    print("+", " ".join(command))
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def build_package(out_dir):
    result = run(["cpack", "-G", "DEB", "-B", out_dir], cwd=BUILD)
    check(result.returncode == 0, "cpack failed:\n" + result.stdout + result.stderr)
    packages = glob.glob(os.path.join(out_dir, "morvo_*.deb"))
    check(len(packages) == 1, f"one package expected, found {packages}")
    return packages[0] if packages else None


def check_metadata(package, root):
    fields = run(["dpkg-deb", "-f", package, "Depends"]).stdout
    for library in ("libavformat", "libmp3lame", "libflac"):
        check(library in fields, f"Depends lacks {library}: {fields.strip()}")
    desktop = os.path.join(root, "usr/share/applications/org.morvo.Encoder.desktop")
    result = run(["desktop-file-validate", desktop])
    check(result.returncode == 0 and not result.stdout.strip(),
          "desktop-file-validate: " + result.stdout + result.stderr)
    metainfo = os.path.join(root, "usr/share/metainfo/org.morvo.Encoder.metainfo.xml")
    result = run(["appstreamcli", "validate", "--no-net", metainfo])
    check(result.returncode == 0, "appstreamcli validate: " + result.stdout + result.stderr)
    # The menu entry starts the window: it is installed, its Qt libraries
    # are dependencies, and every library it links is found.
    exec_line = next((line for line in open(desktop, encoding="utf-8")
                      if line.startswith("Exec=")), "Exec=")
    window = os.path.join(root, "usr/bin", exec_line[5:].split()[0] if exec_line[5:] else "")
    check(os.path.isfile(window) and os.access(window, os.X_OK),
          f"the desktop entry's program is not installed: {exec_line.strip()}")
    check("libqt6widgets6" in fields, f"Depends lacks libqt6widgets6: {fields.strip()}")
    if os.path.isfile(window):
        linked = run(["ldd", window]).stdout
        check("not found" not in linked, "the window's libraries are not all found: " + linked)
    for size in (16, 32, 48, 64, 128, 256):
        icon = os.path.join(root, f"usr/share/icons/hicolor/{size}x{size}/apps/morvo-encoder.png")
        check(os.path.isfile(icon), f"icon missing: {icon}")


def check_manual(root, program):
    help_text = run([program, "--help"]).stdout
    options = set(re.findall(r"--[a-z][a-z0-9-]+", help_text))
    check(len(options) > 5, f"--help lists too few options: {options}")
    manual = glob.glob(os.path.join(root, "usr/share/man/man1/morvo-convert.1*"))
    check(len(manual) == 1, f"manual page missing: {manual}")
    if manual:
        text = run(["man", "-l", manual[0]],
                   env=dict(os.environ, MANWIDTH="200", LANG="C.UTF-8", LC_ALL="")).stdout
        text = text.replace("\u2010", "-").replace("\u2212", "-")
        for option in sorted(options):
            check(option in text, f"the manual page does not name {option}")
        check("资源优先(偏慢)" in text, "the manual page lost the help's Chinese words")


def convert_as_user(root, program, scratch):
    home = os.path.join(scratch, "home")
    music = os.path.join(scratch, "music")
    for folder in (home, music):
        os.makedirs(folder)
        os.chmod(folder, 0o777)
    os.chmod(scratch, 0o755)
    source = os.path.join(music, "tone.wav")
    run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
         "sine=frequency=440:duration=1", "-ac", "2", "-ar", "44100", source])
    os.chmod(source, 0o666)
    env = {"PATH": os.environ["PATH"], "HOME": home, "LANG": "C.UTF-8"}
    user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
    result = run(user + [program, "--version"], env=env)
    check(result.returncode == 0 and "morvo-convert" in result.stdout,
          "--version: " + result.stdout + result.stderr)
    result = run(user + [program, "-f", "flac", "-o", music, "--save", source], env=env)
    check(result.returncode == 0, "conversion failed: " + result.stdout + result.stderr)
    target = os.path.join(music, "tone.flac")
    check(os.path.isfile(target), "no target written")
    if os.path.isfile(target):
        probe = run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_name",
                     "-of", "default=nw=1:nk=1", target])
        check(probe.stdout.strip() == "flac", "target is not FLAC: " + probe.stdout)
    check("0个文件转换失败,1个文件转换成功" in result.stdout,
          "C.UTF-8 does not speak Chinese: " + result.stdout)
    # The installed English catalog: a locale that need not be generated.
    catalog = os.path.join(root, "usr/share/locale/en/LC_MESSAGES/morvo.mo")
    check(os.path.isfile(catalog), "the English message catalog is not installed")
    result = run(user + [program, "-f", "flac", "-o", music, "-e", "overwrite", source],
                 env=dict(env, LANG="en_US.UTF-8"))
    check(result.returncode == 0 and ": done" in result.stdout
          and "0 file(s) failed, 1 file(s) converted" in result.stdout,
          "en_US.UTF-8 does not speak English: " + result.stdout + result.stderr)
    # A source only FFmpeg decodes: the player library finds its FFmpeg
    # module where the package put it.
    ogg = os.path.join(music, "tone.oga")
    run(["ffmpeg", "-nostdin", "-loglevel", "error", "-i", source, "-c:a", "flac", ogg])
    os.chmod(ogg, 0o666)
    decoded = os.path.join(scratch, "decoded")
    os.makedirs(decoded)
    os.chmod(decoded, 0o777)
    result = run(user + [program, "-f", "wav", "-o", decoded, ogg], env=env)
    check(result.returncode == 0 and os.path.isfile(os.path.join(decoded, "tone.wav")),
          "an Ogg FLAC source failed from the installed tree: " + result.stdout + result.stderr)
    config = os.path.join(home, ".config/Morvo/EncodeConfig.ini")
    check(os.path.isfile(config), "settings did not land in the user's config folder")
    check(not glob.glob(os.path.join(root, "usr/bin/*.ini")), "settings written beside the program")


def main():
    with tempfile.TemporaryDirectory() as scratch:
        package = build_package(os.path.join(scratch, "package"))
        if not package:
            return 1
        root = os.path.join(scratch, "root")
        result = run(["dpkg", "-x", package, root])
        check(result.returncode == 0, "dpkg -x: " + result.stderr)
        # Installed files are not the user's to write, whoever runs the test.
        run(["chmod", "-R", "a-w", os.path.join(root, "usr")])
        program = os.path.join(root, "usr/bin/morvo-convert")
        check_metadata(package, root)
        check_manual(root, program)
        convert_as_user(root, program, scratch)
        run(["chmod", "-R", "u+w", root])  # lets the scratch folder go
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
