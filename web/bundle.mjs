// Puts the engine (emcc's output: its loader with the WebAssembly inside),
// fflate and the page's modules into the HTML template:
//   node bundle.mjs TEMPLATE ENGINE.html OUT FFLATE MODULE.js...
// emcc runs its own preprocessor over a page given to it as its shell,
// which takes lines starting with "#" (a CSS selector, a private field) for
// its directives; so the page is put together here, after emcc.
// The modules are written to be read (and tested under node) one by one; in
// the page they share one inline module script, so their import lines go
// and their exports become plain declarations. fflate's browser build
// defines the global fflate.
import { readFileSync, writeFileSync } from 'node:fs';
import { basename } from 'node:path';

const [template, engine, out, fflate, ...modules] = process.argv.slice(2);
const code = modules.map((file) => {
  const lines = readFileSync(file, 'utf8').split('\n')
    .filter((line) => !line.startsWith('import '))
    .map((line) => line.replace(/^export /, ''));
  return `// ---- ${basename(file)}\n${lines.join('\n')}`;
}).join('\n');
const page = readFileSync(template, 'utf8')
  .replace('@ENGINE@', () => readFileSync(engine, 'utf8'))
  .replace('@FFLATE@', () => readFileSync(fflate, 'utf8'))
  .replace('@SCRIPTS@', () => code);
writeFileSync(out, page);
