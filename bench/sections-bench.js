// Mixed-language documents: `tm-identify --sections` against CLD2's chunks in one run.
//
//   node bench/sections-bench.js BUILD_DIR CORPUS_DIR MODULE_DIR [--train] [--docs N] [--seed S]
//                                [--rounds R] [--show KIND]
//
// Documents are made of the held-out lines of CORPUS_DIR (the lines IsDevelopmentLine holds out of
// training, prepared as `tm-evaluate --dev-set` prepares them; --train takes the other lines, for
// tuning), one line a sentence, joined by spaces within a run and by a space or a line feed between
// runs. A run has 2 to 20 sentences, or, one time in five, one sentence of at most 80 units. Kinds,
// N documents each (default 400):
//   two     two languages drawn from all, 2 to 4 runs in turn
//   three   three languages, 3 to 5 runs in turn
//   close   Danish/Norwegian, Spanish/Catalan, Czech/Slovak, 2 to 4 runs in turn
//   far     Japanese/English, 2 to 4 runs in turn
//   single  one language, 2 to 20 sentences
// Scores per kind: the share of characters of the sentences labelled with their language (what lies
// between two runs is not counted; a CLD2 label outside the 42 counts wrong, as does a character no
// chunk covers), boundary precision and recall within 10 units, and for one-language documents how
// often they were split. "one verdict" labels the whole document with `tm-identify --best`.
// Time: `tm-identify --sections` against `tm-identify --best` on the same documents as lines, less a
// run on a one-unit text, and CLD2 on the same documents; best of R rounds (default 3).
// --show KIND prints our runs of each document of that kind that got a wrong number of runs.
// MODULE_DIR holds node_modules/cld (see bench/cld2-bench.js for installing it).
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { LANGS, CODES } = require('./identifier-codes');

function usage() {
  console.error('usage: node bench/sections-bench.js BUILD_DIR CORPUS_DIR MODULE_DIR [--train] [--docs N] ' +
                '[--seed S] [--rounds R] [--show KIND]');
  process.exit(2);
}
const positional = [];
const options = { train: false, docs: 400, seed: 1, rounds: 3, show: null };
for (let i = 2; i < process.argv.length; i++) {
  const arg = process.argv[i];
  if (arg === '--train') options.train = true;
  else if (arg === '--show' && i + 1 < process.argv.length) options.show = process.argv[++i];
  else if (['--docs', '--seed', '--rounds'].includes(arg) && i + 1 < process.argv.length) {
    options[arg.slice(2)] = Number(process.argv[++i]);
    if (!Number.isInteger(options[arg.slice(2)]) || options[arg.slice(2)] < 1) usage();
  } else if (arg.startsWith('--')) usage();
  else positional.push(arg);
}
if (positional.length !== 3) usage();
const [buildDir, corpus, moduleDir] = positional;
const cld = require(path.join(path.resolve(moduleDir), 'node_modules', 'cld'));
const { identify, evaluate } = require('./harness').tools(buildDir);

function run(command, args, spawnOptions) {
  const result = spawnSync(command, args, { maxBuffer: 1 << 30, ...spawnOptions });
  if (result.error || result.status !== 0) {
    console.error(`sections-bench: ${command} ${args.join(' ')} failed: ` +
                  (result.error ? result.error.message : String(result.stderr)));
    process.exit(1);
  }
  return result;
}

// ------------------------------------------------------------------------------- sentences

// The rule of IsDevelopmentLine (tools/build-profiles/ProfileBuilder.cpp): every tenth block of
// forty; and MakeSample (tools/evaluate/Evaluate.cpp): trimmed, cut at a word end past 400 units,
// at least 10 units. The held-out lines are checked against tm-evaluate's below.
function isDevelopmentLine(index, count) {
  return Math.floor(index * 40 / count) % 10 === 7;
}
function makeSample(line) {
  let text = line.replace(/^[ \t]+|[ \t]+$/g, '');
  if (text.length > 400) {
    let cut = text.lastIndexOf(' ', 400);
    if (cut < 0 || cut < 200) cut = 400;
    text = text.slice(0, cut);
  }
  return text.length >= 10 ? text : null;
}

