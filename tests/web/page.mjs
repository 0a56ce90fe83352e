// SPDX-License-Identifier: GPL-3.0-or-later
// The web edition's page in headless Chromium: a file opened through the
// page, settings made through its controls, the render downloaded; the WAV
// equals tribandist's render of the same file through the record edition
// with the same settings, bit for bit, and the response it draws is
// tribandist analyze's measurement. Writes screenshots of the page at a
// desktop's and a phone's width, and reports the render's realtime factor.
// Usage: node tests/web/page.mjs SITE_DIR TRIBANDIST RECORD_PLUGIN OUT_DIR
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, resolve } from 'node:path';
import { chromium } from 'playwright-core';
import { floatWav } from '../../web/site/wav.js';

const [site, tribandist, plugin, outDir] = process.argv.slice(2).map((p) => resolve(p));
mkdirSync(outDir, { recursive: true });

// The settings, as a user makes them: a program, then menus and typed values
// (by the names tribandist takes them with too).
const kProgram = 2;
const kMenus = [['low_disto_type', 'Low Disto Type', 'fuzz exp'], ['high_disto_type', 'High Disto Type', 'fuzz sqrt']];
const kTyped = [['low_cutoff', 'Low Cutoff', '300'], ['mid_threshold', 'M Threshold', '40'], ['high_gain', 'High Gain', '-3']];

// Two seconds of a chord and noise, stereo, 32-bit float at 44.1 kHz.
function testInput(path) {
  const rate = 44100, frames = 2 * rate;
  const channels = [new Float32Array(frames), new Float32Array(frames)];
  let state = 1;
  for (let i = 0; i < frames; ++i) {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    const noise = (state >>> 8) / 16777216 - 0.5;
    const t = i / rate;
    channels[0][i] = 0.4 * Math.sin(2 * Math.PI * 110 * t) + 0.2 * Math.sin(2 * Math.PI * 1650 * t) + 0.1 * noise;
    channels[1][i] = 0.4 * Math.sin(2 * Math.PI * 165 * t) + 0.15 * Math.sin(2 * Math.PI * 5200 * t) - 0.1 * noise;
  }
  const buffer = { numberOfChannels: 2, length: frames, sampleRate: rate, getChannelData: (c) => channels[c] };
  return floatWav(buffer).arrayBuffer().then((bytes) => writeFileSync(path, Buffer.from(bytes)));
}

// The float samples of a WAV of 32-bit floats, interleaved.
function floatSamples(path) {
  const bytes = readFileSync(path);
  for (let at = 12; at + 8 <= bytes.length;) {
    const size = bytes.readUInt32LE(at + 4);
    if (bytes.toString('latin1', at, at + 4) === 'fmt ') {
      // IEEE float, plainly or as the extensible format's sub-format
      const format = bytes.readUInt16LE(at + 8) === 0xfffe ? bytes.readUInt16LE(at + 32) : bytes.readUInt16LE(at + 8);
      if (format !== 3 || bytes.readUInt16LE(at + 22) !== 32) throw new Error(`${path} is not a WAV of 32-bit floats`);
    }
    if (bytes.toString('latin1', at, at + 4) === 'data') {
      return new Uint32Array(bytes.buffer.slice(bytes.byteOffset + at + 8, bytes.byteOffset + at + 8 + size));
    }
    at += 8 + size + (size & 1);
  }
  throw new Error(`${path} has no data chunk`);
}

