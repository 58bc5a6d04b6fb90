// The report of one model: counts, textures (found by which rule, missing,
// ambiguous), every warning, and a damaged file's error as 3ds2bmf prints
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

// The line 3ds2bmf -v prints for the file.
export function summaryLine(entry) {
  const r = entry.report;
  if (!r.ok) return `${entry.path}: failed: ${r.error}`;
  const found = r.textures.filter((texture) => texture.path).length;
  const blocks = entry.blocks.length;
  const vertices = entry.blocks.reduce((sum, block) => sum + block.vertices.length / 8, 0);
  const triangles = entry.blocks.reduce((sum, block) => sum + block.triangles.length / 3, 0);
  const parts = [counted(blocks, 'block'), counted(vertices, 'vertex', 'vertices'),
                 counted(triangles, 'triangle')];
  if (entry.kind === '3ds') {
    parts.push(`${r.degenerate} degenerate dropped`,
               r.defaultMaterial ? 'default material used' : 'no default material');
  }
  parts.push(`textures ${found}/${r.textures.length} found`);
  if (entry.kind === '3ds') parts.push(`${r.milliseconds.toFixed(1)} ms`);
  return `${entry.path}: ${parts.join(', ')}`;
}

function countsTable(entry) {
  const r = entry.report;
  const rows = [
    ['blocks', entry.blocks.length],
    ['vertices', entry.blocks.reduce((sum, block) => sum + block.vertices.length / 8, 0)],
    ['triangles', entry.blocks.reduce((sum, block) => sum + block.triangles.length / 3, 0)],
  ];
  if (entry.kind === '3ds') {
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

function texturesTable(textures) {
  if (textures.length === 0) return element('p', {class: 'quiet'}, 'No textures named.');
  const head = element('tr', {}, element('th', {}, 'texture as stored'), element('th', {}, 'file'),
                       element('th', {}, 'rule'));
  const rows = textures.map((texture) => {
    const state = !texture.path ? 'missing' : texture.candidates.length > 1 ? 'ambiguous' : 'found';
    const file = texture.path
      ? texture.path + (texture.candidates.length > 1 ? ` (of ${texture.candidates.join(', ')})` : '')
      : 'not found';
    return element('tr', {class: `texture ${state}`}, element('td', {}, texture.name),
                   element('td', {}, file), element('td', {}, texture.rule || '—'));
  });
  return element('table', {class: 'textures'}, head, ...rows);
}

export function renderReport(container, entry) {
  container.replaceChildren();
  container.append(element('p', {class: 'summary'}, summaryLine(entry)));
  if (!entry.report.ok) {
    container.append(element('p', {class: 'error', role: 'alert'}, `${entry.path}: ${entry.report.error}`));
    return;
  }
  container.append(countsTable(entry), element('h3', {}, 'Textures'), texturesTable(entry.report.textures));
  const warnings = [...entry.warnings, ...(entry.report.violations || []).map((v) => `${entry.path}: ${v}`),
                    ...(entry.viewWarnings || [])];
  container.append(element('h3', {}, 'Warnings'));
  container.append(warnings.length === 0
    ? element('p', {class: 'quiet'}, 'None.')
    : element('ul', {class: 'warnings'}, ...warnings.map((w) => element('li', {}, w))));
}
