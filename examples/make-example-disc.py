#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the example discs' sheets and data files into a folder (the build folder's examples/).

The data files are made here rather than committed: 300 cooked data sectors that say what they
are, and two stereo tones as 44,100 Hz 16-bit PCM WAVE files, each of the four seconds the
Red Book asks of a track.
"""
import math
import shutil
import struct
import sys
from pathlib import Path


def data_track(path: Path, sectors: int) -> None:
    with path.open("wb") as out:
        for n in range(sectors):
            text = f"Sarvex example disc, data track, sector {n}\n".encode("ascii")
            out.write((text * (2048 // len(text) + 1))[:2048])


def tone(path: Path, seconds: float, frequencies: tuple) -> None:
    rate = 44100
    frames = int(seconds * rate) // 588 * 588  # whole CD sectors
    samples = bytearray()
    for i in range(frames):
        fade = min(1.0, i / 2205, (frames - i) / 2205)
        left = sum(math.sin(2 * math.pi * f * i / rate) for f in frequencies) / len(frequencies)
        right = math.sin(2 * math.pi * frequencies[0] * 1.5 * i / rate)
        samples += struct.pack("<hh", int(12000 * fade * left), int(8000 * fade * right))
    header = b"RIFF" + struct.pack("<I", 36 + len(samples)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16)
    header += b"data" + struct.pack("<I", len(samples))
    path.write_bytes(header + bytes(samples))


def main() -> int:
    if len(sys.argv) != 2:
        print("usage: make-example-disc.py OUTPUT_FOLDER", file=sys.stderr)
        return 64
    source = Path(__file__).resolve().parent
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    data_track(folder / "demo-data.bin", 300)
    tone(folder / "demo-tone-a.wav", 4.0, (440.0, 554.37, 659.25))
    tone(folder / "demo-tone-b.wav", 4.0, (392.0, 493.88))
    for sheet in ("demo.cue", "demo-audio.cue"):
        shutil.copyfile(source / sheet, folder / sheet)
    return 0


if __name__ == "__main__":
    sys.exit(main())
