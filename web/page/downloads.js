// The files the page hands back: the BMF, the glTF, and a zip of the BMF
// with its textures copied under their stored names (what 3ds2bmf
// --copy-textures does beside the BMF), or of every model at once.
import {stemOf} from './dropped_files.js';

// The last component of a stored texture name, exactly as written.
export function storedFileName(stored) {
  const last = stored.split(/[\\/]/).pop();
  return last === '.' || last === '..' ? '' : last;
}

async function sameBytes(a, b) {
  if (a === b) return true;
  if (a.size !== b.size) return false;
  const [x, y] = await Promise.all([a.arrayBuffer(), b.arrayBuffer()]).then((buffers) => buffers.map((buffer) => new Uint8Array(buffer)));
  for (let i = 0; i < x.length; i++) if (x[i] !== y[i]) return false;
  return true;
}

// What a zip of the model's BMF and its textures holds.  `items` are
// {name, file} (the BMF) or {stored, file} (a texture by its stored name),
// under `folder` when given.  The first file of a name goes in; another of
// the same name with the same bytes is left out quietly, one with other
// bytes with a warning, as --copy-textures does.  Returns the entries
// ({name, file}) and the warnings.
export async function zipContents(items, folder = '') {
  const entries = [];
  const warnings = [];
  for (const item of items) {
    const label = item.stored !== undefined ? `texture ${JSON.stringify(item.stored)}` : JSON.stringify(item.name);
    const base = item.stored !== undefined ? storedFileName(item.stored) : item.name;
    if (base === '') {
      warnings.push(`${label} names no file to copy to`);
      continue;
    }
    const name = folder ? `${folder}/${base}` : base;
    const there = entries.find((entry) => entry.name === name);
    if (!there) entries.push({name, file: item.file});
    else if (!(await sameBytes(there.file, item.file))) {
      warnings.push(`${label}: ${name} already exists with other contents: not overwritten`);
    }
  }
  return {entries, warnings};
}

// The zip's items for several models: each model's under its folder.
export function allModelsItems(models) {
  return models.flatMap((model) => {
    const folder = model.path.split('/').slice(0, -1).join('/');
    return model.zip.items.map((item) => ({...item, name: folder ? `${folder}/${item.name}` : item.name}));
  });
}

export function bmfFileName(path) {
  return `${stemOf(path)}.bmf`;
}

// Points the link at the bytes, under the name given; no bytes disable it.
export function offer(link, blob, name) {
  if (link.href) URL.revokeObjectURL(link.href);
  if (!blob) {
    link.removeAttribute('href');
    link.setAttribute('aria-disabled', 'true');
    return;
  }
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.removeAttribute('aria-disabled');
}

// Hands the Blob to the browser as a download, once.
export function save(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}
