// The web page in a real browser: Debian's Chromium, headless, driven by
// puppeteer-core, serving the built page from 127.0.0.1.
//
//   node web/tests/browser_test.mjs --page build/web --3ds2bmf PATH --make-preset PATH
//        --make-keyframer-demo PATH [--chromium /usr/bin/chromium] [--samples samples]
//
// Checks: the BMF the page downloads for every sample and generated preset
// is byte-identical to 3ds2bmf's, and so is the BMF for each option; a damaged file shows the error 3ds2bmf
// prints and leaves the page usable; a textured model dropped as a folder
// with its _maps reports its textures found and draws them; a model far
// larger than the samples converts in the worker while the page keeps
// running; the JS API's keyframer limits hold in Node.js; no request leaves
// the page's origin.
import {execFileSync, spawnSync} from 'node:child_process';
import {cpSync, mkdtempSync, mkdirSync, readdirSync, readFileSync, copyFileSync, rmSync,
        writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {parseArgs} from 'node:util';
import puppeteer from 'puppeteer-core';
import {serve} from './static_server.mjs';

const {values: args} = parseArgs({options: {
  'page': {type: 'string'}, '3ds2bmf': {type: 'string'}, 'make-preset': {type: 'string'},
  'make-keyframer-demo': {type: 'string'},
  'chromium': {type: 'string', default: '/usr/bin/chromium'}, 'samples': {type: 'string'},
}});
const here = path.dirname(new URL(import.meta.url).pathname);
const samples = args.samples || path.resolve(here, '../../samples');
const work = mkdtempSync(path.join(tmpdir(), 'torvik-web-'));
const failures = [];

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function test(name, body) {
  const started = Date.now();
  try {
    await body();
    console.log(`ok - ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
  } catch (error) {
    failures.push(name);
    console.log(`not ok - ${name}: ${error.stack || error}`);
  }
}

// What 3ds2bmf writes for the file, and what it says when it fails.
function native(input, options = []) {
  const output = path.join(work, `native-${path.basename(input)}.bmf`);
  const run = spawnSync(args['3ds2bmf'], ['-q', ...options, '-o', output, input], {encoding: 'utf8'});
  return {status: run.status, stderr: run.stderr.trim(),
          bmf: run.status === 0 ? readFileSync(output) : null};
}

// The colours of an uncompressed 24-bit TGA, as "r,g,b" strings.
function tgaColours(file) {
  const bytes = readFileSync(file);
  const colours = new Set();
  for (let i = 18 + bytes[0]; i + 2 < bytes.length; i += 3) colours.add(`${bytes[i + 2]},${bytes[i + 1]},${bytes[i]}`);
  return colours;
}

// The entries of a zip of stored files, read through its central directory.
function storedEntries(zip) {
  const end = zip.lastIndexOf(Buffer.from([0x50, 0x4b, 0x05, 0x06]));
  check(end >= 0, 'no end of central directory in the zip');
  const entries = {};
  let at = zip.readUInt32LE(end + 16);
  for (let i = 0; i < zip.readUInt16LE(end + 10); i++) {
    check(zip.readUInt32LE(at) === 0x02014b50, 'a broken central directory');
    check(zip.readUInt16LE(at + 10) === 0, 'a compressed entry');
    const size = zip.readUInt32LE(at + 20);
    const nameLength = zip.readUInt16LE(at + 28);
    const name = zip.toString('utf8', at + 46, at + 46 + nameLength);
    const local = zip.readUInt32LE(at + 42);
    check(zip.readUInt32LE(local) === 0x04034b50, `no local header for ${name}`);
    const data = local + 30 + zip.readUInt16LE(local + 26) + zip.readUInt16LE(local + 28);
    entries[name] = zip.subarray(data, data + size);
    at += 46 + nameLength + zip.readUInt16LE(at + 30) + zip.readUInt16LE(at + 32);
  }
  return entries;
}

const server = await serve(args.page);
const launch = (extra = []) => puppeteer.launch({
  executablePath: args.chromium,
  args: ['--headless=new', '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
         '--window-size=1280,900', ...extra],
  headless: true,
  protocolTimeout: 300000,
});
const browser = await launch();
const outside = [];
const downloads = path.join(work, 'downloads');
mkdirSync(downloads);
const browserSession = await browser.target().createCDPSession();
await browserSession.send('Browser.setDownloadBehavior',
                          {behavior: 'allowAndName', downloadPath: downloads, eventsEnabled: true});

async function openPage(within = browser) {
  const page = await within.newPage();
  await page.setViewport({width: 1280, height: 900});
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(server.origin + '/') && !url.startsWith('blob:') && !url.startsWith('data:')) outside.push(url);
  });
  page.on('pageerror', (error) => console.log(`# page error: ${error.message}`));
  await page.evaluateOnNewDocument(() => {
    window.violations = [];
    document.addEventListener('securitypolicyviolation', (event) => window.violations.push(event.blockedURI));
  });
  await page.goto(server.origin + '/index.html');
  await page.waitForSelector('body[data-ready="true"]', {timeout: 60000});
  return page;
}

// Gives the page files through its file or folder picker and waits until
// every model is converted and shown.  While the worker converts, a timer on
// the page's thread measures the longest gap between its ticks.
async function drop(page, picker, paths) {
  const before = await page.evaluate(() => Number(document.body.dataset.finished || 0));
  await page.evaluate(() => {
    window.probe = {gap: 0, stages: new Set(), last: performance.now(), on: true};
    window.probe.timer = setInterval(() => {
      const now = performance.now();
      if (window.probe.on) window.probe.gap = Math.max(window.probe.gap, now - window.probe.last);
      window.probe.last = now;
    }, 10);
    new MutationObserver(() => {
      const text = document.querySelector('#progress').textContent;
      const stage = text.replace(/^.*: /, '').replace(/…$/, '');
      window.probe.stages.add(stage);
      // The worker's part ends when it reads the BMF back for the view.
      if (stage === 'viewing') window.probe.on = false;
    }).observe(document.querySelector('#progress'), {childList: true, characterData: true, subtree: true});
  });
  const input = await page.$(picker);
  await input.uploadFile(...paths);
  await page.waitForFunction((n) => Number(document.body.dataset.finished || 0) > n, {timeout: 240000}, before);
  return page.evaluate(() => {
    clearInterval(window.probe.timer);
    return {gap: window.probe.gap, stages: [...window.probe.stages]};
  });
}

async function download(page, selector) {
  const begun = new Promise((resolve) => {
    const listener = (event) => {
      if (event.state === 'completed') {
        browserSession.off('Browser.downloadProgress', listener);
        resolve(event.guid);
      }
    };
    browserSession.on('Browser.downloadProgress', listener);
  });
  await page.click(selector);
  const guid = await begun;
  const file = path.join(downloads, guid);
  const bytes = readFileSync(file);
  rmSync(file);
  return bytes;
}

const reportText = (page) => page.$eval('#report', (report) => report.innerText);

await test('the page loads its converter', async () => {
  const page = await openPage();
  await page.close();
});

const timings = {};
await test('the BMF the page downloads is the one 3ds2bmf writes, for the samples and the presets', async () => {
  const inputs = readdirSync(samples).filter((name) => name.endsWith('.3ds')).map((name) => path.join(samples, name));
  for (const preset of ['small', 'medium', 'large', 'manymat', 'bigmat']) {
    const file = path.join(work, `${preset}.3ds`);
    execFileSync(args['make-preset'], [preset, file]);
    inputs.push(file);
  }
  const page = await openPage();
  for (const input of inputs) {
    await page.click('#clear');
    const probe = await drop(page, '#pick-files', [input]);
    const bytes = await download(page, '#download-bmf');
    const expected = native(input).bmf;
    check(Buffer.compare(bytes, expected) === 0, `${path.basename(input)}: the downloaded BMF differs from 3ds2bmf's`);
    const summary = await page.$eval('#report .summary', (p) => p.textContent);
    timings[path.basename(input)] = {summary, probe};
  }
  await page.close();
});

await test('each option gives the BMF 3ds2bmf gives with it, and the keyframer\'s warning', async () => {
  const gate = path.join(work, 'gate.3ds');
  execFileSync(args['make-keyframer-demo'], [gate]);
  const page = await openPage();
  await drop(page, '#pick-files', [gate]);
  const text = await reportText(page);
  check(text.includes('gate.3ds: the keyframer draws 2 more instances and moves 3 objects; --keyframer applies it'),
        `no keyframer warning in:\n${text}`);
  for (const [key, flag] of [['asAuthored', '--as-authored'], ['keyframer', '--keyframer'],
                             ['keepFileWinding', '--keep-file-winding'], ['smoothingGroups', '--smoothing-groups'],
                             ['orientOutward', '--orient-outward']]) {
    for (const input of [gate, path.join(samples, 'smoothing.3ds')]) {
      await page.click('#clear');
      await page.click(`#option-${key}`);
      await drop(page, '#pick-files', [input]);
      const bytes = await download(page, '#download-bmf');
      check(Buffer.compare(bytes, native(input, [flag]).bmf) === 0,
            `${path.basename(input)} with ${flag}: the downloaded BMF differs from 3ds2bmf's`);
      await page.click('#clear');
      await page.click(`#option-${key}`);
    }
  }
  await page.close();
});

await test('the JS API, in Node.js, refuses a placement past maxPlacedFaces and a keyframer of more nodes than ids', async () => {
  const {loadTorvik, TorvikError} = await import(path.resolve(args.page, 'torvik.js'));
  const torvik = await loadTorvik({wasmBinary: readFileSync(path.join(args.page, 'torvik32c.wasm'))});
  const gate = path.join(work, 'gate-limit.3ds');
  execFileSync(args['make-keyframer-demo'], [gate]);
  const bytes = readFileSync(gate);
  const refused = torvik.convert(bytes, {name: 'gate.3ds', keyframer: true, maxPlacedFaces: 83});
  check(refused.bmf === null, 'a BMF past the limit');
  check(refused.report.error === 'the keyframer would draw 84 faces, more than the 83 that the maxPlacedFaces option allows',
        `the error says "${refused.report.error}"`);
  const limited = torvik.convert(bytes, {name: 'gate.3ds', keyframer: true, maxPlacedFaces: 84});
  check(Buffer.compare(Buffer.from(limited.bmf), native(gate, ['--keyframer', '--max-placed-faces', '84']).bmf) === 0,
        'the BMF at the limit differs from 3ds2bmf\'s');
  let thrown = null;
  try {
    torvik.convert(bytes, {keyframer: true, maxPlacedFaces: 0});
  } catch (error) {
    thrown = error;
  }
  check(thrown instanceof TorvikError, `maxPlacedFaces 0 gave ${thrown}`);
  // A million empty nodes (6 MB) are refused as read: the module's memory
  // grows by about the file, not by what a million nodes would take.
  const nodes = 1000000;
  const file = Buffer.alloc(12 + 6 * nodes);
  file.writeUInt16LE(0x4D4D, 0), file.writeUInt32LE(file.length, 2);
  file.writeUInt16LE(0xB000, 6), file.writeUInt32LE(file.length - 6, 8);
  for (let i = 0; i < nodes; i++) file.writeUInt16LE(0xB002, 12 + 6 * i), file.writeUInt32LE(6, 14 + 6 * i);
  const before = process.memoryUsage().rss;
  const converted = torvik.convert(file, {name: 'nodes.3ds', keyframer: true});
  const grown = (process.memoryUsage().rss - before) / 2 ** 20;
  console.log(`# a million empty keyframer nodes: the process grew by ${grown.toFixed(0)} MiB`);
  check(converted.warnings.some((w) => w.endsWith(`it has ${nodes} nodes, more than the 65536 that 16-bit node ids tell apart`)),
        `no warning of the nodes in ${converted.warnings.join(' | ')}`);
  check(grown < 100, `converting a 6 MB file grew the process by ${grown.toFixed(0)} MiB`);
});

await test('a model far larger than the samples converts in the worker while the page stays responsive', async () => {
  const {probe, summary} = timings['bigmat.3ds'] || {};
  check(probe, 'bigmat.3ds was not converted');
  console.log(`# bigmat.3ds: ${summary}; longest pause of the page's thread while converting: ${probe.gap.toFixed(0)} ms`);
  for (const stage of ['reading', 'converting', 'writing'])
    check(probe.stages.includes(stage), `the progress never showed "${stage}" (saw ${probe.stages.join(', ')})`);
  // The conversion alone takes longer than the page may stop for, so it
  // can't have run on the page's thread (a measure that holds however busy
  // the machine is).
  const milliseconds = Number(/, ([\d.]+) ms$/.exec(summary)[1]);
  check(probe.gap < milliseconds / 2,
        `the page's thread stopped for ${probe.gap.toFixed(0)} ms during a ${milliseconds} ms conversion`);
  console.log(`# large.3ds: ${timings['large.3ds'].summary}`);
});

await test('a damaged file shows its error as 3ds2bmf prints it and leaves the page usable', async () => {
  const damaged = path.join(work, 'damaged.3ds');
  writeFileSync(damaged, readFileSync(path.join(samples, 'sample.3ds')).subarray(0, 300));
  const expected = native(damaged);
  check(expected.status === 1, '3ds2bmf converted the damaged file');
  const reason = expected.stderr.slice(`3ds2bmf: ${damaged}: `.length);
  const page = await openPage();
  await drop(page, '#pick-files', [damaged]);
  const error = await page.$eval('#report .error', (p) => p.textContent);
  check(error === `damaged.3ds: ${reason}`, `the page says "${error}", 3ds2bmf "${reason}"`);
  check(/chunk 0x[0-9A-Fa-f]{4} at byte \d+/.test(error), `no chunk and offset in "${error}"`);
  check(await page.$eval('#download-bmf', (a) => !a.href), 'a BMF is offered for the damaged file');
  await page.click('#clear');
  await drop(page, '#pick-files', [path.join(samples, 'sample.3ds')]);
  const bytes = await download(page, '#download-bmf');
  check(Buffer.compare(bytes, native(path.join(samples, 'sample.3ds')).bmf) === 0, 'the next file converts wrongly');
  await page.close();
});

await test('a textured model dropped with its _maps folder finds its textures and draws them', async () => {
  const folder = path.join(work, 'crate');
  mkdirSync(path.join(folder, 'crate_maps'), {recursive: true});
  copyFileSync(path.join(samples, 'crate.3ds'), path.join(folder, 'crate.3ds'));
  const maps = readdirSync(path.join(samples, 'crate_maps'));
  for (const name of maps) copyFileSync(path.join(samples, 'crate_maps', name), path.join(folder, 'crate_maps', name));
  const page = await openPage();
  await drop(page, '#pick-folder', [folder]);
  const text = await reportText(page);
  check(text.includes('textures 2/2 found'), `the report says:\n${text}`);
  const rules = await page.$$eval('#report tr.texture', (rows) => rows.map((row) => row.className + ' ' + row.innerText));
  check(rules.some((row) => /found/.test(row) && /crate_maps\/Crate\.tga/.test(row) && /subfolder/.test(row)),
        `no texture found by subfolder: ${rules.join(' | ')}`);
  check(rules.some((row) => /found/.test(row) && /crate_maps\/floortiles\.tga/.test(row) && /8\.3/.test(row)),
        `no texture found by 8.3: ${rules.join(' | ')}`);
  // Unlit, the canvas shows the textures' own colours, in the scene as
  // authored (from the glTF) and in the BMF as the host draws it.
  const views = [];
  for (const [radio, mode] of [['#view-authored', 'authored'], ['#view-bmf', 'bmf']]) {
    await page.click(radio);
    if (views.length === 0) await page.click('#lighting');
    await page.waitForFunction((m) => document.querySelector('#view').dataset.drawn &&
                                      document.querySelector('#view').dataset.mode === m, {}, mode);
    views.push([mode, await page.$eval('#view', (canvas) => {
      const copy = document.createElement('canvas');
      copy.width = canvas.width;
      copy.height = canvas.height;
      const context = copy.getContext('2d');
      context.drawImage(canvas, 0, 0);
      return Array.from(context.getImageData(0, 0, copy.width, copy.height).data);
    })]);
  }
  for (const [mode, pixels] of views) {
    for (const name of maps) {
      const colours = tgaColours(path.join(samples, 'crate_maps', name));
      let matching = 0;
      for (let i = 0; i < pixels.length; i += 4) {
        if (colours.has(`${pixels[i]},${pixels[i + 1]},${pixels[i + 2]}`)) matching++;
      }
      const share = matching / (pixels.length / 4);
      console.log(`# ${mode} view: ${(share * 100).toFixed(1)}% of the canvas in the colours of ${name}`);
      check(share > 0.02, `${mode} view: ${name}'s colours cover only ${(share * 100).toFixed(2)}% of the canvas`);
    }
  }
  // The .glb is the one 3ds2bmf --gltf writes beside the BMF.
  const nativeGlb = path.join(work, 'native-crate');
  mkdirSync(nativeGlb);
  copyFileSync(path.join(folder, 'crate.3ds'), path.join(nativeGlb, 'crate.3ds'));
  cpSync(path.join(folder, 'crate_maps'), path.join(nativeGlb, 'crate_maps'), {recursive: true});
  execFileSync(args['3ds2bmf'], ['-q', '--gltf', path.join(nativeGlb, 'crate.3ds')]);
  check(Buffer.compare(await download(page, '#download-glb'), readFileSync(path.join(nativeGlb, 'crate.glb'))) === 0,
        'the downloaded .glb differs from 3ds2bmf --gltf\'s');
  // The zip holds the BMF and each texture under its stored name, as
  // 3ds2bmf --copy-textures puts them beside the BMF.
  const zip = storedEntries(await download(page, '#download-zip'));
  const expected = {
    'crate.bmf': native(path.join(samples, 'crate.3ds')).bmf,
    'CRATE.TGA': readFileSync(path.join(samples, 'crate_maps', 'Crate.tga')),
    'FLOORTIL.TGA': readFileSync(path.join(samples, 'crate_maps', 'floortiles.tga')),
  };
  check(JSON.stringify(Object.keys(zip)) === JSON.stringify(Object.keys(expected)),
        `the zip holds ${Object.keys(zip).join(', ')}`);
  for (const [name, bytes] of Object.entries(expected))
    check(Buffer.compare(zip[name], bytes) === 0, `the zip's ${name} differs`);
  await page.close();
});

await test('a dropped BMF is inspected and drawn with its textures', async () => {
  const folder = path.join(work, 'inspected');
  mkdirSync(path.join(folder, 'crate_maps'), {recursive: true});
  const bmf = native(path.join(samples, 'crate.3ds')).bmf;
  writeFileSync(path.join(folder, 'crate.bmf'), bmf);
  for (const name of readdirSync(path.join(samples, 'crate_maps')))
    copyFileSync(path.join(samples, 'crate_maps', name), path.join(folder, 'crate_maps', name));
  const page = await openPage();
  await drop(page, '#pick-folder', [folder]);
  const text = await reportText(page);
  check(text.includes('inspected/crate.bmf: 2 blocks, 28 vertices, 14 triangles, textures 2/2 found'),
        `the report says:\n${text}`);
  check(/layout\s+valid/.test(text), `the layout is not reported valid:\n${text}`);
  check(await page.$eval('#view', (canvas) => canvas.dataset.drawn === 'inspected/crate.bmf'), 'the BMF is not drawn');
  check(Buffer.compare(await download(page, '#download-bmf'), bmf) === 0, 'the BMF offered is not the one dropped');
  await page.close();
});

await test('without WebGL the page still converts, reports and offers the BMF', async () => {
  const plain = await launch(['--disable-3d-apis']);
  try {
    const page = await openPage(plain);
    await drop(page, '#pick-files', [path.join(samples, 'sample.3ds')]);
    check(await page.$('#no-view') !== null, 'no word that the model can\'t be drawn');
    const summary = await page.$eval('#report .summary', (p) => p.textContent);
    check(summary.startsWith('sample.3ds: '), `the report says "${summary}"`);
    check(await page.$eval('#download-bmf', (a) => !!a.href), 'no BMF offered');
  } finally {
    await plain.close();
  }
});

await test('no request leaves the page\'s origin', async () => {
  check(outside.length === 0, `requests outside the origin: ${outside.join(', ')}`);
  check(server.requests.every((p) => !p.includes('..')), 'odd requests');
});

await browser.close();
await server.close();
rmSync(work, {recursive: true, force: true});
console.log(failures.length === 0 ? '# all passed' : `# failed: ${failures.join('; ')}`);
process.exit(failures.length === 0 ? 0 : 1);
