// SPDX-License-Identifier: GPL-3.0-or-later
// The web edition's page in headless Firefox (Debian's firefox-esr, driven
// over WebDriver BiDi by npm's puppeteer-core): the controls come from the
// engine's table, and a file opened and rendered through the page with the
// same settings as in Chromium gives tribandist's render bit for bit.
// Usage: node tests/web/firefox.mjs SITE_DIR TRIBANDIST RECORD_PLUGIN OUT_DIR
import { existsSync, mkdirSync, writeFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import puppeteer from 'puppeteer-core';
import {
  differing, expectedRender, floatSamples, kMenus, kProgram, kTyped, serve, testInput,
} from './support.mjs';

const [site, tribandist, plugin, outDir] = process.argv.slice(2).map((p) => resolve(p));
mkdirSync(outDir, { recursive: true });
const executable = ['/usr/bin/firefox-esr', '/usr/bin/firefox'].find(existsSync);
if (!executable) throw new Error('Firefox is not installed (Debian package firefox-esr)');

const input = join(outDir, 'firefox-input.wav'), expected = join(outDir, 'firefox-expected.wav');
await testInput(input);
expectedRender(tribandist, plugin, input, expected);
const server = await serve(site);
const browser = await puppeteer.launch({ browser: 'firefox', executablePath: executable, headless: true });
let failed = true;
try {
  const page = await browser.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector('#param-low_cutoff');
  const controls = await page.$$eval('#controls .control', (rows) => rows.length);
  await page.select('#program', String(kProgram));
  for (const [symbol, , text] of kMenus) {
    const value = await page.$eval(`#param-${symbol}`, (menu, label) =>
      [...menu.options].find((o) => o.text === label).value, text);
    await page.select(`#param-${symbol}`, value);
  }
  for (const [, name, text] of kTyped) {
    const field = await page.$(`input[aria-label="${name} value"]`);
    await field.click({ count: 3 });
    await field.type(text);
    await field.press('Enter');
  }
  await (await page.$('#file')).uploadFile(input);
  await page.waitForSelector('#render:not([disabled])');
  await page.click('#render');
  await page.waitForFunction(() => window.triband.lastWav(), { timeout: 30000 });
  const bytes = Buffer.from(await page.evaluate(async () => {
    const data = new Uint8Array(await window.triband.lastWav().arrayBuffer());
    let text = '';
    for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode(...data.subarray(i, i + 0x8000));
    return btoa(text);
  }), 'base64');
  const rendered = join(outDir, 'firefox-render.wav');
  writeFileSync(rendered, bytes);
  const b = floatSamples(expected), differ = differing(floatSamples(rendered), b);
  console.log(`Firefox page: ${controls} controls from the table; render: ${differ} of ${b.length} samples differ ` +
    `from tribandist's render through the record`);
  if (problems.length) console.log(`page errors: ${problems.join('; ')}`);
  failed = differ !== 0 || problems.length > 0 || controls === 0;
} finally {
  await browser.close();
  server.close();
}
process.exit(failed ? 1 : 0);
