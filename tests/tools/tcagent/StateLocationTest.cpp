// Only a private state directory and regular state files of the user's own are taken, and nothing
// is written through a link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "StateFiles.h"
#include "TcAgentTest.h"
#include "tests/sim/FileBytes.h"

namespace TcAgentTesting {
namespace {

using SimTesting::fileBytes;
using SimTesting::refusalOf;
using ::testing::HasSubstr;

constexpr uid_t nobody = 65534;

struct stat statusOf(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) ADD_FAILURE() << path << ": cannot stat";
  return status;
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
    return TcAgentProcess(words, directory, Launch{"/dev/null", {"XDG_RUNTIME_DIR=" + runtime}})
        .wait();
  }

  const std::string runtime = directory + "/runtime";
  const std::string defaultState = runtime + "/tcagent";
  const std::string policy = writePolicy({"prio=10 dscp=46 -> tc=5 qid=5"});
};

// Private whatever the umask: one that takes the owner's bits too leaves a state that works.
TEST_F(StateLocationTest, TheDefaultDirectoryIsMadePrivateInTheRuntimeDirectory) {
  directoryMade(runtime, 0700);
  const mode_t umask = ::umask(0377);
  const Outcome applied = withRuntimeDirectory(runtime, {"apply", policy});
  ::umask(umask);
  EXPECT_EQ(applied.status, 0) << applied.err;
  const struct stat made = statusOf(defaultState);
  EXPECT_TRUE(S_ISDIR(made.st_mode));
  EXPECT_EQ(made.st_mode & 07777, 0700u);
  EXPECT_EQ(made.st_uid, ::geteuid());
  for (const auto& file : std::filesystem::directory_iterator(defaultState)) {
    EXPECT_EQ(statusOf(file.path()).st_mode & 07777, 0600u) << file.path();
  }
  EXPECT_EQ(chipLines(defaultState), std::vector<std::string>{"prio=10 dscp=46 -> tc=5 qid=5"});
  EXPECT_EQ(withRuntimeDirectory(runtime, {"apply", policy}).out,
            "0 added, 0 modified, 0 removed, default unchanged (the table already holds the "
            "policy)\n");
}

// A read that makes a new chip (a mistyped --state) says so; the next read does not.
TEST_F(StateLocationTest, AReadThatMakesANewChipSaysSo) {
  const std::string typo = directory + "/sate";
  for (const std::vector<std::string>& read :
       {std::vector<std::string>{"show", "dscp=46"}, {"classify", "dscp=46"}}) {
    const std::string state = typo + read.front() + read[1];
    const Outcome first = tcagentOn(state, read);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err, "tcagent: note: a new chip was made in " + state +
                             ", its table empty with room for 512 entries\n");
    EXPECT_EQ(tcagentOn(state, read).err, "");
  }
}

// A dry run makes no state: over a directory without a chip it plans for the chip that the apply
// would make, leaving nothing in TMPDIR either, and the apply then makes the chip of the size it
// asks for. Over a chip whose records are lost, it plans with the entries adopted, and leaves the
// adopting to the next run that may change the state.
TEST_F(StateLocationTest, ADryRunMakesNoStateAndPlansForTheChipTheApplyWouldMake) {
  const std::string temporary = directory + "/tmp";
  directoryMade(temporary, 0700);
  const std::string empty = directory + "/empty";
  directoryMade(empty, 0700);
  for (const std::string& absent : {state, empty}) {
    const Outcome planned =
        TcAgentProcess(withOptions(absent, {"--capacity", "20", "apply", "--dry-run", policy}),
                       directory, Launch{"/dev/null", {"TMPDIR=" + temporary}})
            .wait();
    EXPECT_EQ(planned.status, 0) << planned.err;
    EXPECT_EQ(planned.err, "tcagent: note: " + absent +
                               " holds no chip yet: the plan is for a new one with room for 20 "
                               "entries, and the dry run makes none\n");
    EXPECT_THAT(planned.out, HasSubstr("1 to add, 0 to modify, 0 to remove, default unchanged; "
                                       "room: 0 held, 1 at the peak, 20 in the table"));
  }
  EXPECT_FALSE(std::filesystem::exists(state));
  EXPECT_TRUE(std::filesystem::is_empty(empty));
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
  // What mkdir would refuse, the dry run refuses too.
  EXPECT_EQ(tcagentOn(directory + "/missing/state", {"apply", "--dry-run", policy}).err,
            "tcagent: state directory " + directory +
                "/missing/state: cannot be made: No such file or directory\n");

  EXPECT_EQ(tcagent({"--capacity", "20", "apply", policy}).status, 0);
  EXPECT_THAT(outputOf({"apply", "--dry-run", policy}), HasSubstr("20 in the table"));

  std::filesystem::remove(keyStorePath(state));
  const std::vector<char> chip = fileBytes(chipStatePath(state));
  EXPECT_THAT(outputOf({"apply", "--dry-run", policy}), HasSubstr("0 to add, 0 to modify"));
  EXPECT_FALSE(std::filesystem::exists(keyStorePath(state)));
  EXPECT_EQ(fileBytes(chipStatePath(state)), chip);
  EXPECT_THAT(outputOf({"show"}), HasSubstr("0 read back from records, 1 adopted"));
}

