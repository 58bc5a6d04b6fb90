// Probes on the page as a person uses it, shared by the browser test and
// web/tests/measure_page.mjs: the longest gap between animation frames, the
// time from a drop to the report and to the model on screen, and the memory
// of the page's renderer process.
import {execFileSync} from 'node:child_process';
import {readFileSync} from 'node:fs';

// Starts counting animation frames on the page: every gap between two
// frames longer than the longest so far is kept, with what the progress line
// said at the time.  Frames stop when the page's thread is busy or when the
// GPU process can't keep up, so a gap is a freeze either way.
export async function startFrameProbe(page) {
  await page.evaluate(() => {
    if (window.frameProbe) window.frameProbe.running = false;
    const probe = {running: true, longest: 0, during: '', frames: 0, last: performance.now()};
    const tick = (now) => {
      if (!probe.running) return;
      const gap = now - probe.last;
      if (gap > probe.longest) {
        probe.longest = gap;
        const progress = document.querySelector('#progress');
        probe.during = progress ? progress.textContent : '';
      }
      probe.last = now;
      probe.frames++;
      requestAnimationFrame(tick);
    };
    requestAnimationFrame(tick);
    window.frameProbe = probe;
  });
}

// The longest gap since the probe started (in ms), and stops the probe.
export async function stopFrameProbe(page) {
  return page.evaluate(() => {
    const probe = window.frameProbe;
    probe.running = false;
    const gap = Math.max(probe.longest, performance.now() - probe.last);
    return {longest: gap, during: probe.during, frames: probe.frames};
  });
}

// Waits for `frames` animation frames on the page: what is drawn before
// them is on screen after.
export function nextFrames(page, frames = 2) {
  return page.evaluate((count) => new Promise((resolve) => {
    const step = () => (count-- <= 0 ? resolve() : requestAnimationFrame(step));
    requestAnimationFrame(step);
  }), frames);
}

// Gives the page files through a picker and measures, from the moment the
// page is handed them, when the report and then the model in the view are
// shown (the first frame after the view says it is drawn).  `shown` is a
// function run in the page that tells whether the view shows the model.
export async function timeDropToView(page, picker, paths, shown) {
  await page.evaluate((selector) => {
    const times = {dropped: 0, report: 0, view: 0};
    window.dropTimes = times;
    document.querySelector(selector).addEventListener('change', () => {
      times.dropped = performance.now();
    }, {capture: true, once: true});
    const report = document.querySelector('#report');
    new MutationObserver((records, observer) => {
      if (!times.dropped || !report.querySelector('.summary, .error')) return;
      times.report = performance.now();
      observer.disconnect();
    }).observe(report, {childList: true, subtree: true});
  }, picker);
  const input = await page.$(picker);
  await input.uploadFile(...paths);
  await page.waitForFunction(shown, {timeout: 240000, polling: 'raf'});
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => {
    window.dropTimes.view = performance.now();
    resolve();
  })));
  return page.evaluate(() => ({report: window.dropTimes.report - window.dropTimes.dropped,
                               view: window.dropTimes.view - window.dropTimes.dropped}));
}

function residentMegabytes(pid) {
  try {
    const status = readFileSync(`/proc/${pid}/status`, 'utf8');
    return Number(/VmRSS:\s+(\d+) kB/.exec(status)[1]) / 1024;
  } catch {
    return 0;
  }
}

// The browser's processes by kind, each with its resident memory in MB.
export async function processMemory(browser) {
  const session = await browser.target().createCDPSession();
  try {
    const {processInfo} = await session.send('SystemInfo.getProcessInfo');
    return processInfo.map(({type, id}) => ({type, pid: id, megabytes: residentMegabytes(id)}));
  } finally {
    await session.detach();
  }
}

// The resident memory of each renderer process (by pid) and of the GPU
// process, in MB, after a garbage collection on the page.  The page's own
// renderer (its workers run in it) is the one that grows with a model:
// pageRenderer() picks it.
export async function memorySnapshot(browser, page) {
  const session = await page.createCDPSession();
  try {
    await session.send('HeapProfiler.collectGarbage');
  } finally {
    await session.detach();
  }
  const processes = await processMemory(browser);
  const renderers = Object.fromEntries(processes.filter((p) => p.type === 'renderer').map((p) => [p.pid, p.megabytes]));
  const gpu = processes.filter((p) => p.type === 'GPU').reduce((total, p) => total + p.megabytes, 0);
  return {renderers, gpu};
}

// The pid of the renderer that holds most in `snapshot`.
export function pageRenderer(snapshot) {
  return Object.entries(snapshot.renderers).sort((a, b) => b[1] - a[1])[0][0];
}

// The median wall time of `3ds2bmf --gltf` (the program at `converter`) on
// the file, in ms, over three runs; the BMF goes to `output`.
export function nativeGltfMilliseconds(converter, file, output) {
  const times = [];
  for (let i = 0; i < 3; i++) {
    const started = performance.now();
    execFileSync(converter, ['-q', '--gltf', '-o', output, file]);
    times.push(performance.now() - started);
  }
  return times.sort((a, b) => a - b)[1];
}
