#include "settings/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::ThrowsMessage;

class FilesTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return m_folder.File(name); }
  std::string Put(const std::string& name, const std::string& bytes) const {
    return m_folder.Write(name, bytes);
  }
  static std::string Bytes(const std::string& path) { return test::ReadBytes(path); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  test::TempFolder m_folder{"stylor-files"};
  fs::path m_dir = m_folder.Path();
};

TEST_F(FilesTest, ReadWholeFileGivesTheBytesUpToTheCap) {
  const std::string bytes("a\r\nb\0c", 6);
  EXPECT_EQ(ReadWholeFile(Put("exact", bytes), 6, "Cannot read"), bytes);
  EXPECT_EQ(ReadWholeFile(Put("empty", ""), 0, "Cannot read"), "");
  const std::string large = Put("large", std::string(7, 'x'));
  EXPECT_THAT([&] { ReadWholeFile(large, 6, "Cannot read the font file"); },
              ThrowsMessage<FileTooLarge>("Cannot read the font file '" + large +
                                          "': it is larger than 6 characters"));
  const std::string mebibytes = Put("mib", "");
  fs::resize_file(mebibytes, (std::size_t{2} << 20) + 1);  // sparse
  EXPECT_THAT([&] { ReadWholeFile(mebibytes, std::size_t{2} << 20, "Cannot read"); },
              ThrowsMessage<FileTooLarge>(HasSubstr("larger than 2 MiB")));
}

