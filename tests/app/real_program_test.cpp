// The real program on halvorn-sim or a controller the test plays, as its surroundings treat it
// (signals, readers that go away, reports into pipes, late replies, huge input); its own
// choices; the records it keeps through kills, full disks, unusable database places and odd
// answers, read back by sqlite3 and Python: never lost without a word, never half written.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "devices/peer.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/simulated_bench.h"

namespace {

using namespace testing_support;
using testing_support::Terminal;  // beside the one of a script number below

const std::string kAuto = "AppPrograms/AutoControl/AutoResults/";

// Everything a descriptor holds now, without waiting.
std::string Drain(int fd) {
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    got.append(buffer, static_cast<std::size_t>(n));
  return got;
}

// --report into a FIFO that is read or a link to /proc/self/fd/1: written through, left in place.
TEST(OutsideConditions, ReportsGoIntoPipesAndDescriptorLinksWithoutReplacingThem) {
  SimulatedBench bench;
  const std::string fifo = bench.folder / "report.fifo", standardOutput = bench.folder / "stdout";
  ASSERT_EQ(::symlink("/proc/self/fd/1", standardOutput.c_str()) + ::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  for (const auto& [report, type] : {std::pair{fifo, S_IFIFO}, {standardOutput, S_IFLNK}}) {
    const auto run = RunProcess(bench.Terminal({"--exec", "ID", "--report", report}));
    EXPECT_EQ(run.exitCode, 0) << report << "\n" << run.err;
    struct stat after;
    ASSERT_EQ(::lstat(report.c_str(), &after), 0) << report;
    EXPECT_EQ(after.st_mode & S_IFMT, type) << report;
    EXPECT_NE((report == fifo ? Drain(reader) : run.out).find("<testsuite"), std::string::npos);
  }
  ::close(reader);
}

// A signal in the first milliseconds (handed on held) is acted on: SIGINT is ESC
// (a script saves its unit; one line ends with 130), SIGTERM the safe stop (143).
TEST(OutsideConditions, ASignalWhileTheProgramStartsIsActedOnWithItsStatus) {
  SimulatedBench bench;
  WriteScript(bench.folder, 2,
              "[SAVERESULTSAUTOESC]Unit\n[LOOPSTART]\n[CMDREPLY1]JX+\n[CMDREPLY2]PX\n"
              "[CMDREPLY3]ABORT\n[STORERESULTS]\n[LOOPEND]\n[ESCSTOP]\n");
  const std::string report = bench.folder / "report.xml";
  const std::string results = bench.folder / (kAuto + "Unit0001.txt");
  const std::vector<std::string> script{"/A2", "--report", report},
      line{"--exec", "JX+,DELAY=60000", "--report", report};
  using Run = std::tuple<std::vector<std::string>, int, int, bool>;  // args, signal, status, saved
  for (const auto& [args, sig, status, saves] :
       {Run{script, SIGINT, 0, true}, Run{script, SIGTERM, 143, false},
        Run{line, SIGINT, 130, false}, Run{line, SIGTERM, 143, false}}) {
    for (int milliseconds : {0, 5, 10, 20, 50}) {
      for (const std::string& file : {report, results}) platform::RemoveFile(file);
      const std::string what = args[0] + " signal " + std::to_string(sig) + " at " +
                               std::to_string(milliseconds) + " ms";
      InteractiveProcess terminal(bench.Terminal(args), {}, {sig});
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      terminal.Signal(sig);
      EXPECT_EQ(terminal.Wait(30), status) << what << "\n" << terminal.Err();
      EXPECT_FALSE(terminal.KilledBySignal()) << what;
      EXPECT_EQ(bench.MotionBits(), 0) << what << "\n" << terminal.Out();
      EXPECT_TRUE(platform::FileExists(report)) << what;
      EXPECT_TRUE(!saves || platform::FileExists(results)) << what << "\n" << terminal.Out();
      // Held from the start, a SIGINT comes before the one line: it never runs.
      EXPECT_FALSE(milliseconds == 0 && sig == SIGINT && args[0] == "--exec" &&
                   terminal.Out().find("JX+") != std::string::npos)
          << terminal.Out();
    }
  }
}

// SIGTERM once the program proper runs (still loading its libraries): a safe stop, 143.
TEST(OutsideConditions, ASignalWhileTheProgramLoadsItsLibrariesWaitsForItsHandlers) {
  SimulatedBench bench;
  for (int run = 0; run < 5; ++run) {
    InteractiveProcess terminal(bench.Terminal({"--exec", "JX+,DELAY=60000"}));
    bool proper = false;
    for (int poll = 0; poll < 2'000'000 && !proper; ++poll) {
      std::error_code gone;  // the path it runs now, "" once it is gone
      const std::string running =
          std::filesystem::read_symlink("/proc/" + std::to_string(terminal.Pid()) + "/exe", gone);
      proper = running.ends_with("/halvorn-terminal.real");
      if (running.empty()) break;
    }
    ASSERT_TRUE(proper) << "the program proper never ran";
    terminal.Signal(SIGTERM);
    EXPECT_EQ(terminal.Wait(30), 143) << terminal.Err();
    EXPECT_FALSE(terminal.KilledBySignal()) << "ended by SIGTERM's default action";
  }
  EXPECT_EQ(bench.MotionBits(), 0);
}

// Output into `head`, which stops reading: the loss said, the motor stopped, the unit saved by
// the ESC path, the report written, status 141.
TEST(OutsideConditions, AReaderThatGoesAwayStopsTheRunSafelyAndItsRecordsAreSaved) {
  SimulatedBench bench;
  std::string line = "JX+";
  for (int i = 0; i < 400; ++i) line += ",PX";
  WriteScript(bench.folder, 3,
              "[SAVERESULTSAUTOESC]Unit\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n"
              "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[CMDREPLY1]" +
                  line + "\n[CMDREPLY2]ABORT\n[STORERESULTS]\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n");
  std::string answers;
  for (int unit = 1; unit <= 50; ++unit) answers += "SN" + std::to_string(unit) + "\n";
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "answers.txt", answers));
  const std::string report = bench.folder / "report.xml";
  auto argv =
      bench.Terminal({"--answers", bench.folder / "answers.txt", "--report", report, "/A3"});
  argv.insert(argv.begin(), {"/bin/bash", "-c", "set -o pipefail; \"$0\" \"$@\" | head -c 100"});
  const auto run = RunProcess(argv);
  EXPECT_EQ(run.exitCode, 141) << run.err;
  EXPECT_EQ(run.out.size(), 100u);
  EXPECT_NE(run.err.find("standard output was closed by its reader"), std::string::npos) << run.err;
  EXPECT_EQ(bench.MotionBits(), 0);
  const std::string results = bench.folder / (kAuto + "Unit0001");
  EXPECT_EQ(Read(results + ".txt").rfind(" >> JX+\r\n", 0), 0u);
  // The unit the broken pipe cut short is no pass.
  EXPECT_EQ(Read(results + "_Fail.csv"), "Serial,Result\r\nSN1,ESC\r\n");
  EXPECT_NE(Read(report).find("<testsuite"), std::string::npos);
}

