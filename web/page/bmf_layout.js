// The block tables of BMF bytes, for drawing them: each block's texture
// name, colours, vertex table (8 floats per vertex: u v i j k x y z) and
// triangle table (3 indices per triangle), copied out so that they are
// aligned for typed arrays.  The fields are little-endian, as typed arrays
// read them on every platform browsers run on.  A table that runs past the
// end of the bytes ends the walk: the blocks before it are returned.
const utf8 = new TextDecoder('utf-8', {fatal: true, ignoreBOM: true});

// A stored name as the module's reports give it, so that a block's texture
// matches the report's name for it: valid UTF-8 as it is, anything else in
// the encoding `nameEncoding` names (a TextDecoder label), Windows-1252 by
// default.
export function nameText(bytes, nameEncoding = 'windows-1252') {
  try {
    return utf8.decode(bytes);
  } catch {
    return new TextDecoder(nameEncoding, {ignoreBOM: true}).decode(bytes);
  }
}

export function blockTables(bytes, nameEncoding = undefined) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const blocks = [];
  if (bytes.length < 4) return blocks;
  const count = view.getUint16(0, true);
  let at = 4;
  const fits = (size) => at + size <= bytes.length;
  const colour = (offset) => new Float32Array(bytes.slice(offset, offset + 16).buffer);
  for (let b = 0; b < count; b++) {
    if (!fits(2)) break;
    const nameLength = view.getUint16(at, true);
    if (!fits(2 + nameLength + 48 + 2)) break;
    const name = bytes.subarray(at + 2, at + 2 + nameLength);
    const end = name.indexOf(0);
    const texture = nameText(end < 0 ? name : name.subarray(0, end), nameEncoding);
    at += 2 + nameLength;
    const [ambient, diffuse, specular] = [colour(at), colour(at + 16), colour(at + 32)];
    at += 48;
    const vertexCount = view.getUint16(at, true);
    at += 2;
    if (!fits(vertexCount * 32 + 2)) break;
    const vertices = new Float32Array(bytes.slice(at, at + vertexCount * 32).buffer);
    at += vertexCount * 32;
    const triangleCount = view.getUint16(at, true);
    at += 2;
    if (!fits(triangleCount * 6)) break;
    const triangles = new Uint16Array(bytes.slice(at, at + triangleCount * 6).buffer);
    at += triangleCount * 6;
    blocks.push({texture, ambient, diffuse, specular, vertices, triangles});
  }
  return blocks;
}
