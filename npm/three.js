// TorvikLoader: a three.js loader for .3ds files that shows the scene as its
// author made it (the keyframer's placement and instances, the file's
// winding, smoothing groups, materials and their maps, the animation, the
// cameras and lights), through one conversion by the converter's glTF export
// and three.js's own GLTFLoader.  It loads glTF (.glb, .gltf) and OBJ files
// too, as the converter reads them (the plain copy of their scene).
//
//   import {TorvikLoader} from 'torvik32c/three';
//   const model = await new TorvikLoader().loadAsync('models/house.3ds');
//   scene.add(model);
//   const mixer = new AnimationMixer(model);
//   for (const clip of model.animations) mixer.clipAction(clip).play();
//
// Textures: the converter finds them by its own rules among the files it is
// given.  A web server can't be asked which files a folder holds, so the
// loader decides which files to fetch (texture_fetch.js): the folder's own
// listing where the server gives one, else each name the model asks for in
// its case variations, in the folder and its usual subfolders.  A map of
// files (setTextures) gives every file at once.  A glTF or OBJ names its
// files itself: a .gltf's buffers and images that are not data: URIs, an
// .obj's mtllib files, then the map_Kd textures those name (found as a
// .3ds's textures are); each is fetched from beside the model.
import {FileLoader, Loader, LoaderUtils} from 'three';
import {GLTFLoader} from 'three/examples/jsm/loaders/GLTFLoader.js';

import {loadTorvik, TorvikError} from './index.js';
import {gltfFileUris, modelKind, mtlTextures, objLibraries} from './model_files.js';
import {fetchTextureFiles} from './texture_fetch.js';
import {storedTextureNames} from './texture_names.js';

let converter = null;

// The model's file name and its folder's URL, from the URL or path given to
// load() or parse(): a path that ends in "/" is a folder (the model is then
// 'model.3ds').
function placeOf(path) {
  const base = globalThis.location?.href ?? 'file:///';
  const url = new URL(path || './', base);
  const last = url.pathname.split('/').pop();
  let name = 'model.3ds';
  try {
    name = decodeURIComponent(last) || name;
  } catch {
    name = last || name;
  }
  return {name, folder: LoaderUtils.extractUrlBase(url.href)};
}

export class TorvikLoader extends Loader {
  constructor(manager) {
    super(manager);
    this.textures = null;
    this.nameEncoding = undefined;
  }

  // Where the textures are:
  // - null (the default): the model's own folder (or the resource path, when
  //   set), fetched as texture_fetch.js says;
  // - a folder's URL (relative to the page, as three's URLs are): that
  //   folder instead, the same way;
  // - a map of files, {path: URL | Blob | ArrayBuffer | typed array}, each
  //   path relative to the model's folder ('maps/Roof.jpg'): all of them are
  //   fetched and laid out beside the model, and the converter finds each
  //   stored name by all of its rules (any case, subfolders, 8.3 names,
  //   other extensions).
  setTextures(textures) {
    this.textures = textures;
    return this;
  }

  // How stored names that are not UTF-8 read (any label TextDecoder knows);
  // Windows-1252 by default, as 3ds2bmf --name-encoding.
  setNameEncoding(nameEncoding) {
    this.nameEncoding = nameEncoding;
    return this;
  }

  // Loads the .3ds, .glb, .gltf or .obj at `url` (resolved against setPath's path) and calls
  // onLoad with the scene, as three's loaders do; loadAsync(url, onProgress)
  // gives a promise of it.
  load(url, onLoad, onProgress, onError) {
    const resolved = this.manager.resolveURL(this.path + url);
    const failed = (error) => {
      if (onError) onError(error);
      else console.error(error);
      this.manager.itemError(resolved);
      this.manager.itemEnd(resolved);
    };
    this.manager.itemStart(resolved);
    const file = new FileLoader(this.manager);
    file.setPath(this.path);
    file.setResponseType('arraybuffer');
    file.setRequestHeader(this.requestHeader);
    file.setWithCredentials(this.withCredentials);
    file.load(url, (buffer) => {
      this.parseAsync(buffer, resolved).then((scene) => {
        onLoad(scene);
        this.manager.itemEnd(resolved);
      }, failed);
    }, onProgress, failed);
  }

  // The scene of the model's bytes, to onLoad (or onError), and as a promise.
  // `path` is the model's URL (its folder holds the textures, its name
  // names <model>_maps/), or a folder's URL ending in "/".
  parse(data, path, onLoad, onError) {
    const scene = this.parseAsync(data, path);
    if (!onLoad && !onError) return scene;
    return scene.then((group) => {
      if (onLoad) onLoad(group);
      return group;
    }, (error) => {
      if (onError) onError(error);
      else console.error(error);
    });
  }

