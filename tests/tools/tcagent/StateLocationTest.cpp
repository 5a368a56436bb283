// Only a private state directory and regular state files of the user's own are taken, and nothing
// is written through a link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TcAgentTest.h"
#include "tests/sim/FileBytes.h"

namespace TcAgentTesting {
namespace {

using SimTesting::fileBytes;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

constexpr uid_t nobody = 65534;

mode_t modeOf(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) ADD_FAILURE() << path << ": cannot stat";
  return status.st_mode;
}

void directoryMade(const std::string& path, mode_t mode) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

class StateLocationTest : public TcAgentTest {
 protected:
  // tcagent with `arguments` and no --state, XDG_RUNTIME_DIR set to `runtime`.
  Outcome withRuntimeDirectory(const std::string& runtime,
                               const std::vector<std::string>& arguments) const {
    std::vector<std::string> words = {"--driver", driver};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return TcAgentProcess(words, directory, {.environment = {"XDG_RUNTIME_DIR=" + runtime}}).wait();
  }
  // tcagent's demo with TMPDIR set to `temporary`.
  TcAgentProcess demo(const std::string& temporary, bool readerGone = false) const {
    return TcAgentProcess({"demo"}, directory,
                          {.environment = {"TMPDIR=" + temporary}, .outputReaderGone = readerGone});
  }

  const std::string runtime = directory + "/runtime";
  const std::string temporary = directory + "/tmp";
  const std::string policy = writePolicy({"prio=10 dscp=46 -> tc=5 qid=5"});
  const std::vector<std::string> policyLines = {"prio=10 dscp=46 -> tc=5 qid=5"};
};

// Private whatever the umask: one that takes the owner's bits too leaves a state that works.
TEST_F(StateLocationTest, TheDefaultDirectoryIsMadePrivateInTheRuntimeDirectory) {
  directoryMade(runtime, 0700);
  const mode_t umask = ::umask(0377);
  const Outcome applied = withRuntimeDirectory(runtime, {"apply", policy});
  ::umask(umask);
  EXPECT_EQ(applied.status, 0) << applied.err;
  EXPECT_EQ(modeOf(runtime + "/tcagent"), S_IFDIR | 0700);
  for (const auto& file : fs::directory_iterator(runtime + "/tcagent"))
    EXPECT_EQ(modeOf(file.path()), S_IFREG | 0600) << file.path();
  EXPECT_EQ(chipLines(runtime + "/tcagent"), policyLines);
  EXPECT_THAT(withRuntimeDirectory(runtime, {"apply", policy}).out,
              HasSubstr("(the table already holds the policy)"));
  // Reached through a link of the user's, as on the way to a --state.
  fs::create_directory_symlink(runtime, directory + "/runtime-link");
  EXPECT_THAT(withRuntimeDirectory(directory + "/runtime-link", {"apply", policy}).out,
              HasSubstr("(the table already holds the policy)"));
}

// A read that makes a new chip (a mistyped --state) says so; the next read does not. A read
// leaves the state files as they were, their modified times too.
TEST_F(StateLocationTest, AReadThatMakesANewChipSaysSoAndAReadLeavesTheFilesAsTheyWere) {
  for (const std::vector<std::string>& read :
       {std::vector<std::string>{"show", "dscp=46"}, {"classify", "dscp=46"}}) {
    const std::string typo = directory + "/sate" + read.front();
    EXPECT_EQ(errorOf(0, read, typo), "tcagent: note: a new chip was made in " + typo +
                                          ", its table empty with room for 512 entries\n");
    EXPECT_EQ(errorOf(0, read, typo), "");
  }
  outputOf({"apply", policy});
  const auto before = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const std::string& file : {chipStatePath(state), keyStorePath(state)})
    fs::last_write_time(file, before);
  outputOf({"show"});
  outputOf({"classify", "dscp=46"});
  for (const std::string& file : {chipStatePath(state), keyStorePath(state)})
    EXPECT_EQ(fs::last_write_time(file), before) << file;
}

