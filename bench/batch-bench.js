// A batch of short to long texts through tm-identify on one thread and on every core, against CLD2
// in the same run: the held-out lines of every corpus folder (tm-evaluate --dev-set), each line a
// text, languages interleaved.
//
//   node bench/batch-bench.js BUILD_DIR MODULE_DIR [ROUNDS] [CORPUS_DIR...]
//
// CORPUS_DIR defaults to ../shared/corpus, corpus-running and corpus-sentences beside the
// repository. See bench/harness.js for what is timed.
'use strict';
const os = require('os');
const path = require('path');
const { devLines, compare } = require('./harness');

const [buildDir, moduleDir, roundsArg, ...corpora] = process.argv.slice(2);
if (!buildDir || !moduleDir) {
  console.error('usage: node bench/batch-bench.js BUILD_DIR MODULE_DIR [ROUNDS] [CORPUS_DIR...]');
  process.exit(2);
}
const shared = path.join(__dirname, '..', '..', 'shared');
const folders = corpora.length ? corpora
  : ['corpus', 'corpus-running', 'corpus-sentences'].map((f) => path.join(shared, f));

// Every language's lines, taken in turn, so that the batch mixes languages as real input does.
const lists = folders.flatMap((folder) => devLines(buildDir, folder).map(([, lines]) => lines));
const texts = [];
for (let i = 0; lists.some((l) => i < l.length); i++)
  for (const l of lists) if (i < l.length) texts.push(l[i]);
compare(buildDir, moduleDir, texts, [1, os.cpus().length], Number(roundsArg || 3));
