// The halvorn-sim program, reached through the serial link as the terminal
// reaches it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "devices/serial_transport.h"
#include "platform/files.h"
#include "sim/controller.h"
#include "support/test_folder.h"

extern char** environ;

namespace {

using devices::LinkHandle;
using devices::SerialTransport;

std::string SimulatorPath() {
  const char* dir = std::getenv("HALVORN_BIN_DIR");
  return platform::JoinPath(dir ? dir : platform::ExecutableFolder(), "halvorn-sim");
}

// One running simulator; stopped with SIGTERM when the test ends.
class Simulator {
 public:
  explicit Simulator(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), SimulatorPath());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
    if (pid_ > 0) path_ = FirstLine();
  }
  ~Simulator() {
    Stop(SIGTERM);
    if (out_ >= 0) ::close(out_);
  }

  const std::string& Path() const { return path_; }

  // Sends `signal` and returns the exit status (-1 when it did not exit).
  int Stop(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::string FirstLine() {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char c;
      if (::read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return {};
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string path_;
};

// Runs commands as one command line would: open, exchange each, close.
std::vector<std::string> Exchange(SerialTransport& link, const std::string& entry,
                                  const std::vector<std::string>& commands) {
  std::vector<std::string> replies;
  LinkHandle handle = 0;
  if (link.Open(entry, handle) != 1) return {"(not available)"};
  for (const std::string& command : commands) {
    std::string reply;
    link.SendReceive(handle, command, reply);
    replies.push_back(reply);
  }
  link.Close(handle);
  return replies;
}

TEST(HalvornSim, PrintsItsPortAndLinksAndUnlinksIt) {
  testing_support::TestFolder folder;
  std::string link = folder / "ttySIM";
  Simulator sim({"--link", link});
  ASSERT_FALSE(sim.Path().empty());
  int fd = ::open(sim.Path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(::isatty(fd));
  ::close(fd);
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), sim.Path());
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  struct stat st;
  EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link must go with the simulator";
}

TEST(HalvornSim, EndsCleanlyOnInterrupt) {
  Simulator sim({"--instant"});
  ASSERT_FALSE(sim.Path().empty());
  EXPECT_EQ(sim.Stop(SIGINT), 0);
}

TEST(HalvornSim, RefusesBadOptions) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--address", "1"}, {"--address"}, {"--link"}, {"--bogus"}}) {
    Simulator sim(args);
    EXPECT_EQ(sim.Path(), "");
    EXPECT_EQ(sim.Stop(0), 2);
  }
}

TEST(HalvornSim, ServesACommandLineOfTheDefaultController) {
  Simulator sim({"--instant"});
  ASSERT_FALSE(sim.Path().empty());
  testing_support::TestFolder folder;
  SerialTransport link(folder.Path());
  std::vector<std::string> expected = {"OK",
                                       "OK",
                                       "OK",
                                       "OK",
                                       "OK",
                                       "OK",
                                       "OK",
                                       "-9000",
                                       "0",
                                       "3",
                                       "-9000:0:0",
                                       "?UNKNOWN",
                                       "HALVORN SIM 01"};
  EXPECT_EQ(Exchange(link, "Axis 01 {" + sim.Path() + ":115200}",
                     {"LSPD=500", "HSPD=5000", "ACC=200", "DEC=200", "EO=3", "ABS", "X-9000", "PX",
                      "MST", "EO", "STAT", "BOGUS", "ID"}),
            expected);
}

TEST(HalvornSim, AnswersOnlyItsAddressesOnASharedPort) {
  testing_support::TestFolder folder;
  std::string port = folder / "ttyLINE";
  Simulator sim({"--address", "01", "--address", "02", "--instant", "--link", port});
  ASSERT_FALSE(sim.Path().empty());
  ASSERT_TRUE(platform::CreateDirectory(folder / "AppConfig"));
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/COMM_Map.cfg", "COM5=" + port + "\n"));
  SerialTransport link(folder.Path(), 0.3);
  EXPECT_EQ(Exchange(link, "X axis 01 {COM5:9600}", {"ID", "X100", "PX"}),
            (std::vector<std::string>{"HALVORN SIM 01", "OK", "100"}));
  EXPECT_EQ(Exchange(link, "Y axis 02 {COM5:9600}", {"ID", "PX"}),
            (std::vector<std::string>{"HALVORN SIM 02", "0"}));
  EXPECT_EQ(Exchange(link, "Z axis 03 {COM5:9600}", {"ID"}),
            (std::vector<std::string>{"(SERIAL Timeout)"}));
}

TEST(HalvornSim, MovesTakeTimeWithoutTheInstantOption) {
  Simulator sim({});
  ASSERT_FALSE(sim.Path().empty());
  testing_support::TestFolder folder;
  SerialTransport link(folder.Path());
  // 100000 pulses at 1000 pulses per second take 100 s: still under way
  // however slowly this machine answers.
  auto replies = Exchange(link, "Axis 01 {" + sim.Path() + ":115200}",
                          {"LSPD=1000", "HSPD=1000", "X100000", "MST", "ABORT", "MST", "PX"});
  ASSERT_EQ(replies.size(), 7u);
  EXPECT_EQ(replies[3], std::to_string(::sim::Controller::kStatusConstantSpeed));
  EXPECT_EQ(replies[5], std::to_string(::sim::Controller::kStatusAborted));
  long long position = std::stoll(replies[6]);
  EXPECT_GE(position, 0);
  EXPECT_LT(position, 100000);
}

TEST(HalvornSim, PacedLineTakesAtLeastTheWireTime) {
  Simulator sim({"--pace", "--instant"});
  ASSERT_FALSE(sim.Path().empty());
  testing_support::TestFolder folder;
  SerialTransport link(folder.Path());
  auto start = std::chrono::steady_clock::now();
  auto replies = Exchange(link, "Axis 01 {" + sim.Path() + ":9600}", {"ID", "ID"});
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(replies, (std::vector<std::string>{"HALVORN SIM 01", "HALVORN SIM 01"}));
  // Two exchanges of 6 + 15 characters of 10 bits at 9600 baud: 43.75 ms.
  // Only the lower bound is checked; a busy machine can only add to it.
  EXPECT_GE(elapsed, std::chrono::microseconds(43'750));
}

}  // namespace
