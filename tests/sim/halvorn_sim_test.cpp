// The halvorn-sim program, reached through the serial link as the terminal
// reaches it: on its pseudo-terminal and on its TCP port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>

#include "platform/files.h"
#include "simulator_process.h"

namespace {

using sim_test::Exchange;
using sim_test::Simulator;
using Replies = std::vector<std::string>;

TEST(HalvornSim, PrintsItsPortFirstAndRemovesItsLinkWhenStopped) {
  for (int signal : {SIGTERM, SIGINT}) {
    Simulator sim({"--instant"});
    ASSERT_NE(sim.port, "");
    int fd = ::open(sim.port.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(::isatty(fd));
    ::close(fd);
    sim.process.Signal(signal);
    EXPECT_EQ(sim.process.Wait(30), 0);
    EXPECT_EQ(sim.process.Out().rfind(sim.port + "\n", 0), 0u) << sim.process.Out();
    struct stat st;
    EXPECT_NE(::lstat(sim.link.c_str(), &st), 0) << "the link must go with the simulator";
  }
  for (std::vector<std::string> args : {std::vector<std::string>{"--address", "1"},
                                        {"--address"},
                                        {"--link"},
                                        {"--bogus"},
                                        {"--tcp"},
                                        {"--tcp", "x"},
                                        {"--tcp", "65536"},
                                        {"--tcp", "-1"}}) {
    args.insert(args.begin(), testing_support::BinDir() + "/halvorn-sim");
    auto result = testing_support::RunProcess(args);
    EXPECT_EQ(result.exitCode, 2) << args[1];
    EXPECT_EQ(result.out, "") << args[1];
  }
}

// The same controllers answer on the port and on the TCP port; a second
// network client is turned away while one is served, as by a device server.
TEST(HalvornSim, AnswersOnlyItsAddressesOnThePortAndOverTcp) {
  const int tcp = sim_test::FreeLoopbackPort();
  Simulator sim({"--address", "01", "--address", "02", "--instant", "--tcp", std::to_string(tcp)});
  ASSERT_NE(sim.port, "");
  ASSERT_TRUE(platform::CreateDirectory(sim.folder / "AppConfig"));
  ASSERT_TRUE(platform::WriteFileAtomic(
      sim.folder / "AppConfig/COMM_Map.cfg",
      "COM5=" + sim.link + "\nCOM6=tcp://127.0.0.1:" + std::to_string(tcp) + "\n"));
  devices::SerialTransport serial(sim.folder.Path(), 0.3);
  EXPECT_EQ(Exchange(serial, "X axis 01 {COM5:9600}", {"ID", "X100", "PX"}),
            (Replies{"HALVORN SIM 01", "OK", "100"}));
  EXPECT_EQ(Exchange(serial, "X axis 01 {COM6:9600}", {"ID", "PX", "X-5"}),
            (Replies{"HALVORN SIM 01", "100", "OK"}));
  EXPECT_EQ(Exchange(serial, "Y axis 02 {COM6:9600}", {"ID", "PX"}),
            (Replies{"HALVORN SIM 02", "0"}));
  EXPECT_EQ(Exchange(serial, "Z axis 03 {COM6:9600}", {"ID"}), (Replies{"(SERIAL Timeout)"}));

  devices::LinkHandle first = 0;
  ASSERT_EQ(serial.Open("X axis 01 {COM6:9600}", first), devices::LinkStatus::Ok);
  devices::SerialTransport other(sim.folder.Path(), 30.0);
  EXPECT_EQ(Exchange(other, "X axis 01 {COM6:9600}", {"PX"}), (Replies{"(SERIAL Timeout)"}));
  std::string reply;
  serial.SendReceive(first, "PX", reply);
  EXPECT_EQ(reply, "-5");
}

TEST(HalvornSim, PacedLineTakesAtLeastTheWireTimeAndMovesTakeTime) {
  Simulator sim({"--pace"});
  ASSERT_NE(sim.port, "");
  devices::SerialTransport serial(sim.folder.Path());
  auto start = std::chrono::steady_clock::now();
  // 100000 pulses at 1000 per second take 100 s: still under way however
  // slowly this machine answers.
  EXPECT_EQ(Exchange(serial, "Axis 01 {" + sim.port + ":9600}",
                     {"ID", "LSPD=1000", "HSPD=1000", "X100000", "MST"}),
            (Replies{"HALVORN SIM 01", "OK", "OK", "OK", "4"}));
  // 76 characters of 10 bits each way at 9600 baud: 79.17 ms. Only the lower
  // bound is checked; a busy machine can only add to it.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(79'166));
}

}  // namespace
