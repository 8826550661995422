// halvorn-sim behind a real serial device server, Debian's ser2net, reached
// through the port map in raw mode and with RFC 2217, on loopback ports.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "app/links.h"
#include "app/program.h"
#include "platform/files.h"
#include "simulator_process.h"

namespace {

using Replies = std::vector<std::string>;
constexpr char kSer2net[] = "/usr/sbin/ser2net";

// True once something listens on 127.0.0.1:`port`, read from the kernel's
// table so that no connection disturbs the server.
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
    // The server's own default for the port is 9600 baud: only RFC 2217 can
    // give the line another rate.
    ASSERT_TRUE(platform::WriteFileAtomic(
        sim.folder / "ser2net.yaml",
        "connection: &raw\n  accepter: tcp,127.0.0.1," + std::to_string(raw) +
            "\n  connector: serialdev," + sim.port + ",115200n81,local\n" +
            "connection: &telnet\n  accepter: telnet(rfc2217),tcp,127.0.0.1," +
            std::to_string(telnet) + "\n  connector: serialdev," + sim.port + ",9600n81,local\n"));
    server = std::make_unique<testing_support::BackgroundProcess>(
        std::vector<std::string>{kSer2net, "-n", "-u", "-c", sim.folder / "ser2net.yaml"});
    for (int i = 0; i < 1000 && !(Listening(raw) && Listening(telnet)); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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

  sim_test::Simulator sim{{"--instant"}};
  const int raw = sim_test::FreeLoopbackPort();
  const int telnet = sim_test::FreeLoopbackPort();
  std::unique_ptr<testing_support::BackgroundProcess> server;
};

TEST_F(DeviceServer, LineGivesTheSameRepliesAsOverTheLocalPort) {
  std::string shown[3];
  for (int device = 0; device < 3; ++device) {
    std::ostringstream out, err;
    std::istringstream in;
    EXPECT_EQ(app::RunProgram({"--headless", "--data-root", sim.folder.Path(), "--device",
                               std::to_string(device), "--exec", "LSPD=500,LSPD,ID,PX"},
                              app::ProgramIo{in, out, err, -1}, app::InstallRealLinks),
              app::kExitOk)
        << err.str();
    // Everything but the exchange times must match.
    shown[device] = std::regex_replace(out.str(), std::regex(R"( \([0-9.]+ms\))"), "");
  }
  EXPECT_NE(shown[0].find("Reply: HALVORN SIM 01\r\n"), std::string::npos) << shown[0];
  EXPECT_NE(shown[0].find("Reply: 500\r\n"), std::string::npos) << shown[0];
  EXPECT_EQ(shown[1], shown[0]);
  EXPECT_EQ(shown[2], shown[0]);

  // While the telnet link is open, the server's port runs at the entry's rate.
  devices::SerialTransport serial(sim.folder.Path());
  devices::LinkHandle handle = 0;
  ASSERT_EQ(serial.Open("Telnet 01 {COM3:57600}", handle), devices::LinkStatus::Ok)
      << serial.LastOpenError();
  int fd = ::open(sim.port.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  termios t{};
  EXPECT_EQ(::tcgetattr(fd, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B57600));
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  ::close(fd);
}

TEST_F(DeviceServer, StoppedServerGivesTheLinksErrorRepliesAndNoHang) {
  devices::SerialTransport serial(sim.folder.Path(), 60.0);
  devices::LinkHandle handles[2] = {0, 0};
  std::string reply;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(serial.Open(i == 0 ? "Raw 01 {COM2:115200}" : "Telnet 01 {COM3:57600}", handles[i]),
              devices::LinkStatus::Ok)
        << serial.LastOpenError();
    serial.SendReceive(handles[i], "ID", reply);
    EXPECT_EQ(reply, "HALVORN SIM 01");
  }
  ::kill(server->Pid(), SIGKILL);
  ::waitpid(server->Pid(), nullptr, 0);  // gone, with every socket it had
  auto start = std::chrono::steady_clock::now();
  for (devices::LinkHandle handle : handles) {
    EXPECT_EQ(serial.SendReceive(handle, "PX", reply), devices::LinkStatus::TimedOut);
    EXPECT_NE(serial.SendReceive(handle, "PX", reply), devices::LinkStatus::Ok);
    EXPECT_TRUE(reply == "(COM Error)" || reply == "(SERIAL Timeout)") << reply;
  }
  // Far below the 60-second time-out: a lost connection is not waited for.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  devices::LinkHandle again = 0;
  EXPECT_EQ(serial.Open("Raw 01 {COM2:115200}", again), devices::LinkStatus::Failed);
  EXPECT_EQ(serial.LastOpenError(),
            "cannot connect to 127.0.0.1:" + std::to_string(raw) + ": Connection refused");
}

}  // namespace
