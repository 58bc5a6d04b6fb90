// The 3D view: a three.js scene that shows one model at a time, in one of
// its layers ('authored': the scene from its glTF; 'bmf': the BMF as a host
// draws it), with orbit controls by mouse, touch and keyboard, and the
// usual viewer's settings (lighting, wireframe, grid, what is shown).
//
// Nothing is parsed again when a setting changes: lighting swaps each
// mesh's material for its unlit twin, wireframe and visibility flip flags.
// The view is drawn on demand (ProgressiveDraw spreads a large model over
// several frames).  Events, for whatever is built on the view:
//   'layer'  {name, root, gltf}  a layer was set (gltf: the GLTFLoader
//            result, with its animations, cameras and lights, or null)
//   'drawn'  {}                  the view is complete on screen
//   'frame'  {delta}             before each frame is drawn (seconds)
//   'cleared'
//   'shown'  {name}              the layer shown changed
//   'resized'                    the canvas changed size
// keepDrawing(key, on) draws every frame while any key is on (animation
// playback); camera(camera) draws through another camera (null: the
// viewer's own).
import * as THREE from './vendor/three/build/three.module.js';
import {OrbitControls} from './vendor/three/examples/jsm/controls/OrbitControls.js';
import {GLTFLoader} from './vendor/three/examples/jsm/loaders/GLTFLoader.js';
import {ProgressiveDraw, seenByPasses} from './progressive_draw.js';

const BACKGROUND = 0x20242a;
const KEY_ANGLE = Math.PI / 36;  // 5 degrees a key press
const KEY_PAN = 20;               // pixels a key press
const KEY_ZOOM = 1.15;

// Whether WebGL is drawn by the CPU (SwiftShader, llvmpipe): there,
// antialiasing costs more than it gives.
function softwareRendering() {
  try {
    const gl = document.createElement('canvas').getContext('webgl2');
    const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
    const name = info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : '';
    gl?.getExtension('WEBGL_lose_context')?.loseContext();
    return /swiftshader|llvmpipe|software/i.test(name);
  } catch {
    return false;
  }
}

function disposeMaterial(material, textures) {
  for (const value of Object.values(material)) if (value && value.isTexture) textures.add(value);
  material.dispose();
}

// Frees everything under `root` on the GPU: geometries, materials (both
// twins) and their textures, and the images behind them.
function disposeTree(root) {
  const textures = new Set();
  root.traverse((node) => {
    if (node.geometry) node.geometry.dispose();
    const twins = node.userData.twins;
    const materials = twins ? [twins.lit, twins.unlit] : node.material ? [node.material].flat() : [];
    for (const material of materials) disposeMaterial(material, textures);
  });
  for (const texture of textures) {
    texture.dispose();
    if (texture.image && typeof texture.image.close === 'function') texture.image.close();
  }
}

// Each mesh gets its lit material and an unlit twin showing the same
// colours and texture.
function prepareMaterials(root) {
  root.traverse((node) => {
    if (!node.isMesh) return;
    const lit = node.material;
    const unlit = new THREE.MeshBasicMaterial({
      color: lit.color, map: lit.map, transparent: lit.transparent, opacity: lit.opacity, side: lit.side,
      alphaTest: lit.alphaTest, vertexColors: lit.vertexColors, name: lit.name,
    });
    node.userData.twins = {lit, unlit};
  });
}

const nextFrame = () => new Promise((resolve) => requestAnimationFrame(resolve));

// The box around the meshes of `root` that are shown: a hidden object and
// everything in it are left out.
function shownBox(root) {
  const box = new THREE.Box3();
  const part = new THREE.Box3();
  root.updateWorldMatrix(true, true);
  const visit = (node) => {
    if (!node.visible) return;
    if (node.isMesh) {
      if (!node.geometry.boundingBox) node.geometry.computeBoundingBox();
      box.union(part.copy(node.geometry.boundingBox).applyMatrix4(node.matrixWorld));
    }
    for (const child of node.children) visit(child);
  };
  visit(root);
  return box;
}

