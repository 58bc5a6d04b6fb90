// torvik32c: the 3DS-to-BMF converter built to WebAssembly, for browsers and
// Node.js; it reads glTF 2.0 and Wavefront OBJ models too.  The converter's JavaScript API (torvik.js, the one the web page
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

// The bytes of a .3ds, .glb, .gltf or .obj file to BMF: {bmf, report,
// warnings, images}; bmf is null and report.error says why when the file
// does not convert.  A .gltf's buffers and images and an .obj's .mtl and
// textures come in options.files.
export async function convert(bytes, options = {}) {
  return (await converter()).convert(bytes, options);
}

// The bytes of a .bmf file taken apart: {blocks, report, warnings}.
export async function readBmf(bytes, options = {}) {
  return (await converter()).readBmf(bytes, options);
}

// The scene of a .3ds file as authored (of a glTF or OBJ, the plain copy of
// its scene), as binary glTF: {glb, report, warnings}.
export async function toGltf(bytes, options = {}) {
  return (await converter()).toGltf(bytes, options);
}
