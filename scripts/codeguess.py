#!/usr/bin/env python3
"""How often `quorix info` names the code of an image rightly.

Builds a corpus of EPROM images whose code is known and prints, per class,
the share that `info --json` calls u255, linear or something else, and how
many of the calls it marks unsure:

  - real: the drum kit samples of Debian's hydrogen-drumkits package (when
    installed), through `quorix prepare` in u255 (both encoders), linear and
    linear-inverted, on several machines, sizes, rates and levels;
  - synthetic: hard sounds made with sox (bright noise bursts, shakers,
    cabasas, tambourines, sticks with slow tails, quiet ride tails), the same
    ways;
  - factory-like: images made here the way other tools may have made the
    factory chips: the continuous mu-law curve or G.711's segment table
    (ours, and sox's u-law, each without G.711's bit inversion), padded
    with 0x00 or 0x80, two sounds in 2 KB halves, 8 KB and 16 KB chips;
    and linear images made the same way.

  scripts/codeguess.py [--quorix build/bin/quorix] [--real N] [--seed N]
                       [--keep DIR] [--misses]

"right" is the code the image is in (linear-inverted counts as linear),
"silent" an image of zero codes only (a sound too quiet for 8 bits),
"unsure" the calls, right or wrong, that info marks unsure. Another --seed
gives each sound other ways of preparing and coding: a corpus held out
from the one the guess was tuned on. The corpus is built in a scratch
folder and removed, unless --keep names a folder (with labels.tsv).
"""

import argparse
import json
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

# Sounds that are hard for a guess: noise-like, bright, with long quiet
# tails or a slow swing to one side. sox synth arguments after "synth".
SYNTHETIC = {
    "hihat-closed": "0.08 whitenoise highpass 7000 fade q 0 0.08 0.07",
    "hihat-open": "0.6 whitenoise highpass 6000 fade q 0 0.6 0.55",
    "noise-burst": "0.05 whitenoise fade 0 0.05 0.04",
    "bright-burst": "0.15 whitenoise highpass 9000 fade 0 0.15 0.14",
    "shaker": "0.25 pinknoise bandpass 5500 2000h tremolo 18 80 fade q 0.01 0.25 0.1",
    "cabasa": "0.2 whitenoise bandpass 8000 3000h fade h 0.005 0.2 0.18",
    "maraca": "0.12 brownnoise highpass 3000 fade t 0.002 0.12 0.1",
    "tambourine": "0.5 whitenoise highpass 5000 synth 0.5 sine amod 9000 fade q 0 0.5 0.45",
    "ride-tail-quiet": "1.2 whitenoise highpass 4000 gain -30 fade q 0 1.2 1.1",
    "crash-tail": "1.5 pinknoise highpass 2500 fade l 0 1.5 1.45",
}

# Sounds mixed from two parts: a click and a slow one-sided tail.
MIXED = {
    "stick-slow-tail": ["0.02 whitenoise highpass 3000 fade 0 0.02 0.019",
                        "0.4 sine 30 fade l 0 0.4 0.39 gain -12"],
    "rim-dc-tail": ["0.01 square 1800 fade 0 0.01 0.009",
                    "0.3 sine 12 fade l 0 0.3 0.3 gain -6"],
    "clap": ["0.03 whitenoise bandpass 1200 800h fade 0 0.03 0.02",
             "0.2 whitenoise bandpass 1100 600h fade q 0 0.2 0.19 gain -6"],
}

LEVELS = ["-0.1", "-6", "-18"]


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)


def hydrogen_samples():
    r = run(["dpkg", "-L", "hydrogen-drumkits"])
    if r.returncode != 0:
        return []
    names = [l for l in r.stdout.decode().splitlines() if l.lower().endswith((".flac", ".wav"))]
    return sorted(n for n in names if os.path.isfile(n))


def make_synthetic(folder):
    made = []
    for name, recipe in SYNTHETIC.items():
        for rate in ("44100", "22050"):
            for level in LEVELS:
                out = os.path.join(folder, "%s-%s-%s.wav" % (name, rate, level))
                r = run(["sox", "-R", "-n", "-r", rate, "-b", "16", out, "synth"] + recipe.split() + ["norm", level])
                if r.returncode == 0:
                    made.append(out)
    for name, parts in MIXED.items():
        pieces = []
        for k, recipe in enumerate(parts):
            p = os.path.join(folder, "%s-part%d.wav" % (name, k))
            run(["sox", "-R", "-n", "-r", "44100", "-b", "16", p, "synth"] + recipe.split())
            pieces.append(p)
        for level in LEVELS:
            out = os.path.join(folder, "%s-%s.wav" % (name, level))
            if run(["sox", "-R", "-m"] + pieces + [out, "norm", level]).returncode == 0:
                made.append(out)
    return made


