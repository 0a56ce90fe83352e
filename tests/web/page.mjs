// SPDX-License-Identifier: GPL-3.0-or-later
// The web edition's page in headless Chromium: a file opened through the
// page, settings made through its controls, the render downloaded; the WAV
// equals tribandist's render of the same file through the record edition
// with the same settings, bit for bit, and the response it draws is
// tribandist analyze's measurement. Writes screenshots of the page at a
// desktop's and a phone's width, and reports the render's realtime factor.
// Usage: node tests/web/page.mjs SITE_DIR TRIBANDIST RECORD_PLUGIN OUT_DIR
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { chromium } from 'playwright-core';
import {
  differing, expectedRender, floatSamples, kMenus, kProgram, kSets, kTyped, serve, testInput,
} from './support.mjs';

const [site, tribandist, plugin, outDir] = process.argv.slice(2).map((p) => resolve(p));
mkdirSync(outDir, { recursive: true });

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

  const sets = kSets;
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
  expectedRender(tribandist, plugin, input, expected);
  const b = floatSamples(expected), differ = differing(floatSamples(rendered), b);
  console.log(`page render: ${differ} of ${b.length} samples differ from tribandist's render through the record`);
  console.log(`page render: ${speed.audioSeconds.toFixed(2)} s of audio in ${speed.seconds.toFixed(3)} s, ` +
    `${speed.realtime.toFixed(1)} times realtime in headless Chromium`);
  if (problems.length) console.log(`page errors: ${problems.join('; ')}`);
  failed = differ !== 0 || problems.length > 0;
} finally {
  await browser.close();
  server.close();
}
process.exit(failed ? 1 : 0);
