// Types of torvik32c/three: a three.js loader for .3ds, .glb, .gltf and .obj files.
import {AnimationClip, Camera, Group, Light, Loader, LoadingManager} from 'three';

/** A texture file: a URL, or its bytes. */
export type TextureFile = string | URL | Blob | ArrayBuffer | ArrayBufferView;

/** What the loaded group's userData.torvik holds. */
export interface TorvikSceneInfo {
  /** Each name the materials ask for, and whether its image is in the scene. */
  textures: Array<{name: string; embedded: boolean}>;
  /** The URLs of the texture files fetched. */
  fetched: string[];
  warnings: string[];
}

/** The scene of a .3ds file (or of a glTF or OBJ, as the converter copies it). */
export interface TorvikGroup extends Group {
  /** The file's animation (keyframer tracks), for an AnimationMixer on this group. */
  animations: AnimationClip[];
  /** The file's cameras, in the group. */
  cameras: Camera[];
  /** The file's omni and spot lights, in the group. */
  lights: Light[];
  userData: {torvik: TorvikSceneInfo; [key: string]: unknown};
}

export class TorvikLoader extends Loader<TorvikGroup> {
  constructor(manager?: LoadingManager);
  /**
   * Where the textures are: a folder's URL, a map of files by their paths relative to the model,
   * or null (the model's folder, or the resource path when set).
   */
  setTextures(textures: string | URL | Record<string, TextureFile> | null): this;
  /** How stored names that are not UTF-8 read ('shift_jis', ...); Windows-1252 by default. */
  setNameEncoding(nameEncoding: string | undefined): this;
  load(url: string, onLoad: (scene: TorvikGroup) => void, onProgress?: (event: ProgressEvent) => void,
       onError?: (error: unknown) => void): void;
  /** `path`: the model's URL (its folder holds the textures), or a folder's URL ending in "/". */
  parse(data: ArrayBuffer | ArrayBufferView, path: string, onLoad: (scene: TorvikGroup) => void,
        onError?: (error: unknown) => void): Promise<TorvikGroup | undefined>;
  parse(data: ArrayBuffer | ArrayBufferView, path?: string): Promise<TorvikGroup>;
  parseAsync(data: ArrayBuffer | ArrayBufferView, path?: string): Promise<TorvikGroup>;
}
