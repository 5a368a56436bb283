// Tracing: levels per handle and for every handle, text built only when its level is on, what
// the sink receives, and the levels that KIV_TRACE sets when the framework loads.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Kiv/Trace.h"

namespace {

// Collects each record that reaches the sink as one line; afterwards restores the default sink
// and turns every level off.
class TraceTest : public testing::Test {
 protected:
  void SetUp() override {
    Kiv::traceSinkIs([this](const Kiv::TraceRecord& r) {
      seen_.push_back(Kiv::_fmt("%s/%d %s:%u %s: %.*s", r.handle.name().c_str(), r.level, r.file,
                                r.line, r.operation, static_cast<int>(r.text.size()),
                                r.text.data()));
    });
  }
  void TearDown() override {
    Kiv::traceSinkIs({});
    Kiv::traceLevelIs("*", Kiv::traceLevelOff);
  }

  std::vector<std::string> seen_;
};

// Trace text that counts how often it was built.
std::string countedText(int& built) {
  ++built;
  return "text";
}

TEST_F(TraceTest, TextIsBuiltOnlyWhenItsLevelIsOn) {
  Kiv::TraceHandle& handle = Kiv::TraceHandle::handle("KivTest.built");
  int built = 0;
  KIV_TRACE(handle, 0, "a.cpp", 1, "op", countedText(built));
  Kiv::traceLevelIs("KivTest.built", 2);
  KIV_TRACE(handle, 3, "a.cpp", 2, "op", countedText(built));
  EXPECT_EQ(built, 0);
  KIV_TRACE(handle, 2, "table.cpp", 42, "entryIs", countedText(built) << ' ' << 7 << '/' << 0x1f);
  EXPECT_EQ(built, 1);
  EXPECT_EQ(seen_, std::vector<std::string>{"KivTest.built/2 table.cpp:42 entryIs: text 7/31"});
}

TEST_F(TraceTest, LevelsApplyToHandlesMadeLater) {
  Kiv::traceLevelIs("KivTest.later", 3);
  EXPECT_EQ(Kiv::TraceHandle::handle("KivTest.later").level(), 3);
  Kiv::TraceHandle& existing = Kiv::TraceHandle::handle("KivTest.existing");
  Kiv::traceLevelIs("*", 5);
  EXPECT_EQ(existing.level(), 5);
  EXPECT_EQ(Kiv::TraceHandle::handle("KivTest.afterEvery").level(), 5);
  Kiv::traceLevelIs("KivTest.existing", 12);
  EXPECT_EQ(existing.level(), Kiv::traceLevelMax);
}

// What the probe prints: the levels of `handles` in a process started with KIV_TRACE=`setting`.
std::string levelsAtStart(const std::string& setting, const std::string& handles) {
  std::string command = "KIV_TRACE='" + setting + "' '" KIV_TRACE_LEVEL_PROBE "' " + handles;
  FILE* probe = popen(command.c_str(), "r");
  if (!probe) return "cannot run " + command;
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, probe))
    output += buffer;
  EXPECT_EQ(pclose(probe), 0) << command;
  return output;
}

TEST(TraceEnvironment, SetsLevelsWhenTheFrameworkLoads) {
  EXPECT_EQ(levelsAtStart("*/1,KivTest.alpha/3,KivTest.beta/12,bogus,/4,KivTest.quiet/-1",
                          "KivTest.alpha KivTest.beta KivTest.quiet KivTest.other"),
            "3 1 -1 1\n");
  EXPECT_EQ(levelsAtStart("KivTest.alpha/9x,KivTest.beta/0", "KivTest.alpha KivTest.beta"),
            "-1 0\n");
}

}  // namespace
