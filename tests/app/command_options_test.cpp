// The command line: how the words are read, and every argument mistake and
// exit status a build server relies on, through the program's own start-up.
#include "app/command_options.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include <sstream>

#include "app/program.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"

namespace {

using app::ParseCommandOptions;
using app::ReadScriptSwitch;
using testing_support::FakeTransport;
using testing_support::TestFolder;

TEST(ScriptSwitch, ReadsTheLastValidNumberedSwitch) {
  const std::pair<const char*, int> cases[] = {
      {"/A0", 0},   {"/A1000", 0},  {"/Ax", 0}, {"/A5 /A7", 7}, {"x/a 3", 3},
      {"/a12", 12}, {"/A999", 999}, {"/A1", 1}, {"/A7 /A0", 7}, {"/B5", 0},
      {"", 0},      {"/A 42 ", 42}, {"A5", 0},  {"//A3/", 3},
  };
  for (auto [line, number] : cases) EXPECT_EQ(ReadScriptSwitch(line), number) << line;
}

// The table below reads every option through its outcome; what it cannot show:
TEST(CommandOptions, AValueIsNeverAScriptSwitchAndAProgramWithASlashIsAFile) {
  auto o = ParseCommandOptions({"--data-root", "/data/A5", "--program", "./7"});
  ASSERT_TRUE(o) << o.Text();
  EXPECT_EQ(std::tuple(o->dataRoot, o->programFile, o->scriptNumber),
            std::tuple("/data/A5", "./7", 0));
  EXPECT_EQ(ParseCommandOptions({"/A12"})->scriptNumber, 12);
  // The first mistake is the one named; --help or --version is what was
  // asked for, whatever else the words hold.
  const auto twice = ParseCommandOptions({"--exec", "a", "--exec", "b", "--bogus"});
  EXPECT_EQ(std::pair(twice.Kind(), twice.Text()),
            std::pair(platform::ResultKind::CallerMistake, std::string("--exec is given twice")));
  for (const char* asked : {"--help", "--version"}) {
    const auto given = ParseCommandOptions({"--bogus", asked, "--device"});
    ASSERT_TRUE(given) << asked;
    EXPECT_EQ(std::pair(given->help, given->version),
              std::pair(std::string(asked) == "--help", std::string(asked) == "--version"));
  }
}

enum class Link { Answers, None, Refuses, Silent, StopAtStart, BlankName };

// A link whose discovery is where SIGTERM finds the program starting.
struct StoppedWhileStarting : FakeTransport {
  std::vector<std::string> ListEntries() override {
    ::raise(SIGTERM);
    return entries;
  }
};

struct Row {
  std::vector<std::string> arguments;
  Link link;
  int status;
  std::string word;  // in the messages or the output
};

// The program's start-up with one fake link of two devices.
int RunRow(const Row& row, std::string& said) {
  std::istringstream in;
  std::ostringstream out, err;
  app::ProgramIo io{in, out, err};
  auto link = row.link == Link::StopAtStart ? std::make_shared<StoppedWhileStarting>()
                                            : std::make_shared<FakeTransport>();
  if (row.link != Link::None) link->entries = {"Axis A", "Axis B"};
  if (row.link == Link::BlankName) link->entries = {"   "};  // as a board's library may name it
  link->openSucceeds = row.link != Link::Refuses;
  link->openError = "held by another program";
  if (row.link == Link::Silent) {
    link->status = devices::LinkStatus::TimedOut;
    link->answer = [](const std::string&) { return std::string("(SERIAL Timeout)"); };
  }
  const int status =
      app::RunProgram(row.arguments, io, [&link](devices::DeviceRegistry& r, const auto&) {
        r.SetTransport(devices::LinkKind::Hid, link);
      });
  said = out.str() + err.str();
  return status;
}

TEST(CommandLine, EveryMistakeAndEveryStatusInItsOrder) {
  TestFolder f;
  platform::DataFolders(f.Path()).EnsureDataFolders();
  const std::string root = f.Path(), prg = f / "AppPrograms/test01.prg", mb(1 << 20, '9');
  ASSERT_TRUE(platform::WriteFileAtomic(prg, "LSPD=500, OK\r\nLSPD, 400\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(f / "AppPrograms/test10.prg", "ID, OK\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(f / "blank.prg", "  \r\n\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(f / "nul.txt", std::string("SN-1\n\0\n", 7)));
  ASSERT_TRUE(platform::WriteFileAtomic(f / "big.prg", ""));
  ASSERT_EQ(::truncate((f / "big.prg").c_str(), 10 << 20), 0);
  ASSERT_TRUE(platform::WriteFileAtomic(f / "big.txt", ""));
  ASSERT_EQ(::truncate((f / "big.txt").c_str(), 100 << 20), 0);
  const std::string report = f / "r.xml", lost = f / std::string(300, 'r');
  auto in = [&root](std::vector<std::string> a) {
    a.insert(a.begin(), {"--data-root", root});
    return a;
  };
  const Row rows[] = {
      {{"--help", "--bogus"}, Link::Answers, 0, "--program N|FILE"},
      {{"--version"}, Link::Answers, 0, "2.49"},
      {{"--bogus"}, Link::Answers, 2, "unknown option"},
      {{"--exec"}, Link::Answers, 2, "needs a value"},
      {{"--answers", ""}, Link::Answers, 2, "empty"},
      {{"--device", "0", "--device", "0"}, Link::Answers, 2, "twice"},
      {{"--device", "-1"}, Link::Answers, 2, "list position"},
      {{"--device", mb}, Link::Answers, 2, "(1048576 bytes)"},
      {{"--program", "11"}, Link::Answers, 2, "1 to 10"},
      {{"--program", "0"}, Link::Answers, 2, "1 to 10"},
      {in({"--exec", "PX", "--program", "1"}), Link::Answers, 2, "together"},
      {in({"/A2", "--program", "1"}), Link::Answers, 2, "together"},
      {in({"--list-devices", "--exec", "PX"}), Link::Answers, 2, "alone"},
      {in({"--report", report}), Link::Answers, 2, "headless"},
      {{"--data-root", f / "missing", "--exec", "PX"}, Link::Answers, 2, "No such file"},
      {{"--data-root", prg, "--exec", "PX"}, Link::Answers, 2, "not a folder"},
      {{"--data-root", mb, "--exec", "PX"}, Link::Answers, 2, "data root"},
      {in({"--headless", "--answers", root}), Link::Answers, 2, "folder"},
      {in({"--headless", "--answers", f / "big.txt"}), Link::Answers, 2, "too large"},
      {in({"--headless", "--answers", f / "nul.txt"}), Link::Answers, 2, "NUL"},
      {in({"--headless", "--report", report}), Link::Answers, 2, "verdicts"},
      {in({"--program", "5"}), Link::Answers, 2, "test05.prg"},
      {in({"--program", f / "big.prg"}), Link::Answers, 2, "too large"},
      {in({"--program", f / "blank.prg"}), Link::Answers, 2, "no command"},
      {in({"--exec", "PX", "--device", "2"}), Link::Answers, 3, "2 entries"},
      {in({"--headless", "--device", "2"}), Link::Answers, 3, "not in the device list"},
      {in({"--exec", "PX"}), Link::None, 3, "empty"},
      {in({"--exec", "PX"}), Link::BlankName, 3, "the selected device's name is blank: the line"},
      {in({"--exec", "PX", "--report", lost}), Link::Refuses, 3, "A\r\nheld by another"},
      {in({"--exec", "PX", "--report", f / "no/r.xml"}), Link::Answers, 4, "cannot be written"},
      {in({"--program", "1", "--report", lost}), Link::Answers, 4, "not written"},
      {in({"--records", report, "--no-records"}), Link::Answers, 2, "exclude each other"},
      {in({"--exec", "PX", "--records", root}), Link::Answers, 4, "records are not being kept"},
      {in({"--exec", "PX", "--records", f / "no/r.db"}), Link::Answers, 4, "not being kept"},
      {in({"--program", "1"}), Link::Silent, 5, "(SERIAL Timeout)"},
      {in({"--program", "1"}), Link::Answers, 1, "!! Expected: 400"},
      {in({"--program", "10"}), Link::Answers, 0, "ID"},
      {in({"--program", prg, "--device", "1", "--report", report}), Link::Answers, 1, "Run:"},
      {in({"--exec", std::string(1 << 20, 'X'), "--headless", "--headless"}), Link::Answers, 0,
       "Reply: OK"},
      {in({"--list-devices"}), Link::Answers, 0, "Axis B"},
      // The line never runs; ESC at the start sends "ABORT".
      {in({"--exec", "PX"}), Link::StopAtStart, 143, " >> ABORT\r\n      Reply: OK"},
  };
  for (const Row& row : rows) {
    std::string said;
    const std::string shown = row.arguments.back().substr(0, 40);
    EXPECT_EQ(RunRow(row, said), row.status) << shown << "\n" << said.substr(0, 400);
    EXPECT_NE(said.find(row.word), std::string::npos) << shown << "\n" << said.substr(0, 400);
  }
  EXPECT_FALSE(platform::FileExists(f / "no/r.xml"));
  std::string xml;
  ASSERT_TRUE(platform::ReadFile(report, xml));  // the last one, of the program file
  EXPECT_NE(xml.find("<failure message=\"LSPD: expected 400, got OK\""), std::string::npos) << xml;
}

}  // namespace
