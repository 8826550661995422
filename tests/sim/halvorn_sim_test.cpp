// The simulated controller and its line; halvorn-sim on its port, over TCP, behind ser2net.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "app/links.h"
#include "app/program.h"
#include "devices/serial_transport.h"
#include "platform/files.h"
#include "sim/controller.h"
#include "sim/serial_line.h"
#include "support/child_process.h"

namespace {

using sim::Controller;
const std::string kIncremental = std::to_string(Controller::kStatusIncremental);

// A controller on a clock that only the test moves.
struct Clocked {
  explicit Clocked(bool instant, std::vector<std::string> setup = {}) {
    controller = std::make_unique<Controller>(
        Controller::Options{"SIM TEST 01", instant, [this] { return now; }});
    for (const std::string& command : setup) EXPECT_EQ(controller->Execute(command), "OK");
  }
  // The replies to `commands` run when the clock reads `at`, joined by blanks.
  std::string At(double at, std::vector<std::string> commands) {
    now = at;
    std::string replies;
    for (const std::string& c : commands)
      replies += (replies.empty() ? "" : " ") + controller->Execute(c);
    return replies;
  }
  Clocked(const Clocked&) = delete;  // the clock is read through `this`
  double now = 0;
  std::unique_ptr<Controller> controller;
};

TEST(Controller, ParametersStoreAnyIntegerAndReadItBack) {
  Clocked sim(true);
  const char *kMin = "-9223372036854775808", *kMax = "9223372036854775807";
  for (std::string name : {"LSPD", "HSPD", "ACC", "DEC", "EO"}) {
    for (auto [written, read] :
         {std::pair{"-5", "-5"}, {"+12", "12"}, {" 77 ", "77"}, {kMax, kMax}, {kMin, kMin}})
      EXPECT_EQ(sim.At(0, {name + "=" + written, name}), "OK " + std::string(read)) << name;
    // A value that is not a whole 64-bit number leaves the last one.
    for (const char* bad : {"", "1.5", "abc", "12a", "9223372036854775808", "+-1", "- 1"})
      EXPECT_EQ(sim.At(0, {name + "=" + bad, name}), "?VALUE " + std::string(kMin)) << name << bad;
  }
  EXPECT_EQ(sim.At(0, {"  ID  "}), "SIM TEST 01");
  for (const char* unknown : {"", "FOO", "id", "px", "LSPDX", "PX?", "JX", "JY+", "STOP1"})
    EXPECT_EQ(sim.At(0, {unknown}), "?UNKNOWN") << unknown;
  EXPECT_EQ(sim.At(0, {"X", "XABC", "X1.5", "PX=", "PX=abc"}),
            "?VALUE ?VALUE ?VALUE ?VALUE ?VALUE");
}

TEST(Controller, InstantMovesEndAtOnceInAbsoluteAndIncrementalMode) {
  Clocked sim(true);
  EXPECT_EQ(sim.At(0, {"X1000", "PX", "MST", "INC", "X-250", "PX", "MST"}),
            "OK 1000 0 OK OK 750 " + kIncremental);
  EXPECT_EQ(sim.At(0, {"ABS", "X-9000", "STAT"}), "OK OK -9000:0:0");
  EXPECT_EQ(sim.At(0, {"PX=9223372036854775807", "INC", "X1"}), "OK OK ?VALUE");
  EXPECT_EQ(sim.At(0, {"ABS", "X-9223372036854775808", "PX"}), "OK OK -9223372036854775808");
}

// Steps "when command>answer" split by ";" (STAT is position:speed:status).
void Play(Clocked&& sim, const std::string& steps) {
  std::istringstream in(steps);
  for (std::string step; std::getline(in, step, ';');) {
    const std::size_t blank = step.find(' ', 1), arrow = step.find('>');
    EXPECT_EQ(sim.At(std::stod(step), {step.substr(blank + 1, arrow - blank - 1)}),
              step.substr(arrow + 1))
        << step;
  }
}
const std::vector<std::string> kRamps = {"LSPD=100", "HSPD=1100", "ACC=100", "DEC=200"},
                               kEven = {"LSPD=0", "HSPD=1000", "ACC=1000", "DEC=1000"},
                               kFlat = {"LSPD=1000", "HSPD=1000", "ACC=0", "DEC=0"};

// Ramps of 10000 and 5000 pulses/s^2: 60 pulses up, 120 down, 820 at top speed.
TEST(Controller, MoveFollowsATrapezoidAndEndsOnTarget) {
  Play(Clocked(false, kRamps),
       "0 X1000>OK; 0.05035 STAT>17:603:1; 0.50035 STAT>500:1100:4;"
       " 0.94035 STAT>961:625:2; 1.2 STAT>1000:0:0");
  // A short move peaks below top speed: a triangle, up for 0.316 s and down again.
  Clocked sim(false, kEven);
  ASSERT_EQ(sim.At(0, {"X100"}), "OK");
  long long fastest = 0;
  for (int i = 1; i < 100; ++i) fastest = std::max(fastest, std::stoll(sim.At(i * 0.01, {"PS"})));
  EXPECT_TRUE(fastest >= 300 && fastest <= 317) << fastest;  // sqrt(100000) = 316
  EXPECT_EQ(sim.At(1, {"PX", "MST"}), "100 0");
}

// STOP ramps motion down, ABORT ends it at once; a new motion waits for rest.
TEST(Controller, JogsStopsAndAbortsEndAtRest) {
  const auto status = [](int bits) { return std::to_string(bits); };
  Play(Clocked(false, kRamps),
       "0 JX+>OK; 0.05 MST>" +
           status(Controller::kStatusAccelerating | Controller::kStatusJogging) +
           "; 1.1005 STAT>1160:1100:12; 1.1005 STOP>OK; 1.22395 STAT>1258:482:2; 5 STAT>1280:0:0");
  Play(Clocked(false, kFlat),
       "0 JX->OK; 2.5 ABORT>OK; 2.5 STAT>-2500:0:" + status(Controller::kStatusAborted) +
           "; 10 PX>-2500; 10 X-2400>OK; 10 MST>" + status(Controller::kStatusConstantSpeed));
  Play(Clocked(false, kEven),
       "0 X10000>OK; 1 STOP>OK; 10 PX>1000; 10 PX=0>OK; 10 X1000>OK;"
       " 11.5 STOP>OK; 20 PX>1000");
  Play(Clocked(false, kFlat),
       "0 X1000>OK; 0.5 X0>?BUSY; 0.5 JX+>?BUSY; 0.5 PX=0>?BUSY;"
       " 0.5 HSPD=2000>OK; 0.5 PX>500; 1 X0>OK; 1.5 PX>0");
  Play(Clocked(false, {"LSPD=-5", "HSPD=0", "ACC=-1", "DEC=0"}), "0 X3>OK; 2.5 STAT>2:1:4; 3 PX>3");
}

TEST(SerialLine, OnlyTheAddressedControllerAnswersFramesThatMaySpanReads) {
  sim::SerialLine line;
  for (const char* address : {"01", "02"})
    line.AddController(address, {std::string("AXIS ") + address, true, {}});
  // An "@" starts over; overlong frames are noise and dropped.
  const std::pair<std::string, const char*> feeds[] = {
      {"@01ID\r@02ID\r@03ID\r@01X5\r@02PX\r@01PX\r", "AXIS 01\rAXIS 02\rOK\r0\r5\r"},
      {"junk\r\n@0", ""},
      {"2I", ""},
      {"D\rmore junk", "AXIS 02\r"},
      {"@0@01ID\r", "AXIS 01\r"},
      {"@0\r@\r", ""},
      {"@01" + std::string(sim::SerialLine::kMaxFrameBytes + 10, 'A') + "\r", ""},
      {"@01FOO\r", "?UNKNOWN\r"}};
  for (const auto& [bytes, answer] : feeds) EXPECT_EQ(line.Feed(bytes), answer) << bytes;
  // Each way onto the line reads its own frames.
  sim::SerialLine::Reader other;
  std::string answers = line.Feed("@01I");
  answers += line.Feed("@02", other);
  answers += line.Feed("D\r");
  answers += line.Feed("ID\r", other);
  EXPECT_EQ(answers, "AXIS 01\rAXIS 02\r");
}

using Replies = std::vector<std::string>;
constexpr char kSer2net[] = "/usr/sbin/ser2net";

using testing_support::Simulator;

// A loopback TCP port that was free a moment ago.
int FreeLoopbackPort() {
  int port = 0;
  ::close(testing_support::BoundLoopbackSocket(port));
  return port;
}

// Runs commands as one command line would: open, exchange each, close.
std::vector<std::string> Exchange(devices::SerialTransport& serial, const std::string& entry,
                                  const std::vector<std::string>& commands) {
  const platform::Result<devices::LinkHandle> opened = serial.Open(entry);
  if (!opened) return {opened.Text()};
  std::vector<std::string> replies(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i)
    serial.SendReceive(*opened, commands[i], replies[i]);
  serial.Close(*opened);
  return replies;
}

TEST(HalvornSim, PrintsItsPortFirstAndRemovesItsLinkWhenStopped) {
  for (int signal : {SIGTERM, SIGINT}) {
    Simulator sim({"--instant"});
    ASSERT_NE(sim.port, "");
    sim.process.Signal(signal);
    EXPECT_EQ(sim.process.Wait(30), 0);
    EXPECT_EQ(sim.process.Out().rfind(sim.port + "\n", 0), 0u) << sim.process.Out();
    struct stat st;
    EXPECT_NE(::lstat(sim.link.c_str(), &st), 0) << "the link must go with the simulator";
  }
  const std::vector<std::string> mistakes[] = {{"--address", "1"}, {"--address"},  {"--link"},
                                               {"--bogus"},        {"--tcp"},      {"--tcp", "x"},
                                               {"--tcp", "65536"}, {"--tcp", "-1"}};
  for (std::vector<std::string> args : mistakes) {
    args.insert(args.begin(), testing_support::BinDir() + "/halvorn-sim");
    auto result = testing_support::RunProcess(args);
    EXPECT_EQ(std::pair(result.exitCode, result.out), std::pair(2, std::string())) << args[1];
  }
}

TEST(HalvornSim, AnswersOnlyItsAddressesOnThePortAndOverTcp) {
  const int tcp = FreeLoopbackPort();
  Simulator sim({"--address", "01", "--address", "02", "--instant", "--tcp", std::to_string(tcp)});
  ASSERT_NE(sim.port, "");
  ASSERT_TRUE(platform::CreateDirectory(sim.folder / "AppConfig"));
  ASSERT_TRUE(platform::WriteFileAtomic(
      sim.folder / "AppConfig/COMM_Map.cfg",
      "COM5=" + sim.link + "\nCOM6=tcp://127.0.0.1:" + std::to_string(tcp) + "\n"));
  devices::SerialTransport serial(sim.folder.Path(), 0.3);
  EXPECT_EQ(Exchange(serial, "X axis 01 {COM5:9600}", {"ID", "X100"}),
            (Replies{"HALVORN SIM 01", "OK"}));
  EXPECT_EQ(Exchange(serial, "X axis 01 {COM6:9600}", {"PX", "X-5"}), (Replies{"100", "OK"}));
  EXPECT_EQ(Exchange(serial, "Y axis 02 {COM6:9600}", {"ID", "PX"}),
            (Replies{"HALVORN SIM 02", "0"}));
}

TEST(HalvornSim, PacedLineTakesAtLeastTheWireTimeAndMovesTakeTime) {
  Simulator sim({"--pace"});
  ASSERT_NE(sim.port, "");
  devices::SerialTransport serial(sim.folder.Path());
  auto start = std::chrono::steady_clock::now();
  // 100000 pulses at 1000 per second: still under way however slow the machine.
  EXPECT_EQ(Exchange(serial, "Axis 01 {" + sim.port + ":9600}",
                     {"ID", "LSPD=1000", "HSPD=1000", "X100000", "MST"}),
            (Replies{"HALVORN SIM 01", "OK", "OK", "OK", "4"}));
  // 76 characters of 10 bits each way at 9600 baud: at least 79.17 ms.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(79'166));
}

// Something listens on 127.0.0.1:`port` (read from the kernel's table, not by connecting).
bool Listening(int port) {
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  std::ifstream table("/proc/net/tcp");
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string slot, address, remote, state;
    fields >> slot >> address >> remote >> state;
    if (address == local && state == "0A") return true;
  }
  return false;
}

class DeviceServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::FileExists(kSer2net)) GTEST_SKIP() << "ser2net is not installed";
    ASSERT_NE(sim.port, "");
    ASSERT_TRUE(raw > 0 && telnet > 0 && raw != telnet);
    // The telnet port defaults to 9600 baud: only RFC 2217 can change the rate.
    ASSERT_TRUE(platform::WriteFileAtomic(
        sim.folder / "ser2net.yaml",
        "connection: &raw\n  accepter: tcp,127.0.0.1," + std::to_string(raw) +
            "\n  connector: serialdev," + sim.port + ",115200n81,local\n" +
            "connection: &telnet\n  accepter: telnet(rfc2217),tcp,127.0.0.1," +
            std::to_string(telnet) + "\n  connector: serialdev," + sim.port + ",9600n81,local\n"));
    server = std::make_unique<testing_support::InteractiveProcess>(
        std::vector<std::string>{kSer2net, "-n", "-u", "-c", sim.folder / "ser2net.yaml"});
    for (int i = 0; i < 1000 && !(Listening(raw) && Listening(telnet)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Listening(raw) && Listening(telnet)) << "ser2net did not start";
    ASSERT_TRUE(platform::CreateDirectory(sim.folder / "AppConfig"));
    ASSERT_TRUE(platform::WriteFileAtomic(
        sim.folder / "AppConfig/COMM_Map.cfg",
        "COM1=" + sim.port + "\nCOM2=tcp://127.0.0.1:" + std::to_string(raw) +
            "\nCOM3=rfc2217://localhost:" + std::to_string(telnet) + "\n"));
    ASSERT_TRUE(platform::WriteFileAtomic(
        sim.folder / "AppConfig/COMM_Ports.cfg",
        "Local 01 {COM1:57600}\r\nRaw 01 {COM2:115200}\r\nTelnet 01 {COM3:57600}\r\n"));
  }

  Simulator sim{{"--instant"}};
  const int raw = FreeLoopbackPort();
  const int telnet = FreeLoopbackPort();
  std::unique_ptr<testing_support::InteractiveProcess> server;
};

