// The textures a BMF's blocks name, decoded in the worker for the view:
// PNG, JPEG, BMP and GIF by the browser, TGA by three.js's TGALoader (loaded
// only when a TGA turns up).  BMF's v is 0 at the image's bottom row, as in
// OpenGL, so images are flipped as they are decoded.
import {extensionOf} from './dropped_files.js';

// Whether the bytes begin as a PNG, JPEG, GIF or BMP does: an image stored
// inside a glTF keeps its PNG or JPEG bytes under the name the BMF gives it
// (CRATE.TGA, say).
async function browserDecodes(file) {
  const head = new Uint8Array(await file.slice(0, 4).arrayBuffer());
  const starts = (...bytes) => bytes.every((byte, i) => head[i] === byte);
  return starts(0x89, 0x50, 0x4e, 0x47) || starts(0xff, 0xd8, 0xff) || starts(0x47, 0x49, 0x46) || starts(0x42, 0x4d);
}

// {bitmap} (an ImageBitmap, transferable) or {data, width, height, flipY}.
export async function decodeTexture(path, file) {
  if (extensionOf(path) === 'tga' && !(await browserDecodes(file))) {
    const {TGALoader} = await import('./vendor/three/examples/jsm/loaders/TGALoader.js');
    const parsed = new TGALoader().parse(await file.arrayBuffer());
    return {data: parsed.data, width: parsed.width, height: parsed.height, flipY: parsed.flipY};
  }
  return {bitmap: await createImageBitmap(file, {imageOrientation: 'flipY'})};
}
