// The engine in WebAssembly, as the page and scripts use it: the converter's
// commands run over an in-memory folder, and the scripting interface
// `quorix` built on them.
import { toArguments, imageName, chipOrder } from './options.js';

// Bytes from what a caller may hand over: a File or Blob, an ArrayBuffer, a
// typed array.
export async function bytesOf(data) {
  if (data instanceof Uint8Array) return data;
  if (data instanceof ArrayBuffer) return new Uint8Array(data);
  if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  if (data && typeof data.arrayBuffer === 'function') return new Uint8Array(await data.arrayBuffer());
  throw new TypeError('bytes must be a File, Blob, ArrayBuffer or typed array');
}

// One instance of the WebAssembly module. A file that makes it trap (which
// must not happen, but a page must survive it) leaves it unusable: the
// next call then starts a fresh one.
export class Engine {
  static async start(factory) {
    const engine = new Engine();
    await engine.#load(factory);
    return engine;
  }

  #factory = null;
  #module = null;
  #sink = null;
  #runs = 0;
  #tables = null;

  async #load(factory) {
    this.#factory = factory;
    this.#module = await factory({
      print: (line) => this.#sink?.out.push(line),
      printErr: (line) => this.#sink?.err.push(line),
    });
    this.#tables ??= this.#call((m) => m._qx_tables()).facts;
  }

  // The machines, EPROMs, codes, encoders, limits, defaults and help.
  get tables() { return this.#tables; }

  // Runs `work(module, keep)` and turns a trap into an error, after which
  // the next call starts a fresh module. Memory handed to `keep` is freed
  // afterwards.
  async #guard(work) {
    if (!this.#module) await this.#load(this.#factory);
    const m = this.#module;
    const held = [];
    try {
      return work(m, (p) => held.push(p) && p);
    } catch (trap) {
      if (trap instanceof Error && trap.status !== undefined) throw trap;
      console.error(trap); // for a report of the fault
      this.#module = null;
      const error = new Error(`the engine stopped on this file (${trap.message || trap}); try another`);
      error.status = 1;
      throw error;
    } finally {
      if (this.#module) held.forEach((p) => m._free(p));
    }
  }

  // A result of the engine (facts, files, samples) copied out and freed.
  #call(make) {
    const m = this.#module;
    const r = make(m);
    try {
      const facts = JSON.parse(m.UTF8ToString(m._qx_facts(r)));
      const files = (facts.files || []).map((name, i) => ({
        name, bytes: m.HEAPU8.slice(m._qx_file(r, i), m._qx_file(r, i) + m._qx_file_size(r, i)),
      }));
      const at = m._qx_samples(r) >> 2;
      const samples = m.HEAPF32.slice(at, at + m._qx_sample_count(r));
      return { facts, files, samples };
    } finally {
      m._qx_free(r);
    }
  }

  #strings(m, keep, list) {
    const table = keep(m._malloc(4 * Math.max(1, list.length)));
    list.forEach((text, i) => { m.HEAPU32[(table >> 2) + i] = this.#string(m, keep, text); });
    return table;
  }

  #string(m, keep, text) {
    const size = m.lengthBytesUTF8(text) + 1;
    const p = keep(m._malloc(size));
    m.stringToUTF8(text, p, size);
    return p;
  }

  #bytes(m, keep, bytes) {
    const p = keep(m._malloc(Math.max(1, bytes.length)));
    m.HEAPU8.set(bytes, p);
    return p;
  }

  // prepare over the sample's bytes: `args` the converter's options, `name`
  // the sample's file name, `output` the image's. {facts, files, samples}.
  prepare(args, name, output, bytes) {
    return this.#guard((m, keep) => {
      const data = this.#bytes(m, keep, bytes);
      const argv = this.#strings(m, keep, args);
      const names = [this.#string(m, keep, name), this.#string(m, keep, output)];
      return this.#call(() => m._qx_prepare(args.length, argv, names[0], names[1], data, bytes.length));
    });
  }

  // A sound file's bytes as one channel at its own rate: channel 0 is the
  // average of all. {rate, samples}, or an error.
  readSound(bytes, channel = 0) {
    return this.#guard((m, keep) => {
      const r = this.#call(() => m._qx_read_sound(this.#bytes(m, keep, bytes), bytes.length, channel));
      if (r.facts.error) throw Object.assign(new Error(r.facts.error), { status: 2 });
      return { rate: r.facts.rate, samples: r.samples };
    });
  }

  // Runs the command `prepare`, `info` or `listen` with `args` in a fresh
  // folder holding `inputs` (name -> bytes). {status, out, err, files: Map
  // of the new files and of the inputs named in `rewritten`}.
  run(command, args, inputs, rewritten = []) {
    return this.#guard((m, keep) => {
      const folder = `/run${++this.#runs}`;
      const sink = { out: [], err: [] };
      this.#sink = sink;
      m.FS.mkdir(folder);
      m.FS.chdir(folder);
      try {
        for (const [name, bytes] of inputs) m.FS.writeFile(name, bytes);
        const argv = [command, ...args];
        const status = m._qx_run(argv.length, this.#strings(m, keep, argv));
        const files = new Map();
        for (const name of chipOrder(m.FS.readdir('.'))) {
          if (name === '.' || name === '..' || (inputs.has(name) && !rewritten.includes(name))) continue;
          // Emscripten's umask starts at 0777, so the converter's files
          // (made with 0666 less the umask) are unreadable until given a mode.
          m.FS.chmod(name, 0o644);
          files.set(name, m.FS.readFile(name));
        }
        return { status, out: sink.out, err: sink.err, files };
      } finally {
        this.#sink = null;
        m.FS.chdir('/');
        for (const name of m.FS.readdir(folder)) if (name !== '.' && name !== '..') m.FS.unlink(`${folder}/${name}`);
        m.FS.rmdir(folder);
      }
    });
  }
}

