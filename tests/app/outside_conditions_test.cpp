// The real program under what its surroundings do to it: readers that go
// away, reports into devices and pipes, early signals, late or CR LF replies,
// huge input lines.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "devices/peer.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::InteractiveProcess;
using testing_support::Read;
using testing_support::RunProcess;
using testing_support::SimulatedBench;

// A data folder whose one serial entry is a controller the test plays itself
// on a pseudo-terminal, and the real halvorn-terminal on it.
struct PlayedController {
  PlayedController() {
    platform::DataFolders(folder.Path()).EnsureDataFolders();
    EXPECT_GE(peer.slave, 0) << "no pseudo-terminal available";
    EXPECT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/COMM_Ports.cfg",
                                          "Axis 01 {" + peer.path + ":115200}\r\n"));
  }
  std::vector<std::string> Terminal(std::vector<std::string> args) {
    return testing_support::Terminal(folder.Path(), std::move(args));
  }
  testing_support::TestFolder folder;
  devices_test::Peer peer;
};

// Everything a descriptor holds now, without waiting.
std::string Drain(int fd) {
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    got.append(buffer, static_cast<std::size_t>(n));
  return got;
}

// The path process `pid` runs now ("" once it is gone).
std::string RunningProgram(int pid) {
  char target[4096];
  const ssize_t n =
      ::readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// --report into a read FIFO, a character device (/dev/null's numbers) and a
// link to /proc/self/fd/1 (made in the test folder, never the system's own)
// is written through and leaves each in place; an unread FIFO loses the
// report (4), a folder is refused.
TEST(OutsideConditions, ReportsGoIntoDevicesAndPipesWithoutReplacingThem) {
  SimulatedBench bench;
  const std::string fifo = bench.folder / "report.fifo", lone = bench.folder / "lone.fifo";
  const std::string device = bench.folder / "report.null", standardOutput = bench.folder / "stdout";
  ASSERT_EQ(::symlink("/proc/self/fd/1", standardOutput.c_str()), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600) + ::mkfifo(lone.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const bool devices = ::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;

  const struct {
    std::string report;
    int status;
    mode_t type;  // what stands at the report's name afterwards
    const char* said;
  } cases[] = {
      {fifo, 0, S_IFIFO, ""},
      {device, 0, S_IFCHR, ""},
      {standardOutput, 0, S_IFLNK, ""},
      {lone, 4, S_IFIFO, "nothing reads"},
      {bench.folder.Path(), 4, S_IFDIR, "it is a folder"},
  };
  for (const auto& c : cases) {
    if (c.type == S_IFCHR && !devices) continue;
    const auto run = RunProcess(bench.Terminal({"--exec", "ID", "--report", c.report}));
    EXPECT_EQ(run.exitCode, c.status) << c.report << "\n" << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    struct stat after;
    ASSERT_EQ(::lstat(c.report.c_str(), &after), 0) << c.report;
    EXPECT_EQ(after.st_mode & S_IFMT, c.type) << c.report;
    const std::string received = c.report == fifo ? Drain(reader) : run.out;
    if (c.status == 0 && c.type != S_IFCHR) {
      EXPECT_NE(received.find("<testsuite"), std::string::npos) << c.report;
    }
  }
  ::close(reader);
  if (!devices) GTEST_SKIP() << "no character device could be made: run as root to check it";
}

// A signal in the program's first milliseconds is acted on with its status
// and the motor stopped: SIGINT is ESC (a script's loop finishes its unit and
// saves; a one-line run ends with 130), SIGTERM the safe stop (143). The
// signal is handed on held, so even one before the first instruction waits.
TEST(OutsideConditions, ASignalWhileTheProgramStartsIsActedOnWithItsStatus) {
  SimulatedBench bench;
  testing_support::WriteScript(bench.folder, 2,
                               "[SAVERESULTSAUTOESC]Unit\n[LOOPSTART]\n[CMDREPLY1]JX+\n"
                               "[CMDREPLY2]PX\n[CMDREPLY3]ABORT\n[STORERESULTS]\n"
                               "[LOOPEND]\n[ESCSTOP]\n");
  const std::string report = bench.folder / "report.xml";
  const std::string results = bench.folder / "AppPrograms/AutoControl/AutoResults/Unit0001.txt";
  const struct {
    std::vector<std::string> args;
    int signal;
    int status;
    bool saves;  // the script's ESC path saves its unit
  } runs[] = {
      {{"/A2", "--report", report}, SIGINT, 0, true},
      {{"/A2", "--report", report}, SIGTERM, 143, false},
      {{"--exec", "JX+,DELAY=60000", "--report", report}, SIGINT, 130, false},
      {{"--exec", "JX+,DELAY=60000", "--report", report}, SIGTERM, 143, false},
  };
  for (const auto& run : runs) {
    for (int milliseconds : {0, 5, 10, 20, 50}) {
      platform::RemoveFile(report);
      platform::RemoveFile(results);
      const std::string what = run.args[0] + " signal " + std::to_string(run.signal) + " at " +
                               std::to_string(milliseconds) + " ms";
      InteractiveProcess terminal(bench.Terminal(run.args), {}, {run.signal});
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      terminal.Signal(run.signal);
      EXPECT_EQ(terminal.Wait(30), run.status) << what << "\n" << terminal.Err();
      EXPECT_FALSE(terminal.KilledBySignal()) << what;
      EXPECT_EQ(bench.MotionBits(), 0) << what << "\n" << terminal.Out();
      EXPECT_TRUE(platform::FileExists(report)) << what;
      EXPECT_TRUE(!run.saves || platform::FileExists(results)) << what << "\n" << terminal.Out();
      // Held from the start, a SIGINT is there before the one line runs: it
      // is not run at all.
      if (milliseconds == 0 && run.signal == SIGINT && run.args[0] == "--exec") {
        EXPECT_EQ(terminal.Out().find("JX+"), std::string::npos) << terminal.Out();
      }
    }
  }
}

// A SIGTERM the moment halvorn-terminal has become the program proper (still
// loading its libraries) waits for the handlers: a safe stop, 143.
TEST(OutsideConditions, ASignalWhileTheProgramLoadsItsLibrariesWaitsForItsHandlers) {
  SimulatedBench bench;
  for (int run = 0; run < 5; ++run) {
    InteractiveProcess terminal(bench.Terminal({"--exec", "JX+,DELAY=60000"}));
    bool proper = false;
    for (int poll = 0; poll < 2'000'000 && !proper; ++poll) {
      const std::string running = RunningProgram(terminal.Pid());
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

// Output into `head`, which stops reading: the loss is said, the motor
// stopped, the ESC path saves the unit, the report is written, status 141.
TEST(OutsideConditions, AReaderThatGoesAwayStopsTheRunSafelyAndItsRecordsAreSaved) {
  SimulatedBench bench;
  std::string line = "JX+";
  for (int i = 0; i < 400; ++i) line += ",PX";
  testing_support::WriteScript(
      bench.folder, 3,
      "[SAVERESULTSAUTOESC]Unit\n[TRACKCSVRESULTS]\n[DEFINECSV]Serial(V1)Result(PF)\n"
      "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[CMDREPLY1]" +
          line + "\n[CMDREPLY2]ABORT\n[STORERESULTS]\n[UPDATECSV]\n[LOOPEND]\n[ESCSTOP]\n");
  std::string answers;
  for (int unit = 1; unit <= 50; ++unit) answers += "SN" + std::to_string(unit) + "\n";
  ASSERT_TRUE(platform::WriteFileAtomic(bench.folder / "answers.txt", answers));
  const std::string report = bench.folder / "report.xml";
  std::vector<std::string> argv{"/bin/bash", "-c", "set -o pipefail; \"$0\" \"$@\" | head -c 100"};
  for (const std::string& arg :
       bench.Terminal({"--answers", bench.folder / "answers.txt", "--report", report, "/A3"}))
    argv.push_back(arg);
  const auto run = RunProcess(argv);
  EXPECT_EQ(run.exitCode, 141) << run.err;
  EXPECT_EQ(run.out.size(), 100u);
  EXPECT_NE(run.err.find("standard output was closed by its reader"), std::string::npos) << run.err;
  EXPECT_EQ(bench.MotionBits(), 0);
  const std::string results = bench.folder / "AppPrograms/AutoControl/AutoResults/Unit0001";
  EXPECT_EQ(Read(results + ".txt").rfind(" >> JX+\r\n", 0), 0u);
  // The unit the broken pipe cut short is no pass.
  EXPECT_EQ(Read(results + "_Fail.csv"), "Serial,Result\r\nSN1,ESC\r\n");
  EXPECT_NE(Read(report).find("<testsuite"), std::string::npos);
}

// SIGTERM while a dialog waits for its answer from a FIFO that has no writer
// yet stops the run safely with 143.
TEST(OutsideConditions, SigTermWhileTheAnswersFifoHasNoWriterEndsWith143) {
  SimulatedBench bench;
  testing_support::WriteScript(bench.folder, 4,
                               "[LOOPSTART]\n[VARINPUT1]Enter Serial Number\n[LOOPEND]\n");
  const std::string fifo = bench.folder / "answers.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  InteractiveProcess station(bench.Terminal({"--answers", fifo, "/A4"}));
  ASSERT_TRUE(station.WaitForError("Enter Serial Number", 1, 30)) << station.Err();
  station.Signal(SIGTERM);
  EXPECT_EQ(station.Wait(30), 143) << station.Err();
}

// A controller that ends its replies with CR LF: a program's expected values
// all pass. A settle time that is no number is named with its file and line
// on standard error, and the run goes on with the default.
TEST(OutsideConditions, ACrLfControllersRepliesMeetTheirExpectedValues) {
  PlayedController axis;
  axis.peer.Serve([](const std::string& frame) {
    const std::string command = frame.substr(3, frame.size() - 4);
    return (command == "ID" ? std::string("CTL 01") : command == "PX" ? "1234" : "5000") + "\r\n";
  });
  ASSERT_TRUE(
      platform::WriteFileAtomic(axis.folder / "crlf.prg", "ID,CTL 01\nPX,1234\nHSPD,5000\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(axis.folder / "AppConfig/COMM_Timing.cfg",
                                        "# the serial link's waits\r\nSETTLE=-2\r\n"));
  const auto run = RunProcess(axis.Terminal({"--program", axis.folder / "crlf.prg"}));
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(run.out.find("!!"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("COMM_Timing.cfg, line 2: \"SETTLE=-2\": the settle time is negative"),
            std::string::npos)
      << run.err;
}

// On the real 10-second time-out: ID answered after 10.4 s (others after
// 0.3 s); the late text is dropped and each later command gets its own reply.
TEST(OutsideConditions, AReplyThatComesTooLateIsCreditedToNoLaterCommand) {
  PlayedController axis;
  std::thread late;
  axis.peer.Start([&late](devices_test::Peer& p) {
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
  const auto run = RunProcess(axis.Terminal({"--exec", "ID,EO,PX"}));
  if (late.joinable()) late.join();
  EXPECT_EQ(run.exitCode, 5) << run.out;  // ID got no reply
  EXPECT_EQ(run.out.find("LATE-ID-REPLY"), std::string::npos) << run.out;
  for (const char* reply : {"(SERIAL Timeout)", "Reply: EO-REPLY", "Reply: PX-REPLY"})
    EXPECT_NE(run.out.find(reply), std::string::npos) << reply << "\n" << run.out;
}

// A second client of halvorn-sim --tcp (one client at a time, as a device
// server) is told why: not available (3), the port held by another client.
// Once the first client has gone the same entry works.
TEST(OutsideConditions, ADeviceServerThatTurnsTheLinkAwayIsNotAvailableWithItsReason) {
  testing_support::Simulator server({"--tcp", "0", "--instant"});
  ASSERT_TRUE(server.process.WaitForOutput("tcp://127.0.0.1:", 1, 30)) << server.process.Out();
  const std::string out = server.process.Out().substr(server.process.Out().find("tcp://"));
  const std::string url = out.substr(0, out.find('\n'));
  const int port = std::stoi(url.substr(url.rfind(':') + 1));
  platform::DataFolders(server.folder.Path()).EnsureDataFolders();
  ASSERT_TRUE(
      platform::WriteFileAtomic(server.folder / "AppConfig/COMM_Map.cfg", "COM7=" + url + "\n"));
  ASSERT_TRUE(platform::WriteFileAtomic(server.folder / "AppConfig/COMM_Ports.cfg",
                                        "Net axis 01 {COM7:115200}\r\n"));
  const auto terminal = testing_support::Terminal(server.folder.Path(), {"--exec", "ID"});
  // The first client: connected before the terminal, so served first.
  const int first = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(first, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const auto refused = RunProcess(terminal);
  EXPECT_EQ(refused.exitCode, 3) << refused.out << refused.err;
  EXPECT_NE(refused.err.find(url + " closed the connection before it answered anything: its port "
                                   "is held by another client"),
            std::string::npos)
      << refused.err;
  ::close(first);
  // The server sees its first client leave in its own time.
  testing_support::ProcessResult served;
  for (int attempt = 0; attempt < 100; ++attempt) {
    served = RunProcess(terminal);
    if (served.exitCode != 3) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(served.exitCode, 0) << served.err;
  EXPECT_NE(served.out.find("Reply: HALVORN SIM 01"), std::string::npos) << served.out;
}

// The peak resident set (VmHWM) of process `pid` in KiB; 0 when unreadable.
long PeakMemoryKiB(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// One answer line of 300 MB through a pipe: its first 16 MiB kept and the cut
// said, the next answer read as ever, never more than 64 MB held (only
// printed under the address sanitizer, whose shadow memory counts).
TEST(OutsideConditions, AnAnswerOf300MBThroughAPipeIsCutAndMemoryStaysBounded) {
  SimulatedBench bench;
  testing_support::WriteScript(bench.folder, 6,
                               "[VARINPUT1]Enter Serial Number\n[VARINPUT2]Enter Bench\n"
                               "[SHOWVAR2]\n[EXIT]\n");
  InteractiveProcess station(bench.Terminal({"/A6"}));
  std::thread operatorAtThePipe([&station] {
    const std::string block(1 << 20, '7');
    for (int megabytes = 0; megabytes < 300; ++megabytes) station.Write(block);
    station.Write("\n");
  });
  // The first answer has been taken whole once the second is asked for.
  const bool asked = station.WaitForError("Enter Bench", 1, 240);
  operatorAtThePipe.join();
  const long peak = PeakMemoryKiB(station.Pid());
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

}  // namespace
