// Long text, all languages, ours against CLD2 in one run: about 100,000 UTF-16 units of held-out
// text per language (the development lines of tm-evaluate --dev-set, joined by spaces), the 42
// languages in turn and five rounds, so that a language's text comes back only after 41 others.
//
//   node bench/long-text-bench.js BUILD_DIR CORPUS_DIR MODULE_DIR [ROUNDS]
//
// Ours: one `tm-identify --best` process with the 210 texts as lines, the path every text of the
// tool takes; a run on a one-unit text is subtracted, which leaves out starting, loading and
// building the index (the tool builds it for the first text). CLD2: the
// npm package "cld" (in MODULE_DIR/node_modules; see bench/cld2-bench.js for installing it) on the
// same texts in the same order. ROUNDS (default 3) alternating rounds; the best of each is kept.
// Prints units per second for both, the ratio, the peak memory of tm-identify, and how many texts
// tm-identify named right.
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [buildDir, corpus, moduleDir, roundsArg] = process.argv.slice(2);
if (!buildDir || !corpus || !moduleDir) {
  console.error('usage: node bench/long-text-bench.js BUILD_DIR CORPUS_DIR MODULE_DIR [ROUNDS]');
  process.exit(2);
}
const rounds = Number(roundsArg || 3);
const cld = require(path.join(moduleDir, 'node_modules', 'cld'));
const identify = path.join(buildDir, 'tools', 'identify', 'tm-identify');
const evaluate = path.join(buildDir, 'tools', 'evaluate', 'tm-evaluate');
const kUnits = 100000;
const kPasses = 5;

function run(command, args, options) {
  const result = spawnSync(command, args, { maxBuffer: 1 << 30, ...options });
  if (result.error || result.status !== 0) {
    console.error(`long-text-bench: ${command} ${args.join(' ')} failed: ` +
                  (result.error ? result.error.message : String(result.stderr)));
    process.exit(1);
  }
  return result;
}

// The held-out lines by language, in the order the tool lists them.
const byLanguage = new Map();
const devSet = run(evaluate, ['--dev-set', corpus, '--per-language', '1000000']).stdout.toString('utf8');
for (const line of devSet.split('\n')) {
  const tab = line.indexOf('\t');
  if (tab < 0) continue;
  const name = line.slice(0, tab);
  if (!byLanguage.has(name)) byLanguage.set(name, []);
  byLanguage.get(name).push(line.slice(tab + 1));
}

// One text per language: its lines joined by spaces (from the start again if they run out), cut to
// kUnits units without splitting a surrogate pair.
const languages = [];
for (const [name, lines] of byLanguage) {
  let text = '';
  for (let i = 0; text.length < kUnits; i = (i + 1) % lines.length) text += (text ? ' ' : '') + lines[i];
  text = text.slice(0, kUnits);
  if (/[\uD800-\uDBFF]$/.test(text)) text = text.slice(0, -1);
  languages.push({ name, text });
}
const texts = [];
for (let pass = 0; pass < kPasses; pass++) for (const language of languages) texts.push(language);
const units = texts.reduce((sum, t) => sum + t.text.length, 0);

// tm-identify reads one text per line; a backslash would start an escape.
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tm-long-'));
const input = path.join(dir, 'texts.txt');
fs.writeFileSync(input, texts.map((t) => t.text.replace(/\\/g, '\\\\')).join('\n') + '\n');
const tiny = path.join(dir, 'tiny.txt');
fs.writeFileSync(tiny, 'a\n');

function timeIdentify(file) {
  const fd = fs.openSync(file, 'r');
  const start = process.hrtime.bigint();
  const result = run(identify, ['--best'], { stdio: [fd, 'pipe', 'pipe'] });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  fs.closeSync(fd);
  return { seconds, answers: result.stdout.toString('utf8').split('\n').filter((l) => l) };
}

function ours() {
  const full = timeIdentify(input);
  const base = Math.min(timeIdentify(tiny).seconds, timeIdentify(tiny).seconds);
  const right = full.answers.filter((answer, i) => answer === texts[i].name).length;
  if (full.answers.length !== texts.length) {
    console.error(`long-text-bench: ${full.answers.length} answers for ${texts.length} texts`);
    process.exit(1);
  }
  return { seconds: full.seconds - base, right };
}

async function cld2() {
  const start = process.hrtime.bigint();
  for (const t of texts) {
    try {
      await cld.detect(t.text, { isPlainText: true, bestEffort: true });
    } catch (e) {
      // "Failed to identify language" is an answer too; the work was done.
    }
  }
  return Number(process.hrtime.bigint() - start) / 1e9;
}

function peakKilobytes() {
  const fd = fs.openSync(input, 'r');
  const result = spawnSync('/usr/bin/time', ['-f', '%M', identify, '--best'], { stdio: [fd, 'ignore', 'pipe'] });
  fs.closeSync(fd);
  const kb = result.status === 0 ? Number(String(result.stderr).trim().split('\n').pop()) : NaN;
  return Number.isFinite(kb) ? kb : null;
}

(async () => {
  console.log(`${texts.length} texts, ${(units / 1e6).toFixed(2)} M units; load average ${os.loadavg().map((l) => l.toFixed(2)).join(' ')}`);
  let best = { ours: Infinity, cld2: Infinity };
  let right = 0;
  for (let round = 1; round <= rounds; round++) {
    const a = ours();
    const b = await cld2();
    right = a.right;
    best = { ours: Math.min(best.ours, a.seconds), cld2: Math.min(best.cld2, b) };
    console.log(`round ${round}: Tonguemeter ${(units / a.seconds / 1e6).toFixed(1)} M units/s, ` +
                `CLD2 ${(units / b / 1e6).toFixed(1)} M units/s`);
  }
  const oursRate = units / best.ours / 1e6;
  const cldRate = units / best.cld2 / 1e6;
  console.log(`best of ${rounds}: Tonguemeter ${oursRate.toFixed(1)} M units/s (${(best.ours * 1000).toFixed(0)} ms), ` +
              `CLD2 ${cldRate.toFixed(1)} M units/s (${(best.cld2 * 1000).toFixed(0)} ms), ratio ${(oursRate / cldRate).toFixed(2)}`);
  const kb = peakKilobytes();
  console.log(`tm-identify: ${right} of ${texts.length} texts named right` +
              (kb !== null ? `, peak resident ${(kb / 1024).toFixed(1)} MiB` : ''));
  fs.rmSync(dir, { recursive: true, force: true });
})();
