#!/usr/bin/env python3
"""Synthesises the five notification sounds.

Usage: gen_sounds.py OUTDIR

Writes sound1.wav ... sound5.wav into OUTDIR: 16-bit PCM, mono, 22050 Hz,
0.4 to 0.9 seconds each. The same bytes come out on every run (no
randomness, fixed amplitudes, no normalisation that depends on the result).

Each file has its own dominant frequency, so a recording of the program can
tell which sound it played. Notes and fundamentals (Hz):

  file        character                notes, in order               dominant
  sound1.wav  rising two-note chime    523.25 (C5), 783.99 (G5)        783.99
  sound2.wav  falling two-note chime   1046.50 (C6), 698.46 (F5)       698.46
  sound3.wav  triple beep              3 x 1318.51 (E6)               1318.51
  sound4.wav  soft bell, long decay    440.00 (A4) + bell partials     440.00
  sound5.wav  rising arpeggio          587.33, 739.99, 880.00,        1174.66
                                       1174.66 (D major, last held)

The dominant note of every file is the longest and loudest one; no other
file contains a note or strong partial at another file's dominant frequency.
"""

import math
import os
import struct
import sys

RATE = 22050

# Dominant fundamental of each file, sound1.wav first.
DOMINANT = (783.99, 698.46, 1318.51, 440.00, 1174.66)


def note(buf, start, dur, freq, amp, partials=((1.0, 1.0),), tau=0.25, attack=0.006,
         release=0.03):
    """Adds a note to buf. partials: (frequency ratio, relative amplitude);
    higher partials decay faster, as in struck instruments."""
    n0 = int(round(start * RATE))
    n = min(int(round(dur * RATE)), len(buf) - n0)
    na = max(1, int(round(attack * RATE)))
    nr = max(1, int(round(release * RATE)))
    for i in range(n):
        t = i / RATE
        env = math.exp(-t / tau)
        if i < na:
            env *= 0.5 - 0.5 * math.cos(math.pi * i / na)
        if i >= n - nr:
            env *= 0.5 - 0.5 * math.cos(math.pi * (n - i) / nr)
        v = 0.0
        for ratio, rel in partials:
            v += rel * math.exp(-t * (ratio - 1.0) * 2.0) * math.sin(2 * math.pi * freq * ratio * t)
        buf[n0 + i] += amp * env * v


def render(total, notes):
    buf = [0.0] * int(round(total * RATE))
    for args, kwargs in notes:
        note(buf, *args, **kwargs)
    return buf


CHIME = ((1.0, 1.0), (2.0, 0.22), (3.0, 0.08))
BEEP = ((1.0, 1.0), (3.0, 0.12))
BELL = ((1.0, 1.0), (2.0, 0.30), (2.76, 0.18), (5.40, 0.07))


def sounds():
    return [
        render(0.60, [((0.00, 0.17, 523.25, 0.30), dict(partials=CHIME, tau=0.20)),
                      ((0.14, 0.46, 783.99, 0.50), dict(partials=CHIME, tau=0.30))]),
        render(0.64, [((0.00, 0.17, 1046.50, 0.28), dict(partials=CHIME, tau=0.20)),
                      ((0.14, 0.50, 698.46, 0.52), dict(partials=CHIME, tau=0.30))]),
        render(0.44, [((0.00, 0.10, 1318.51, 0.45), dict(partials=BEEP, tau=1.0, release=0.012)),
                      ((0.17, 0.10, 1318.51, 0.45), dict(partials=BEEP, tau=1.0, release=0.012)),
                      ((0.34, 0.10, 1318.51, 0.45), dict(partials=BEEP, tau=1.0, release=0.012))]),
        render(0.90, [((0.00, 0.90, 440.00, 0.50), dict(partials=BELL, tau=0.32, attack=0.004,
                                                        release=0.08))]),
        render(0.66, [((0.00, 0.10, 587.33, 0.30), dict(partials=CHIME, tau=0.25)),
                      ((0.09, 0.10, 739.99, 0.30), dict(partials=CHIME, tau=0.25)),
                      ((0.18, 0.10, 880.00, 0.30), dict(partials=CHIME, tau=0.25)),
                      ((0.27, 0.39, 1174.66, 0.48), dict(partials=CHIME, tau=0.25))]),
    ]


def wav_bytes(samples):
    # A short fade over the whole file so it starts and ends at silence
    # even where notes overlap its edges.
    n = len(samples)
    fade_in = int(0.003 * RATE)
    fade_out = int(0.02 * RATE)
    pcm = bytearray()
    for i, v in enumerate(samples):
        if i < fade_in:
            v *= i / fade_in
        if i >= n - fade_out:
            v *= (n - 1 - i) / fade_out
        s = int(math.floor(v * 32767.0 + 0.5))
        if not -32768 <= s <= 32767:
            raise ValueError("sample out of range: the sound clips")
        pcm += struct.pack("<h", s)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(pcm)) + bytes(pcm)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: gen_sounds.py OUTDIR\n")
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    for k, samples in enumerate(sounds(), 1):
        with open(os.path.join(outdir, "sound%d.wav" % k), "wb") as f:
            f.write(wav_bytes(samples))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
