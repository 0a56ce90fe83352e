// SPDX-License-Identifier: GPL-3.0-or-later
// The web edition's module on the reference block: its output equals the
// kept output of the native Linux x86-64 build, bit for bit, and the file
// functions it imports are never called.
// Usage: node tests/web/reference.mjs build-web/site/triband.wasm
import { readFileSync } from 'node:fs';
import { Effect } from '../../web/site/effect.js';

const support = new URL('../support/', import.meta.url);
const header = (name) => readFileSync(new URL(name, support), 'utf8');

// A C hexadecimal float literal ("-0x1.baa04ep+9") as a number.
function hexFloat(text) {
  const m = /^(-?)0x([0-9a-f]+)(?:\.([0-9a-f]*))?p([+-]\d+)$/i.exec(text);
  const digits = m[3] || '';
  const mantissa = parseInt(m[2] + digits, 16) / 16 ** digits.length;
  return (m[1] ? -1 : 1) * mantissa * 2 ** Number(m[4]);
}

const frames = Number(/kFrames = (\d+);/.exec(header('ReferenceBlock.h'))[1]);
const settings = [...header('ReferenceBlock.h').matchAll(/\{(\d+), ([0-9.]+)f\}/g)].map((m) => [Number(m[1]), Number(m[2])]);
const kept = [...header('ReferenceBlockData.h').matchAll(/-?0x[0-9a-f.]+p[+-]\d+/gi)].map((m) => hexFloat(m[0]));
if (kept.length !== 2 * frames || settings.length === 0) throw new Error('the kept reference block did not parse');

// The block's input as the native tests make it: a triangle plus noise from
// a linear congruential generator, in float arithmetic.
const f = Math.fround;
const left = new Float32Array(frames), right = new Float32Array(frames);
let state = 7;
for (let i = 0; i < frames; ++i) {
  state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
  const noise = f(f(f(state >>> 8) / 16777216) - 0.5);
  const phase = i % 64;
  const triangle = f(f((phase < 32 ? phase : 64 - phase) / 16) - 1);
  left[i] = f(f(f(0.6) * triangle) + f(f(0.3) * noise));
  right[i] = f(f(f(0.5) * noise) - f(f(0.2) * triangle));
}

let calls = 0;
const counted = () => { ++calls; return 52; };
const module = new WebAssembly.Module(readFileSync(process.argv[2]));
const imports = WebAssembly.Module.imports(module).map((i) => `${i.module}.${i.name}`);
const exports = new WebAssembly.Instance(module, {
  wasi_snapshot_preview1: { fd_write: counted, fd_seek: counted, fd_close: counted },
}).exports;
const effect = new Effect(exports, 44100);
for (const [index, value] of settings) effect.set(index, f(value));
const out = [new Float32Array(frames), new Float32Array(frames)];
effect.process([left, right], out, frames);

const bits = (x) => new Uint32Array(Float32Array.of(x).buffer)[0];
let differing = 0;
for (let c = 0; c < 2; ++c)
  for (let i = 0; i < frames; ++i) differing += bits(out[c][i]) !== bits(f(kept[c * frames + i]));
console.log(`web reference block: ${differing} of ${2 * frames} samples differ from the kept Linux x86-64 output`);
console.log(`imports: ${imports.join(', ') || 'none'}; called ${calls} times`);
if (differing !== 0 || calls !== 0) process.exit(1);
