// Runs the Khronos glTF validator over every .glb named on the command
// line and prints its counts; fails on any error or warning.
//   node validate_models.js <gltf-validator module folder> FILE.glb...
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require(path.resolve(process.argv[2]));

(async () => {
  let bad = 0;
  for (const file of process.argv.slice(3)) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
      maxIssues: 50,
      writeTimestamp: false,
    });
    const i = report.issues;
    console.log(`${file}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos, ` +
                `${i.numHints} hints`);
    for (const m of i.messages)
      if (m.severity <= 1) console.log(`  ${m.code} ${m.pointer || ''}: ${m.message}`);
    if (i.numErrors || i.numWarnings) bad++;
  }
  process.exit(bad ? 1 : 0);
})().catch((e) => { console.error(e); process.exit(2); });
