// The display's options as the operator meets them: chosen in the display's
// menu, remembered in AppConfig/Display.cfg, and what they do to the display
// and to the session log.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/station.h"

namespace {

using namespace testing_support;

const ui::ControlRef kDisplay{kMainForm, tmain::kDisplay};

void Choose(Station& s, ui::TimeStampChoice stamps, bool log) {
  s.gui.ChooseDisplayOptions(kDisplay, {stamps, log});
  while (s.gui.PendingEvents()) s.gui.DoEvents();
}

// A choice in the menu acts at once and is remembered for the next start; with everything off
// again the display is as it always was. The clock: tests/ui/qt and the test below.
TEST(DisplayOptions, TheMenusChoicesActAndAreRemembered) {
  const struct {
    ui::TimeStampChoice stamps;
    bool log;
    const char* file;
    const char* entry;  // a regular expression for the entry of "PX"
  } cases[] = {
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
