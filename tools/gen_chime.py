#!/usr/bin/env python3
"""Writes the checker's default new-mail sound: a short two-tone chime,
mono 16-bit PCM at 22050 Hz, 0.8 seconds.

usage: gen_chime.py OUT.wav
"""
import math
import struct
import sys

RATE = 22050
LENGTH = 0.8
# (start in seconds, fundamental in Hz): a high note falling a fourth.
NOTES = ((0.0, 1046.5), (0.16, 784.0))
# Bell-like partials: (multiple of the fundamental, relative level, decay time).
PARTIALS = ((1.0, 1.0, 0.30), (2.0, 0.30, 0.12), (3.0, 0.12, 0.07))
ATTACK = 0.004
FADE = 0.06
PEAK = 0.55


def sample(t):
    v = 0.0
    for start, f in NOTES:
        u = t - start
        if u < 0:
            continue
        env = min(1.0, u / ATTACK)
        for mult, level, tau in PARTIALS:
            v += level * env * math.exp(-u / tau) * math.sin(2 * math.pi * f * mult * u)
    return v


def chime():
    n = int(RATE * LENGTH)
    raw = [sample(i / RATE) for i in range(n)]
    fade = int(RATE * FADE)
    for i in range(fade):
        raw[n - fade + i] *= 1.0 - (i + 1) / fade
    scale = PEAK * 32767 / max(abs(v) for v in raw)
    return struct.pack(f"<{n}h", *(int(round(v * scale)) for v in raw))


def wav(pcm):
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(pcm)) + pcm
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "wb") as f:
        f.write(wav(chime()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
