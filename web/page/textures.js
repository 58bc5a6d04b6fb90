// The textures the model's blocks name, decoded by the browser (PNG, JPEG,
// BMP, GIF) or by three.js (TGA), for the viewer.  BMF's v is 0 at the
// image's bottom row, as in OpenGL.
import * as THREE from './vendor/three/build/three.module.js';
import {TGALoader} from './vendor/three/examples/jsm/loaders/TGALoader.js';
import {extensionOf} from './dropped_files.js';

async function decode(path, file) {
  if (extensionOf(path) === 'tga') {
    const parsed = new TGALoader().parse(await file.arrayBuffer());
    const texture = new THREE.DataTexture(parsed.data, parsed.width, parsed.height);
    texture.flipY = parsed.flipY;
    texture.generateMipmaps = true;
    texture.minFilter = THREE.LinearMipmapLinearFilter;
    texture.needsUpdate = true;
    return texture;
  }
  const bitmap = await createImageBitmap(file, {imageOrientation: 'flipY'});
  const texture = new THREE.Texture(bitmap);
  texture.flipY = false;
  texture.needsUpdate = true;
  return texture;
}

// Loads every texture found: a Map from the stored name to its texture, and
// the problems ("texture "X.TIF": the browser can't decode crate_maps/x.tif").
export async function loadTextures(resolutions, files) {
  const byPath = new Map(files.map((entry) => [entry.path, entry.file]));
  const textures = new Map();
  const problems = [];
  for (const resolution of resolutions) {
    if (!resolution.path) continue;
    const file = byPath.get(resolution.path);
    if (!file) continue;
    try {
      const texture = await decode(resolution.path, file);
      texture.wrapS = texture.wrapT = THREE.RepeatWrapping;
      texture.colorSpace = THREE.SRGBColorSpace;
      textures.set(resolution.name, texture);
    } catch (error) {
      problems.push(`texture ${JSON.stringify(resolution.name)}: the browser can't decode ${resolution.path}`);
    }
  }
  return {textures, problems};
}