TEST(OutsideConditions, SigTermWhileTheAnswersFifoHasNoWriterEndsWith143) {
  SimulatedBench bench;
  WriteScript(bench.folder, 4, "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[LOOPEND]\n");
  const std::string fifo = bench.folder / "answers.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  InteractiveProcess station(bench.Terminal({"--answers", fifo, "/A4"}));
  ASSERT_TRUE(station.WaitForError("Enter Serial Number", 1, 30)) << station.Err();
  station.Signal(SIGTERM);
  EXPECT_EQ(station.Wait(30), 143) << station.Err();
}

// ID answered after the real 10 s time-out (others after 0.3 s): the late text is dropped.
TEST(OutsideConditions, AReplyThatComesTooLateIsCreditedToNoLaterCommand) {
  TestFolder folder;
  devices_test::Peer peer;  // the controller, played by the test
  platform::DataFolders(folder.Path()).EnsureDataFolders();
  ASSERT_GE(peer.slave, 0) << "no pseudo-terminal available";
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/COMM_Ports.cfg",
                                        "Axis 01 {" + peer.path + ":115200}\r\n"));
  std::thread late;
  peer.Start([&late](devices_test::Peer& p) {
    for (std::size_t start = 0, end; p.ReadUntil("\r", start); start = end) {
      end = p.Received().find('\r', start) + 1;
      const std::string frame = p.Received().substr(start, end - start);
      if (frame == "@01ID\r") {
        late = std::thread([&p] {
          std::this_thread::sleep_for(std::chrono::milliseconds(10'400));
          p.Send("LATE-ID-REPLY\r");
        });
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        p.Send(frame.substr(3, frame.size() - 4) + "-REPLY\r");
      }
    }
  });
  const auto run = RunProcess(Terminal(folder.Path(), {"--exec", "ID,EO,PX"}));
  if (late.joinable()) late.join();
  EXPECT_EQ(run.exitCode, 5) << run.out;  // ID got no reply
  EXPECT_EQ(run.out.find("LATE-ID-REPLY"), std::string::npos) << run.out;
  for (const char* reply : {"(SERIAL Timeout)", "Reply: EO-REPLY", "Reply: PX-REPLY"})
    EXPECT_NE(run.out.find(reply), std::string::npos) << reply << "\n" << run.out;
}

// A second client of a device server (halvorn-sim --tcp) is told why it is not available (3);
// once the first has gone the entry works; a timing line it cannot use is named all along.
TEST(OutsideConditions, ADeviceServerThatTurnsTheLinkAwayIsNotAvailableWithItsReason) {
  Simulator server({"--tcp", "0", "--instant"});
  ASSERT_TRUE(server.process.WaitForOutput("tcp://127.0.0.1:", 1, 30)) << server.process.Out();
  const std::string out = server.process.Out().substr(server.process.Out().find("tcp://"));
  const std::string url = out.substr(0, out.find('\n'));
  const int port = std::stoi(url.substr(url.rfind(':') + 1));
  platform::DataFolders(server.folder.Path()).EnsureDataFolders();
  const std::string config = server.folder / "AppConfig/COMM_";
  ASSERT_TRUE(platform::WriteFileAtomic(config + "Map.cfg", "COM7=" + url + "\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(config + "Ports.cfg", "Net axis 01 {COM7:115200}\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(config + "Timing.cfg", "# waits\r\nSETTLE=-2\r\n"));
  const auto terminal = Terminal(server.folder.Path(), {"--exec", "ID"});
  // The first client: connected before the terminal, so served first.
  const int first = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{
      AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  ASSERT_EQ(::connect(first, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const auto refused = RunProcess(terminal);
  EXPECT_EQ(refused.exitCode, 3) << refused.out << refused.err;
  EXPECT_NE(refused.err.find(url + " closed the connection before it answered anything: its port "
                                   "is held by another client"),
            std::string::npos)
      << refused.err;
  ::close(first);
  // The server sees its first client leave in its own time.
  ProcessResult served;
  for (int attempt = 0; attempt < 100; ++attempt) {
    served = RunProcess(terminal);
    if (served.exitCode != 3) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(served.exitCode, 0) << served.err;
  EXPECT_NE(served.err.find("COMM_Timing.cfg, line 2: \"SETTLE=-2\": the settle time is negative"),
            std::string::npos)
      << served.err;
  EXPECT_NE(served.out.find("Reply: HALVORN SIM 01"), std::string::npos) << served.out;
}

// An answer of 300 MB through a pipe: 16 MiB kept, the cut said, the next answer
// read, never 64 MB held (only printed under the address sanitizer).
TEST(OutsideConditions, AnAnswerOf300MBThroughAPipeIsCutAndMemoryStaysBounded) {
  SimulatedBench bench;
  WriteScript(bench.folder, 6,
              "[VARINPUT1]Enter Serial Number\n[VARINPUT2]Enter Bench\n[SHOWVAR2]\n[EXIT]\n");
  InteractiveProcess station(bench.Terminal({"/A6"}));
  std::thread operatorAtThePipe([&station] {
    const std::string block(1 << 20, '7');
    for (int megabytes = 0; megabytes < 300; ++megabytes) station.Write(block);
    station.Write("\n");
  });
  // The first answer has been taken whole once the second is asked for.
  const bool asked = station.WaitForError("Enter Bench", 1, 240);
  operatorAtThePipe.join();
  long peak = 0;  // the peak resident set (VmHWM) in KiB
  std::ifstream status("/proc/" + std::to_string(station.Pid()) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) peak = std::stol(line.substr(6));
  station.Write("BENCH-9\n");
  station.CloseInput();
  EXPECT_EQ(station.Wait(60), 0) << station.Err();
  ASSERT_TRUE(asked) << station.Err();
  EXPECT_NE(station.Err().find("an input line longer than 16 MiB was cut"), std::string::npos)
      << station.Err();
  EXPECT_NE(station.Out().find("{Bench} BENCH-9"), std::string::npos) << station.Out();
  std::cout << "[ measured ] peak resident set " << peak / 1024 << " MiB\n";
  ASSERT_GT(peak, 0);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(peak, 64 * 1024) << "peak resident set in KiB";
#endif
}

// SIGTERM, SIGHUP, SIGQUIT or SIGINT during a jog stop the motor, then 128 + the
// signal; a second signal ends the program at once, even while a reply is awaited.
TEST(EndToEnd, SignalsStopTheMotorBeforeTheProgramEnds) {
  SimulatedBench bench;
  const std::string axis = " {" + bench.link + ":115200}\r\n";  // address 09 never answers
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "AppConfig/COMM_Ports.cfg",
                                        "Axis 01" + axis + "Axis 02" + axis + "Axis 09" + axis));
  const struct {
    std::vector<std::string> args;
    const char *input, *shown;  // shown before the signals
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

// At the line terminal each SIGINT is the ESC key, while a line runs and when idle again.
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

// SIGINT at a dialog is ESC (the unit goes on); SIGTERM at the next stops the motor,
// runs the unit's rest as after ESC and the ESC path saves; the report says so.
TEST(EndToEnd, SignalsWhileADialogWaits) {
  SimulatedBench bench;
  WriteScript(bench.folder, 4,
              "[SAVERESULTSAUTOESC]Jog\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n"
              "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[CMDREPLY1]JX+\n"
              "[USERCHECK]Is it turning\n[STORERESULTS]\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n");
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
  const std::string results = bench.folder / (kAuto + "Jog0001");
  EXPECT_NE(Read(results + ".txt").find("{ESC Pressed}"), std::string::npos) << station.Out();
  EXPECT_EQ(Read(results + "_Pass.csv"), "Serial,Result\r\nSN-7,Pass\r\n");
  // The second unit was cut short by ESC before anyone judged it.
  EXPECT_EQ(Read(results + "_Fail.csv"), "Serial,Result\r\n,ESC\r\n");
  const std::string xml = Read(report);
  EXPECT_NE(xml.find("<skipped message=\"ESC pressed\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("value=\"SN-7\""), std::string::npos) << xml;
}

// Answers replace the operator, so no window opens (one would wait); a data folder
// of another letter case gets the records; an empty device list says why.
TEST(OperatorModes, AnswersRunHeadlessInACopiedFolderAndAnEmptyDeviceListSaysWhy) {
  TestFolder root;
  const std::string folder = root / "appprograms/autocontrol/";
  ASSERT_TRUE(platform::CreateDirectory(root / "appprograms"));
  ASSERT_TRUE(platform::CreateDirectory(folder));
  ASSERT_TRUE(platform::WriteFileAtomic(
      folder + "AUTOCONTROL_4.TXT",
      "[VARINPUT1]Enter Serial Number\n[SHOWVAR1]\n[TRACKCSVRESULTS]\n"
      "[DEFINECSV]Serial(V1)Speed(R2)Result(PF)\n[CMDREPLY1]LSPD=500,LSPD\n[STORERESULTS]\n"
      "[SAVERESULTS1]\n[UPDATECSV]\n[SAVERESULTSAUTO]Lot {V1}\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(root / "answers.txt", "SN-7\n"));
  const struct {
    std::vector<std::string> args;
    const char* boards;  // simulated HID boards
    int status;
    const char *out, *err;  // found in standard output, in standard error
  } cases[] = {
      {std::vector<std::string>{"--answers", root / "answers.txt", "/A4"}, "1", 0,
       "{Serial Number} SN-7",
       "halvorn-terminal: --answers answers the dialogs in place of an operator, so this run is "
       "headless (no window)\n"},
      {std::vector<std::string>{"--headless", "--list-devices"}, "0", 3, "",
       "no devices found. Serial controllers are listed in \""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv{"/usr/bin/timeout", "20", BinDir() + "/halvorn-terminal",
                                  "--data-root", root.Path()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto run = RunProcess(argv, "",
                                {"QT_QPA_PLATFORM=offscreen", "HALVORN_SIM_USB_CONTROLLERS=0",
                                 std::string("HALVORN_SIM_HID_BOARDS=") + c.boards});
    EXPECT_EQ(run.exitCode, c.status) << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("not written"), std::string::npos) << run.out;
  }
  const std::string numbered = Read(folder + "testresults1.txt");
  EXPECT_NE(numbered.find(" >> LSPD\r\n      Reply: 500 ("), std::string::npos) << numbered;
  EXPECT_EQ(Read(folder + "AutoResults/LotSN70001.txt"), numbered);
  EXPECT_EQ(Read(folder + "AutoResults/LotSN70001_Pass.csv"),
            "Serial,Speed,Result\r\nSN-7,500,Pass\r\n");
  EXPECT_EQ(Read(folder + "AutoResults/LotSN70001_Fail.csv"), "");
  // The tree was completed inside the copy, not built again beside it.
  EXPECT_FALSE(platform::DirectoryExists(root / "AppPrograms"));
}

// --session-log logs each line shown, stamped with times that never go back; else nothing.
TEST(SessionLog, TheLineTerminalLogsWhatItShowsWithIncreasingTimes) {
  SimulatedBench bench;
  const auto r = RunProcess(bench.Terminal({"--session-log"}), "ID\nLSPD=500 , LSPD\nNOSUCH\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::filesystem::path> logs(
      std::filesystem::directory_iterator(bench.folder / "TermDisplay"), {});
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(logs[0].filename().string().starts_with("session-"));
  std::istringstream log(Read(logs[0].string()));
  const std::regex stamped(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d) (.*))");
  std::string unstamped, last;
  int lines = 0;
  for (std::string line; std::getline(log, line); ++lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, stamped)) << line;
    EXPECT_GE(m[1].str(), last);
    last = m[1].str();
    unstamped += m[2].str() + "\r\n";
  }
  EXPECT_GE(lines, 4);
  EXPECT_EQ(unstamped, r.out);
  std::filesystem::remove(logs[0]);
  ASSERT_EQ(RunProcess(bench.Terminal({}), "ID\n").exitCode, 0);
  EXPECT_TRUE(std::filesystem::is_empty(bench.folder / "TermDisplay"));
}

using Files = std::map<std::string, std::string>;

// The real program that runs script n of a data folder, the files it leaves.
std::vector<std::string> Terminal(const TestFolder& folder, int n) {
  return Terminal(folder.Path(), {"/A" + std::to_string(n)});
}
Files Written(const TestFolder& folder) {
  Files files;
  for (auto e = std::filesystem::recursive_directory_iterator(folder.Path());
       e != std::filesystem::recursive_directory_iterator(); ++e) {
    const std::string name = e->path().filename().string();
    // The guides copied at start; the station's database, a record with tests of its own.
    if (name == "Docs" || name == "AppResults") e.disable_recursion_pending();
    if (e->is_regular_file() && !name.starts_with("autocontrol_"))
      platform::ReadFile(e->path().string(), files[name]);
  }
  return files;
}
// `text` is `unit` repeated at least once.
bool Copies(const std::string& text, const std::string& unit) {
  std::string copies;
  while (copies.size() < text.size()) copies += unit;
  return !text.empty() && copies == text;
}

TEST(Records, KilledAtAnyMomentTheRecordsAreWholeAndNumberingGoesOn) {
  // Records of megabytes: a kill often lands in the middle of a write.
  const std::string shown(2000000, 'r'), copy = shown + "\r\n";
  TestFolder station;
  WriteScript(station, 1,
              "[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[VARSET1]7\n[SHOW]" + shown +
                  "\n[LOOPSTART]\n[STORERESULTS]\n[SAVERESULTS1]\n[UPDATECSV]\n"
                  "[SAVERESULTSAUTO]Unit\n[LOOPEND]\n");
  WriteScript(station, 2, "[SHOW]" + shown + "\n[STORERESULTS]\n[SAVERESULTSAUTO]Unit\n[EXIT]\n");
  std::mt19937 random(std::random_device{}());
  std::set<int> numbers;
  for (int kill = 0; kill < 50; ++kill) {
    // The display goes nowhere, so nothing waits for a reader.
    auto argv = Terminal(station, 1);
    argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/null"});
    InteractiveProcess run(argv);
    std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 700));
    run.Signal(SIGKILL);
    ASSERT_EQ(run.Wait(10), 128 + SIGKILL);
    for (const auto& [name, content] : Written(station)) {
      if (name.starts_with(".halvorn-")) continue;  // the killed writer's, removed at start
      // Old or new content: whole copies of the display, whole CSV rows.
      EXPECT_TRUE(!name.ends_with(".csv")       ? Copies(content, copy)
                  : name.ends_with("_Fail.csv") ? content.empty()
                                                : content.starts_with("Unit,Result\r\n") &&
                                                      Copies(content.substr(13), "7,Pass\r\n"))
          << name << " after kill " << kill;
      if (name.starts_with("Unit")) numbers.insert(std::stoi(name.substr(4, 4)));
    }
    // Numbers are used from 1 on without a gap.
    ASSERT_EQ(numbers.empty() ? 0 : *numbers.rbegin(), static_cast<int>(numbers.size()));
  }
  // A later run changes nothing, leaves no temporary file and takes the next number.
  Files expected = Written(station);
  std::erase_if(expected, [](const auto& file) { return file.first.starts_with(".halvorn-"); });
  const std::string next = std::to_string(numbers.size() + 1);
  expected["Unit" + std::string(4 - next.size(), '0') + next + ".txt"] = copy;
  EXPECT_EQ(RunProcess(Terminal(station, 2)).exitCode, 0);
  EXPECT_EQ(Written(station), expected);
}

// Files limited to 16 KiB: old files stay, each lost record told once, the run goes on, 4;
// a number any of whose names is taken is passed over.
TEST(Records, AFullDiskKeepsTheOldFilesAndReportsEachLostRecord) {
  std::string script = "[SHOW]" + std::string(10000, 'f') + "\n";
  for (int i = 0; i < 8; ++i) script += "[STORERESULTS]\n";
  script += "[SAVERESULTS1]\n[TRACKCSVRESULTS]\n[SAVERESULTSAUTO]Unit\n[SHOW]still running\n[EXIT]";
  TestFolder station;
  WriteScript(station, 3, script);
  ASSERT_TRUE(
      platform::WriteFileAtomic(station / "AppPrograms/AutoControl/testresults1.txt", "old slot"));
  ASSERT_TRUE(platform::WriteFileAtomic(station / (kAuto + "Unit0001.txt"), "old unit"));
  ASSERT_TRUE(platform::CreateDirectory(station / (kAuto + "Unit0002_Fail.csv")));
  ASSERT_EQ(::symlink("/nonexistent/x", (station / (kAuto + "Unit0003_Pass.csv")).c_str()), 0);
  rlimit saved{}, limit{16 << 10, RLIM_INFINITY};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  limit.rlim_max = saved.rlim_max;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const auto r = RunProcess(Terminal(station, 3));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(r.exitCode, app::kExitRecordLost) << r.err;
  EXPECT_EQ(Written(station), (Files{{"testresults1.txt", "old slot"},
                                     {"Unit0001.txt", "old unit"},
                                     {"Unit0004_Pass.csv", ""},
                                     {"Unit0004_Fail.csv", ""}}));
  EXPECT_EQ(Occurrences(r.err, "Result file not written: "), 2u) << r.err;
  EXPECT_EQ(Occurrences(r.out, "Result file not written: "), 2u);
  EXPECT_NE(r.out.find("still running"), std::string::npos);
}

std::string Contents(const std::string& path) {
  std::string text;
  platform::ReadFile(path, text);
  return text;
}

// The verdict dialogs ("Pass", "Fail") a headless run shows on standard error.
std::string VerdictsShown(const std::string& text) {
  std::istringstream lines(text);
  std::string shown;
  for (std::string line; std::getline(lines, line);)
    if (line == "Pass" || line == "Fail") shown += line == "Pass" ? "pass\n" : "fail\n";
  return shown;
}

// /A3 in `station`: units of a serial number, a check, the verdict shown.
void PrepareUnitScript(const TestFolder& station) {
  WriteScript(station, 3,
              "[LOOPSTART]\n[VARINPUT1]Serial\n[ESCSTOP]\n[USERCHECK]Good\n"
              "[PASSFAILMSG]Unit done\n[LOOPEND]\n");
}

// Answers for `units` units, SN-1 passing, SN-2 failing, and so on.
std::string Answers(int units, const std::string& prefix = "SN-") {
  std::string answers;
  for (int i = 1; i <= units; ++i)
    answers += prefix + std::to_string(i) + (i % 2 ? "\nPASS\nOK\n" : "\nFAIL\nOK\n");
  return answers;
}

TEST(RecordsGuarantees, KilledAtAnyMomentEveryShownVerdictIsKeptAndTheRunMarked) {
  SimulatedBench bench;
  const std::string db = bench.folder / "AppResults/records.db";
  WriteScript(bench.folder, 1,
              "[TRACKCSVRESULTS]\n[DEFINECSV]Unit(V1)Result(PF)\n[DEVICE1]\n[LOOPSTART]\n"
              "[VARINPUT1]Serial\n[ESCSTOP]\n[CMDREPLY1]PX\n[USERCHECK]Good\n[STORERESULTS]\n"
              "[PASSFAILMSG]Unit done\n[UPDATECSV]\n[SAVERESULTSAUTO]Unit\n[LOOPEND]\n");
  std::mt19937 random(std::random_device{}());
  std::string answers;
  for (int i = 1; i <= 200; ++i)
    answers += "SN-" + std::to_string(i) + (random() % 3 ? "\nPASS\nOK\n" : "\nFAIL\nOK\n");
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "answers.txt", answers));
  std::vector<int> killed;
  int shownInAll = 0;
  for (int kill = 0; kill < 50; ++kill) {
    InteractiveProcess run(bench.Terminal({"--answers", bench.folder / "answers.txt", "/A1"}));
    const int pid = run.Pid();
    // Reads what the program shows while it waits, so it never blocks on a pipe.
    run.WaitForError("\x01 never shown", 1, (20 + random() % 2000) / 1000.0);
    run.Signal(SIGKILL);
    ASSERT_EQ(run.Wait(10), 128 + SIGKILL);
    killed.push_back(pid);
    const std::string shown = VerdictsShown(run.Err());
    shownInAll += static_cast<int>(std::count(shown.begin(), shown.end(), '\n'));
    SCOPED_TRACE("kill " + std::to_string(kill) + " after:\n" + shown);
    // A kill before the database had its tables: nothing was shown either.
    if (!std::filesystem::exists(db) ||
        Sqlite(db, "SELECT count(*) FROM sqlite_master WHERE name = 'unit'") != "1\n") {
      EXPECT_EQ(shown, "");
      continue;
    }
    ASSERT_EQ(Sqlite(db, "PRAGMA integrity_check"), "ok\n");
    // The committed verdicts start with those shown; one not yet shown may follow.
    const std::string kept =
        Sqlite(db,
               "SELECT u.verdict FROM unit u JOIN run r ON r.id = u.run_id WHERE "
               "u.verdict IS NOT NULL AND r.process_id = " +
                   std::to_string(pid) + " ORDER BY u.number");
    EXPECT_EQ(kept.substr(0, shown.size()), shown);
    EXPECT_LE(kept.size(), shown.size() + 5);
  }
  EXPECT_GT(shownInAll, 0) << "no kill came after a verdict";
  // The next start marks every killed run that got as far as its record.
  EXPECT_EQ(RunProcess(bench.Terminal({"--exec", "PX"})).exitCode, 0);
  std::string pids;
  for (int pid : killed) pids += (pids.empty() ? "" : ",") + std::to_string(pid);
  EXPECT_EQ(Sqlite(db, "SELECT count(*) FROM run WHERE process_id IN (" + pids +
                           ") AND (ending IS NOT 'killed' OR ended_utc IS NOT NULL)"),
            "0\n");
  // Every result file the records name is on the disk as they describe it.
  const auto files =
      RunProcess({"/usr/bin/python3", "-c",
                  "import hashlib, sqlite3, sys\nroot = sys.argv[1]\nrows = sqlite3.connect("
                  "sys.argv[2]).execute(\"SELECT path, size, sha256 FROM file WHERE failure = "
                  "''\").fetchall()\nfor path, size, sha in rows:\n"
                  "    data = open(root + '/' + path, 'rb').read()\n"
                  "    assert (len(data), hashlib.sha256(data).hexdigest()) == (size, sha), path\n"
                  "print(len(rows) > 0)\n",
                  bench.folder.Path(), db});
  EXPECT_EQ(files.out, "True\n") << files.err;
}

enum class Place { Folder, Garbage, Future, ReadOnly, ReadOnlyRoot, Full, Locked, Fifo, Missing };

// Each way the database cannot be kept: the run goes on, the reason told once on each
// stream, status 4, nothing that was there deleted.
TEST(RecordsGuarantees, ADatabaseThatCannotBeKeptNeverStopsTheRun) {
  // Read-only places on a small mounted file system where allowed, else by mode.
  const bool mayMount = [] {
    TestFolder probe;
    if (::mount("tmpfs", probe.Path().c_str(), "tmpfs", 0, "size=64k") != 0) return false;
    ::umount2(probe.Path().c_str(), MNT_DETACH);
    return true;
  }();
  const std::pair<Place, const char*> cases[] = {
      {Place::Folder, "records.db is not a file"},
      {Place::Garbage, "was damaged: it was moved aside to"},
      {Place::Future, "schema version 9; this program knows up to"},
      {Place::ReadOnly, "cannot be written"},      // a read-only file system
      {Place::ReadOnlyRoot, "cannot be written"},  // the data folder on one
      {Place::Full, "(File too large)"},           // a file-size limit
      {Place::Locked, "database is locked"},       // past the busy time-out
      {Place::Fifo, "records.db is not a file"},
      {Place::Missing, "No such file or directory"},  // its folder
  };
  for (const auto& [p, told] : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(p)) + ": " + told);
    TestFolder station, place;
    const bool readOnly = p == Place::ReadOnly || p == Place::ReadOnlyRoot;
    const std::string top = p == Place::ReadOnly ? place.Path() : station.Path();
    ASSERT_TRUE(!readOnly || !mayMount ||
                ::mount("tmpfs", top.c_str(), "tmpfs", 0, "size=1m") == 0);
    PrepareUnitScript(station);
    ASSERT_TRUE(platform::WriteFileAtomic(station / "answers.txt", Answers(2)));
    const std::string db = p == Place::ReadOnlyRoot ? station / "AppResults/records.db"
                           : p == Place::Missing    ? place / "missing/records.db"
                                                    : place / "records.db";
    auto argv = Terminal(station.Path(), {"--answers", station / "answers.txt", "/A3"});
    if (p != Place::ReadOnlyRoot) argv.insert(argv.end() - 1, {"--records", db});
    // A sound database of one earlier run, for the places that keep one.
    const bool sound =
        p == Place::Future || p == Place::ReadOnly || p == Place::Full || p == Place::Locked;
    ASSERT_TRUE(!sound || RunProcess(argv).exitCode == 1);
    ASSERT_TRUE(p != Place::Future ||
                RunProcess({"/usr/bin/sqlite3", db, "PRAGMA user_version = 9"}).exitCode == 0);
    ASSERT_TRUE(p != Place::Folder || ::mkdir(db.c_str(), 0700) == 0);
    ASSERT_TRUE(p != Place::Fifo || ::mkfifo(db.c_str(), 0600) == 0);
    std::string bytes(100000, '\0');
    std::mt19937 random(7);
    for (char& b : bytes) b = static_cast<char>(random());
    ASSERT_TRUE(p != Place::Garbage || platform::WriteFileAtomic(db, bytes));
    ASSERT_TRUE(!readOnly || !mayMount ||
                ::mount(nullptr, top.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);
    if (readOnly && !mayMount)
      ::chmod((p == Place::ReadOnly ? top : station / "AppResults").c_str(), 0555);
    const std::string before = Contents(db);
    std::unique_ptr<InteractiveProcess> holder;
    if (p == Place::Locked) {
      // Another program holds the write lock for longer than the busy time-out.
      holder = std::make_unique<InteractiveProcess>(std::vector<std::string>{
          "/usr/bin/python3", "-c",
          "import sqlite3, sys, time\nc = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
          "c.execute('BEGIN EXCLUSIVE')\nprint('locked', file=sys.stderr, flush=True)\n"
          "time.sleep(30)\n",
          db});
      ASSERT_TRUE(holder->WaitForError("locked", 1, 30));
    }
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{16 << 10, saved.rlim_max};
    if (p == Place::Full) ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto run = RunProcess(argv);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    if (holder) holder->Signal(SIGKILL);
    const std::string after = Contents(db);
    if (readOnly && mayMount) ::umount2(top.c_str(), MNT_DETACH);
    ::chmod(place.Path().c_str(), 0755);

    EXPECT_EQ(run.exitCode, app::kExitRecordLost) << run.err;
    // The run went on to its end: both units were checked.
    EXPECT_NE(run.out.find("{Check State = FAIL}"), std::string::npos) << run.out;
    EXPECT_EQ(Occurrences(run.err, "The station's records"), 1u) << run.err;
    EXPECT_EQ(Occurrences(run.out, "The station's records"), 1u) << run.out;
    EXPECT_NE(run.err.find(told), std::string::npos) << run.err;
    if (p == Place::Garbage) {
      // Set aside whole; the new database holds this run.
      std::string aside;
      for (const auto& e : std::filesystem::directory_iterator(place.Path()))
        if (e.path().filename().string().starts_with("records.db.damaged-"))
          aside = e.path().string();
      EXPECT_TRUE(Contents(aside) == bytes) << aside;
      EXPECT_EQ(Sqlite(db, "SELECT count(*) FROM unit"), "2\n");
    } else {
      EXPECT_TRUE(after == before) << "the database changed";
    }
    EXPECT_FALSE(p == Place::Missing && std::filesystem::exists(place / "missing"));
  }
}

TEST(RecordsGuarantees, TwoTerminalsAtOnceBothRecordEveryUnit) {
  TestFolder station;
  PrepareUnitScript(station);
  const int units = 30;
  std::vector<std::unique_ptr<InteractiveProcess>> runs;
  for (const char* prefix : {"A-", "B-"}) {
    const std::string answers = station / (std::string(prefix) + "answers.txt");
    ASSERT_TRUE(platform::WriteFileAtomic(answers, Answers(units, prefix)));
    runs.push_back(std::make_unique<InteractiveProcess>(
        Terminal(station.Path(), {"--answers", answers, "/A3"})));
  }
  for (auto& run : runs) EXPECT_EQ(run->Wait(120), 1) << run->Err();
  const std::string db = station / "AppResults/records.db";
  // Per terminal: units, serials each once, verdicts (the fail count goes on: a pass, then fails).
  EXPECT_EQ(Sqlite(db,
                   "SELECT substr(v.value, 10, 2), count(*), count(DISTINCT v.value), "
                   "sum(u.verdict = 'pass'), sum(u.verdict = 'fail'), count(DISTINCT u.run_id) "
                   "FROM unit u JOIN unit_value v ON v.unit_id = u.id AND v.name = 'V1' "
                   "GROUP BY 1 ORDER BY 1"),
            "A-|30|30|1|29|1\nB-|30|30|1|29|1\n");
  EXPECT_EQ(Sqlite(db, "SELECT count(*), count(DISTINCT station_id) FROM run"), "2|1\n");
}

// 8-bit, NUL and megabyte answers kept as the script took them (as UTF-8, cut).
TEST(RecordsGuarantees, OddAnswersAreKeptAsTheyCame) {
  TestFolder station;
  PrepareUnitScript(station);
  const std::string big(2 << 20, 'x');
  const std::string answers = std::string("Gr\xfc\xdf\x65 \xb5m\nPASS\nOK\n") +
                              std::string("N\0L", 3) + "\nPASS\nOK\n" + big + "\nPASS\nOK\n";
  // A pipe: a regular answers file may not hold a NUL byte.
  const auto run =
      RunProcess(Terminal(station.Path(), {"--answers", "/dev/stdin", "/A3"}), answers);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Sqlite(station / "AppResults/records.db",
                   "SELECT u.number, hex(substr(v.value, 1, 12)), length(CAST(v.value AS BLOB)) "
                   "FROM unit u JOIN unit_value v ON v.unit_id = u.id AND v.name = 'V1' "
                   "ORDER BY u.number"),
            // "{Serial} " before each answer; the NUL byte never reaches the variable.
            "1|7B53657269616C7D204772C3BC|20\n2|7B53657269616C7D204E4C|11\n"
            "3|7B53657269616C7D20787878|" +
                std::to_string((1 << 20) + std::string(" [cut: 2097161 bytes in all]").size()) +
                "\n");
}

