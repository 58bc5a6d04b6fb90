// The view's controls beside the canvas: the settings (lighting, wireframe,
// grid, statistics), reset view, full screen, saving the picture, and the
// list of objects with a box each to hide or show it, a search that narrows
// it, and a button that frames the objects shown.  Controls that work
// on the view tell the page through `onChange(what)` so it can say when the
// view is drawn again.  More controls (animation, cameras, lights) go in
// #view-controls beside these.
import {save} from './downloads.js';

const $ = (selector) => document.querySelector(selector);

// The statistics: what the view draws (each instance as often as it is
// placed, hidden objects not at all) and what the model stores (each vertex
// and triangle once, as the glTF or the BMF holds them).
function statisticsList(counts) {
  const rows = [
    ['objects', counts.objects, 'the objects of the scene, shown or hidden'],
    ['meshes drawn', counts.meshesDrawn, 'the meshes drawn: each instance once, hidden objects not at all'],
    ['triangles drawn', counts.trianglesDrawn, 'the triangles drawn: each instance\'s, hidden objects\' not at all'],
    ['triangles stored', counts.trianglesStored, 'the triangles the model stores, each once'],
    ['vertices stored', counts.verticesStored, 'the vertices the model stores (the glTF\'s or the BMF\'s), each once'],
    ['materials', counts.materials, 'the materials of the meshes drawn'],
    ['textures', counts.textures, 'the textures of the meshes drawn'],
  ];
  return rows.map(([name, value, meaning]) => {
    const pair = document.createElement('div');
    pair.title = meaning;
    const term = document.createElement('dt');
    term.textContent = name;
    const detail = document.createElement('dd');
    detail.textContent = value.toLocaleString('en');
    pair.append(term, detail);
    return pair;
  });
}

// The object list is built when it is opened: a scene may have thousands.
// Each box hides or shows its object and the statistics follow.
function objectItems(viewer, onChange, afterChange) {
  const root = viewer.shownRoot;
  if (!root) return [];
  return root.children.map((object, index) => {
    const item = document.createElement('li');
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = object.visible;
    box.addEventListener('change', () => {
      onChange('visibility');
      viewer.setVisible(object, box.checked);
      afterChange();
    });
    const name = object.name || `object ${index + 1}`;
    item.dataset.name = name.toLowerCase();
    label.append(box, ` ${name}`);
    item.append(label);
    return item;
  });
}

// Shows the objects whose names hold the search's text (any case), and says
// how many that is.
function filterObjects() {
  const text = $('#object-search').value.trim().toLowerCase();
  const items = [...$('#object-list').children];
  let shown = 0;
  for (const item of items) {
    item.hidden = text !== '' && !item.dataset.name.includes(text);
    if (!item.hidden) shown++;
  }
  $('#object-count').textContent = text === '' ? `${items.length.toLocaleString('en')} objects`
      : `${shown.toLocaleString('en')} of ${items.length.toLocaleString('en')} objects`;
}

export function setUpViewControls(viewer, {onChange, pictureName}) {
  const refreshStatistics = () => {
    const stats = $('#stats');
    stats.hidden = !$('#statistics').checked;
    if (!stats.hidden) stats.replaceChildren(...statisticsList(viewer.statistics()));
  };
  const refresh = () => {
    refreshStatistics();
    const objects = $('#objects');
    if (objects.open) {
      $('#object-list').replaceChildren(...objectItems(viewer, onChange, refreshStatistics));
      filterObjects();
    }
    objects.hidden = !viewer.shownRoot;
  };
  $('#object-search').addEventListener('input', filterObjects);
  $('#frame-shown').addEventListener('click', () => {
    onChange('camera');
    viewer.resetView();
  });
  for (const setting of ['lighting', 'wireframe', 'grid']) {
    $(`#${setting}`).addEventListener('change', async (event) => {
      onChange(setting);
      await viewer.set(setting === 'lighting' ? 'lit' : setting, event.target.checked);
    });
  }
  $('#statistics').addEventListener('change', refresh);
  $('#objects').addEventListener('toggle', refresh);
  $('#reset-view').addEventListener('click', () => {
    onChange('camera');
    viewer.resetView();
  });
  const stage = $('#stage');
  $('#fullscreen').addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else stage.requestFullscreen().then(() => $('#view').focus(), () => {});
  });
  document.addEventListener('fullscreenchange', () => {
    $('#fullscreen').textContent = document.fullscreenElement ? 'Leave full screen' : 'Full screen';
  });
  $('#save-picture').addEventListener('click', async () => {
    save(await viewer.picture(), pictureName());
  });
  viewer.addEventListener('layer', refresh);
  viewer.addEventListener('cleared', refresh);
  return {refresh};
}
