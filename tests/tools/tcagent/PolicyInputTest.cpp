// Policies as people write them, and what tcagent cannot take: a command line or policy refused
// before anything changes (exit 2, one short line saying where and why, in bounded time), a
// document of part of the table, and `check`, which validates a policy without state or driver:
// errors exit 2, findings (an entry covered by one of higher precedence, an overlap at one
// priority) exit 1 naming both lines, a clean policy exits 0; apply prints them as warnings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::HasSubstr;
using namespace std::string_literals;

struct Refusal {
  const char* name;
  std::vector<std::string> arguments;  // after --state and --driver; FILE: the file of `bytes`
  std::vector<std::string> reasons;    // standard error holds each, FILE its path
  std::string bytes = "";
  std::string input = "/dev/null";  // standard input
  friend void PrintTo(const Refusal& value, std::ostream* out) { *out << value.name; }
};

// A policy whose lines 2 and 3 are good and new to the table, and `line` its line 4.
std::string fourthLine(const std::string& line) {
  return "# two good lines first\nprio=2 dscp=2 -> tc=2 qid=2\ndefault -> tc=7 qid=7\n" + line +
         "\n";
}

// Applying a file of `bytes`, refused at `where` in it.
Refusal badFile(const char* name, const std::string& bytes, const char* where, const char* reason) {
  return {name, {"apply", "FILE"}, {"FILE" + std::string(where), reason}, bytes};
}

Refusal badLine(const char* name, const std::string& line, const char* reason) {
  return badFile(name, fourthLine(line), ":4: ", reason);
}

