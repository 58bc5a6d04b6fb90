// The block tables of BMF bytes, for drawing them: each block's texture
// name, colours, vertex table (8 floats per vertex: u v i j k x y z) and
// triangle table (3 indices per triangle), copied out so that they are
// aligned for typed arrays.  The fields are little-endian, as typed arrays
// read them on every platform browsers run on.  A table that runs past the
// end of the bytes ends the walk: the blocks before it are returned.
const decoder = new TextDecoder();

// A stored name as the module's reports decode it (UTF-8; the module's own
// decoder for short names, which reads a malformed sequence its own way),
// so that a block's texture matches the report's name for it.
export function moduleText(bytes) {
  if (bytes.length > 16) return decoder.decode(bytes);
  let text = '';
  for (let i = 0; i < bytes.length;) {
    let c = bytes[i++];
    if (c & 0x80) {
      const c1 = bytes[i++] & 63;
      if ((c & 0xe0) === 0xc0) {
        c = ((c & 31) << 6) | c1;
      } else {
        const c2 = bytes[i++] & 63;
        c = (c & 0xf0) === 0xe0 ? ((c & 15) << 12) | (c1 << 6) | c2
                                : ((c & 7) << 18) | (c1 << 12) | (c2 << 6) | (bytes[i++] & 63);
      }
    }
    text += c < 0x10000 ? String.fromCharCode(c)
                        : String.fromCharCode(0xd800 | ((c - 0x10000) >> 10), 0xdc00 | ((c - 0x10000) & 0x3ff));
  }
  return text;
}

export function blockTables(bytes) {
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
    const texture = moduleText(end < 0 ? name : name.subarray(0, end));
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
