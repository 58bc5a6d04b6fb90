// The page's work, off its thread.  The page posts {kind: 'init', module}
// first (the compiled module), then requests {id, kind, ...}, and gets
// {id, type: 'stage', stage} as each stage starts, then {id, type: 'done',
// result, heap} or {id, type: 'failed', message}.  Files come as File
// objects and are read here, so the page never holds their bytes.
//
//   about: what the module can do ({features, options}).
//   convert {file, name, companions, options}: the BMF (as a Blob), the
//     report, the images a glTF stores inside it ({name, fileName, file}),
//     and what the model's zip would hold.
//   inspect {file, name, companions}: a dropped BMF's report.
//   scene {file, name, companions, options}: the scene as authored, as glTF
//     (its bytes for the view, transferred, and a Blob for the download);
//     of the options only orientOutward changes it.
//   blocks {bmf, textures, companions, images}: a BMF's blocks and their
//     decoded textures (the files found, or the images stored inside the
//     model), for drawing the BMF as a host does.
//   zip {items}: a stored zip of the items ({name, file}), the same name
//     with other bytes left out with a warning.
import {blockTables} from './bmf_layout.js';
import {bmfFileName, zipContents} from './downloads.js';
import {decodeTexture} from './textures.js';
import {fitsLayout, loadTorvik, OPTIONS, THREE_DS_ONLY} from './torvik.js';
import {storedZip} from './zip.js';

let ready = null;

// The companions' bytes, read once per worker: several models dropped from
// one folder share them.
const companionBytes = new Map();

async function bytesOf(file) {
  return new Uint8Array(await file.arrayBuffer());
}

// Files too deep or too long to lay out (deep in a dropped folder, far from
// any model) are left out: no texture rule reaches them.
async function companionFiles(companions = []) {
  return Promise.all(companions.filter(({path}) => fitsLayout(path)).map(async ({path, file}) => {
    const key = `${path}\n${file.size}\n${file.lastModified}`;
    if (!companionBytes.has(key)) companionBytes.set(key, await bytesOf(file));
    return {path, bytes: companionBytes.get(key)};
  }));
}

// What the model's zip holds: the BMF, the images stored inside the model
// under the names 3ds2bmf writes them beside it, and each texture found,
// under its stored name, then the file of every other map (as 3ds2bmf
// --copy-textures: one whose stored name an earlier file of another path
// took, under its file's own name).
async function zipPlan(name, bmf, textures, companions, maps = [], images = []) {
  const byPath = new Map(companions.map((entry) => [entry.path, entry.file]));
  const items = [{name: bmfFileName(name), file: bmf},
                 ...images.map((image) => ({name: image.fileName, file: image.file}))];
  const added = [];
  const add = (found) => {
    if (!found.path || !byPath.has(found.path)) return;
    if (added.some((other) => other.path === found.path && other.name === found.name)) return;
    const clash = added.some((other) => other.name === found.name && other.path !== found.path);
    items.push(clash ? {name: found.path.split('/').pop(), file: byPath.get(found.path)}
                     : {stored: found.name, file: byPath.get(found.path)});
    added.push(found);
  };
  for (const texture of textures) add(texture);
  for (const map of maps) if (map.kind !== 'texture') add(map);
  const {entries, warnings} = await zipContents(items);
  return {items: entries, warnings};
}

// The encoding the request's names are read in (options.nameEncoding, as
// convert takes it); none: Windows-1252.
const nameEncodingOf = (request) => (request.options && request.options.nameEncoding) || undefined;

