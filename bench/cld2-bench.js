// Times CLD2 (npm package "cld", built from its bundled sources) on the prose texts of prose_bench:
// English corpus lines joined by line feeds, cut to the first N UTF-16 units.
//
//   node bench/cld2-bench.js CORPUS_DIR [MODULE_DIR]
//
// MODULE_DIR is a folder whose node_modules holds cld (installed with
// `npm install cld --nodedir=/usr`; npm 11 also needs `npm install-scripts approve cld` and
// `npm rebuild cld --nodedir=/usr`).
'use strict';
const fs = require('fs');
const path = require('path');

const corpus = process.argv[2];
const moduleDir = process.argv[3] || process.cwd();
const cld = require(path.join(moduleDir, 'node_modules', 'cld'));

let prose = fs.readFileSync(path.join(corpus, 'ENGLISH.txt'), 'utf8');
while (prose.length < 1000000) prose += prose;

async function time(text) {
  // Repeat for at least 0.5 s, as the C++ benchmark does for short texts.
  let runs = 0;
  const start = process.hrtime.bigint();
  let elapsed = 0n;
  while (elapsed < 500000000n || runs < 3) {
    try {
      await cld.detect(text, { isPlainText: true, bestEffort: true });
    } catch (e) {
      // CLD2 reports "Failed to identify language" as an error; it still did the work.
    }
    runs++;
    elapsed = process.hrtime.bigint() - start;
  }
  return Number(elapsed) / 1e3 / runs;  // microseconds per call
}

(async () => {
  console.log('Benchmark              Time (us)        units/s');
  for (const n of [30, 300, 3000, 1000000]) {
    const text = prose.slice(0, n);
    const us = await time(text);
    console.log(`CLD2/${String(n).padEnd(16)} ${us.toFixed(1).padStart(10)} ${(n / us * 1e6 / 1e6).toFixed(2).padStart(10)}M/s`);
  }
})();
