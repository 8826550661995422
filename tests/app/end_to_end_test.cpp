// The programs themselves: halvorn-sim on a pseudo-terminal and
// halvorn-terminal talking to it as an operator or a test harness would.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/test_folder.h"

namespace {

using testing_support::BackgroundProcess;
using testing_support::BinDir;
using testing_support::InteractiveProcess;
using testing_support::RunProcess;
using testing_support::TestFolder;

// A data folder whose COMM_Ports.cfg names two controllers of one simulator.
struct SimulatedBench {
  TestFolder folder;
  std::string port = folder / "ttySIM";
  BackgroundProcess sim{{BinDir() + "/halvorn-sim", "--address", "01", "--address", "02",
                         "--instant", "--link", port}};

  SimulatedBench() {
    platform::DataFolders(folder.Path()).EnsureDataFolders();
    EXPECT_TRUE(testing_support::WaitForPath(port, 10)) << "halvorn-sim did not start";
    EXPECT_TRUE(platform::WriteFileAtomic(
        folder / "AppConfig/COMM_Ports.cfg",
        "Axis 01 {" + port + ":115200}\r\nAxis 02 {" + port + ":115200}\r\n"));
  }
  std::vector<std::string> Terminal(std::vector<std::string> args) {
    args.insert(args.begin(),
                {BinDir() + "/halvorn-terminal", "--headless", "--data-root", folder.Path()});
    return args;
  }
};

// --exec, the device list and the line terminal on both addresses of one port.
TEST(EndToEnd, ExecListAndLineTerminalWithTheSimulator) {
  SimulatedBench bench;
  auto r = RunProcess(bench.Terminal({"--exec", "LSPD=500,LSPD,ID,PX"}));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind(" >> LSPD=500\r\n      Reply: OK (", 0), 0u) << r.out;
  for (const char* entry : {" >> LSPD\r\n      Reply: 500 (", " >> ID\r\n      Reply: HALVORN SIM"})
    EXPECT_NE(r.out.find(entry), std::string::npos) << r.out;
  auto list = RunProcess(bench.Terminal({"--list-devices"}));
  EXPECT_EQ(list.out, "Axis 01 {" + bench.port + ":115200}\nAxis 02 {" + bench.port + ":115200}\n");
  auto one = RunProcess(bench.Terminal({"--device", "0"}), "ABS,X1000\nPX\n");
  EXPECT_NE(one.out.find("Reply: 1000"), std::string::npos) << one.out;
  auto two = RunProcess(bench.Terminal({"--device", "1"}), "PX\n");
  EXPECT_NE(two.out.find(" >> PX\r\n      Reply: 0 ("), std::string::npos) << two.out;
}

// A production script: the operator types a serial number, commands are
// sent and verified, a visual check is judged, and the station loops over
// units until it is interrupted.
const char* kProductionScript =
    "[SAVERESULTSAUTOESC]MyTest1\n"
    "[TRACKCSVRESULTS]\n"
    "[DEFINECSV]Serial(V1)Speed(R1)Result(PF)Fails(FC)\n"
    "[LOOPSTART]\n"
    "[CLEAR]\n"
    "[VARINPUT1]Enter Serial Number\n"
    "[CMDREPLY1]HSPD=5000,HSPD\n"
    "[CMDREPLY1]HSPD\n"
    "[CMDVERIFY]LSPD=500,LSPD {OK,500}\n"
    "[USERCHECK]Is the motor turning\n"
    "[STORERESULTS]\n"
    "[UPDATECSV]\n"
    "[FAILCLEAR]\n"
    "[LOOPEND]\n"
    "[ESCEXIT]\n";

