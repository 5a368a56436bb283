// State files as hostile input: links (hard ones too), other kinds of file and other users' files
// are refused untouched; only an empty or half-made file is made again; one too large is
// refused, and one that cannot be made whole is not left behind. A process that keeps its changes
// private changes nothing on disk.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "sim/support/MappedFile.h"
#include "tests/sim/ChildProcess.h"
#include "tests/sim/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using SimSupport::MappedFile;
using SimTesting::fileBytes;
using SimTesting::refusalOf;
namespace fs = std::filesystem;

constexpr MappedFile::Kind kind = {"test state", 4096};

void textIs(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}
std::string textOf(const std::string& path) {
  std::vector<char> bytes = fileBytes(path);
  return {bytes.begin(), bytes.end()};
}

class MappedFileTest : public testing::Test {
 protected:
  // Opens the file, made of `sizeIfNew` bytes 'm' if it is new.
  std::unique_ptr<MappedFile> open(std::size_t sizeIfNew = 64) const {
    return std::make_unique<MappedFile>(path_, kind, sizeIfNew, [](void* data, std::size_t size) {
      std::fill_n(static_cast<char*>(data), size, 'm');
    });
  }
  void expectRefused(const std::string& message) const {
    EXPECT_THAT([this] { open(); },
                testing::ThrowsMessage<std::runtime_error>(testing::StrEq(message)));
  }

  const TestSupport::TemporaryDirectory dir_{"bfitc-simtest"};
  const std::string path_ = dir_.path() + "/test.state";
  const std::string victim_ = dir_.path() + "/victim";
};

