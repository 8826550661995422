// The halvorn-sim program, reached through the serial link as the terminal
// reaches it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "devices/serial_transport.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/test_folder.h"

namespace {

const std::string kSimulator = testing_support::BinDir() + "/halvorn-sim";

// A running simulator whose port is linked as `link`; stopped when the test ends.
struct Simulator {
  explicit Simulator(std::vector<std::string> options)
      : process([&] {
          options.insert(options.begin(), kSimulator);
          options.insert(options.end(), {"--link", link});
          return options;
        }()) {
    char target[256] = {};
    if (testing_support::WaitForPath(link, 30) && ::readlink(link.c_str(), target, 255) > 0)
      port = target;
  }
  testing_support::TestFolder folder;
  const std::string link = folder / "ttySIM";
  testing_support::InteractiveProcess process;
  std::string port;  // the pseudo-terminal
};

// Runs commands as one command line would: open, exchange each, close.
std::vector<std::string> Exchange(devices::SerialTransport& serial, const std::string& entry,
                                  const std::vector<std::string>& commands) {
  devices::LinkHandle handle = 0;
  if (serial.Open(entry, handle) != 1) return {"(not available)"};
  std::vector<std::string> replies(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i)
    serial.SendReceive(handle, commands[i], replies[i]);
  serial.Close(handle);
  return replies;
}

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
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--address", "1"}, {"--address"}, {"--link"}, {"--bogus"}}) {
    args.insert(args.begin(), kSimulator);
    auto result = testing_support::RunProcess(args);
    EXPECT_EQ(result.exitCode, 2) << args[1];
    EXPECT_EQ(result.out, "") << args[1];
  }
}

TEST(HalvornSim, AnswersOnlyItsAddressesOnASharedPort) {
  Simulator sim({"--address", "01", "--address", "02", "--instant"});
  ASSERT_NE(sim.port, "");
  ASSERT_TRUE(platform::CreateDirectory(sim.folder / "AppConfig"));
  ASSERT_TRUE(platform::WriteFileAtomic(sim.folder / "AppConfig/COMM_Map.cfg", "COM5=" + sim.link));
  devices::SerialTransport serial(sim.folder.Path(), 0.3);
  EXPECT_EQ(Exchange(serial, "X axis 01 {COM5:9600}", {"ID", "X100", "PX"}),
            (std::vector<std::string>{"HALVORN SIM 01", "OK", "100"}));
  EXPECT_EQ(Exchange(serial, "Y axis 02 {COM5:9600}", {"ID", "PX"}),
            (std::vector<std::string>{"HALVORN SIM 02", "0"}));
  EXPECT_EQ(Exchange(serial, "Z axis 03 {COM5:9600}", {"ID"}),
            (std::vector<std::string>{"(SERIAL Timeout)"}));
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
            (std::vector<std::string>{"HALVORN SIM 01", "OK", "OK", "OK", "4"}));
  // 76 characters of 10 bits each way at 9600 baud: 79.17 ms. Only the lower
  // bound is checked; a busy machine can only add to it.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(79'166));
}

}  // namespace