export class Viewer extends EventTarget {
  constructor(canvas) {
    super();
    this.canvas = canvas;
    // The drawing buffer is kept: a large model is drawn over several
    // frames, and the picture can be saved or read back.
    this.renderer = new THREE.WebGLRenderer({canvas, antialias: !softwareRendering(), preserveDrawingBuffer: true});
    this.renderer.setPixelRatio(Math.min(window.devicePixelRatio || 1, 2));
    this.renderer.setClearColor(BACKGROUND, 1);
    this.scene = new THREE.Scene();
    this.ownCamera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
    this.activeCamera = this.ownCamera;
    const ambient = new THREE.AmbientLight(0xffffff, 0.6);
    const headlight = new THREE.DirectionalLight(0xffffff, 2.0);
    headlight.position.set(0.5, 1, 2);
    this.ownCamera.add(headlight);
    this.scene.add(ambient, this.ownCamera);
    this.lights = [ambient, headlight];
    seenByPasses(ambient);
    seenByPasses(headlight);
    this.grid = null;
    this.layers = new Map();
    this.mode = 'authored';
    // fileLights: a layer's own lights (a glTF's) light it instead of the
    // viewer's, when it has any.
    this.settings = {lit: true, wireframe: false, grid: false, fileLights: true};
    this.progressive = new ProgressiveDraw(this.renderer);
    this.keepers = new Set();
    this.dirty = false;
    this.frameRequested = false;
    this.lastFrame = 0;
    this.controls = new OrbitControls(this.ownCamera, canvas);
    this.controls.addEventListener('change', () => this.requestDraw());
    canvas.addEventListener('keydown', (event) => this.onKey(event));
    new ResizeObserver(() => this.resize()).observe(canvas);
    this.resize();
    this.warmedUp = this.warmUp();
  }