// A dry run makes no state: over a directory without a chip it plans for the chip that the apply
// would make, leaving nothing in TMPDIR either. Over a chip whose records are lost, it plans with
// the entries adopted, and leaves the adopting to the next run that may change the state.
TEST_F(StateLocationTest, ADryRunMakesNoStateAndPlansForTheChipTheApplyWouldMake) {
  directoryMade(temporary, 0700);
  const std::string empty = directory + "/empty";
  directoryMade(empty, 0700);
  for (const std::string& absent : {state, empty}) {
    const Outcome planned = tcagentOn(absent, {"--capacity", "20", "apply", "--dry-run", policy},
                                      {.environment = {"TMPDIR=" + temporary}});
    EXPECT_EQ(planned.status, 0);
    EXPECT_EQ(planned.err, "tcagent: note: " + absent +
                               " holds no chip yet: the plan is for a new one with room for 20 "
                               "entries, and the dry run makes none\n");
    EXPECT_THAT(planned.out, HasSubstr("1 to add, 0 to modify, 0 to remove, default unchanged; "
                                       "room: 0 held, 1 at the peak, 20 in the table"));
  }
  EXPECT_FALSE(fs::exists(state));
  EXPECT_TRUE(fs::is_empty(empty));
  EXPECT_TRUE(fs::is_empty(temporary));
  // What mkdir would refuse, the dry run refuses too.
  EXPECT_EQ(errorOf(2, {"apply", "--dry-run", policy}, directory + "/missing/state"),
            "tcagent: state directory " + directory +
                "/missing/state: cannot be made: No such file or directory\n");

  errorOf(0, {"--capacity", "20", "apply", policy});
  EXPECT_THAT(outputOf({"apply", "--dry-run", policy}), HasSubstr("20 in the table"));
  fs::remove(keyStorePath(state));
  const std::vector<char> chip = fileBytes(chipStatePath(state));
  EXPECT_THAT(outputOf({"apply", "--dry-run", policy}), HasSubstr("0 to add, 0 to modify"));
  EXPECT_FALSE(fs::exists(keyStorePath(state)));
  EXPECT_EQ(fileBytes(chipStatePath(state)), chip);
  EXPECT_THAT(outputOf({"show"}), HasSubstr("0 read back from records, 1 adopted"));
}

// A command line that names no driver library, no driver operation, no packet or no pipe leaves
// no chip, and one that names no pipe makes no empty chip again.
TEST_F(StateLocationTest, BadUsageMakesNoChipAndRemakesNone) {
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--fail", "nosuch:1", "show"},
        {"classify", "dscp=999"},
        {"show", "nosuch=1"},
        {"--driver", NOT_A_DRIVER, "show"},
        {"--pipe", "4", "show"}}) {
    errorOf(2, bad);
    EXPECT_FALSE(fs::exists(chipStatePath(state)));
  }
  errorOf(0, {"clear"});
  errorOf(2, {"--capacity", "64", "--pipe", "7", "clear"});
  EXPECT_THAT(outputOf({"show"}), HasSubstr("(0 of 512 used)"));
}

