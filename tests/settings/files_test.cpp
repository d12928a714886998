#include "settings/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
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

}  // namespace
}  // namespace stylor