// A command line that names no driver library, no driver operation or no packet is refused before
// a chip is made, and one that names no pipe before an empty chip is made again.
TEST_F(StateLocationTest, BadUsageMakesNoChipAndRemakesNone) {
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--fail", "nosuch:1", "show"},
        {"classify", "dscp=999"},
        {"show", "nosuch=1"},
        {"--driver", NOT_A_DRIVER, "show"}}) {
    EXPECT_EQ(tcagent(bad).status, 2);
    EXPECT_FALSE(std::filesystem::exists(chipStatePath(state)));
  }
  EXPECT_EQ(tcagent({"clear"}).status, 0);
  EXPECT_EQ(tcagent({"--capacity", "64", "--pipe", "7", "clear"}).status, 2);
  EXPECT_THAT(outputOf({"show"}), HasSubstr("(0 of 512 used)"));
}

// A read leaves the state files as they were, their modified times too.
TEST_F(StateLocationTest, AReadLeavesTheStateFilesAsTheyWere) {
  ASSERT_EQ(tcagent({"apply", policy}).status, 0);
  const auto before = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  for (const std::string& file : {chipStatePath(state), keyStorePath(state)})
    std::filesystem::last_write_time(file, before);
  EXPECT_EQ(tcagent({"show"}).status, 0);
  EXPECT_EQ(tcagent({"classify", "dscp=46"}).status, 0);
  for (const std::string& file : {chipStatePath(state), keyStorePath(state)})
    EXPECT_EQ(std::filesystem::last_write_time(file), before) << file;
}

// The demo's directory goes in TMPDIR as mktemp takes it (an empty TMPDIR is unset); one that
// names no directory stops the demo, naming it; a reader that stops early (`| head -1`) ends the
// demo with a message, and the demo's directory goes with it.
TEST_F(StateLocationTest, TheDemoMakesItsDirectoryWhereMktempWouldAndRemovesIt) {
  auto demo = [this](const std::string& temporary, bool readerGone = false) {
    return TcAgentProcess({"demo"}, directory,
                          {.environment = {"TMPDIR=" + temporary}, .outputReaderGone = readerGone})
        .wait();
  };
  EXPECT_EQ(demo("").status, 0);
  const std::string missing = directory + "/missing";
  const Outcome stopped = demo(missing);
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(stopped.err, "tcagent: cannot make the demo's directory in TMPDIR=" + missing +
                             ": No such file or directory\n");
  const std::string temporary = directory + "/tmp";
  directoryMade(temporary, 0700);
  const Outcome cut = demo(temporary, true);
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err, "tcagent: standard output could not be written\n");
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

