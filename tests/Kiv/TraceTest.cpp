// Tracing: levels, text built only when its level is on, and what the sink receives. The levels
// that KIV_TRACE sets when the framework loads are tested with the probe (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Kiv/Trace.h"

namespace {

TEST(Trace, TextIsBuiltOnlyWhenItsLevelIsOnAndLevelsApplyToHandlesMadeLater) {
  std::vector<std::string> seen;
  Kiv::traceSinkIs([&seen](const Kiv::TraceRecord& r) {
    seen.push_back(Kiv::_fmt("%s/%d %s:%u %s: %.*s", r.handle.name().c_str(), r.level, r.file,
                             r.line, r.operation, static_cast<int>(r.text.size()), r.text.data()));
  });
  Kiv::TraceHandle& handle = Kiv::TraceHandle::handle("KivTest.built");
  int built = 0;
  auto text = [&built] { return ++built; };
  KIV_TRACE(handle, 0, "a.cpp", 1, "op", text());
  Kiv::traceLevelIs("KivTest.built", 2);
  KIV_TRACE(handle, 3, "a.cpp", 2, "op", text());
  KIV_TRACE(handle, 2, "table.cpp", 42, "entryIs", text() << ' ' << 7 << '/' << 0x1f);
  EXPECT_EQ(seen, std::vector<std::string>{"KivTest.built/2 table.cpp:42 entryIs: 1 7/31"});
  Kiv::traceSinkIs({});

  Kiv::traceLevelIs("*", 5);
  EXPECT_EQ(handle.level(), 5);
  Kiv::traceLevelIs("KivTest.built", 12);
  EXPECT_EQ(handle.level(), Kiv::traceLevelMax);
  Kiv::traceLevelIs("*", Kiv::traceLevelOff);
}

}  // namespace
