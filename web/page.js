// The page itself: the form of prepare's options, built from the engine's
// tables, and what the engine says and makes, drawn, played and offered for
// download. The engine never sees the network; neither does the page.
import { toArguments, imageName, isWarning } from './options.js';
import { drawWave } from './draw.js';
import { Engine, scriptingInterface, bytesOf, errorLine } from './engine.js';

const $ = (id) => document.getElementById(id);
const enginePromise = Engine.start(createQuorixEngine); // eslint-disable-line no-undef
window.quorix = scriptingInterface(enginePromise);

const fitColour = '#0b5cad';
const cutColour = '#b9b9c2';

// prepare's options as the page offers them: the converter's option names,
// and the table each one's choices or limits come from.
const optionControls = [
  { name: 'rate', limits: 'rate', placeholder: (m) => `${m.rate} (the machine's)` },
  { name: 'eprom', choices: 'eproms' },
  { name: 'size', limits: 'size', placeholder: (m) => `${m.region} (the machine's)` },
  { name: 'chips', choices: 'eproms' },
  { name: 'channel', limits: 'channel', placeholder: () => 'the average of all' },
  { name: 'gain', limits: 'gain', placeholder: () => 'normalize' },
  { name: 'fade', limits: 'fade', value: 'fade' },
  { name: 'code', choices: 'codes' },
  { name: 'encoder', choices: 'encoders', value: 'encoder' },
  { name: 'trim', flag: true },
  { name: 'no-cut', flag: true },
  { name: 'no-pad', flag: true },
];

let tables = null;
let sample = null; // {name, bytes}
let image = null; // the File last dropped to be looked into
let played = { card: null, original: null }; // {rate, samples}
let audio = null;
let source = null;
let busy = Promise.resolve();
const downloads = [];

const nextFrame = () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));

function element(tag, attributes = {}, text = '') {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
  if (text) e.textContent = text;
  return e;
}

// The machine chosen: one voice (its clock and region known), or a
// machine of whole ROMs and several sounds.
function machine() {
  return tables.machines.find((m) => m.name === $('machine').value);
}

function romMachine() {
  return tables.roms.find((m) => m.name === $('machine').value);
}

function buildForm() {
  const help = new Map(tables.options.map((o) => [o.name, o.help.replace(/\n/g, ' ')]));
  const standard = tables.machines.find((m) => m.default).name;
  for (const m of tables.roms) {
    const option = element('option', { value: m.name }, `${m.name}: ${m.description}`);
    option.selected = m.name === standard;
    $('machine').append(option);
  }
  $('opt-sound-hint').textContent = help.get('sound') ?? '';
  $('opt-into-hint').textContent = help.get('into') ?? '';
  $('prepare-help').textContent = tables.help;
  $('image-machine').append(element('option', { value: '' }, 'the default'),
    ...tables.machines.map((m) => element('option', { value: m.name }, `${m.name}: ${m.description}`)));
  $('image-machine-hint').textContent = tables.inspect_options.find((o) => o.name === 'machine').help.replace(/\n/g, ' ');
  const fields = $('option-fields');
  const checks = element('div', { class: 'checks' });
  for (const c of optionControls) {
    const id = `opt-${c.name}`;
    const text = help.get(c.name) ?? '';
    if (c.flag) {
      const label = element('label', { title: text });
      const box = element('input', { type: 'checkbox', id, name: c.name });
      label.append(box, ` --${c.name}`);
      checks.append(label);
      continue;
    }
    fields.append(element('label', { for: id }, `--${c.name}`));
    let control;
    if (c.choices) {
      control = element('select', { id, name: c.name });
      if (!c.value) control.append(element('option', { value: '' }, "the machine's"));
      for (const choice of tables[c.choices]) {
        const value = choice.name ?? choice;
        const option = element('option', { value }, choice.bytes ? `${value} (${choice.bytes} bytes)` : value);
        option.selected = value === tables.defaults[c.value];
        control.append(option);
      }
    } else {
      // Text, not type=number: the converter's parser judges what is typed,
      // so a wrong value gets the converter's own message.
      control = element('input', { type: 'text', inputmode: 'decimal', id, name: c.name, autocomplete: 'off' });
      if (c.value) control.value = tables.defaults[c.value];
      if (c.limits) {
        control.dataset.min = tables.limits[c.limits].min;
        control.dataset.max = tables.limits[c.limits].max;
      }
    }
    control.setAttribute('aria-describedby', `${id}-hint`);
    fields.append(control, element('p', { class: 'hint', id: `${id}-hint` }, text));
  }
  fields.append(checks);
  showMachine();
}

