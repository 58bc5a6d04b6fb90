// The converter's JavaScript API, over the WebAssembly module.
//
//   const torvik = await loadTorvik();            // in a worker, or node given {wasmBinary}
//   const {bmf, report, warnings, images} = torvik.convert(bytes, {
//     name: 'house/house.3ds',                    // where the model lies among the files
//     files: [{path: 'house/house_maps/ROOF.JPG', bytes}],
//     asAuthored: false, keyframer: false, keepFileWinding: false, smoothingGroups: true,
//     orientOutward: false, fileNormals: false, nameEncoding: 'windows-1252',
//     maxPlacedFaces: 10000000, onStage: (stage) => {}});
//   const {blocks, report, warnings} = torvik.readBmf(bmfBytes, {name, files, nameEncoding});
//   const {glb} = torvik.toGltf(bytes, {name, files, nameEncoding, orientOutward});  // as authored
//
// The model is a 3DS, glTF 2.0 (.glb, or .gltf with its buffers and images
// among the files) or Wavefront OBJ file (with its .mtl among the files),
// told by its content as 3ds2bmf tells it.  A glTF or OBJ reads the files it
// names from the model's folder and below only; the options only a 3DS file
// takes (asAuthored, keyframer, keepFileWinding, smoothingGroups,
// nameEncoding) fail it with 3ds2bmf's words, and fileNormals (keep the
// normals it stores) fails a 3DS file.  The images a glTF stores inside it
// come back as images: [{name (its texture name), fileName (the file
// 3ds2bmf writes beside the BMF), bytes}].
//
// Names that are not UTF-8 (3DS files store them in their author's Windows
// code page) are decoded as Windows-1252, or in the encoding nameEncoding
// names (any label the browser's TextDecoder knows: 'shift_jis', 'gbk'...),
// in the report, the blocks and the glTF alike, as 3ds2bmf --name-encoding
// does.  Errors of the API's own (an option this build lacks, an encoding
// the browser doesn't know, a model or file that is not bytes, dropped files
// that can't all be laid out or lie too deep) are TorvikErrors.
//
// The model and the files are laid out in the module's in-memory file system
// at their relative paths, so the texture resolver finds textures by its own
// rules (case, <model>_maps and other subfolders, 8.3 names, other
// extensions) exactly as 3ds2bmf does on disk.  Nothing leaves the page.
import createTorvikModule from './torvik32c.mjs';

// The options of 3ds2bmf the page offers, by their names here and there.
// --as-authored is --keyframer --keep-file-winding --smoothing-groups.
export const OPTIONS = [
  {key: 'asAuthored', flag: '--as-authored', feature: 'keyframer'},
  {key: 'keyframer', flag: '--keyframer', feature: 'keyframer'},
  {key: 'keepFileWinding', flag: '--keep-file-winding'},
  {key: 'smoothingGroups', flag: '--smoothing-groups'},
  {key: 'orientOutward', flag: '--orient-outward'},
  {key: 'fileNormals', flag: '--file-normals'},
];

// The options only a 3DS file takes: a glTF or OBJ file refuses them.
export const THREE_DS_ONLY = ['asAuthored', 'keyframer', 'keepFileWinding', 'smoothingGroups', 'nameEncoding'];

export class TorvikError extends Error {
  constructor(message) {
    super(message);
    this.name = 'TorvikError';
  }
}

// The parts of a relative path that stay inside the folder it is relative
// to: "." , ".." and empty parts are dropped.
export function safeParts(path) {
  return String(path).split(/[\\/]+/).filter((part) => part !== '' && part !== '.' && part !== '..');
}

// How deep and how long a path laid out in the module's folder may be: far
// past any real folder of textures, and small enough that laying a path out
// (each folder found from the root by the module's file system) stays quick.
export const MAX_PATH_FOLDERS = 64;
export const MAX_PATH_LENGTH = 4096;

// Whether a path is shallow and short enough to lay out.
export function fitsLayout(path) {
  const text = String(path);
  return text.length <= MAX_PATH_LENGTH && safeParts(text).length <= MAX_PATH_FOLDERS + 1;
}

// The parts of a path (as safeParts), refused with a TorvikError naming the
// path when it is too deep or too long to lay out.
function boundedParts(path, what) {
  const text = String(path);
  const parts = safeParts(text);
  if (parts.length > MAX_PATH_FOLDERS + 1) {
    throw new TorvikError(`${what} "${text.slice(0, 60)}..." lies ${parts.length - 1} folders deep: ` +
                          `at most ${MAX_PATH_FOLDERS} can be laid out`);
  }
  if (text.length > MAX_PATH_LENGTH) {
    throw new TorvikError(`${what} "${text.slice(0, 60)}..." is ${text.length} characters long: ` +
                          `at most ${MAX_PATH_LENGTH} can be laid out`);
  }
  return parts;
}

