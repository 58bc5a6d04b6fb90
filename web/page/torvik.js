// The converter's JavaScript API, over the WebAssembly module.
//
//   const torvik = await loadTorvik();            // in a worker, or node given {wasmBinary}
//   const {bmf, report, warnings} = torvik.convert(bytes, {
//     name: 'house/house.3ds',                    // where the model lies among the files
//     files: [{path: 'house/house_maps/ROOF.JPG', bytes}],
//     asAuthored: false, keyframer: false, keepFileWinding: false, smoothingGroups: true,
//     orientOutward: false, maxPlacedFaces: 10000000, onStage: (stage) => {}});
//   const {blocks, report, warnings} = torvik.readBmf(bmfBytes, {name, files});
//   const {glb} = torvik.toGltf(bytes, {name, files});  // the scene as authored
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
];

export class TorvikError extends Error {}

// The parts of a relative path that stay inside the folder it is relative
// to: "." , ".." and empty parts are dropped.
export function safeParts(path) {
  return String(path).split(/[\\/]+/).filter((part) => part !== '' && part !== '.' && part !== '..');
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

  // Converts the bytes of a .3ds file; returns {bmf, report, warnings}, where
  // bmf is null and report.error says why when the file does not convert.
  convert(bytes, options = {}) {
    for (const option of OPTIONS) {
      if (option.feature && options[option.key] && !this.features[option.feature])
        throw new TorvikError(`${option.flag} is not available in this build`);
    }
    return this.#inFolder(bytes, options, 'model.3ds', (path) => {
      const authored = !!options.asAuthored;
      const used = {
        smoothingGroups: authored || !!options.smoothingGroups,
        keepFileWinding: authored || !!options.keepFileWinding,
        keyframer: authored || !!options.keyframer,
        orientOutward: !!options.orientOutward,
      };
      // The most faces (and vertices) the keyframer may draw: past it the
      // conversion fails saying so (3ds2bmf --max-placed-faces).
      if (options.maxPlacedFaces !== undefined) {
        const limit = Number(options.maxPlacedFaces);
        if (!Number.isInteger(limit) || limit < 1)
          throw new TorvikError(`maxPlacedFaces must be a whole number of at least 1, not ${options.maxPlacedFaces}`);
        used.maxPlacedFaces = limit;
      }
      const {bmf, warnings, ...report} = this.module.convert(path, used, options.onStage || null);
      return {bmf, report: {...report, path, options: used}, warnings};
    });
  }

  // Takes the bytes of a .bmf file apart: {blocks, report, warnings}, the
  // report holding the layout's broken rules and where the textures are.
  readBmf(bytes, options = {}) {
    return this.#inFolder(bytes, options, 'model.bmf', (path) => {
      const {blocks, warnings, ...report} = this.module.readBmf(path);
      return {blocks: blocks || [], report: {...report, path}, warnings: warnings || []};
    });
  }

  // The scene as authored, as binary glTF (what 3ds2bmf --gltf writes):
  // {glb, report, warnings}, glb null and report.error saying why when the
  // file can't be read.  The options of convert() don't change it.
  toGltf(bytes, options = {}) {
    if (!this.features.gltf) throw new TorvikError('glTF export is not available in this build');
    return this.#inFolder(bytes, options, 'model.3ds', (path) => {
      const {glb, warnings, ...report} = this.module.toGltf(path);
      return {glb, report: {...report, path}, warnings};
    });
  }

  // Lays the files out in a folder of their own, runs `work` on the model's
  // path relative to it, and removes the folder again.
  #inFolder(bytes, options, defaultName, work) {
    const FS = this.module.FS;
    const root = `/job${++this.jobs}`;
    FS.mkdir(root);
    try {
      for (const file of options.files || []) writeFile(FS, root, safeParts(file.path), file.bytes);
      const parts = safeParts(options.name || defaultName);
      if (parts.length === 0) parts.push(defaultName);
      writeFile(FS, root, parts, bytes);
      FS.chdir(root);
      return work(parts.join('/'));
    } finally {
      FS.chdir('/');
      removeTree(FS, root);
    }
  }
}

function writeFile(FS, root, parts, bytes) {
  let folder = root;
  for (const part of parts.slice(0, -1)) {
    folder += '/' + part;
    if (!FS.analyzePath(folder).exists) FS.mkdir(folder);
  }
  const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
  FS.writeFile(`${folder}/${parts[parts.length - 1]}`, data);
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