// Ctrl-C stops the demo at its next step; its directory goes with it, and it ends as the signal
// ends a program.
TEST_F(StateLocationTest, TheDemoRemovesItsDirectoryWhenItIsInterrupted) {
  const std::string temporary = directory + "/tmp";
  directoryMade(temporary, 0700);
  TcAgentProcess demo({"demo"}, directory, {.environment = {"TMPDIR=" + temporary}});
  for (int waited = 0; std::filesystem::is_empty(temporary) && waited < 10000; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  demo.kill(SIGINT);
  EXPECT_EQ(demo.wait().status, 128 + SIGINT);
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

struct UnsafeLocation {
  const char* name;
  // Makes the runtime directory and what is at its tcagent/; gives XDG_RUNTIME_DIR's value.
  std::function<std::string(const std::string& runtime)> make;
  std::vector<std::string> problem;  // standard error holds each
  friend void PrintTo(const UnsafeLocation& value, std::ostream* out) { *out << value.name; }
};

// A private runtime directory that holds a tcagent directory of `mode` and `owner`.
std::function<std::string(const std::string&)> stateDirectoryOf(mode_t mode,
                                                                uid_t owner = ::geteuid()) {
  return [=](const std::string& runtime) {
    directoryMade(runtime, 0700);
    directoryMade(runtime + "/tcagent", mode);
    EXPECT_EQ(::chown((runtime + "/tcagent").c_str(), owner, owner), 0);
    return runtime;
  };
}

const UnsafeLocation unsafeLocations[] = {
    {"OwnedByAnotherUser",
     stateDirectoryOf(0777, nobody),
     {"/runtime/tcagent: is owned by user 65534, not by you"}},
    {"WritableByOthers",
     stateDirectoryOf(0777),
     {"/runtime/tcagent: is writable by others (mode 0777)"}},
    {"WritableByItsGroup",
     stateDirectoryOf(0770),
     {"/runtime/tcagent: is writable by its group (mode 0770)"}},
    {"SymbolicLink",
     [](const std::string& runtime) {
       directoryMade(runtime, 0700);
       directoryMade(runtime + "/elsewhere", 0700);
       EXPECT_EQ(::symlink((runtime + "/elsewhere").c_str(), (runtime + "/tcagent").c_str()), 0);
       return runtime;
     },
     {"/runtime/tcagent: is a symbolic link"}},
    {"RuntimeDirectoryALinkNamedWithASlash",
     [](const std::string& runtime) {
       directoryMade(runtime + ".real", 0700);
       EXPECT_EQ(::symlink((runtime + ".real").c_str(), runtime.c_str()), 0);
       return runtime + "/.";
     },
     {"XDG_RUNTIME_DIR ", "/runtime: is a symbolic link"}},
    {"NotADirectory",
     [](const std::string& runtime) {
       directoryMade(runtime, 0700);
       std::ofstream(runtime + "/tcagent") << "";
       return runtime;
     },
     {"/runtime/tcagent: is not a directory"}},
    {"RuntimeDirectoryWritableByOthers",
     [](const std::string& runtime) {
       directoryMade(runtime, 0777);
       return runtime;
     },
     {"XDG_RUNTIME_DIR ", "/runtime: is writable by others (mode 0777); make it private"}},
    // A shared directory is not one to make private.
    {"RuntimeDirectoryShared",
     [](const std::string& runtime) {
       directoryMade(runtime, 01777);
       return runtime;
     },
     {"XDG_RUNTIME_DIR ", "/runtime: is writable by others (mode 1777); unset it or give --state"}},
    {"OnTheWayADirectoryWritableByOthers",
     [](const std::string& runtime) {
       directoryMade(runtime + ".open", 0777);
       directoryMade(runtime + ".open/runtime", 0700);
       return runtime + ".open/runtime";
     },
     {"/runtime.open/runtime/tcagent: another user could redirect it: ",
      "/runtime.open is writable by others (mode 0777) and not sticky"}},
    {"OnTheWayALinkOfAnotherUser",
     [](const std::string& runtime) {
       directoryMade(runtime + ".real", 0700);
       directoryMade(runtime + ".real/runtime", 0700);
       EXPECT_EQ(::symlink((runtime + ".real").c_str(), (runtime + ".theirs").c_str()), 0);
       EXPECT_EQ(::lchown((runtime + ".theirs").c_str(), nobody, nobody), 0);
       return runtime + ".theirs/runtime";
     },
     {"/runtime.theirs is a symbolic link of user 65534"}},
    {"RuntimeDirectoryRelative",
     [](const std::string&) { return std::string("runtime"); },
     {"XDG_RUNTIME_DIR='runtime' is not an absolute path"}},
};

class UnsafeLocationTest : public StateLocationTest,
                           public ::testing::WithParamInterface<UnsafeLocation> {};

TEST_P(UnsafeLocationTest, StopsTheRunWithStatusTwoNamingThePathAndWritesNothing) {
  const std::string value = GetParam().make(runtime);
  const Outcome run = withRuntimeDirectory(value, {"apply", policy});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, ::testing::StartsWith("tcagent: "));
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  for (const std::string& problem : GetParam().problem)
    EXPECT_THAT(run.err, HasSubstr(problem));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    EXPECT_FALSE(entry.path().string().ends_with(".state")) << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Locations, UnsafeLocationTest, ::testing::ValuesIn(unsafeLocations),
                         ::testing::PrintToStringParamName());

// Each state file in turn as a link to a copy of it elsewhere (the checks of MappedFile, which
// MappedFileTest tests in full): neither a read nor a clear goes through it or sets it aside.
TEST_F(StateLocationTest, AStateFileThatIsALinkIsRefusedAndLeftAsItWas) {
  outputOf({"apply", policy});
  for (const std::string& path : {chipStatePath(state), keyStorePath(state)}) {
    SCOPED_TRACE(path);
    const std::string elsewhere = directory + "/elsewhere.state";
    std::filesystem::rename(path, elsewhere);
    ASSERT_EQ(::symlink(elsewhere.c_str(), path.c_str()), 0);
    const std::vector<char> before = fileBytes(elsewhere);
    for (const std::vector<std::string>& command : {std::vector<std::string>{"show"}, {"clear"}}) {
      const Outcome run = tcagent(command);
      EXPECT_NE(run.status, 0);
      EXPECT_EQ(run.err, "tcagent: " + refusalOf(path, "is a symbolic link") + "\n");
    }
    EXPECT_TRUE(fileBytes(elsewhere) == before);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    std::filesystem::rename(elsewhere, path);
  }
  EXPECT_EQ(shownLines(), std::vector<std::string>{"prio=10 dscp=46 -> tc=5 qid=5"});
}

// A --state that names a link is refused however it is written.
TEST_F(StateLocationTest, AStateDirectoryThatIsALinkIsRefusedWithATrailingSlashToo) {
  directoryMade(directory + "/real", 0700);
  ASSERT_EQ(::symlink("real", state.c_str()), 0);
  for (const std::string& named : {state, state + "/", state + "/./"}) {
    const Outcome run = tcagentOn(named, {"show"});
    EXPECT_EQ(run.status, 2) << named;
    EXPECT_EQ(run.err, "tcagent: state directory " + state +
                           ": is a symbolic link; give the directory itself, or remove the link\n");
  }
}

// A path that another user could send elsewhere is refused, for state and policy alike; a
// link of the user's own and a sticky directory of root's on the way are taken.
TEST_F(StateLocationTest, APathThroughAnotherUsersLinkIsRefusedAndTheUsersOwnIsFollowed) {
  const std::string real = directory + "/real", theirs = directory + "/theirs";
  directoryMade(real, 0700);
  ASSERT_EQ(::symlink("real", (directory + "/mine").c_str()), 0);
  ASSERT_EQ(::symlink("real", theirs.c_str()), 0);
  ASSERT_EQ(::lchown(theirs.c_str(), nobody, nobody), 0);
  std::filesystem::copy_file(policy, real + "/policy.txt");

  const Outcome applied =
      tcagentOn(directory + "/mine/state", {"apply", directory + "/mine/policy.txt"});
  EXPECT_EQ(applied.status, 0) << applied.err;
  const std::string hazard =
      ": another user could redirect it: " + theirs + " is a symbolic link of user 65534";
  const Outcome state = tcagentOn(theirs + "/state", {"show"});
  EXPECT_EQ(state.status, 2);
  EXPECT_EQ(state.err,
            "tcagent: state directory " + theirs + "/state" + hazard + "; give another --state\n");
  const Outcome policyRead = tcagentOn(real + "/state", {"apply", theirs + "/policy.txt"});
  EXPECT_EQ(policyRead.status, 2);
  EXPECT_EQ(policyRead.err, "tcagent: " + theirs + "/policy.txt" + hazard + "\n");
  EXPECT_EQ(chipLines(real + "/state"), std::vector<std::string>{"prio=10 dscp=46 -> tc=5 qid=5"});
}

// A driver library by path is loaded only where no one else could put code of theirs: the
// library, every directory on the way and every link to it the user's or root's, and writable by
// no one else but a sticky directory; from where its links lead. A refused one makes no state
// directory.
TEST_F(StateLocationTest, ADriverLibraryThatAnotherUserCouldReplaceIsNotLoaded) {
  const std::string open = directory + "/open", mine = directory + "/mine";
  directoryMade(open, 0777);
  directoryMade(mine, 0700);
  for (const std::string& library : {open + "/driver.so", mine + "/driver.so", mine + "/open.so"})
    std::filesystem::copy_file(PD_DRIVER, library);
  ASSERT_EQ(::chmod((mine + "/open.so").c_str(), 0666), 0);
  ASSERT_EQ(::symlink("driver.so", (mine + "/link.so").c_str()), 0);
  ASSERT_EQ(::symlink("driver.so", (mine + "/theirs.so").c_str()), 0);
  ASSERT_EQ(::lchown((mine + "/theirs.so").c_str(), nobody, nobody), 0);
  const std::string unused = directory + "/unused";
  for (const auto& [library, hazard] :
       {std::pair{open + "/driver.so", open + " is writable by others (mode 0777) and not sticky"},
        {mine + "/open.so", mine + "/open.so is writable by others (mode 0666)"},
        {mine + "/theirs.so", mine + "/theirs.so is a symbolic link of user 65534"}}) {
    const Outcome refused = tcagentOn(unused, {"--driver", library, "show"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "tcagent: --driver " + library +
                               ": another user could put code of theirs there: " + hazard + "\n");
    EXPECT_FALSE(std::filesystem::exists(unused));
  }
  EXPECT_EQ(tcagent({"--driver", mine + "/link.so", "apply", policy}).out,
            "1 added, 0 modified, 0 removed, default unchanged\n");
}

}  // namespace
}  // namespace TcAgentTesting
