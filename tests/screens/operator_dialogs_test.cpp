// The dialogs and the display of a script as the operator meets them.
#include <gtest/gtest.h>

#include <filesystem>

#include "screens/dialogs.h"
#include "support/station.h"

namespace {

using namespace testing_support;

// A dialog closed by the window manager the first time it shows answers as ESC does (taken as
// empty, the unit would run on and ask again: after a few rounds the test ends it with ESC).
TEST(OperatorDialogs, ADialogClosedByTheWindowManagerIsEsc) {
  using Files = std::vector<std::pair<std::string, std::string>>;  // path, content
  const struct {
    const char* name;
    const char* script;
    const char* display;
    Files files;
  } cases[] = {
      {"serial number",
       "[SAVERESULTSAUTOESC]U\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n[LOOPSTART]\n"
       "[VARINPUT1]Enter Serial Number\n[ESCSTOP]\n[SHOW]ran on\n[STORERESULTS]\n[UPDATECSV]\n"
       "[LOOPEND]\n",
       "", Files{{kAuto + "U0001_Pass.csv", ""}, {kAuto + "U0001_Fail.csv", ""}}},
      {"pass/fail question",
       "[SAVERESULTSAUTOESC]Q\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n[LOOPSTART]\n"
       "[VARSET1]SN-3\n[USERCHECK]Turns\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n",
       "{ESC Pressed}  \r\n",
       Files{{kAuto + "Q0001_Pass.csv", ""},
             {kAuto + "Q0001_Fail.csv", "Serial,Result\r\nSN-3,ESC\r\n"}}},
      {"verdict", "[VARSET1]{S}1\n[PASSFAILMSG]\n[ESCSTOP]\n[SHOW]ran on\n", "", {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Station s(c.script);
    int shown = 0;
    s.answerBy = [&s, &shown](const std::string& form,
                              const std::string&) -> std::optional<std::string> {
      if (++shown > 3) return std::nullopt;
      s.gui.RequestClose(form);
      return std::string("PASS");  // never reaches the closed dialog
    };
    s.Run();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(s.State().EscFlag);
    EXPECT_EQ(s.Display(), c.display);
    for (const auto& [path, content] : c.files) EXPECT_EQ(s.Read(path), content) << path;
  }
}

// The verdict's dialog (as the answers file shows it) holds no sample text of its form.
TEST(OperatorDialogs, TheVerdictShowsNoSampleTextWithoutAMessage) {
  const struct {
    const char* script;
    const char* shown;
    const char* labels;  // the name's and the message's
  } cases[] = {
      {"[PASSFAILMSG]\n", "Pass", "|"},
      {"[USERCHECK]\n[PASSFAILMSG]\n", "Fail", "|"},
      {"[VARSET1]{Serial} SN-4\n[PASSFAILMSG1]\n", "Pass - Serial:  SN-4", "Serial:| SN-4"}};
  for (const auto& c : cases) {
    Station s(c.script);
    s.answers = {"FAIL"};
    std::string verdict, labels;
    s.answerBy = [&](const std::string& form, const std::string& text) {
      if (form == app::kPassFailForm) {
        verdict = text;
        labels = s.gui.Text({form, app::tpassfail::kName}) + "|" +
                 s.gui.Text({form, app::tpassfail::kMessage});
        return std::optional<std::string>("OK");
      }
      return std::optional<std::string>("FAIL");
    };
    s.Run();
    EXPECT_EQ(verdict, c.shown) << c.script;
    EXPECT_EQ(labels, c.labels) << c.script;
  }
}

// A script that cannot be read says so before the main window exists, yet on its display.
TEST(OperatorDialogs, AScriptThatCannotBeReadSaysSoInTheWindowsDisplay) {
  Station s("", 9, {}, [](const TestFolder& folder) {
    ASSERT_TRUE(
        std::filesystem::create_directories(folder / "AppPrograms/AutoControl/autocontrol_9.txt"));
  });
  EXPECT_EQ(s.Display().rfind("Script file not read: ", 0), 0u) << s.Display();
}

}  // namespace
