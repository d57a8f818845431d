// Checks glTF files with the Khronos glTF validator:
//   node gltf_validate.js NODE_MODULES FILE...
// prints each file's report and exits 1 when any file has an error or a
// warning, or cannot be read.
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, ...files] = process.argv.slice(2);
const validator = require(path.join(modules, 'gltf-validator'));
const severities = ['error', 'warning', 'info', 'hint'];

async function check(file) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
        uri: path.basename(file),
        maxIssues: 0,
    });
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
                `${issues.numInfos} infos, ${issues.numHints} hints ` +
                `(validator ${report.validatorVersion})`);
    for (const m of issues.messages)
        console.log(`  ${severities[m.severity]} ${m.code} ${m.pointer || ''}: ${m.message}`);
    return issues.numErrors === 0 && issues.numWarnings === 0;
}

(async () => {
    let ok = files.length > 0;
    for (const file of files) {
        try {
            ok = (await check(file)) && ok;
        } catch (e) {
            console.log(`${file}: cannot be validated: ${e}`);
            ok = false;
        }
    }
    process.exit(ok ? 0 : 1);
})();
