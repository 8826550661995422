// Files written and checked, the data folders in any letter case, Result, and text.
#include "platform/files.h"
#include "platform/text.h"
#include "platform/wall_clock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <tuple>

#include "platform/data_folders.h"
#include "support/system_calls.h"
#include "support/test_folder.h"

namespace {

using platform::ReadDecimal;
using platform::ResultKind;
using testing_support::Read;
using testing_support::TestFolder;
using Strings = std::vector<std::string>;
const auto Rep = [](char c, int n) { return std::string(static_cast<std::size_t>(n), c); };

// The time of day lies between two readings of the system clock, to the nanosecond.
TEST(WallClock, NowIsTheSystemClockToTheNanosecond) {
  auto nanos = [] {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
  };
  for (int i = 0; i < 1000; ++i) {
    const std::int64_t before = nanos();
    const platform::LocalTime now = platform::LocalTimeNow();
    const std::int64_t after = nanos();
    const std::int64_t at = now.unixMillis * 1'000'000 + now.nanoseconds;
    ASSERT_TRUE(before <= at && at <= after) << before << " " << at << " " << after;
  }
}

TEST(Files, ReplacedFilesKeepTheirModeAndLinksAreNeverWrittenThrough) {
  TestFolder dir, outside;
  ASSERT_TRUE(platform::WriteFileAtomic(outside / "victim", "keep"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "file", "old"));
  ASSERT_EQ(::chmod((dir / "file").c_str(), 0640), 0);
  ASSERT_EQ(::symlink((outside / "victim").c_str(), (dir / "link").c_str()), 0);
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "file", "new"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "link", "new"));
  struct stat file, link;
  ASSERT_EQ(::lstat((dir / "file").c_str(), &file) + ::lstat((dir / "link").c_str(), &link), 0);
  EXPECT_EQ(file.st_mode & 07777, 0640u);
  EXPECT_TRUE(S_ISREG(link.st_mode));
  EXPECT_EQ(Read(outside / "victim") + Read(dir / "link"), "keepnew");
}