function showMachine() {
  const m = machine();
  const rom = romMachine();
  // A machine of whole ROMs: its sounds, and a dump to write one into.
  for (const e of document.querySelectorAll('.rom')) e.hidden = Boolean(m);
  $('opt-sound').replaceChildren(element('option', { value: '' }, 'the default'),
    ...rom.sounds.map((s) => element('option', { value: s }, s)));
  if (!m) {
    $('machine-description').textContent = `${rom.description}: sounds ${rom.sounds.join(', ') || 'by range'}`;
    $('opt-into').value = '';
    return;
  }
  $('machine-description').textContent =
    `${m.description}: ${m.code} codes at ${m.rate} Hz, regions of ${m.region} bytes` +
    (m.chip ? ` over chips of ${m.chip} bytes` : '');
  for (const c of optionControls) {
    if (c.placeholder) $(`opt-${c.name}`).placeholder = c.placeholder(m);
  }
}

// The form as an options object with the converter's option names.
function formOptions() {
  const options = { machine: $('machine').value };
  if (!machine()) {
    options.sound = $('opt-sound').value;
    options.into = $('opt-into').files[0] ?? '';
  }
  for (const c of optionControls) {
    const control = $(`opt-${c.name}`);
    options[c.name] = c.flag ? control.checked : control.value.trim();
  }
  return options;
}

// The options of info and listen: the machine the image is for, or the
// converter's default (a factory chip's own card).
function readingOptions() {
  return { machine: $('image-machine').value };
}

function showLines(list, lines) {
  list.replaceChildren(...lines.map((line) => element('li', isWarning(line) ? { class: 'warn' } : {}, line)));
}

function clearDownloads() {
  downloads.splice(0).forEach((url) => URL.revokeObjectURL(url));
  $('downloads').replaceChildren();
}

function offer(name, bytes, type = 'application/octet-stream') {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  downloads.push(url);
  const link = element('a', { href: url, download: name, class: 'download' }, `Download ${name}`);
  $('downloads').append(link);
}

// One task at a time: a second drop waits for the first to finish.
function task(work) {
  busy = busy.then(work, work);
  return busy;
}

function working(text) {
  $('progress').hidden = !text;
  $('prepare-state').textContent = text || '';
}

async function prepareSample() {
  if (!sample) return;
  const engine = await enginePromise;
  const megabytes = (sample.bytes.length / 1e6).toFixed(1);
  working(`Preparing ${sample.name} (${megabytes} MB)…`);
  $('prepare-error').textContent = '';
  await nextFrame();
  played = { card: null, original: null };
  try {
    const options = formOptions();
    const output = imageName(sample.name);
    if (!machine()) {
      await prepareInRom(options);
      return;
    }
    const r = await engine.prepare(toArguments(options), sample.name, output, sample.bytes);
    showLines($('report'), r.facts.report);
    clearDownloads();
    if (r.facts.status !== 0) {
      $('prepare-error').textContent = r.facts.error;
    } else {
      played.card = { rate: r.facts.rate, samples: r.samples, kept: r.facts.kept, trimmed: r.facts.trimmed };
      if (r.files.length === 1) {
        offer(r.files[0].name, r.files[0].bytes);
      } else {
        // Several chips: one zip, stored, the files in address order.
        const zip = fflate.zipSync(Object.fromEntries(r.files.map((f) => [f.name, f.bytes])), { level: 0 }); // eslint-disable-line no-undef
        offer(output.replace(/\.bin$/, '.zip'), zip, 'application/zip');
      }
    }
    working(`Reading ${sample.name} to draw it…`);
    await nextFrame();
    played.original = await engine.readSound(sample.bytes, Number(options.channel) || 0).catch(() => null);
  } catch (error) {
    $('prepare-error').textContent = error.message;
  } finally {
    drawSample();
    working('');
    $('play').disabled = !played.card;
    $('stop').disabled = !played.card && !played.original;
    $('play-original').disabled = !played.original;
  }
}

// A sound of a machine of whole ROMs, fresh or into a dropped dump: the
// command itself prepares it (quorix.prepare); what it plays is heard
// through info and listen, below.
async function prepareInRom(options) {
  const r = await window.quorix.prepare(sample.bytes, options, sample.name);
  showLines($('report'), r.report);
  clearDownloads();
  $('prepare-error').textContent = r.error;
  for (const f of r.files) offer(f.name, f.bytes);
  played.original = await (await enginePromise).readSound(sample.bytes, Number(options.channel) || 0)
    .catch(() => null);
}

function drawSample() {
  const { card, original } = played;
  const empty = new Float32Array(0);
  // The part of the sample in the region: after the leading silence --trim
  // drops, as long as the sound the image holds.
  const from = card ? card.trimmed : 0;
  const to = card && original ? from + Math.round((card.kept / card.rate) * original.rate) : Infinity;
  drawWave($('input-wave'), original ? original.samples : empty,
    (i) => (i >= from && i < to ? fitColour : cutColour));
  drawWave($('card-wave'), card ? card.samples : empty);
}

