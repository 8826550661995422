// --plot: the plot of a headless run, written at its end as a table or a
// picture, and the mistakes that are found before the run.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "app/program.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/fake_transport.h"
#include "support/test_folder.h"
#include "ui/contract/window.h"

namespace {

using testing_support::TestFolder;

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
