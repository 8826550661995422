// The display's options as the operator meets them: chosen in the display's
// menu, remembered in AppConfig/Display.cfg, and what they do to the display
// and to the session log.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/station.h"

namespace {

using namespace testing_support;

const ui::ControlRef kDisplay{kMainForm, tmain::kDisplay};

// The session logs of the station's data folder, oldest name first.
std::vector<std::string> SessionLogs(const Station& s) {
  std::vector<std::string> files;
  const std::string folder = s.folder / "TermDisplay";
  if (!platform::DirectoryExists(folder)) return files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with("session-") && name.ends_with(".log")) files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Lines without their CR LF.
std::vector<std::string> Lines(const std::string& text, const char* end) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t at = text.find(end, start);
    if (at == std::string::npos) at = text.size();
    lines.push_back(text.substr(start, at - start));
    start = at + std::string(end).size();
  }
  return lines;
}

void Choose(Station& s, ui::TimeStampChoice stamps, bool log) {
  s.gui.ChooseDisplayOptions(kDisplay, {stamps, log});
  while (s.gui.PendingEvents()) s.gui.DoEvents();
}

// The log holds every line of the display, each after an ISO 8601 time with
// milliseconds and offset, the times never going back.
TEST(DisplayOptions, TheSessionLogHoldsTheDisplaysLinesInOrderWithTheirTimes) {
  Station s({}, 0, {}, [](const TestFolder& f) {
    EXPECT_TRUE(platform::WriteFileAtomic(f / "AppConfig/Display.cfg", "Session_Log = ON\r\n"));
  });
  s.hid->answer = [](const std::string& c) { return c == "ID" ? "Halvorn 7" : "OK"; };
  s.Enter("ID , LSPD=500");
  s.Enter("PX");
  s.application->ReportRecordError("a message line");
  s.application->SetSessionLog(false);  // writes what waits
  const std::vector<std::string> logs = SessionLogs(s);
  ASSERT_EQ(logs.size(), 1u);
  const std::vector<std::string> shown = Lines(s.Display(), "\r\n");
  const std::vector<std::string> logged = Lines(Read(logs[0]), "\n");
  ASSERT_EQ(logged.size(), shown.size());
  const std::regex iso(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d) (.*))");
  std::string last;
  for (std::size_t i = 0; i < logged.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(logged[i], m, iso)) << logged[i];
    EXPECT_EQ(m[2].str(), shown[i]);
    EXPECT_GE(m[1].str(), last);  // same offset: the text orders as the time
    last = m[1].str();
  }
  EXPECT_EQ(s.gui.GetDisplayOptions(kDisplay),
            (ui::DisplayOptions{ui::TimeStampChoice::Off, true}));
}

// A choice in the menu acts at once and is remembered for the next start;
// with everything off again the display is what it always was.
TEST(DisplayOptions, TheMenusChoicesActAndAreRemembered) {
  const struct {
    ui::TimeStampChoice stamps;
    bool log;
    const char* file;
    const char* entry;  // a regular expression for the entry of "PX"
  } cases[] = {
      {ui::TimeStampChoice::Clock, false, "session_log=off\ntime_stamps=clock\n",
       R"(\d\d:\d\d:\d\d\.\d{3}  >> PX[\s\S]*)"},
      {ui::TimeStampChoice::SincePrevious, true, "session_log=on\ntime_stamps=since\n",
       R"(\+\d+\.\d{3}  >> PX[\s\S]*)"},
      {ui::TimeStampChoice::Off, false, "session_log=off\ntime_stamps=off\n", R"( >> PX[\s\S]*)"},
  };
  Station plain;
  plain.Enter("PX");
  const std::string unstamped = plain.Display();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Station s;
    ASSERT_TRUE(platform::WriteFileAtomic(s.folder / "AppConfig/Display.cfg", "# mine\n"));
    Choose(s, c.stamps, c.log);
    EXPECT_EQ(s.Read("AppConfig/Display.cfg"), std::string("# mine\n") + c.file);
    EXPECT_EQ(s.application->SessionLogOn(), c.log);
    s.Enter("PX");
    EXPECT_TRUE(std::regex_match(s.Display(), std::regex(c.entry))) << s.Display();
    if (c.stamps == ui::TimeStampChoice::Off) {
      EXPECT_EQ(s.Display(), unstamped);
    }
    // The next start has them, and so has the menu.
    Station next({}, 0, {}, [&](const TestFolder& f) {
      EXPECT_TRUE(
          platform::WriteFileAtomic(f / "AppConfig/Display.cfg", s.Read("AppConfig/Display.cfg")));
    });
    EXPECT_EQ(next.gui.GetDisplayOptions(kDisplay), (ui::DisplayOptions{c.stamps, c.log}));
    EXPECT_EQ(next.application->SessionLogOn(), c.log);
  }
}

// Lines of the file it cannot use are named on the display; the rest holds.
TEST(DisplayOptions, LinesThatCannotBeUsedAreNamed) {
  Station s({}, 0, {}, [](const TestFolder& f) {
    EXPECT_TRUE(platform::WriteFileAtomic(f / "AppConfig/Display.cfg",
                                          "session_log=maybe\ntime_stamps=clock\ncolour=red\n"));
  });
  EXPECT_NE(s.Display().find("line 1: \"session_log=maybe\""), std::string::npos) << s.Display();
  EXPECT_NE(s.Display().find("line 3: \"colour=red\": unknown"), std::string::npos);
  EXPECT_EQ(s.gui.GetDisplayOptions(kDisplay),
            (ui::DisplayOptions{ui::TimeStampChoice::Clock, false}));
}

}  // namespace
