// Long text, all languages, ours on one thread and on every core against CLD2 in one run: about
// 100,000 UTF-16 units of held-out text per language (the development lines of tm-evaluate
// --dev-set, joined by spaces), the 42 languages in turn and five rounds, so that a language's text
// comes back only after 41 others.
//
//   node bench/long-text-bench.js BUILD_DIR CORPUS_DIR MODULE_DIR [ROUNDS]
//
// Ours: one `tm-identify --best` process with the 210 texts as lines (see bench/harness.js for what
// is timed). Prints units per second for each, the ratios, the peak memory of tm-identify, and how
// many texts it named right.
'use strict';
const os = require('os');
const { devLines, compare } = require('./harness');

const [buildDir, corpus, moduleDir, roundsArg] = process.argv.slice(2);
if (!buildDir || !corpus || !moduleDir) {
  console.error('usage: node bench/long-text-bench.js BUILD_DIR CORPUS_DIR MODULE_DIR [ROUNDS]');
  process.exit(2);
}
const kUnits = 100000;
const kPasses = 5;

// One text per language: its lines joined by spaces (from the start again if they run out), cut to
// kUnits units without splitting a surrogate pair.
const languages = devLines(buildDir, corpus).map(([name, lines]) => {
  let text = '';
  for (let i = 0; text.length < kUnits; i = (i + 1) % lines.length) text += (text ? ' ' : '') + lines[i];
  text = text.slice(0, kUnits);
  if (/[\uD800-\uDBFF]$/.test(text)) text = text.slice(0, -1);
  return { name, text };
});
const order = [];
for (let pass = 0; pass < kPasses; pass++) order.push(...languages);

const best = compare(buildDir, moduleDir, order.map((l) => l.text), [1, os.cpus().length], Number(roundsArg || 3));
const right = best[1].answers.filter((answer, i) => answer === order[i].name).length;
console.log(`tm-identify: ${right} of ${order.length} texts named right`);
