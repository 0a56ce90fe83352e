// SPDX-License-Identifier: GPL-3.0-or-later
// The page: controls made from the engine's parameter table, a sound file
// played through the effect in an AudioWorklet, its response drawn, and the
// render downloaded. The page's thread keeps its own instance of the module
// for texts, the settings and the response; the audio thread gets the
// compiled module, the program and every change since.
import { Effect, Texts, instantiate } from './effect.js';
import { declaredRate, floatWav } from './wav.js';

const kProcessor = 'tribanddistortion';
const kFallbackRate = 48000;  // for files whose rate the page cannot read from their header
const kBandNames = ['Low band', 'Mid band', 'High band', 'Options'];
const $ = (id) => document.getElementById(id);

class Settings {
  constructor(exports, texts) {
    this.exports = exports;
    this.texts = texts;
    this.effect = new Effect(this.exports, kFallbackRate);
    this.program = 0;
    this.changes = new Map();  // index -> normalised value, set since the program was chosen
    this.listeners = [];
  }
  get parameters() { return this.texts.description.parameters; }
  value(index) { return this.effect.get(index); }
  display(index) {
    const p = this.parameters[index];
    const text = this.texts.display(index, this.value(index));
    return p.unit && !p.steps.length ? `${text} ${p.unit}` : text;
  }
  set(index, value) {
    this.effect.set(index, value);
    this.changes.set(index, value);
    this.notify({ type: 'set', index, value });
  }
  selectProgram(program) {
    this.program = program;
    this.effect.selectProgram(program);
    // The options belong to no program: their changes stay.
    for (const index of [...this.changes.keys()]) if (!this.parameters[index].option) this.changes.delete(index);
    this.notify({ type: 'program', program });
  }
  // What an effect needs to start where the page is.
  snapshot() { return { program: this.program, changes: [...this.changes] }; }
  apply(effect) {
    effect.selectProgram(this.program);
    for (const [index, value] of this.changes) effect.set(index, value);
  }
  notify(message) { for (const listener of this.listeners) listener(message); }
}

// One control per parameter: a menu for selectors and choices, else a slider
// over the normalised value beside a text field that shows the display and
// reads a typed value ("700", "-6 dB", "fuzz exp").
function buildControls(settings) {
  const groups = kBandNames.map((name) => {
    const fieldset = document.createElement('fieldset');
    const legend = document.createElement('legend');
    legend.textContent = name;
    fieldset.append(legend);
    return fieldset;
  });
  const refreshers = [];
  for (const p of settings.parameters) {
    const row = document.createElement('div');
    row.className = 'control';
    row.title = p.comment;
    const label = document.createElement('label');
    label.textContent = p.name.trim();
    label.htmlFor = `param-${p.symbol}`;
    row.append(label);
    if (p.steps.length) {
      const menu = document.createElement('select');
      menu.id = label.htmlFor;
      p.steps.forEach((step, k) => menu.add(new Option(step.text, String(k))));
      menu.addEventListener('change', () => settings.set(p.index, p.steps[Number(menu.value)].value));
      row.append(menu);
      refreshers.push(() => {
        const text = settings.display(p.index);
        menu.value = String(Math.max(0, p.steps.findIndex((step) => step.text === text)));
      });
    } else {
      const slider = document.createElement('input');
      Object.assign(slider, { type: 'range', min: '0', max: '1', step: '0.005', id: label.htmlFor });
      const field = document.createElement('input');
      field.type = 'text';
      field.setAttribute('aria-label', `${p.name.trim()} value`);
      const show = () => {
        slider.value = String(settings.value(p.index));
        field.value = settings.display(p.index);
        field.removeAttribute('aria-invalid');
      };
      slider.addEventListener('input', () => {
        settings.set(p.index, Math.fround(Number(slider.value)));
        field.value = settings.display(p.index);
      });
      field.addEventListener('change', () => {
        const value = settings.texts.valueOf(p.index, field.value);
        if (Number.isNaN(value)) {
          field.setAttribute('aria-invalid', 'true');
          $('status').textContent = `"${field.value}" is no value of ${p.name.trim()}.`;
          return;
        }
        settings.set(p.index, value);
        show();
      });
      row.append(slider, field);
      refreshers.push(show);
    }
    groups[p.band].append(row);
  }
  $('controls').append(...groups);
  const refresh = () => refreshers.forEach((f) => f());
  refresh();
  return refresh;
}