TEST_F(MappedFileTest, LinksOtherKindsOfFileTooLargeFilesAndOtherUsersFilesAreRefusedUntouched) {
  textIs(victim_, "keep");
  // What stands at the path or at its temporary name, and the refusal; once it is removed, the file
  // is made afresh.
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { fs::create_symlink(victim_, path_); }, refusalOf(path_, "is a symbolic link")},
      {[&] { fs::create_symlink(dir_.path() + "/nothing", path_); },
       refusalOf(path_, "is a symbolic link")},
      {[&] { fs::create_symlink(victim_, path_ + ".new"); },
       refusalOf(path_ + ".new", "is a symbolic link")},
      {[&] { fs::create_hard_link(victim_, path_); },
       path_ +
           ": has 2 names (hard links), which writing it would change too: remove them, or "
           "remove " +
           path_ + " to start afresh"},
      {[&] {
         textIs(path_, std::string(64, 'o'));
         fs::permissions(path_, fs::perms::owner_all | fs::perms::group_write);
       },
       path_ + ": writable by its group (mode 0720); make it private with chmod 600"},
      {[&] { fs::create_directory(path_); }, refusalOf(path_, "not a regular file")},
      {[&] { ::mkfifo(path_.c_str(), 0600); }, refusalOf(path_, "not a regular file")},
      {[&] { textIs(path_, std::string(4097, 'o')); },
       refusalOf(path_,
                 "damaged test state: the file of 4097 bytes is larger than any test "
                 "state (4096 bytes)")},
  };
  for (const auto& [placed, message] : cases) {
    SCOPED_TRACE(message);
    placed();
    expectRefused(message);
    EXPECT_EQ(textOf(victim_), "keep");
    EXPECT_FALSE(fs::exists(dir_.path() + "/nothing"));
    fs::remove(path_);
    fs::remove(path_ + ".new");
    EXPECT_EQ(open()->size(), 64u);
    fs::remove(path_);
  }
  textIs(path_, std::string(64, 'o'));
  if (::chown(path_.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "cannot give a file away";
  expectRefused(refusalOf(path_, "owned by another user (uid 65534)"));
  EXPECT_EQ(textOf(path_), std::string(64, 'o'));
}

// A file there is used as it is, its times too, but for the blocks of its holes.
TEST_F(MappedFileTest, AFileThereIsUsedAsItIsAndOnlyAnEmptyOrHalfMadeOneIsMadeAgain) {
  textIs(path_, "");
  EXPECT_EQ(open(64)->size(), 64u);
  EXPECT_EQ(textOf(path_), std::string(64, 'm'));

  textIs(path_, std::string(100, 'o'));
  const fs::file_time_type written = fs::last_write_time(path_) - std::chrono::seconds(1);
  fs::last_write_time(path_, written);
  auto opened = open(64);
  EXPECT_EQ(opened->size(), 100u);
  EXPECT_EQ(static_cast<const char*>(opened->data())[99], 'o');
  opened.reset();
  EXPECT_EQ(textOf(path_), std::string(100, 'o'));
  EXPECT_EQ(fs::last_write_time(path_), written);
  // A file with a hole is given its blocks once its contents are found whole, so that writing
  // it never meets a full disk; until then a damaged one is not grown on disk.
  textIs(path_, "");
  fs::resize_file(path_, 4000);
  auto holed = open(64);
  auto blocks = [&] {
    struct stat status {};
    EXPECT_EQ(::stat(path_.c_str(), &status), 0);
    return status.st_blocks * 512;
  };
  EXPECT_EQ(blocks(), 0);
  holed->blocksReserve();
  EXPECT_GE(blocks(), 4000);
  holed.reset();

  // Left by a maker killed before it put its file in place.
  fs::remove(path_);
  textIs(path_ + ".new", std::string(3000, 'h'));
  EXPECT_EQ(open(64)->size(), 64u);
  EXPECT_EQ(textOf(path_), std::string(64, 'm'));
  EXPECT_FALSE(fs::exists(path_ + ".new"));
  // Or left beside the file by a maker of its replacement killed part-way: removed as the file
  // is opened, unless a maker at work holds it locked.
  textIs(path_ + ".new", std::string(3000, 'h'));
  const int maker = ::open((path_ + ".new").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(maker, LOCK_EX), 0);
  open(64);
  EXPECT_TRUE(fs::exists(path_ + ".new"));
  ::close(maker);
  open(64);
  EXPECT_FALSE(fs::exists(path_ + ".new"));
}

// A leftover temporary file with another name is not written through, and what is made is
// private whatever the umask.
TEST_F(MappedFileTest, AFileIsMadeAfreshPastALinkedLeftoverAndPrivateWhateverTheUmask) {
  textIs(victim_, "keep");
  fs::create_hard_link(victim_, path_ + ".new");
  const mode_t umask = ::umask(0277);
  open(64);
  ::umask(umask);
  EXPECT_EQ(textOf(victim_), "keep");
  EXPECT_EQ(textOf(path_), std::string(64, 'm'));
  EXPECT_EQ(fs::status(path_).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// As when the disk is full: the file cannot be given its size.
TEST_F(MappedFileTest, AFileThatCannotBeMadeWholeIsRefusedAndNothingIsLeftBehind) {
  EXPECT_EXIT(SimTesting::attemptAndExit([this] {
                const rlimit limit{1024, 1024};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                ::signal(SIGXFSZ, SIG_IGN);
                try {
                  open(3000);
                } catch (...) {
                  if (fs::exists(path_) || fs::exists(path_ + ".new")) std::_Exit(1);
                  throw;
                }
              }),
              testing::ExitedWithCode(0), "test.state.new: cannot size: File too large");
}

TEST_F(MappedFileTest, AReplacementTakesThePlaceOfTheFileWholeAndStaysHeld) {
  auto file = open(64);
  file->replace(128, [&](void* data, std::size_t size) {
    EXPECT_EQ(static_cast<const char*>(file->data())[0], 'm');
    std::fill_n(static_cast<char*>(data), size, 'r');
  });
  EXPECT_EQ(file->size(), 128u);
  EXPECT_EQ(static_cast<const char*>(file->data())[127], 'r');
  EXPECT_EQ(textOf(path_), std::string(128, 'r'));
  EXPECT_FALSE(fs::exists(path_ + ".new"));
  EXPECT_EXIT(SimTesting::attemptAndExit([this] { open(); }), testing::ExitedWithCode(0),
              "in use by another process");
}

// Files there are held as ever, but what is written to them, a replacement and a file made
// afresh stay in memory; once the changes are no longer kept private, files are made on disk again.
TEST_F(MappedFileTest, WhileChangesAreKeptPrivateNothingIsWrittenOnDisk) {
  textIs(path_, std::string(100, 'o'));
  {
    SimSupport::PrivateStateChanges changesKeptPrivate;
    auto there = open();
    std::fill_n(static_cast<char*>(there->data()), there->size(), 'w');
    there->replace(128, [](void* data, std::size_t size) {
      std::fill_n(static_cast<char*>(data), size, 'r');
    });
    EXPECT_EQ(static_cast<const char*>(there->data())[127], 'r');
    EXPECT_EXIT(SimTesting::attemptAndExit([this] { open(); }), testing::ExitedWithCode(0),
                "in use by another process");
    there.reset();
    EXPECT_EQ(textOf(path_), std::string(100, 'o'));
    // Nor is the replacement, of another size, taken for the file resized by another process.
    const std::optional<SimSupport::ResizedStateFile> resized = SimSupport::resizedStateFile();
    EXPECT_TRUE(!resized || resized->path != path_) << resized->path;

    for (const std::string& content : {std::string("absent"), std::string()}) {
      fs::remove(path_);
      if (content.empty()) textIs(path_, content);
      auto made = open(64);
      EXPECT_TRUE(made->madeHere());
      EXPECT_EQ(static_cast<const char*>(made->data())[63], 'm');
      EXPECT_EQ(fs::exists(path_), content.empty());
      EXPECT_FALSE(fs::exists(path_ + ".new"));
    }
  }
  fs::remove(path_);
  open(64);
  EXPECT_EQ(textOf(path_), std::string(64, 'm'));
}

}  // namespace
