// The page: files in, conversions in the workers, the report, the view and
// the downloads out.  Nothing is sent anywhere: the files are read by the
// browser and converted in the page.
//
// Each model is converted to BMF in one worker and the glTF the view draws
// (the scene as authored) is built in the other, side by side where there
// are cores enough; the report shows as soon as the BMF is written, the
// view when the glTF is drawn.  Clear, Cancel, a
// new drop or another option stop the work in flight at once.
import {blockMeshes} from './bmf_mesh.js';
import {Cancelled, ConverterClient} from './converter_client.js';
import {companionsAmong, droppedFiles, extensionOf, modelsAmong, pickedFiles, stemOf} from './dropped_files.js';
import {allModelsItems, bmfFileName, offer, save} from './downloads.js';
import {missingTexturesNotice, renderReport} from './report_view.js';
import {setUpScenePlayer} from './scene_player.js';
import {setUpViewControls} from './view_controls.js';
import {Viewer} from './viewer.js';

const $ = (selector) => document.querySelector(selector);
const state = {files: [], entries: [], current: null, features: {}, options: [], threeDsOnly: [], run: 0, summary: '', job: null,
               preferredMode: 'authored'};
let client = null;
const viewer = createViewer();
const controls = viewer ? setUpViewControls(viewer, {
  onChange: () => markUndrawn(),
  pictureName: () => `${state.current ? stemOf(state.current.path) : 'view'}.png`,
}) : null;
if (viewer) setUpScenePlayer(viewer);

// What each stage is called on the page, in the order they come.
const STAGES = {
  reading: 'reading the file', converting: 'converting', textures: 'finding the textures',
  writing: 'writing the BMF', scene: 'preparing the 3D view', drawing: 'drawing',
  blocks: 'preparing the BMF view', zip: 'packing the zip',
};
const STAGE_ORDER = ['reading', 'converting', 'textures', 'writing', 'scene', 'drawing'];
const SIDE_BY_SIDE = (navigator.hardwareConcurrency || 1) >= 4;

// The 3D view, or null where the browser can't draw (no WebGL): converting,
// the report and the downloads work without it.
function createViewer() {
  try {
    const made = new Viewer($('#view'));
    // How many models the view was given, for whoever checks that a
    // setting never builds one again.
    made.addEventListener('layer', () => {
      $('#view').dataset.layers = String(Number($('#view').dataset.layers || 0) + 1);
    });
    made.addEventListener('drawn', () => {
      const entry = state.current;
      if (!entry || !made.hasLayer(made.mode)) return;
      performance.mark('torvik:drawn');
      $('#view').dataset.drawn = entry.path;
      $('#view').dataset.mode = made.mode;
      if (state.job === null) progress(state.summary);
    });
    return made;
  } catch (error) {
    const note = document.createElement('p');
    note.id = 'no-view';
    note.textContent = `This browser can't draw the model (${error.message}); converting, the report ` +
                       'and the downloads work all the same.';
    $('#view').replaceWith(note);
    return null;
  }
}

function markUndrawn() {
  if (viewer) delete $('#view').dataset.drawn;
}

// --- the status line and the progress bar ---

function progress(text) {
  $('#progress').textContent = text;
}

function setBusy(job) {
  state.job = job;
  document.body.dataset.busy = job ? 'true' : 'false';
  $('#cancel').hidden = !job;
  $('#progress-bar').hidden = !job;
  if (!job) $('#progress-bar').value = 0;
}

function showStage(entry, stage) {
  if (!state.job) return;
  const {index, count} = state.job;
  const at = Math.max(0, STAGE_ORDER.indexOf(stage));
  $('#progress-bar').value = (index + at / STAGE_ORDER.length) / count;
  const which = count > 1 ? ` (${index + 1} of ${count})` : '';
  progress(`${entry.path}${which}: ${STAGES[stage] || stage}…`);
}

// What the run came to, in words.
function summary() {
  const done = state.entries.filter((entry) => entry.status === 'done');
  const failed = state.entries.filter((entry) => entry.status === 'failed');
  if (state.entries.length === 1) {
    const [entry] = state.entries;
    return entry.status === 'done' ? `Done: ${entry.path} ${entry.kind === 'bmf' ? 'read' : 'converted'}.`
                                   : `${entry.path} could not be ${entry.kind === 'bmf' ? 'read' : 'converted'}: the report says why.`;
  }
  const parts = [`${done.length} converted`];
  if (failed.length) parts.push(`${failed.length} could not be (the report of each says why)`);
  return `${state.entries.length} models: ${parts.join(', ')}.`;
}

// --- files and runs ---

