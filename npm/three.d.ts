// Types of torvik32c/three: a three.js loader for .3ds files.
import {Group, Loader, LoadingManager} from 'three';

import type {TextureReport} from './index.js';

/** A texture file: a URL, or its bytes. */
export type TextureFile = string | URL | Blob | ArrayBuffer | ArrayBufferView;

/** What the loaded group's userData.torvik holds. */
export interface TorvikSceneInfo {
  textures: TextureReport[];
  warnings: string[];
}

export class TorvikLoader extends Loader<Group> {
  constructor(manager?: LoadingManager);
  /** A folder's URL, a map of files by their paths relative to the model, or null (the model's folder). */
  setTextures(textures: string | Record<string, TextureFile> | null): this;
  load(url: string, onLoad: (scene: Group) => void, onProgress?: (event: ProgressEvent) => void,
       onError?: (error: unknown) => void): void;
  parseAsync(buffer: ArrayBuffer | Uint8Array, modelUrl?: string): Promise<Group>;
}
