// The files the user dropped or picked, each with its path relative to what
// was dropped: a folder keeps its subfolders, so "house/house_maps/ROOF.JPG"
// lies where the texture resolver looks for it beside "house/house.3ds".

// From an <input type=file> (with or without webkitdirectory).
export function pickedFiles(input) {
  return Array.from(input.files, (file) => ({path: file.webkitRelativePath || file.name, file}));
}

// From a drop: folders are walked through their entries.
export async function droppedFiles(dataTransfer) {
  const entries = Array.from(dataTransfer.items || [])
    .filter((item) => item.kind === 'file')
    .map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null));
  if (entries.length === 0 || entries.some((entry) => !entry)) {
    return Array.from(dataTransfer.files, (file) => ({path: file.name, file}));
  }
  const found = [];
  for (const entry of entries) await walk(entry, found);
  return found;
}

async function walk(entry, found) {
  if (entry.isFile) {
    const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
    found.push({path: entry.fullPath.replace(/^\/+/, ''), file});
  } else if (entry.isDirectory) {
    const reader = entry.createReader();
    for (;;) {
      const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
      if (batch.length === 0) break;
      for (const child of batch) await walk(child, found);
    }
  }
}

export function extensionOf(path) {
  const name = path.split('/').pop();
  const dot = name.lastIndexOf('.');
  return dot <= 0 ? '' : name.slice(dot + 1).toLowerCase();
}

export function stemOf(path) {
  const name = path.split('/').pop();
  const dot = name.lastIndexOf('.');
  return dot <= 0 ? name : name.slice(0, dot);
}

// The kinds of model the page takes, by extension: the converter tells a
// model's format by its content, but the page must pick the models out of
// the files dropped with them.
export const MODEL_KINDS = ['3ds', 'glb', 'gltf', 'obj', 'bmf'];

// The models among the files, in path order.
export function modelsAmong(files) {
  return files
    .filter((entry) => MODEL_KINDS.includes(extensionOf(entry.path)))
    .sort((a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0));
}

// The files a model's textures (and a glTF's buffers and images, an OBJ's
// .mtl) may be among: every file that is no model.
export function companionsAmong(files) {
  return files.filter((entry) => !MODEL_KINDS.includes(extensionOf(entry.path)));
}