// A character device is written through, a lone FIFO fails, other nodes are refused.
TEST(Files, DevicesAndFifosAreWrittenThroughAndOtherNodesRefused) {
  TestFolder dir;
  ASSERT_EQ(::mkfifo((dir / "lone-fifo").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0700), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir / "socket";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // Device nodes need the right to make them (CI runs as root).
  const bool devices = ::mknod((dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0 &&
                       ::mknod((dir / "block").c_str(), S_IFBLK | 0600, ::makedev(7, 200)) == 0;
  const struct {
    std::string name;
    ResultKind kind;
    mode_t type;  // what stands there afterwards
  } cases[] = {{"lone-fifo", ResultKind::SystemFailure, S_IFIFO},
               {"folder", ResultKind::CallerMistake, S_IFDIR},
               {"socket", ResultKind::CallerMistake, S_IFSOCK},
               {"null", ResultKind::Success, S_IFCHR},
               {"block", ResultKind::CallerMistake, S_IFBLK}};
  for (const auto& c : cases) {
    if (!devices && (c.type == S_IFCHR || c.type == S_IFBLK)) continue;
    const platform::Result<> written = platform::WriteFileAtomic(dir / c.name, "<report/>");
    EXPECT_EQ(written.Kind(), c.kind) << c.name << ": " << written.Text();
    EXPECT_EQ(platform::CheckWritable(dir / c.name).Kind(),
              c.name == "lone-fifo" ? ResultKind::Success : c.kind)
        << c.name;
    struct stat after;
    ASSERT_EQ(::lstat((dir / c.name).c_str(), &after), 0) << c.name;
    EXPECT_EQ(after.st_mode & S_IFMT, c.type) << c.name;
    EXPECT_TRUE(c.kind != ResultKind::CallerMistake ||
                written.Text().find(c.name) != std::string::npos)
        << written.Text();
  }
  EXPECT_EQ(platform::RemoveStaleTemporaryFiles(dir.Path()), 0);  // none left behind
  ::close(sock);
  if (!devices) GTEST_SKIP() << "device nodes could not be made: run as root to check them";
}

// A temporary file a writer still holds (locked until named) is not touched.
TEST(Files, StaleTemporaryFilesGoAndHeldOnesStay) {
  TestFolder dir;
  for (const char* name : {".halvorn-abc123.tmp", ".halvorn-held00.tmp", ".halvorn-abc.tmp"})
    ASSERT_TRUE(platform::WriteFileAtomic(dir / name, "x"));
  const int held = ::open((dir / ".halvorn-held00.tmp").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EQ(platform::RemoveStaleTemporaryFiles(dir.Path()), 1);
  EXPECT_FALSE(platform::NameTaken(dir / ".halvorn-abc123.tmp"));
  ::close(held);
  EXPECT_EQ(platform::RemoveStaleTemporaryFiles(dir.Path()), 1);  // let go of at last
  EXPECT_TRUE(platform::NameTaken(dir / ".halvorn-abc.tmp"));     // not a temporary's name
}

// The file is flushed before it is named, the folder after; a failed flush keeps the old file.
TEST(Files, TheFileIsFlushedBeforeItIsNamedAndAFailedFlushKeepsTheOldFile) {
  using testing_support::SystemCallWatch;
  struct Writer {
    const char* name;
    std::function<platform::Result<>(const std::string&, std::string_view)> write;
    const char* naming;  // the call that gives the flushed file its name
    const char* before;  // what stands at the name before the write
  } writers[] = {{"atomic", platform::WriteFileAtomic, "rename", "old"},
                 {"exclusive", platform::WriteFileExclusive, "link", nullptr}};
  for (const Writer& w : writers) {
    for (int error : {0, EIO, ENOSPC, EDQUOT}) {  // 0: the flush succeeds
      SCOPED_TRACE(std::string(w.name) + " " + std::strerror(error));
      TestFolder dir;
      const std::string path = dir / "record.txt";
      ASSERT_TRUE(!w.before || platform::WriteFileAtomic(path, w.before));
      platform::Result<> result;
      std::vector<testing_support::SystemCall> calls;
      {
        SystemCallWatch watch(error);
        result = w.write(path, "new record");
        calls = watch.Calls();
      }
      if (error == 0) {
        ASSERT_TRUE(result) << result.Text();
        EXPECT_EQ(Read(path), "new record");
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0].name, "fsync");
        EXPECT_EQ(calls[1].name, w.naming);
        EXPECT_EQ(std::tuple(calls[1].path, calls[1].target), std::tuple(calls[0].path, path));
        EXPECT_EQ(std::tuple(calls[2].name, calls[2].path), std::tuple("fsync", dir.Path()));
        continue;
      }
      EXPECT_EQ(result.Kind(), ResultKind::SystemFailure);
      EXPECT_NE(result.Text().find(std::strerror(error)), std::string::npos) << result.Text();
      EXPECT_EQ(platform::NameTaken(path) ? Read(path) : "none", w.before ? w.before : "none");
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}),
                w.before ? 1 : 0);  // no temporary file left
    }
  }
}

