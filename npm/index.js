// torvik32c: the 3DS-to-BMF converter built to WebAssembly, for browsers and
// Node.js.  The converter's JavaScript API (torvik.js, the one the web page
// uses) over the module, which finds its .wasm beside this file: fetched in
// a browser, read from disk in Node.js.
import {loadTorvik as loadWithModuleOptions, OPTIONS, TorvikError} from './torvik.js';

export {OPTIONS, TorvikError};

const inNode = typeof process === 'object' && typeof process.versions?.node === 'string' &&
    typeof window === 'undefined' && typeof importScripts === 'undefined';

// A converter of its own: {convert, readBmf, toGltf}.  `moduleOptions` go to
// the Emscripten module (wasmBinary, locateFile, ...).
export async function loadTorvik(moduleOptions = {}) {
  if (inNode && !moduleOptions.wasmBinary) {
    const {readFile} = await import('node:fs/promises');
    const wasmBinary = await readFile(new URL('./torvik32c.wasm', import.meta.url));
    moduleOptions = {...moduleOptions, wasmBinary};
  }
  return loadWithModuleOptions(moduleOptions);
}

let shared = null;
function converter() {
  shared ??= loadTorvik().catch((error) => {
    shared = null;
    throw error;
  });
  return shared;
}

// The functions of one converter shared by the callers of this module.

// The bytes of a .3ds file to BMF: {bmf, report, warnings}; bmf is null and
// report.error says why when the file does not convert.
export async function convert(bytes, options = {}) {
  return (await converter()).convert(bytes, options);
}

// The bytes of a .bmf file taken apart: {blocks, report, warnings}.
export async function readBmf(bytes, options = {}) {
  return (await converter()).readBmf(bytes, options);
}

// The scene of a .3ds file as authored, as binary glTF: {glb, report, warnings}.
export async function toGltf(bytes, options = {}) {
  return (await converter()).toGltf(bytes, options);
}