const Refusal refusals[] = {
    {"NoCommand", {}, {"no command given; the commands are apply, show, classify, clear, check"}},
    {"UnknownCommand", {"frobnicate"}, {"unknown command 'frobnicate'; the commands are apply"}},
    {"UnknownOption", {"--colour", "show"}, {"--colour"}},
    {"OptionOfTheDemo", {"demo"}, {"--state does not apply to demo"}},
    {"FileNamedLikeAnOption",
     {"apply", "-x.txt"},
     {"unknown option '-x.txt'; a file whose name begins with '-' is given as './-x.txt'"}},
    // '-' is standard input, not an option: a second one is a second file.
    {"SecondStandardInput", {"check", "FILE", "-"}, {"check does not take '-'"}},
    {"CommandOptionBeforeTheCommand",
     {"--dry-run", "apply", "FILE"},
     {"'--dry-run' is an option of apply: give it after the command"}},
    {"CapacityZero", {"--capacity", "0", "show"}, {"--capacity", "'0' is not a number from 1"}},
    {"CapacityOneOverTheLargest", {"--capacity", "1048577", "show"}, {"from 1 to 1048576"}},
    {"PipeNotANumber", {"--pipe", "all", "show"}, {"--pipe", "'all' is not a number"}},
    {"PipeTheDeviceLacks", {"--pipe", "7", "show"}, {"--pipe 7: device 0 has pipes 0 to 3"}},
    {"FormatNotAChoice", {"show", "--format", "yaml"}, {"--format: 'yaml' is not a format"}},
    // A path left out before an option would take the option for the path.
    {"OptionTakenForAPath",
     {"apply", "--state", "--dry-run", "FILE"},
     {"--state: '--dry-run' looks like an option, not a path"}},
    // "--opt=" is an empty value, not the next word.
    {"EmptyValueGivenWithEquals", {"show", "--format=", "json"}, {"--format: '' is not a format"}},
    {"DriverNotAChoice", {"--driver", "foo", "show"}, {"'foo' is not a driver"}},
    {"MissingDriverLibrary",
     {"--driver", "/nonexistent/driver.so", "show"},
     {"cannot load the driver library", "/nonexistent/driver.so"}},
    {"EmptyState", {"--state", "", "show"}, {"--state: an empty path names no directory"}},
    {"FaultOfNoOperation", {"--fail", "nosuchop:1", "show"}, {"no operation 'nosuchop'"}},
    {"FaultGivenTwice",
     {"--fail", "get_entry:1", "--fail", "get_entry:2:3", "show"},
     {"--fail: 'get_entry' is given more than once"}},
    {"FaultOfNoStatus", {"--fail", "get_entry:bogus", "show"}, {"'bogus' is not a failing"}},
    {"FaultOfNoCall", {"--fail", "get_entry:1:0", "show"}, {"counts from 1"}},
    {"PacketFieldUnknown", {"classify", "colour=3"}, {"not 'colour=3'"}},
    {"UnreadableFile", {"apply", "/nonexistent/p"}, {"/nonexistent/p: cannot be read: No such"}},
    {"DirectoryAsPolicy", {"apply", "/tmp"}, {"/tmp: cannot be read: a directory"}},
    {"DeviceAsPolicy", {"apply", "/dev/zero"}, {"/dev/zero: cannot be read: a device"}},
    {"LinkAsPolicy", {"apply", "LINK"}, {"link.txt: is a symbolic link; name the file it points"}},
    {"StandardInputByItsPath",
     {"apply", "/dev/stdin"},
     {"/dev/stdin: is a link to an open file; give - and the policy on standard input"}},
    {"LineWithoutEnd", {"apply", "-"}, {"<stdin>:1: line too long"}, "", "/dev/zero"},
    badFile("BlankLinesAndCommentsOnly", "\n# generated: nothing\n  \n", ": ",
            "no entry and no default action; to remove every entry, run clear"),
    badFile("NumberOf60000Digits", "prio=1 dscp=" + std::string(60'000, '7') + " -> tc=1 qid=1\n",
            ":1: ",
            "dscp value 7777777777777777777777777777777777777777777777777777777777777777... is "
            "over 255"),
    badLine("UnknownField", "prio=3 colour=3 -> tc=1 qid=1", "unknown field 'colour'"),
    badLine("ValueOver255", "prio=3 dscp=256 -> tc=1 qid=1", "dscp value 256 is over 255"),
    badLine("HexMaskOver255", "prio=3 dscp=1/0x100 -> tc=1 qid=1", "dscp mask 0x100 is over 255"),
    badLine("ActionOver255", "prio=3 dscp=3 -> tc=256 qid=1", "tc 256 is over 255"),
    badLine("ValueBitsOutsideMask", "prio=3 dscp=3/0x1 -> tc=1 qid=1",
            "dscp value 0x3 has bits outside its mask 0x1"),
    badLine("SameKeyAndPriority", "prio=2 dscp=2 -> tc=3 qid=3",
            "same key and priority as line 2: prio=2 dscp=2"),
    badFile("SameKeyAndPriorityInADocumentOnOneLine",
            R"({"version":1,"entries":[{"priority":2,"match":{"dscp":{"value":2,"mask":255}},)"
            R"("action":{"tc":1,"qid":1}},{"priority":2,"match":{"dscp":{"value":2,"mask":255}},)"
            R"("action":{"tc":3,"qid":3}}]})",
            ":1: ", "same key and priority as line 1: prio=2 dscp=2"),
    badLine("MissingAction", "prio=3 dscp=3 tc=1 qid=1",
            "missing action: expected '-> tc=N qid=N'"),
    badLine("MissingTc", "prio=3 dscp=3 -> qid=1", "missing action parameter tc"),
    badLine("ArrowJoinedToAWord", "prio=3 dscp=3 ->tc=1 qid=1",
            "'->' stands apart from the words around it"),
    // The table that show prints, fed back: the first word is the one named.
    badLine("ShowsTableHeader", "handle  prio  dscp  ->  tc  qid",
            "expected name=value, got 'handle'"),
    badLine("SecondDefault", "default -> tc=1 qid=1", "a second default action (the first is on"),
    badLine("BadNumber", "prio=3 dscp=4x -> tc=1 qid=1", "bad number '4x' for dscp value"),
    badLine("EntryFormThatDoesNotParse",
            "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {'match': "
            "Ptr('BfIngressTrafficClass::IngressTrafficClassMatchSpec', ** {'priority': -1})})",
            "cannot read attribute 'match': cannot read attribute 'priority': parse error at "
            "position 150: expected a number from 0 to 4294967295, found '-1})})'"),
    badLine("EntryFormMaskWithoutValue",
            "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {'match': "
            "Ptr('BfIngressTrafficClass::IngressTrafficClassMatchSpec', ** {'priority': 3, "
            "'qosMdDscpMask': 255}), 'action': "
            "Ptr('BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec', ** {'actionType': "
            "setTrafficClassAndEgressQidActionSpec, 'qid': 1, 'tc': 1})})",
            "qosMdDscpMask given without qosMdDscp"),
    badLine("EntryFormWithoutQid",
            "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {'match': None, "
            "'action': Ptr('BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec', ** "
            "{'actionType': setTrafficClassAndEgressQidActionSpec, 'tc': 1})})",
            "missing action parameter qid"),
    badLine("ControlCharacter", "prio=3 dscp=3\x1b[31m -> tc=1 qid=1", "control character \\x1b"),
    badLine("Nul", "prio=3 dscp=3\0 -> tc=1 qid=1"s, "control character \\x00"),
    badLine("LoneCarriageReturn", "prio=3\rdscp=3 -> tc=1 qid=1", "control character \\x0d"),
    badLine("NonAsciiName", "prio=3 d\xc3\xa9scp=3 -> tc=1 qid=1",
            "unknown field 'd\\xc3\\xa9scp'"),
    // The JSON parser would stop at the NUL and take the document before it.
    badFile("DocumentWithNul", "{\"version\": 1, \"entries\": []}\n\0{\"tail"s,
            ":2: ", "control character \\x00"),
    badFile("DocumentWithAKeyTwice", "{\"version\": 1,\n\"version\": 1, \"entries\": []}",
            ":2: ", "key 'version' given twice"),
    // Printing a value nested this deep for the message overflowed the stack.
    badFile("DocumentNestedTooDeep",
            R"({"version": 1, "entries": [], "start": )" + std::string(100'000, '[') +
                std::string(100'000, ']') + "}",
            ":1: ", "nested more than 8 levels deep"),
    badFile("DocumentWithAMisspeltKey", R"({"version": 1, "entries": [], "defualt": null})",
            ":1: ", "unknown key 'defualt' in the document"),
    badFile("DocumentWithoutItsVersion", R"({"entries": []})",
            ":1: ", "the document has no \"version\""),
    badFile("DocumentEntryActionWithoutItsQueue",
            R"({"version": 1, "entries": [{"action": {"tc": 1}}]})",
            ":1: ", "entry 1: the entry action has no \"qid\""),
    badFile("DocumentEntryNotAnObject", "{\"version\": 1, \"entries\": [\n[{\"tc\": 1}]]}",
            ":2: ", "entry 1: the entry must be an object, not an array"),
    // An unknown version; the parser reads past a number before it is taken: a number that ends
    // a line is on it.
    badFile("DocumentVersionEndingALine", "{\"entries\": [],\n\"version\": 2\n}",
            ":2: ", "document version 2 is not one"),
    badFile("DocumentNumberTooLarge", R"({"version": 1, "entries": [{"priority": 1e400}]})",
            ":1: ", "not a JSON document: number overflow parsing '1e400'"),
    badFile("DocumentFieldUnderBothItsNames",
            R"({"version": 1, "entries": [{"match": {"dscp": 46, "qosMdDscp": 10}}]})",
            ":1: ", "qosMdDscp given twice"),
    badFile("DocumentOfAnotherTable", R"({"version": 1, "table": "egress", "entries": []})",
            ":1: ", "the document is of table \"egress\", not of ingressTrafficClass"),
    badFile("DocumentOfAFractionalVersion", R"({"version": 1.0, "entries": []})",
            ":1: ", "document version 1.0 is not one"),
    badFile("DocumentValueOutsideItsMask", R"({"version": 1, "entries": [
      {"priority": 1, "match": {"dscp": 46}, "action": {"tc": 1, "qid": 1}},
      {"match": {"dscp": {"value": 3, "mask": 1}}, "action": {"tc": 1, "qid": 1}}]})",
            ":3: ", "entry 2: dscp value 0x3 has bits outside its mask 0x1"),
};