// The demo's directory goes in TMPDIR as mktemp takes it (an empty TMPDIR is unset); one that
// names no directory stops the demo, naming it. A reader that stops early (`| head -1`) or Ctrl-C
// end the demo, the signal as it ends a program, and the demo's directory goes with it.
TEST_F(StateLocationTest, TheDemoMakesItsDirectoryWhereMktempWouldAndRemovesIt) {
  EXPECT_EQ(demo("").wait().status, 0);
  // A TMPDIR named with control bytes is narrated escaped, on one line.
  const std::string odd = directory + "/a\nb\x1b[31m";
  directoryMade(odd, 0700);
  const Outcome narrated = demo(odd).wait();
  EXPECT_EQ(narrated.status, 0);
  EXPECT_THAT(narrated.out, HasSubstr(directory + "/a\\x0ab\\x1b[31m/tcagent-demo-"));
  const Outcome stopped = demo(directory + "/missing").wait();
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(stopped.err, "tcagent: cannot make the demo's directory in TMPDIR=" + directory +
                             "/missing: No such file or directory\n");
  directoryMade(temporary, 0700);
  const Outcome cut = demo(temporary, true).wait();
  EXPECT_EQ(cut.status, 1);
  EXPECT_THAT(cut.err, HasSubstr("standard output could not be written"));
  EXPECT_TRUE(fs::is_empty(temporary));

  TcAgentProcess interrupted = demo(temporary);
  for (int waited = 0; fs::is_empty(temporary) && waited < 10000; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  interrupted.kill(SIGINT);
  EXPECT_EQ(interrupted.wait().status, 128 + SIGINT);
  EXPECT_TRUE(fs::is_empty(temporary));
}

// What an unsafe location is made of under the test's directory, in order: a directory of `mode`,
// an empty file (mode 0), or a symbolic link to `linkTo`; of the user's own, or of `owner`.
struct Made {
  const char* path;
  mode_t mode;
  const char* linkTo = nullptr;
  uid_t owner = 0;
};

struct UnsafeLocation {
  const char* name;
  std::vector<Made> made;
  const char* runtime;               // XDG_RUNTIME_DIR, under the test's directory if absolute
  std::vector<std::string> problem;  // standard error holds each
  friend void PrintTo(const UnsafeLocation& value, std::ostream* out) { *out << value.name; }
};

const UnsafeLocation unsafeLocations[] = {
    {"OwnedByAnotherUser",
     {{"/runtime", 0700}, {"/runtime/tcagent", 0777, nullptr, nobody}},
     "/runtime",
     {"/runtime/tcagent: is owned by user 65534, not by you"}},
    {"WritableByOthers",
     {{"/runtime", 0700}, {"/runtime/tcagent", 0777}},
     "/runtime",
     {"/runtime/tcagent: is writable by others (mode 0777)"}},
    {"WritableByItsGroup",
     {{"/runtime", 0700}, {"/runtime/tcagent", 0770}},
     "/runtime",
     {"/runtime/tcagent: is writable by its group (mode 0770)"}},
    {"SymbolicLink",
     {{"/runtime", 0700}, {"/runtime/elsewhere", 0700}, {"/runtime/tcagent", 0, "elsewhere"}},
     "/runtime",
     {"/runtime/tcagent: is a symbolic link"}},
    {"RuntimeDirectoryALinkOfAnotherUserNamedWithASlash",
     {{"/runtime.real", 0700}, {"/runtime", 0, "runtime.real", nobody}},
     "/runtime/.",
     {"/runtime is a symbolic link of user 65534"}},
    {"NotADirectory",
     {{"/runtime", 0700}, {"/runtime/tcagent", 0}},
     "/runtime",
     {"/runtime/tcagent: is not a directory"}},
    {"RuntimeDirectoryWritableByOthers",
     {{"/runtime", 0777}},
     "/runtime",
     {"XDG_RUNTIME_DIR ", "/runtime: is writable by others (mode 0777); make it private"}},
    // A shared directory is not one to make private.
    {"RuntimeDirectoryShared",
     {{"/runtime", 01777}},
     "/runtime",
     {"XDG_RUNTIME_DIR ", "/runtime: is writable by others (mode 1777); unset it or give --state"}},
    {"OnTheWayADirectoryWritableByOthers",
     {{"/runtime.open", 0777}, {"/runtime.open/runtime", 0700}},
     "/runtime.open/runtime",
     {"/runtime.open/runtime/tcagent: another user could redirect it: ",
      "/runtime.open is writable by others (mode 0777) and not sticky"}},
    {"OnTheWayALinkOfAnotherUser",
     {{"/runtime.real", 0700},
      {"/runtime.real/runtime", 0700},
      {"/runtime.theirs", 0, "runtime.real", nobody}},
     "/runtime.theirs/runtime",
     {"/runtime.theirs is a symbolic link of user 65534"}},
    {"RuntimeDirectoryRelative",
     {},
     "runtime",
     {"XDG_RUNTIME_DIR='runtime' is not an absolute path"}},
};

class UnsafeLocationTest : public StateLocationTest,
                           public ::testing::WithParamInterface<UnsafeLocation> {};

TEST_P(UnsafeLocationTest, StopsTheRunWithStatusTwoNamingThePathAndWritesNothing) {
  for (const Made& made : GetParam().made) {
    const std::string path = directory + made.path;
    if (made.linkTo) {
      ASSERT_EQ(::symlink(made.linkTo, path.c_str()), 0) << path;
    } else if (made.mode) {
      directoryMade(path, made.mode);
    } else {
      std::ofstream{path};
    }
    ASSERT_TRUE(!made.owner || ::lchown(path.c_str(), made.owner, made.owner) == 0) << path;
  }
  const std::string value = GetParam().runtime;
  const Outcome run =
      withRuntimeDirectory(value.starts_with('/') ? directory + value : value, {"apply", policy});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, ::testing::StartsWith("tcagent: "));
  EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
  for (const std::string& problem : GetParam().problem)
    EXPECT_THAT(run.err, HasSubstr(problem));
  for (const auto& entry : fs::recursive_directory_iterator(directory))
    EXPECT_FALSE(entry.path().string().ends_with(".state")) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Locations, UnsafeLocationTest, ::testing::ValuesIn(unsafeLocations),
                         ::testing::PrintToStringParamName());

