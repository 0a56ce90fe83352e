// SPDX-License-Identifier: GPL-3.0-or-later
// The effect on the audio thread. It runs the module it is given, starts
// from the page's settings, and takes changes as messages; a block copies
// into the effect's buffers and back, allocating nothing.
import { Effect, copyInput, instantiate } from './effect.js';

class TriBandProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { module, program, changes } = options.processorOptions;
    this.effect = new Effect(instantiate(module), sampleRate);
    this.effect.selectProgram(program);
    for (const [index, value] of changes) this.effect.set(index, value);
    this.processed = true;
    this.port.onmessage = ({ data }) => {
      if (data.type === 'set') this.effect.set(data.index, data.value);
      else if (data.type === 'program') this.effect.selectProgram(data.program);
      else if (data.type === 'listen') this.processed = data.processed;
    };
  }

  process(inputs, outputs) {
    const input = inputs[0], output = outputs[0];
    // The effect runs on either side of the A/B switch, so going back to it
    // continues where it is instead of starting from silence.
    this.effect.process(input, output, output[0].length);
    if (!this.processed) copyInput(input, output);
    return true;
  }
}

registerProcessor('tribanddistortion', TriBandProcessor);