// The real program with every kind of link: the same replies over the server as locally.
TEST_F(DeviceServer, LineGivesTheSameRepliesAsOverTheLocalPort) {
  ::setenv("HALVORN_SIM_HID_BOARDS", "1", 1);
  ::setenv("HALVORN_SIM_USB_CONTROLLERS", "1", 1);
  auto run = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--headless", "--data-root", sim.folder.Path()});
    std::ostringstream out, err;
    std::istringstream in;
    int status = app::RunProgram(arguments, {in, out, err, -1}, app::InstallRealLinks);
    EXPECT_EQ(status, app::kExitOk) << err.str();
    return std::regex_replace(out.str(), std::regex(R"( \([0-9.]+ms\))"), "");
  };
  EXPECT_EQ(run({"--list-devices"}),
            "Torvane Sim Board 1\nZDK-SIM4-01" + std::string(46, ' ') +
                "[0]\nLocal 01 {COM1:57600}\nRaw 01 {COM2:115200}\nTelnet 01 {COM3:57600}\n");
  std::string shown[5];
  for (int device = 0; device < 5; ++device)
    shown[device] = run({"--device", std::to_string(device), "--exec", "LSPD=500,LSPD,ID,PX"});
  ::unsetenv("HALVORN_SIM_HID_BOARDS");
  ::unsetenv("HALVORN_SIM_USB_CONTROLLERS");
  for (auto [device, identity] :
       {std::pair{0, "Torvane Sim Board 1"}, {1, "Zendrik-SIM4"}, {2, "HALVORN SIM 01"}}) {
    EXPECT_NE(shown[device].find("Reply: " + std::string(identity) + "\r\n"), std::string::npos)
        << shown[device];
    EXPECT_NE(shown[device].find("Reply: 500\r\n"), std::string::npos) << shown[device];
  }
  EXPECT_EQ(shown[3] + shown[4], shown[2] + shown[2]);

  // While the telnet link is open, the server's port runs at the entry's rate.
  devices::SerialTransport serial(sim.folder.Path());
  const platform::Result<devices::LinkHandle> opened = serial.Open("Telnet 01 {COM3:57600}");
  ASSERT_TRUE(opened) << opened.Text();
  int fd = ::open(sim.port.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  termios t{};
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  EXPECT_EQ(std::pair(::cfgetospeed(&t), t.c_cflag & (CSIZE | PARENB | CSTOPB)),
            std::pair(speed_t{B57600}, tcflag_t{CS8}));
  ::close(fd);
}

TEST_F(DeviceServer, StoppedServerGivesTheLinksErrorRepliesAndNoHang) {
  devices::SerialTransport serial(sim.folder.Path(), 60.0);
  devices::LinkHandle handles[2] = {0, 0};
  std::string reply;
  for (int i = 0; i < 2; ++i) {
    const platform::Result<devices::LinkHandle> opened =
        serial.Open(i == 0 ? "Raw 01 {COM2:115200}" : "Telnet 01 {COM3:57600}");
    ASSERT_TRUE(opened) << opened.Text();
    handles[i] = *opened;
    serial.SendReceive(handles[i], "ID", reply);
    EXPECT_EQ(reply, "HALVORN SIM 01");
  }
  server->Signal(SIGKILL);
  server->Wait(30);  // gone, with every socket it had
  auto start = std::chrono::steady_clock::now();
  for (devices::LinkHandle handle : handles) {
    EXPECT_EQ(serial.SendReceive(handle, "PX", reply), devices::LinkStatus::TimedOut);
    EXPECT_NE(serial.SendReceive(handle, "PX", reply), devices::LinkStatus::Ok);
    EXPECT_TRUE(reply == "(COM Error)" || reply == "(SERIAL Timeout)") << reply;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
