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
    this.#tables ??= JSON.parse(this.#module.UTF8ToString(this.#module._qx_tables()));
  }

  // The machines, EPROMs, codes, encoders, limits, defaults and help texts.
  get tables() { return this.#tables; }

  // Runs `command` with `args` in a fresh folder holding `inputs` (name ->
  // bytes); then, with the folder still there, `after(folder)` may read
  // more. Returns {status, out, err, files: Map of the new files}.
  async run(command, args, inputs, after) {
    if (!this.#module) await this.#load(this.#factory);
    const m = this.#module;
    const folder = `/run${++this.#runs}`;
    const sink = { out: [], err: [] };
    this.#sink = sink;
    const pointers = [];
    try {
      m.FS.mkdir(folder);
      m.FS.chdir(folder);
      for (const [name, bytes] of inputs) m.FS.writeFile(name, bytes);
      const argv = [command, ...args];
      const table = m._malloc(4 * argv.length);
      pointers.push(table);
      argv.forEach((arg, i) => {
        const size = m.lengthBytesUTF8(arg) + 1;
        const p = m._malloc(size);
        pointers.push(p);
        m.stringToUTF8(arg, p, size);
        m.HEAPU32[(table >> 2) + i] = p;
      });
      const status = m._qx_run(argv.length, table);
      const files = new Map();
      for (const name of chipOrder(m.FS.readdir('.'))) {
        if (name === '.' || name === '..' || inputs.has(name)) continue;
        files.set(name, m.FS.readFile(name));
      }
      const extra = after ? after(folder) : undefined;
      return { status, out: sink.out, err: sink.err, files, extra };
    } catch (trap) {
      // A trap or an abort: this instance is done for.
      this.#module = null;
      const error = new Error(`the engine stopped on this file (${trap.message || trap}); try another`);
      error.status = 1;
      throw error;
    } finally {
      this.#sink = null;
      if (this.#module) {
        pointers.forEach((p) => m._free(p));
        m.FS.chdir('/');
        for (const name of m.FS.readdir(folder)) if (name !== '.' && name !== '..') m.FS.unlink(`${folder}/${name}`);
        m.FS.rmdir(folder);
      }
    }
  }

  // A sound file of the folder (while `run`'s `after` runs) as one channel
  // at its own rate: channel 0 is the average of all.
  readSound(path, channel = 0) {
    const m = this.#module;
    const cells = m._malloc(8);
    try {
      const frames = m.ccall('qx_read_sound', 'number', ['string', 'number', 'number', 'number'],
        [path, channel, cells, cells + 4]);
      if (frames < 0) throw new Error(`cannot read ${path}`);
      const at = m.HEAPU32[cells >> 2];
      const samples = new Float32Array(m.HEAPF32.subarray(at >> 2, (at >> 2) + frames));
      m._qx_free(at);
      return { rate: m.HEAP32[(cells + 4) >> 2], samples };
    } finally {
      m._free(cells);
    }
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
      const engine = await enginePromise;
      return engine.tables.machines.map((m) => ({ ...m }));
    },
    // {files: [{name, bytes}], report: [lines], status, error}, as
    // `quorix prepare [options] NAME IMAGE` would write and print them.
    async prepare(bytes, options = {}, name = 'sample.wav') {
      const engine = await enginePromise;
      const input = await bytesOf(bytes);
      const r = await engine.run('prepare', [...toArguments(options), '--', name, imageName(name)],
        new Map([[name, input]]));
      return {
        files: [...r.files].map(([file, data]) => ({ name: file, bytes: data })),
        report: r.out,
        status: r.status,
        error: r.status === 0 ? '' : errorLine(r),
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
        new Map([['image.bin', await bytesOf(bytes)]]),
        (folder) => engine.readSound(`${folder}/listen.wav`));
      if (r.status !== 0) throw failure(r);
      return r.extra;
    },
  };
}
