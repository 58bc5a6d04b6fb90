// Types of torvik32c: the converter's JavaScript API over WebAssembly.

/**
 * The options of 3ds2bmf that change a conversion.  asAuthored, keyframer, keepFileWinding,
 * smoothingGroups and nameEncoding read what only a 3DS file holds: a glTF or OBJ model fails
 * with them, in 3ds2bmf's words.
 */
export interface ConvertOptions extends FolderOptions {
  /** --as-authored: keyframer, keepFileWinding and smoothingGroups together. */
  asAuthored?: boolean;
  /** --keyframer: meshes where the keyframer places them, once per instance. */
  keyframer?: boolean;
  /** --keep-file-winding: every face's corners as the file stores them. */
  keepFileWinding?: boolean;
  /** --smoothing-groups: hard edges where the smoothing groups say so. */
  smoothingGroups?: boolean;
  /** --orient-outward: meshes whose faces clearly face inward reversed. */
  orientOutward?: boolean;
  /** --file-normals: a glTF's or OBJ's stored normals kept (a 3DS file refuses it). */
  fileNormals?: boolean;
  /**
   * --max-placed-faces: the most faces (and vertices) the keyframer may draw, 10,000,000 by
   * default; past it the conversion fails saying how many it would draw.
   */
  maxPlacedFaces?: number;
  /** Called as each stage starts. */
  onStage?: (stage: 'reading' | 'converting' | 'textures' | 'writing') => void;
}

/** The options of 3ds2bmf --gltf that change the glTF. */
export interface GltfOptions extends FolderOptions {
  /** --orient-outward: meshes whose faces clearly face inward reversed. */
  orientOutward?: boolean;
}

/** The virtual folder the model is converted in. */
export interface FolderOptions {
  /** The model's path among the files ('house/house.3ds'); 'model.3ds' by default.  The model
   *  (.3ds, .glb, .gltf or .obj) is told by its content, whatever its name. */
  name?: string;
  /** The texture files, and the files a glTF or OBJ names beside it (a .gltf's buffers and
   *  images, an .obj's .mtl), at their paths relative to the same root as name; a glTF or OBJ
   *  reads them from the model's folder and below only.  Files that
   *  can't all be laid out (one at 'a', another at 'a/b') are a TorvikError naming both, and so
   *  is a path more than 64 folders deep or longer than 4096 characters. */
  files?: Array<{path: string; bytes: Uint8Array | ArrayBuffer | ArrayBufferView}>;
  /** How names that are not UTF-8 read: any label TextDecoder knows ('shift_jis', 'gbk');
   *  Windows-1252 by default, as 3ds2bmf --name-encoding.  An unknown one is a TorvikError. */
  nameEncoding?: string;
}

/** A stored texture name and the file the resolver found for it. */
export interface TextureReport {
  /** The stored name as text: valid UTF-8 as it is, else decoded as nameEncoding says. */
  name: string;
  /** The file found, or null. */
  path: string | null;
  /** 'path', 'name', 'subfolder', '8.3', 'extension' or 'given'; null when not found. */
  rule: string | null;
  /** Every file found when the name is ambiguous. */
  candidates: string[];
  /** The warning's text, or null. */
  problem: string | null;
}

export interface ConversionReport {
  ok: boolean;
  /** Why the file did not convert, as 3ds2bmf prints it; null when ok.  A damaged glTF or OBJ
   *  says where: 'glTF /accessors/4: ...', 'OBJ line 12: ...'. */
  error: string | null;
  /** The model's format, told by its content: '3DS', 'glTF' or 'OBJ'; null when not ok. */
  format: '3DS' | 'glTF' | 'OBJ' | null;
  /** A glTF's instances drawn beyond the first of each mesh. */
  instances: number;
  path: string;
  blocks: number;
  vertices: number;
  triangles: number;
  degenerate: number;
  defaultMaterial: boolean;
  keyframer: {nodes: number; instances: number; moved: number};
  reversed: number;
  textures: TextureReport[];
  milliseconds: number;
  options: {smoothingGroups: boolean; keepFileWinding: boolean; keyframer: boolean;
            orientOutward: boolean; fileNormals: boolean};
}

/** An image stored inside a glTF, which the BMF names by file. */
export interface EmbeddedImage {
  /** The texture name the BMF's blocks give it. */
  name: string;
  /** The file 3ds2bmf writes it to beside the BMF. */
  fileName: string;
  /** As stored (PNG or JPEG). */
  bytes: Uint8Array;
}

export interface Conversion {
  /** The BMF's bytes (those 3ds2bmf writes), or null when report.error says why. */
  bmf: Uint8Array | null;
  report: ConversionReport;
  warnings: string[];
  /** The images stored inside a glTF: write them beside the BMF under their fileName. */
  images: EmbeddedImage[];
}

export interface BmfBlock {
  texture: string;
  ambient: Float32Array;
  diffuse: Float32Array;
  specular: Float32Array;
  /** 8 floats per vertex: u v i j k x y z. */
  vertices: Float32Array;
  /** 3 indices per triangle, into this block's vertices. */
  triangles: Uint16Array;
}

export interface BmfReading {
  blocks: BmfBlock[];
  report: {ok: boolean; error?: string; path: string; stripFlag?: number; trailingBytes?: number;
           violations?: string[]; textures?: TextureReport[]};
  warnings: string[];
}

export interface GltfExport {
  /** The binary glTF (.glb) of the scene as authored (of a glTF or OBJ, the plain copy of its
   *  scene), or null when report.error says why. */
  glb: Uint8Array | null;
  report: {ok: boolean; error: string | null; path: string};
  warnings: string[];
}

export interface Torvik {
  features: {keyframer: boolean; gltf: boolean};
  convert(bytes: Uint8Array | ArrayBuffer | ArrayBufferView, options?: ConvertOptions): Conversion;
  readBmf(bytes: Uint8Array | ArrayBuffer | ArrayBufferView, options?: FolderOptions): BmfReading;
  toGltf(bytes: Uint8Array | ArrayBuffer | ArrayBufferView, options?: GltfOptions): GltfExport;
}

/** The options of 3ds2bmf this API takes, by their names here and there. */
export const OPTIONS: ReadonlyArray<{key: string; flag: string; feature?: string}>;

export class TorvikError extends Error {}

/** A converter of its own; moduleOptions go to the Emscripten module. */
export function loadTorvik(moduleOptions?: {wasmBinary?: ArrayBuffer | Uint8Array;
                                            locateFile?: (file: string) => string}): Promise<Torvik>;

/** The functions of one converter shared by this module's callers. */
export function convert(bytes: Uint8Array | ArrayBuffer | ArrayBufferView, options?: ConvertOptions): Promise<Conversion>;
export function readBmf(bytes: Uint8Array | ArrayBuffer | ArrayBufferView, options?: FolderOptions): Promise<BmfReading>;
export function toGltf(bytes: Uint8Array | ArrayBuffer | ArrayBufferView, options?: GltfOptions): Promise<GltfExport>;