// What passes and in which words the rest is refused; reading refuses alike.
TEST(Files, ChecksBeforeUseNameWhatIsWrongWithThePathAndReadingAgrees) {
  TestFolder dir;
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "small", "12345"));
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "locked", "12345"));
  ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "huge", ""));
  ASSERT_EQ(::truncate((dir / "huge").c_str(), 1 << 30), 0);
  const bool privileged = ::access((dir / "locked").c_str(), R_OK) == 0;  // root reads anything
  struct Case {
    std::string path;
    std::uint64_t limit;
    const char* file;    // CheckReadableFile's text ("" passes)
    const char* stream;  // CheckReadableFileOrStream's
    const char* folder;  // CheckFolder's
  };
  const std::string missing = std::strerror(ENOENT);
  const std::string locked = privileged ? "" : std::strerror(EACCES);
  const std::string huge =
      "it is too large (1073741824 bytes; at most " + std::to_string(platform::kReadLimit) + ")";
  const Case cases[] = {
      {dir / "small", 5, "", "", "it is not a folder"},
      {dir / "small", 4, "it is too large (5 bytes; at most 4)",
       "it is too large (5 bytes; at most 4)", "it is not a folder"},
      {dir / "none", 100, missing.c_str(), missing.c_str(), missing.c_str()},
      {dir / "locked", 100, locked.c_str(), locked.c_str(), "it is not a folder"},
      {dir.Path(), 100, "it is a folder", "it is a folder", ""},
      {dir / "fifo", 0, "it is not a regular file", "", "it is not a folder"},
      {"/dev/null", 0, "it is not a regular file", "", "it is not a folder"},
      {dir / "huge", platform::kReadLimit, huge.c_str(), huge.c_str(), "it is not a folder"}};
  for (const Case& c : cases) {
    const platform::Result<> checks[] = {platform::CheckReadableFile(c.path, c.limit),
                                         platform::CheckReadableFileOrStream(c.path, c.limit),
                                         platform::CheckFolder(c.path)};
    const char* const expected[] = {c.file, c.stream, c.folder};
    std::string read = "stale";
    EXPECT_EQ(platform::ReadFile(c.path, read, c.limit).Kind(), checks[0].Kind()) << c.path;
    EXPECT_EQ(read, checks[0] ? "12345" : "") << c.path;
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(c.path + " check " + std::to_string(i));
      EXPECT_EQ(checks[i].Text(), expected[i]);
      EXPECT_EQ(bool(checks[i]), std::string(expected[i]).empty());
      // Only what the system refused is a system failure, with its errno.
      const bool system = std::string(expected[i]).rfind("it ", 0) != 0;
      if (!checks[i]) {
        EXPECT_EQ(checks[i].Kind(), system ? ResultKind::SystemFailure : ResultKind::CallerMistake);
        EXPECT_EQ(checks[i].ErrorNumber() != 0, system);
      }
    }
  }
  EXPECT_EQ(platform::RemoveFile(dir / "none").Kind(), ResultKind::SystemFailure);
}

// A tree in other letter case is found in its own spelling, completed and kept.
TEST(DataFolders, ATreeInOtherLetterCaseIsFoundAndCompleted) {
  TestFolder dir;
  ASSERT_TRUE(platform::CreateDirectory(dir / "APPCONFIG"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "AppConfig"));  // an exact match wins
  ASSERT_TRUE(platform::CreateDirectory(dir / "docs"));
  ASSERT_TRUE(platform::CreateDirectory(dir / "DOCS"));  // of two others, the first in byte order
  ASSERT_TRUE(platform::WriteFileAtomic(dir / "AppConfig/COMM_Ports.cfg", "x"));
  platform::DataFolders folders(dir.Path());
  folders.EnsureDataFolders();
  for (const char* folder : platform::kDataFolders)
    EXPECT_TRUE(platform::DirectoryExists(folders.DataPath(folder))) << folder;
  using Path = std::pair<const char*, const char*>;  // asked for, found
  for (auto [relative, found] :
       {Path{"AppConfig\\COMM_Ports.cfg", "AppConfig/COMM_Ports.cfg"}, Path{"Docs", "DOCS"},
        Path{"New\\AutoControl", "New/AutoControl"}, Path{"", ""}})
    EXPECT_EQ(folders.DataPath(relative), dir / found);
  EXPECT_EQ(Read(dir / "AppConfig/COMM_Ports.cfg"), "x");
}

// A value that cannot be copied is moved out; a success without a value is no value.
TEST(Result, MovesOutAnUncopyableValueAndAValuelessSuccessIsNoValue) {
  platform::Result<std::unique_ptr<std::string>> r = std::make_unique<std::string>("kept");
  ASSERT_TRUE(r);
  const std::unique_ptr<std::string> taken = std::move(r).value();
  EXPECT_EQ(taken ? *taken : "", "kept");
  const platform::Result<int> none = platform::Result<>::Success();
  EXPECT_EQ(none.Kind(), ResultKind::CallerMistake);
  EXPECT_FALSE(none.Text().empty());
}

