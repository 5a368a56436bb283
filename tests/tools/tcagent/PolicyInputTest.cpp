// Policies as people write them: the README's JSON document, Windows line ends and a byte-order
// mark, standard input, a file of any name; a document of part of the table is refused.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "StateFiles.h"
#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using DocumentTest = TcAgentTest;
using PolicyInputTest = TcAgentTest;

// The first JSON block after the README's heading of the document.
std::string readmeExample() {
  std::stringstream text;
  text << std::ifstream(README_PATH).rdbuf();
  const std::string all = text.str();
  const std::size_t start = all.find("```json\n", all.find("### The JSON document"));
  if (start == std::string::npos) throw std::runtime_error("no JSON example in " README_PATH);
  return all.substr(start + 8, all.find("```\n", start + 8) - start - 8);
}

// Applied into a fresh state, the example is what show then writes, member for member.
TEST_F(DocumentTest, TheReadmeExampleIsWhatShowWritesAfterApplyingIt) {
  const std::string example = readmeExample();
  EXPECT_EQ(outputOf({"apply", writePolicy({example}, "example.json")}),
            "2 added, 0 modified, 0 removed, default set\n");
  EXPECT_EQ(nlohmann::json::parse(outputOf({"show", "--format", "json"})),
            nlohmann::json::parse(example));
}

// The entries that a packet matches, as a document or in the entry form, are refused as a
// policy (they would remove every other entry); a document of no entries empties the table.
TEST_F(DocumentTest, TheEntriesAPacketMatchesAreNotTakenForAPolicy) {
  outputOf({"apply", EXAMPLE_POLICY});
  const std::string part = outputOf({"show", "--format", "json", "dscp=46"});
  EXPECT_EQ(nlohmann::json::parse(part).at("packet").at("dscp"), 46);
  const std::string entries = outputOf({"show", "--format", "entry", "dscp=46"});
  for (const auto& [file, refusal] :
       {std::pair{writePolicy({part}, "part.json"), "the document holds only the entries that"},
        {writePolicy({entries}, "part.txt"), "part.txt:1: the file holds only the entries that"}}) {
    const Outcome applied = tcagent({"apply", file});
    EXPECT_EQ(applied.status, 2);
    EXPECT_THAT(applied.err, ::testing::HasSubstr(refusal));
  }
  EXPECT_EQ(chipLines(state), policyFileLines(EXAMPLE_POLICY));
  // A document of no entries says so on purpose, where lines of none are refused.
  EXPECT_EQ(outputOf({"apply", writePolicy({R"({"version": 1, "entries": []})"}, "none.json")}),
            "0 added, 0 modified, 16 removed, default reset\n");
}

TEST_F(PolicyInputTest, WindowsLineEndsAByteOrderMarkAndStandardInputAreRead) {
  const std::vector<std::string> policy = {"prio=10 dscp=46 -> tc=5 qid=5",
                                           "prio=20 dscp=32/0xe0 -> tc=4 qid=4",
                                           "default -> tc=0 qid=0"};
  std::string windows = "\xEF\xBB\xBF";
  for (const std::string& line : policy)
    windows += line + "\r\n";
  std::ofstream(directory + "/windows.txt", std::ios::binary) << windows;
  EXPECT_EQ(outputOf({"apply", directory + "/windows.txt"}),
            "2 added, 0 modified, 0 removed, default set\n");
  EXPECT_EQ(shownLines(), sorted(policy));

  const std::string changed = writePolicy({"prio=10 dscp=46 -> tc=6 qid=6"}, "changed.txt");
  const Outcome fromInput = tcagentWith({"apply", "-"}, {changed, {}});
  EXPECT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, "0 added, 1 modified, 1 removed, default reset\n");
}

// A file name is any bytes but '/' and NUL: messages and JSON carry it escaped, on one line, so
// that the escapes read one way only (a backslash is two).
TEST_F(PolicyInputTest, AFileNamedWithBytesThatAreNotTextIsNamedEscaped) {
  const std::string overlapping =
      writePolicy({"prio=1 dscp=2 -> tc=1 qid=1", "prio=1 cos=1 -> tc=1 qid=1"}, "p\xff\n.txt");
  const Outcome applied = tcagent({"apply", overlapping, "--format", "json"});
  EXPECT_EQ(applied.status, 0) << applied.out;
  EXPECT_EQ(nlohmann::json::parse(applied.out).at("warnings").at(0).at("file"),
            directory + "/p\\xff\\x0a.txt");
  const Outcome refused =
      tcagent({"apply", writePolicy({"prio=1 dscp=300 -> tc=1 qid=1"}, "\x1b[31m\\\n.txt")});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err,
            "tcagent: " + directory + "/\\x1b[31m\\\\\\x0a.txt:1: dscp value 300 is over 255\n");
}

