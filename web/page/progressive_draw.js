// Draws a model too large for one frame over several: each frame draws the
// next share of its triangles over what the frames before it drew (the
// drawing buffer is kept), so the page never waits long for the GPU, and a
// software renderer draws a model of millions of triangles without
// freezing the page.  The share grows while frames come quickly and shrinks
// when they don't, so a real GPU draws most models in one frame.
//
// A share is drawn by putting its meshes on a layer of their own that only
// the camera's pass sees; a mesh larger than a share is drawn a range of
// its triangles at a time.
const PASS_LAYER = 31;
const TARGET_MS = 60;
const MIN_BUDGET = 40000;
const MAX_BUDGET = 1 << 26;
const INITIAL_BUDGET = 50000;

function triangleCount(mesh) {
  const geometry = mesh.geometry;
  const count = geometry.index ? geometry.index.count : geometry.attributes.position.count;
  return Math.floor(count / 3);
}

// What a triangle costs to draw, in filled triangles: a wireframe draws
// three lines for each, which a software renderer draws several times
// slower than the triangle.
const WIREFRAME_COST = 4;

const materialOf = (mesh) => (Array.isArray(mesh.material) ? mesh.material[0] : mesh.material);

function drawCost(mesh) {
  const material = materialOf(mesh);
  return material && material.wireframe ? WIREFRAME_COST : 1;
}

function drawKind(mesh) {
  const material = materialOf(mesh);
  return material ? `${material.type}${material.wireframe ? ' wireframe' : ''}` : '';
}

function shown(object) {
  for (let node = object; node; node = node.parent) if (!node.visible) return false;
  return true;
}

export class ProgressiveDraw {
  constructor(renderer) {
    this.renderer = renderer;
    // Triangles per frame, for each kind of drawing (the shown model's
    // material and wireframe): lit, unlit and wireframe drawings cost
    // differently, so each keeps the budget it has found.
    this.budgets = new Map();
    this.budget = INITIAL_BUDGET;
    this.pass = null;
    this.lastStep = 0;
  }

  get drawing() {
    return this.pass !== null;
  }

  // Begins drawing `root`'s meshes anew: opaque first, then transparent.
  start(root) {
    const opaque = [];
    const transparent = [];
    root.traverse((node) => {
      if ((node.isMesh || node.isLineSegments) && shown(node)) {
        const material = Array.isArray(node.material) ? node.material[0] : node.material;
        (material && material.transparent ? transparent : opaque).push(node);
      }
    });
    this.pass = {meshes: [...opaque, ...transparent], mesh: 0, offset: 0, first: true};
    this.lastStep = 0;
    this.kind = this.pass.meshes.length ? drawKind(this.pass.meshes[0]) : '';
    // A new drawing starts at half what the last one of its kind reached:
    // its first frame does not wait on a share sized for another view.
    this.budget = Math.max(MIN_BUDGET, Math.floor((this.budgets.get(this.kind) || 2 * INITIAL_BUDGET) / 2));
  }

  stop() {
    this.pass = null;
  }

  // Draws the next share; returns true when the pass is complete.
  step(scene, camera) {
    const now = performance.now();
    if (this.lastStep) this.adapt(now - this.lastStep);
    this.lastStep = now;
    const pass = this.pass;
    const renderer = this.renderer;
    const chosen = [];
    let left = this.budget;
    while (pass.mesh < pass.meshes.length && left > 0) {
      const mesh = pass.meshes[pass.mesh];
      const total = triangleCount(mesh);
      const weight = drawCost(mesh);
      const take = Math.min(total - pass.offset, Math.ceil(left / weight));
      chosen.push({mesh, start: pass.offset, count: take, whole: pass.offset === 0 && take === total});
      left -= Math.max(take * weight, 1);
      pass.offset += take;
      if (pass.offset >= total) {
        pass.mesh++;
        pass.offset = 0;
      }
    }
    for (const {mesh, start, count, whole} of chosen) {
      mesh.layers.enable(PASS_LAYER);
      if (!whole) mesh.geometry.setDrawRange(start * 3, count * 3);
    }
    const layers = camera.layers.mask;
    camera.layers.set(PASS_LAYER);
    renderer.autoClear = false;
    if (pass.first) renderer.clear();
    pass.first = false;
    renderer.render(scene, camera);
    camera.layers.mask = layers;
    for (const {mesh, whole} of chosen) {
      mesh.layers.disable(PASS_LAYER);
      if (!whole) mesh.geometry.setDrawRange(0, Infinity);
    }
    const done = pass.mesh >= pass.meshes.length;
    if (done) this.pass = null;
    return done;
  }

  // The time between two steps is what the last share took to reach the
  // screen: the next share is sized to take about TARGET_MS.  The budget
  // counts filled triangles (drawCost).
  adapt(milliseconds) {
    if (milliseconds < TARGET_MS * 0.6) this.budget = Math.min(MAX_BUDGET, Math.floor(this.budget * 1.5));
    else if (milliseconds > TARGET_MS * 1.5) this.budget = Math.max(MIN_BUDGET, Math.floor(this.budget * TARGET_MS / milliseconds));
    this.budgets.set(this.kind, this.budget);
  }
}

// Makes `object` seen by every pass (lights, helpers).
export function seenByPasses(object) {
  object.traverse((node) => node.layers.enableAll());
}
