// The programs themselves: halvorn-sim on a pseudo-terminal and
// halvorn-terminal talking to it as an operator or a test harness would.
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/files.h"
#include "support/child_process.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::InteractiveProcess;
using testing_support::Read;
using testing_support::SimulatedBench;

// SIGTERM, SIGHUP, SIGQUIT and SIGINT while a jog runs stop the motor before
// the program ends with 128 + the signal; a signal after a stop ends the
// program at once, even while a reply is awaited.
TEST(EndToEnd, SignalsStopTheMotorBeforeTheProgramEnds) {
  SimulatedBench bench;
  const std::string axis = " {" + bench.link + ":115200}\r\n";  // address 09 never answers
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "AppConfig/COMM_Ports.cfg",
                                        "Axis 01" + axis + "Axis 02" + axis + "Axis 09" + axis));
  const struct {
    std::vector<std::string> args;
    const char* input;
    const char* shown;  // before the signals
    std::vector<int> signals;
    int status;
    double seconds;  // at once: well below the 10 s a reply that never comes takes
  } cases[] = {
      {{}, "JX+,DELAY=60000\n", "Reply: OK", {SIGTERM}, 143, 30},  // while the line runs
      {{}, "JX-\n", "Reply: OK", {SIGHUP}, 129, 30},               // idle, the motor jogging
      {{"--exec", "JX+,DELAY=60000"}, "", "Reply: OK", {SIGQUIT}, 131, 30},
      {{"--exec", "JX+,DELAY=60000"}, "", "Reply: OK", {SIGINT}, 130, 30},  // the line not done
      {{"--exec", "JX+,DELAY=60000"}, "", "Reply: OK", {SIGINT, SIGINT}, 130, 30},
      {{"--device", "2", "--exec", "PX"}, "", "", {SIGTERM, SIGTERM}, 143, 5},  // at once
  };
  for (const auto& c : cases) {
    InteractiveProcess terminal(bench.Terminal(c.args));
    terminal.Write(c.input);
    EXPECT_TRUE(terminal.WaitForOutput(c.shown, 1, 20)) << terminal.Out();
    EXPECT_TRUE(terminal.WaitForHandler(c.signals[0], 20));
    for (int s : c.signals) terminal.Signal(s);
    EXPECT_EQ(terminal.Wait(c.seconds), c.status) << c.input << terminal.Err();
    EXPECT_FALSE(terminal.KilledBySignal()) << c.input;
    EXPECT_EQ(bench.MotionBits(), 0) << c.input << terminal.Out();
  }
}

// At the line terminal each SIGINT is the ESC key: it stops the running line,
// and once the terminal is idle again the next one is ESC again.
TEST(EndToEnd, EverySigIntBetweenLinesIsOneEscKey) {
  SimulatedBench bench;
  InteractiveProcess terminal(bench.Terminal({}));
  terminal.WriteLine("JX+,DELAY=60000");
  ASSERT_TRUE(terminal.WaitForOutput("Reply: OK", 1, 20));
  terminal.Signal(SIGINT);
  ASSERT_TRUE(terminal.WaitForOutput(" >> ABORT (ESCAPED)", 1, 20)) << terminal.Out();
  terminal.WriteLine("JX-");
  ASSERT_TRUE(terminal.WaitForOutput("Reply: OK", 3, 20)) << terminal.Out();
  terminal.Signal(SIGINT);
  ASSERT_TRUE(terminal.WaitForOutput(" >> ABORT\r\n", 1, 20)) << terminal.Out();
  terminal.CloseInput();
  EXPECT_EQ(terminal.Wait(20), 0);
  EXPECT_EQ(bench.MotionBits(), 0);
}

// SIGINT while a dialog waits is its ESC key: the unit goes on to the end of
// the loop. SIGTERM while the next dialog waits stops the jogging motor,
// runs the rest of the unit as after ESC (its results stored, its CSV row
// added) and the ESC path saves; the report holds what was reached.
TEST(EndToEnd, SignalsWhileADialogWaits) {
  SimulatedBench bench;
  testing_support::WriteScript(
      bench.folder, 4,
      "[SAVERESULTSAUTOESC]Jog\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n"
      "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[CMDREPLY1]JX+\n[USERCHECK]Is it turning\n"
      "[STORERESULTS]\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n");
  const std::string report = bench.folder / "report.xml";
  InteractiveProcess station(bench.Terminal({"/A4", "--report", report}));
  ASSERT_TRUE(station.WaitForError("Serial Number", 1, 20)) << station.Err();
  station.WriteLine("SN-7");
  ASSERT_TRUE(station.WaitForError("Is it turning", 1, 20)) << station.Err();
  station.WriteLine("PASS");
  ASSERT_TRUE(station.WaitForError("Serial Number", 2, 20)) << station.Err();
  station.Signal(SIGINT);
  ASSERT_TRUE(station.WaitForError("Is it turning", 2, 20)) << station.Err();
  station.Signal(SIGTERM);
  EXPECT_EQ(station.Wait(30), 143) << station.Err();
  EXPECT_EQ(bench.MotionBits(), 0);
  const std::string results = bench.folder / "AppPrograms/AutoControl/AutoResults/Jog0001";
  EXPECT_NE(Read(results + ".txt").find("{ESC Pressed}"), std::string::npos) << station.Out();
  EXPECT_EQ(Read(results + "_Pass.csv"), "Serial,Result\r\nSN-7,Pass\r\n");
  // The second unit was cut short by ESC before anyone judged it.
  EXPECT_EQ(Read(results + "_Fail.csv"), "Serial,Result\r\n,ESC\r\n");
  const std::string xml = Read(report);
  EXPECT_NE(xml.find("<skipped message=\"ESC pressed\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("value=\"SN-7\""), std::string::npos) << xml;
}

}  // namespace