// A policy of megabytes is read in pieces, parsed two at a time: every entry is taken, and of
// several faults the one on the first line is the one refused, whichever piece holds it.
TEST_F(PolicyInputTest, ALongPolicyIsTakenWholeAndRefusedAtItsFirstFault) {
  constexpr unsigned lineCount = 60000;  // of about 100 bytes: three pairs of pieces
  std::vector<std::string> lines;
  for (unsigned n = 0; n < lineCount; ++n) {
    lines.push_back(
        fmt::format("prio={} trust-mode={} default-cos={} cos={} dscp={} "
                    "decap-type={} -> tc=1 qid=1 # {:>32}",
                    n, n % 4, n / 4 % 8, n / 32 % 8, n / 256 % 64, n / 16384 % 8, n));
  }
  lines[9] = "default -> tc=0 qid=0";
  const Outcome whole = tcagent({"check", writePolicy(lines, "long.txt")});
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_THAT(whole.out,
              ::testing::EndsWith(": 59999 entries and a default action; no findings\n"));

  // Each fault as (line number, text).
  using Faults = std::vector<std::pair<unsigned, std::string>>;
  const std::string tooLong = "# " + std::string(70000, 'x');
  // Pieces of about 19,000 lines: faults in the two pieces of a pair, and in one piece.
  const std::pair<Faults, std::string> cases[] = {
      {{{59000, "prio=1 dscp=300 -> tc=1 qid=1"}}, ":59000: dscp value 300 is over 255"},
      {{{5000, "prio=1 -> tc=1"}, {25000, "junk"}}, ":5000: missing action parameter qid"},
      {{{40000, "default -> tc=2 qid=2"}, {41000, "junk"}},
       ":40000: a second default action (the first is on line 10)"},
      {{{15000, "junk"}, {30000, tooLong}}, ":15000: missing action: expected '-> tc=N qid=N'"},
      {{{50000, tooLong}}, ":50000: line too long"},
  };
  for (const auto& [faults, refusal] : cases) {
    std::vector<std::string> faulty = lines;
    for (const auto& [number, text] : faults)
      faulty[number - 1] = text;
    const Outcome refused = tcagent({"check", writePolicy(faulty, "faulty.txt")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "tcagent: " + directory + "/faulty.txt" + refusal + "\n");
  }
}

// A document of megabytes is read in pieces as it is parsed: every entry is taken, and a fault
// past the first piece is refused at its own line.
TEST_F(PolicyInputTest, ALongDocumentIsTakenWholeAndRefusedAtItsLine) {
  constexpr unsigned entryCount = 20000;  // of about 150 bytes: three pieces
  std::vector<std::string> lines = {R"({"version": 1, "entries": [)"};
  for (unsigned n = 0; n < entryCount; ++n) {
    lines.push_back(fmt::format(
        R"({{"priority": {}, "match": {{"trust-mode": {}, "default-cos": {}, "cos": {}, )"
        R"("dscp": {}, "decap-type": {}}}, "action": {{"tc": 1, "qid": 1}}}}{})",
        n, n % 4, n / 4 % 8, n / 32 % 8, n / 256 % 64, n / 16384 % 8,
        n + 1 < entryCount ? "," : "]}"));
  }
  const Outcome whole = tcagent({"check", writePolicy(lines, "long.json")});
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_THAT(whole.out, ::testing::EndsWith(": 20000 entries, no default action; no findings\n"));

  const std::pair<std::string, std::string> faults[] = {
      {R"("qid": 256)", ":15001: entry 15000: qid must be a number from 0 to 255, not 256"},
      {std::string("\0", 1), ":15001: control character \\x00"}};
  for (const auto& [fault, refusal] : faults) {
    std::vector<std::string> faulty = lines;
    faulty[15000].replace(faulty[15000].find(R"("qid": 1)"), 8, fault);
    const Outcome refused = tcagent({"check", writePolicy(faulty, "faulty.json")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "tcagent: " + directory + "/faulty.json" + refusal + "\n");
  }
}

}  // namespace
}  // namespace TcAgentTesting