// The options chosen that the model's kind takes: a glTF or OBJ takes none
// of those that read what only a 3DS file holds, a 3DS file keeps no
// stored normals (it has none), and a BMF is only read.
function chosenOptions(entry) {
  const options = {};
  for (const option of state.options) options[option.key] = $(`#option-${option.key}`).checked;
  options.nameEncoding = $('#option-nameEncoding').value;
  if (entry.kind === '3ds') delete options.fileNormals;
  else if (entry.kind !== 'bmf') for (const key of state.threeDsOnly) delete options[key];
  return options;
}

// Whether the page can show the model's scene as authored (as 3ds2bmf
// --gltf exports it): any model but a BMF.
const hasScene = (entry) => entry.kind !== 'bmf' && !!state.features.gltf;

// Adds the files to those already there (a file at the same path replaces
// the old one).  Models already converted stay as they are unless textures
// or other files came with the new ones, which may change what they find.
function addFiles(files) {
  if (files.length === 0) return;
  const byPath = new Map(state.files.map((entry) => [entry.path, entry]));
  for (const entry of files) byPath.set(entry.path, entry);
  state.files = Array.from(byPath.values());
  convertAll(companionsAmong(files).length === 0);
}

// Stops what is running: the workers are ended and started anew.
function stopWork() {
  state.run++;
  if (client) client.cancel();
  setBusy(null);
}

async function convertAll(keepDone) {
  stopWork();
  const run = state.run;
  const models = modelsAmong(state.files);
  const companions = companionsAmong(state.files);
  const before = new Map(state.entries.map((entry) => [entry.path, entry]));
  const previous = state.current ? state.current.path : null;
  state.entries = models.map((model) => {
    const old = before.get(model.path);
    if (keepDone && old && old.file === model.file && (old.status === 'done' || old.status === 'failed')) return old;
    return {path: model.path, file: model.file, kind: extensionOf(model.path), status: 'waiting', companions};
  });
  if (state.current && !state.entries.includes(state.current)) unselect();
  renderList();
  updateDownloads();
  if (models.length === 0) {
    finish(run, 'No .3ds, .glb, .gltf, .obj or .bmf file among the files dropped: drop a model with its ' +
                'textures (a .gltf with its .bin and images, an .obj with its .mtl).');
    return;
  }
  const waiting = state.entries.filter((entry) => entry.status === 'waiting');
  for (const [index, entry] of waiting.entries()) {
    setBusy({index, count: waiting.length});
    try {
      await convertOne(entry, run, previous);
    } catch (error) {
      if (error instanceof Cancelled || run !== state.run) return;
      throw error;
    }
    if (run !== state.run) return;
  }
  if (!state.current) {
    const first = state.entries.find((entry) => entry.status === 'done') || state.entries[0];
    await select(first);
  }
  finish(run, summary());
}

function finish(run, text) {
  if (run !== state.run) return;
  setBusy(null);
  state.summary = text;
  progress(text);
  renderList();
  updateDownloads();
  // How many runs have finished, for whoever waits on the page.
  document.body.dataset.finished = String(run);
}

// Converts the model in one worker and builds its scene in the other.  The
// model is shown as soon as it converts if nothing else is.
async function convertOne(entry, run, previous) {
  entry.status = 'working';
  renderList();
  const started = performance.now();
  const common = {file: entry.file, name: entry.path, companions: entry.companions};
  const onStage = (stage) => {
    if (run === state.run) showStage(entry, stage);
  };
  const conversion = client.request('convert', {...common, kind: entry.kind === 'bmf' ? 'inspect' : 'convert',
                                                options: chosenOptions(entry)}, {onStage});
  // With fewer than four cores the scene waits for the BMF: two workers at
  // once would leave the page no core to draw on (and, measured on two
  // cores, finish no sooner).
  if (!SIDE_BY_SIDE) {
    await conversion.catch(() => {});
    if (run !== state.run) throw new Cancelled();
  }
  entry.scene = hasScene(entry)
    ? client.request('scene', {...common, kind: 'scene', options: chosenOptions(entry)}).then((scene) => {
      performance.mark('torvik:scene');
      entry.glbBlob = scene.glbBlob || null;
      // The bytes stay for the view only if it will show this model now;
      // otherwise the Blob is read again when the model is chosen.
      entry.glbBuffer = !state.current || state.current === entry ? scene.glb || null : null;
      entry.sceneWarnings = scene.glb ? scene.warnings : [...scene.warnings, `${entry.path}: no glTF: ${scene.report.error}`];
    }, (error) => {
      if (error instanceof Cancelled) throw error;
      entry.sceneWarnings = [`${entry.path}: no glTF: ${error.message}`];
    })
    : null;
  if (entry.scene) entry.scene.catch(() => {});
  try {
    Object.assign(entry, await conversion);
    performance.mark('torvik:converted');
  } catch (error) {
    if (error instanceof Cancelled) throw error;
    Object.assign(entry, {report: {ok: false, error: error.message, textures: []}, warnings: []});
  }
  entry.status = entry.report.ok ? 'done' : 'failed';
  entry.milliseconds = performance.now() - started;
  renderList();
  const current = state.current;
  if (!current || current === entry || entry.path === previous ||
      (current.status !== 'done' && entry.status === 'done')) {
    await select(entry);
  } else if (entry.scene) {
    await entry.scene;
  }
}

