// SPDX-License-Identifier: GPL-3.0-or-later
// What the page tests share: the settings a user makes, the test file, the
// float samples of a WAV, a static server for the page, and tribandist's
// renders of the same file with the same settings.
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join } from 'node:path';
import { floatWav } from '../../web/site/wav.js';

// The settings, as a user makes them: a program, then menus and typed values
// (by the names tribandist takes them with too).
export const kProgram = 2;
export const kMenus = [['low_disto_type', 'Low Disto Type', 'fuzz exp'], ['high_disto_type', 'High Disto Type', 'fuzz sqrt']];
export const kTyped = [['low_cutoff', 'Low Cutoff', '300'], ['mid_threshold', 'M Threshold', '40'], ['high_gain', 'High Gain', '-3']];

// Two seconds of a chord and noise, stereo, 32-bit float at 44.1 kHz.
export function testInput(path) {
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
export function floatSamples(path) {
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

export function serve(root) {
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


export const kSets = [...kMenus, ...kTyped].flatMap(([, name, text]) => ['--set', `${name}=${text}`]);

/// tribandist's render of `input` through the record edition with the settings.
export function expectedRender(tribandist, plugin, input, output) {
  execFileSync(tribandist, ['render', input, output, '-q', '--plugin', plugin, '--program', String(kProgram),
    '--block', '128', ...kSets], { stdio: 'pipe' });
}

/// How many samples of two WAVs of floats differ (their lengths' difference counting).
export function differing(a, b) {
  let count = Math.abs(a.length - b.length);
  for (let i = 0; i < Math.min(a.length, b.length); ++i) count += a[i] !== b[i];
  return count;
}