  // Draws one tiny triangle with each kind of material the view uses, once,
  // while the page is idle: the shaders are compiled then rather than in
  // the middle of showing the first model (a software renderer takes
  // hundreds of milliseconds for each).
  async warmUp() {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(9), 3));
    geometry.setAttribute('normal', new THREE.BufferAttribute(new Float32Array([0, 0, 1, 0, 0, 1, 0, 0, 1]), 3));
    geometry.setAttribute('uv', new THREE.BufferAttribute(new Float32Array(6), 2));
    geometry.setIndex(new THREE.BufferAttribute(new Uint16Array([0, 1, 2]), 1));
    const map = new THREE.DataTexture(new Uint8Array([255, 255, 255, 255]), 1, 1);
    map.colorSpace = THREE.SRGBColorSpace;
    map.needsUpdate = true;
    const group = new THREE.Group();
    for (const Material of [THREE.MeshStandardMaterial, THREE.MeshLambertMaterial, THREE.MeshBasicMaterial]) {
      for (const side of [THREE.FrontSide, THREE.DoubleSide]) {
        for (const textured of [false, true]) group.add(new THREE.Mesh(geometry, new Material({side, map: textured ? map : null})));
      }
    }
    this.scene.add(group);
    await this.compile(group);
    this.renderer.render(this.scene, this.ownCamera);
    await nextFrame();
    this.scene.remove(group);
    // The materials stay: three.js keeps a shader only while a material
    // that uses it is alive, and the models' materials find them here.
    this.warmMaterials = group.children.map((mesh) => mesh.material);
    geometry.dispose();
    this.requestDraw();
  }

  resize() {
    const width = this.canvas.clientWidth || 1;
    const height = this.canvas.clientHeight || 1;
    if (this.size && this.size.width === width && this.size.height === height) return;
    this.size = {width, height};
    this.renderer.setSize(width, height, false);
    this.ownCamera.aspect = width / height;
    this.ownCamera.updateProjectionMatrix();
    this.dispatchEvent(new CustomEvent('resized'));
    this.requestDraw();
  }

  // --- drawing ---

  requestDraw() {
    this.dirty = true;
    if (this.frameRequested) return;
    this.frameRequested = true;
    requestAnimationFrame((now) => this.frame(now));
  }

  frame(now) {
    this.frameRequested = false;
    const delta = this.lastFrame ? (now - this.lastFrame) / 1000 : 0;
    this.lastFrame = now;
    if (this.keepers.size > 0) this.dirty = true;
    if (this.dirty) {
      this.dirty = false;
      this.dispatchEvent(new CustomEvent('frame', {detail: {delta}}));
      this.progressive.start(this.shownRoot || new THREE.Group());
    }
    if (this.progressive.drawing && this.progressive.step(this.scene, this.activeCamera) && !this.dirty) {
      this.afterDrawn();
    }
    if (this.progressive.drawing || this.dirty || this.keepers.size > 0) {
      this.frameRequested = true;
      requestAnimationFrame((time) => this.frame(time));
    } else {
      this.lastFrame = 0;
    }
  }

  // 'drawn' once the frame that completed the picture has reached the
  // screen.
  afterDrawn() {
    requestAnimationFrame(() => {
      if (!this.progressive.drawing && !this.dirty) this.dispatchEvent(new CustomEvent('drawn'));
    });
  }

  // The picture as drawn, once complete: a PNG Blob.
  async picture() {
    if (this.progressive.drawing || this.dirty) {
      await new Promise((resolve) => this.addEventListener('drawn', resolve, {once: true}));
    }
    return new Promise((resolve) => this.canvas.toBlob(resolve, 'image/png'));
  }

  keepDrawing(key, on) {
    if (on) this.keepers.add(key);
    else this.keepers.delete(key);
    this.requestDraw();
  }

  camera(camera) {
    this.activeCamera = camera || this.ownCamera;
    this.controls.enabled = this.activeCamera === this.ownCamera;
    this.requestDraw();
  }

  // --- the model ---

  // Parses binary glTF bytes into a layer root (the GLTFLoader result
  // comes along as `gltf`).
  async loadGltf(buffer) {
    const gltf = await new GLTFLoader().parseAsync(buffer, '');
    return {root: gltf.scene, gltf};
  }

  // Sets the layer's model (replacing what it had), drawn when the layer is
  // the one shown.  The camera is aimed at the first model shown since the
  // last clear().
  async setLayer(name, root, gltf = null) {
    prepareMaterials(root);
    this.applySettings(root);
    const lights = [];
    root.traverse((node) => {
      if (node.isLight) lights.push(node);
    });
    for (const light of lights) seenByPasses(light);
    root.userData.lights = lights;
    const shown = name === this.mode;
    // The shaders are compiled for the lights that will draw it.
    if (shown) this.useLights(root);
    if (shown) await this.compile(root);
    // The layer joins the scene and the next frame at once, so that no
    // frame drawn before counts as drawing it.
    this.dropLayer(name);
    root.visible = shown;
    this.layers.set(name, {root, gltf});
    this.scene.add(root);
    if (shown && !this.aimed) this.resetView();
    this.dispatchEvent(new CustomEvent('layer', {detail: {name, root, gltf}}));
    this.requestDraw();
  }

  // Compiles the shaders `root` needs before it is drawn.  Where the GPU
  // can't say when a shader is ready, two frames give it the time, so that
  // the first frame that draws the model does not wait for the compiler.
  async compile(root) {
    await this.renderer.compileAsync(root, this.ownCamera, this.scene);
    if (!this.renderer.extensions.has('KHR_parallel_shader_compile')) {
      await nextFrame();
      await nextFrame();
    }
  }

  hasLayer(name) {
    return this.layers.has(name);
  }

  dropLayer(name) {
    const layer = this.layers.get(name);
    if (!layer) return;
    this.scene.remove(layer.root);
    disposeTree(layer.root);
    this.layers.delete(name);
  }

  // Shows the layer: `name` is 'authored' or 'bmf'.
  async show(name) {
    const layer = this.layers.get(name);
    if (name === this.mode && (!layer || layer.root.visible)) return;
    this.useLights(layer ? layer.root : null);
    if (layer) await this.compile(layer.root);
    this.mode = name;
    for (const [layerName, each] of this.layers) each.root.visible = layerName === name;
    if (layer && !this.aimed) this.resetView();
    this.updateGrid();
    this.dispatchEvent(new CustomEvent('shown', {detail: {name}}));
    this.requestDraw();
  }

  get shownRoot() {
    const layer = this.layers.get(this.mode);
    return layer ? layer.root : null;
  }

  // Frees every model and its GPU memory.
  clear() {
    for (const name of [...this.layers.keys()]) this.dropLayer(name);
    this.removeGrid();
    this.aimed = false;
    this.renderer.renderLists.dispose();
    this.camera(null);
    this.dispatchEvent(new CustomEvent('cleared'));
    this.requestDraw();
  }

  // --- settings ---

  applySettings(root) {
    root.traverse((node) => {
      const twins = node.userData.twins;
      if (!twins) return;
      node.material = this.settings.lit ? twins.lit : twins.unlit;
      twins.lit.wireframe = twins.unlit.wireframe = this.settings.wireframe;
    });
  }

  // The viewer's lights, or the layer's own when it has some and the
  // settings say so.
  useLights(root) {
    const own = root && this.settings.fileLights ? root.userData.lights || [] : [];
    for (const light of this.lights) light.visible = own.length === 0;
    for (const {root: each} of this.layers.values()) {
      for (const light of each.userData.lights || []) light.visible = own.length > 0;
    }
  }

  async set(setting, on) {
    this.settings[setting] = on;
    if (setting === 'fileLights') this.useLights(this.shownRoot);
    if (setting === 'grid') {
      this.updateGrid();
    } else {
      for (const {root} of this.layers.values()) this.applySettings(root);
      const root = this.shownRoot;
      if (root) await this.compile(root);
    }
    this.requestDraw();
  }

  setVisible(object, visible) {
    object.visible = visible;
    this.requestDraw();
  }

  removeGrid() {
    if (!this.grid) return;
    this.scene.remove(this.grid);
    this.grid.geometry.dispose();
    this.grid.material.dispose();
    this.grid = null;
  }

  // A grid under the shown model, as wide as the model.
  updateGrid() {
    this.removeGrid();
    const root = this.shownRoot;
    if (!this.settings.grid || !root) return;
    const box = new THREE.Box3().setFromObject(root);
    if (box.isEmpty()) return;
    const size = box.getSize(new THREE.Vector3());
    const span = Math.max(size.x, size.z) * 1.5 || 1;
    const step = 10 ** Math.floor(Math.log10(span / 4));
    const divisions = Math.min(200, Math.ceil(span / step));
    this.grid = new THREE.GridHelper(divisions * step, divisions, 0x8899aa, 0x445566);
    this.grid.position.set((box.min.x + box.max.x) / 2, box.min.y, (box.min.z + box.max.z) / 2);
    seenByPasses(this.grid);
    this.scene.add(this.grid);
    this.requestDraw();
  }

  // --- the camera ---

  // Looks at the shown model from the front, a little above, at a distance
  // that fits the objects shown (those hidden, a sky dome say, don't count;
  // all of them when every one is hidden); zooming out stops at 20 times
  // that distance.
  resetView() {
    const root = this.shownRoot;
    if (!root) return;
    let box = shownBox(root);
    if (box.isEmpty()) box = new THREE.Box3().setFromObject(root);
    if (box.isEmpty()) return;
    this.aimed = true;
    const camera = this.ownCamera;
    const centre = box.getCenter(new THREE.Vector3());
    const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-6);
    const distance = radius / Math.sin(THREE.MathUtils.degToRad(camera.fov / 2));
    const direction = new THREE.Vector3(0.6, 0.5, 1).normalize();
    camera.position.copy(centre).addScaledVector(direction, distance);
    camera.near = distance / 100;
    camera.far = distance * 100;
    camera.updateProjectionMatrix();
    this.controls.target.copy(centre);
    this.controls.minDistance = radius / 100;
    this.controls.maxDistance = distance * 20;
    this.controls.update();
    this.requestDraw();
  }

  // Arrows turn the model, Shift and the arrows move it, + and - zoom, Home
  // (or 0) goes back to the first view.
  onKey(event) {
    const controls = this.controls;
    if (!controls.enabled || event.altKey || event.ctrlKey || event.metaKey) return;
    const pan = event.shiftKey;
    const actions = {
      ArrowLeft: () => (pan ? controls.pan(KEY_PAN, 0) : controls.rotateLeft(KEY_ANGLE)),
      ArrowRight: () => (pan ? controls.pan(-KEY_PAN, 0) : controls.rotateLeft(-KEY_ANGLE)),
      ArrowUp: () => (pan ? controls.pan(0, KEY_PAN) : controls.rotateUp(KEY_ANGLE)),
      ArrowDown: () => (pan ? controls.pan(0, -KEY_PAN) : controls.rotateUp(-KEY_ANGLE)),
      '+': () => controls.dollyOut(KEY_ZOOM),
      '=': () => controls.dollyOut(KEY_ZOOM),
      '-': () => controls.dollyIn(KEY_ZOOM),
      Home: () => this.resetView(),
      0: () => this.resetView(),
    };
    const action = actions[event.key];
    if (!action) return;
    event.preventDefault();
    action();
    this.requestDraw();
  }

  // --- what is shown ---

  // Counts over the shown layer.  What is drawn counts each mesh the view
  // draws (an instance as often as it is placed, a hidden object not at
  // all): meshes drawn, triangles drawn.  What is stored counts the model's
  // data once, shown or hidden (a vertex table shared by several meshes, as
  // a glTF mesh's parts share one, once): triangles stored, vertices
  // stored, the figures of the glTF or the BMF.  Then the objects, and the
  // materials and textures of the meshes drawn.
  statistics() {
    const root = this.shownRoot;
    const counts = {objects: 0, meshesDrawn: 0, trianglesDrawn: 0, trianglesStored: 0, verticesStored: 0,
                    materials: 0, textures: 0};
    if (!root) return counts;
    const materials = new Set();
    const textures = new Set();
    const indices = new Set();
    const positions = new Set();
    const triangles = (geometry) =>
      Math.floor((geometry.index ? geometry.index.count : geometry.attributes.position.count) / 3);
    counts.objects = root.children.length;
    const visit = (node, shown) => {
      shown = shown && node.visible;
      if (node.isMesh) {
        const geometry = node.geometry;
        const index = geometry.index || geometry;
        if (!indices.has(index)) {
          indices.add(index);
          counts.trianglesStored += triangles(geometry);
        }
        positions.add(geometry.attributes.position);
        if (shown) {
          counts.meshesDrawn++;
          counts.trianglesDrawn += triangles(geometry);
          const material = node.userData.twins ? node.userData.twins.lit : node.material;
          materials.add(material);
          if (material.map) textures.add(material.map);
        }
      }
      for (const child of node.children) visit(child, shown);
    };
    visit(root, true);
    for (const position of positions) counts.verticesStored += position.count;
    counts.materials = materials.size;
    counts.textures = textures.size;
    return counts;
  }
}