// --- the models list, the report, the downloads ---

function renderList() {
  const list = $('#models');
  list.replaceChildren(...state.entries.map((entry) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = entry.path;
    button.dataset.status = entry.status;
    button.setAttribute('aria-current', entry === state.current ? 'true' : 'false');
    const status = {waiting: 'waiting', working: 'converting', failed: 'could not be converted',
                    cancelled: 'cancelled', done: ''}[entry.status];
    if (status) button.title = status;
    button.addEventListener('click', () => select(entry));
    item.append(button);
    return item;
  }));
}

function updateDownloads() {
  const entry = state.current;
  const done = entry && entry.status === 'done';
  offer($('#download-bmf'), done ? entry.bmf : null, entry ? bmfFileName(entry.path) : '');
  offer($('#download-glb'), done && entry.glbBlob ? entry.glbBlob : null, entry ? `${stemOf(entry.path)}.glb` : '');
  offerImages(done ? entry.images || [] : []);
  $('#download-zip').disabled = !done;
  $('#download-all').disabled = state.entries.filter((model) => model.status === 'done').length < 2;
}

// A link for each image stored inside the model, under the name 3ds2bmf
// writes it beside the BMF.
function offerImages(images) {
  const list = $('#download-images');
  for (const link of list.querySelectorAll('a')) URL.revokeObjectURL(link.href);
  list.replaceChildren(...images.map((image) => {
    const link = document.createElement('a');
    offer(link, image.file, image.fileName);
    link.textContent = `Download the image ${image.fileName}`;
    const item = document.createElement('li');
    item.append(link);
    return item;
  }));
  list.hidden = images.length === 0;
}

function showNotice(entry) {
  const text = missingTexturesNotice(entry);
  $('#notice').hidden = text === '';
  $('#notice').textContent = text;
}

function unselect() {
  state.current = null;
  markUndrawn();
  if (viewer) viewer.clear();
  $('#report').replaceChildren();
  showNotice(null);
  updateDownloads();
}

async function select(entry) {
  if (state.current !== entry) {
    unselect();
    state.current = entry;
  }
  renderList();
  renderReport($('#report'), entry);
  showNotice(entry);
  updateDownloads();
  if (entry.status === 'done') await showView(entry);
}

// --- the view ---

// The view the person chose, unless the model has no scene (a BMF): then
// the BMF's, with "as authored" turned off until a .3ds is shown again.
function chosenMode(entry) {
  const authoredPossible = hasScene(entry);
  $('#view-authored').disabled = !authoredPossible;
  const mode = authoredPossible ? state.preferredMode : 'bmf';
  $(mode === 'bmf' ? '#view-bmf' : '#view-authored').checked = true;
  return mode;
}

async function showView(entry) {
  if (!viewer) return;
  markUndrawn();
  let mode = chosenMode(entry);
  try {
    if (mode === 'authored' && !viewer.hasLayer('authored')) {
      if (!(await loadAuthored(entry))) mode = 'bmf';
    }
    if (mode === 'bmf' && !viewer.hasLayer('bmf')) await loadBmfView(entry);
  } catch (error) {
    if (error instanceof Cancelled) return;
    throw error;
  }
  if (state.current !== entry) return;
  await viewer.show(mode);
  if (state.current === entry && state.job) showStage(entry, 'drawing');
  controls.refresh();
}

// The scene as authored, from the glTF the worker built.
async function loadAuthored(entry) {
  if (entry.scene) await entry.scene;
  let buffer = entry.glbBuffer;
  entry.glbBuffer = null;
  if (!buffer && entry.glbBlob) buffer = await entry.glbBlob.arrayBuffer();
  if (state.current !== entry) return true;
  updateDownloads();
  if (entry.sceneWarnings && entry.sceneWarnings.length) {
    entry.viewWarnings = entry.sceneWarnings;
    renderReport($('#report'), entry);
  }
  if (!buffer) return false;
  if (state.job) showStage(entry, 'drawing');
  const {root, gltf} = await viewer.loadGltf(buffer);
  performance.mark('torvik:parsed');
  if (state.current === entry) await viewer.setLayer('authored', root, gltf);
  performance.mark('torvik:layer');
  return true;
}

