// The policy file's lines as they are in the file, also the last one without a line end after
// the buffer moved, and a file changed while it is read refused rather than taken in part.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TemporaryDirectory.h"
#include "tools/tcagent/PolicySource.h"

namespace TcAgentTesting {
namespace {

using TcAgent::PolicySource;

class PolicySourceTest : public testing::Test {
 protected:
  std::string written(const std::string& bytes) const {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  const TestSupport::TemporaryDirectory scratch{"tcagent-source"};
  const std::string path = scratch.path() + "/policy.txt";
};

std::vector<std::string> linesOf(PolicySource& source) {
  std::vector<std::string> lines;
  for (std::string_view line; source.readLine(line);)
    lines.emplace_back(line);
  return lines;
}

TEST_F(PolicySourceTest, EveryLineIsReadAsWrittenTheLastOneWithoutItsEndToo) {
  PolicySource source(written("\xEF\xBB\xBF# voice\r\n\ncos=5 prio=200 dscp=46 -> tc=5 qid=5"));
  EXPECT_THAT(linesOf(source),
              testing::ElementsAre("# voice", "", "cos=5 prio=200 dscp=46 -> tc=5 qid=5"));
}

// The longest line is as long with either end; one byte more is refused.
TEST_F(PolicySourceTest, TheLongestLineIsReadWithEitherEnd) {
  const std::string longest(PolicySource::lineBytesMax, '#');
  for (const char* end : {"\n", "\r\n"}) {
    PolicySource source(written(longest + end + "#" + longest + end));
    std::string_view line;
    ASSERT_TRUE(source.readLine(line));
    EXPECT_EQ(line.size(), longest.size());
    EXPECT_THROW(source.readLine(line), TcAgent::PolicyError);
  }
}

// A generator that rewrites the file while it is read: cutting it short, at the same size, or
// with its write time set back as it was, as a tool that keeps times does.
TEST_F(PolicySourceTest, AFileChangedWhileItIsReadIsRefused) {
  const std::string policy = "prio=1 dscp=1 -> tc=1 qid=1\nprio=2 dscp=2 -> tc=1 qid=1\n";
  for (const auto& [rewritten, timeKept] :
       {std::pair{std::string(), false}, {policy, false}, {policy, true}}) {
    PolicySource source(written(policy));
    std::string_view line;
    ASSERT_TRUE(source.readLine(line));
    const auto modified = std::filesystem::last_write_time(path);
    // The file's times have the clock's grain: the rewrite comes a tick later.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    written(rewritten);
    if (timeKept) std::filesystem::last_write_time(path, modified);
    EXPECT_THROW(
        {
          try {
            linesOf(source);
          } catch (const TcAgent::PolicyError& error) {
            EXPECT_EQ(error.reason(),
                      "changed while it was read; give it again once it is written whole");
            throw;
          }
        },
        TcAgent::PolicyError);
  }
}

}  // namespace
}  // namespace TcAgentTesting
