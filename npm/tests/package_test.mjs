// The npm package as a user gets it: `npm pack`'s tarball installed into a
// fresh folder, used from Node.js by its bare name (and refusing what is not
// bytes and paths too deep), type-checked by tsc against a consumer file,
// and its three.js loader run in a page in headless Chromium (Debian's,
// driven by puppeteer-core): the npm README's import map and example as
// written, served with and without folder listings (Python's http.server
// lists them), and three's loader callbacks, animation, cameras and lights.
//
//   node npm/tests/package_test.mjs --tarball build/npm/torvik32c-V.tgz --3ds2bmf PATH
//        --make-animated-demo PATH [--tools npm/tools/node_modules]
//        [--chromium /usr/bin/chromium] [--samples samples] [--screenshot FILE]
import {execFileSync, spawn, spawnSync} from 'node:child_process';
import {cpSync, mkdirSync, mkdtempSync, readFileSync, rmSync, symlinkSync,
        writeFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {parseArgs} from 'node:util';
import {validateGltf, writeImportModels} from '../../web/tests/import_models.mjs';

const here = path.dirname(new URL(import.meta.url).pathname);
const source = path.resolve(here, '../..');
const {values: args} = parseArgs({options: {
  'tarball': {type: 'string'}, '3ds2bmf': {type: 'string'}, 'make-animated-demo': {type: 'string'},
  'tools': {type: 'string', default: path.join(source, 'npm/tools/node_modules')},
  'chromium': {type: 'string', default: '/usr/bin/chromium'},
  'samples': {type: 'string', default: path.join(source, 'samples')},
  'screenshot': {type: 'string'},
}});
const work = mkdtempSync(path.join(tmpdir(), 'torvik-npm-'));
const failures = [];
let passed = 0;

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function test(name, body) {
  const started = Date.now();
  try {
    await body();
    passed++;
    console.log(`ok - ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
  } catch (error) {
    failures.push(name);
    console.log(`not ok - ${name}: ${error.stack || error}`);
  }
}

// The consumer's folder: the tarball installed by npm, three.js and its
// types from the tools' folder (the package declares three an optional peer).
const consumer = path.join(work, 'consumer');
mkdirSync(consumer);
writeFileSync(path.join(consumer, 'package.json'),
              JSON.stringify({name: 'consumer', private: true, type: 'module'}));
execFileSync('npm', ['install', path.resolve(args.tarball), '--no-audit', '--no-fund',
                     '--loglevel=error'], {cwd: consumer, stdio: 'inherit'});
// three.js is copied (the page's server follows no link out of its folder);
// its types are linked.
mkdirSync(path.join(consumer, 'node_modules/@types'), {recursive: true});
for (const part of ['package.json', 'build', 'examples/jsm'])
  cpSync(path.join(args.tools, 'three', part), path.join(consumer, 'node_modules/three', part), {recursive: true});
symlinkSync(path.join(args.tools, '@types/three'), path.join(consumer, 'node_modules/@types/three'));
const models = path.join(consumer, 'models');
mkdirSync(models);
for (const name of ['sample.3ds', 'gate.3ds', 'crate.3ds', 'brass.png'])
  cpSync(path.join(args.samples, name), path.join(models, name));
cpSync(path.join(args.samples, 'crate_maps'), path.join(models, 'crate_maps'), {recursive: true});
execFileSync(args['make-animated-demo'], [path.join(models, 'animated_demo.3ds')]);
writeFileSync(path.join(models, 'cut.3ds'), readFileSync(path.join(models, 'sample.3ds')).subarray(0, 300));

function native(flags, input, output) {
  execFileSync(args['3ds2bmf'], ['-q', ...flags, '-o', output, input]);
  return readFileSync(output);
}

await test('the installed package converts in Node.js to the bytes of 3ds2bmf', async () => {
  const script = path.join(consumer, 'node_use.mjs');
  writeFileSync(script, `
import {readFileSync, writeFileSync} from 'node:fs';
import {convert, readBmf, toGltf, loadTorvik} from 'torvik32c';
const read = (name) => readFileSync(new URL('./models/' + name, import.meta.url));
const files = ['crate_maps/Crate.tga', 'crate_maps/floortiles.tga']
  .map((name) => ({path: 'models/' + name, bytes: read(name)}));
const out = {};
for (const [model, options] of [['sample.3ds', {}], ['gate.3ds', {keyframer: true}],
                                ['crate.3ds', {asAuthored: true}]]) {
  const {bmf, report} = await convert(read(model), {...options, name: 'models/' + model, files});
  writeFileSync(model + '.bmf', bmf);
  out[model] = {textures: report.textures.map((t) => t.rule)};
}
const {glb} = await toGltf(read('crate.3ds'), {name: 'models/crate.3ds', files});
writeFileSync('crate.glb', glb);
out.blocks = (await readBmf(readFileSync('crate.3ds.bmf'))).blocks.length;
const own = await loadTorvik();
out.damaged = own.convert(read('sample.3ds').subarray(0, 300)).report.error;
console.log(JSON.stringify(out));
`);
  const run = spawnSync(process.execPath, [script], {cwd: consumer, encoding: 'utf8'});
  check(run.status === 0, `node failed: ${run.stderr}`);
  const out = JSON.parse(run.stdout);
  const nativeOut = path.join(work, 'native.bmf');
  check(readFileSync(path.join(consumer, 'sample.3ds.bmf'))
          .equals(native([], path.join(models, 'sample.3ds'), nativeOut)), 'sample.3ds differs');
  check(readFileSync(path.join(consumer, 'gate.3ds.bmf'))
          .equals(native(['--keyframer'], path.join(models, 'gate.3ds'), nativeOut)), 'gate.3ds differs');
  check(readFileSync(path.join(consumer, 'crate.3ds.bmf'))
          .equals(native(['--as-authored'], path.join(models, 'crate.3ds'), nativeOut)), 'crate.3ds differs');
  native(['--gltf'], path.join(models, 'crate.3ds'), path.join(work, 'crate.bmf'));
  check(readFileSync(path.join(consumer, 'crate.glb')).equals(readFileSync(path.join(work, 'crate.glb'))),
        'the glTF differs from 3ds2bmf --gltf');
  check(JSON.stringify(out['crate.3ds'].textures) === '["subfolder","8.3"]',
        `crate's textures: ${JSON.stringify(out['crate.3ds'])}`);
  check(out.blocks === 2, `readBmf: ${out.blocks} blocks`);
  const cut = path.join(work, 'cut.3ds');
  writeFileSync(cut, readFileSync(path.join(models, 'sample.3ds')).subarray(0, 300));
  const said = spawnSync(args['3ds2bmf'], [cut, '-o', path.join(work, 'cut.bmf')], {encoding: 'utf8'});
  check(said.stderr.trim() === `3ds2bmf: ${cut}: ${out.damaged}`, `the error: ${out.damaged}`);
});

// A .glb with its images inside, a .gltf with its .bin and image beside it,
// an .obj with its .mtl and texture: the package's BMF, warnings and glTF
// are 3ds2bmf's; the options only a 3DS file takes, and a damaged model,
// fail in 3ds2bmf's words.
const imported = path.join(models, 'imported');
const importModels = writeImportModels(imported, {threeDs2bmf: args['3ds2bmf'], samples: args.samples,
                                                  scratch: work});

// What 3ds2bmf writes and warns of for `model` (a path relative to the
// consumer's folder, as the package is given it), its BMF and glTF put in
// the work folder: {status, bmf, glb, warnings, error}.
function nativeRun(model, flags) {
  const output = path.join(work, 'native-imported', path.basename(model).replace(/\.[^.]*$/, '.bmf'));
  mkdirSync(path.dirname(output), {recursive: true});
  const run = spawnSync(path.resolve(args['3ds2bmf']), [...flags, '-o', output, model], {cwd: consumer, encoding: 'utf8'});
  const lines = run.stderr.split('\n').filter(Boolean).map((line) => line.replace(/^3ds2bmf: /, ''));
  return {status: run.status, bmf: run.status === 0 ? readFileSync(output) : null,
          glb: flags.includes('--gltf') && run.status === 0 ? readFileSync(output.replace(/\.bmf$/, '.glb')) : null,
          warnings: run.status === 0 ? lines : [], error: run.status === 0 ? null : lines.join('\n')};
}

await test('the package converts a .glb, a .gltf with its files and an .obj with its .mtl as 3ds2bmf does', async () => {
  const relative = (file) => path.relative(consumer, file);
  const cases = Object.entries(importModels.files).map(([model, files]) => ({
    model: relative(model), files: files.map((file) => relative(path.join(imported, file)))}));
  writeFileSync(path.join(work, 'damaged.obj'), 'v 0 0 0\nf 1 2 3\n');
  cpSync(path.join(work, 'damaged.obj'), path.join(imported, 'damaged.obj'));
  const script = path.join(consumer, 'node_imported.mjs');
  writeFileSync(script, `
import {readFileSync, writeFileSync} from 'node:fs';
import {convert, toGltf} from 'torvik32c';
const cases = ${JSON.stringify(cases)};
const out = {};
for (const {model, files} of cases) {
  const options = {name: model, files: files.map((file) => ({path: file, bytes: readFileSync(file)}))};
  const bytes = readFileSync(model);
  const converted = await convert(bytes, options);
  const normals = await convert(bytes, {...options, fileNormals: true});
  const gltf = await toGltf(bytes, options);
  const key = model.split('/').pop();
  writeFileSync(key + '.bmf', converted.bmf);
  writeFileSync(key + '.normals.bmf', normals.bmf);
  writeFileSync(key + '.glb', gltf.glb);
  out[key] = {warnings: converted.warnings, gltfWarnings: gltf.warnings, format: converted.report.format,
              images: converted.images.map((image) => [image.name, image.fileName, image.bytes.length]),
              textures: converted.report.textures.map((texture) => texture.rule),
              keyframer: (await convert(bytes, {...options, keyframer: true})).report.error,
              encoding: (await convert(bytes, {...options, nameEncoding: 'shift_jis'})).report.error};
}
const missing = cases.find(({model}) => model.endsWith('.gltf'));
out.missing = (await convert(readFileSync(missing.model), {name: missing.model})).report.error;
out.damaged = (await convert(readFileSync('models/imported/damaged.obj'), {name: 'models/imported/damaged.obj'})).report.error;
out.threeDsNormals = (await convert(readFileSync('models/sample.3ds'), {fileNormals: true})).report.error;
console.log(JSON.stringify(out));
`);
  const run = spawnSync(process.execPath, [script], {cwd: consumer, encoding: 'utf8'});
  check(run.status === 0, `node failed: ${run.stderr}`);
  const out = JSON.parse(run.stdout);
  for (const {model} of cases) {
    const key = path.basename(model);
    const plain = nativeRun(model, []);
    check(plain.status === 0, `3ds2bmf failed on ${model}: ${plain.error}`);
    check(readFileSync(path.join(consumer, `${key}.bmf`)).equals(plain.bmf), `${key}: the BMF differs from 3ds2bmf's`);
    check(JSON.stringify(out[key].warnings) === JSON.stringify(plain.warnings),
          `${key}: warns ${JSON.stringify(out[key].warnings)}, 3ds2bmf ${JSON.stringify(plain.warnings)}`);
    check(readFileSync(path.join(consumer, `${key}.normals.bmf`)).equals(nativeRun(model, ['--file-normals']).bmf),
          `${key}: the --file-normals BMF differs from 3ds2bmf's`);
    const gltf = nativeRun(model, ['--gltf']);
    check(readFileSync(path.join(consumer, `${key}.glb`)).equals(gltf.glb), `${key}: the glTF differs from 3ds2bmf --gltf's`);
    check(JSON.stringify(out[key].gltfWarnings) === JSON.stringify(gltf.warnings),
          `${key}: toGltf warns ${JSON.stringify(out[key].gltfWarnings)}, 3ds2bmf --gltf ${JSON.stringify(gltf.warnings)}`);
    check(out[key].keyframer === nativeRun(model, ['--keyframer']).error.replace(`${model}: `, ''),
          `${key}: keyframer refused as ${out[key].keyframer}`);
    check(out[key].encoding === nativeRun(model, ['--name-encoding', 'shift_jis']).error.replace(`${model}: `, ''),
          `${key}: nameEncoding refused as ${out[key].encoding}`);
  }
  validateGltf(cases.map(({model}) => path.join(consumer, `${path.basename(model)}.glb`)));
  check(out['crate.glb'].format === 'glTF' && out['tile.obj'].format === 'OBJ', JSON.stringify(out));
  check(JSON.stringify(out['crate.glb'].images.map(([name, file]) => [name, file])) ===
        '[["C:\\\\3DSMAX\\\\MAPS\\\\CRATE.TGA","CRATE.TGA"],["FLOORTIL.TGA","FLOORTIL.TGA"]]' &&
        out['crate.glb'].images.every(([, , size]) => size > 0) && out['crate.glb'].textures.every((rule) => rule === 'given'),
        `the .glb's images: ${JSON.stringify(out['crate.glb'])}`);
  check(JSON.stringify(out['tile.obj'].textures) === '["path"]', `the .obj's texture: ${JSON.stringify(out['tile.obj'])}`);
  check(/quad\.bin.*not among the files given with the model/.test(out.missing), `without its files: ${out.missing}`);
  const damaged = nativeRun('models/imported/damaged.obj', []);
  check(out.damaged === damaged.error.replace('models/imported/damaged.obj: ', '') && /^OBJ line 2: /.test(out.damaged),
        `the damaged .obj: ${out.damaged} | ${damaged.error}`);
  check(/^--file-normals keeps the normals a glTF or OBJ file stores; a 3DS file stores none$/.test(out.threeDsNormals),
        out.threeDsNormals);
});

await test('the package refuses what is not bytes, and paths too deep or too long, at once', async () => {
  const script = path.join(consumer, 'node_refusals.mjs');
  writeFileSync(script, `
import {readFileSync} from 'node:fs';
import {convert, toGltf, TorvikError} from 'torvik32c';
const model = readFileSync(new URL('./models/sample.3ds', import.meta.url));
const said = async (work) => {
  try {
    await work();
    return 'accepted';
  } catch (error) {
    return (error instanceof TorvikError ? '' : 'not a TorvikError: ') + error.message;
  }
};
const deep = (n) => Array.from({length: n}, (_, i) => 'd' + i).join('/') + '/t.png';
const out = {
  number: await said(() => convert(1e9)),
  string: await said(() => convert('sample.3ds')),
  array: await said(() => toGltf([77, 77, 0, 0])),
  none: await said(() => convert(undefined)),
  fileBytes: await said(() => convert(model, {files: [{path: 'maps/a.png', bytes: 4096}]})),
  deep800: await said(() => convert(model, {files: [{path: deep(800), bytes: model}]})),
  deep3000: await said(() => convert(model, {files: [{path: deep(3000), bytes: model}]})),
  deepModel: await said(() => convert(model, {name: deep(100)})),
  long: await said(() => convert(model, {files: [{path: 'x'.repeat(5000) + '.png', bytes: model}]})),
  deep64: await said(() => convert(model, {files: [{path: deep(64), bytes: model}]})),
  views: [new DataView(model.buffer, model.byteOffset, model.byteLength), Uint8ClampedArray.from(model)]
};
const plain = (await convert(model)).bmf;
out.views = await Promise.all(out.views.map(async (view) => Buffer.from((await convert(view)).bmf).equals(Buffer.from(plain))));
console.log(JSON.stringify(out));
`);
  const run = spawnSync(process.execPath, [script], {cwd: consumer, encoding: 'utf8'});
  check(run.status === 0, `node failed: ${run.stderr}`);
  const out = JSON.parse(run.stdout);
  const expected = {
    number: 'the model must be bytes (a Uint8Array or an ArrayBuffer), not a number',
    string: 'the model must be bytes (a Uint8Array or an ArrayBuffer), not a string',
    array: 'the model must be bytes (a Uint8Array or an ArrayBuffer), not an array',
    none: 'the model must be bytes (a Uint8Array or an ArrayBuffer), not undefined',
    fileBytes: 'the file "maps/a.png" must be bytes (a Uint8Array or an ArrayBuffer), not a number',
    deep64: 'accepted',
  };
  for (const [key, text] of Object.entries(expected))
    check(out[key] === text, `${key}: ${out[key]}`);
  check(/^the file "d0\/d1\/d2.*" lies 800 folders deep: at most 64 can be laid out$/.test(out.deep800), out.deep800);
  check(/ lies 3000 folders deep: /.test(out.deep3000), out.deep3000);
  check(/^the model "d0\/.*" lies 100 folders deep/.test(out.deepModel), out.deepModel);
  check(/^the file "x{60}\.\.\." is 5004 characters long: at most 4096 can be laid out$/.test(out.long), out.long);
  check(out.views.every(Boolean), `a DataView or Uint8ClampedArray of the model converts otherwise: ${out.views}`);
});

await test('the declarations type-check a consumer (tsc --noEmit)', async () => {
  writeFileSync(path.join(consumer, 'tsconfig.json'), JSON.stringify({compilerOptions: {
    target: 'es2022', module: 'nodenext', moduleResolution: 'nodenext', strict: true,
    noEmit: true, lib: ['es2022', 'dom'], types: [], skipLibCheck: true}, include: ['consumer.ts']}));
  writeFileSync(path.join(consumer, 'consumer.ts'), `
import {convert, loadTorvik, toGltf, TorvikError, type Conversion} from 'torvik32c';
import {TorvikLoader} from 'torvik32c/three';
import {AnimationClip, AnimationMixer, Group, LoadingManager} from 'three';

export async function use(bytes: Uint8Array): Promise<number> {
  const conversion: Conversion = await convert(bytes, {asAuthored: true, onStage: (s) => void s,
                                                       files: [{path: 'a/b.png', bytes}]});
  const triangles: number = conversion.report.triangles;
  const rule: string | null = conversion.report.textures[0].rule;
  const obj = await convert(bytes, {name: 'tile/tile.obj', fileNormals: true});
  const stored: number = obj.images.reduce((sum, image) => sum + image.bytes.length + image.fileName.length, 0) +
                         (obj.report.format === 'OBJ' ? obj.report.instances : 0);
  // @ts-expect-error: an option 3ds2bmf does not have
  await convert(bytes, {smoothing: true});
  // @ts-expect-error: bmf may be null
  const size: number = conversion.bmf.length;
  const {glb} = await toGltf(bytes, {name: 'a/model.3ds'});
  const torvik = await loadTorvik();
  torvik.readBmf(glb ?? new Uint8Array()).blocks.forEach((block) => block.triangles.length);
  const loader = new TorvikLoader(new LoadingManager()).setTextures({'maps/a.jpg': 'x/a.jpg'});
  const group: Group = await loader.loadAsync('models/a.3ds');
  const clips: AnimationClip[] = group.animations;
  const mixer = new AnimationMixer(group);
  clips.forEach((clip) => mixer.clipAction(clip).play());
  const parsed = await loader.setNameEncoding('shift_jis').parse(bytes, 'models/a.3ds');
  const seen: number = parsed.cameras.length + parsed.lights.length + parsed.userData.torvik.fetched.length;
  loader.parse(bytes, 'models/', (scene) => scene.userData.torvik.textures.map((t) => t.embedded));
  loader.setTextures('maps/');
  if (rule === null) throw new TorvikError('none');
  return triangles + size + group.children.length + seen + stored;
}
`);
  const tsc = path.join(args.tools, 'typescript/bin/tsc');
  const run = spawnSync(process.execPath, [tsc, '-p', consumer], {encoding: 'utf8'});
  check(run.status === 0, `tsc: ${run.stdout}${run.stderr}`);
});

// The npm README's import map and first lines of a page, as written, with
// the line that would use the model made to hand it to the test.
function readmePage() {
  const readme = readFileSync(path.join(source, 'npm/README.md'), 'utf8');
  const block = readme.match(/```html\n(<script type="importmap">[\s\S]*?)```/);
  check(block, 'the README has no import map');
  const html = block[1].replace(/^ *\/\/ \.\.\. .*$/m, '  window.readme = model;');
  check(html.includes('window.readme'), 'the README\'s example does not end in a comment to replace');
  return `<!doctype html>\n<meta charset="utf-8"><title>TorvikLoader</title>\n${html}\n` +
         '<canvas id="view" width="480" height="360"></canvas>\n<script type="module" src="loader_test.js"></script>\n';
}

// What the page's checks find (loader_test.js), beside the README's example.
const LOADER_CHECKS = String.raw`
import * as THREE from 'three';
import {TorvikLoader} from 'torvik32c/three';
const describe = (group) => {
  const maps = [];
  group.traverse((o) => { if (o.isMesh && o.material.map) maps.push(o.material.map.image.width); });
  return {maps: maps.sort(), meshes: group.children.length,
          embedded: group.userData.torvik.textures.filter((t) => t.embedded).map((t) => t.name)};
};
// The position of every object of the group at a time of its animation.
const posed = (group, seconds) => {
  const mixer = new THREE.AnimationMixer(group);
  for (const clip of group.animations) mixer.clipAction(clip).play();
  mixer.setTime(seconds);
  group.updateMatrixWorld(true);
  const where = [];
  group.traverse((o) => where.push(o.matrixWorld.elements.map((e) => e.toFixed(3)).join()));
  return where.join(';');
};
const failure = (work) => new Promise((resolve) => work((error) => resolve(String(error && (error.message || error)))));
try {
  if (location.search === '?listing') {
    window.result = {};
  } else {
    const floor = await (await fetch('models/crate_maps/floortiles.tga')).blob();
    const map = await new TorvikLoader()
      .setTextures({'crate_maps/Crate.tga': 'models/crate_maps/Crate.tga', 'crate_maps/floortiles.tga': floor})
      .loadAsync('models/crate.3ds');
    const byFolder = await new TorvikLoader().setTextures('models/crate_maps/').loadAsync('models/crate.3ds');
    // load() with three's callbacks, parse() with and without them.
    const progress = [];
    const loaded = await new Promise((resolve, reject) =>
      new TorvikLoader().setPath('models/').load('animated_demo.3ds', resolve, (event) => progress.push(event.loaded), reject));
    const bytes = await (await fetch('models/animated_demo.3ds')).arrayBuffer();
    let called = null;
    const returned = await new TorvikLoader().parse(bytes, 'models/animated_demo.3ds', (group) => { called = group; });
    const plain = new TorvikLoader().parse(bytes.slice(0), 'models/');
    const parsed = await plain;
    const renderer = new THREE.WebGLRenderer({canvas: document.getElementById('view'), antialias: true});
    const scene = new THREE.Scene();
    scene.background = new THREE.Color(0x203040);
    scene.add(new THREE.HemisphereLight(0xffffff, 0x444444, 3), map);
    const camera = new THREE.PerspectiveCamera(45, 480 / 360, 0.1, 100);
    camera.position.set(3.5, 3, 4.5);
    camera.lookAt(0, 0.6, 0);
    renderer.render(scene, camera);
    // glTF and OBJ models, the files they name fetched from beside them.
    const imported = {};
    for (const name of ['crate.glb', 'quad.gltf', 'tile.obj']) {
      const group = await new TorvikLoader().loadAsync('models/imported/' + name);
      imported[name] = {...describe(group), fetched: group.userData.torvik.fetched.map((u) => new URL(u).pathname),
                        warnings: group.userData.torvik.warnings};
    }
    const clips = loaded.animations.map((clip) => clip.duration > 0 && clip.tracks.length > 0);
    window.result = {
      ...imported,
      map: describe(map), folder: describe(byFolder),
      progress: progress.length, calledWithResult: called === returned && !!called,
      parseGivesPromise: plain instanceof Promise && parsed.isGroup && !!parsed.userData.torvik,
      animations: clips, moves: posed(loaded, 0) !== posed(loaded, loaded.animations[0]?.duration / 2),
      cameras: loaded.cameras.map((c) => c.isCamera), lights: loaded.lights.map((l) => l.type),
      lightsInside: loaded.lights.every((light) => { let o = light; while (o.parent) o = o.parent; return o === loaded; }),
      missing: await failure((onError) => new TorvikLoader().load('models/none.3ds', () => onError('loaded'), undefined, onError)),
      damaged: await failure((onError) => new TorvikLoader().load('models/cut.3ds', () => onError('loaded'), undefined, onError)),
      damagedParse: await failure(async (onError) => new TorvikLoader().parse(await (await fetch('models/cut.3ds')).arrayBuffer(), 'models/cut.3ds', () => onError('parsed'), onError)),
    };
  }
} catch (error) {
  window.result = {error: String(error.stack || error)};
}
`;

// A static server that lists folders, as most do (Python's http.server).
async function listingServer(root) {
  const child = spawn('/usr/bin/python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '0', '--directory', root],
                      {stdio: ['ignore', 'pipe', 'pipe']});
  const port = await new Promise((resolve, reject) => {
    let said = '';
    child.stdout.on('data', (chunk) => {
      said += chunk;
      const found = said.match(/port (\d+)/);
      if (found) resolve(Number(found[1]));
    });
    child.on('exit', () => reject(new Error(`http.server stopped: ${said}`)));
  });
  return {origin: `http://127.0.0.1:${port}`, close: () => child.kill()};
}

await test('TorvikLoader loads as three\'s loaders do: the README\'s page, textures by its rules, animation, cameras, lights, errors, glTF and OBJ models with the files they name', async () => {
  const require = createRequire(path.join(source, 'web/package.json'));
  const {default: puppeteer} = await import(require.resolve('puppeteer-core'));
  const {serve} = await import(path.join(source, 'web/server.mjs'));
  writeFileSync(path.join(consumer, 'index.html'), readmePage());
  writeFileSync(path.join(consumer, 'loader_test.js'), LOADER_CHECKS);
  const tgaWidth = (file) => readFileSync(file).readUInt16LE(12);
  const crateWidth = tgaWidth(path.join(models, 'crate_maps/Crate.tga'));
  const widths = [crateWidth, tgaWidth(path.join(models, 'crate_maps/floortiles.tga'))].sort();
  // A consumer's own page, with its inline scripts: none of the converter
  // page's security headers.
  const server = await serve(consumer, {headers: false});
  const listing = await listingServer(consumer);
  const browser = await puppeteer.launch({executablePath: args.chromium, headless: true,
    args: ['--headless=new', '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader']});
  const run = async (url) => {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(String(error)));
    await page.goto(url);
    await page.waitForFunction('window.result && window.readme', {timeout: 120000});
    const result = await page.evaluate('window.result');
    const readme = await page.evaluate(() => {
      const maps = [];
      window.readme.traverse((o) => { if (o.isMesh && o.material.map) maps.push(o.material.map.image.width); });
      return {maps: maps.sort(), fetched: window.readme.userData.torvik.fetched.map((u) => new URL(u).pathname)};
    });
    return {page, errors, result, readme};
  };
  try {
    const {page, errors, result, readme} = await run(server.origin + '/index.html');
    check(!result.error, `the page failed: ${result.error}`);
    check(JSON.stringify(result.map.maps) === JSON.stringify(widths), `textures drawn from the map: ${JSON.stringify(result.map)}`);
    check(result.map.embedded.length === 2, JSON.stringify(result.map));
    // From a folder's URL, CRATE.TGA is found as Crate.tga; FLOORTIL.TGA (8.3) needs the map or a listing.
    check(JSON.stringify(result.folder.maps) === JSON.stringify([crateWidth]),
          `textures drawn from the folder: ${JSON.stringify(result.folder)}`);
    // By default: the model's folder and its crate_maps/, without a listing.
    check(JSON.stringify(readme.maps) === JSON.stringify([crateWidth]) &&
          JSON.stringify(readme.fetched) === '["/models/crate_maps/Crate.tga"]', `the README's page: ${JSON.stringify(readme)}`);
    check(result.progress > 0 && result.calledWithResult && result.parseGivesPromise,
          `callbacks and promises: ${JSON.stringify(result)}`);
    check(result.animations.length > 0 && result.animations.every(Boolean) && result.moves,
          `the animation: ${JSON.stringify(result.animations)}, moves ${result.moves}`);
    check(JSON.stringify(result.cameras) === '[true]' && result.lights.length === 2 && result.lightsInside,
          `cameras ${JSON.stringify(result.cameras)}, lights ${JSON.stringify(result.lights)}`);
    check(/404/.test(result.missing), `a missing model: ${result.missing}`);
    check(/^cut\.3ds: .*byte/.test(result.damaged) && result.damaged === result.damagedParse,
          `a damaged model: ${result.damaged} | ${result.damagedParse}`);
    const brass = readFileSync(path.join(models, 'imported/textures/brass.png')).readUInt32BE(16);
    const importedSeen = {glb: result['crate.glb'], gltf: result['quad.gltf'], obj: result['tile.obj']};
    check(JSON.stringify(importedSeen.glb.maps) === JSON.stringify(widths) && importedSeen.glb.fetched.length === 0,
          `the .glb: ${JSON.stringify(importedSeen.glb)}`);
    check(JSON.stringify(importedSeen.gltf.maps) === JSON.stringify([brass]) &&
          JSON.stringify(importedSeen.gltf.fetched.sort()) ===
            '["/models/imported/quad.bin","/models/imported/textures/brass.png"]',
          `the .gltf: ${JSON.stringify(importedSeen.gltf)}`);
    check(JSON.stringify(importedSeen.obj.maps) === JSON.stringify([brass]) &&
          JSON.stringify(importedSeen.obj.fetched) === '["/models/imported/tile.mtl","/models/imported/textures/brass.png"]' &&
          importedSeen.obj.warnings.some((w) => w.endsWith('1 lines and points are left out: BMF draws triangles')),
          `the .obj: ${JSON.stringify(importedSeen.obj)}`);
    check(errors.length === 0, `page errors: ${errors.join('; ')}`);
    check(server.requests.every((r) => !r.includes('..')), 'a request left the folder');
    if (args.screenshot) await (await page.$('#view')).screenshot({path: args.screenshot});
    await page.close();
    // Served with folder listings, the README's page finds FLOORTIL.TGA too.
    const listed = await run(listing.origin + '/index.html?listing');
    check(JSON.stringify(listed.readme.maps) === JSON.stringify(widths) && listed.errors.length === 0,
          `the README's page, with listings: ${JSON.stringify(listed.readme)} ${listed.errors.join('; ')}`);
    await listed.page.close();
  } finally {
    await browser.close();
    await server.close();
    listing.close();
  }
});

rmSync(work, {recursive: true, force: true});
console.log(`${passed} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