function corpusLines(name, heldOut) {
  const file = path.join(corpus, `${name}.txt`);
  if (!fs.existsSync(file)) return [];
  const raw = fs.readFileSync(file, 'utf8').replace(/\r/g, '').split('\n');
  if (raw.length && raw[raw.length - 1] === '') raw.pop();
  const lines = [];
  raw.forEach((line, i) => {
    const sample = isDevelopmentLine(i, raw.length) === heldOut ? makeSample(line) : null;
    if (sample !== null) lines.push(sample);
  });
  return lines;
}

const devSet = new Map();
const devLines = run(evaluate, ['--dev-set', corpus, '--per-language', '100000000']).stdout.toString('utf8');
for (const line of devLines.split('\n')) {
  const tab = line.indexOf('\t');
  if (tab < 0) continue;
  if (!devSet.has(line.slice(0, tab))) devSet.set(line.slice(0, tab), []);
  devSet.get(line.slice(0, tab)).push(line.slice(tab + 1));
}
const sentences = new Map();
for (const name of LANGS) {
  const held = corpusLines(name, true);
  const expected = devSet.get(name) || [];
  if (held.length !== expected.length || held.some((s, i) => s !== expected[i])) {
    console.error(`sections-bench: the held-out lines of ${name} differ from tm-evaluate --dev-set's; ` +
                  'update isDevelopmentLine and makeSample here');
    process.exit(1);
  }
  const lines = options.train ? corpusLines(name, false) : held;
  // A line feed or a backslash inside a sentence would change the document's text in line mode.
  const usable = lines.filter((s) => !/[\n\\]/.test(s));
  if (usable.length >= 20) sentences.set(name, usable);
}

// ------------------------------------------------------------------------------- documents

