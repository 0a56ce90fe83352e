// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's module as the page and the worklet use it: an effect and the
// buffers its audio passes through, read and written as float views of the
// module's memory (made again only when the memory has grown).

// The C library's number formatting links its file output, which the module
// never calls: those imports get functions that answer "not supported"
// (WASI's ENOSYS).
const kNotSupported = 52;
const notSupported = () => kNotSupported;
export const kImports = {
  wasi_snapshot_preview1: { fd_write: notSupported, fd_seek: notSupported, fd_close: notSupported },
};

export function instantiate(module) { return new WebAssembly.Instance(module, kImports).exports; }

// Copies one or two input channels (or silence, when there are none) into two.
export function copyInput(input, to) {
  for (let c = 0; c < to.length; ++c) {
    const source = input[c] || input[0];
    if (source) to[c].set(source); else to[c].fill(0);
  }
}

export class Effect {
  constructor(exports, rate) {
    this.x = exports;
    this.handle = exports.effect_create(rate);
    if (!this.handle) throw new Error('the effect could not be created (out of memory)');
    this.maxFrames = exports.effect_max_frames();
    this.views = null;
  }

  set(index, value) { this.x.effect_set(this.handle, index, value); }
  get(index) { return this.x.effect_get(this.handle, index); }
  selectProgram(program) { this.x.effect_select_program(this.handle, program); }
  destroy() { this.x.effect_destroy(this.handle); }

  // Views of the effect's buffers, `frames` long; made anew only when the
  // length or the memory changes, so a steady stream allocates nothing.
  buffers(frames) {
    const memory = this.x.memory.buffer;
    if (!this.views || this.views.memory !== memory || this.views.frames !== frames) {
      const view = (address) => new Float32Array(memory, address, frames);
      this.views = {
        memory, frames,
        in: [view(this.x.effect_input(this.handle, 0)), view(this.x.effect_input(this.handle, 1))],
        out: [view(this.x.effect_output(this.handle, 0)), view(this.x.effect_output(this.handle, 1))],
      };
    }
    return this.views;
  }

  // One block (at most maxFrames) from `input` (one or two channels, or none
  // for silence) into the two channels of `output`.
  process(input, output, frames) {
    if (frames > this.maxFrames) throw new RangeError(`a block of at most ${this.maxFrames} frames`);
    const b = this.buffers(frames);
    copyInput(input, b.in);
    this.x.effect_process(this.handle, frames);
    for (let c = 0; c < output.length && c < 2; ++c) output[c].set(b.out[c]);
  }
}

// The parameter table, the displays and their reading back, from an instance
// of the module on the page's own thread.
export class Texts {
  constructor(exports) {
    this.x = exports;
    this.handle = exports.texts_create();
    this.decoder = new TextDecoder();
    this.encoder = new TextEncoder();
    this.description = JSON.parse(this.string(exports.describe(this.handle)));
  }

  string(address) {
    const bytes = new Uint8Array(this.x.memory.buffer, address);
    return this.decoder.decode(bytes.subarray(0, bytes.indexOf(0)));
  }

  display(index, value) { return this.string(this.x.display_text(this.handle, index, value)); }

  // The normalised value a typed text stands for, or NaN.
  valueOf(index, text) {
    const at = this.x.text_input(this.handle);
    const room = new Uint8Array(this.x.memory.buffer, at, 128);
    const { written } = this.encoder.encodeInto(text.slice(0, 120), room.subarray(0, 127));
    room[written] = 0;
    return this.x.display_value(this.handle, index);
  }
}