// The BMF's blocks as a host draws them, with their textures.
async function loadBmfView(entry) {
  const stage = state.job ? null : state.summary;
  progress(`${entry.path}: ${STAGES.blocks}…`);
  const {blocks, textures, problems} = await client.request('scene', {
    kind: 'blocks', bmf: entry.bmf, textures: entry.report.textures, companions: entry.companions,
    images: entry.images || []});
  if (state.current !== entry) return;
  if (problems.length) {
    entry.viewWarnings = [...(entry.viewWarnings || []), ...problems];
    renderReport($('#report'), entry);
  }
  await viewer.setLayer('bmf', blockMeshes(blocks, new Map(textures.map((texture) => [texture.name, texture]))));
  if (stage !== null) progress(stage);
}

// --- downloads made on demand ---

async function saveZip(items, name) {
  progress(`${name}: ${STAGES.zip}…`);
  try {
    const {zip, warnings} = await client.request('convert', {kind: 'zip', items});
    save(zip, name);
    progress(warnings.length ? `${name}: ${warnings.join('; ')}` : `${name} saved.`);
  } catch (error) {
    if (!(error instanceof Cancelled)) progress(`${name} could not be made: ${error.message}`);
  }
}

// --- inputs ---

function setUpInputs() {
  $('#choose-files').addEventListener('click', () => $('#pick-files').click());
  $('#choose-folder').addEventListener('click', () => $('#pick-folder').click());
  for (const id of ['#pick-files', '#pick-folder']) {
    $(id).addEventListener('change', (event) => {
      addFiles(pickedFiles(event.target));
      event.target.value = '';
    });
  }
  // Files may be dropped anywhere on the page, the view included.
  let depth = 0;
  const highlight = (on) => document.body.classList.toggle('dragging', on);
  document.addEventListener('dragenter', (event) => {
    event.preventDefault();
    depth++;
    highlight(true);
  });
  document.addEventListener('dragleave', () => {
    depth = Math.max(0, depth - 1);
    if (depth === 0) highlight(false);
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    depth = 0;
    highlight(false);
    addFiles(await droppedFiles(event.dataTransfer));
  });
  $('#clear').addEventListener('click', () => {
    stopWork();
    state.files = [];
    state.entries = [];
    unselect();
    renderList();
    state.summary = 'Drop a model to begin.';
    progress(state.summary);
  });
  $('#cancel').addEventListener('click', () => {
    stopWork();
    for (const entry of state.entries) if (entry.status === 'working' || entry.status === 'waiting') entry.status = 'cancelled';
    renderList();
    state.summary = 'Cancelled: drop the files again, or change an option, to convert them.';
    progress(state.summary);
  });
  for (const box of document.querySelectorAll('#options input, #options select')) {
    box.addEventListener('change', () => {
      if (state.files.length) convertAll(false);
    });
  }
  for (const id of ['#view-authored', '#view-bmf']) {
    $(id).addEventListener('change', () => {
      state.preferredMode = $('#view-bmf').checked ? 'bmf' : 'authored';
      if (state.current && state.current.status === 'done') showView(state.current);
    });
  }
  $('#download-zip').addEventListener('click', () => {
    const entry = state.current;
    if (entry && entry.zip) saveZip(entry.zip.items, `${stemOf(entry.path)}.zip`);
  });
  $('#download-all').addEventListener('click', () => {
    saveZip(allModelsItems(state.entries.filter((entry) => entry.status === 'done')), 'models.zip');
  });
}

async function start() {
  if (document.body.dataset.fromDisk) return;
  setUpInputs();
  setBusy(null);
  renderList();
  try {
    client = await ConverterClient.create(new URL('./worker.js', import.meta.url),
                                          new URL('./torvik32c.wasm', import.meta.url));
    ({features: state.features, options: state.options, threeDsOnly: state.threeDsOnly} =
        await client.request('convert', {kind: 'about'}));
  } catch (error) {
    progress(`The converter could not be loaded: ${error.message}`);
    return;
  }
  for (const option of state.options) {
    if (option.feature && !state.features[option.feature]) {
      const box = $(`#option-${option.key}`);
      box.disabled = true;
      box.closest('label').title = 'not available in this build';
    }
  }
  if (!state.features.gltf) {
    state.preferredMode = 'bmf';
    $('#view-authored').disabled = true;
    $('#view-bmf').checked = true;
    $('#view-authored').closest('label').title = 'needs the glTF export, not in this build';
  }
  if (viewer) await viewer.warmedUp;
  document.body.dataset.ready = 'true';
  state.summary = 'Drop a model to begin.';
  progress(state.summary);
}

start();
