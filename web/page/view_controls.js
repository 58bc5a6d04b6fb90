// The view's controls beside the canvas: the settings (lighting, wireframe,
// grid, statistics), reset view, full screen, saving the picture, and the
// list of objects with a box each to hide or show it.  Controls that work
// on the view tell the page through `onChange(what)` so it can say when the
// view is drawn again.  More controls (animation, cameras, lights) go in
// #view-controls beside these.
import {save} from './downloads.js';

const $ = (selector) => document.querySelector(selector);

function statisticsList(counts) {
  const rows = [['objects', counts.objects], ['meshes', counts.meshes], ['triangles', counts.triangles],
                ['vertices', counts.vertices], ['materials', counts.materials], ['textures', counts.textures]];
  return rows.map(([name, value]) => {
    const pair = document.createElement('div');
    const term = document.createElement('dt');
    term.textContent = name;
    const detail = document.createElement('dd');
    detail.textContent = value.toLocaleString('en');
    pair.append(term, detail);
    return pair;
  });
}

// The object list is built when it is opened: a scene may have thousands.
function objectItems(viewer, onChange) {
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
    });
    label.append(box, ` ${object.name || `object ${index + 1}`}`);
    item.append(label);
    return item;
  });
}

export function setUpViewControls(viewer, {onChange, pictureName}) {
  const refresh = () => {
    const stats = $('#stats');
    stats.hidden = !$('#statistics').checked;
    if (!stats.hidden) stats.replaceChildren(...statisticsList(viewer.statistics()));
    const objects = $('#objects');
    if (objects.open) $('#object-list').replaceChildren(...objectItems(viewer, onChange));
    objects.hidden = !viewer.shownRoot;
  };
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
