// The scene in motion, under the view: plays the glTF's animation as soon
// as an animated model is shown (play/pause, a time slider with the frame
// number), lists the file's cameras to look through one (the viewer's own
// orbit stays the default), and offers the choice between the file's own
// lights, which light the "as authored" view when it has any (the viewer's
// fileLights setting), and the viewer's.
import * as THREE from './vendor/three/build/three.module.js';

// The glTF's frames per second (3ds2bmf --gltf's default): frame f plays at
// f / 30 seconds.
const FRAMES_PER_SECOND = 30;

const $ = (selector) => document.querySelector(selector);

export function setUpScenePlayer(viewer) {
  const ui = {
    box: $('#scene-controls'), animation: $('#animation'), play: $('#play'), time: $('#time'),
    frame: $('#frame'), cameraBox: $('#camera-choice'), cameras: $('#cameras'),
    lightsBox: $('#lights-choice'), fileLights: $('#file-lights'),
  };
  let mixer = null;
  let action = null;
  let cameras = [];
  let lights = [];
  let playing = false;

  const showTime = () => {
    const frame = action ? Math.round(action.time * FRAMES_PER_SECOND) : 0;
    ui.time.value = String(frame);
    ui.frame.textContent = `frame ${frame}`;
    ui.box.dataset.frame = String(frame);
  };
  const setPlaying = (on) => {
    playing = on && !!action;
    ui.play.textContent = playing ? 'Pause' : 'Play';
    ui.play.setAttribute('aria-pressed', String(playing));
    viewer.keepDrawing('animation', playing);
  };
  const lookThrough = (index) => {
    const camera = cameras[index] || null;
    if (camera) {
      camera.aspect = viewer.size.width / viewer.size.height;
      camera.updateProjectionMatrix();
    }
    viewer.camera(camera);
  };

  const setScene = (root, gltf) => {
    setPlaying(false);
    if (mixer) mixer.stopAllAction();
    mixer = action = null;
    cameras = [];
    lights = [];
    const clip = gltf && gltf.animations && gltf.animations[0];
    if (root && clip && clip.duration > 0) {
      mixer = new THREE.AnimationMixer(root);
      action = mixer.clipAction(clip);
      action.play();
      ui.time.max = String(Math.round(clip.duration * FRAMES_PER_SECOND));
    }
    if (root) {
      root.traverse((node) => {
        if (node.isCamera) cameras.push(node);
        if (node.isLight) lights.push(node);
      });
    }
    ui.cameras.replaceChildren(new Option('the viewer\'s own', ''),
                               ...cameras.map((camera, index) => new Option(camera.name || `camera ${index + 1}`, String(index))));
    ui.animation.hidden = !action;
    ui.cameraBox.hidden = cameras.length === 0;
    ui.lightsBox.hidden = lights.length === 0;
    ui.box.hidden = !action && cameras.length === 0 && lights.length === 0;
    ui.box.dataset.cameras = String(cameras.length);
    ui.box.dataset.lights = String(lights.length);
    viewer.camera(null);
    showTime();
    setPlaying(!!action);
  };

  viewer.addEventListener('layer', (event) => {
    if (event.detail.name === 'authored') setScene(event.detail.root, event.detail.gltf);
  });
  viewer.addEventListener('cleared', () => setScene(null, null));
  viewer.addEventListener('shown', () => {
    // The cameras belong to the authored scene.
    if (viewer.mode !== 'authored') {
      ui.cameras.value = '';
      viewer.camera(null);
    }
  });
  viewer.addEventListener('frame', (event) => {
    if (!mixer || !playing) return;
    mixer.update(event.detail.delta);
    showTime();
  });
  viewer.addEventListener('resized', () => lookThrough(Number(ui.cameras.value === '' ? -1 : ui.cameras.value)));

  ui.play.addEventListener('click', () => setPlaying(!playing));
  ui.time.addEventListener('input', () => {
    if (!action) return;
    setPlaying(false);
    action.time = Number(ui.time.value) / FRAMES_PER_SECOND;
    mixer.update(0);
    showTime();
    viewer.requestDraw();
  });
  ui.cameras.addEventListener('change', () => lookThrough(ui.cameras.value === '' ? -1 : Number(ui.cameras.value)));
  ui.fileLights.addEventListener('change', () => viewer.set('fileLights', ui.fileLights.checked));
  setScene(null, null);
}