// The first line a command wrote on standard error, without the command's
// name: what the page shows as the error.
export function errorLine(result) {
  const line = result.err.find((l) => l.trim() !== '') || `stopped with exit status ${result.status}`;
  return line.replace(/^quorix [a-z]+: /, '');
}

function failure(result) {
  const error = new Error(errorLine(result));
  error.status = result.status;
  return error;
}

// The scripting interface (README, "The page from scripts"). `name` is the
// sample's or image's file name, as the converter would be given it.
export function scriptingInterface(enginePromise) {
  const ready = enginePromise.then(() => undefined);
  return {
    ready,
    async machines() {
      // Every machine of the table with its sounds; a one-voice machine
      // also with its code, clock, region and chip.
      const engine = await enginePromise;
      const voices = new Map(engine.tables.machines.map((m) => [m.name, m]));
      return engine.tables.roms.map((m) => ({ ...voices.get(m.name), ...m, sounds: [...m.sounds] }));
    },
    // {files: [{name, bytes}], report: [lines], status, error}, as
    // `quorix prepare [options] NAME IMAGE` would write and print them.
    // A sound of a whole ROM (sound, at, length, eprom-pinout, into) is
    // prepared by the command itself; `into` may be the ROM image's bytes.
    async prepare(bytes, options = {}, name = 'sample.wav') {
      const engine = await enginePromise;
      const input = await bytesOf(bytes);
      const inputs = new Map([[name, input]]);
      const opts = { ...options };
      if (opts.into && typeof opts.into !== 'string') {
        const rom = opts.into.name || 'rom.bin';
        inputs.set(rom, await bytesOf(opts.into));
        opts.into = rom;
      }
      const args = toArguments(opts);
      const r = await engine.prepare(args, name, imageName(name), input);
      if (!r.facts.in_rom) return { files: r.files, report: r.facts.report, status: r.facts.status, error: r.facts.error };
      const operands = opts.into ? [name] : [name, imageName(name)];
      const run = await engine.run('prepare', [...args, '--', ...operands], inputs, opts.into ? [opts.into] : []);
      return {
        files: [...run.files].map(([file, data]) => ({ name: file, bytes: data })),
        report: run.out,
        status: run.status,
        error: run.status === 0 ? '' : errorLine(run),
      };
    },
    // The object of `quorix info --json [options] NAME`.
    async info(bytes, name = 'image.bin', options = {}) {
      const engine = await enginePromise;
      const r = await engine.run('info', ['--json', ...toArguments(options), '--', name],
        new Map([[name, await bytesOf(bytes)]]));
      if (r.out.length === 0) throw failure(r);
      return JSON.parse(r.out[0]);
    },
    // What the card plays from an image: {rate, samples}, as `quorix listen
    // --float [options] IMAGE OUT.wav` writes it.
    async listen(bytes, options = {}) {
      const engine = await enginePromise;
      const r = await engine.run('listen', ['--float', ...toArguments(options), '--', 'image.bin', 'listen.wav'],
        new Map([['image.bin', await bytesOf(bytes)]]));
      if (r.status !== 0) throw failure(r);
      return engine.readSound(r.files.get('listen.wav'));
    },
  };
}