TEST(ReadDecimal, ReadsTheLongestNumberAtTheStart) {
  const std::pair<const char*, double> cases[] = {
      {"1e5", 1e5}, {"1E5", 1e5},   {"1e", 1},      {"1e+", 1}, {"2.5e-1x", .25},
      {".", 0},     {"-.25", -.25}, {"+7", 7},      {"abc", 0}, {"   42 ", 42},
      {"\t42", 0},  {"e5", 0},      {"12:345", 12}, {"1,5", 1}, {"3.5.6", 3.5},
      {"1e400", 0}, {"1e-400", 0},  {"-", 0},       {"", 0},    {"nan", 0}};
  for (auto [text, expected] : cases) EXPECT_EQ(ReadDecimal(text), expected) << text;
  EXPECT_EQ(ReadDecimal(Rep('9', 100)), 1e100);
  EXPECT_EQ(ReadDecimal("1." + Rep('0', 1 << 20) + "1"), 1.0);
  EXPECT_EQ(ReadDecimal("0." + Rep('0', 1 << 20) + "5"), 0.0);
  // A tie at the kept precision is pushed up by a non-zero digit far behind.
  EXPECT_EQ(ReadDecimal("9007199254740993." + Rep('0', 900) + "1"), 9007199254740994.0);
  EXPECT_EQ(platform::ReadDecimalExtended("9007199254740993"), 9007199254740993.0L);
  EXPECT_EQ(platform::ReadDecimalExtended("1e400"), 1e400L);
  EXPECT_EQ(platform::ReadDecimalExtended(Rep('7', 4 << 20)), 0);  // beyond every range
}

TEST(ReadDecimal, IgnoresALocaleWithADecimalComma) {
  const char* chosen = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
    if (chosen == nullptr) chosen = std::setlocale(LC_NUMERIC, name);
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const double read = ReadDecimal("2.5");
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(read, 2.5);
}

// The empty text is one field to a walk, none to the list rule; Field counts from 1.
TEST(Fields, TheEmptyTextAndTheEndsOfTheCount) {
  platform::FieldWalker walker("", ":");
  EXPECT_EQ(walker.Next(), "");
  EXPECT_TRUE(walker.Done());
  EXPECT_EQ(platform::SplitFields("|x|", '|'), (Strings{"", "x", ""}));
  EXPECT_EQ(std::pair(platform::Field("12: 345 ", ':', 0), platform::Field("12: 345 ", ':', 2)),
            std::pair(std::string_view(), std::string_view(" 345 ")));
}

// The first "//" cuts, as language files and form captions both need it.
TEST(Captions, CutAtTheFirstMarkWithTheIdentifierAfterIt) {
  using Case = std::tuple<std::string, int, bool>;
  for (const auto& [caption, id, marked] :
       {Case{"Enter Commands below:// 4", 4, true}, Case{"http://host//20", 0, true},
        Case{"Text//12ab", 12, true}, Case{"Text//-3", 0, true},
        Case{"Big//99999999999999", 2147483647, true}, Case{"No identifier", 0, false}}) {
    const platform::CaptionCut<char> cut = platform::CutCaption(caption);
    EXPECT_EQ(std::tuple(std::string(cut.text), platform::CaptionId(cut.after), cut.marked),
              std::tuple(caption.substr(0, caption.find("//")), id, marked));
  }
  EXPECT_EQ(platform::CutCaption(u"Verlauf//+2B//x").after, u"+2B//x");
}

TEST(Text, CsvFieldsQuoteOnlyWhatNeedsIt) {
  const std::pair<const char*, const char*> cases[] = {{"plain", "plain"},   {"", ""},
                                                       {"a,b", "\"a,b\""},   {"a\"b", "\"a\"\"b\""},
                                                       {"a\nb", "\"a\nb\""}, {"a\rb", "\"a\rb\""}};
  for (auto [text, field] : cases) EXPECT_EQ(platform::CsvField(text), field) << text;
}

TEST(Text, TrimAndCaseTouchOnlyBlanksAndAsciiLetters) {
  EXPECT_EQ(platform::TrimmedView(" \t a b \t "), "\t a b \t");
  EXPECT_EQ(platform::TrimmedView(std::string_view(" x\0\0", 4), std::string_view(" \0", 2)), "x");
  EXPECT_EQ(platform::ToUpper("ab\xe9z"), "AB\xe9Z");
  EXPECT_FALSE(platform::EqualsNoCase("\xe9", "\xc9"));  // no case beyond ASCII
}

}  // namespace
