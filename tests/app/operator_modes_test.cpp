// How the program chooses its mode and tells the operator: prepared answers
// replace the operator (so no window opens), and an empty device list says
// where devices come from instead of printing nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/test_folder.h"

namespace {

using testing_support::BinDir;
using testing_support::RunProcess;

TEST(OperatorModes, AnswersRunHeadlessAndAnEmptyDeviceListSaysWhereDevicesComeFrom) {
  testing_support::TestFolder folder;
  platform::DataFolders(folder.Path()).EnsureDataFolders();
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppPrograms/AutoControl/autocontrol_3.txt",
                                        "[VARINPUT1]Enter Serial Number\n[SHOWVAR1]\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "answers.txt", "SN-31\n"));
  const std::string program = BinDir() + "/halvorn-terminal";
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* out;  // found in standard output
    const char* err;  // found in standard error
  } cases[] = {
      // A window could open (the offscreen platform), yet nobody would sit
      // at it: the answers are taken, headless. A window would wait until
      // the time-out.
      {"answers without --headless",
       {"--answers", folder / "answers.txt", "/A3"},
       0,
       "{Serial Number} SN-31",
       "halvorn-terminal: --answers answers the dialogs in place of an operator, so this run is "
       "headless (no window)\n"},
      {"an empty device list",
       {"--headless", "--list-devices"},
       3,
       "",
       "no devices found. Serial controllers are listed in \""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> argv{"/usr/bin/timeout", "20", program, "--data-root", folder.Path()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto run = RunProcess(
        argv, "",
        {"QT_QPA_PLATFORM=offscreen", "HALVORN_SIM_HID_BOARDS=0", "HALVORN_SIM_USB_CONTROLLERS=0"});
    EXPECT_EQ(run.exitCode, c.status) << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}

}  // namespace