class RefusalTest : public TcAgentTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, ExitsTwoWithOneLineSayingWhyAndChangesNothing) {
  outputOf({"apply", writePolicy({"prio=1 dscp=1 -> tc=1 qid=1", "default -> tc=0 qid=0"})});
  const std::vector<std::string> before = chipLines(state);
  const std::string file = directory + "/refused.txt", link = directory + "/link.txt";
  std::ofstream(file, std::ios::binary) << GetParam().bytes;
  ASSERT_EQ(::symlink((directory + "/policy.txt").c_str(), link.c_str()), 0);
  auto placed = [&](std::string text) {
    for (std::size_t at; (at = text.find("FILE")) != std::string::npos;)
      text.replace(at, 4, file);
    return text == "LINK" ? link : text;
  };
  std::vector<std::string> arguments;
  for (const std::string& argument : GetParam().arguments)
    arguments.push_back(placed(argument));

  const auto start = std::chrono::steady_clock::now();
  const Outcome run = tcagentWith(arguments, {GetParam().input, {}});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, ::testing::StartsWith("tcagent: "));
  EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
  EXPECT_LT(run.err.size(), 1000u);
  for (const std::string& reason : GetParam().reasons)
    EXPECT_THAT(run.err, HasSubstr(placed(reason)));
  EXPECT_EQ(chipLines(state), before);
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusalTest, ::testing::ValuesIn(refusals),
                         ::testing::PrintToStringParamName());

