// Measures the page as a tool: for each model, the time from the drop to
// the report and to the model on screen against `3ds2bmf --gltf`, the
// longest gap between animation frames from the drop to the model shown and
// on each toggle of the view; Clear in the middle of the first model and a
// small model after it; the renderer's memory before, with and after a
// model.  Prints one line per figure (see BENCHMARKS.md).
//
//   node web/tests/measure_page.mjs --page build/web --3ds2bmf PATH --make-preset PATH
//        [--preset large --preset medium] [--small samples/sample.3ds] [--chromium /usr/bin/chromium]
//        [--plain]   (served without the security headers, as a page built before them needs)
import {execFileSync, spawnSync} from 'node:child_process';
import {mkdtempSync, rmSync} from 'node:fs';
import {loadavg, tmpdir} from 'node:os';
import path from 'node:path';
import {parseArgs} from 'node:util';
import puppeteer from 'puppeteer-core';
import {memorySnapshot, nativeGltfMilliseconds, nextFrames, pageRenderer, startFrameProbe, stopFrameProbe,
        timeDropToView} from './page_probes.mjs';
import {serve} from '../server.mjs';

const {values: args} = parseArgs({options: {
  'page': {type: 'string'}, '3ds2bmf': {type: 'string'}, 'make-preset': {type: 'string'},
  'preset': {type: 'string', multiple: true, default: ['large', 'medium']},
  'small': {type: 'string'}, 'chromium': {type: 'string', default: '/usr/bin/chromium'},
  'plain': {type: 'boolean', default: false},
}});
const here = path.dirname(new URL(import.meta.url).pathname);
const small = args.small || path.resolve(here, '../../samples/sample.3ds');
const work = mkdtempSync(path.join(tmpdir(), 'torvik-measure-'));
const server = await serve(args.page, {headers: !args.plain});
const launch = () => puppeteer.launch({
  executablePath: args.chromium, headless: true, protocolTimeout: 300000,
  args: ['--headless=new', '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
         '--window-size=1280,900'],
});
const say = (text) => console.log(`${text}  [load ${loadavg()[0].toFixed(2)}]`);
const shownAs = (name) => `document.querySelector('#view').dataset.drawn === ${JSON.stringify(name)}`;

async function open(browser) {
  const page = await browser.newPage();
  await page.setViewport({width: 1280, height: 900});
  await page.goto(server.origin + '/index.html');
  await page.waitForSelector('body[data-ready="true"]', {timeout: 60000});
  return page;
}

async function toggle(page, selector, mode) {
  await startFrameProbe(page);
  const started = Date.now();
  await page.click(selector);
  await page.waitForFunction((m) => {
    const view = document.querySelector('#view');
    return view.dataset.drawn && (!m || view.dataset.mode === m);
  }, {timeout: 240000, polling: 'raf'}, mode);
  await nextFrames(page);
  const {longest} = await stopFrameProbe(page);
  say(`  toggle ${selector}: ${Date.now() - started} ms, longest frame gap ${longest.toFixed(0)} ms`);
}

const files = [];
for (const preset of args.preset) {
  const file = path.join(work, `${preset}.3ds`);
  execFileSync(args['make-preset'], [preset, file]);
  files.push(file);
}

const browser = await launch();
try {
  for (const file of files) {
    const name = path.basename(file);
    const native = nativeGltfMilliseconds(args['3ds2bmf'], file, path.join(work, 'native.bmf'));
    const page = await open(browser);
    await startFrameProbe(page);
    const times = await timeDropToView(page, '#pick-files', [file], shownAs(name));
    const {longest, during} = await stopFrameProbe(page);
    say(`${name}: 3ds2bmf --gltf ${native.toFixed(0)} ms; page: report ${times.report.toFixed(0)} ms, ` +
        `view ${times.view.toFixed(0)} ms (${(times.view / native).toFixed(2)}x); ` +
        `longest frame gap ${longest.toFixed(0)} ms (during "${during}")`);
    await toggle(page, '#lighting', null);
    await toggle(page, '#view-bmf', 'bmf');
    await toggle(page, '#view-authored', 'authored');
    await toggle(page, '#lighting', null);
    await page.close();
  }

  // Clear in the middle of the first model, then a small one.
  {
    const page = await open(browser);
    await (await page.$('#pick-files')).uploadFile(files[0]);
    await page.waitForFunction(() => /convert|Convert/.test(document.querySelector('#progress').textContent),
                               {timeout: 60000, polling: 10});
    await page.click('#clear');
    const times = await timeDropToView(page, '#pick-files', [small], shownAs(path.basename(small)));
    say(`Clear during ${path.basename(files[0])}, then ${path.basename(small)}: shown after ${times.view.toFixed(0)} ms`);
    await page.close();
  }
} finally {
  await browser.close();
}

// Memory in a browser of its own, so that no other page shares the figures.
{
  const memoryBrowser = await launch();
  try {
    const page = await open(memoryBrowser);
    await new Promise((resolve) => setTimeout(resolve, 3000));
    const snapshots = [await memorySnapshot(memoryBrowser, page)];
    await timeDropToView(page, '#pick-files', [files[0]], shownAs(path.basename(files[0])));
    snapshots.push(await memorySnapshot(memoryBrowser, page));
    await page.click('#clear');
    await new Promise((resolve) => setTimeout(resolve, 3000));
    snapshots.push(await memorySnapshot(memoryBrowser, page));
    const pid = pageRenderer(snapshots[1]);
    const [empty, shown, cleared] = snapshots.map((m) => ({renderer: m.renderers[pid] || 0, gpu: m.gpu}));
    const line = (m) => `renderer ${m.renderer.toFixed(0)} MB, GPU process ${m.gpu.toFixed(0)} MB`;
    say(`memory: empty page ${line(empty)}; ${path.basename(files[0])} shown ${line(shown)}; ` +
        `after Clear ${line(cleared)} (${((cleared.renderer / empty.renderer - 1) * 100).toFixed(0)}% over empty)`);
  } finally {
    await memoryBrowser.close();
  }
}
await server.close();
rmSync(work, {recursive: true, force: true});
spawnSync('true');
