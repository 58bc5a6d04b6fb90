// Which image files a loader fetches for a model's stored texture names from
// a folder's URL, so that the converter's resolver, given them laid out
// beside the model, finds what 3ds2bmf finds on disk.
//
// A web server can't be asked which files a folder holds, except where it
// lists folders itself (an "index of" page, as most static servers can):
// - with a listing of the folder, each usual subfolder it shows
//   (<model>_maps, maps, textures, texture, images, tex, in any case) is
//   listed too, and every file whose name could match a stored name by one
//   of the resolver's rules (the same stem in any case, a longer stem for an
//   8.3 name, another extension) is fetched: every rule then applies;
// - without one, each stored name is asked for in its case variations (as
//   stored, lower case, upper case, capitalised), first at its stored path,
//   then in the folder, then in each usual subfolder in those spellings (the
//   model's own stem as in its URL for <model>_maps), until one is there.
//   Where the server answers a folder's URL with something other than 404
//   (403, as most servers do without a listing), it is asked for each
//   subfolder's spellings once, and only those it has are searched.
//   8.3 names, other extensions and other mixes of case (redRoof.jpg for
//   REDROOF.JPG) can't be guessed: those need a listing or a map of files.
//   The names a listing matches no file for are guessed too (a folder may
//   answer with a page that is no listing).
// Requests run a few at a time, and the place a file was found in is tried
// first for the next names.

const USUAL_SUBFOLDERS = ['maps', 'textures', 'texture', 'images', 'tex'];
const AT_ONCE = 6;
// A listing that names more files than this is not read as one.
const MAX_LISTED = 10000;

const capitalised = (text) => text.charAt(0).toUpperCase() + text.slice(1).toLowerCase();
const spellings = (text) => [...new Set([text, text.toLowerCase(), text.toUpperCase(), capitalised(text)])];
const stemOf = (name) => name.replace(/\.[^.]*$/, '');

// The stored name's components: "\" and "/" both separators, a drive
// letter, "." and ".." dropped.
function componentsOf(stored) {
  return stored.replace(/^[A-Za-z]:/, '').split(/[\\/]+/)
    .filter((part) => part !== '' && part !== '.' && part !== '..');
}

const pathUrl = (folder, relative) => new URL(relative.split('/').map(encodeURIComponent).join('/'), folder).href;

async function fetched(url, request) {
  try {
    const response = await fetch(url, request);
    return response.ok ? response : null;
  } catch {
    return null;
  }
}

// Runs `work` on each item, AT_ONCE at a time.
async function eachAtOnce(items, work) {
  let next = 0;
  const worker = async () => {
    while (next < items.length) await work(items[next++]);
  };
  await Promise.all(Array.from({length: Math.min(AT_ONCE, items.length)}, worker));
}

// What the server says of a folder's URL: {reveals, listing}.  `reveals`:
// it answers something other than 404 (a listing, a page, 403), as servers
// that tell folders from missing ones do; `listing`: the names its listing
// (an HTML page of links) holds directly, {files, folders}, or null.
async function folderAnswer(folder, request) {
  let response;
  try {
    response = await fetch(folder, request);
  } catch {
    return {reveals: false, listing: null};
  }
  const reveals = response.status !== 404;
  if (!response.ok || !/text\/html/i.test(response.headers.get('content-type') || '')) {
    return {reveals, listing: null};
  }
  return {reveals, listing: linksOf(await response.text(), folder)};
}

async function listing(folder, request) {
  return (await folderAnswer(folder, request)).listing;
}

// The names the links of a listing page hold directly inside `folder`:
// {files, folders}, or null when it holds none, or too many to be a listing.
function linksOf(text, folder) {
  const files = new Set();
  const folders = new Set();
  for (const [, href] of text.matchAll(/href\s*=\s*["']([^"'#?]+)["']/gi)) {
    let url;
    try {
      url = new URL(href, folder).href;
    } catch {
      continue;
    }
    if (!url.startsWith(folder) || url === folder) continue;
    const rest = url.slice(folder.length);
    const isFolder = rest.endsWith('/');
    const part = isFolder ? rest.slice(0, -1) : rest;
    if (part === '' || part.includes('/')) continue;
    let name;
    try {
      name = decodeURIComponent(part);
    } catch {
      continue;
    }
    (isFolder ? folders : files).add(name);
    if (files.size + folders.size > MAX_LISTED) return null;
  }
  return files.size + folders.size > 0 ? {files, folders} : null;
}

// The extensions the resolver tries besides a name's own.
const IMAGE_EXTENSIONS = ['png', 'jpg', 'jpeg', 'tga', 'bmp', 'gif', 'tif'];
const extensionOf = (name) => (/\.([^.]*)$/.exec(name)?.[1] || '').toLowerCase();

