// TorvikLoader: a three.js loader for .3ds files that shows the scene as its
// author made it (the keyframer's placement and instances, the file's
// winding, smoothing groups, materials and textures), through the
// converter's glTF export and three.js's own GLTFLoader.
//
//   import {TorvikLoader} from 'torvik32c/three';
//   const scene = await new TorvikLoader()
//       .setTextures('models/house_maps/')        // or {'maps/ROOF.JPG': url, ...}
//       .loadAsync('models/house.3ds');
import {FileLoader, Loader, LoaderUtils} from 'three';
import {GLTFLoader} from 'three/examples/jsm/loaders/GLTFLoader.js';

import {loadTorvik, TorvikError} from './index.js';

let converter = null;

export class TorvikLoader extends Loader {
  constructor(manager) {
    super(manager);
    this.textures = null;
  }

  // Where the textures are:
  // - a map of files, {path: URL | Blob | ArrayBuffer | typed array}, each
  //   path relative to the model's folder ('maps/Roof.jpg'), laid out
  //   beside the model so that the converter finds each stored name by all
  //   of its rules (any case, subfolders, 8.3 names, other extensions);
  // - a folder's URL, where each stored name (its last component) is asked
  //   for as stored, in lower case, in upper case and capitalised: a server
  //   can't list a folder, so the other rules need the map;
  // - null (the default): the model's own folder, as a folder URL.
  setTextures(textures) {
    this.textures = textures;
    return this;
  }

  load(url, onLoad, onProgress, onError) {
    const fail = (error) => {
      if (onError) onError(error);
      else console.error(error);
      this.manager.itemError(url);
    };
    const file = new FileLoader(this.manager);
    file.setPath(this.path);
    file.setResponseType('arraybuffer');
    file.setRequestHeader(this.requestHeader);
    file.setWithCredentials(this.withCredentials);
    file.load(url, (buffer) => {
      const modelUrl = new URL(this.path + url, globalThis.location?.href).href;
      this.parseAsync(buffer, modelUrl).then(onLoad, fail);
    }, onProgress, fail);
  }

  // The scene of the .3ds bytes (a three.js Group): `modelUrl` names the
  // model, for its name and, without a map of textures, its folder.  The
  // group's userData.torvik holds the textures found and the warnings.
  async parseAsync(buffer, modelUrl = 'model.3ds') {
    const bytes = new Uint8Array(buffer);
    const name = decodeURIComponent(new URL(modelUrl, 'file:///').pathname.split('/').pop()) ||
        'model.3ds';
    converter ??= loadTorvik();
    const torvik = await converter;
    const files = await this.#textureFiles(torvik, bytes, name, modelUrl);
    const {glb, report, warnings} = torvik.toGltf(bytes, {name, files});
    if (!glb) throw new TorvikError(`${name}: ${report.error}`);
    const gltf = await new GLTFLoader(this.manager).parseAsync(glb.buffer, '');
    const {report: conversion} = torvik.convert(bytes, {name, files});
    gltf.scene.name ||= name.replace(/\.3ds$/i, '');
    gltf.scene.userData.torvik = {textures: conversion.textures || [], warnings};
    return gltf.scene;
  }

  async #textureFiles(torvik, bytes, name, modelUrl) {
    const textures = this.textures ?? LoaderUtils.extractUrlBase(modelUrl);
    if (typeof textures !== 'string') {
      return Promise.all(Object.entries(textures).map(async ([path, file]) =>
        ({path, bytes: await this.#bytesOf(file)})));
    }
    // The stored names, from a conversion's report.
    const folder = textures.endsWith('/') ? textures : textures + '/';
    const stored = torvik.convert(bytes, {name}).report.textures || [];
    const files = [];
    for (const {name: storedName} of stored) {
      const last = storedName.split(/[\\/]/).pop();
      const spellings = [last, last.toLowerCase(), last.toUpperCase(),
                         last.charAt(0).toUpperCase() + last.slice(1).toLowerCase()];
      for (const spelling of new Set(spellings)) {
        const base = new URL(folder, globalThis.location?.href ?? modelUrl);
        const found = await this.#fetchIfThere(new URL(encodeURIComponent(spelling), base).href);
        if (found) {
          files.push({path: spelling, bytes: found});
          break;
        }
      }
    }
    return files;
  }

  async #bytesOf(file) {
    if (typeof file === 'string' || file instanceof URL) {
      const loader = new FileLoader(this.manager);
      loader.setResponseType('arraybuffer');
      loader.setRequestHeader(this.requestHeader);
      loader.setWithCredentials(this.withCredentials);
      return new Uint8Array(await loader.loadAsync(String(file)));
    }
    if (typeof Blob !== 'undefined' && file instanceof Blob) return new Uint8Array(await file.arrayBuffer());
    if (ArrayBuffer.isView(file)) return new Uint8Array(file.buffer, file.byteOffset, file.byteLength);
    return new Uint8Array(file);
  }

  async #fetchIfThere(url) {
    try {
      const response = await fetch(url, {credentials: this.withCredentials ? 'include' : 'same-origin',
                                         headers: this.requestHeader});
      return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
    } catch {
      return null;
    }
  }
}
