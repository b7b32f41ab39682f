#!/usr/bin/python3
"""The browser page in headless Chromium against the native converter.

  test_page.py PAGE QUORIX SCREENSHOT

Opens PAGE (build/web/quorix.html) from file:// and, for sound files that
sox and ffmpeg write here, prepares each through the page's controls and
through quorix.prepare and compares the images and report lines with
`QUORIX prepare`'s; compares quorix.info with `quorix info --json` and the
page's facts with `quorix info`, quorix.listen with `quorix listen --float`;
checks what Play hands to Web Audio, that a broken file and a wrong option
show the converter's error and leave the page working, and that the page
asked for nothing over the network. Writes the README's screenshot.
Exit status 77 (skipped) where Chromium, its driver or Selenium is missing,
1 in CI (CI=true).
"""
import base64, io, json, os, shutil, struct, subprocess, sys, tempfile, time, zipfile

# Skipped where the browser cannot be had; in CI (CI=true) that fails.
SKIPPED = 1 if os.environ.get('CI') == 'true' else 77
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    print('SKIPPED: python3-selenium is not installed')
    sys.exit(SKIPPED)

page, quorix, screenshot = (os.path.abspath(a) for a in sys.argv[1:4])
if not os.path.exists(page):
    sys.exit(f'{page} is not built: make web')
chromium = shutil.which('chromium')
driver_path = shutil.which('chromedriver')
if not chromium or not driver_path:
    print('SKIPPED: chromium and chromium-driver are not installed')
    sys.exit(SKIPPED)

work = tempfile.mkdtemp(prefix='quorix-page-')
downloads = os.path.join(work, 'downloads')
os.mkdir(downloads)
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print('FAIL:', what)


def run(*args):
    return subprocess.run(args, cwd=work, capture_output=True, text=True)


def converter_args(options):
    return [w for k, v in options.items() for w in ([f'--{k}'] if v is True else [f'--{k}', str(v)])]


def digits12(value):
    """JSON with its fractions to 12 significant digits: the page's C library
    (musl) and Linux's (glibc) may round log10 and the like one bit apart,
    as the Windows converter's comparison allows too."""
    if isinstance(value, float):
        return float('%.12g' % value)
    if isinstance(value, dict):
        return {k: digits12(v) for k, v in value.items()}
    return [digits12(v) for v in value] if isinstance(value, list) else value


def wav_frames(path):
    """(rate, frames, data) of a WAV file's fmt and data chunks."""
    data = open(path, 'rb').read()
    at, rate, block = 12, 0, 1
    while at < len(data):
        tag, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        if tag == b'fmt ':
            rate, block = struct.unpack('<I', data[at + 12:at + 16])[0], struct.unpack('<H', data[at + 20:at + 22])[0]
        if tag == b'data':
            return rate, size // block, data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    raise ValueError(path)


# One table: the sample, how it is made, the options.
synth = ['synth', '0.6', 'pluck', 'C2', 'fade', '0', '0.6', '0.5']
short = ['synth', '0.1', 'pluck', 'C3']  # shorter than the region: padded
rows = [
    ('kick.wav', ['ffmpeg', '-v', 'error', '-f', 'lavfi', '-i', 'sine=f=70:d=0.4,aformat=channel_layouts=stereo',
                  '-ar', '48000', '-c:a', 'pcm_s24le', 'kick.wav'], {}),
    ('hat.wav', ['sox', '-n', '-r', '44100', '-e', 'floating-point', '-b', '32', 'hat.wav'] + synth,
     {'machine': 'dmx-snare', 'gain': '-3'}),
    ('tom.flac', ['sox', '-n', '-r', '44100', '-b', '16', 'tom.flac'] + synth + ['pad', '0.05'],
     {'trim': True, 'fade': '5'}),
    ('clap.aiff', ['sox', '-n', '-r', '22050', 'clap.aiff'] + short, {'machine': 'sds', 'code': 'linear', 'no-pad': True}),
    ('ride.ogg', ['ffmpeg', '-v', 'error', '-f', 'lavfi', '-i', 'anoisesrc=d=1.5:a=0.3,aformat=channel_layouts=stereo',
                  '-c:a', 'libvorbis', 'ride.ogg'], {'machine': 'dmx-cymbal', 'channel': '2'}),
    ('snare.wav', ['sox', '-n', '-r', '8000', '-e', 'u-law', 'snare.wav'] + synth, {'machine': 'linndrum'}),
    ('hit.opus', ['ffmpeg', '-v', 'error', '-f', 'lavfi', '-i', 'sine=f=200:d=0.3', '-c:a', 'libopus', 'hit.opus'],
     {'encoder': 'curve', 'rate': '26000.5'}),
]
for name, make, _ in rows:
    made = run(*make)
    assert made.returncode == 0, made.stderr
