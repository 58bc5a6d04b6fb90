// What a model names beside it, read from its bytes without converting it,
// so that a loader knows which files to fetch before the one conversion:
// a glTF's buffers and images that are not data: URIs, an OBJ's material
// libraries (mtllib) and the texture files they name (map_Kd).  The format
// is told by content as the converter tells it: "glTF" begins a binary glTF,
// a JSON object a .gltf, the 3DS main chunk a .3ds; other text is taken for
// OBJ.  Damaged bytes give fewer names, never an error (the conversion
// reports the damage).

// 'glb', 'gltf', 'obj' or '3ds'.
export function modelKind(bytes) {
  if (bytes.length >= 4 && bytes[0] === 0x67 && bytes[1] === 0x6c && bytes[2] === 0x54 && bytes[3] === 0x46)
    return 'glb';
  if (bytes.length >= 2 && bytes[0] === 0x4d && bytes[1] === 0x4d) return '3ds';
  let at = 0;
  if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) at = 3;  // a byte-order mark
  while (at < bytes.length && [0x20, 0x09, 0x0a, 0x0d].includes(bytes[at])) at++;
  if (bytes[at] === 0x7b) return 'gltf';  // "{"
  return 'obj';
}

// The JSON of a .gltf, or of a binary glTF's first chunk; null when it
// doesn't parse.
function gltfJson(bytes, kind) {
  try {
    if (kind === 'gltf') return JSON.parse(new TextDecoder().decode(bytes));
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const length = view.getUint32(12, true);
    if (view.getUint32(16, true) !== 0x4e4f534a || 20 + length > bytes.length) return null;  // "JSON"
    return JSON.parse(new TextDecoder().decode(bytes.subarray(20, 20 + length)));
  } catch {
    return null;
  }
}

// Whether a reference stays within the model's folder: no scheme, no
// absolute path, no ".." (the converter refuses the others, saying so).
export function staysInFolder(reference) {
  return reference !== '' && !/^[A-Za-z][A-Za-z0-9+.-]*:/.test(reference) && !/^[\\/]/.test(reference) &&
         !reference.split(/[\\/]/).includes('..');
}

// The URIs of a glTF's buffers and images that are files beside it (as
// written: percent escapes kept).
export function gltfFileUris(bytes, kind = modelKind(bytes)) {
  const json = gltfJson(bytes, kind);
  if (!json || typeof json !== 'object') return [];
  const uris = [];
  for (const list of [json.buffers, json.images]) {
    if (!Array.isArray(list)) continue;
    for (const item of list) {
      const uri = item && item.uri;
      if (typeof uri === 'string' && !uri.startsWith('data:') && staysInFolder(uri)) uris.push(uri);
    }
  }
  return [...new Set(uris)];
}

// The statements of OBJ or MTL text whose keyword is `key`: the rest of
// each line ("\" at a line's end joins the next).
function statements(text, key) {
  const found = [];
  for (const line of text.replace(/\\\r?\n/g, ' ').split(/\r?\n/)) {
    const words = line.replace(/#.*/, '').trim().split(/\s+/);
    if (words[0] === key && words.length > 1) found.push(words.slice(1));
  }
  return found;
}

// An OBJ's material libraries, as its mtllib statements name them.
export function objLibraries(bytes) {
  const names = statements(new TextDecoder().decode(bytes), 'mtllib').flat();
  return [...new Set(names.filter(staysInFolder))];
}

// map_Kd's options and how many values each takes; the file name follows.
const MAP_OPTIONS = {'-blendu': 1, '-blendv': 1, '-bm': 1, '-boost': 1, '-cc': 1, '-clamp': 1,
                     '-imfchan': 1, '-mm': 2, '-o': 3, '-s': 3, '-t': 3, '-texres': 1, '-type': 1};

// The texture files a material library names (map_Kd), as stored.
export function mtlTextures(bytes) {
  const names = [];
  for (const words of statements(new TextDecoder().decode(bytes), 'map_Kd')) {
    let at = 0;
    while (at < words.length && MAP_OPTIONS[words[at]] !== undefined) at += 1 + MAP_OPTIONS[words[at]];
    if (at < words.length) names.push(words.slice(at).join(' '));
  }
  return [...new Set(names)];
}
