// The 3D view: the BMF as the host draws it, or the scene as authored from
// its glTF, with orbit controls.
import * as THREE from './vendor/three/build/three.module.js';
import {OrbitControls} from './vendor/three/examples/jsm/controls/OrbitControls.js';
import {GLTFLoader} from './vendor/three/examples/jsm/loaders/GLTFLoader.js';
import {blockMeshes} from './bmf_mesh.js';

export class Viewer {
  constructor(canvas) {
    this.canvas = canvas;
    // The drawing buffer is kept so that the view can be read back (tests,
    // screenshots).
    this.renderer = new THREE.WebGLRenderer({canvas, antialias: true, preserveDrawingBuffer: true});
    this.renderer.setPixelRatio(window.devicePixelRatio || 1);
    this.scene = new THREE.Scene();
    this.scene.background = new THREE.Color(0x20242a);
    this.camera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
    this.scene.add(new THREE.AmbientLight(0xffffff, 0.6));
    this.light = new THREE.DirectionalLight(0xffffff, 2.0);
    this.camera.add(this.light);
    this.light.position.set(0.5, 1, 2);
    this.scene.add(this.camera);
    this.controls = new OrbitControls(this.camera, canvas);
    this.controls.addEventListener('change', () => this.render());
    this.model = null;
    new ResizeObserver(() => this.resize()).observe(canvas);
    this.resize();
  }

  resize() {
    const width = this.canvas.clientWidth || 1;
    const height = this.canvas.clientHeight || 1;
    this.renderer.setSize(width, height, false);
    this.camera.aspect = width / height;
    this.camera.updateProjectionMatrix();
    this.render();
  }

  render() {
    this.renderer.render(this.scene, this.camera);
  }

  clear() {
    if (this.model) {
      this.scene.remove(this.model);
      this.model.traverse((node) => {
        if (node.geometry) node.geometry.dispose();
        if (node.material) node.material.dispose();
      });
      this.model = null;
    }
    this.render();
  }

  show(object, keepCamera) {
    this.clear();
    this.model = object;
    this.scene.add(object);
    if (!keepCamera) this.frame(object);
    this.render();
  }

  // The BMF's blocks, as the host draws them.
  showBlocks(blocks, textureFor, lit, keepCamera) {
    this.show(blockMeshes(blocks, textureFor, lit), keepCamera);
  }

  // The scene as authored, from binary glTF bytes.
  async showGltf(glb, lit, keepCamera) {
    const gltf = await new GLTFLoader().parseAsync(glb.buffer.slice(glb.byteOffset, glb.byteOffset + glb.byteLength), '');
    if (!lit) {
      gltf.scene.traverse((node) => {
        if (node.isMesh) node.material = new THREE.MeshBasicMaterial({map: node.material.map, color: node.material.color});
      });
    }
    this.show(gltf.scene, keepCamera);
  }

  // Looks at the object from the front, a little above, at a distance that
  // fits it.
  frame(object) {
    const box = new THREE.Box3().setFromObject(object);
    if (box.isEmpty()) return;
    const centre = box.getCenter(new THREE.Vector3());
    const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-6);
    const distance = radius / Math.sin(THREE.MathUtils.degToRad(this.camera.fov / 2));
    const direction = new THREE.Vector3(0.6, 0.5, 1).normalize();
    this.camera.position.copy(centre).addScaledVector(direction, distance);
    this.camera.near = distance / 100;
    this.camera.far = distance * 100;
    this.camera.updateProjectionMatrix();
    this.controls.target.copy(centre);
    this.controls.update();
  }
}
