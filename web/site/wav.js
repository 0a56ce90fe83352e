// SPDX-License-Identifier: GPL-3.0-or-later
// Sound files as the page meets them: the rate a file was made at (so it is
// decoded and played without resampling), and the render written as WAV of
// 32-bit floats.

// The sample rate a WAV or FLAC file declares, or 0 when the bytes are
// none of these (the browser then decodes at its own rate).
export function declaredRate(bytes) {
  const data = new DataView(bytes);
  const tag = (at) => String.fromCharCode(...new Uint8Array(bytes, at, 4));
  if (bytes.byteLength >= 12 && (tag(0) === 'RIFF' || tag(0) === 'RF64') && tag(8) === 'WAVE') {
    for (let at = 12; at + 8 <= bytes.byteLength;) {
      const size = data.getUint32(at + 4, true);
      if (tag(at) === 'fmt ' && at + 16 <= bytes.byteLength) return data.getUint32(at + 12, true);
      at += 8 + size + (size & 1);
    }
  }
  // STREAMINFO, the first metadata block: 20 bits of rate after 10 bytes.
  if (bytes.byteLength >= 21 && tag(0) === 'fLaC') return data.getUint32(18) >>> 12;
  return 0;
}

// Interleaved 32-bit float WAV of every channel of an AudioBuffer.
export function floatWav(buffer) {
  const channels = buffer.numberOfChannels, frames = buffer.length;
  const dataBytes = channels * frames * 4;
  const out = new ArrayBuffer(44 + dataBytes);
  const view = new DataView(out);
  const text = (at, s) => { for (let i = 0; i < 4; ++i) view.setUint8(at + i, s.charCodeAt(i)); };
  text(0, 'RIFF');
  view.setUint32(4, 36 + dataBytes, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  view.setUint32(16, 16, true);
  view.setUint16(20, 3, true);  // IEEE float
  view.setUint16(22, channels, true);
  view.setUint32(24, buffer.sampleRate, true);
  view.setUint32(28, buffer.sampleRate * channels * 4, true);
  view.setUint16(32, channels * 4, true);
  view.setUint16(34, 32, true);
  text(36, 'data');
  view.setUint32(40, dataBytes, true);
  const samples = new Float32Array(out, 44);
  for (let c = 0; c < channels; ++c) {
    const channel = buffer.getChannelData(c);
    for (let i = 0; i < frames; ++i) samples[i * channels + c] = channel[i];
  }
  return new Blob([out], { type: 'audio/wav' });
}
