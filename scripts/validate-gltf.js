// Runs the Khronos glTF validator on every file named and prints, per file,
// its counts of errors, warnings, infos and hints, then each error and
// warning.  A .gltf's .bin and other resources are read from beside it.
//   node scripts/validate-gltf.js FILE.glb|FILE.gltf...
// The validator is the npm package gltf-validator that
// scripts/setup-gltf-validator.sh installs under .cache/gltf-validator; the
// variable GLTF_VALIDATOR_DIR names another folder holding its node_modules.
// Exit status: 0 when no file has an error or a warning, 1 when some has,
// 2 when the validator is missing or a file can't be read.
'use strict';
const fs = require('fs');
const path = require('path');

const validatorDir = process.env.GLTF_VALIDATOR_DIR ||
    path.join(__dirname, '..', '.cache', 'gltf-validator');
const severities = ['error', 'warning'];

async function validate(file) {
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    writeTimestamp: false,
    externalResourceFunction: async (uri) =>
      new Uint8Array(fs.readFileSync(path.resolve(path.dirname(file), decodeURIComponent(uri)))),
  });
  const issues = report.issues;
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
              `${issues.numInfos} infos, ${issues.numHints} hints`);
  for (const m of issues.messages) {
    if (m.severity < severities.length)
      console.log(`  ${severities[m.severity]} ${m.code} at ${m.pointer || '/'}: ${m.message}`);
  }
  return issues.numErrors === 0 && issues.numWarnings === 0;
}

let validator;
try {
  validator = require(path.join(validatorDir, 'node_modules', 'gltf-validator'));
} catch (error) {
  console.error(`validate-gltf: no gltf-validator in ${validatorDir} ` +
                '(scripts/setup-gltf-validator.sh installs it)');
  process.exit(2);
}

(async () => {
  let clean = true;
  for (const file of process.argv.slice(2)) {
    try {
      clean = (await validate(file)) && clean;
    } catch (error) {
      console.error(`validate-gltf: ${file}: ${error.message || error}`);
      process.exitCode = 2;
    }
  }
  if (!process.exitCode && !clean) process.exitCode = 1;
})();
