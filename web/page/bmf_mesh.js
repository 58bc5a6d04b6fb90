// three.js meshes for BMF blocks, drawn as a host draws them.  A BMF's axes
// are those of a left-handed renderer (y up), so its points go to three.js's
// right-handed space at (x, y, -z); that mirror turns the faces a host sees
// as front (its winding) the other way round, so each triangle's last two
// corners are exchanged.  A model whose faces point inward shows it here.
import * as THREE from './vendor/three/build/three.module.js';

// Every vertex record is u v i j k x y z.
const STRIDE = 8;

export function blockGeometry(block) {
  const count = block.vertices.length / STRIDE;
  const positions = new Float32Array(count * 3);
  const normals = new Float32Array(count * 3);
  const uvs = new Float32Array(count * 2);
  for (let v = 0; v < count; v++) {
    const record = v * STRIDE;
    uvs[v * 2] = block.vertices[record];
    uvs[v * 2 + 1] = block.vertices[record + 1];
    normals[v * 3] = block.vertices[record + 2];
    normals[v * 3 + 1] = block.vertices[record + 3];
    normals[v * 3 + 2] = -block.vertices[record + 4];
    positions[v * 3] = block.vertices[record + 5];
    positions[v * 3 + 1] = block.vertices[record + 6];
    positions[v * 3 + 2] = -block.vertices[record + 7];
  }
  const indices = new Uint16Array(block.triangles.length);
  for (let t = 0; t < block.triangles.length; t += 3) {
    indices[t] = block.triangles[t];
    indices[t + 1] = block.triangles[t + 2];
    indices[t + 2] = block.triangles[t + 1];
  }
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
  geometry.setAttribute('normal', new THREE.BufferAttribute(normals, 3));
  geometry.setAttribute('uv', new THREE.BufferAttribute(uvs, 2));
  geometry.setIndex(new THREE.BufferAttribute(indices, 1));
  geometry.computeBoundingSphere();
  return geometry;
}

function colour(rgba) {
  return new THREE.Color().setRGB(rgba[0], rgba[1], rgba[2], THREE.SRGBColorSpace);
}

// One mesh per block: its texture (when found) or its diffuse colour, lit
// or not.  `textureFor(name)` gives the block's THREE.Texture or null.
export function blockMeshes(blocks, textureFor, lit) {
  const group = new THREE.Group();
  for (const block of blocks) {
    if (block.triangles.length === 0) continue;
    const map = textureFor(block.texture);
    const parameters = {color: map ? new THREE.Color(1, 1, 1) : colour(block.diffuse), map};
    const material = lit ? new THREE.MeshLambertMaterial(parameters)
                         : new THREE.MeshBasicMaterial(parameters);
    group.add(new THREE.Mesh(blockGeometry(block), material));
  }
  return group;
}
