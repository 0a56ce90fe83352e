// SPDX-License-Identifier: GPL-3.0-or-later
// tribandist analyze: what it measures must be what the plug-in does.

#include <cmath>
#include <cstdlib>
#include <memory>

#include "Analysis.h"
#include "HostTool.h"
#include "PluginHost.h"

namespace {

constexpr int kRate = 44100;
constexpr int kMidThreshold = 10;

PluginMaker ours(std::vector<std::pair<int, float>> settings = {}) {
  return [settings]() {
    auto p = loadPlugin(TRIBAND_PLUGIN_PATH);
    for (const auto& [index, value] : settings) p->setParameter(index, value);
    return p;
  };
}

Analysis measure(const PluginMaker& make) {
  return analyse(make, kRate, [](const std::string&) {});
}

const Curve& named(const std::vector<Curve>& curves, const std::string& prefix) {
  for (const Curve& c : curves)
    if (c.name.rfind(prefix, 0) == 0) return c;
  throw std::runtime_error("no curve named " + prefix);
}

/// The frequency where the curve first passes `level` dB (rising when
/// `fromBelow`), interpolated on the log axis; 0 when it never does.
double crossing(const Curve& c, double level, bool fromBelow) {
  for (size_t i = 1; i < c.x.size(); ++i) {
    const bool before = fromBelow ? c.y[i - 1] < level : c.y[i - 1] > level;
    const bool after = fromBelow ? c.y[i] >= level : c.y[i] <= level;
    if (before && after) {
      const double t = (level - c.y[i - 1]) / (c.y[i] - c.y[i - 1]);
      return c.x[i - 1] * std::pow(c.x[i] / c.x[i - 1], t);
    }
  }
  return 0.0;
}

// Defaults: low-pass at 700 Hz, band-pass at 4350 Hz, high-pass at 7000 Hz,
// each with Q 0.7. The band-pass and high-pass are near enough Butterworth
// (-3 dB at the cut-off); the low-pass is damped by 2(1 - q) = 0.6, whose
// analogue -3 dB point lies at u times its cut-off, u^2 = (b + sqrt(b^2 + 4)) / 2
// with b = 2 - 4 damping^2.
TEST(Analysis, BandsAloneMatchTheirFilterDesign) {
  const double damping = 2.0 * (1.0 - 0.7), b = 2.0 - 4.0 * damping * damping;
  const double lowHalfPower = 700.0 * std::sqrt((b + std::sqrt(b * b + 4.0)) / 2.0);
  const Analysis a = measure(ours());
  const Curve& mid = named(a.responses, "mid band");
  const auto peak = std::max_element(mid.y.begin(), mid.y.end());
  EXPECT_NEAR(*peak, 0.0, 0.1) << "the band-pass has unity gain at its centre";
  EXPECT_NEAR(mid.x[peak - mid.y.begin()], 4350.0, 4350.0 * 0.05);
  EXPECT_NEAR(crossing(named(a.responses, "low band"), -3.0, false), lowHalfPower, lowHalfPower * 0.02);
  EXPECT_NEAR(crossing(named(a.responses, "high band"), -3.0, true), 7000.0, 7000.0 * 0.05);
  EXPECT_NEAR(named(a.responses, "low band").y.front(), 0.0, 0.1) << "the low-pass passes 20 Hz";
  EXPECT_NEAR(named(a.responses, "high band").y.back(), 0.0, 0.2) << "the high-pass passes 20 kHz";
  // The default program is linear: no harmonics to speak of.
  EXPECT_LT(a.at1k.thdPercent, 1e-3);
  EXPECT_LT(a.at100.thdPercent, 1e-3);
}

// "soft" is (1 + k)x / (1 + k|x|), a = 0.95 t, k = 2a / (1 - a). At the mid
// band's centre the filter passes the sine unchanged, so the measured level is
// the curve applied to a sine.
TEST(Analysis, SoftTransferFollowsItsFormula) {
  constexpr float kThreshold = 0.5f;
  const Analysis a = measure(ours({{kMidThreshold, kThreshold}}));
  const double aa = 0.95 * static_cast<double>(kThreshold), k = 2.0 * aa / (1.0 - aa);
  const Curve& mid = named(a.transfers, "mid band");
  ASSERT_EQ(mid.x.front(), -60.0);
  ASSERT_EQ(mid.x.back(), 6.0);
  for (size_t i = 0; i < mid.x.size(); ++i) {
    const double amplitude = std::pow(10.0, mid.x[i] / 20.0);
    double squares = 0.0;
    constexpr int kSteps = 100000;
    for (int n = 0; n < kSteps; ++n) {
      const double x = amplitude * std::sin(2.0 * M_PI * n / kSteps);
      const double y = (1.0 + k) * x / (1.0 + k * std::fabs(x));
      squares += y * y;
    }
    const double expected = 20.0 * std::log10(std::sqrt(2.0 * squares / kSteps));
    EXPECT_NEAR(mid.y[i], expected, 0.1) << "input " << mid.x[i] << " dBFS";
  }
  // A symmetric curve adds odd harmonics only.
  EXPECT_GT(a.at1k.thdPercent, 1.0);
  EXPECT_GT(a.at1k.levelsDbfs[2], -60.0);
  EXPECT_LT(a.at1k.levelsDbfs[1], -100.0);
}

TEST(Analysis, AThirdPartyEqSetFlatMeasuresFlat) {
  const char* eq = "/usr/lib/vst/3BandEQ-vst.so";
  if (!fs::exists(eq)) GTEST_SKIP() << eq << " is not installed (package dpf-plugins-vst)";
  const Analysis a = measure([eq]() { return loadPlugin(eq); });
  ASSERT_EQ(a.responses.size(), 1u) << "other plug-ins' bands cannot be isolated";
  for (size_t i = 0; i < a.responses[0].x.size(); ++i)
    EXPECT_NEAR(a.responses[0].y[i], 0.0, 0.1) << a.responses[0].x[i] << " Hz";
  const Curve& t = a.transfers[0];
  for (size_t i = 0; i < t.x.size(); ++i) EXPECT_NEAR(t.y[i], t.x[i], 0.1);
}

bool haveGnuplot() { return std::system("gnuplot --version >/dev/null 2>&1") == 0; }

TEST_F(HostTool, AnalyzeDrawsThePictureAndWritesTheCurves) {
  if (!haveGnuplot()) {
    if (std::getenv("CI")) FAIL() << "gnuplot is not installed (package gnuplot-nox)";
    GTEST_SKIP() << "gnuplot is not installed (package gnuplot-nox): no picture to check";
  }
  const ToolRun r =
      run("analyze --set \"Mid Disto Type=fuzz sqrt\" -o " + path("report.png") + " --csv " + dir.string());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string png = slurp(dir / "report.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  const auto be32 = [&png](size_t at) {
    return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
           (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
  };
  EXPECT_EQ(be32(16), 1600u);
  EXPECT_EQ(be32(20), 1800u);
  EXPECT_EQ(fs::status(dir / "report.png").permissions() & fs::perms::others_read, fs::perms::others_read);
  EXPECT_EQ(slurp(dir / "response.csv").rfind("frequency_hz,whole_db,low band_db,mid band_db,high band_db\n", 0), 0u);
  EXPECT_NE(slurp(dir / "transfer.csv").find("mid band at 4350 Hz"), std::string::npos);
  EXPECT_NE(slurp(dir / "harmonics_1000hz.csv").find("THD"), std::string::npos);
  EXPECT_EQ(slurp(dir / "aliases.csv").rfind("# sine of 10000.154 Hz at -6 dBFS", 0), 0u);
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "temporary left behind: " << entry.path();
}

// The alias panel's figure, through the CLAP file as a host sets it: 4x
// oversampling folds at least 20 dB less back into the audible band.
TEST_F(HostTool, AnalyzeShowsTheAliasesOversamplingRemoves) {
  auto aliases = [this](const char* oversampling) {
    const ToolRun r = run(std::string("analyze --plugin " TRIBAND_CLAP_PLUGIN " --rate 48000 --csv ") + dir.string() +
                          " --set \"Band Edges=host rate\" --set \"Low Gain=-oo\" --set \"Mid Gain=-oo\" --set "
                          "\"H Threshold=50\" --set Oversampling=" +
                          oversampling);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const size_t at = r.out.find("aliases of 9999.8 Hz at -6 dBFS: ");
    return at == std::string::npos ? 0.0 : std::strtod(r.out.c_str() + at + 33, nullptr);
  };
  const double off = aliases("off"), four = aliases("4x");
  EXPECT_LT(off, -10.0);
  EXPECT_LE(four, off - 20.0);
}

TEST_F(HostTool, AnalyzeRefusesWhatItCannotDrawBeforeMeasuring) {
  expectRefused("analyze -o " + path("out.jpg"), "png, svg, pdf");
  expectRefused("analyze -o " + path("out.png") + " --set \"Mid Disto Type=fuzzz\"", "fuzz");
  expectRefused("analyze --program 16 -o " + path("out.png"), "--program 16");
  expectRefused("analyze", "-o PICTURE");
  EXPECT_FALSE(fs::exists(path("out.png")));
}

}  // namespace