# The first row is what the table says it is: 24-bit WAVE_FORMAT_EXTENSIBLE.
kick = open(os.path.join(work, 'kick.wav'), 'rb').read(36)
assert kick[20:22] == b'\xfe\xff' and kick[34] == 24, 'kick.wav is no 24-bit extensible WAV'
open(os.path.join(work, 'broken.wav'), 'wb').write(b'RIFF\x10\x00\x00\x00WAVEfmt junk that is no header')

options = webdriver.ChromeOptions()
options.binary_location = chromium
for a in ['--headless=new', '--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--window-size=1280,720']:
    options.add_argument(a)
options.add_experimental_option('prefs', {'download.default_directory': downloads,
                                          'download.prompt_for_download': False})
options.set_capability('goog:loggingPrefs', {'performance': 'ALL', 'browser': 'ALL'})
browser = webdriver.Chrome(service=Service(driver_path), options=options)
browser.set_script_timeout(60)
browser.execute_cdp_cmd('Browser.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': downloads})
url = 'file://' + page
wait = WebDriverWait(browser, 30)

JS = '''const b64 = (u8) => { let s = ''; for (let i = 0; i < u8.length; i += 32768)
  s += String.fromCharCode.apply(null, u8.subarray(i, i + 32768)); return btoa(s); };
const bytes = (t) => Uint8Array.from(atob(t), (c) => c.charCodeAt(0));
const done = arguments[arguments.length - 1];
const fail = (e) => done({error: e.message, status: e.status});
'''


def call(script, *args):
    return browser.execute_async_script(JS + script, *args)


def open_page():
    browser.get(url)
    wait.until(lambda b: b.execute_script('return document.body.dataset.ready === "yes"'))


def b64file(name):
    return base64.b64encode(open(os.path.join(work, name), 'rb').read()).decode()


def native_prepare(name, opts):
    out = os.path.splitext(name)[0] + '.bin'
    r = run(quorix, 'prepare', *converter_args(opts), name, out)
    files = sorted((f for f in os.listdir(work) if f.startswith(out[:-4]) and f.endswith('.bin')),
                   key=lambda f: (len(f), f))
    return r, {f: open(os.path.join(work, f), 'rb').read() for f in files}


def prepare_by_controls(name, opts):
    """Fills the form, picks the file, and takes the download(s)."""
    open_page()
    if 'machine' in opts:
        Select(browser.find_element(By.ID, 'machine')).select_by_value(opts['machine'])
    for key, value in opts.items():
        if key == 'machine':
            continue
        field = browser.find_element(By.ID, f'opt-{key}')
        if key == 'into':
            field.send_keys(os.path.join(work, value))
        elif value is True:
            field.click()
        elif field.tag_name == 'select':
            Select(field).select_by_value(value)
        else:
            field.clear()
            field.send_keys(value)
    # The last field's change arrives as it loses the focus, before the file.
    browser.execute_script('document.activeElement.blur()')
    for f in os.listdir(downloads):
        os.remove(os.path.join(downloads, f))
    browser.find_element(By.ID, 'sample').send_keys(os.path.join(work, name))
    wait.until(lambda b: (b.find_elements(By.CSS_SELECTOR, '#report li') or b.find_element(By.ID, 'prepare-error').text)
               and not b.find_element(By.ID, 'prepare-state').text)
    report = [li.text for li in browser.find_elements(By.CSS_SELECTOR, '#report li')]
    error = browser.find_element(By.ID, 'prepare-error').text
    links = browser.find_elements(By.CSS_SELECTOR, 'a.download')
    images = {}
    for link in links:
        link.click()
        target = os.path.join(downloads, link.get_attribute('download'))
        wait.until(lambda b: os.path.exists(target) and not any(f.endswith('.crdownload') for f in os.listdir(downloads)))
        data = open(target, 'rb').read()
        if target.endswith('.zip'):
            with zipfile.ZipFile(io.BytesIO(data)) as z:
                images.update({n: z.read(n) for n in z.namelist()})
        else:
            images[os.path.basename(target)] = data
    return report, error, images