// "serial verdict|" for each row of a CSV table (Serial,Top Speed,Position,Result,...).
std::string SerialsAndVerdicts(const std::string& table) {
  std::string rows;
  const std::regex row("\r\n([^,\r]*),[^,\r]*,[^,\r]*,([^,\r]*)");
  for (std::sregex_iterator m(table.begin(), table.end(), row), end; m != end; ++m)
    rows += (*m)[1].str() + " " + (*m)[2].str() + "|";
  return rows;
}

// The production example: a pass, a fail, the same serial passing on its retry, and ESC at
// the pass/fail question (nobody judged it).
TEST(StationRecords, TheProductionExampleLeavesEachUnitWithItsVerdict) {
  SimulatedBench bench;
  std::string script;
  ASSERT_TRUE(platform::ReadFile(HALVORN_SOURCE_DIR "/docs/examples/autocontrol_2.txt", script));
  WriteScript(bench.folder, 2, script);
  ASSERT_TRUE(
      platform::WriteFileAtomic(bench.folder / "answers.txt",
                                "SN-1001\nPASS\nSN-1002\nFAIL\nOK\nSN-1002\nPASS\nSN-1003\nESC\n"));
  const auto run = RunProcess(bench.Terminal({"--answers", bench.folder / "answers.txt", "/A2"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string db = bench.folder / "AppResults/records.db";
  EXPECT_EQ(Sqlite(db, "SELECT mode, file, length(file_sha256), ending, exit_status FROM run"),
            "script|AppPrograms/AutoControl/autocontrol_2.txt|64|esc|0\n");
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, v.value, u.verdict, u.fail_count FROM unit u "
                   "JOIN unit_value v ON v.unit_id = u.id AND v.name = 'V1' ORDER BY u.number"),
            "1|{Serial Number} SN-1001|pass|0\n2|{Serial Number} SN-1002|fail|1\n"
            "3|{Serial Number} SN-1002|pass|0\n4|{Serial Number} SN-1003|aborted|0\n");
  // Each unit's exchanges, timed: the script's and [CMDVERIFY]'s commands, the status polls.
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, sum(e.command != 'MST'), sum(e.command = 'MST') > 0, "
                   "min(e.round_trip_us) > 0, sum(e.outcome = 'ok') = count(*), min(e.device) "
                   "LIKE 'Axis 01 {%' FROM exchange e JOIN unit u ON u.id = e.unit_id GROUP BY 1"),
            "1|9|1|1|1|1\n2|9|1|1|1|1\n3|9|1|1|1|1\n4|9|1|1|1|1\n");
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, a.answer, a.kind FROM answer a JOIN unit u "
                   "ON u.id = a.unit_id WHERE a.kind != 'input' ORDER BY a.id"),
            "1|PASS|pass/fail\n2|FAIL|pass/fail\n3|PASS|pass/fail\n4||esc\n");
  EXPECT_EQ(Sqlite(db, "PRAGMA integrity_check"), "ok\n");
  // The CSV tables agree: the unit nobody judged is in the fail table as ESC.
  const std::string tables = bench.folder / (kAuto + "MotorTest0001");
  EXPECT_EQ(SerialsAndVerdicts(Read(tables + "_Pass.csv")), "SN-1001 Pass|SN-1002 Pass|");
  EXPECT_EQ(SerialsAndVerdicts(Read(tables + "_Fail.csv")), "SN-1002 Fail|SN-1003 ESC|");
  // Every verdict of each unit, the operator's with its question.
  EXPECT_EQ(Sqlite(db,
                   "SELECT u.number, d.keyword, d.subject, d.outcome FROM verdict d JOIN unit u "
                   "ON u.id = d.unit_id WHERE d.keyword != '[CMDVERIFY]' OR d.outcome != 'pass' "
                   "ORDER BY d.id"),
            "1|[USERCHECK]|Does the motor run smoothly|pass\n"
            "2|[USERCHECK]|Does the motor run smoothly|fail\n2|[LOOPONFAIL]||fail\n"
            "3|[USERCHECK]|Does the motor run smoothly|pass\n"
            "4|[USERCHECK]|Does the motor run smoothly|esc\n");
}

// A PASS before an ESC at a later prompt of the unit is kept in both records.
TEST(StationRecords, AUnitJudgedBeforeAnEscKeepsItsVerdictInBothRecords) {
  SimulatedBench bench;
  WriteScript(
      bench.folder, 5,
      "[SAVERESULTSAUTOESC]Judged\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)X(R1)Y(R2)Result(PF)\n"
      "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[USERCHECK]Good\n[VARINPUT2]Note\n"
      "[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n");
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "answers.txt", "SN-9\nPASS\nESC\n"));
  const auto run = RunProcess(bench.Terminal({"--answers", bench.folder / "answers.txt", "/A5"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Sqlite(bench.folder / "AppResults/records.db", "SELECT number, verdict FROM unit"),
            "1|pass\n");
  EXPECT_EQ(SerialsAndVerdicts(Read(bench.folder / (kAuto + "Judged0001_Pass.csv"))), "SN-9 Pass|");
}

}  // namespace
