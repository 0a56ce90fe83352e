// SPDX-License-Identifier: GPL-3.0-or-later
// The web edition: the engine as a WebAssembly module.
// The page and its AudioWorklet call these exports with numbers only: an
// effect is a pointer into the module's memory, its audio travels through
// buffers the effect owns, and texts pass as NUL-terminated UTF-8 at
// addresses the module hands out.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "DisplayTexts.h"
#include "Parameters.h"
#include "TriBandEngine.h"
#include "UnitValues.h"

#define TRIBAND_EXPORT(name) extern "C" __attribute__((export_name(#name), used))

namespace {

/// One effect and the buffers its audio passes through: the worklet writes a
/// render quantum into `in`, calls process, and reads `out`.
struct WebEffect {
  static constexpr int32_t kMaxFrames = 4096;

  TriBandEngine engine;
  float in[2][kMaxFrames] = {};
  float out[2][kMaxFrames] = {};
};

/// What the page lists, as JSON: every parameter of the table with its
/// steps (for selectors and choices: each value and its display) and the
/// program names. Written once, on the first call, off the audio thread.
class Description {
public:
  const char* json() {
    if (used == 0) write();
    return text;
  }

private:
  static constexpr size_t kSize = 16384;

  void append(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text + used, kSize - used, format, args);
    va_end(args);
    if (n > 0) used = std::min(kSize - 1, used + static_cast<size_t>(n));
  }
  // The table's texts hold no control characters; quotes and backslashes are escaped.
  void string(const char* s) {
    append("\"");
    for (; *s; ++s) append(*s == '"' || *s == '\\' ? "\\%c" : "%c", *s);
    append("\"");
  }

  void write() {
    char display[display::kTextSize];
    append("{\"parameters\":[");
    for (int32_t i = 0; i < param::allCount; ++i) {
      const param::Info& p = param::kTable[i];
      const param::KindInfo& kind = param::kindOf(p.kind);
      append("%s{\"index\":%d,\"name\":", i ? "," : "", i);
      string(p.name);
      append(",\"symbol\":");
      string(p.symbol);
      append(",\"comment\":");
      string(p.comment);
      append(",\"unit\":");
      string(kind.unit);
      append(",\"band\":%d,\"option\":%s,\"logarithmic\":%s,\"default\":%.9g,\"steps\":[", static_cast<int>(p.band),
             param::isOption(i) ? "true" : "false", kind.logarithmic ? "true" : "false",
             static_cast<double>(p.defaultValue));
      if (kind.stepped) {
        const units::Range r = units::range(i);
        for (int32_t k = static_cast<int32_t>(r.minimum); k <= static_cast<int32_t>(r.maximum); ++k) {
          const float value = units::normalised(i, static_cast<float>(k));
          display::text(i, value, display);
          append("%s{\"value\":%.9g,\"text\":", static_cast<float>(k) > r.minimum ? "," : "",
                 static_cast<double>(value));
          string(display);
          append("}");
        }
      }
      append("]}");
    }
    append("],\"programs\":[");
    TriBandEngine names;
    char name[64] = {};
    for (int32_t k = 0; k < TriBandEngine::kNumPrograms; ++k) {
      names.selectProgram(k);
      names.programName(name);
      append(k ? "," : "");
      string(name);
    }
    append("]}");
  }

  char text[kSize] = {};
  size_t used = 0;
};

/// The texts the page asks for and gives: the description, a display, a
/// text to read back.
struct WebTexts {
  Description description;
  char display[display::kTextSize] = {};
  char input[display::kTextSize] = {};
};

}  // namespace

TRIBAND_EXPORT(effect_create) WebEffect* effectCreate(float rate) {
  WebEffect* e = new (std::nothrow) WebEffect;
  if (e) e->engine.setSampleRate(rate);
  return e;
}
TRIBAND_EXPORT(effect_destroy) void effectDestroy(WebEffect* e) { delete e; }
TRIBAND_EXPORT(effect_max_frames) int32_t effectMaxFrames() { return WebEffect::kMaxFrames; }
TRIBAND_EXPORT(effect_input) float* effectInput(WebEffect* e, int32_t channel) { return e->in[channel & 1]; }
TRIBAND_EXPORT(effect_output) float* effectOutput(WebEffect* e, int32_t channel) { return e->out[channel & 1]; }
TRIBAND_EXPORT(effect_set) void effectSet(WebEffect* e, int32_t index, float value) {
  e->engine.setParameter(index, value);
}
TRIBAND_EXPORT(effect_get) float effectGet(WebEffect* e, int32_t index) { return e->engine.getParameter(index); }
TRIBAND_EXPORT(effect_select_program) void effectSelectProgram(WebEffect* e, int32_t program) {
  e->engine.selectProgram(program);
}
/// Processes `frames` (at most kMaxFrames) from the input buffers into the output buffers.
TRIBAND_EXPORT(effect_process) void effectProcess(WebEffect* e, int32_t frames) {
  float* ins[2] = {e->in[0], e->in[1]};
  float* outs[2] = {e->out[0], e->out[1]};
  e->engine.processReplacing(ins, outs, std::min(frames, WebEffect::kMaxFrames));
}

TRIBAND_EXPORT(texts_create) WebTexts* textsCreate() { return new (std::nothrow) WebTexts; }
TRIBAND_EXPORT(describe) const char* describe(WebTexts* t) { return t->description.json(); }
/// The display of a value, valid until the next call.
TRIBAND_EXPORT(display_text) const char* displayText(WebTexts* t, int32_t index, float value) {
  display::text(index, value, t->display);
  return t->display;
}
/// Where the page writes a text (at most kTextSize - 1 bytes and a NUL) for display_value.
TRIBAND_EXPORT(text_input) char* textInput(WebTexts* t) { return t->input; }
/// The normalised value the text there stands for; NaN when it means nothing for the parameter.
TRIBAND_EXPORT(display_value) float displayValue(WebTexts* t, int32_t index) {
  t->input[display::kTextSize - 1] = '\0';
  float value = 0.0f;
  return display::valueOf(index, t->input, value) ? value : std::nanf("");
}
