#!/usr/bin/python3
"""Times the browser page (build/web/quorix.html) in headless Chromium:
from opening the page to quorix.ready, and quorix.prepare of a 5-second
24-bit 48 kHz stereo voice against `quorix prepare` of the same file on
this machine. Targets: ready within 1 s, prepare within twice the native
converter's time. prepare reads only as much of the input as the region
holds (0.15 s for the DMX), so quorix.info of the same file, which reads it
all, is timed against `quorix info --json` as well. Medians of several runs, taken in turn with the native
ones, so that a machine busy with other work slows both alike.

  scripts/bench_web.py [--reps N] [--quorix PATH] [--page PATH]
"""
import argparse
import base64
import os
import shutil
import statistics
import subprocess
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH = os.path.join(ROOT, "build", "bench")
VOICE48_WAV = os.path.join(BENCH, "voice48.wav")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reps", type=int, default=7)
    parser.add_argument("--quorix", default=os.path.join(ROOT, "build", "bin", "quorix"))
    parser.add_argument("--page", default=os.path.join(ROOT, "build", "web", "quorix.html"))
    a = parser.parse_args()
    os.makedirs(os.path.join(BENCH, "out"), exist_ok=True)
    if not os.path.exists(VOICE48_WAV):
        # The voice of scripts/bench.py: 24-bit stereo from an editor.
        subprocess.run(["sox", "-n", "-r", "48000", "-b", "24", "-c", "2", VOICE48_WAV, "synth", "5",
                        "pinknoise", "sine", "220", "fade", "q", "0", "5", "4.9", "vol", "0.9"], check=True)
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for arg in ("--headless=new", "--no-sandbox"):
        options.add_argument(arg)
    browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    browser.set_script_timeout(120)
    voice = base64.b64encode(open(VOICE48_WAV, "rb").read()).decode()
    ready, page, native, page_info, native_info = [], [], [], [], []
    try:
        for _ in range(a.reps):
            browser.get("file://" + a.page)
            # performance.now() counts from the start of the navigation.
            ready.append(browser.execute_async_script(
                "const done = arguments[0]; quorix.ready.then(() => done(performance.now()));") / 1000)
            page.append(browser.execute_async_script(
                """const done = arguments[1];
                const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
                const t0 = performance.now();
                quorix.prepare(bytes, {}, 'voice48.wav').then((r) =>
                  done(r.status === 0 ? performance.now() - t0 : -1));""", voice) / 1000)
            page_info.append(browser.execute_async_script(
                """const done = arguments[1];
                const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
                const t0 = performance.now();
                quorix.info(bytes, 'voice48.wav').then(() => done(performance.now() - t0));""", voice) / 1000)
            t0 = time.perf_counter()
            subprocess.run([a.quorix, "prepare", VOICE48_WAV, os.path.join(BENCH, "out", "voice48.bin")],
                           check=True, stdout=subprocess.DEVNULL)
            native.append(time.perf_counter() - t0)
            t0 = time.perf_counter()
            subprocess.run([a.quorix, "info", "--json", VOICE48_WAV], check=True, stdout=subprocess.DEVNULL)
            native_info.append(time.perf_counter() - t0)
    finally:
        browser.quit()
    if min(page) < 0:
        sys.exit("the page could not prepare the voice")

    def line(what, times):
        return f"{what:<44} median {statistics.median(times) * 1000:7.1f} ms  ({min(times) * 1000:.1f} to {max(times) * 1000:.1f})"

    print(f"The browser page, {a.reps} runs ({os.path.getsize(a.page) / 1e6:.2f} MB page)")
    print(line("opening the page to quorix.ready", ready))
    print(line("quorix.prepare, 5 s 24-bit 48 kHz stereo", page))
    print(line("quorix prepare (native, whole process)", native))
    print(line("quorix.info, the same file read whole", page_info))
    print(line("quorix info --json (native, whole process)", native_info))
    ratio = statistics.median(page) / statistics.median(native)
    print(f"ready: {'within' if statistics.median(ready) <= 1 else 'MISSES'} the 1 s target; "
          f"prepare: {ratio:.2f}x native, {'within' if ratio <= 2 else 'MISSES'} the 2x target")


if __name__ == "__main__":
    main()
