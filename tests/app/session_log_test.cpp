// The line terminal's --session-log: the log read back beside what the
// terminal showed on standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/simulated_bench.h"
#include "support/test_folder.h"

namespace {

using testing_support::SimulatedBench;

std::vector<std::string> Split(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t at = text.find(end, start);
    if (at == std::string::npos) at = text.size();
    lines.push_back(text.substr(start, at - start));
    start = at + end.size();
  }
  return lines;
}

TEST(SessionLog, TheLineTerminalLogsWhatItShowsWithIncreasingTimes) {
  SimulatedBench bench;
  const auto r = testing_support::RunProcess(bench.Terminal({"--session-log"}),
                                             "ID\nLSPD=500 , LSPD\nNOSUCH\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> logs;
  for (const auto& e : std::filesystem::directory_iterator(bench.folder / "TermDisplay")) {
    logs.push_back(e.path().string());
  }
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(std::filesystem::path(logs[0]).filename().string().starts_with("session-"));
  const std::vector<std::string> shown = Split(r.out, "\r\n");
  const std::vector<std::string> logged = Split(testing_support::Read(logs[0]), "\n");
  ASSERT_GE(shown.size(), 4u);
  ASSERT_EQ(logged.size(), shown.size());
  const std::regex iso(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d) (.*))");
  std::string last;
  for (std::size_t i = 0; i < logged.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(logged[i], m, iso)) << logged[i];
    EXPECT_EQ(m[2].str(), shown[i]);
    EXPECT_GE(m[1].str(), last);
    last = m[1].str();
  }
  // Without the option, nothing is logged.
  std::filesystem::remove(logs[0]);
  ASSERT_EQ(testing_support::RunProcess(bench.Terminal({}), "ID\n").exitCode, 0);
  EXPECT_TRUE(std::filesystem::is_empty(bench.folder / "TermDisplay"));
}

}  // namespace