const work = {
  async convert(torvik, request, stage) {
    stage('reading');
    const bytes = await bytesOf(request.file);
    const files = await companionFiles(request.companions);
    const {bmf, report, warnings, images: stored} =
        torvik.convert(bytes, {...request.options, name: request.name, files, onStage: stage});
    if (!bmf) return {result: {report, warnings}};
    const blob = new Blob([bmf], {type: 'application/octet-stream'});
    const images = stored.map(({name, fileName, bytes: image}) => ({name, fileName, file: new Blob([image])}));
    const zip = await zipPlan(request.name, blob, report.textures, request.companions, report.maps, images);
    return {result: {report, warnings, bmf: blob, zip, images}};
  },

  async inspect(torvik, request, stage) {
    stage('reading');
    const bytes = await bytesOf(request.file);
    const files = await companionFiles(request.companions);
    const {blocks, report, warnings} = torvik.readBmf(bytes, {name: request.name, files,
                                                              nameEncoding: nameEncodingOf(request)});
    if (!report.ok) return {result: {report, warnings}};
    report.blocks = blocks.length;
    report.vertices = blocks.reduce((sum, block) => sum + block.vertices.length / 8, 0);
    report.triangles = blocks.reduce((sum, block) => sum + block.triangles.length / 3, 0);
    const zip = await zipPlan(request.name, request.file, report.textures, request.companions);
    return {result: {report, warnings, bmf: request.file, zip}};
  },

  async scene(torvik, request, stage) {
    stage('scene');
    const bytes = await bytesOf(request.file);
    const files = await companionFiles(request.companions);
    const {glb, report, warnings} = torvik.toGltf(bytes, {name: request.name, files,
                                                          nameEncoding: nameEncodingOf(request),
                                                          orientOutward: !!request.options?.orientOutward});
    if (!glb) return {result: {report, warnings}};
    const buffer = glb.buffer.byteLength === glb.byteLength ? glb.buffer : glb.slice().buffer;
    return {result: {report, warnings, glb: buffer, glbBlob: new Blob([glb], {type: 'model/gltf-binary'})},
            transfer: [buffer]};
  },

  async blocks(torvik, request, stage) {
    stage('blocks');
    const blocks = blockTables(await bytesOf(request.bmf), nameEncodingOf(request));
    const byPath = new Map((request.companions || []).map((entry) => [entry.path, entry.file]));
    const textures = [];
    const problems = [];
    // The images stored inside the model first: the textures report them
    // where 3ds2bmf writes them, which is no file dropped.
    const storedInside = new Map((request.images || []).map((image) => [image.name, image]));
    for (const texture of request.textures) {
      const inside = storedInside.get(texture.name);
      const [path, file] = inside ? [inside.fileName, inside.file] : [texture.path, byPath.get(texture.path)];
      if (!path || !file) continue;
      try {
        textures.push({name: texture.name, ...await decodeTexture(path, file)});
      } catch {
        problems.push(`texture ${JSON.stringify(texture.name)}: the browser can't decode ${path}`);
      }
    }
    const transfer = [];
    for (const block of blocks) transfer.push(block.vertices.buffer, block.triangles.buffer);
    for (const texture of textures) transfer.push(texture.bitmap || texture.data.buffer);
    return {result: {blocks, textures, problems}, transfer};
  },

  async zip(torvik, request, stage) {
    stage('zip');
    const {entries, warnings} = await zipContents(request.items);
    const named = await Promise.all(entries.map(async (entry) => ({name: entry.name, bytes: await bytesOf(entry.file)})));
    return {result: {zip: storedZip(named), warnings}};
  },
};

function load(module) {
  return loadTorvik({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
  });
}

self.onmessage = async ({data: request}) => {
  if (request.kind === 'init') {
    ready = load(request.module);
    return;
  }
  const stage = (name) => postMessage({id: request.id, type: 'stage', stage: name});
  try {
    const torvik = await ready;
    if (request.kind === 'about') {
      postMessage({id: request.id, type: 'done', result: {features: torvik.features, options: OPTIONS,
                                                          threeDsOnly: THREE_DS_ONLY}});
      return;
    }
    const {result, transfer = []} = await work[request.kind](torvik, request, stage);
    const heap = torvik.module.HEAP8 ? torvik.module.HEAP8.byteLength : 0;
    postMessage({id: request.id, type: 'done', result, heap}, transfer);
  } catch (error) {
    postMessage({id: request.id, type: 'failed', message: String(error && error.message || error)});
  }
};
