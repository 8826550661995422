// The real program's own choices, each a short run: the mode it takes and
// tells, a data folder of another letter case, --session-log and --plot.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "app/program.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/fake_transport.h"
#include "support/simulated_bench.h"
#include "ui/contract/window.h"

namespace {

using testing_support::RunProcess;
using testing_support::TestFolder;

// Answers replace the operator, so no window opens (one would wait); a data folder
// of another letter case gets the records; an empty device list says why.
TEST(OperatorModes, AnswersRunHeadlessInACopiedFolderAndAnEmptyDeviceListSaysWhy) {
  TestFolder root;
  const std::string folder = root / "appprograms/autocontrol/";
  ASSERT_TRUE(platform::CreateDirectory(root / "appprograms"));
  ASSERT_TRUE(platform::CreateDirectory(folder));
  ASSERT_TRUE(platform::WriteFileAtomic(
      folder + "AUTOCONTROL_4.TXT",
      "[VARINPUT1]Enter Serial Number\n[SHOWVAR1]\n[TRACKCSVRESULTS]\n"
      "[DEFINECSV]Serial(V1)Speed(R2)Result(PF)\n[CMDREPLY1]LSPD=500,LSPD\n[STORERESULTS]\n"
      "[SAVERESULTS1]\n[UPDATECSV]\n[SAVERESULTSAUTO]Lot {V1}\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "answers.txt", "SN-7\n"));
  const struct {
    std::vector<std::string> args;
    const char* boards;  // simulated HID boards
    int status;
    const char* out;  // found in standard output
    const char* err;  // found in standard error
  } cases[] = {
      {std::vector<std::string>{"--answers", root / "answers.txt", "/A4"}, "1", 0,
       "{Serial Number} SN-7",
       "halvorn-terminal: --answers answers the dialogs in place of an operator, so this run is "
       "headless (no window)\n"},
      {std::vector<std::string>{"--headless", "--list-devices"}, "0", 3, "",
       "no devices found. Serial controllers are listed in \""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv{"/usr/bin/timeout", "20",
                                  testing_support::BinDir() + "/halvorn-terminal", "--data-root",
                                  root.Path()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto run = RunProcess(argv, "",
                                {"QT_QPA_PLATFORM=offscreen", "HALVORN_SIM_USB_CONTROLLERS=0",
                                 std::string("HALVORN_SIM_HID_BOARDS=") + c.boards});
    EXPECT_EQ(run.exitCode, c.status) << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("not written"), std::string::npos) << run.out;
  }
  const std::string numbered = testing_support::Read(folder + "testresults1.txt");
  EXPECT_NE(numbered.find(" >> LSPD\r\n      Reply: 500 ("), std::string::npos) << numbered;
  EXPECT_EQ(testing_support::Read(folder + "AutoResults/LotSN70001.txt"), numbered);
  EXPECT_EQ(testing_support::Read(folder + "AutoResults/LotSN70001_Pass.csv"),
            "Serial,Speed,Result\r\nSN-7,500,Pass\r\n");
  EXPECT_EQ(testing_support::Read(folder + "AutoResults/LotSN70001_Fail.csv"), "");
  // The tree was completed inside the copy, not built again beside it.
  EXPECT_FALSE(platform::DirectoryExists(root / "AppPrograms"));
}

// --session-log logs each line the terminal shows, stamped with times that
// never go back; without the option nothing is logged.
TEST(SessionLog, TheLineTerminalLogsWhatItShowsWithIncreasingTimes) {
  testing_support::SimulatedBench bench;
  const auto r = RunProcess(bench.Terminal({"--session-log"}), "ID\nLSPD=500 , LSPD\nNOSUCH\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::filesystem::path> logs;
  for (const auto& e : std::filesystem::directory_iterator(bench.folder / "TermDisplay"))
    logs.push_back(e.path());
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(logs[0].filename().string().starts_with("session-"));
  std::istringstream log(testing_support::Read(logs[0].string()));
  const std::regex stamped(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d) (.*))");
  std::string unstamped, last;
  int lines = 0;
  for (std::string line; std::getline(log, line); ++lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, stamped)) << line;
    EXPECT_GE(m[1].str(), last);
    last = m[1].str();
    unstamped += m[2].str() + "\r\n";
  }
  EXPECT_GE(lines, 4);
  EXPECT_EQ(unstamped, r.out);
  std::filesystem::remove(logs[0]);
  ASSERT_EQ(RunProcess(bench.Terminal({}), "ID\n").exitCode, 0);
  EXPECT_TRUE(std::filesystem::is_empty(bench.folder / "TermDisplay"));
}

// --plot: the run's numbers written at its end as a table or a picture, and
// the mistakes found before the run.
TEST(PlotOption, TheRunsNumbersAreWrittenAtItsEndAndMistakesFoundBefore) {
  TestFolder f;
  platform::DataFolders(f.Path()).EnsureDataFolders();
  const std::string root = f.Path();
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* said;
  } rows[] = {
      {{"--plot", f / "p.csv"}, 2, "--plot needs a headless run"},
      {{"--exec", "PX", "--plot", f / "p.txt"}, 2, "ends in .png or .csv"},
      {{"--exec", "PX", "--plot", f / "no/p.csv"}, 4, "cannot be written"},
      {{"--exec", "PX,PS,ID,PX,PS", "--plot", f / "p.csv"}, 0, "plot: 1 replies were NaN"},
      // Drawn off screen; a build without the window says so before the run.
      {{"--exec", "PX,PX", "--plot", f / "p.png"},
       ui::DrawsPlotPictures() ? 0 : 2,
       ui::DrawsPlotPictures() ? "" : "a .csv file works"},
  };
  for (const auto& row : rows) {
    std::istringstream in;
    std::ostringstream out, err;
    auto link = std::make_shared<testing_support::FakeTransport>();
    link->entries = {"Axis A"};
    int polls = 0;
    link->answer = [&polls](const std::string& command) {
      if (command == "PX") return std::to_string(100 * ++polls);
      return std::string(command == "PS" ? (polls < 2 ? "7" : "NAN") : "OK");
    };
    std::vector<std::string> arguments = row.arguments;
    arguments.insert(arguments.begin(), {"--data-root", root});
    const int status = app::RunProgram(arguments, {in, out, err},
                                       [&link](devices::DeviceRegistry& r, const auto&) {
                                         r.SetTransport(devices::LinkKind::Hid, link);
                                       });
    EXPECT_EQ(status, row.status) << row.arguments.back() << "\n" << err.str();
    EXPECT_NE(err.str().find(row.said), std::string::npos) << err.str();
  }
  std::string csv;
  ASSERT_TRUE(platform::ReadFile(f / "p.csv", csv));
  // One row a sample, timed from the first; the reply "NAN" is none.
  EXPECT_TRUE(std::regex_match(
      csv,
      std::regex("command,time_s,value\r\nPX,0,100\r\nPX,[0-9.e-]+,200\r\nPS,[0-9.e-]+,7\r\n")))
      << csv;
  EXPECT_FALSE(platform::FileExists(f / "no/p.csv"));
  if (!ui::DrawsPlotPictures()) return;
  std::string png;
  ASSERT_TRUE(platform::ReadFile(f / "p.png", png));
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_GT(png.size(), 5000u);  // axes, labels and a curve, not an empty frame
}

}  // namespace