// A pipe that no one writes to, a terminal or a serial port (opening one can reset the controller
// behind it) is refused before it is opened, so nothing waits and nothing is disturbed.
TEST_F(FilesTest, ReadWholeFileRefusesWhatIsNotARegularFile) {
  const std::string pipe = Path("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const struct {
    std::string path;
    const char* reason;
  } kCases[] = {
      {pipe, "it is not a regular file (a device or a pipe, say)"},
      {"/dev/null", "it is not a regular file (a device or a pipe, say)"},
      {"/dev/zero", "it is not a regular file (a device or a pipe, say)"},
      {m_dir.string(), "Is a directory"},
      {Path("missing"), "No such file or directory"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_THAT([&] { ReadWholeFile(c.path, 1024, "Cannot read the program file"); },
                ThrowsMessage<FileError>("Cannot read the program file '" + c.path + "': " +
                                         c.reason));
  }
}

TEST_F(FilesTest, AReplacementTakesThePlaceOfTheOldFileOnlyWhenCommitted) {
  const std::string target = Put("setup.mch", "old\r\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  {
    ReplacingFile file(target, "Cannot save");
    file.Write("half");
    EXPECT_EQ(Bytes(target), "old\r\n");
  }  // dropped without Commit: a refusal or a fault half-way
  EXPECT_EQ(Bytes(target), "old\r\n");
  EXPECT_EQ(Names(), std::set<std::string>{"setup.mch"});

  for (const Durability durability : {Durability::Renamed, Durability::Flushed}) {
    ReplacingFile file(target, "Cannot save", durability);
    file.Write("new ");
    file.Write("program\r\n");
    file.Commit();
    EXPECT_EQ(Bytes(target), "new program\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  }
  EXPECT_EQ(Names(), std::set<std::string>{"setup.mch"});

  ReplaceFile(Path("new.eia"), "G00 X0\r\n", "Cannot write");
  EXPECT_EQ(Bytes(Path("new.eia")), "G00 X0\r\n");
}

TEST_F(FilesTest, AReplacementThroughALinkReplacesTheFileItNames) {
  const std::string target = Put("real.mch", "old");
  fs::create_symlink(target, Path("link.mch"));
  ReplaceFile(Path("link.mch"), "new", "Cannot save");
  EXPECT_TRUE(fs::is_symlink(Path("link.mch")));
  EXPECT_EQ(Bytes(target), "new");
}

TEST_F(FilesTest, WritersRefuseFoldersPipesAndDevicesAndLeaveThemAsTheyWere) {
  const std::string pipe = Path("pipe.eia");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  fs::create_directory(Path("folder.eia"));
  const struct {
    std::string path;
    const char* reason;
  } kCases[] = {
      {pipe, "it is not a regular file (a device or a pipe, say)"},
      {Path("folder.eia"), "Is a directory"},
      {"/dev/null", "it is not a regular file (a device or a pipe, say)"},
      {Path("missing/p.eia"), "No such file or directory"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    const std::string message = "Cannot write the program file '" + c.path + "': " + c.reason;
    EXPECT_THAT([&] { ReplaceFile(c.path, "G00\r\n", "Cannot write the program file"); },
                ThrowsMessage<FileError>(message));
    if (c.path != "/dev/null") {
      EXPECT_THAT([&] { AppendToFile(c.path, "G00\r\n", "Cannot write the program file"); },
                  ThrowsMessage<FileError>(message));
    }
  }
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_TRUE(fs::is_empty(Path("folder.eia")));
  EXPECT_EQ(Names(), (std::set<std::string>{"folder.eia", "pipe.eia"}));
}

TEST_F(FilesTest, AppendAddsToTheEndAndCreatesAMissingFile) {
  const std::string path = Path("p.eia");
  AppendToFile(path, "G90\r\n", "Cannot write");
  AppendToFile(path, "M30\r\n", "Cannot write");
  EXPECT_EQ(Bytes(path), "G90\r\nM30\r\n");
  EXPECT_THAT([&] { AppendToFile("/dev/full", "x", "Cannot write"); },
              ThrowsMessage<FileError>("Cannot write '/dev/full': it is not a regular file (a "
                                       "device or a pipe, say)"));
}

TEST_F(FilesTest, LinksThatLeadNowhereOrThatTheRunDidNotMakeAreRefused) {
  const std::string real = Put("real.eia", "old");
  fs::create_symlink(Path("gone.eia"), Path("dangling.eia"));
  fs::create_symlink(Path("loop-b.eia"), Path("loop-a.eia"));
  fs::create_symlink(Path("loop-a.eia"), Path("loop-b.eia"));
  fs::create_symlink(real, Path("planted.eia"));
  const struct {
    const char* name;
    Links links;
    const char* reason;
  } kCases[] = {
      {"dangling.eia", Links::Follow, "it is a symbolic link to a file that does not exist"},
      {"loop-a.eia", Links::Follow, "it is a symbolic link in a loop"},
      {"planted.eia", Links::Refuse,
       "it is a symbolic link, and the files of a run are only written as regular files"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(c.name);
    EXPECT_THAT([&] { ReplacingFile file(path, "Cannot write", Durability::Renamed, c.links); },
                ThrowsMessage<FileError>("Cannot write '" + path + "': " + c.reason));
    if (c.links == Links::Follow) {
      EXPECT_THAT([&] { AppendToFile(path, "x", "Cannot write"); },
                  ThrowsMessage<FileError>("Cannot write '" + path + "': " + c.reason));
    }
    EXPECT_TRUE(fs::is_symlink(path));
  }
  EXPECT_EQ(Bytes(real), "old");
  EXPECT_EQ(Names(), (std::set<std::string>{"real.eia", "dangling.eia", "loop-a.eia",
                                            "loop-b.eia", "planted.eia"}));
}

// The temporary file is private from its first byte, takes the old file's mode only when
// complete, and a hard link that keeps the old version is told.
TEST_F(FilesTest, TheTemporaryFileIsPrivateUntilItTakesThePlace) {
  const std::string target = Put("p.eia", "old");
  ASSERT_EQ(chmod(target.c_str(), 0644), 0);
  ASSERT_EQ(link(target.c_str(), Path("other.eia").c_str()), 0);
  ReplacingFile file(target, "Cannot write");
  file.Write("new");
  const std::string run = ".stylor-run-" + std::to_string(getpid());
  ASSERT_EQ(Names(), (std::set<std::string>{"p.eia", "other.eia", run}));
  const fs::directory_entry temporary = *fs::directory_iterator(m_dir / run);
  EXPECT_EQ(temporary.path().filename(), "0.p.eia");
  struct stat info {};
  ASSERT_EQ(lstat(temporary.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);  // given before the rename, after the writing began
  file.Commit();
  EXPECT_TRUE(file.LeavesOtherNames());
  EXPECT_EQ(Bytes(target), "new");
  EXPECT_EQ(Bytes(Path("other.eia")), "old");
  EXPECT_EQ(Names(), (std::set<std::string>{"p.eia", "other.eia"}));
}

TEST_F(FilesTest, AReadOnlyFolderSaysWhyItsProgramCannotBeReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const std::string target = Put("p.eia", "old");
  fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THAT([&] { ReplaceFile(target, "new", "Cannot write"); },
              ThrowsMessage<FileError>("Cannot write '" + target +
                                       "': its folder is read-only, so the program cannot be "
                                       "replaced safely"));
  fs::permissions(m_dir, fs::perms::owner_all);
  EXPECT_EQ(Bytes(target), "old");
}

// A full disk, shown by a file-size limit: the append adds all or nothing.
TEST_F(FilesTest, AnAppendThatFailsHalfWayCutsTheFileBack) {
  const std::string old = Put("p.eia", std::string(1000, 'o'));
  {
    AppendingFile dropped(old, "Cannot write");
    dropped.Write("half");
  }
  EXPECT_EQ(Bytes(old), std::string(1000, 'o'));

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const std::string tooLong(8192, 'x');
  EXPECT_THAT([&] { AppendToFile(old, tooLong, "Cannot write"); },
              ThrowsMessage<FileError>(HasSubstr("File too large")));
  EXPECT_THAT([&] { AppendToFile(Path("new.eia"), tooLong, "Cannot write"); },
              ThrowsMessage<FileError>(HasSubstr("File too large")));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(Bytes(old), std::string(1000, 'o'));
  EXPECT_EQ(Names(), std::set<std::string>{"p.eia"});
}

// A run folder whose process is gone (its lock is free) is tidied by the next writer in the
// folder: its temporary files go, and a series whose renames had begun is finished in order.
TEST_F(FilesTest, TheNextWriterTidiesWhatAKilledRunLeft) {
  Put("P1.eia", "new 1");
  Put("P2.eia", "old 2");
  Put("P3.eia", "old 3");
  fs::create_directory(Path(".stylor-run-4000000"));
  Put(".stylor-run-4000000/1.P2.eia", "new 2");
  Put(".stylor-run-4000000/2.P3.eia", "new 3");
  Put(".stylor-run-4000000/series", "");
  fs::create_directory(Path(".stylor-run-4000001"));
  Put(".stylor-run-4000001/0.P1.eia", "half");

  ReplaceFile(Path("other.eia"), "x", "Cannot write");
  EXPECT_EQ(Bytes(Path("P2.eia")), "new 2");
  EXPECT_EQ(Bytes(Path("P3.eia")), "new 3");
  EXPECT_EQ(Bytes(Path("P1.eia")), "new 1");
  EXPECT_EQ(Names(), (std::set<std::string>{"P1.eia", "P2.eia", "P3.eia", "other.eia"}));
  const std::vector<std::string> notices = TakeFileNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_THAT(notices[0], HasSubstr("left 2 programs of it waiting in '" + m_dir.string() + "'"));
  EXPECT_TRUE(TakeFileNotices().empty());
}

// Ctrl+C, a closed terminal or a kill end the process with that signal, and without the
// temporary files of the run.
TEST_F(FilesTest, SignalsRemoveTheRunsTemporaryFiles) {
  const std::string target = Put("p.eia", "old");
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    const pid_t child = fork();
    if (child == 0) {
      ReplacingFile first(target, "Cannot write");
      ReplacingFile second(Path("q.eia"), "Cannot write");
      first.Write("half");
      AppendingFile append(target, "Cannot write");
      append.Write("half");
      raise(signalNumber);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signalNumber);
    EXPECT_EQ(Names(), std::set<std::string>{"p.eia"});
    EXPECT_EQ(Bytes(target), "old");
  }
}

}  // namespace
}  // namespace stylor