  // The scene (a three.js Group): `animations` (AnimationClips, for an
  // AnimationMixer on the group), `cameras` and `lights` (the file's own, in
  // the group), and userData.torvik: {textures: [{name, embedded}], fetched:
  // [URL], warnings} (textures: the names a .3ds's or .obj's materials ask
  // for).
  async parseAsync(data, path = 'model.3ds') {
    const bytes = data instanceof Uint8Array ? data
        : ArrayBuffer.isView(data) ? new Uint8Array(data.buffer, data.byteOffset, data.byteLength)
        : new Uint8Array(data);
    const {name, folder} = placeOf(path);
    converter ??= loadTorvik().catch((error) => {
      converter = null;
      throw error;
    });
    const torvik = await converter;
    const kind = modelKind(bytes);
    const threeDs = kind === '3ds';
    let stored = threeDs ? storedTextureNames(bytes, this.nameEncoding) : [];
    let files, fetched;
    if (threeDs || (this.textures !== null && typeof this.textures === 'object' && !(this.textures instanceof URL))) {
      ({files, fetched} = await this.#textureFiles(stored, name, folder));
    } else {
      ({files, fetched, stored} = await this.#namedFiles(bytes, kind, name, folder));
    }
    // A name encoding reads a 3DS file's names; the others store UTF-8.
    const {glb, report, warnings} =
        torvik.toGltf(bytes, {name, files, nameEncoding: threeDs ? this.nameEncoding : undefined});
    if (!glb) throw new TorvikError(`${name}: ${report.error}`);
    const whole = glb.byteOffset === 0 && glb.byteLength === glb.buffer.byteLength;
    const gltf = await new GLTFLoader(this.manager)
      .parseAsync(whole ? glb.buffer : glb.slice().buffer, '');
    const group = gltf.scene;
    group.name ||= name.replace(/\.(3ds|glb|gltf|obj)$/i, '');
    group.animations = gltf.animations;
    group.cameras = gltf.cameras;
    group.lights = [];
    group.traverse((object) => {
      if (object.isLight) group.lights.push(object);
    });
    const embedded = new Set((gltf.parser.json.images || []).map((image) => image.name));
    group.userData.torvik = {
      textures: stored.map((storedName) => ({name: storedName, embedded: embedded.has(storedName)})),
      fetched, warnings: warnings || [],
    };
    return group;
  }

  #request() {
    return {headers: this.requestHeader, credentials: this.withCredentials ? 'include' : 'same-origin'};
  }

  // The URL of the folder the files are fetched from.
  #folderUrl(textures, folder) {
    const base = new URL(String(textures), globalThis.location?.href ?? folder);
    return base.href.endsWith('/') ? base.href : `${base.href}/`;
  }

  async #textureFiles(stored, name, folder) {
    const textures = this.textures ?? (this.resourcePath || folder);
    if (typeof textures === 'string' || textures instanceof URL) {
      if (stored.length === 0) return {files: [], fetched: []};
      return fetchTextureFiles(stored, {folder: this.#folderUrl(textures, folder),
                                        stem: name.replace(/\.[^.]*$/, ''), request: this.#request()});
    }
    const files = await Promise.all(Object.entries(textures).map(async ([path, file]) =>
      ({path, bytes: await this.#bytesOf(file, folder)})));
    return {files, fetched: []};
  }

  // The files a glTF or OBJ names, fetched from beside it (or from the
  // folder setTextures or the resource path gives): {files, fetched,
  // stored}, stored being an OBJ's texture names.
  async #namedFiles(bytes, kind, name, folder) {
    const folderUrl = this.#folderUrl(this.textures ?? (this.resourcePath || folder), folder);
    const request = this.#request();
    const files = [];
    const fetched = [];
    const fetchEach = (references, asPath) => Promise.all(references.map(async (reference) => {
      const url = new URL(reference, folderUrl).href;
      try {
        const response = await fetch(url, request);
        if (!response.ok) return;
        files.push({path: asPath(reference), bytes: new Uint8Array(await response.arrayBuffer())});
        fetched.push(url);
      } catch {
        // Missing: the conversion says which file, as 3ds2bmf does.
      }
    }));
    if (kind !== 'obj') {
      await fetchEach(gltfFileUris(bytes, kind), (uri) => {
        try {
          return decodeURIComponent(uri);
        } catch {
          return uri;
        }
      });
      return {files, fetched, stored: []};
    }
    const encoded = (path) => path.split(/[\\/]/).map(encodeURIComponent).join('/');
    await fetchEach(objLibraries(bytes).map(encoded), decodeURIComponent);
    const stored = [...new Set(files.flatMap((file) => mtlTextures(file.bytes)))];
    if (stored.length) {
      const textures = await fetchTextureFiles(stored, {folder: folderUrl, stem: name.replace(/\.[^.]*$/, ''),
                                                        request});
      files.push(...textures.files);
      fetched.push(...textures.fetched);
    }
    return {files, fetched, stored};
  }

  async #bytesOf(file, folder) {
    if (typeof file === 'string' || file instanceof URL) {
      const loader = new FileLoader(this.manager);
      loader.setResponseType('arraybuffer');
      loader.setRequestHeader(this.requestHeader);
      loader.setWithCredentials(this.withCredentials);
      return new Uint8Array(await loader.loadAsync(new URL(String(file), globalThis.location?.href ?? folder).href));
    }
    if (typeof Blob !== 'undefined' && file instanceof Blob) return new Uint8Array(await file.arrayBuffer());
    if (ArrayBuffer.isView(file)) return new Uint8Array(file.buffer, file.byteOffset, file.byteLength);
    if (file instanceof ArrayBuffer) return new Uint8Array(file);
    throw new TorvikError(`setTextures: a texture file must be a URL, a Blob or bytes, not ${typeof file}`);
  }
}