function play(sound, button) {
  stop();
  try {
    audio ??= new AudioContext();
    const buffer = audio.createBuffer(1, sound.samples.length, sound.rate);
    buffer.copyToChannel(sound.samples, 0);
    source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    source.start();
    // What was played, for whoever checks (a script, the browser test).
    button.dataset.rate = buffer.sampleRate;
    button.dataset.frames = buffer.length;
    audio.resume();
  } catch (error) {
    const where = button.closest('section').querySelector('.error');
    where.textContent = `cannot play at ${sound.rate} Hz in this browser: ${error.message}`;
  }
}

function stop() {
  if (source) source.stop();
  source = null;
}

async function takeSample(file) {
  if (!file) return;
  sample = { name: file.name, bytes: await bytesOf(file) };
  $('prepare').disabled = false;
  await task(prepareSample);
}

async function inspectImage(file) {
  if (!file) return;
  image = file;
  const engine = await enginePromise;
  const name = file.name;
  const bytes = await bytesOf(file);
  const options = toArguments(readingOptions());
  $('info-error').textContent = '';
  $('regions').replaceChildren();
  $('facts').replaceChildren();
  drawWave($('image-wave'), new Float32Array(0));
  try {
    const inputs = new Map([[name, bytes]]);
    const text = await engine.run('info', [...options, '--', name], inputs);
    const json = await engine.run('info', ['--json', ...options, '--', name], inputs);
    showLines($('facts'), text.out);
    if (text.status !== 0) {
      $('info-error').textContent = errorLine(text);
      return;
    }
    const facts = JSON.parse(json.out[0]);
    if (facts.kind === 'sound') {
      const sound = await engine.readSound(bytes);
      drawWave($('image-wave'), sound.samples);
      addPlay('Play', sound);
      return;
    }
    // The image region by region, as the card plays each hit.
    const listen = window.quorix.listen;
    const sounds = [];
    for (let region = 1; region <= facts.regions.length; region++) {
      sounds.push(await listen(bytes, { ...readingOptions(), region }));
    }
    const all = new Float32Array(sounds.reduce((n, s) => n + s.samples.length, 0));
    const marks = [];
    let at = 0;
    sounds.forEach((s, i) => {
      if (i > 0) marks.push(at);
      all.set(s.samples, at);
      at += s.samples.length;
      addPlay(`Play region ${i + 1}`, s);
    });
    drawWave($('image-wave'), all, () => fitColour, marks);
    if (sounds.length > 1) addPlay('Play all', { rate: sounds[0].rate, samples: all });
  } catch (error) {
    $('info-error').textContent = error.message;
  }
}

function addPlay(text, sound) {
  const button = element('button', { type: 'button', class: 'quiet' }, text);
  button.addEventListener('click', () => play(sound, button));
  $('regions').append(button);
}

function dropZone(zone, input, take) {
  input.addEventListener('change', () => take(input.files[0]));
  zone.addEventListener('dragover', (e) => {
    e.preventDefault();
    zone.classList.add('over');
  });
  zone.addEventListener('dragleave', () => zone.classList.remove('over'));
  zone.addEventListener('drop', (e) => {
    e.preventDefault();
    zone.classList.remove('over');
    take(e.dataTransfer.files[0]);
  });
}

async function start() {
  try {
    tables = (await enginePromise).tables;
  } catch (error) {
    $('prepare-error').textContent = `the engine cannot start in this browser: ${error.message}`;
    return;
  }
  buildForm();
  $('machine').addEventListener('change', showMachine);
  // A changed option prepares the sample again, as a new run would.
  for (const fields of [$('machine-fields'), $('option-fields')]) {
    fields.addEventListener('change', () => { if (sample) task(prepareSample); });
  }
  $('prepare-form').addEventListener('submit', (e) => {
    e.preventDefault();
    task(prepareSample);
  });
  $('play').addEventListener('click', () => play(played.card, $('play')));
  $('play-original').addEventListener('click', () => play(played.original, $('play-original')));
  $('stop').addEventListener('click', stop);
  dropZone($('sample-drop'), $('sample'), (file) => takeSample(file));
  dropZone($('image-drop'), $('image'), (file) => task(() => inspectImage(file)));
  $('image-machine').addEventListener('change', () => { if (image) task(() => inspectImage(image)); });
  // Dropped anywhere else, a file would replace the page.
  window.addEventListener('dragover', (e) => e.preventDefault());
  window.addEventListener('drop', (e) => e.preventDefault());
  document.body.dataset.ready = 'yes';
}

start();