// The bytes of a file given as a Uint8Array (a Node.js Buffer too), another
// typed array or DataView (its bytes), or an ArrayBuffer; anything else (a
// number, a string, an array of numbers) is a TorvikError, never taken as a
// size or copied element by element.
export function bytesOf(value, what) {
  if (value instanceof Uint8Array) return value;
  if (ArrayBuffer.isView(value)) return new Uint8Array(value.buffer, value.byteOffset, value.byteLength);
  if (value instanceof ArrayBuffer ||
      (typeof SharedArrayBuffer !== 'undefined' && value instanceof SharedArrayBuffer)) {
    return new Uint8Array(value);
  }
  const word = Array.isArray(value) ? 'array'
      : typeof value === 'object' && value !== null ? value.constructor?.name || 'object' : typeof value;
  const kind = value === null || value === undefined ? String(value)
      : `${/^[aeiou]/i.test(word) ? 'an' : 'a'} ${word}`;
  throw new TorvikError(`${what} must be bytes (a Uint8Array or an ArrayBuffer), not ${kind}`);
}

export async function loadTorvik(moduleOptions = {}) {
  return new Torvik(await createTorvikModule(moduleOptions));
}

class Torvik {
  constructor(module) {
    this.module = module;
    this.features = module.features();
    this.jobs = 0;
  }

  // Converts the bytes of a .3ds, .glb, .gltf or .obj file; returns {bmf,
  // report, warnings, images}, where bmf is null and report.error says why
  // when the file does not convert.
  convert(bytes, options = {}) {
    for (const option of OPTIONS) {
      if (option.feature && options[option.key] && !this.features[option.feature])
        throw new TorvikError(`${option.flag} is not available in this build`);
    }
    const nameEncoding = checkedEncoding(options.nameEncoding);
    return this.#inFolder(bytes, options, 'model.3ds', (path, files) => {
      const authored = !!options.asAuthored;
      const used = {
        smoothingGroups: authored || !!options.smoothingGroups,
        keepFileWinding: authored || !!options.keepFileWinding,
        keyframer: authored || !!options.keyframer,
        orientOutward: !!options.orientOutward,
        fileNormals: !!options.fileNormals,
      };
      // The most faces (and vertices) the keyframer may draw: past it the
      // conversion fails saying so (3ds2bmf --max-placed-faces).
      if (options.maxPlacedFaces !== undefined) {
        const limit = Number(options.maxPlacedFaces);
        if (!Number.isInteger(limit) || limit < 1)
          throw new TorvikError(`maxPlacedFaces must be a whole number of at least 1, not ${options.maxPlacedFaces}`);
        used.maxPlacedFaces = limit;
      }
      const given = {nameEncoding, nameEncodingGiven: nameEncoding !== undefined, files};
      const {bmf, warnings, images, ...report} =
          this.module.convert(path, {...used, ...given}, options.onStage || null);
      return {bmf, report: {...report, path, options: used}, warnings, images: images || []};
    });
  }

  // Takes the bytes of a .bmf file apart: {blocks, report, warnings}, the
  // report holding the layout's broken rules and where the textures are.
  readBmf(bytes, options = {}) {
    const nameEncoding = checkedEncoding(options.nameEncoding);
    return this.#inFolder(bytes, options, 'model.bmf', (path) => {
      const {blocks, warnings, ...report} = this.module.readBmf(path, {nameEncoding});
      return {blocks: blocks || [], report: {...report, path}, warnings: warnings || []};
    });
  }

  // The scene as authored, as binary glTF (what 3ds2bmf --gltf writes):
  // {glb, report, warnings}, glb null and report.error saying why when the
  // file can't be read.  Of the options of convert() only orientOutward
  // changes it (3ds2bmf --gltf --orient-outward).  Of a glTF or OBJ file, the
  // plain copy of its scene, its images embedded.
  toGltf(bytes, options = {}) {
    if (!this.features.gltf) throw new TorvikError('glTF export is not available in this build');
    const nameEncoding = checkedEncoding(options.nameEncoding);
    return this.#inFolder(bytes, options, 'model.3ds', (path, files) => {
      const {glb, warnings, ...report} =
          this.module.toGltf(path, {nameEncoding, nameEncodingGiven: nameEncoding !== undefined,
                                    orientOutward: !!options.orientOutward, files});
      return {glb, report: {...report, path}, warnings};
    });
  }

  // Lays the files out in a folder of their own, runs `work` on the model's
  // path relative to it and the files in the model's folder and below
  // ({path relative to that folder: bytes}, what a glTF or OBJ reads), and
  // removes the folder again.  Files that can't all
  // be laid out (one at "a", another at "a/b") are a TorvikError naming both.
  #inFolder(bytes, options, defaultName, work) {
    const FS = this.module.FS;
    const root = `/job${++this.jobs}`;
    FS.mkdir(root);
    try {
      const model = bytesOf(bytes, 'the model');
      const files = options.files || [];
      if (!Array.isArray(files)) throw new TorvikError('files must be an array of {path, bytes}');
      const layout = new Layout(FS, root);
      const laid = [];
      for (const file of files) {
        const path = file?.path;
        const parts = boundedParts(path, 'the file');
        const fileBytes = bytesOf(file?.bytes, `the file "${path}"`);
        layout.write(parts, fileBytes);
        laid.push({parts, bytes: fileBytes});
      }
      const parts = boundedParts(options.name || defaultName, 'the model');
      if (parts.length === 0) parts.push(defaultName);
      layout.write(parts, model);
      FS.chdir(root);
      return work(parts.join('/'), filesBeside(parts, laid));
    } finally {
      FS.chdir('/');
      removeTree(FS, root);
    }
  }
}