t0 = time.time()
open_page()
for name, _, opts in rows:
    native, expected = native_prepare(name, opts)
    check(native.returncode == 0 and expected, f'{name}: the native converter failed: {native.stderr}')
    r = call('quorix.prepare(bytes(arguments[0]), arguments[1], arguments[2]).then((r) => done({status: r.status,'
             ' report: r.report, files: r.files.map((f) => [f.name, b64(f.bytes)])}), fail);', b64file(name), opts, name)
    got = {n: base64.b64decode(b) for n, b in r.get('files', [])}
    check(got == expected, f'{name}: quorix.prepare made other files than the converter {sorted(got)} {sorted(expected)}')
    check(r.get('report') == native.stdout.splitlines(), f'{name}: quorix.prepare reported {r.get("report")}')
    report, error, images = prepare_by_controls(name, opts)
    check(images == expected, f'{name}: the page\'s download differs from the converter\'s image ({sorted(images)})')
    check(report == native.stdout.splitlines() and not error, f'{name}: the page reported {report} {error}')

# A sound into a whole ROM: fresh, then into a dump (the image rewritten).
native = run(quorix, 'prepare', '--machine', 'tr707', '--sound', 'sd2', 'tom.flac', 'rom.bin')
rom = open(os.path.join(work, 'rom.bin'), 'rb').read()
r = call('quorix.prepare(bytes(arguments[0]), {machine: "tr707", sound: "sd2"}, "tom.flac").then((r) =>'
         ' done([r.status, r.report, r.files.map((f) => b64(f.bytes))]), fail);', b64file('tom.flac'))
check(r == [0, native.stdout.replace('rom.bin', 'tom.bin').splitlines(), [base64.b64encode(rom).decode()]],
      f'a sound into a fresh TR-707 ROM differs from the converter\'s: {str(r)[:300]}')
native = run(quorix, 'prepare', '--machine', 'tr707', '--sound', 'bd1', '--into', 'rom.bin', 'kick.wav')
r = call('quorix.prepare(bytes(arguments[0]), {machine: "tr707", sound: "bd1", into: new File([bytes(arguments[1])],'
         ' "rom.bin")}, "kick.wav").then((r) => done([r.status, r.report, r.files.map((f) => [f.name, b64(f.bytes)])]),'
         ' fail);', b64file('kick.wav'), base64.b64encode(rom).decode())
check(r == [0, native.stdout.splitlines(), [['rom.bin', b64file('rom.bin')]]],
      f'a sound into a dropped TR-707 dump differs from the converter\'s: {str(r)[:300]}')

# Through the controls: the page first, then the converter rewrites the dump.
open(os.path.join(work, 'ic34.bin'), 'wb').write(rom)
report, error, images = prepare_by_controls('snare.wav', {'machine': 'tr707', 'sound': 'midtom', 'into': 'ic34.bin'})
native = run(quorix, 'prepare', '--machine', 'tr707', '--sound', 'midtom', '--into', 'ic34.bin', 'snare.wav')
check(report == native.stdout.splitlines() and images == {'ic34.bin': open(os.path.join(work, 'ic34.bin'), 'rb').read()},
      f'the page wrote another sound into the dump than the converter: {report} {error} {sorted(images)}')

# Play: what the card plays, at its clock, as long as the converter's preview.
prepare_by_controls('kick.wav', {})
run(quorix, 'prepare', '--preview', 'preview.wav', 'kick.wav', 'kick.bin')
rate, frames, _ = wav_frames(os.path.join(work, 'preview.wav'))
for button, want in (('play', (rate, frames)), ('play-original', wav_frames(os.path.join(work, 'kick.wav'))[:2])):
    browser.find_element(By.ID, button).click()
    played = browser.execute_script(f'const d = document.getElementById("{button}").dataset; return [d.rate, d.frames];')
    check(played == [str(w) for w in want], f'{button} built a buffer of {played}, not {want}')

