// Text pasted into the command entry with line breaks in it: each line runs
// as if typed, ESC stops the rest, and a long paste is asked about first.
#include <gtest/gtest.h>

#include "support/station.h"

namespace {

using namespace testing_support;

std::string Joined(const Strings& lines, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += lines[i] + ",";
  return text;
}

TEST(PastedLines, EachLineRunsAsIfTypedUntilEsc) {
  std::string hundredAndOne, ids;
  for (int i = 0; i < 101; ++i) hundredAndOne += "ID\n", ids += "ID,";
  const struct {
    const char* name;
    std::string pasted;
    ui::MessageBoxAnswer answer;  // to the question about a long paste
    const char* escAfter;         // ESC once this command was sent
    std::string sent, history;    // each line ended by ","; the new history items newest first
    std::size_t asked;
  } cases[] = {
      {"CR LF, blank lines", "ID\r\n\r\nPX\n  STAT  \n", {}, "", "ID,PX,STAT,", "STAT,PX,ID,", 0},
      // The ESC between two lines is the idle ESC: ABORT, and no more lines.
      {"ESC in the second line", "ID\nPX\nSTAT\n", {}, "PX", "ID,PX,ABORT,", "PX,ID,", 0},
      {"a long paste, declined", hundredAndOne, ui::MessageBoxAnswer::Declined, "", "", "", 1},
      {"a long paste, accepted", hundredAndOne, ui::MessageBoxAnswer::Accepted, "", ids, ids, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Station s;
    std::size_t asked = 0;
    s.gui.messageBoxResponder = [&](const ui::MessageBoxRequest&) { return ++asked, c.answer; };
    if (*c.escAfter) s.EscAfter(c.escAfter, 1);
    s.gui.SetChecked({app::kMainForm, app::tmain::kRecordHistory}, true);
    const std::size_t before = s.gui.Items({app::kMainForm, app::tmain::kHistory}).size();
    s.Enter(c.pasted);
    const Strings history = s.gui.Items({app::kMainForm, app::tmain::kHistory});
    ASSERT_GE(history.size(), before);
    EXPECT_EQ(Joined(s.hid->sent, s.hid->sent.size()), c.sent);
    EXPECT_EQ(Joined(history, history.size() - before), c.history);
    EXPECT_EQ(asked, c.asked);
  }
}

}  // namespace
