#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs the README's command-line examples against the example disc and compares their output.

Every ```console block is a session in one fresh copy of the build's examples/ folder: a line
"$ command" runs in bash with sarvex-cli on the PATH, the lines up to the next command are what it
must print (stdout and stderr). Each command must exit 0. The lines of a batch (-j) may come in
any order. Usage: readme_examples.py README BUILD_FOLDER
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path


def sessions(readme: str):
    for block in re.findall(r"^```console\n(.*?)^```", readme, re.M | re.S):
        steps = []
        for line in block.splitlines():
            if line.startswith("$ "):
                steps.append((line[2:], []))
            elif steps:
                steps[-1][1].append(line)
        yield steps


def main() -> int:
    readme = Path(sys.argv[1]).read_text(encoding="utf-8")
    build = Path(sys.argv[2]).resolve()
    env = dict(os.environ, PATH=f"{build / 'src' / 'cli'}:{os.environ['PATH']}", LC_ALL="C")
    failures = commands = 0
    for steps in sessions(readme):
        with tempfile.TemporaryDirectory() as folder:
            for name in os.listdir(build / "examples"):
                if name.endswith((".cue", ".bin", ".wav")):
                    shutil.copy(build / "examples" / name, folder)
            for command, expected in steps:
                commands += 1
                run = subprocess.run(["bash", "-c", command], cwd=folder, env=env, timeout=60,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
                got = run.stdout.splitlines()
                same = sorted(got) == sorted(expected) if " -j" in command else got == expected
                if run.returncode != 0 or not same:
                    failures += 1
                    print(f"FAIL: $ {command}\n  exit {run.returncode}\n  expected:\n    "
                          + "\n    ".join(expected) + "\n  got:\n    " + "\n    ".join(got))
    if commands == 0:
        print("FAIL: the README has no console examples")
        return 1
    print(f"{commands} README commands run, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
