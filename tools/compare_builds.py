#!/usr/bin/python3
"""Runs the same glotmark command lines with two builds and compares what they leave.

    /usr/bin/python3 tools/compare_builds.py OLD_BIN_DIR NEW_BIN_DIR [--sound FILE] [--only NAME]

Each case is a sequence of command lines run in a fresh scratch directory holding a copy of the
sound (voice.wav), an empty sound, a text file posing as a sound and, for the -I cases, the f0
file of an earlier run. After every command line the two builds must agree on standard output,
standard error, exit status and the bytes of every file in the scratch directory, apart from
the header's Time entry of the SDIF files and the two times of the history file (the program's
own path, which differs between builds, is replaced by "<BIN>"). Prints one line per case and
exits 1 when any case differs.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_SOUND = os.path.join(HERE, "..", "examples", "voice.wav")

# name -> list of argument lists, run in order in one scratch directory.
CASES = {
    "f0": [["-i", "voice.wav", "-O"]],
    "f0-verbose": [["-i", "voice.wav", "-O", "--verbose"]],
    "f0-range": [["-i", "voice.wav", "-O", "-f", "80", "-F", "400", "--verbose"]],
    "epochs-ener": [["-i", "voice.wav", "-E", "--verbose"]],
    "epochs-frob": [["-i", "voice.wav", "-E", "-e", "frob", "--verbose"]],
    "epochs-frob-order": [["-i", "voice.wav", "-E", "-o", "12", "--verbose"]],
    "epochs-frob-big-order": [["-i", "voice.wav", "-E", "-e", "frob", "-o", "400", "--verbose"]],
    "epochs-realloc": [["-i", "voice.wav", "-E", "-e", "realloc", "--verbose"]],
    "voicing": [["-i", "voice.wav", "-U", "--verbose"]],
    "voice-only": [["-i", "voice.wav", "--voice", "--verbose"]],
    "trans-only": [["-i", "voice.wav", "--trans", "--verbose"]],
    "forcefc": [["-i", "voice.wav", "-U", "--forcefc", "--verbose"]],
    "zones": [["-i", "voice.wav", "-T", "--verbose"]],
    "zones-thresholds": [["-i", "voice.wav", "-T", "-v", "0.5", "-t", "0.3"]],
    "marks": [["-i", "voice.wav", "-M", "--verbose"]],
    "marks-params": [["-i", "voice.wav", "-M", "-a", "3", "-b", "0.1", "-g", "7"]],
    "pso": [["-i", "voice.wav", "-S"]],
    "pso-verbose": [["-i", "voice.wav", "-S", "--verbose"]],
    "pso-frob": [["-i", "voice.wav", "-S", "-e", "frob", "--verbose"]],
    "pso-realloc": [["-i", "voice.wav", "-S", "-e", "realloc", "--verbose"]],
    "all-steps": [["-i", "voice.wav", "-O", "-E", "-U", "-T", "-M", "-S", "--verbose"]],
    "external-f0": [
        ["-i", "voice.wav", "-S", "-I", "ext.1FQ0.sdif", "--verbose"],
        ["-i", "voice.wav", "-S", "-I", "ext.1FQ0.sdif", "--force", "--verbose"],
        ["-i", "voice.wav", "-S", "-I", "ext.1FQ0.sdif", "--force", "--verbose"],
        ["-i", "voice.wav", "-I", "ext.1FQ0.sdif", "--verbose"],
    ],
    "reuse": [
        ["-i", "voice.wav", "-S"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["-i", "voice.wav", "-M", "-v", "0.5", "--verbose"],
        ["-i", "voice.wav", "-S", "-v", "0.5", "--verbose"],
        ["-i", "voice.wav", "-S", "-e", "frob", "--verbose"],
        ["-i", "voice.wav", "-S", "-e", "frob", "--verbose"],
        ["-i", "voice.wav", "-S", "-e", "frob", "-o", "12", "--verbose"],
        ["-i", "voice.wav", "-S", "--forcefc", "--verbose"],
        ["-i", "voice.wav", "-S", "-f", "70", "--verbose"],
        ["-i", "voice.wav", "-T", "-t", "0.3", "--verbose"],
        ["-i", "voice.wav", "-S", "-a", "3", "--verbose"],
        ["-i", "voice.wav", "-S", "--verbose"],
    ],
    "reuse-damaged": [
        ["-i", "voice.wav", "-S"],
        ["!truncate", "PSOvoice/voice.1ECS.sdif", "100"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["!truncate", "PSOvoice/voice.1ECS.sdif", "-10"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["!truncate", "PSOvoice/voice.1VUN.sdif", "-6"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["!truncate", "PSOvoice/voice.1TRA.sdif", "-6"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["-i", "voice.wav", "-T", "--verbose"],
        ["!garbage", "PSOvoice/voice.1VOI.sdif"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["!garbage", "PSOvoice/voice.1VUT.sdif"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["!truncate", "PSOvoice/voice.1FQ0.sdif", "0"],
        ["-i", "voice.wav", "-S", "--verbose"],
    ],
    # Step files whose header passes the reuse test but whose frames the readers refuse.
    "reader-failures": [
        ["-i", "voice.wav", "-S"],
        ["!first-frames", "PSOvoice/voice.1VOI.sdif", "1"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["-i", "voice.wav", "-M"],
        ["!first-frames", "PSOvoice/voice.1TRA.sdif", "1"],
        ["-i", "voice.wav", "-S"],
        ["-i", "voice.wav", "-T"],
        ["!first-frames", "PSOvoice/voice.1VUT.sdif", "0"],
        ["-i", "voice.wav", "-S", "--verbose"],
        ["!first-frames", "PSOvoice/voice.1ECS.sdif", "0"],
        ["-i", "voice.wav", "-U", "--verbose"],
    ],
    "errors-cmdline": [
        [],
        ["-i", "voice.wav"],
        ["-i", "voice", "-O"],
        ["-i", "missing.wav", "-O"],
        ["-i", "voice.wav", "-O", "-I", "ext.1FQ0.sdif"],
        ["-i", "voice.wav", "-E", "-e", "lpc"],
        ["-i", "voice.wav", "-E", "-o", "0"],
        ["-i", "voice.wav", "-T", "-v", "1.5"],
        ["-i", "voice.wav", "-T", "-t", "0"],
        ["-i", "voice.wav", "-M", "-a", "1"],
        ["-i", "voice.wav", "-M", "-b", "0"],
        ["-i", "voice.wav", "-M", "-g", "-1"],
        ["-i", "voice.wav", "-O", "--force"],
        ["-i", "voice.wav", "-S", "-I", "missing.sdif"],
        ["-i", "voice.wav", "-O", "-O"],
        ["-i", "voice.wav", "-O", "--bogus"],
        ["-i", "voice.wav", "-f"],
        ["--help"],
        ["--version"],
        ["-i", "voice.wav", "-U", "--voice", "--verbose"],
    ],
    "errors-sound": [
        ["-i", "empty.wav", "-O"],
        ["-i", "empty.wav", "-O", "--verbose"],
    ],
    # Changed on purpose: the reader's message alone, no history warning, no directory.
    "errors-unreadable-sound": [
        ["-i", "junk.wav", "-O"],
        ["-i", "junk.wav", "-S", "--verbose"],
    ],
    # Changed with harmex's usage text: its one-line reason for a value out of its range.
    "errors-harmex-range": [["-i", "voice.wav", "-O", "-f", "5"]],
    "errors-directory": [
        ["!file", "PSOvoice"],
        ["-i", "voice.wav", "-O"],
        ["-i", "voice.wav", "-S", "--verbose"],
    ],
    "errors-readonly-step-file": [
        ["-i", "voice.wav", "-E"],
        ["!mkdir", "PSOvoice/voice.1VUN.sdif"],
        ["-i", "voice.wav", "-U", "--verbose"],
        ["-i", "voice.wav", "-S", "--verbose"],
    ],
}

TIME_IN_HEADER = re.compile(rb"(Time\t)[^\n]*")
HISTORY_TIMES = re.compile(rb"(## (?:begining|ending):\t)[^\n]*")


def prepare(scratch, sound, ext_f0):
    shutil.copy(sound, os.path.join(scratch, "voice.wav"))
    with open(os.path.join(scratch, "junk.wav"), "w") as f:
        f.write("this is not a sound file at all\n")
    with open(sound, "rb") as f:
        header = f.read(44)
    # A WAV file of no frames: the canonical header with both sizes set to an empty data chunk.
    empty = bytearray(header)
    empty[4:8] = (36).to_bytes(4, "little")
    empty[40:44] = (0).to_bytes(4, "little")
    with open(os.path.join(scratch, "empty.wav"), "wb") as f:
        f.write(bytes(empty))
    if ext_f0:
        shutil.copy(ext_f0, os.path.join(scratch, "ext.1FQ0.sdif"))


def act(scratch, words):
    """The scratch-directory actions between runs ("!name ...")."""
    what, path = words[0], os.path.join(scratch, words[1])
    if what == "!truncate":  # to N bytes, or by -N bytes
        with open(path, "r+b") as f:
            n = int(words[2])
            f.truncate(n if n >= 0 else os.path.getsize(path) + n)
    elif what == "!first-frames":  # the header frames and the first N data frames, no more
        with open(path, "rb") as f:
            data = f.read()
        at, kept = 16, 0
        while at + 8 <= len(data):
            sig, size = data[at:at + 4], int.from_bytes(data[at + 4:at + 8], "big")
            if sig not in (b"1NVT", b"1TYP", b"1IDS"):
                if kept == int(words[2]):
                    break
                kept += 1
            at += 8 + size
        with open(path, "wb") as f:
            f.write(data[:at])
    elif what == "!garbage":
        with open(path, "r+b") as f:
            f.seek(40)
            f.write(b"\x7f" * 64)
    elif what == "!file":
        with open(path, "w") as f:
            f.write("a file where the directory should go\n")
    elif what == "!mkdir":
        if os.path.exists(path):
            os.remove(path)
        os.makedirs(path)
    else:
        raise ValueError(what)


def snapshot(scratch, bin_dir):
    """Every file of the scratch directory (times and program path masked) and every folder."""
    files, dirs = {}, []
    for root, folders, names in os.walk(scratch):
        dirs += [os.path.relpath(os.path.join(root, d), scratch) for d in folders]
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                data = f.read()
            data = TIME_IN_HEADER.sub(rb"\1<TIME>", data)
            if name == "history":
                data = HISTORY_TIMES.sub(rb"\1<TIME>", data)
                data = data.replace(bin_dir.encode(), b"<BIN>")
            files[os.path.relpath(path, scratch)] = data
    return files, sorted(dirs)


def run_case(bin_dir, words_list, sound, ext_f0):
    results = []
    scratch = tempfile.mkdtemp(prefix="compare-builds-")
    try:
        prepare(scratch, sound, ext_f0)
        env = {k: v for k, v in os.environ.items() if k != "SFDIR"}
        env["TZ"] = "UTC"
        for words in words_list:
            if words and words[0].startswith("!"):
                act(scratch, words)
                continue
            program = os.path.join(bin_dir, "glotmark")
            p = subprocess.run([program] + words, cwd=scratch, env=env, capture_output=True,
                               timeout=300)
            out = p.stdout.replace(bin_dir.encode(), b"<BIN>")
            err = p.stderr.replace(bin_dir.encode(), b"<BIN>")
            results.append((words, p.returncode, out, err, snapshot(scratch, bin_dir)))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return results


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def describe(label, a, b):
    i = first_difference(a, b)
    return "%s differs at byte %d: old %r / new %r" % (label, i, a[max(0, i - 30):i + 50],
                                                        b[max(0, i - 30):i + 50])


def compare(old, new):
    problems = []
    for (words, rc_a, out_a, err_a, (files_a, dirs_a)), (_, rc_b, out_b, err_b, (files_b, dirs_b)) \
            in zip(old, new):
        where = " ".join(words) or "(no arguments)"
        if rc_a != rc_b:
            problems.append("%s: status %d / %d" % (where, rc_a, rc_b))
        if out_a != out_b:
            problems.append("%s: %s" % (where, describe("stdout", out_a, out_b)))
        if err_a != err_b:
            problems.append("%s: %s" % (where, describe("stderr", err_a, err_b)))
        if dirs_a != dirs_b:
            problems.append("%s: directories %s / %s" % (where, dirs_a, dirs_b))
        for name in sorted(set(files_a) | set(files_b)):
            if name not in files_a or name not in files_b:
                problems.append("%s: %s only in the %s build" %
                                (where, name, "old" if name in files_a else "new"))
            elif files_a[name] != files_b[name]:
                problems.append("%s: %s" % (where, describe(name, files_a[name], files_b[name])))
    return problems


def external_f0(bin_dir, sound):
    """The f0 file of an -O run of the old build, for the -I cases."""
    scratch = tempfile.mkdtemp(prefix="compare-builds-f0-")
    shutil.copy(sound, os.path.join(scratch, "voice.wav"))
    subprocess.run([os.path.join(bin_dir, "glotmark"), "-i", "voice.wav", "-O"], cwd=scratch,
                   capture_output=True, check=True)
    keep = tempfile.NamedTemporaryFile(prefix="compare-builds-", suffix=".sdif", delete=False)
    keep.close()
    shutil.copy(os.path.join(scratch, "PSOvoice", "voice.1FQ0.sdif"), keep.name)
    shutil.rmtree(scratch, ignore_errors=True)
    return keep.name


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("old", help="bin directory of the previous build")
    parser.add_argument("new", help="bin directory of the build to check")
    parser.add_argument("--sound", default=DEFAULT_SOUND, help="sound to analyse (WAV)")
    parser.add_argument("--only", action="append", help="run only this case (repeatable)")
    args = parser.parse_args()
    old, new = os.path.abspath(args.old), os.path.abspath(args.new)
    ext = external_f0(old, args.sound)
    failed = 0
    runs = 0
    try:
        for name, words_list in CASES.items():
            if args.only and name not in args.only:
                continue
            problems = compare(run_case(old, words_list, args.sound, ext),
                               run_case(new, words_list, args.sound, ext))
            runs += sum(1 for w in words_list if not (w and w[0].startswith("!")))
            print("%-28s %s" % (name, "same" if not problems else "DIFFERS"))
            for p in problems[:6]:
                print("    " + p)
            if len(problems) > 6:
                print("    ... %d more" % (len(problems) - 6))
            failed += bool(problems)
    finally:
        os.remove(ext)
    print("%d cases (%d command lines): %d differ" % (
        len(args.only or CASES), runs, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
