// What the whole-process benchmarks against CLD2 share: running tm-identify on a file of texts with
// its wall and CPU time, timing CLD2 (the npm package "cld", in MODULE_DIR/node_modules; see
// bench/cld2-bench.js for installing it) on the same texts in the same process run, and reading
// the held-out lines of a corpus through tm-evaluate --dev-set. CLD2 is called through the
// package's synchronous native function, without the promise its JavaScript wrapper adds to every
// call: on short texts that wrapper costs several times CLD2's own work.
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

function run(command, args, options) {
  const result = spawnSync(command, args, { maxBuffer: 1 << 30, ...options });
  if (result.error || result.status !== 0) {
    console.error(`bench: ${command} ${args.join(' ')} failed: ` +
                  (result.error ? result.error.message : String(result.stderr)));
    process.exit(1);
  }
  return result;
}

function tools(buildDir) {
  return {
    identify: path.join(buildDir, 'tools', 'identify', 'tm-identify'),
    evaluate: path.join(buildDir, 'tools', 'evaluate', 'tm-evaluate'),
  };
}

// The held-out lines of a corpus folder by language: [[name, [line, ...]], ...].
function devLines(buildDir, corpus) {
  const byLanguage = new Map();
  const out = run(tools(buildDir).evaluate, ['--dev-set', corpus, '--per-language', '1000000']).stdout;
  for (const line of out.toString('utf8').split('\n')) {
    const tab = line.indexOf('\t');
    if (tab < 0) continue;
    const name = line.slice(0, tab);
    if (!byLanguage.has(name)) byLanguage.set(name, []);
    byLanguage.get(name).push(line.slice(tab + 1));
  }
  return [...byLanguage];
}

// A file with one text a line, as tm-identify reads them (a backslash would start an escape), and
// one of a single one-unit text, which pays the start-up (loading and indexing) and little else;
// removed by cleanup().
function inputFiles(texts) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tm-bench-'));
  const input = path.join(dir, 'texts.txt');
  fs.writeFileSync(input, texts.map((t) => t.replace(/\\/g, '\\\\')).join('\n') + '\n');
  const startup = path.join(dir, 'startup.txt');
  fs.writeFileSync(startup, 'a\n');
  return { input, startup, cleanup: () => fs.rmSync(dir, { recursive: true, force: true }) };
}

// One tm-identify process on a file: wall seconds, CPU seconds (user and system), peak resident
// KiB (from /usr/bin/time) and its answers.
function timeIdentify(identify, args, file) {
  const fd = fs.openSync(file, 'r');
  const start = process.hrtime.bigint();
  const result = run('/usr/bin/time', ['-f', '%U %S %M', identify, ...args], { stdio: [fd, 'pipe', 'pipe'] });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  fs.closeSync(fd);
  const [user, system, kb] = String(result.stderr).trim().split('\n').pop().split(' ').map(Number);
  return { seconds, cpu: user + system, kb, answers: result.stdout.toString('utf8').split('\n').filter((l) => l) };
}

// tm-identify --best on the texts with each thread count, less a run on one one-unit text (start-up,
// loading and indexing): best of `rounds`, with CLD2 timed in each round between them.
function compare(buildDir, moduleDir, texts, jobsList, rounds) {
  const cld = require(path.join(moduleDir, 'node_modules', 'cld', 'build', 'Release', 'cld'));
  const { identify } = tools(buildDir);
  const files = inputFiles(texts);
  const units = texts.reduce((sum, t) => sum + t.length, 0);
  const best = { cld2: Infinity };
  for (const jobs of jobsList) best[jobs] = { seconds: Infinity, cpu: Infinity, kb: 0, answers: [] };
  console.log(`${texts.length} texts, ${(units / 1e6).toFixed(2)} M units; load average ` +
              os.loadavg().map((l) => l.toFixed(2)).join(' '));
  for (let round = 1; round <= rounds; round++) {
    const line = [];
    for (const jobs of jobsList) {
      const args = ['--best', '--jobs', String(jobs)];
      const base = timeIdentify(identify, args, files.startup);
      const full = timeIdentify(identify, args, files.input);
      if (full.answers.length !== texts.length) {
        console.error(`bench: ${full.answers.length} answers for ${texts.length} texts`);
        process.exit(1);
      }
      const seconds = full.seconds - base.seconds;
      const cpu = full.cpu - base.cpu;
      const b = best[jobs];
      if (seconds < b.seconds) Object.assign(b, { seconds, cpu, kb: full.kb, answers: full.answers });
      line.push(`--jobs ${jobs} ${(units / seconds / 1e6).toFixed(1)} M units/s`);
    }
    const start = process.hrtime.bigint();
    for (const t of texts) cld.detect(t, true, '', '', '', '', true);
    const cldSeconds = Number(process.hrtime.bigint() - start) / 1e9;
    best.cld2 = Math.min(best.cld2, cldSeconds);
    console.log(`round ${round}: ${line.join(', ')}, CLD2 ${(units / cldSeconds / 1e6).toFixed(1)} M units/s`);
  }
  files.cleanup();
  const cldRate = units / best.cld2 / 1e6;
  console.log(`best of ${rounds} (whole process less a run on a one-unit text):`);
  for (const jobs of jobsList) {
    const b = best[jobs];
    const rate = units / b.seconds / 1e6;
    console.log(`  Tonguemeter --jobs ${jobs}: ${rate.toFixed(1)} M units/s, ${b.seconds.toFixed(2)} s wall, ` +
                `${b.cpu.toFixed(2)} s CPU, peak ${(b.kb / 1024).toFixed(1)} MiB; ${(rate / cldRate).toFixed(2)} x CLD2`);
  }
  console.log(`  CLD2 (from Node): ${cldRate.toFixed(1)} M units/s, ${best.cld2.toFixed(2)} s`);
  return best;
}

module.exports = { run, tools, devLines, compare };