# Ways of `prepare`: the options and the code the image is in. Every sound
# goes through the first four; each also through one of the others, in turn.
ALWAYS = [
    (["--machine", "dmx"], "u255"),
    (["--machine", "dmx", "--encoder", "curve"], "u255"),
    (["--machine", "dmx", "--code", "linear"], "linear"),
    (["--machine", "dmx", "--code", "linear-inverted"], "linear"),
]
IN_TURN = [
    (["--machine", "dmx-perc"], "u255"),
    (["--machine", "dmx-cymbal", "--chips", "27128"], "u255"),
    (["--machine", "dmx", "--gain", "-24"], "u255"),
    (["--machine", "dmx", "--no-pad"], "u255"),
    (["--machine", "dmx-snare", "--encoder", "curve", "--gain", "-12"], "u255"),
    (["--machine", "dmx", "--size", "32768", "--rate", "32000"], "u255"),
    (["--machine", "dmx", "--size", "8192", "--rate", "20000"], "u255"),
    (["--machine", "dmx-perc2", "--code", "linear"], "linear"),
    (["--machine", "dmx", "--code", "linear", "--gain", "-24"], "linear"),
    (["--machine", "dmx", "--size", "2048", "--code", "linear", "--no-pad"], "linear"),
    (["--machine", "dmx", "--size", "16384", "--rate", "32000", "--code", "linear-inverted"], "linear"),
    (["--machine", "dmx-snare", "--trim", "--gain", "-40"], "u255"),
    (["--machine", "dmx", "--size", "4096", "--rate", "12000", "--code", "linear", "--gain", "-6"], "linear"),
    # The sound first made 8-bit (sox), as an old sampler kept it.
    (["@8bit", "--machine", "dmx"], "u255"),
    (["@8bit", "--machine", "dmx", "--code", "linear"], "linear"),
]


