// The report of one model: counts, textures (found by which rule, missing,
// ambiguous), the materials' maps, every warning, and a damaged file's error as 3ds2bmf prints
// it.  Text from files is only ever set as text.

function element(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  for (const child of children) node.append(child);
  return node;
}

function counted(count, noun, plural = noun + 's') {
  return `${count} ${count === 1 ? noun : plural}`;
}

// The line 3ds2bmf -v prints for a file that converted.
export function summaryLine(entry) {
  const r = entry.report;
  const found = r.textures.filter((texture) => texture.path).length;
  const parts = [counted(r.blocks, 'block'), counted(r.vertices, 'vertex', 'vertices'),
                 counted(r.triangles, 'triangle')];
  if (entry.kind !== 'bmf') {
    parts.push(`${r.degenerate} degenerate dropped`,
               r.defaultMaterial ? 'default material used' : 'no default material');
  }
  parts.push(`textures ${found}/${r.textures.length} found`);
  if (entry.kind !== 'bmf') parts.push(`${r.milliseconds.toFixed(1)} ms`);
  return `${entry.path}: ${parts.join(', ')}`;
}

// The textures not found, for the notice above the view: '' when none.
export function missingTexturesNotice(entry) {
  if (!entry || !entry.report || !entry.report.ok) return '';
  const missing = entry.report.textures.filter((texture) => !texture.path).map((texture) => texture.name);
  if (missing.length === 0) return '';
  return `${counted(missing.length, 'texture')} of ${entry.report.textures.length} not found: ` +
         `${missing.join(', ')}. Drop them, or the model's whole folder, to add them.`;
}

function countsTable(entry) {
  const r = entry.report;
  const rows = [['blocks', r.blocks], ['vertices', r.vertices], ['triangles', r.triangles]];
  if (entry.kind !== 'bmf' && r.format !== '3DS') {
    rows.push(['format', r.format], ['degenerate faces dropped', r.degenerate],
              ['default material', r.defaultMaterial ? 'used' : 'not used'],
              ...(r.format === 'glTF' ? [['instances drawn', r.instances]] : []),
              ['images stored inside', (entry.images || []).length],
              ...(r.options && r.options.orientOutward ? [['meshes reversed', r.reversed]] : []),
              ['conversion', `${r.milliseconds.toFixed(1)} ms`]);
  } else if (entry.kind !== 'bmf') {
    rows.push(['degenerate faces dropped', r.degenerate],
              ['default material', r.defaultMaterial ? 'used' : 'not used'],
              ['keyframer instances', `${r.keyframer.instances} (${counted(r.keyframer.nodes, 'object node')}, ` +
                                      `${counted(r.keyframer.moved, 'object')} moved)`],
              ...(r.options && r.options.orientOutward ? [['meshes reversed', r.reversed]] : []),
              ['conversion', `${r.milliseconds.toFixed(1)} ms`]);
  } else {
    rows.push(['layout', r.violations.length === 0 ? 'valid' : `${counted(r.violations.length, 'broken rule')}`]);
  }
  return element('table', {class: 'counts'},
                 ...rows.map(([name, value]) => element('tr', {}, element('th', {}, name),
                                                        element('td', {}, String(value)))));
}

// Where the file of a texture lies: an image stored inside the model is
// named as 3ds2bmf writes it beside the BMF.
function fileText(texture, images) {
  const inside = images.find((image) => image.name === texture.name);
  return inside ? `inside the model (${inside.fileName})` : texture.path;
}

function texturesTable(textures, images = []) {
  if (textures.length === 0) return element('p', {class: 'quiet'}, 'No textures named.');
  const head = element('tr', {}, element('th', {}, 'texture as stored'), element('th', {}, 'file'),
                       element('th', {}, 'rule'));
  const rows = textures.map((texture) => {
    const state = !texture.path ? 'missing' : texture.candidates.length > 1 ? 'ambiguous' : 'found';
    const file = texture.path
      ? fileText(texture, images) + (texture.candidates.length > 1 ? ` (of ${texture.candidates.join(', ')})` : '')
      : 'not found';
    return element('tr', {class: `texture ${state}`}, element('td', {}, texture.name),
                   element('td', {}, file), element('td', {}, texture.rule || '—'));
  });
  return element('table', {class: 'textures'}, head, ...rows);
}

// Every map of every material (texture 1, bump, opacity, specular... maps),
// how it lies, and the file found for its kind.
function mapsTable(maps, images = []) {
  const head = element('tr', {}, element('th', {}, 'material'), element('th', {}, 'map'),
                       element('th', {}, 'as stored'), element('th', {}, 'file'), element('th', {}, 'rule'));
  const rows = maps.map((map) => {
    const state = !map.path ? 'missing' : map.candidates.length > 1 ? 'ambiguous' : 'found';
    const kind = map.kind === 'texture' ? 'texture' : `${map.kind} map`;
    return element('tr', {class: `texture ${state}`}, element('td', {}, map.material),
                   element('td', {}, map.placement ? `${kind} (${map.placement})` : kind),
                   element('td', {}, map.name), element('td', {}, map.path ? fileText(map, images) : 'not found'),
                   element('td', {}, map.rule || '—'));
  });
  return element('table', {class: 'textures maps'}, head, ...rows);
}

// The report of a model converted, or the one line of a model that could
// not be (its error, as 3ds2bmf prints it after its name).
export function renderReport(container, entry) {
  container.replaceChildren(element('h2', {}, 'Report'));
  if (!entry.report.ok) {
    container.append(element('p', {class: 'error', role: 'alert'}, `${entry.path}: ${entry.report.error}`));
    return;
  }
  container.append(element('p', {class: 'summary'}, summaryLine(entry)), countsTable(entry),
                   element('h3', {}, 'Textures'), texturesTable(entry.report.textures, entry.images));
  if (entry.report.maps && entry.report.maps.length > 0)
    container.append(element('h3', {}, 'Maps'), mapsTable(entry.report.maps, entry.images));
  // The scene's glTF warns of the maps it misses as the conversion does:
  // each warning once.
  const warnings = [...new Set([...entry.warnings, ...(entry.report.violations || []).map((v) => `${entry.path}: ${v}`),
                                ...(entry.zip ? entry.zip.warnings : []), ...(entry.viewWarnings || [])])];
  container.append(element('h3', {}, 'Warnings'));
  container.append(warnings.length === 0
    ? element('p', {class: 'quiet'}, 'None.')
    : element('ul', {class: 'warnings'}, ...warnings.map((w) => element('li', {}, w))));
}