// The response as tribandist analyze measures it: an impulse of 0.01 (-40
// dBFS) through a fresh effect, 65536 samples, the magnitude at 241 points
// from 20 Hz to 20 kHz; the whole effect, then each band with the other two
// gains off.
class Response {
  static kLength = 1 << 16;
  static kImpulse = 0.01;
  static kPoints = 241;
  static kColours = ['#1d232a', '#2b6cb0', '#2f855a', '#b3471d'];

  constructor(settings, canvas) {
    this.settings = settings;
    this.canvas = canvas;
    this.rate = kFallbackRate;
    this.pending = 0;
    this.last = null;
  }

  update() {
    clearTimeout(this.pending);
    this.pending = setTimeout(() => this.draw(this.measure()), 120);
  }

  curve(isolate) {
    const s = this.settings, x = s.exports;
    const effect = new Effect(x, this.rate);
    s.apply(effect);
    isolate(effect);
    const n = Response.kLength, left = new Float64Array(n);
    const block = effect.maxFrames, zeros = new Float32Array(block), impulse = new Float32Array(block);
    impulse[0] = Response.kImpulse;
    const out = [new Float32Array(block), new Float32Array(block)];
    for (let at = 0; at < n; at += block) {
      const input = at === 0 ? impulse : zeros;
      effect.process([input, input], out, block);
      left.set(out[0], at);
    }
    effect.destroy();
    const m = magnitudes(left);
    const ys = [];
    for (let i = 0; i < Response.kPoints; ++i) {
      const f = 20 * Math.pow(1000, i / (Response.kPoints - 1));
      const bin = Math.min(Math.round((f * n) / this.rate), m.length - 1);
      ys.push(20 * Math.log10(Math.max(m[bin] / Response.kImpulse, 1e-12)));
    }
    return ys;
  }

  measure() {
    const gains = [0, 1, 2].map((band) => this.settings.parameters.find((p) => p.band === band && p.unit === 'dB'));
    const curves = [{ name: 'whole', ys: this.curve(() => {}) }];
    ['low', 'mid', 'high'].forEach((name, band) => {
      curves.push({
        name,
        ys: this.curve((e) => gains.forEach((g, other) => other !== band && e.set(g.index, 0))),
      });
    });
    return curves;
  }

  // Drawn at the canvas's size on the screen, in device pixels.
  draw(curves) {
    this.last = curves;
    const c = this.canvas, g = c.getContext('2d'), scale = window.devicePixelRatio || 1;
    const w = c.clientWidth, h = c.clientHeight;
    c.width = Math.round(w * scale);
    c.height = Math.round(h * scale);
    g.setTransform(scale, 0, 0, scale, 0, 0);
    const left = 46, right = 10, top = 24, bottom = 22, dbTop = 12, dbBottom = -48;
    const xOf = (f) => left + ((w - left - right) * Math.log10(f / 20)) / 3;
    const yOf = (db) => top + ((h - top - bottom) * (dbTop - Math.min(dbTop, Math.max(dbBottom, db)))) / (dbTop - dbBottom);
    g.clearRect(0, 0, w, h);
    g.font = '12px system-ui, sans-serif';
    g.lineWidth = 1;
    g.strokeStyle = '#e2e6ea';
    g.fillStyle = '#5b6672';
    for (let db = dbBottom; db <= dbTop; db += 12) {
      g.beginPath(); g.moveTo(left, yOf(db)); g.lineTo(w - right, yOf(db)); g.stroke();
      g.fillText(`${db} dB`, 2, yOf(db) + 4);
    }
    const labelled = w < 560 ? [20, 100, 1000, 10000] : [20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000];
    for (const f of [20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000]) {
      g.beginPath(); g.moveTo(xOf(f), top); g.lineTo(xOf(f), h - bottom); g.stroke();
      if (labelled.includes(f)) g.fillText(f >= 1000 ? `${f / 1000}k` : `${f}`, xOf(f) - 6, h - 6);
    }
    curves.forEach((curve, k) => {
      g.strokeStyle = g.fillStyle = Response.kColours[k];
      g.lineWidth = k === 0 ? 2.5 : 1.5;
      g.beginPath();
      curve.ys.forEach((db, i) => {
        const x = xOf(20 * Math.pow(1000, i / (Response.kPoints - 1)));
        if (i === 0) g.moveTo(x, yOf(db)); else g.lineTo(x, yOf(db));
      });
      g.stroke();
      g.fillText(curve.name, left + 52 * k, 14);
    });
  }
}