// Each state file in turn as a link to a copy of it elsewhere: neither a read nor a clear goes
// through it or sets it aside.
TEST_F(StateLocationTest, AStateFileThatIsALinkIsRefusedAndLeftAsItWas) {
  outputOf({"apply", policy});
  for (const std::string& path : {chipStatePath(state), keyStorePath(state)}) {
    SCOPED_TRACE(path);
    const std::string elsewhere = directory + "/elsewhere.state";
    fs::rename(path, elsewhere);
    ASSERT_EQ(::symlink(elsewhere.c_str(), path.c_str()), 0);
    const std::vector<char> before = fileBytes(elsewhere);
    for (const std::vector<std::string>& command : {std::vector<std::string>{"show"}, {"clear"}}) {
      EXPECT_EQ(errorOf(1, command),
                "tcagent: " + SimTesting::refusalOf(path, "is a symbolic link") + "\n");
    }
    EXPECT_TRUE(fileBytes(elsewhere) == before);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    fs::rename(elsewhere, path);
  }
  EXPECT_EQ(shownLines(), policyLines);
}

// A --state that names a link is refused however it is written.
TEST_F(StateLocationTest, AStateDirectoryThatIsALinkIsRefusedWithATrailingSlashToo) {
  directoryMade(directory + "/real", 0700);
  ASSERT_EQ(::symlink("real", state.c_str()), 0);
  for (const std::string& named : {state, state + "/", state + "/./"}) {
    EXPECT_EQ(errorOf(2, {"show"}, named),
              "tcagent: state directory " + state +
                  ": is a symbolic link; give the directory itself, or remove the link\n");
  }
}

// A path that another user could redirect is refused, for state and policy; the user's own link
// is followed.
TEST_F(StateLocationTest, APathThroughAnotherUsersLinkIsRefusedAndTheUsersOwnIsFollowed) {
  const std::string real = directory + "/real", theirs = directory + "/theirs";
  directoryMade(real, 0700);
  ASSERT_EQ(::symlink("real", (directory + "/mine").c_str()), 0);
  ASSERT_EQ(::symlink("real", theirs.c_str()), 0);
  ASSERT_EQ(::lchown(theirs.c_str(), nobody, nobody), 0);
  fs::copy_file(policy, real + "/policy.txt");

  errorOf(0, {"apply", directory + "/mine/policy.txt"}, directory + "/mine/state");
  const std::string hazard =
      ": another user could redirect it: " + theirs + " is a symbolic link of user 65534";
  EXPECT_EQ(errorOf(2, {"show"}, theirs + "/state"),
            "tcagent: state directory " + theirs + "/state" + hazard + "; give another --state\n");
  EXPECT_EQ(errorOf(2, {"apply", theirs + "/policy.txt"}, real + "/state"),
            "tcagent: " + theirs + "/policy.txt" + hazard + "\n");
  EXPECT_EQ(chipLines(real + "/state"), policyLines);
}

// A driver library by path is loaded only where no one else could put code of theirs (the
// library, the directories and links on the way); a refused one makes no state directory.
TEST_F(StateLocationTest, ADriverLibraryThatAnotherUserCouldReplaceIsNotLoaded) {
  const std::string open = directory + "/open", mine = directory + "/mine";
  directoryMade(open, 0777);
  directoryMade(mine, 0700);
  for (const std::string& library : {open + "/driver.so", mine + "/driver.so", mine + "/open.so"})
    fs::copy_file(PD_DRIVER, library);
  ASSERT_EQ(::chmod((mine + "/open.so").c_str(), 0666), 0);
  ASSERT_EQ(::symlink("driver.so", (mine + "/link.so").c_str()), 0);
  ASSERT_EQ(::symlink("driver.so", (mine + "/theirs.so").c_str()), 0);
  ASSERT_EQ(::lchown((mine + "/theirs.so").c_str(), nobody, nobody), 0);
  const std::string unused = directory + "/unused";
  for (const auto& [library, hazard] :
       {std::pair{open + "/driver.so", open + " is writable by others (mode 0777) and not sticky"},
        {mine + "/open.so", mine + "/open.so is writable by others (mode 0666)"},
        {mine + "/theirs.so", mine + "/theirs.so is a symbolic link of user 65534"}}) {
    EXPECT_EQ(errorOf(2, {"--driver", library, "show"}, unused),
              "tcagent: --driver " + library +
                  ": another user could put code of theirs there: " + hazard + "\n");
    EXPECT_FALSE(fs::exists(unused));
  }
  EXPECT_EQ(tcagent({"--driver", mine + "/link.so", "apply", policy}).out,
            "1 added, 0 modified, 0 removed, default unchanged\n");
}

}  // namespace
}  // namespace TcAgentTesting