// The files laid out in the folder of the model at `modelParts` and below,
// by their paths relative to it.
function filesBeside(modelParts, laid) {
  const folder = modelParts.slice(0, -1);
  const beside = {};
  for (const {parts, bytes} of laid) {
    if (parts.length > folder.length && folder.every((part, i) => parts[i] === part))
      beside[parts.slice(folder.length).join('/')] = bytes;
  }
  return beside;
}

// The label as given, once the browser's TextDecoder is known to read it.
// Names are stored one byte at a time: UTF-16, whose characters are two
// bytes wide, can't read them.
function checkedEncoding(label) {
  if (label === undefined || label === null) return undefined;
  let decoder;
  try {
    decoder = new TextDecoder(String(label));
  } catch {
    throw new TorvikError(`nameEncoding: this browser knows no encoding '${label}'`);
  }
  if (decoder.encoding.startsWith('utf-16')) {
    throw new TorvikError(`nameEncoding '${label}': its characters are 2 bytes wide, and names ` +
                          'are stored one byte at a time in a code page such as windows-1252, ' +
                          'shift_jis or utf-8');
  }
  return String(label);
}

// Files laid out in the module's file system under `root`, remembering
// which given path made each folder, so that a clash names both files.
class Layout {
  constructor(FS, root) {
    this.FS = FS;
    this.root = root;
    this.files = new Set();    // the relative path of each file written
    this.folders = new Map();  // the relative path of each folder made: the first file in it
  }

  write(parts, bytes) {
    const path = parts.join('/');
    let folder = '';
    for (let i = 0; i + 1 < parts.length; i++) {
      folder = i === 0 ? parts[0] : `${folder}/${parts[i]}`;
      if (this.files.has(folder)) {
        throw new TorvikError(`the files "${folder}" and "${path}" can't both be laid out: ` +
                              `"${folder}" is a file`);
      }
      if (!this.folders.has(folder)) {
        this.#place(path, () => this.FS.mkdir(`${this.root}/${folder}`));
        this.folders.set(folder, path);
      }
    }
    if (this.folders.has(path)) {
      throw new TorvikError(`the files "${path}" and "${this.folders.get(path)}" can't both be ` +
                            `laid out: "${path}" is a folder`);
    }
    this.#place(path, () => this.FS.writeFile(`${this.root}/${path}`, bytes));
    this.files.add(path);
  }

  // Runs `step` of laying out `path`; the file system's own error (a bare
  // "FS error") becomes one that names the file.
  #place(path, step) {
    try {
      step();
    } catch (error) {
      const code = error && error.errno !== undefined ? ` (errno ${error.errno})` : '';
      throw new TorvikError(`the file "${path}" can't be laid out: ${error.message || error}${code}`);
    }
  }
}

function removeTree(FS, path) {
  if (FS.isDir(FS.stat(path).mode)) {
    for (const entry of FS.readdir(path)) {
      if (entry !== '.' && entry !== '..') removeTree(FS, `${path}/${entry}`);
    }
    FS.rmdir(path);
  } else {
    FS.unlink(path);
  }
}