# info and listen on images and sounds, against the converter.
for name, opts in (('kick.bin', {}), ('ride-2.bin', {'machine': 'dmx-cymbal'}), ('hat.wav', {'machine': 'dmx-snare'}),
                   ('broken.wav', {})):
    native = run(quorix, 'info', '--json', *converter_args(opts), name)
    r = call('quorix.info(bytes(arguments[0]), arguments[1], arguments[2]).then(done, fail);', b64file(name), name, opts)
    check(digits12(r) == digits12(json.loads(native.stdout)), f'{name}: quorix.info gave {r}')
# A ROM dump of four voices: the cymbal's chips in address order.
open(os.path.join(work, 'dump.bin'), 'wb').write(b''.join(open(os.path.join(work, f'ride-{i}.bin'), 'rb').read()
                                                        for i in range(1, 5)))
for name, opts in (('kick.bin', {}), ('dump.bin', {'region': 2}), ('dump.bin', {'machine': 'dmx-cymbal'})):
    run(quorix, 'listen', '--float', *converter_args(opts), name, 'listen.wav')
    rate, frames, data = wav_frames(os.path.join(work, 'listen.wav'))
    r = call('quorix.listen(bytes(arguments[0]), arguments[1]).then((r) => done([r.rate,'
             ' b64(new Uint8Array(r.samples.buffer))]), fail);', b64file(name), opts)
    check(r == [rate, base64.b64encode(data).decode()], f'{name}: quorix.listen differs from quorix listen --float')
open_page()
browser.find_element(By.ID, 'image').send_keys(os.path.join(work, 'dump.bin'))
wait.until(lambda b: b.find_elements(By.CSS_SELECTOR, '#regions button'))
facts = [li.text for li in browser.find_elements(By.CSS_SELECTOR, '#facts li')]
check(facts == [l.strip() for l in run(quorix, 'info', 'dump.bin').stdout.splitlines()],
      f'the page\'s facts of dump.bin are not quorix info\'s: {facts}')
check(len(browser.find_elements(By.CSS_SELECTOR, '#regions button')) == 5, 'no Play for each of the dump\'s four regions')

# A broken file, then a wrong option: the converter's error on one line, and
# the page prepares the next file as before.
for name, opts in (('broken.wav', {}), ('kick.wav', {'rate': '500'})):
    native = run(quorix, 'prepare', *converter_args(opts), name, 'x.bin')
    report, error, images = prepare_by_controls(name, opts)
    check(error == native.stderr.strip().removeprefix('quorix prepare: ') and not images,
          f'{name} {opts}: the page said "{error}", the converter "{native.stderr.strip()}"')
    r = call('quorix.prepare(bytes(arguments[0]), arguments[1], arguments[2]).then(done, fail);', b64file(name), opts, name)
    check(r.get('status') == native.returncode, f'{name} {opts}: status {r.get("status")}, not {native.returncode}')
    for key in opts:  # the owner puts the option right
        browser.find_element(By.ID, f'opt-{key}').clear()
    browser.find_element(By.ID, 'sample').send_keys(os.path.join(work, 'tom.flac'))
    wait.until(lambda b: b.find_elements(By.CSS_SELECTOR, 'a.download'))

# The README's screenshot: a sample cut to fit, and an image looked into.
prepare_by_controls('tom.flac', {})
browser.find_element(By.ID, 'image').send_keys(os.path.join(work, 'tom.bin'))
wait.until(lambda b: b.find_elements(By.CSS_SELECTOR, '#regions button'))
browser.set_window_size(1280, 1100)
browser.save_screenshot(screenshot)

# Nothing asked over the network: the page, its downloads, nothing else; and
# nothing the Content-Security-Policy had to refuse.
for entry in browser.get_log('performance'):
    message = json.loads(entry['message'])['message']
    if message['method'] == 'Network.requestWillBeSent':
        asked = message['params']['request']['url']
        check(asked == url or asked.startswith('blob:'), f'the page asked for {asked[:100]}')
for entry in browser.get_log('browser'):
    check('Content Security Policy' not in entry['message'], f'refused by the policy: {entry["message"][:200]}')
browser.quit()
shutil.rmtree(work)
print(f'{len(rows)} samples, {len(failures)} failures, {time.time() - t0:.1f} s')
sys.exit(1 if failures else 0)
