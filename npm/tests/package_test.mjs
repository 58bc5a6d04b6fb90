// The npm package as a user gets it: `npm pack`'s tarball installed into a
// fresh folder, used from Node.js by its bare name, type-checked by tsc
// against a consumer file, and its three.js loader run in a page in
// headless Chromium (Debian's, driven by puppeteer-core).
//
//   node npm/tests/package_test.mjs --tarball build/npm/torvik32c-V.tgz --3ds2bmf PATH
//        [--tools npm/tools/node_modules] [--chromium /usr/bin/chromium]
//        [--samples samples] [--screenshot FILE]
import {execFileSync, spawnSync} from 'node:child_process';
import {cpSync, mkdirSync, mkdtempSync, readFileSync, rmSync, symlinkSync,
        writeFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {parseArgs} from 'node:util';

const here = path.dirname(new URL(import.meta.url).pathname);
const source = path.resolve(here, '../..');
const {values: args} = parseArgs({options: {
  'tarball': {type: 'string'}, '3ds2bmf': {type: 'string'},
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
mkdirSync(path.join(consumer, 'node_modules/@types'), {recursive: true});
symlinkSync(path.join(args.tools, 'three'), path.join(consumer, 'node_modules/three'));
symlinkSync(path.join(args.tools, '@types/three'), path.join(consumer, 'node_modules/@types/three'));
const models = path.join(consumer, 'models');
mkdirSync(models);
for (const name of ['sample.3ds', 'gate.3ds', 'crate.3ds', 'brass.png'])
  cpSync(path.join(args.samples, name), path.join(models, name));
cpSync(path.join(args.samples, 'crate_maps'), path.join(models, 'crate_maps'), {recursive: true});

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

await test('the declarations type-check a consumer (tsc --noEmit)', async () => {
  writeFileSync(path.join(consumer, 'tsconfig.json'), JSON.stringify({compilerOptions: {
    target: 'es2022', module: 'nodenext', moduleResolution: 'nodenext', strict: true,
    noEmit: true, lib: ['es2022', 'dom'], types: [], skipLibCheck: true}, include: ['consumer.ts']}));
  writeFileSync(path.join(consumer, 'consumer.ts'), `
import {convert, loadTorvik, toGltf, TorvikError, type Conversion} from 'torvik32c';
import {TorvikLoader} from 'torvik32c/three';
import {Group, LoadingManager} from 'three';

export async function use(bytes: Uint8Array): Promise<number> {
  const conversion: Conversion = await convert(bytes, {asAuthored: true, onStage: (s) => void s,
                                                       files: [{path: 'a/b.png', bytes}]});
  const triangles: number = conversion.report.triangles;
  const rule: string | null = conversion.report.textures[0].rule;
  // @ts-expect-error: an option 3ds2bmf does not have
  await convert(bytes, {smoothing: true});
  // @ts-expect-error: bmf may be null
  const size: number = conversion.bmf.length;
  const {glb} = await toGltf(bytes, {name: 'a/model.3ds'});
  const torvik = await loadTorvik();
  torvik.readBmf(glb ?? new Uint8Array()).blocks.forEach((block) => block.triangles.length);
  const loader = new TorvikLoader(new LoadingManager()).setTextures({'maps/a.jpg': 'x/a.jpg'});
  const group: Group = await loader.loadAsync('models/a.3ds');
  loader.setTextures('maps/');
  if (rule === null) throw new TorvikError('none');
  return triangles + size + group.children.length;
}
`);
  const tsc = path.join(args.tools, 'typescript/bin/tsc');
  const run = spawnSync(process.execPath, [tsc, '-p', consumer], {encoding: 'utf8'});
  check(run.status === 0, `tsc: ${run.stdout}${run.stderr}`);
});

await test('TorvikLoader shows crate.3ds with its textures in Chromium', async () => {
  const require = createRequire(path.join(source, 'web/package.json'));
  const {default: puppeteer} = await import(require.resolve('puppeteer-core'));
  const {serve} = await import(path.join(source, 'web/server.mjs'));
  writeFileSync(path.join(consumer, 'index.html'), `<!doctype html>
<meta charset="utf-8"><title>TorvikLoader</title>
<script type="importmap">{"imports": {
  "three": "./node_modules/three/build/three.module.js",
  "three/examples/jsm/": "./node_modules/three/examples/jsm/",
  "torvik32c": "./node_modules/torvik32c/index.js",
  "torvik32c/three": "./node_modules/torvik32c/three.js"}}</script>
<canvas id="view" width="480" height="360"></canvas>
<script type="module">
import * as THREE from 'three';
import {TorvikLoader} from 'torvik32c/three';
const describe = (group) => {
  const maps = [];
  group.traverse((o) => { if (o.isMesh && o.material.map) maps.push(o.material.map.image.width); });
  return {maps: maps.sort(), meshes: group.children.length, textures: group.userData.torvik.textures.map((t) => t.rule)};
};
try {
  const floor = await (await fetch('models/crate_maps/floortiles.tga')).blob();
  const group = await new TorvikLoader()
    .setTextures({'crate_maps/Crate.tga': 'models/crate_maps/Crate.tga', 'crate_maps/floortiles.tga': floor})
    .loadAsync('models/crate.3ds');
  const byFolder = await new TorvikLoader().setTextures('models/crate_maps/').loadAsync('models/crate.3ds');
  const renderer = new THREE.WebGLRenderer({canvas: document.getElementById('view'), antialias: true});
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0x203040);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x444444, 3), group);
  const camera = new THREE.PerspectiveCamera(45, 480 / 360, 0.1, 100);
  camera.position.set(3.5, 3, 4.5);
  camera.lookAt(0, 0.6, 0);
  renderer.render(scene, camera);
  window.result = {map: describe(group), folder: describe(byFolder)};
} catch (error) {
  window.result = {error: String(error.stack || error)};
}
</script>`);
  const tgaWidth = (file) => readFileSync(file).readUInt16LE(12);
  // A consumer's own page, with its inline scripts: none of the converter
  // page's security headers.
  const server = await serve(consumer, {headers: false});
  const browser = await puppeteer.launch({executablePath: args.chromium, headless: true,
    args: ['--headless=new', '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader']});
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(String(error)));
    await page.goto(server.origin + '/index.html');
    await page.waitForFunction('window.result', {timeout: 120000});
    const result = await page.evaluate('window.result');
    check(!result.error, `the page failed: ${result.error}`);
    const widths = [tgaWidth(path.join(models, 'crate_maps/Crate.tga')),
                    tgaWidth(path.join(models, 'crate_maps/floortiles.tga'))].sort();
    check(JSON.stringify(result.map.maps) === JSON.stringify(widths),
          `textures drawn from the map: ${JSON.stringify(result.map)}`);
    check(JSON.stringify(result.map.textures) === '["subfolder","8.3"]', JSON.stringify(result.map));
    // From a folder's URL, CRATE.TGA is found as Crate.tga; FLOORTIL.TGA (8.3) needs the map.
    check(JSON.stringify(result.folder.maps) === JSON.stringify([tgaWidth(path.join(models, 'crate_maps/Crate.tga'))]),
          `textures drawn from the folder: ${JSON.stringify(result.folder)}`);
    check(errors.length === 0, `page errors: ${errors.join('; ')}`);
    check(server.requests.every((r) => !r.includes('..')), 'a request left the folder');
    if (args.screenshot) await (await page.$('#view')).screenshot({path: args.screenshot});
  } finally {
    await browser.close();
    await server.close();
  }
});

rmSync(work, {recursive: true, force: true});
console.log(`${passed} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