TEST_F(TcAgentTest, HelpVersionAndOptionsGoWhereOperatorsPutThem) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"--help"}, {"-h"}, {"apply", "--help"}, {"show", "-h"}}) {
    EXPECT_THAT(TcAgentProcess(words, directory).wait().out, HasSubstr("Usage: tcagent"));
  }
  EXPECT_THAT(TcAgentProcess({"--version"}, directory).wait().out,
              ::testing::MatchesRegex("tcagent [0-9]+\\.[0-9]+\\.[0-9]+\n"));

  outputOf({"apply", writePolicy({"prio=1 dscp=1 -> tc=1 qid=1"})});
  const std::string shown = outputOf({"show"});
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"show", "--state", state, "--driver", driver},
        {"--state=" + state, "show", "--driver=" + driver, "--format=table"}}) {
    EXPECT_EQ(TcAgentProcess(words, directory).wait().out, shown);
  }
}

TEST_F(TcAgentTest, WithJsonAskedForAnErrorIsAJsonObject) {
  const Outcome bad =
      tcagent({"apply", "--format", "json", writePolicy({"prio=1 dscp=x -> tc=1 qid=1"})});
  EXPECT_EQ(bad.status, 2);
  const nlohmann::json error = nlohmann::json::parse(bad.out).at("error");
  EXPECT_THAT(error.at("message").get<std::string>(), HasSubstr("bad number 'x' for dscp value"));
  EXPECT_EQ(error.at("line"), 1);
  EXPECT_EQ(error.at("file"), directory + "/policy.txt");
  const Outcome usage = tcagent({"show", "--format=json", "--capacity", "0"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(nlohmann::json::parse(usage.out).at("error").at("line"), nullptr);
  // The last --format decides, as it does for the output.
  const Outcome text = tcagent({"show", "--format", "json", "--format=table", "--capacity", "0"});
  EXPECT_EQ(text.out, "");
  EXPECT_THAT(text.err, HasSubstr("--capacity"));
}

TEST_F(TcAgentTest, CheckExitsByWhatItFindsAndNamesBothLinesOfEveryFinding) {
  const std::string path = writePolicy({
      "prio=10 dscp=46 -> tc=5 qid=5",
      "prio=20 dscp=46 cos=3 -> tc=4 qid=4",  // never applies: line 1 covers it
      "prio=30 dscp=32/0xf0 -> tc=3 qid=3",
      "prio=30 cos=3 -> tc=2 qid=2",              // overlaps line 3 at its priority
      "prio=30 cos=4 dscp=0/0xf0 -> tc=2 qid=2",  // no overlap: dscp differs on common bits
      "prio=5 cos=2 -> tc=1 qid=1",
      "default -> tc=0 qid=0",
  });
  auto check = [this](const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {"check"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return TcAgentProcess(words, directory).wait();
  };
  const Outcome run = check({path});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(
      run.out,
      fmt::format(
          R"({0}:2: never applies: line 1 (prio=10 dscp=46) covers it completely at a higher precedence
{0}:4: overlaps line 3 (prio=30 dscp=32/0xf0) at priority 30: which of them applies to a packet that both match depends on the order they were programmed
{0}: 6 entries and a default action; 2 findings
)",
          path));
  const nlohmann::json found = nlohmann::json::parse(check({"--format", "json", path}).out);
  EXPECT_EQ(found.at("findings").size(), 2u);
  EXPECT_EQ(found.at("findings")[0].at("kind"), "neverApplies");
  EXPECT_EQ(found.at("findings")[0].at("otherLine"), 1);
  EXPECT_EQ(found.at("findings")[1].at("kind"), "samePriorityOverlap");

  const Outcome applied = tcagent({"apply", path});
  EXPECT_EQ(applied.status, 0);
  EXPECT_EQ(applied.out, "6 added, 0 modified, 0 removed, default set\n");
  EXPECT_THAT(applied.err, HasSubstr("tcagent: warning: " + path + ":2: never applies"));
  EXPECT_THAT(applied.err, HasSubstr("tcagent: warning: " + path + ":4: overlaps line 3"));

  const Outcome clean = check({EXAMPLE_POLICY});
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_THAT(clean.out, HasSubstr("16 entries and a default action; no findings\n"));
  const Outcome bad = check({writePolicy({"prio=1 dscp=300 -> tc=1 qid=1"}, "bad.txt")});
  EXPECT_EQ(bad.status, 2);
  EXPECT_THAT(bad.err, HasSubstr("bad.txt:1: dscp value 300 is over 255"));
}

// Entries of many tuples of masks are checked in part, in bounded time, and not said to be clean.
TEST_F(TcAgentTest, ACheckThatStopsEarlySaysSo) {
  const char* const fields[] = {"trust-mode", "default-cos",    "cos",   "dscp", "high-priority",
                                "decap-type", "cpu-trust-mode", "cpu-tc"};
  std::vector<std::string> lines;
  for (std::uint64_t entry = 1; entry <= 20000; ++entry) {
    const std::uint64_t masks = entry * 0x9E3779B97F4A7C15ull;  // a tuple of its own
    std::string line = "prio=7";
    for (unsigned field = 0; field < 8; ++field)
      line += fmt::format(" {}=0/{}", fields[field], masks >> (8 * field) & 0xFF);
    lines.push_back(line + " -> tc=1 qid=1");
  }
  const std::string path = writePolicy(lines);
  const Outcome run = TcAgentProcess({"check", path}, directory).wait();
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_THAT(run.out, HasSubstr(path + ": the check stopped after 134217728 comparisons, so "
                                        "there may be findings it did not reach"));
  const Outcome json = TcAgentProcess({"check", "--format", "json", path}, directory).wait();
  EXPECT_EQ(nlohmann::json::parse(json.out).at("stoppedEarly"), true);
  const Outcome planned =
      tcagent({"--capacity", "32768", "apply", "--dry-run", "--format", "json", path});
  EXPECT_EQ(nlohmann::json::parse(planned.out).at("checkStoppedEarly"), true) << planned.err;
}

// The first findings in line order are listed, and apply's warnings say that there are more.
TEST_F(TcAgentTest, ApplyWarnsOfFindingsNotListed) {
  std::vector<std::string> lines;
  for (int priority = 0; priority <= 10001; ++priority)
    lines.push_back(fmt::format("prio={} dscp=1 -> tc=1 qid=1", priority));
  const Outcome planned =
      tcagent({"--capacity", "16384", "apply", "--dry-run", writePolicy(lines)});
  EXPECT_EQ(planned.status, 0);
  EXPECT_THAT(planned.err, HasSubstr(":10001: never applies: line 1 (prio=0 dscp=1) covers it "
                                     "completely at a higher precedence\ntcagent: warning: and "
                                     "more findings after the first 10000 listed\n"));
  EXPECT_THAT(planned.err, testing::Not(HasSubstr(":10002: ")));
}

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
    EXPECT_THAT(errorOf(2, {"apply", file}), HasSubstr(refusal));
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

// A file name is any bytes but '/' and NUL: messages carry it escaped, on one line, so that the
// escapes read one way only (a backslash is two); JSON carries the path itself when it is UTF-8.
TEST_F(PolicyInputTest, AFileNamedWithBytesThatAreNotTextIsNamedEscaped) {
  const std::string overlapping =
      writePolicy({"prio=1 dscp=2 -> tc=1 qid=1", "prio=1 cos=1 -> tc=1 qid=1"}, "p\xff\n.txt");
  const Outcome applied = tcagent({"apply", overlapping, "--format", "json"});
  EXPECT_EQ(applied.status, 0) << applied.out;
  EXPECT_EQ(nlohmann::json::parse(applied.out).at("warnings").at(0).at("file"),
            directory + "/p\\xff\\x0a.txt");
  EXPECT_EQ(
      errorOf(2, {"apply", writePolicy({"prio=1 dscp=300 -> tc=1 qid=1"}, "\x1b[31m\\\n.txt")}),
      "tcagent: " + directory + "/\\x1b[31m\\\\\\x0a.txt:1: dscp value 300 is over 255\n");
  const std::string text = "caf\u20ac \\ \x1b.txt";
  const Outcome refused = tcagent({"check", "--format", "json", writePolicy({"x"}, text)});
  EXPECT_EQ(nlohmann::json::parse(refused.out).at("error").at("file"), directory + "/" + text);
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
  EXPECT_THAT(outputOf({"check", writePolicy(lines, "long.txt")}),
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
    EXPECT_EQ(errorOf(2, {"check", writePolicy(faulty, "faulty.txt")}),
              "tcagent: " + directory + "/faulty.txt" + refusal + "\n");
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
  EXPECT_THAT(outputOf({"check", writePolicy(lines, "long.json")}),
              ::testing::EndsWith(": 20000 entries, no default action; no findings\n"));

  const std::pair<std::string, std::string> faults[] = {
      {R"("qid": 256)", ":15001: entry 15000: qid must be a number from 0 to 255, not 256"},
      {std::string("\0", 1), ":15001: control character \\x00"}};
  for (const auto& [fault, refusal] : faults) {
    std::vector<std::string> faulty = lines;
    faulty[15000].replace(faulty[15000].find(R"("qid": 1)"), 8, fault);
    EXPECT_EQ(errorOf(2, {"check", writePolicy(faulty, "faulty.json")}),
              "tcagent: " + directory + "/faulty.json" + refusal + "\n");
  }
}

}  // namespace
}  // namespace TcAgentTesting