// Could the resolver pick `file` for a stored name, given as {key, extension}
// (its stem in lower case, a "~N" tail and spaces dropped)?  A superset of
// its rules: the same stem or one that starts with it, with the name's own
// extension or an image's.
const mayMatch = (file, wanted) => {
  const stem = stemOf(file).toLowerCase().replaceAll(' ', '');
  const extension = extensionOf(file);
  return wanted.some(({key, extension: own}) => key !== '' && stem.startsWith(key) &&
                                                 (extension === own || IMAGE_EXTENSIONS.includes(extension)));
};

async function filesFromListing(stored, top, {folder, stem, request}) {
  const usual = new Set([`${stem}_maps`.toLowerCase(), ...USUAL_SUBFOLDERS]);
  const places = [{prefix: '', names: top.files}];
  for (const sub of top.folders) {
    if (!usual.has(sub.toLowerCase())) continue;
    const inner = await listing(pathUrl(folder, sub) + '/', request);
    if (inner) places.push({prefix: `${sub}/`, names: inner.files});
  }
  const keyOf = (name) => {
    const last = componentsOf(name).pop() || '';
    return {key: stemOf(last).toLowerCase().replace(/~\d+$/, '').replaceAll(' ', ''), extension: extensionOf(last)};
  };
  const keys = stored.map(keyOf);
  const wanted = places.flatMap(({prefix, names}) =>
    [...names].filter((name) => mayMatch(name, keys)).map((name) => prefix + name));
  const unmatched = stored.filter((name) => !wanted.some((path) => mayMatch(path.split('/').pop(), [keyOf(name)])));
  const files = [];
  const urls = [];
  await eachAtOnce(wanted, async (path) => {
    const url = pathUrl(folder, path);
    const response = await fetched(url, request);
    if (!response) return;
    files.push({path, bytes: new Uint8Array(await response.arrayBuffer())});
    urls.push(url);
  });
  return {files, fetched: urls, unmatched};
}

// The folder and the spellings of its usual subfolders that may be there:
// where the server tells folders from missing ones (`reveals`), those whose
// URL it answers with something other than 404; elsewhere every one.
async function placesToTry({folder, stem, request}, reveals) {
  const subfolders = [...new Set([`${stem}_maps`, ...spellings(`${stem}_maps`),
                                  ...USUAL_SUBFOLDERS.flatMap(spellings)])];
  const there = new Set(subfolders);
  if (reveals) {
    await eachAtOnce(subfolders, async (sub) => {
      if (!(await folderAnswer(pathUrl(folder, sub) + '/', request)).reveals) there.delete(sub);
    });
  }
  return ['', ...subfolders.filter((sub) => there.has(sub)).map((sub) => `${sub}/`)];
}

async function filesByGuessing(stored, places, {folder, request}) {
  const found = [];  // places a file was found in, most recent first
  const files = [];
  const urls = [];
  await eachAtOnce(stored, async (name) => {
    const parts = componentsOf(name);
    const last = parts.pop();
    if (!last) return;
    const tries = parts.length ? [[...parts, last].join('/')] : [];
    for (const place of [...found, ...places.filter((place) => !found.includes(place))])
      for (const spelling of spellings(last)) tries.push(place + spelling);
    for (const path of new Set(tries)) {
      const url = pathUrl(folder, path);
      const response = await fetched(url, request);
      if (!response) continue;
      files.push({path, bytes: new Uint8Array(await response.arrayBuffer())});
      urls.push(url);
      const place = path.slice(0, path.length - path.split('/').pop().length);
      if (!found.includes(place)) found.unshift(place);
      return;
    }
  });
  return {files, fetched: urls};
}

// The files to lay out beside the model ({path, bytes}, paths relative to
// `folder`, a URL ending in "/"), and the URLs they came from.  `stem` is
// the model's file name without its extension; `request` holds fetch's
// headers and credentials.
export async function fetchTextureFiles(stored, {folder, stem, request = {}}) {
  const place = {folder, stem, request};
  const top = await folderAnswer(folder, request);
  if (!top.listing) return filesByGuessing(stored, await placesToTry(place, top.reveals), place);
  // A page that is no listing (an index.html served for the folder) matches
  // nothing: the names it leaves are guessed.
  const listed = await filesFromListing(stored, top.listing, place);
  if (listed.unmatched.length === 0) return listed;
  const guessed = await filesByGuessing(listed.unmatched, await placesToTry(place, top.reveals), place);
  const paths = new Set(listed.files.map((file) => file.path));
  return {files: [...listed.files, ...guessed.files.filter((file) => !paths.has(file.path))],
          fetched: [...listed.fetched, ...guessed.fetched]};
}