// |X(k)|, k = 0..n/2, of a real signal (n a power of two): radix-2, in place.
function magnitudes(signal) {
  const n = signal.length, re = Float64Array.from(signal), im = new Float64Array(n);
  for (let i = 1, j = 0; i < n; ++i) {
    let bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) { [re[i], re[j]] = [re[j], re[i]]; }
  }
  for (let len = 2; len <= n; len <<= 1) {
    const step = (-2 * Math.PI) / len;
    for (let k = 0; k < len / 2; ++k) {
      const wr = Math.cos(step * k), wi = Math.sin(step * k);
      for (let i = k; i < n; i += len) {
        const j = i + len / 2;
        const vr = re[j] * wr - im[j] * wi, vi = re[j] * wi + im[j] * wr;
        re[j] = re[i] - vr; im[j] = im[i] - vi;
        re[i] += vr; im[i] += vi;
      }
    }
  }
  const m = new Float64Array(n / 2 + 1);
  for (let k = 0; k <= n / 2; ++k) m[k] = Math.hypot(re[k], im[k]);
  return m;
}

// The sound: decoded at its own rate, played (looping) through the effect,
// switched between processed and dry, rendered offline.
class Player {
  constructor(module, settings, response) {
    this.module = module;
    this.settings = settings;
    this.response = response;
    this.buffer = null;
    this.context = null;
    this.playing = null;
    this.processed = true;
    this.lastRender = null;
    this.lastWav = null;
    settings.listeners.push((message) => this.playing && this.playing.node.port.postMessage(message));
  }

  async open(file) {
    $('status').textContent = `Decoding ${file.name}…`;
    const bytes = await file.arrayBuffer();
    const rate = declaredRate(bytes) || kFallbackRate;
    const decoder = new OfflineAudioContext({ numberOfChannels: 2, length: 1, sampleRate: rate });
    try {
      this.buffer = await decoder.decodeAudioData(bytes);
    } catch (error) {
      $('status').textContent = `${file.name} could not be decoded by this browser (${error.message || error}).`;
      return;
    }
    this.stop();
    this.name = file.name.replace(/\.[^.]*$/, '');
    $('file-name').textContent = `${file.name}: ${this.buffer.duration.toFixed(2)} s, ${this.buffer.numberOfChannels} ` +
      `channel${this.buffer.numberOfChannels > 1 ? 's' : ''}, ${this.buffer.sampleRate} Hz`;
    $('status').textContent = '';
    for (const id of ['play', 'ab', 'render']) $(id).disabled = false;
    this.response.rate = this.buffer.sampleRate;
    this.response.update();
  }

  node(context) {
    const node = new AudioWorkletNode(context, kProcessor, {
      numberOfInputs: 1,
      numberOfOutputs: 1,
      outputChannelCount: [2],
      channelCount: 2,
      channelCountMode: 'explicit',
      processorOptions: { module: this.module, ...this.settings.snapshot() },
    });
    node.onprocessorerror = () => { $('status').textContent = 'The effect stopped on an error in the audio thread.'; };
    return node;
  }

  async play() {
    if (this.playing) return this.stop();
    if (!this.context || this.context.sampleRate !== this.buffer.sampleRate) {
      if (this.context) await this.context.close();
      this.context = new AudioContext({ sampleRate: this.buffer.sampleRate });
      await this.context.audioWorklet.addModule('processor.js');
    }
    await this.context.resume();
    const source = this.context.createBufferSource();
    source.buffer = this.buffer;
    source.loop = $('loop').checked;
    const node = this.node(this.context);
    node.port.postMessage({ type: 'listen', processed: this.processed });
    source.connect(node).connect(this.context.destination);
    source.onended = () => this.playing && this.playing.source === source && this.stop();
    source.start();
    this.playing = { source, node };
    $('play').textContent = 'Stop';
  }

