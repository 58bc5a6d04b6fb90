// three.js meshes for BMF blocks, drawn as a host draws them.  A BMF's axes
// are those of a left-handed renderer (y up), so the model is mirrored to
// three.js's right-handed space by a scale of -1 on z; three.js turns the
// faces it calls front with the mirror, so each triangle's winding stays the
// one a host sees as front.  A model whose faces point inward shows it here.
// The vertex tables are drawn as they are stored (u v i j k x y z), not
// copied apart.
import * as THREE from './vendor/three/build/three.module.js';

const STRIDE = 8;

export function blockGeometry(block) {
  const interleaved = new THREE.InterleavedBuffer(block.vertices, STRIDE);
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('uv', new THREE.InterleavedBufferAttribute(interleaved, 2, 0));
  geometry.setAttribute('normal', new THREE.InterleavedBufferAttribute(interleaved, 3, 2));
  geometry.setAttribute('position', new THREE.InterleavedBufferAttribute(interleaved, 3, 5));
  geometry.setIndex(new THREE.BufferAttribute(block.triangles, 1));
  geometry.computeBoundingSphere();
  return geometry;
}

function colour(rgba) {
  return new THREE.Color().setRGB(rgba[0], rgba[1], rgba[2], THREE.SRGBColorSpace);
}

// A THREE.Texture from what the worker decoded (textures.js).
export function textureOf(decoded) {
  let texture;
  if (decoded.bitmap) {
    texture = new THREE.Texture(decoded.bitmap);
    texture.flipY = false;
  } else {
    texture = new THREE.DataTexture(decoded.data, decoded.width, decoded.height);
    texture.flipY = decoded.flipY;
    texture.generateMipmaps = true;
    texture.minFilter = THREE.LinearMipmapLinearFilter;
  }
  texture.wrapS = texture.wrapT = THREE.RepeatWrapping;
  texture.colorSpace = THREE.SRGBColorSpace;
  texture.needsUpdate = true;
  return texture;
}

// One mesh per block, named after its texture or colour: its texture (when
// found) or its diffuse colour.  `textures` maps stored names to decoded
// textures.
export function blockMeshes(blocks, textures) {
  const group = new THREE.Group();
  group.scale.set(1, 1, -1);
  const made = new Map();
  const textureFor = (name) => {
    if (!textures.has(name)) return null;
    if (!made.has(name)) made.set(name, textureOf(textures.get(name)));
    return made.get(name);
  };
  blocks.forEach((block, index) => {
    if (block.triangles.length === 0) return;
    const map = textureFor(block.texture);
    const material = new THREE.MeshLambertMaterial({color: map ? new THREE.Color(1, 1, 1) : colour(block.diffuse), map});
    const mesh = new THREE.Mesh(blockGeometry(block), material);
    mesh.name = `block ${index + 1}: ${block.texture || 'colour #' + colour(block.diffuse).getHexString()}`;
    group.add(mesh);
  });
  return group;
}
