// SPDX-License-Identifier: GPL-3.0-or-later
// tribandist check: our editions pass; a plug-in that breaks one rule fails
// that check by name, and only through it.

#include "HostTool.h"

TEST_F(HostTool, CheckPassesOurClapAndRecordEditions) {
  for (const char* plugin : {TRIBAND_CLAP_PLUGIN, TRIBAND_PLUGIN_PATH}) {
    const ToolRun r = run(std::string("check ") + plugin);
    EXPECT_EQ(r.exitCode, 0) << plugin << "\n" << r.out;
    EXPECT_NE(r.out.find("every check passed"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("FAIL"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("checking processing at 192000 Hz"), std::string::npos) << "no progress shown";
  }
  const ToolRun clap = run("check " TRIBAND_CLAP_PLUGIN);
  for (const char* check : {"descriptor", "param-text-round-trip", "state-reproduces", "host-calls-on-their-threads",
                            "output-written", "output-not-subnormal"})
    EXPECT_NE(clap.out.find(std::string("pass  ") + check), std::string::npos) << check << "\n" << clap.out;
}

TEST_F(HostTool, CheckFailsEachBrokenRuleByName) {
  const struct {
    const char* plugin;
    const char* failed;
  } cases[] = {{TRIBAND_BROKEN_CLAP_1, "output-written"},
               {TRIBAND_BROKEN_CLAP_2, "output-finite"},
               {TRIBAND_BROKEN_CLAP_3, "state-reproduces"},
               {TRIBAND_BROKEN_CLAP_4, "param-text-round-trip"}};
  for (const auto& c : cases) {
    const ToolRun r = run(std::string("check ") + c.plugin);
    EXPECT_EQ(r.exitCode, 1) << c.plugin << "\n" << r.out;
    EXPECT_NE(r.out.find(std::string("FAIL  ") + c.failed), std::string::npos) << c.failed << "\n" << r.out;
    EXPECT_NE(r.out.find("1 check(s) failed"), std::string::npos) << "more than one failure\n" << r.out;
  }
  // The same gain without a broken rule passes: the checks are not ours alone.
  const ToolRun sound = run("check " TRIBAND_BROKEN_CLAP_0);
  EXPECT_EQ(sound.exitCode, 0) << sound.out;
  const ToolRun missing = run("check " + path("nothing.clap"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.out.find("FAIL  load"), std::string::npos) << missing.out;
}