  stop() {
    if (!this.playing) return;
    const { source, node } = this.playing;
    this.playing = null;
    source.onended = null;
    source.stop();
    node.disconnect();
    $('play').textContent = 'Play';
  }

  listen(processed) {
    this.processed = processed;
    if (this.playing) this.playing.node.port.postMessage({ type: 'listen', processed });
  }

  // Where the browser can pause an offline render, the status counts it in
  // tenths; where it cannot, it says "Rendering…" until the file is ready.
  showProgress(offline, b) {
    const kTenths = 10;
    if (b.duration < 1 || typeof offline.suspend !== 'function') return;
    for (let k = 1; k < kTenths; ++k) {
      const at = Math.floor((b.length * k) / kTenths / 128) * 128;  // on a render quantum
      offline.suspend(at / b.sampleRate).then(() => {
        $('status').textContent = `Rendering… ${k * kTenths} %`;
        return offline.resume();
      }).catch(() => {});
    }
  }

  async render() {
    const b = this.buffer;
    $('render').disabled = true;
    $('status').textContent = 'Rendering…';
    const offline = new OfflineAudioContext({ numberOfChannels: 2, length: b.length, sampleRate: b.sampleRate });
    await offline.audioWorklet.addModule('processor.js');
    const source = offline.createBufferSource();
    source.buffer = b;
    source.connect(this.node(offline)).connect(offline.destination);
    source.start(0);
    this.showProgress(offline, b);
    const started = performance.now();
    const rendered = await offline.startRendering();
    const seconds = (performance.now() - started) / 1000;
    this.lastRender = { seconds, audioSeconds: b.duration, realtime: b.duration / seconds };
    this.lastWav = floatWav(rendered);
    const link = document.createElement('a');
    link.href = URL.createObjectURL(this.lastWav);
    link.download = `${this.name} (TriBandDistortion).wav`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    $('status').textContent = `Rendered ${b.duration.toFixed(2)} s in ${seconds.toFixed(2)} s ` +
      `(${this.lastRender.realtime.toFixed(0)} times realtime).`;
    $('render').disabled = false;
  }
}

async function start() {
  const module = await WebAssembly.compile(await (await fetch('triband.wasm')).arrayBuffer());
  const exports = instantiate(module);
  const texts = new Texts(exports);
  const settings = new Settings(exports, texts);
  const response = new Response(settings, $('response'));
  const player = new Player(module, settings, response);
  const refresh = buildControls(settings);
  settings.listeners.push(() => response.update());

  texts.description.programs.forEach((name, k) => $('program').add(new Option(`${k + 1}. ${name}`, String(k))));
  $('program').addEventListener('change', () => {
    settings.selectProgram(Number($('program').value));
    refresh();
  });

  const openFirst = (files) => files && files.length && player.open(files[0]);
  $('file').addEventListener('change', () => openFirst($('file').files));
  const drop = $('drop');
  for (const type of ['dragenter', 'dragover']) {
    document.addEventListener(type, (e) => { e.preventDefault(); drop.classList.add('over'); });
  }
  document.addEventListener('dragleave', () => drop.classList.remove('over'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    drop.classList.remove('over');
    openFirst(e.dataTransfer.files);
  });

  $('play').addEventListener('click', () => player.play());
  $('ab').addEventListener('click', () => {
    const processed = $('ab').getAttribute('aria-pressed') !== 'true';
    $('ab').setAttribute('aria-pressed', String(processed));
    $('ab').textContent = `Hearing: ${processed ? 'processed' : 'dry'}`;
    player.listen(processed);
  });
  $('render').addEventListener('click', () => player.render().catch((error) => {
    $('status').textContent = `The render failed: ${error.message || error}`;
    $('render').disabled = false;
  }));
  response.update();
  window.addEventListener('resize', () => response.last && response.draw(response.last));
  // For the page's tests: what the page has set, the last render (its speed and its file), how far the
  // live sound has run.
  window.triband = {
    settings: () => settings.snapshot(),
    lastRender: () => player.lastRender,
    lastWav: () => player.lastWav,
    response: () => response.last,
    playedFrames: () => (player.context ? player.context.currentTime * player.context.sampleRate : 0),
  };
}

start().catch((error) => {
  $('status').textContent = `The effect could not start: ${error.message || error}`;
});
