// The files the page hands back: the BMF, the glTF, and a zip of the BMF
// with its textures copied under their stored names (what 3ds2bmf
// --copy-textures does beside the BMF).
import {storedZip} from './zip.js';
import {stemOf} from './dropped_files.js';

// The last component of a stored texture name, exactly as written.
export function storedFileName(stored) {
  const last = stored.split(/[\\/]/).pop();
  return last === '.' || last === '..' ? '' : last;
}

function sameBytes(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) return false;
  return true;
}

// The zip's entries and the warnings about textures that could not go in.
export async function zipEntries(entry, files) {
  const bmfName = `${stemOf(entry.path)}.bmf`;
  const entries = [{name: bmfName, bytes: entry.bmf}];
  const warnings = [];
  const byPath = new Map(files.map((file) => [file.path, file.file]));
  for (const texture of entry.report.textures) {
    if (!texture.path || !byPath.has(texture.path)) continue;
    const label = `texture ${JSON.stringify(texture.name)}`;
    const name = storedFileName(texture.name);
    if (name === '') {
      warnings.push(`${label} names no file to copy to`);
      continue;
    }
    const bytes = new Uint8Array(await byPath.get(texture.path).arrayBuffer());
    const there = entries.find((e) => e.name === name);
    if (there && !sameBytes(there.bytes, bytes)) {
      warnings.push(`${label}: ${name} already exists with other contents: not overwritten`);
    } else if (!there) {
      entries.push({name, bytes});
    }
  }
  return {entries, warnings};
}

export async function zipBlob(entry, files) {
  const {entries, warnings} = await zipEntries(entry, files);
  return {blob: storedZip(entries), warnings};
}

// Points the link at the bytes, under the name given.
export function offer(link, bytes, name, type) {
  if (link.href) URL.revokeObjectURL(link.href);
  if (!bytes) {
    link.removeAttribute('href');
    link.setAttribute('aria-disabled', 'true');
    return;
  }
  const blob = bytes instanceof Blob ? bytes : new Blob([bytes], {type});
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.removeAttribute('aria-disabled');
}