function serve(root) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
  const server = createServer((request, response) => {
    const path = join(root, new URL(request.url, 'http://localhost').pathname.replace(/\/$/, '/index.html'));
    if (!path.startsWith(root) || !existsSync(path)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': types[extname(path)] || 'application/octet-stream' });
    response.end(readFileSync(path));
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

const executable = ['/usr/lib/chromium/chromium', '/usr/bin/chromium'].find(existsSync);
if (!executable) throw new Error('Chromium is not installed (Debian package chromium)');
const input = join(outDir, 'page-input.wav');
await testInput(input);
const server = await serve(site);
const browser = await chromium.launch({ executablePath: executable, args: ['--no-sandbox'] });
let failed = false;
try {
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 }, acceptDownloads: true });
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector('#param-low_cutoff');
  await page.selectOption('#program', String(kProgram));
  for (const [symbol, , text] of kMenus) await page.selectOption(`#param-${symbol}`, { label: text });
  for (const [symbol, name, text] of kTyped) {
    const field = page.getByLabel(`${name} value`, { exact: true });
    await field.fill(text);
    await field.press('Enter');
    if ((await field.getAttribute('aria-invalid')) === 'true') throw new Error(`the page refused "${text}" for ${name}`);
    if (symbol === 'low_cutoff' && !(await field.inputValue()).startsWith(text)) {
      throw new Error(`${name} shows "${await field.inputValue()}" after "${text}" was typed`);
    }
  }
  await page.setInputFiles('#file', input);
  await page.waitForSelector('#render:not([disabled])');
  await page.waitForTimeout(500);  // the response is drawn after the controls settle
  await page.screenshot({ path: join(outDir, 'web-page.png') });
  const downloaded = page.waitForEvent('download');
  await page.click('#render');
  const rendered = join(outDir, 'page-render.wav');
  await (await downloaded).saveAs(rendered);
  const speed = await page.evaluate(() => window.triband.lastRender());
  // Live: it plays, switches to the dry sound and back, and stops, with the
  // audio thread running the effect all along.
  await page.click('#play');
  await page.waitForSelector('#play:text("Stop")');
  await page.click('#ab');
  await page.click('#ab');
  await page.waitForTimeout(300);
  const played = await page.evaluate(() => window.triband.playedFrames());
  await page.click('#play');
  if (!(played > 0)) problems.push(`the effect ran no frames while playing (${played})`);
  const status = await page.textContent('#status');
  if (/stopped|failed|could not/.test(status)) problems.push(status);
  await page.setViewportSize({ width: 390, height: 844 });
  await page.screenshot({ path: join(outDir, 'web-page-phone.png'), fullPage: true });

  const sets = [...kMenus, ...kTyped].flatMap(([, name, text]) => ['--set', `${name}=${text}`]);
  // The drawn response is tribandist analyze's measurement of the same settings.
  const drawn = await page.evaluate(() => window.triband.response());
  execFileSync(tribandist, ['analyze', '--plugin', plugin, '--program', String(kProgram), '-o',
    join(outDir, 'analysis.png'), '--csv', outDir, ...sets], { stdio: 'pipe' });
  const rows = readFileSync(join(outDir, 'response.csv'), 'utf8').trim().split('\n').slice(1).map((l) => l.split(',').map(Number));
  let worst = 0;
  rows.forEach((row, i) => drawn.forEach((curve, k) => {
    if (row[k + 1] > -150) worst = Math.max(worst, Math.abs(curve.ys[i] - row[k + 1]));
  }));
  console.log(`page response: at most ${worst.toExponential(1)} dB from tribandist analyze's (${rows.length} points, ${drawn.length} curves)`);
  if (!(worst < 0.001) || rows.length !== drawn[0].ys.length) problems.push('the drawn response is not the measured one');

  const expected = join(outDir, 'page-expected.wav');
  execFileSync(tribandist, ['render', input, expected, '-q', '--plugin', plugin, '--program', String(kProgram),
    '--block', '128', ...sets], { stdio: 'pipe' });
  const a = floatSamples(rendered), b = floatSamples(expected);
  let differing = Math.abs(a.length - b.length);
  for (let i = 0; i < Math.min(a.length, b.length); ++i) differing += a[i] !== b[i];
  console.log(`page render: ${differing} of ${b.length} samples differ from tribandist's render through the record`);
  console.log(`page render: ${speed.audioSeconds.toFixed(2)} s of audio in ${speed.seconds.toFixed(3)} s, ` +
    `${speed.realtime.toFixed(1)} times realtime in headless Chromium`);
  if (problems.length) console.log(`page errors: ${problems.join('; ')}`);
  failed = differing !== 0 || problems.length > 0;
} finally {
  await browser.close();
  server.close();
}
process.exit(failed ? 1 : 0);
