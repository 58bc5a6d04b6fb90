// The textures a BMF's blocks name, decoded in the worker for the view:
// PNG, JPEG, BMP and GIF by the browser, TGA by three.js's TGALoader (loaded
// only when a TGA turns up).  BMF's v is 0 at the image's bottom row, as in
// OpenGL, so images are flipped as they are decoded.
import {extensionOf} from './dropped_files.js';

// {bitmap} (an ImageBitmap, transferable) or {data, width, height, flipY}.
export async function decodeTexture(path, file) {
  if (extensionOf(path) === 'tga') {
    const {TGALoader} = await import('./vendor/three/examples/jsm/loaders/TGALoader.js');
    const parsed = new TGALoader().parse(await file.arrayBuffer());
    return {data: parsed.data, width: parsed.width, height: parsed.height, flipY: parsed.flipY};
  }
  return {bitmap: await createImageBitmap(file, {imageOrientation: 'flipY'})};
}