TEST(EndToEnd, AProductionScriptLoopsUntilInterruptedAndLeavesItsRecords) {
  SimulatedBench bench;
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "AppPrograms/AutoControl/autocontrol_3.txt",
                                        kProductionScript));
  for (int run = 1; run <= 2; ++run) {
    InteractiveProcess station(bench.Terminal({"/A3"}));
    ASSERT_TRUE(station.WaitForError("Serial Number", 1, 20)) << station.Err();
    station.WriteLine("SN-1001");
    ASSERT_TRUE(station.WaitForError("Is the motor turning", 1, 20)) << station.Err();
    station.WriteLine("FAIL");
    ASSERT_TRUE(station.WaitForError("Serial Number", 2, 20)) << station.Err();
    station.WriteLine("SN-1002");
    ASSERT_TRUE(station.WaitForError("Is the motor turning", 2, 20)) << station.Err();
    station.WriteLine("PASS");
    ASSERT_TRUE(station.WaitForError("Serial Number", 3, 20)) << station.Err();
    station.Signal(SIGINT);  // the operator ends the shift: ESC in the serial number dialog
    // The interrupted unit runs to the end of the loop body; the operator
    // walks away, and the end of the input answers ESC to what is left.
    ASSERT_TRUE(station.WaitForError("Is the motor turning", 3, 20)) << station.Err();
    station.CloseInput();
    int code = station.Wait(30);
    // The failure of unit 1001 was cleared by [FAILCLEAR]: the run ends with 0.
    EXPECT_EQ(code, 0) << station.Err();
    std::string digits = "000" + std::to_string(run);
    std::string results = bench.folder / ("AppPrograms/AutoControl/AutoResults/MyTest1" + digits);
    std::string text, pass, fail;
    ASSERT_TRUE(platform::ReadFile(results + ".txt", text)) << station.Err();
    EXPECT_NE(text.find("Reply: 5000"), std::string::npos) << text;
    ASSERT_TRUE(platform::ReadFile(results + "_Pass.csv", pass));
    ASSERT_TRUE(platform::ReadFile(results + "_Fail.csv", fail));
    EXPECT_EQ(fail, "Serial,Speed,Result,Fails\r\nSN-1001,5000,Fail,1\r\n");
    EXPECT_EQ(pass.rfind("Serial,Speed,Result,Fails\r\nSN-1002,5000,Pass,0\r\n", 0), 0u) << pass;
  }
}

}  // namespace

namespace {

// The motion bits of the controller's MST (accelerating, decelerating,
// constant speed, jogging); -1 when there was no reply.
int MotionBits(SimulatedBench& bench) {
  auto r = RunProcess(bench.Terminal({"--exec", "MST"}));
  const std::size_t at = r.out.find("Reply: ");
  return at == std::string::npos ? -1 : std::atoi(r.out.c_str() + at + 7) & 15;
}

// SIGTERM, SIGHUP, SIGQUIT and SIGINT while a jog runs stop the motor before
// the program ends with 128 + the signal; a signal after a stop ends the
// program at once, even while a reply is awaited.
TEST(EndToEnd, SignalsStopTheMotorBeforeTheProgramEnds) {
  SimulatedBench bench;
  const std::string axis = " {" + bench.port + ":115200}\r\n";  // address 09 never answers
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "AppConfig/COMM_Ports.cfg",
                                        "Axis 01" + axis + "Axis 02" + axis + "Axis 09" + axis));
  const struct {
    std::vector<std::string> args;
    const char* input;
    const char* shown;  // before the signals
    std::vector<int> signals;
    int status;
    double seconds;
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
    for (int s : c.signals) terminal.Signal(s);
    EXPECT_EQ(terminal.Wait(c.seconds), c.status) << c.input << terminal.Err();
    EXPECT_EQ(MotionBits(bench), 0) << c.input << terminal.Out();
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
  EXPECT_EQ(MotionBits(bench), 0);
}

// SIGTERM while a dialog waits: the motor stops, the rest of the unit runs
// as after ESC (its results stored, its CSV row added) and the ESC path
// saves; the report holds what was reached.
TEST(EndToEnd, ASignalWhileADialogWaitsSavesWhatEscSaves) {
  SimulatedBench bench;
  ASSERT_TRUE(platform::WriteFileAtomic(
      bench.folder / "AppPrograms/AutoControl/autocontrol_4.txt",
      "[SAVERESULTSAUTOESC]Jog\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n"
      "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[CMDREPLY1]JX+\n[USERCHECK]Is it turning\n"
      "[STORERESULTS]\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n"));
  const std::string report = bench.folder / "report.xml";
  InteractiveProcess station(bench.Terminal({"/A4", "--report", report}));
  ASSERT_TRUE(station.WaitForError("Serial Number", 1, 20)) << station.Err();
  station.WriteLine("SN-7");
  ASSERT_TRUE(station.WaitForError("Is it turning", 1, 20)) << station.Err();
  station.Signal(SIGTERM);
  EXPECT_EQ(station.Wait(30), 143) << station.Err();
  EXPECT_EQ(MotionBits(bench), 0);
  std::string text, pass, xml;
  const std::string results = bench.folder / "AppPrograms/AutoControl/AutoResults/Jog0001";
  ASSERT_TRUE(platform::ReadFile(results + ".txt", text)) << station.Out();
  EXPECT_NE(text.find("{ESC Pressed}"), std::string::npos) << text;
  ASSERT_TRUE(platform::ReadFile(results + "_Pass.csv", pass));
  EXPECT_EQ(pass, "Serial,Result\r\nSN-7,Pass\r\n");
  ASSERT_TRUE(platform::ReadFile(report, xml));
  EXPECT_NE(xml.find("<skipped message=\"ESC pressed\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("value=\"SN-7\""), std::string::npos) << xml;
}

}  // namespace
