// The real program under what its surroundings do to it: a reader of its
// output that goes away, reports sent into devices and pipes, signals in its
// first milliseconds, controllers that answer late or end their replies with
// CR LF, input lines of hundreds of megabytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "support/child_process.h"
#include "support/simulated_bench.h"

namespace {

using testing_support::RunProcess;
using testing_support::SimulatedBench;

// Everything a descriptor holds now, without waiting.
std::string Drain(int fd) {
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    got.append(buffer, static_cast<std::size_t>(n));
  return got;
}

// --report into a FIFO a reader holds, into a character device (made in the
// test folder: /dev/null's numbers) and into the program's standard output
// (a link to /proc/self/fd/1 as /dev/stdout is, made in the test folder so
// that a fault here never replaces the system's own) is written through: the
// reader gets the report and the device is still a device. A FIFO that
// nobody reads loses the report (4) and stays a FIFO; a folder is refused
// before the run.
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

}  // namespace
