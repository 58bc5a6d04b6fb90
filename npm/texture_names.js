// The file names a .3ds model's materials ask for (every map: texture 1 and
// 2, opacity, bump, specular, shininess, self-illumination, reflection), read
// from its chunks without converting it, so that a loader knows which image
// files to fetch before the one conversion.  Only the chunks on the way to
// the names are walked; a chunk that runs past its parent ends that parent's
// walk, so damaged bytes give fewer names, never an error (the conversion
// reports the damage).

const MAIN = 0x4d4d;
const EDITOR = 0x3d3d;
const MATERIAL = 0xafff;
const MAPS = new Set([0xa200, 0xa33a, 0xa210, 0xa230, 0xa204, 0xa33c, 0xa33d, 0xa220]);
const MAP_NAME = 0xa300;

// The chunks directly inside bytes[start, end): {id, start, end} of each
// one's contents.
function* chunksIn(view, start, end) {
  let at = start;
  while (at + 6 <= end) {
    const id = view.getUint16(at, true);
    const length = view.getUint32(at + 2, true);
    if (length < 6 || length > end - at) return;
    yield {id, start: at + 6, end: at + length};
    at += length;
  }
}

function decoded(bytes, nameEncoding) {
  try {
    return new TextDecoder('utf-8', {fatal: true}).decode(bytes);
  } catch {
    return new TextDecoder(nameEncoding || 'windows-1252').decode(bytes);
  }
}

// The distinct stored names, as text (valid UTF-8 as it is, anything else
// in `nameEncoding`, Windows-1252 by default), in the order of the file.
export function storedTextureNames(bytes, nameEncoding) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const names = new Set();
  const inside = (chunk, id) => [...chunksIn(view, chunk.start, chunk.end)].filter((c) => c.id === id);
  for (const main of [...chunksIn(view, 0, bytes.length)].filter((c) => c.id === MAIN)) {
    for (const editor of inside(main, EDITOR)) {
      for (const material of inside(editor, MATERIAL)) {
        for (const map of chunksIn(view, material.start, material.end)) {
          if (!MAPS.has(map.id)) continue;
          for (const name of inside(map, MAP_NAME)) {
            const text = bytes.subarray(name.start, name.end);
            const terminator = text.indexOf(0);
            const stored = text.subarray(0, terminator < 0 ? text.length : terminator);
            if (stored.length) names.add(decoded(stored, nameEncoding));
          }
        }
      }
    }
  }
  return [...names];
}