def samples_at(path, rate):
    """The sound as mono floats at `rate`, peak-normalized."""
    r = run(["sox", path, "-t", "f32", "-c", "1", "-r", str(rate), "-", "norm", "-0.2"])
    if r.returncode != 0 or len(r.stdout) < 4:
        return []
    return list(struct.unpack("<%df" % (len(r.stdout) // 4), r.stdout))


def mulaw_curve(x):
    # The continuous curve: sign bit set for positive, 7 bits of magnitude.
    m = min(127, int(round(math.log1p(255 * min(1.0, abs(x))) / math.log(256) * 127)))
    return (0x80 if x >= 0 else 0) | m


def g711_segments(x):
    # G.711's encoder (bias 132, segment by the highest bit, truncated
    # step), stored without its bit inversion: the AM6070's layout.
    s = max(-32635, min(32635, int(x * 32767)))
    sign = 0x80 if s >= 0 else 0
    v = abs(s) + 132
    seg = 0
    while seg < 7 and v > (0xFF << (seg + 1)) | 0xFF:
        seg += 1
    step = (v >> (seg + 3)) & 0x0F
    return sign | (seg << 4) | step


def sox_ulaw(samples):
    """G.711 u-law codes as sox writes them, bits 6-0 inverted back: the
    AM6070's layout (sox's 0xFF for +0 becomes 0x80, its 0x7F for -0 0x00)."""
    raw = struct.pack("<%df" % len(samples), *samples)
    r = subprocess.run(["sox", "-t", "f32", "-c", "1", "-r", "27200", "-", "-t", "raw", "-e", "u-law", "-"],
                       input=raw, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return bytes(c ^ 0x7F for c in r.stdout)


def linear_offset(x):
    return max(0, min(255, 128 + int(round(x * 127))))


def linear_truncated(x):
    return max(0, min(255, 128 + int(math.floor(x * 128))))


def region(samples, size, encode, gain, pad):
    body = samples[: size - 1]
    body = sox_ulaw([s * gain for s in body]) if encode is sox_ulaw else bytes(encode(s * gain) for s in body)
    return bytes([pad]) + body + bytes([pad]) * (size - 1 - len(body))


def factory_like(sources, folder, rng, seed):
    """(path, code) of images made without prepare, as other tools might."""
    out = []
    for i, src in enumerate(sources):
        kind = (i + seed) % 6
        gain = 10 ** (-rng.choice([0, 0, 2, 6]) / 20)
        u_encode = [mulaw_curve, g711_segments, sox_ulaw][(i + seed) % 3]
        pad = 0x00 if (i // 2) % 2 == 0 else 0x80
        if kind == 0:  # a DMX chip at 27.2 kHz
            data = region(samples_at(src, 27200), 4096, u_encode, gain, pad)
        elif kind == 1:  # LinnDrum, 30 kHz
            data = region(samples_at(src, 30000), 4096, u_encode, gain, pad)
        elif kind == 2:  # two sounds in 2 KB halves
            other = sources[(i * 7 + 3) % len(sources)]
            data = region(samples_at(src, 27200), 2048, u_encode, gain, pad) + \
                region(samples_at(other, 27200), 2048, u_encode, gain, pad)
        elif kind == 3:  # an 8 KB DX chip at 20 kHz
            data = region(samples_at(src, 20000), 8192, u_encode, gain, pad)
        elif kind == 4:  # a 16 KB cymbal at 27.2 kHz
            data = region(samples_at(src, 27200), 16384, u_encode, gain, pad)
        else:  # linear, rounded or truncated, at 32 kHz
            encode = linear_offset if i % 4 == 1 else linear_truncated
            data = region(samples_at(src, 32000), rng.choice([4096, 8192]), encode, gain, 0x80)
            path = os.path.join(folder, "fl%05d.bin" % i)
            with open(path, "wb") as f:
                f.write(data)
            out.append((path, "linear"))
            continue
        if len(data) <= 1:
            continue
        path = os.path.join(folder, "fu%05d.bin" % i)
        with open(path, "wb") as f:
            f.write(data)
        out.append((path, "u255"))
    return out


def prepared(quorix, sources, folder, tag, seed):
    jobs = []
    for i, src in enumerate(sources):
        for k, (opts, code) in enumerate(ALWAYS + [IN_TURN[(i + seed) % len(IN_TURN)]]):
            out = os.path.join(folder, "%s%05d-%d.bin" % (tag, i, k))
            jobs.append((opts, src, out, code))

    def one(job):
        opts, src, out, code = job
        if opts[0] == "@8bit":
            eight = out + ".wav"
            if run(["sox", src, "-b", "8", eight]).returncode != 0:
                return None
            opts, src = opts[1:], eight
        ok = run([quorix, "prepare", "--quiet"] + opts + [src, out]).returncode == 0
        return (out, code) if ok and os.path.isfile(out) else None

    with ThreadPoolExecutor(2) as pool:
        return [r for r in pool.map(one, jobs) if r]


def guesses(quorix, images):
    """likely_code of each image, 200 files a call."""
    found = {}
    for at in range(0, len(images), 200):
        paths = [p for p, _ in images[at:at + 200]]
        r = run([quorix, "info", "--json", "--"] + paths)
        for line in r.stdout.decode().splitlines():
            j = json.loads(line)
            found[j["file"]] = j.get("likely_code") or {"code": "unusable"}
    return found


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--quorix", default="build/bin/quorix")
    ap.add_argument("--real", type=int, default=0, help="at most this many real samples (0: all)")
    ap.add_argument("--keep", help="build the corpus in this folder and keep it")
    ap.add_argument("--misses", action="store_true", help="list every image called wrongly")
    ap.add_argument("--seed", type=int, default=0, help="another choice of ways per sound, for a held-out corpus")
    a = ap.parse_args()
    quorix = os.path.abspath(a.quorix)
    folder = a.keep or tempfile.mkdtemp(prefix="codeguess-")
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(7 + a.seed)
    real = hydrogen_samples()
    if a.real:
        real = rng.sample(real, min(a.real, len(real)))
    if not real:
        print("hydrogen-drumkits is not installed: synthetic sounds only", file=sys.stderr)
    synthetic = make_synthetic(folder)
    classes = {
        "real": prepared(quorix, real, folder, "r", a.seed),
        "synthetic": prepared(quorix, synthetic, folder, "s", a.seed),
        "factory-like": factory_like(real + synthetic, folder, rng, a.seed),
    }
    if a.keep:
        with open(os.path.join(folder, "labels.tsv"), "w") as f:
            for name, images in classes.items():
                for p, c in images:
                    f.write("%s\t%s\t%s\n" % (p, name, c))
    print("%-22s %6s %8s %8s %8s %8s %8s" % ("class", "images", "right", "wrong", "silent", "other", "unsure"))
    for name, images in classes.items():
        found = guesses(quorix, images)
        for code in ("u255", "linear"):
            part = [(p, c) for p, c in images if c == code]
            if not part:
                continue
            right = sum(found.get(p, {}).get("code") == c for p, c in part)
            wrong = sum(found.get(p, {}).get("code") in ("u255", "linear") and found[p]["code"] != c
                        for p, c in part)
            # A sound too quiet for 8 bits leaves only zero codes: no code to tell.
            silent = sum(found.get(p, {}).get("code") == "silent" for p, _ in part)
            unsure = sum(found.get(p, {}).get("sure") is False for p, _ in part)
            n = len(part)
            print("%-22s %6d %7.2f%% %7.2f%% %7.2f%% %7.2f%% %7.2f%%" %
                  ("%s %s" % (name, code), n, 100.0 * right / n, 100.0 * wrong / n, 100.0 * silent / n,
                   100.0 * (n - right - wrong - silent) / n, 100.0 * unsure / n))
            if a.misses:
                for p, c in part:
                    g = found.get(p, {})
                    if g.get("code") != c:
                        print("  miss %s (%s): %s%s %s" % (p, c, g.get("code"), "" if g.get("sure", True) else
                                                             " (unsure)", g.get("reason", "")))
    if not a.keep:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
