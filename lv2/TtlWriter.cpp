// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the LV2 bundle's description of the plug-in and of its preset from
// the engine's parameter and curve tables, at build time: the ports are the
// parameters in index order (their symbols are what saved sessions refer
// to), then the audio ports. Usage: lv2_ttl_writer PLUGIN.ttl PRESETS.ttl

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Parameters.h"
#include "UnitValues.h"

namespace {

constexpr const char* kUri = "urn:tribanddistortion:TriBandDistortion";
// The ports' groups: the three bands, then the options of the whole effect.
constexpr const char* kBandNames[] = {"low", "mid", "high", "options"};
constexpr const char* kBandLabels[] = {"Low band", "Mid band", "High band", "Options"};

// Port indices: the record's fifteen controls, the four audio ports, the
// options (appended, so sessions saved before them still match). The
// resampling filters have no latency, so there is no latency port.
constexpr int32_t kAudioPorts = 4;
constexpr int32_t portOf(int32_t index) { return index < param::count ? index : index + kAudioPorts; }

struct AudioPort {
  const char* symbol;
  const char* name;
  bool output;
  bool right;
};
constexpr AudioPort kAudioPortList[] = {{"in_left", "Left In", false, false},
                                        {"in_right", "Right In", false, true},
                                        {"out_left", "Left Out", true, false},
                                        {"out_right", "Right Out", true, true}};

std::string trimmed(const char* text) {
  std::string s = text;
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// Integer ports are written as integers, others as the shortest decimal
// that reads back as the same float.
std::string number(float value, bool integral) {
  char text[32];
  if (integral) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return text;
  }
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  std::string s = text;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

const char* lv2Unit(param::Kind kind) {
  switch (kind) {
    case param::Kind::cutoff: return "units:hz";
    case param::Kind::q:
    case param::Kind::threshold: return "units:pc";
    case param::Kind::gain:
    case param::Kind::level: return "units:db";
    case param::Kind::mix: return "units:pc";
    case param::Kind::distoType:
    case param::Kind::choice: return nullptr;
  }
  return nullptr;
}

// One control port: a parameter of the record's in its unit, or an option.
// Bypass is LV2's "enabled" port, the other way round: 1 processes.
void writeControl(FILE* f, int32_t i) {
  const param::Info& p = param::kTable[i];
  const param::KindInfo& kind = param::kindOf(p.kind);
  const units::Range r = units::range(i);
  std::fprintf(f, "    [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index %d ;\n", portOf(i));
  if (i == param::bypass) {
    std::fprintf(f,
                 "        lv2:symbol \"enabled\" ;\n        lv2:name \"Enabled\" ;\n"
                 "        pg:group <%s#options> ;\n"
                 "        rdfs:comment \"Off passes the input through, fading over 10 ms\" ;\n"
                 "        lv2:designation lv2:enabled ;\n        lv2:portProperty lv2:toggled , lv2:integer ;\n"
                 "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1\n    ]%s\n",
                 kUri, i + 1 == param::allCount ? " ." : " ,");
    return;
  }
  std::fprintf(f, "        lv2:symbol \"%s\" ;\n        lv2:name \"%s\" ;\n        rdfs:comment \"%s\" ;\n", p.symbol,
               trimmed(p.name).c_str(), p.comment);
  std::fprintf(f, "        pg:group <%s#%s> ;\n", kUri, kBandNames[p.band]);
  std::fprintf(f, "        lv2:default %s ;\n        lv2:minimum %s ;\n        lv2:maximum %s",
               number(units::unitValue(i, p.defaultValue), kind.stepped).c_str(),
               number(r.minimum, kind.stepped).c_str(), number(r.maximum, kind.stepped).c_str());
  if (const char* unit = lv2Unit(p.kind)) std::fprintf(f, " ;\n        units:unit %s", unit);
  if (kind.logarithmic) std::fprintf(f, " ;\n        lv2:portProperty pprops:logarithmic");
  if (p.kind == param::Kind::distoType) {
    std::fprintf(f, " ;\n        lv2:portProperty lv2:integer , lv2:enumeration ;\n        lv2:scalePoint ");
    for (int s = 1; s <= curve::kCount; ++s)
      std::fprintf(f, "%s[ rdfs:label \"%s\" ; rdf:value %d ]", s > 1 ? " , " : "", curve::nameOf(s, p.band), s);
  }
  if (p.kind == param::Kind::choice) {
    std::fprintf(f, " ;\n        lv2:portProperty lv2:integer , lv2:enumeration ;\n        lv2:scalePoint ");
    for (int c = 0; c < p.choiceCount; ++c)
      std::fprintf(f, "%s[ rdfs:label \"%s\" ; rdf:value %d ]", c > 0 ? " , " : "", p.choices[c], c);
  }
  std::fprintf(f, "\n    ]%s\n", i + 1 == param::allCount ? " ." : " ,");
}

void writePlugin(FILE* f) {
  std::fprintf(f,
               "# The LV2 edition of TriBandDistortion, written from the engine's parameter\n"
               "# table at build time. Control ports carry what the record's displays show;\n"
               "# the plug-in turns each into the normalised value the record would receive.\n\n"
               "@prefix doap:   <http://usefulinc.com/ns/doap#> .\n"
               "@prefix foaf:   <http://xmlns.com/foaf/0.1/> .\n"
               "@prefix lv2:    <http://lv2plug.in/ns/lv2core#> .\n"
               "@prefix pg:     <http://lv2plug.in/ns/ext/port-groups#> .\n"
               "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
               "@prefix rdf:    <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
               "@prefix rdfs:   <http://www.w3.org/2000/01/rdf-schema#> .\n"
               "@prefix units:  <http://lv2plug.in/ns/extensions/units#> .\n\n");
  // The maintainer belongs to the project, which hosts read through lv2:project;
  // no mail address is published: questions go through the project's issues.
  std::fprintf(f,
               "<urn:tribanddistortion:project>\n    a doap:Project ;\n    doap:name \"TriBandDistortion\" ;\n"
               "    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n"
               "    doap:maintainer [ a foaf:Person ; foaf:name \"The TriBandDistortion developers\" ] .\n\n");
  for (int b = 0; b <= param::global; ++b)
    std::fprintf(f, "<%s#%s>\n    a pg:Group ;\n    lv2:symbol \"%s\" ;\n    rdfs:label \"%s\" .\n\n", kUri,
                 kBandNames[b], kBandNames[b], kBandLabels[b]);
  std::fprintf(
      f,
      "<%s#in>\n    a pg:InputGroup , pg:StereoGroup ;\n    lv2:symbol \"in\" ;\n    rdfs:label \"Input\" .\n\n"
      "<%s#out>\n    a pg:OutputGroup , pg:StereoGroup ;\n    lv2:symbol \"out\" ;\n"
      "    rdfs:label \"Output\" .\n\n",
      kUri, kUri);
  std::fprintf(f,
               "<%s>\n    a lv2:Plugin , lv2:DistortionPlugin ;\n    doap:name \"TriBandDistortion\" ;\n"
               "    lv2:project <urn:tribanddistortion:project> ;\n"
               "    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n"
               "    lv2:minorVersion %d ;\n    lv2:microVersion %d ;\n"
               "    rdfs:comment \"A three-band stereo distortion: the input splits in parallel into a low, a mid and "
               "a high band, each shaped by the curve it selects and mixed back at its own gain. Its filters are "
               "designed for 44100 Hz whatever rate the host runs at, as the original, unless Band Edges asks for "
               "the host's rate; the options after the bands' controls are off or neutral by default.\" ;\n"
               "    lv2:optionalFeature lv2:hardRTCapable ;\n"
               "    pg:mainInput <%s#in> ;\n    pg:mainOutput <%s#out> ;\n    lv2:port\n",
               kUri, TRIBAND_MINOR_VERSION, TRIBAND_MICRO_VERSION, kUri, kUri);
  for (int32_t i = 0; i < param::count; ++i) writeControl(f, i);
  const int32_t first = param::count;
  for (int a = 0; a < kAudioPorts; ++a) {
    const AudioPort& port = kAudioPortList[a];
    std::fprintf(f,
                 "    [\n        a lv2:%s , lv2:AudioPort ;\n        lv2:index %d ;\n        lv2:symbol \"%s\" ;\n"
                 "        lv2:name \"%s\" ;\n        rdfs:comment \"The %s channel %s\" ;\n"
                 "        pg:group <%s#%s> ;\n        lv2:designation pg:%s\n    ] %s\n",
                 port.output ? "OutputPort" : "InputPort", first + a, port.symbol, port.name,
                 port.right ? "right" : "left", port.output ? "out" : "in", kUri, port.output ? "out" : "in",
                 port.right ? "right" : "left", ",");
  }
  for (int32_t i = param::count; i < param::allCount; ++i) writeControl(f, i);
}

void writePresets(FILE* f) {
  std::fprintf(f,
               "# The program bank's sixteen programs hold the defaults, so the one preset\n"
               "# is the default program. Written from the engine's parameter table.\n\n"
               "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
               "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
               "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
               "<%s:preset:default>\n    a pset:Preset ;\n    lv2:appliesTo <%s> ;\n"
               "    rdfs:label \"--- Default ---\" ;\n    lv2:port\n",
               kUri, kUri);
  for (int32_t i = 0; i < param::count; ++i) {
    const param::Info& p = param::kTable[i];
    std::fprintf(f, "    [ lv2:symbol \"%s\" ; pset:value %s ] %s\n", p.symbol,
                 number(units::unitValue(i, p.defaultValue), false).c_str(), i + 1 == param::count ? "." : ",");
  }
}

bool write(const char* path, void (*body)(FILE*)) {
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  body(f);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lv2_ttl_writer PLUGIN.ttl PRESETS.ttl\n");
    return 2;
  }
  if (!write(argv[1], writePlugin) || !write(argv[2], writePresets)) {
    std::perror("lv2_ttl_writer");
    return 1;
  }
  return 0;
}
