#!/usr/bin/env python3
"""Times the command-line converter against sox and against cat.

Generates its inputs in build/bench (a 10-minute 16-bit stereo WAV file at
44.1 kHz, a 5-second 16-bit mono drum voice at 24 kHz, a 50 MB EPROM
image, and for the voice preparation a 5-second 24-bit stereo voice at
48 kHz and a 10-minute 24-bit stereo file at 96 kHz), then runs every command several times, one command after the other
in turn, so that a machine busy with other work slows all of them alike.
Prints median and range of the wall-clock times, the input's MB/s, each of
our times as a throughput ratio to sox's nearest equivalent and as a
multiple of the time cat needs just to read the same input, and the peak
resident memory of each command.

  scripts/bench.py [--reps N] [--quorix PATH]
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH = os.path.join(ROOT, "build", "bench")
OUT = os.path.join(BENCH, "out")

LONG_WAV = os.path.join(BENCH, "long.wav")
VOICE_WAV = os.path.join(BENCH, "voice.wav")
IMAGE = os.path.join(BENCH, "image.bin")
VOICE48_WAV = os.path.join(BENCH, "voice48.wav")
LONG96_WAV = os.path.join(BENCH, "long96.wav")

MB = 1e6
RSS_LIMIT_KB = 4096
PREPARE_RSS_LIMIT_KB = 16384  # libsndfile and libsoxr come with the preparation


def make_inputs():
    os.makedirs(OUT, exist_ok=True)
    # Ten minutes of 16-bit stereo at 44.1 kHz: 105,840,044 bytes. Noise on
    # one channel and a tone on the other keep every code in use.
    if not os.path.exists(LONG_WAV) or os.path.getsize(LONG_WAV) != 105840044:
        print("generating", os.path.relpath(LONG_WAV, ROOT), flush=True)
        subprocess.run(["sox", "-n", "-r", "44100", "-b", "16", "-c", "2", LONG_WAV,
                        "synth", "600", "pinknoise", "sine", "440", "vol", "0.7"], check=True)
    # A drum voice as it goes into an EPROM: 5 s at 24 kHz, dying away.
    if not os.path.exists(VOICE_WAV) or os.path.getsize(VOICE_WAV) != 240044:
        print("generating", os.path.relpath(VOICE_WAV, ROOT), flush=True)
        subprocess.run(["sox", "-n", "-r", "24000", "-b", "16", "-c", "1", VOICE_WAV,
                        "synth", "5", "pinknoise", "fade", "q", "0", "5", "4.9", "vol", "0.9"],
                       check=True)
    # What a musician brings to `quorix prepare`: 24-bit stereo from an
    # editor. sox writes these in the extensible format, header included.
    for path, rate, seconds in ((VOICE48_WAV, 48000, 5), (LONG96_WAV, 96000, 600)):
        if not os.path.exists(path) or os.path.getsize(path) < rate * seconds * 6:
            print("generating", os.path.relpath(path, ROOT), flush=True)
            subprocess.run(["sox", "-n", "-r", str(rate), "-b", "24", "-c", "2", path,
                            "synth", str(seconds), "pinknoise", "sine", "220",
                            "fade", "q", "0", str(seconds), str(seconds - 0.1), "vol", "0.8"],
                           check=True)
    size = 50 * 1000 * 1000
    if not os.path.exists(IMAGE) or os.path.getsize(IMAGE) != size:
        print("generating", os.path.relpath(IMAGE, ROOT), flush=True)
        with open(IMAGE, "wb") as f:
            f.write(random.Random(5).randbytes(size))


RSS_FILE = os.path.join(BENCH, "rss.txt")
ERR_FILE = os.path.join(BENCH, "stderr.txt")


def run_once(argv, out):
    """Runs one command; returns (seconds, peak RSS in KB, CPU seconds).

    Every command runs under GNU time, which reports its peak resident
    memory. Our own rusage of the child would not do: the kernel counts the
    memory of the process that forked it, this interpreter, into it. The CPU
    time (user and system) tells apart a slow command from a busy machine."""
    if out and os.path.exists(out):
        os.remove(out)  # every run writes a new file, none truncates an old one
    with open(ERR_FILE, "wb") as err:
        start = time.perf_counter()
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", RSS_FILE] + argv,
                             stdout=subprocess.DEVNULL, stderr=err)
        # wait4 gives the CPU time of GNU time and the command it waited for,
        # to the microsecond (GNU time itself prints hundredths).
        _, status, usage = os.wait4(p.pid, 0)
        elapsed = time.perf_counter() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        with open(ERR_FILE, "rb") as f:
            sys.exit("bench: %s failed with status %d\n%s" %
                     (" ".join(argv), p.returncode, f.read().decode(errors="replace")))
    with open(RSS_FILE) as f:
        return elapsed, int(f.read().split()[-1]), usage.ru_utime + usage.ru_stime


LIBRARY = os.path.join(BENCH, "library")
LIBRARY_IMAGES = 1000
INFO_LIMIT_S = 1.0


def bench_info(q, reps):
    """quorix info over a whole sound library: 1,000 4 KB images in one
    process, text and JSON, against a limit of 1 second each (whole
    process, start-up included). Returns whether both stayed under it."""
    os.makedirs(LIBRARY, exist_ok=True)
    rnd = random.Random(9)
    names = []
    for i in range(LIBRARY_IMAGES):
        name = os.path.join(LIBRARY, "voice%04d.bin" % i)
        names.append(name)
        if not os.path.exists(name) or os.path.getsize(name) != 4096:
            # A zero code, a voice of random length, zero-code padding.
            used = rnd.randrange(200, 4096)
            with open(name, "wb") as f:
                f.write(b"\x80" + rnd.randbytes(used - 1) + b"\x80" * (4096 - used))
    print("\nquorix info over %d 4 KB images, one process (%d runs each):" % (LIBRARY_IMAGES, reps))
    ok = True
    for label, argv in (("quorix info", [q, "info"] + names),
                        ("quorix info --json", [q, "info", "--json"] + names)):
        run_once(argv, None)  # fills the page cache
        times = [run_once(argv, None)[0] for _ in range(reps)]
        med = statistics.median(times)
        hit = med < INFO_LIMIT_S
        ok = ok and hit
        print("  %-4s %-20s median %7.1f ms (min-max %.1f-%.1f ms), limit %.0f ms" %
              ("ok" if hit else "MISS", label, med * 1e3, min(times) * 1e3, max(times) * 1e3,
               INFO_LIMIT_S * 1e3))
    return ok


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--reps", type=int, default=5, help="timed runs of each command (default 5)")
    ap.add_argument("--quorix", default=os.path.join(ROOT, "build", "bin", "quorix"))
    args = ap.parse_args()
    for tool in ("sox", "cat", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit("bench: %s is needed (scripts/setup.sh bench)" % tool)
    if not os.access(args.quorix, os.X_OK):
        sys.exit("bench: no converter at %s (make build)" % args.quorix)

    make_inputs()
    # Settings come from the options alone, not from a quorix.ini lying around.
    os.environ["QUORIX_PATH"] = BENCH
    q = args.quorix

    def out(name):
        return os.path.join(OUT, name)

    # name, input, argv, output, what it is compared with (sox, cat)
    cases = [
        ("quorix wav2dmx --mu-law", LONG_WAV,
         [q, "wav2dmx", "--mu-law", "--no-autoscale", "--no-invert", LONG_WAV, out("mu.bin")],
         out("mu.bin"), ("sox wav->u-law", "cat long.wav")),
        ("quorix wav2dmx --mu-law --autoscale", LONG_WAV,
         [q, "wav2dmx", "--mu-law", "--autoscale", "--no-invert", LONG_WAV, out("mu-auto.bin")],
         out("mu-auto.bin"), ("sox wav->u-law", "cat long.wav")),
        ("quorix wav2dmx --linear", LONG_WAV,
         [q, "wav2dmx", "--linear", "--no-autoscale", "--no-invert", LONG_WAV, out("lin.bin")],
         out("lin.bin"), ("sox wav->unsigned", "cat long.wav")),
        ("quorix wav2dmx --linear --autoscale", LONG_WAV,
         [q, "wav2dmx", "--linear", "--autoscale", "--no-invert", LONG_WAV, out("lin-auto.bin")],
         out("lin-auto.bin"), ("sox wav->unsigned", "cat long.wav")),
        ("sox wav->u-law", LONG_WAV,
         ["sox", LONG_WAV, "-t", "raw", "-e", "u-law", "-b", "8", "-c", "1", out("sox-mu.raw")],
         out("sox-mu.raw"), None),
        ("sox wav->unsigned", LONG_WAV,
         ["sox", LONG_WAV, "-t", "raw", "-e", "unsigned", "-b", "8", "-c", "1", out("sox-u8.raw")],
         out("sox-u8.raw"), None),
        ("cat long.wav", LONG_WAV, ["cat", LONG_WAV], None, None),
        ("quorix dmx2wav --16bit", IMAGE,
         [q, "dmx2wav", "--16bit", "--rate", "24000", IMAGE, out("image.wav")],
         out("image.wav"), ("sox u-law->wav", "cat image.bin")),
        ("sox u-law->wav", IMAGE,
         ["sox", "-t", "raw", "-r", "24000", "-e", "u-law", "-b", "8", "-c", "1", IMAGE,
          "-b", "16", out("sox-image.wav")],
         out("sox-image.wav"), None),
        ("cat image.bin", IMAGE, ["cat", IMAGE], None, None),
        ("quorix wav2dmx voice", VOICE_WAV,
         [q, "wav2dmx", "--mu-law", "--no-autoscale", "--no-invert", VOICE_WAV, out("voice.bin")],
         out("voice.bin"), ("sox voice->u-law", "cat voice.wav")),
        ("quorix wav2dmx voice --autoscale", VOICE_WAV,
         [q, "wav2dmx", "--mu-law", "--autoscale", "--no-invert", VOICE_WAV, out("voice-auto.bin")],
         out("voice-auto.bin"), ("sox voice->u-law", "cat voice.wav")),
        ("sox voice->u-law", VOICE_WAV,
         ["sox", VOICE_WAV, "-t", "raw", "-e", "u-law", "-b", "8", "-c", "1", out("sox-voice.raw")],
         out("sox-voice.raw"), None),
        ("cat voice.wav", VOICE_WAV, ["cat", VOICE_WAV], None, None),
        # The voice preparation reads only what the 4 KB region needs, so
        # the 10-minute file should cost about what the 5-second one does.
        ("quorix prepare voice48 (dmx)", VOICE48_WAV,
         [q, "prepare", "--quiet", VOICE48_WAV, out("prepare-voice.bin")],
         out("prepare-voice.bin"), ("sox voice48 -> 27200 Hz", "cat voice48.wav")),
        ("quorix prepare long96 (dmx)", LONG96_WAV,
         [q, "prepare", "--quiet", LONG96_WAV, out("prepare-long.bin")],
         out("prepare-long.bin"), ("sox voice48 -> 27200 Hz", "cat voice48.wav")),
        ("sox voice48 -> 27200 Hz", VOICE48_WAV,
         ["sox", VOICE48_WAV, "-r", "27200", "-c", "1", "-b", "16", out("sox-voice48.wav")],
         out("sox-voice48.wav"), None),
        ("cat voice48.wav", VOICE48_WAV, ["cat", VOICE48_WAV], None, None),
    ]
    # The short voice runs are over in milliseconds; more of them steady the median.
    short = (VOICE_WAV, VOICE48_WAV, LONG96_WAV)
    reps = {c[0]: args.reps * (4 if c[1] in short else 1) for c in cases}
    times = {c[0]: [] for c in cases}
    rss = {c[0]: 0 for c in cases}
    cpu = {c[0]: [] for c in cases}

    # One untimed round fills the page cache, then the commands take turns.
    for c in cases:
        run_once(c[2], c[3])
    for r in range(max(reps.values())):
        for name, _, argv, output, _ in cases:
            if r < reps[name]:
                t, m, c = run_once(argv, output)
                times[name].append(t)
                cpu[name].append(c)
                rss[name] = max(rss[name], m)

    med = {name: statistics.median(ts) for name, ts in times.items()}
    print()
    print("%-36s %9s %17s %8s %8s %8s %9s %8s" %
          ("command", "median", "min-max ms", "MB/s in", "x sox", "x cat", "peak RSS", "CPU ms"))
    for name, inp, _, _, ref in cases:
        ts = times[name]
        mbps = os.path.getsize(inp) / MB / med[name]
        vs_sox = vs_cat = ""
        if ref:
            vs_sox = "%.2f" % (med[ref[0]] / med[name])  # throughput ratio
            vs_cat = "%.2f" % (med[name] / med[ref[1]])  # time multiple
        print("%-36s %7.1fms %7.1f-%7.1f %8.1f %8s %8s %6d KB %8.1f" %
              (name, med[name] * 1e3, min(ts) * 1e3, max(ts) * 1e3, mbps, vs_sox, vs_cat,
               rss[name], statistics.median(cpu[name]) * 1e3))
    print("x sox: throughput as a multiple of sox's; x cat: time as a multiple of cat's;")
    print("CPU ms: median user and system time of the command (and of GNU time around it)")

    checks = []

    def target(text, ok):
        checks.append(ok)
        print("  %-4s %s" % ("ok" if ok else "MISS", text))

    print("\ntargets (ratios from this run):")
    for name in ("quorix wav2dmx --mu-law --autoscale", "quorix wav2dmx --linear --autoscale"):
        sox, cat = next(c[4] for c in cases if c[0] == name)
        target("%s >= 3x %s (%.2f)" % (name, sox, med[sox] / med[name]), med[sox] / med[name] >= 3)
        target("%s <= 6x %s (%.2f)" % (name, cat, med[name] / med[cat]), med[name] / med[cat] <= 6)
    for name in ("quorix wav2dmx --mu-law", "quorix wav2dmx --linear"):
        sox = next(c[4][0] for c in cases if c[0] == name)
        target("%s >= 5x %s (%.2f)" % (name, sox, med[sox] / med[name]), med[sox] / med[name] >= 5)
    name = "quorix dmx2wav --16bit"
    target("%s >= 3x sox u-law->wav (%.2f)" % (name, med["sox u-law->wav"] / med[name]),
           med["sox u-law->wav"] / med[name] >= 3)
    for name in ("quorix wav2dmx voice", "quorix wav2dmx voice --autoscale"):
        target("%s no slower than sox (%.1f ms against %.1f ms)" %
               (name, med[name] * 1e3, med["sox voice->u-law"] * 1e3),
               med[name] <= med["sox voice->u-law"])
    ours = [c[0] for c in cases if c[0].startswith(("quorix wav2dmx", "quorix dmx2wav"))]
    worst = max(rss[n] for n in ours)
    target("peak RSS of every conversion <= %d KB (largest %d KB)" % (RSS_LIMIT_KB, worst),
           worst <= RSS_LIMIT_KB)
    voice, long, sox = ("quorix prepare voice48 (dmx)", "quorix prepare long96 (dmx)",
                        "sox voice48 -> 27200 Hz")
    target("%s no slower than %s (%.1f ms against %.1f ms)" %
           (voice, sox, med[voice] * 1e3, med[sox] * 1e3), med[voice] <= med[sox])
    target("%s < 3x %s (%.2f)" % (long, voice, med[long] / med[voice]), med[long] < 3 * med[voice])
    worst = max(rss[voice], rss[long])
    target("peak RSS of both preparations <= %d KB (largest %d KB)" % (PREPARE_RSS_LIMIT_KB, worst),
           worst <= PREPARE_RSS_LIMIT_KB)
    print("all targets met" if all(checks) else "%d target(s) missed" % checks.count(False))
    bench_info(q, args.reps)


if __name__ == "__main__":
    main()
