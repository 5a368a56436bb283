// A command line or policy that tcagent cannot take is refused before anything changes: exit 2,
// one short line saying where and why, in bounded time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include <nlohmann/json.hpp>

#include "StateFiles.h"
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
    badFile("LongLine", "# " + std::string(70000, 'x') + "\n", ":1: ", "line too long"),
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
    badLine("SameKeyAndPriority", "prio=2 dscp=2 -> tc=3 qid=3", "same key and priority as line 2"),
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
    // The parser reads past a number before it is taken: a number that ends a line is on it.
    badFile("DocumentVersionEndingALine", "{\"entries\": [],\n\"version\": 2\n}",
            ":2: ", "document version 2 is not one"),
    badFile("DocumentNumberTooLarge", R"({"version": 1, "entries": [{"priority": 1e400}]})",
            ":1: ", "not a JSON document: number overflow parsing '1e400'"),
    badFile("DocumentFieldUnderBothItsNames",
            R"({"version": 1, "entries": [{"match": {"dscp": 46, "qosMdDscp": 10}}]})",
            ":1: ", "qosMdDscp given twice"),
    badFile("DocumentOfAnUnknownVersion", R"({"version": 2, "entries": []})",
            ":1: ", "document version 2 is not one"),
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
    const Outcome help = TcAgentProcess(words, directory).wait();
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_THAT(help.out, HasSubstr("Usage: tcagent"));
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
  const nlohmann::json usageError = nlohmann::json::parse(usage.out).at("error");
  EXPECT_THAT(usageError.at("message").get<std::string>(), HasSubstr("--capacity"));
  EXPECT_TRUE(usageError.at("line").is_null());
}

}  // namespace
}  // namespace TcAgentTesting
