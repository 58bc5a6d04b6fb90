// The page's WebAssembly module in Node.js beside the native 3ds2bmf, in one
// run, on the same files:
//   node bench/wasm_beside_native.mjs --page build/web --3ds2bmf build/release/3ds2bmf \
//        [--reps 5] FILE.3ds...
// For each file it times, taking turns, `3ds2bmf FILE` (the BMF), `3ds2bmf
// --gltf FILE` (the BMF and the .glb) and the module's convert() then toGltf()
// of the same bytes (what the page's worker does on a drop), and prints the
// medians and the module's time as a multiple of the native --gltf's.  The
// module is loaded and run once on each file before the timed runs (the
// first run, which compiles and grows the module, is printed apart).  Wall
// times: run it on a quiet machine.
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {pathToFileURL} from 'node:url';
import {parseArgs} from 'node:util';

const {values: args, positionals: files} = parseArgs({
  options: {
    page: {type: 'string', default: 'build/web'},
    '3ds2bmf': {type: 'string', default: 'build/release/3ds2bmf'},
    reps: {type: 'string', default: '5'},
  },
  allowPositionals: true,
});
const reps = Number(args.reps);
if (files.length === 0 || !(reps >= 1)) {
  console.error('usage: node bench/wasm_beside_native.mjs --page DIR --3ds2bmf PATH [--reps N] FILE.3ds...');
  process.exit(2);
}

const {loadTorvik} = await import(pathToFileURL(path.resolve(args.page, 'torvik.js')).href);
const torvik = await loadTorvik({wasmBinary: readFileSync(path.join(args.page, 'torvik32c.wasm'))});
const scratch = mkdtempSync(path.join(tmpdir(), 'wasm-bench-'));

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const timed = (work) => {
  const started = performance.now();
  work();
  return performance.now() - started;
};

function native(file, options) {
  const output = path.join(scratch, 'out.bmf');
  return timed(() => execFileSync(args['3ds2bmf'], ['-q', ...options, '-o', output, file]));
}

function module(bytes, name) {
  return timed(() => {
    const {bmf, report} = torvik.convert(bytes, {name});
    if (!bmf) throw new Error(`${name}: ${report.error}`);
    const {glb} = torvik.toGltf(bytes, {name});
    if (!glb) throw new Error(`${name}: the module wrote no .glb`);
  });
}

console.log('| file | 3ds2bmf ms | 3ds2bmf --gltf ms | module convert + toGltf ms (first run) | module / native --gltf |');
console.log('| --- | ---: | ---: | ---: | ---: |');
try {
  for (const file of files) {
    const bytes = readFileSync(file);
    const name = path.basename(file);
    const first = module(bytes, name);
    const times = {plain: [], gltf: [], module: []};
    for (let i = 0; i < reps; i++) {
      times.plain.push(native(file, []));
      times.gltf.push(native(file, ['--gltf']));
      times.module.push(module(bytes, name));
    }
    const [plain, gltf, wasm] = [median(times.plain), median(times.gltf), median(times.module)];
    console.log(`| ${name} | ${plain.toFixed(0)} | ${gltf.toFixed(0)} | ${wasm.toFixed(0)} (${first.toFixed(0)}) | ` +
                `${(wasm / gltf).toFixed(2)} |`);
  }
} finally {
  rmSync(scratch, {recursive: true, force: true});
}
