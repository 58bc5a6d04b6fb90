// The page: files in, conversions in the worker, the report, the view and
// the downloads out.  Nothing is sent anywhere: the files are read by the
// browser and converted in the page.
import {ConverterClient} from './converter_client.js';
import {companionsAmong, droppedFiles, extensionOf, modelsAmong, pickedFiles, stemOf} from './dropped_files.js';
import {offer, zipBlob} from './downloads.js';
import {renderReport} from './report_view.js';
import {loadTextures} from './textures.js';
import {OPTIONS} from './torvik.js';
import {Viewer} from './viewer.js';

const $ = (selector) => document.querySelector(selector);
const client = new ConverterClient(new URL('./worker.js', import.meta.url));
const viewer = createViewer();
const state = {files: [], entries: [], current: null, features: {}, run: 0};

// The 3D view, or null where the browser can't draw (no WebGL): converting,
// the report and the downloads work without it.
function createViewer() {
  try {
    return new Viewer($('#view'));
  } catch (error) {
    const note = document.createElement('p');
    note.id = 'no-view';
    note.textContent = `This browser can't draw the model (${error.message}); converting, the report ` +
                       'and the downloads work all the same.';
    $('#view').replaceWith(note);
    return null;
  }
}

function setBusy(busy) {
  document.body.dataset.busy = busy ? 'true' : 'false';
}

function progress(text) {
  $('#progress').textContent = text;
}

function chosenOptions() {
  const options = {};
  for (const option of OPTIONS) options[option.key] = $(`#option-${option.key}`).checked;
  return options;
}

// Adds the files to those already there (a file at the same path replaces
// the old one) and converts every model again.
async function addFiles(files) {
  if (files.length === 0) return;
  const byPath = new Map(state.files.map((entry) => [entry.path, entry]));
  for (const entry of files) byPath.set(entry.path, entry);
  state.files = Array.from(byPath.values());
  await convertAll();
}

async function convertAll() {
  const run = ++state.run;
  const models = modelsAmong(state.files);
  const companions = companionsAmong(state.files);
  const previous = state.current && state.current.path;
  state.current = null;
  state.entries = models.map((model) => ({path: model.path, file: model.file,
                                          kind: extensionOf(model.path), status: 'waiting'}));
  renderList();
  if (models.length === 0) {
    progress('No .3ds or .bmf file among the files dropped: drop a model with its textures.');
    document.body.dataset.finished = String(run);
    return;
  }
  setBusy(true);
  const files = await Promise.all(companions.map(async (entry) => ({
    path: entry.path, bytes: new Uint8Array(await entry.file.arrayBuffer())})));
  for (const entry of state.entries) {
    if (run !== state.run) return;
    await convertOne(entry, files, companions);
    if (run !== state.run) return;
    if (!state.current || entry.path === previous || state.current.status !== 'done') await select(entry);
    renderList();
  }
  setBusy(false);
  progress(`${state.entries.length === 1 ? 'The model is' : 'All models are'} done.`);
  // How many runs have finished, for whoever waits on the page.
  document.body.dataset.finished = String(run);
}

async function convertOne(entry, files, companions) {
  entry.status = 'working';
  renderList();
  const started = performance.now();
  const show = (stage) => progress(`${entry.path}: ${stage}…`);
  show('reading the file');
  const bytes = new Uint8Array(await entry.file.arrayBuffer());
  const message = {kind: entry.kind === 'bmf' ? 'inspect' : 'convert', name: entry.path, bytes, files,
                   options: chosenOptions()};
  try {
    const result = await client.request(message, show, [bytes.buffer]);
    Object.assign(entry, result, {status: result.report.ok ? 'done' : 'failed'});
    if (entry.kind === 'bmf' && result.report.ok) entry.bmf = new Uint8Array(await entry.file.arrayBuffer());
    entry.companions = companions;
    entry.pageMilliseconds = performance.now() - started;
  } catch (error) {
    entry.status = 'failed';
    entry.report = {ok: false, error: error.message, textures: []};
    entry.warnings = [];
    entry.blocks = [];
  }
}

