// Validates .glb and .gltf files with the Khronos glTF Validator; prints one
// line per file and exits 1 when any has an error or a warning.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function check(file) {
  const options = { uri: path.basename(file), maxIssues: 20 };
  const report = file.endsWith('.gltf')
    ? await validator.validateString(fs.readFileSync(file, 'utf8'), options)
    : await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), options);
  const { numErrors, numWarnings, messages } = report.issues;
  console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings`);
  for (const m of messages)
    if (m.severity <= 1) console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
  return numErrors === 0 && numWarnings === 0;
}

(async () => {
  let ok = process.argv.length > 2;
  for (const file of process.argv.slice(2)) ok = (await check(file)) && ok;
  process.exit(ok ? 0 : 1);
})();
