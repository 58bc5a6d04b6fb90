// The glTF and OBJ models the front ends' tests convert: a binary glTF with
// its images stored inside (3ds2bmf --gltf of the textured crate sample), a
// .gltf whose buffer and image lie beside it (the image in a subfolder), and
// an OBJ with its .mtl and a texture, each glTF passed by the Khronos
// validator (scripts/validate-gltf.js).
//
//   const {glb, gltf, obj, files} = writeImportModels(folder, {threeDs2bmf, samples, scratch});
//
// `scratch` is a folder of the caller's where the crate's .glb is made.
//
// glb, gltf and obj are the models' paths; files[model] lists the files that
// go with each, relative to the folder.
import {execFileSync, spawnSync} from 'node:child_process';
import {copyFileSync, cpSync, mkdirSync, writeFileSync} from 'node:fs';
import path from 'node:path';

const source = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');

// A unit quad in the z = 0 plane with its uvs, two triangles, in one
// buffer: positions, uvs, then 16-bit indices.
function quadBuffer() {
  const positions = new Float32Array([0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0]);
  const uvs = new Float32Array([0, 1, 1, 1, 1, 0, 0, 0]);
  const indices = new Uint16Array([0, 1, 2, 0, 2, 3]);
  return Buffer.concat([Buffer.from(positions.buffer), Buffer.from(uvs.buffer),
                        Buffer.from(indices.buffer)]);
}

function quadGltf(bufferUri, bufferLength, imageUri) {
  return {
    asset: {version: '2.0', generator: 'torvik32c tests'},
    scene: 0,
    scenes: [{nodes: [0]}],
    nodes: [{mesh: 0, name: 'Quad', translation: [0.5, 0, 0]}],
    meshes: [{primitives: [{attributes: {POSITION: 0, TEXCOORD_0: 1}, indices: 2, material: 0}]}],
    materials: [{name: 'Brass', pbrMetallicRoughness: {baseColorTexture: {index: 0},
                                                      metallicFactor: 0}}],
    textures: [{source: 0, sampler: 0}],
    samplers: [{magFilter: 9729, minFilter: 9987, wrapS: 10497, wrapT: 10497}],
    images: [{uri: imageUri}],
    buffers: [{uri: bufferUri, byteLength: bufferLength}],
    bufferViews: [{buffer: 0, byteOffset: 0, byteLength: 48, target: 34962},
                  {buffer: 0, byteOffset: 48, byteLength: 32, target: 34962},
                  {buffer: 0, byteOffset: 80, byteLength: 12, target: 34963}],
    accessors: [{bufferView: 0, componentType: 5126, count: 4, type: 'VEC3', min: [0, 0, 0], max: [1, 1, 0]},
                {bufferView: 1, componentType: 5126, count: 4, type: 'VEC2'},
                {bufferView: 2, componentType: 5123, count: 6, type: 'SCALAR'}],
  };
}

// A line ("l") the BMF can't draw, which both warn of.
const OBJ = '# a tile of two materials\nmtllib tile.mtl\n' +
  'v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\n' +
  'vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n' +
  'usemtl Brass\nf 1/1/1 2/2/1 3/3/1 4/4/1\n' +
  'usemtl Red\nf 2//1 5//1 6//1 3//1\nl 5 6\n';
const MTL = 'newmtl Brass\nKa 0.2 0.2 0.2\nKd 1 1 1\nmap_Kd textures/brass.png\n' +
  'newmtl Red\nKd 0.8 0.1 0.1\nKs 0.5 0.5 0.5\nNs 40\n';

export function writeImportModels(folder, {threeDs2bmf, samples, scratch}) {
  mkdirSync(path.join(folder, 'textures'), {recursive: true});
  copyFileSync(path.join(samples, 'brass.png'), path.join(folder, 'textures', 'brass.png'));
  // The crate's .glb, its textures stored inside it.
  const crate = path.join(scratch, 'crate-source');
  mkdirSync(crate);
  copyFileSync(path.join(samples, 'crate.3ds'), path.join(crate, 'crate.3ds'));
  cpSync(path.join(samples, 'crate_maps'), path.join(crate, 'crate_maps'), {recursive: true});
  execFileSync(threeDs2bmf, ['-q', '--gltf', path.join(crate, 'crate.3ds')]);
  copyFileSync(path.join(crate, 'crate.glb'), path.join(folder, 'crate.glb'));
  const buffer = quadBuffer();
  writeFileSync(path.join(folder, 'quad.bin'), buffer);
  writeFileSync(path.join(folder, 'quad.gltf'),
                JSON.stringify(quadGltf('quad.bin', buffer.length, 'textures/brass.png'), null, 1));
  writeFileSync(path.join(folder, 'tile.obj'), OBJ);
  writeFileSync(path.join(folder, 'tile.mtl'), MTL);
  const models = {glb: path.join(folder, 'crate.glb'), gltf: path.join(folder, 'quad.gltf'),
                  obj: path.join(folder, 'tile.obj')};
  validateGltf([models.glb, models.gltf]);
  return {...models, files: {[models.glb]: [], [models.gltf]: ['quad.bin', 'textures/brass.png'],
                             [models.obj]: ['tile.mtl', 'textures/brass.png']}};
}

// Fails unless the Khronos validator finds no error and no warning in each file.
export function validateGltf(files) {
  const run = spawnSync(process.execPath, [path.join(source, 'scripts/validate-gltf.js'), ...files],
                        {encoding: 'utf8'});
  if (run.status !== 0) throw new Error(`the glTF validator: ${run.stdout}${run.stderr}`);
}