// A small fixed-seed generator, so that every run makes the same documents.
let state = options.seed >>> 0;
function random() {
  state = (state + 0x6D2B79F5) >>> 0;
  let t = state;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
const between = (low, high) => low + Math.floor(random() * (high - low + 1));
const pick = (list) => list[Math.floor(random() * list.length)];

const kShort = 80;
function runSentences(name, allowShort) {
  const list = sentences.get(name);
  if (allowShort && random() < 0.2) {
    const short = list.filter((s) => s.length <= kShort);
    if (short.length) return [pick(short)];
  }
  const count = between(2, 20);
  const start = between(0, list.length - 1);
  const out = [];
  for (let k = 0; k < count; k++) out.push(list[(start + k) % list.length]);
  return out;
}

// A document: its text, the label of every unit (null between runs) and where each run starts.
function makeDocument(languages, runCount, allowShort) {
  let text = '';
  const labels = [];
  const starts = [];
  for (let r = 0; r < runCount; r++) {
    const name = languages[r % languages.length];
    if (r > 0) {
      const gap = random() < 0.5 ? ' ' : '\n';
      text += gap;
      labels.push(null);
    }
    starts.push(text.length);
    const body = runSentences(name, allowShort).join(' ');
    text += body;
    for (let k = 0; k < body.length; k++) labels.push(name);
  }
  return { text, labels, starts, languages };
}

function distinct(count, pool) {
  const chosen = [];
  while (chosen.length < count) {
    const name = pick(pool);
    if (!chosen.includes(name)) chosen.push(name);
  }
  return chosen;
}

const available = [...sentences.keys()];
const eitherOrder = (pair) => (random() < 0.5 ? pair : [pair[1], pair[0]]);
const closePairs = [['DANISH', 'NORWEGIAN'], ['SPANISH', 'CATALAN'], ['CZECH', 'SLOVAK']]
  .filter((pair) => pair.every((n) => sentences.has(n)));
const kinds = [
  { kind: 'two', make: () => makeDocument(distinct(2, available), between(2, 4), true) },
  { kind: 'three', make: () => makeDocument(distinct(3, available), between(3, 5), true) },
  { kind: 'close', make: () => makeDocument(eitherOrder(pick(closePairs)), between(2, 4), true) },
  { kind: 'far', make: () => makeDocument(eitherOrder(['JAPANESE', 'ENGLISH']), between(2, 4), true) },
  { kind: 'single', make: () => makeDocument([pick(available)], 1, false) },
].filter((k) => k.kind !== 'close' || closePairs.length)
 .filter((k) => k.kind !== 'far' || (sentences.has('JAPANESE') && sentences.has('ENGLISH')));
const documents = [];
for (const { kind, make } of kinds)
  for (let d = 0; d < options.docs; d++) documents.push({ kind, ...make() });

// ------------------------------------------------------------------------------- systems

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tm-sections-'));
const input = path.join(dir, 'documents.txt');
// One document a line: a backslash would start an escape, and the line feeds become escapes.
const escaped = (text) => text.replace(/\\/g, '\\\\').replace(/\n/g, '\\n');
fs.writeFileSync(input, documents.map((d) => escaped(d.text)).join('\n') + '\n');
const tiny = path.join(dir, 'tiny.txt');
fs.writeFileSync(tiny, 'a\n');

function timeIdentify(option, file) {
  const fd = fs.openSync(file, 'r');
  const start = process.hrtime.bigint();
  const result = run(identify, [option], { stdio: [fd, 'pipe', 'pipe'] });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  fs.closeSync(fd);
  const answers = result.stdout.toString('utf8').split('\n');
  answers.pop();
  if (file === input && answers.length !== documents.length) {
    console.error(`sections-bench: ${answers.length} answers for ${documents.length} documents`);
    process.exit(1);
  }
  return { seconds, answers };
}
const timeBase = (option) => Math.min(timeIdentify(option, tiny).seconds, timeIdentify(option, tiny).seconds);

// Runs as [{ start, end, name }] in UTF-16 units.
function oursRuns(answer) {
  const fields = answer.split('\t');
  const runs = [];
  for (let k = 0; k + 2 < fields.length; k += 3)
    runs.push({ start: Number(fields[k]), end: Number(fields[k + 1]), name: fields[k + 2] });
  return runs;
}

// CLD2's chunks, their UTF-8 byte offsets turned into UTF-16 units.
async function cld2Runs(text) {
  let result;
  try {
    result = await cld.detect(text, { isPlainText: true, bestEffort: true });
  } catch (e) {
    return [];  // "Failed to identify language": nothing labelled
  }
  const unitAt = new Map([[0, 0]]);
  let bytes = 0;
  for (let i = 0; i < text.length; i++) {
    const c = text.codePointAt(i);
    bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (c >= 0x10000) i++;
    unitAt.set(bytes, i + 1);
  }
  const unit = (b) => {
    while (!unitAt.has(b)) b--;
    return unitAt.get(b);
  };
  return (result.chunks || []).map((c) => ({
    start: unit(c.offset), end: unit(c.offset + c.bytes), name: CODES[c.code] || `cld2:${c.code}`,
  }));
}

async function timeCld2() {
  const start = process.hrtime.bigint();
  const runs = [];
  for (const d of documents) runs.push(await cld2Runs(d.text));
  return { seconds: Number(process.hrtime.bigint() - start) / 1e9, runs };
}

// ------------------------------------------------------------------------------- scores

function score(kindDocs, runsOf) {
  let right = 0, counted = 0, truePositives = 0, predicted = 0, recalled = 0, actual = 0, split = 0;
  for (const d of kindDocs) {
    const runs = runsOf(d);
    const label = new Array(d.text.length).fill(null);
    for (const r of runs) for (let i = r.start; i < r.end && i < label.length; i++) label[i] = r.name;
    d.labels.forEach((truth, i) => {
      if (truth === null) return;
      counted++;
      if (label[i] === truth) right++;
    });
    // Boundaries: where the language changes from one run to the next.
    const changes = [];
    for (let k = 1; k < runs.length; k++) if (runs[k].name !== runs[k - 1].name) changes.push(runs[k].start);
    const truths = d.starts.slice(1);
    const near = (a, list) => list.some((b) => Math.abs(a - b) <= 10);
    predicted += changes.length;
    truePositives += changes.filter((b) => near(b, truths)).length;
    actual += truths.length;
    recalled += truths.filter((b) => near(b, changes)).length;
    if (changes.length > 0) split++;
  }
  return {
    chars: right / counted,
    precision: predicted ? truePositives / predicted : NaN,
    recall: actual ? recalled / actual : NaN,
    split: split / kindDocs.length,
  };
}

const percent = (x) => (Number.isNaN(x) ? '-' : `${(100 * x).toFixed(1)} %`);

(async () => {
  const units = documents.reduce((sum, d) => sum + d.text.length, 0);
  console.log(`${documents.length} documents (${options.docs} of each kind), ${(units / 1e6).toFixed(2)} M units, ` +
              `${options.train ? 'training' : 'held-out'} lines of ${corpus}, ${available.length} languages; ` +
              `load average ${os.loadavg().map((l) => l.toFixed(2)).join(' ')}`);
  let best = { sections: Infinity, whole: Infinity, cld2: Infinity };
  let ours, whole, theirs;
  for (let round = 1; round <= options.rounds; round++) {
    const a = timeIdentify('--sections', input);
    const b = timeIdentify('--best', input);
    const c = await timeCld2();
    const sections = a.seconds - timeBase('--sections');
    const verdict = b.seconds - timeBase('--best');
    best = {
      sections: Math.min(best.sections, sections),
      whole: Math.min(best.whole, verdict),
      cld2: Math.min(best.cld2, c.seconds),
    };
    ours = a.answers; whole = b.answers; theirs = c.runs;
    console.log(`round ${round}: --sections ${(sections * 1000).toFixed(0)} ms, --best ${(verdict * 1000).toFixed(0)} ms, ` +
                `CLD2 ${(c.seconds * 1000).toFixed(0)} ms`);
  }
  console.log(`best of ${options.rounds}: --sections ${(best.sections * 1000).toFixed(0)} ms, --best ${(best.whole * 1000).toFixed(0)} ms ` +
              `(ratio ${(best.sections / best.whole).toFixed(2)}), CLD2 ${(best.cld2 * 1000).toFixed(0)} ms`);
  documents.forEach((d, i) => {
    d.ours = oursRuns(ours[i]);
    d.whole = [{ start: 0, end: d.text.length, name: whole[i] }];
    d.cld2 = theirs[i];
  });

  console.log('\nkind     system        chars right  boundary precision  recall  split');
  for (const { kind } of kinds) {
    const kindDocs = documents.filter((d) => d.kind === kind);
    for (const [system, key] of [['Tonguemeter', 'ours'], ['CLD2 chunks', 'cld2'], ['one verdict', 'whole']]) {
      const s = score(kindDocs, (d) => d[key]);
      console.log(`${kind.padEnd(8)} ${system.padEnd(13)} ${percent(s.chars).padStart(11)} ` +
                  `${percent(kind === 'single' ? NaN : s.precision).padStart(19)} ${percent(s.recall).padStart(7)} ` +
                  `${kind === 'single' ? percent(s.split).padStart(6) : ''}`);
    }
  }
  for (const d of documents) {
    if (d.kind !== options.show || d.ours.length === d.starts.length) continue;
    console.log('---', d.languages.join(' '));
    for (const r of d.ours) console.log(`  ${r.name}: ${JSON.stringify(d.text.slice(r.start, r.end))}`);
  }
  fs.rmSync(dir, { recursive: true, force: true });
})();
