// The conversions, off the page's thread: the page posts
//   {id, kind: 'convert' | 'inspect', name, bytes, files, options}
// and gets {id, type: 'stage', stage} as each stage starts, then
// {id, type: 'done', result} or {id, type: 'failed', message}.
// A converted model is also read back, so that the viewer draws the BMF as
// written.
import {loadTorvik} from './torvik.js';

const ready = loadTorvik();

function bmfName(name) {
  return name.replace(/\.3ds$/i, '') + '.bmf';
}

function run(torvik, request) {
  const stage = (name) => postMessage({id: request.id, type: 'stage', stage: name});
  const files = request.files || [];
  // Names read alike in the report, the blocks and the glTF.
  const nameEncoding = request.options && request.options.nameEncoding;
  if (request.kind === 'inspect') {
    stage('reading');
    return torvik.readBmf(request.bytes, {name: request.name, files, nameEncoding});
  }
  const converted = torvik.convert(request.bytes, {...request.options, name: request.name, files,
                                                    onStage: stage});
  if (!converted.bmf) return {...converted, blocks: []};
  stage('viewing');
  const written = torvik.readBmf(converted.bmf, {name: bmfName(request.name), files, nameEncoding});
  stage('glTF');
  const gltf = torvik.toGltf(request.bytes, {name: request.name, files, nameEncoding});
  const warnings = [...converted.warnings, ...gltf.warnings];
  if (!gltf.glb) warnings.push(`${request.name}: no glTF: ${gltf.report.error}`);
  return {...converted, warnings, blocks: written.blocks, glb: gltf.glb};
}

self.onmessage = async ({data: request}) => {
  try {
    const torvik = await ready;
    if (request.kind === 'features') {
      postMessage({id: request.id, type: 'done', result: torvik.features});
      return;
    }
    const result = run(torvik, request);
    const transfer = [];
    if (result.bmf) transfer.push(result.bmf.buffer);
    if (result.glb) transfer.push(result.glb.buffer);
    for (const block of result.blocks || []) transfer.push(block.vertices.buffer, block.triangles.buffer);
    postMessage({id: request.id, type: 'done', result}, transfer);
  } catch (error) {
    postMessage({id: request.id, type: 'failed', message: String(error && error.message || error)});
  }
};
