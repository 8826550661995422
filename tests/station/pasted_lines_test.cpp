// Text pasted into the command entry with line breaks in it: each line runs
// as if typed, ESC stops the rest, and a long paste is asked about first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/station.h"

namespace {

using namespace testing_support;

TEST(PastedLines, EachLineRunsAsIfTypedUntilEsc) {
  std::string hundredAndOne;
  for (int i = 0; i < 101; ++i) hundredAndOne += "ID\n";
  const std::vector<std::string> ids(101, "ID");
  const struct {
    const char* name;
    std::string pasted;
    ui::MessageBoxAnswer answer;  // to the question about a long paste
    std::string escAfter;         // ESC once this command was sent
    std::vector<std::string> sent;
    std::vector<std::string> history;  // the lines added, newest first
    std::size_t asked;
  } cases[] = {
      {"three lines, CR LF and blank lines",
       "ID\r\n\r\nPX\n  STAT  \n",
       {},
       "",
       {"ID", "PX", "STAT"},
       {"STAT", "PX", "ID"},
       0},
      // The ESC between two lines is the idle ESC: ABORT, and no more lines.
      {"ESC in the second line",
       "ID\nPX\nSTAT\n",
       {},
       "PX",
       {"ID", "PX", "ABORT"},
       {"PX", "ID"},
       0},
      {"a long paste, declined", hundredAndOne, ui::MessageBoxAnswer::Declined, "", {}, {}, 1},
      {"a long paste, accepted", hundredAndOne, ui::MessageBoxAnswer::Accepted, "", ids, ids, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Station s;
    std::size_t asked = 0;
    s.gui.messageBoxResponder = [&](const ui::MessageBoxRequest&) {
      ++asked;
      return c.answer;
    };
    if (!c.escAfter.empty()) s.EscAfter(c.escAfter, 1);
    s.gui.SetChecked({app::kMainForm, app::tmain::kRecordHistory}, true);
    const std::vector<std::string> before = s.gui.Items({app::kMainForm, app::tmain::kHistory});
    s.Enter(c.pasted);
    EXPECT_EQ(s.hid->sent, c.sent);
    EXPECT_EQ(asked, c.asked);
    const std::vector<std::string> history = s.gui.Items({app::kMainForm, app::tmain::kHistory});
    ASSERT_EQ(history.size(), before.size() + c.history.size());
    EXPECT_EQ(std::vector<std::string>(history.begin(), history.begin() + c.history.size()),
              c.history);
  }
}

}  // namespace