function renderList() {
  const list = $('#models');
  list.replaceChildren(...state.entries.map((entry) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = entry.path;
    button.dataset.status = entry.status;
    button.setAttribute('aria-current', entry === state.current ? 'true' : 'false');
    button.addEventListener('click', () => select(entry));
    item.append(button);
    return item;
  }));
}

async function select(entry) {
  state.current = entry;
  renderList();
  renderReport($('#report'), entry);
  const stem = stemOf(entry.path);
  offer($('#download-bmf'), entry.status === 'done' ? entry.bmf : null, `${stem}.bmf`, 'application/octet-stream');
  offer($('#download-glb'), entry.glb || null, `${stem}.glb`, 'model/gltf-binary');
  offer($('#download-zip'), null);
  if (entry.status !== 'done') {
    if (viewer) viewer.clear();
    return;
  }
  const {blob, warnings} = await zipBlob(entry, entry.companions);
  if (state.current !== entry) return;
  offer($('#download-zip'), blob, `${stem}.zip`);
  if (!entry.textures) {
    const loaded = await loadTextures(entry.report.textures, entry.companions);
    entry.textures = loaded.textures;
    entry.viewWarnings = [...warnings, ...loaded.problems];
    if (state.current !== entry) return;
    renderReport($('#report'), entry);
  }
  await draw(false);
}

async function draw(keepCamera) {
  const entry = state.current;
  const view = $('#view');
  if (!viewer) return;
  delete view.dataset.drawn;
  if (!entry || entry.status !== 'done') return;
  const lit = $('#lighting').checked;
  const authored = $('#view-authored').checked && entry.glb;
  if (authored) await viewer.showGltf(entry.glb, lit, keepCamera);
  else viewer.showBlocks(entry.blocks, (name) => entry.textures.get(name) || null, lit, keepCamera);
  if (state.current !== entry) return;
  view.dataset.mode = authored ? 'authored' : 'bmf';
  view.dataset.drawn = entry.path;
}

function setUpInputs() {
  const drop = $('#drop');
  drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', async (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    addFiles(await droppedFiles(event.dataTransfer));
  });
  for (const id of ['#pick-files', '#pick-folder']) {
    $(id).addEventListener('change', (event) => {
      addFiles(pickedFiles(event.target));
      event.target.value = '';
    });
  }
  $('#clear').addEventListener('click', () => {
    state.run++;
    state.files = [];
    state.entries = [];
    state.current = null;
    renderList();
    $('#report').replaceChildren();
    if (viewer) viewer.clear();
    for (const id of ['#download-bmf', '#download-glb', '#download-zip']) offer($(id), null);
    setBusy(false);
    progress('Drop a model to begin.');
  });
  for (const option of OPTIONS) {
    $(`#option-${option.key}`).addEventListener('change', () => {
      if (state.files.length) convertAll();
    });
  }
  $('#lighting').addEventListener('change', () => draw(true));
  for (const id of ['#view-authored', '#view-bmf']) $(id).addEventListener('change', () => draw(true));
}

async function start() {
  setUpInputs();
  setBusy(false);
  try {
    state.features = await client.request({kind: 'features'});
  } catch (error) {
    progress(`The converter could not be loaded: ${error.message}`);
    return;
  }
  for (const option of OPTIONS) {
    if (option.feature && !state.features[option.feature]) {
      const box = $(`#option-${option.key}`);
      box.disabled = true;
      box.closest('label').title = 'not available in this build';
    }
  }
  if (!state.features.gltf) {
    $('#view-authored').disabled = true;
    $('#view-bmf').checked = true;
    $('#view-authored').closest('label').title = 'needs the glTF export, not in this build';
  }
  document.body.dataset.ready = 'true';
  progress('Drop a model to begin.');
}

start();
