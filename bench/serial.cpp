// Serial link over a pseudo-terminal to halvorn-sim --instant: time per
// exchange of our link against a bare write/poll/read loop sending the same
// frames (the floor: what the pseudo-terminal and the simulator cost by
// themselves; target: link <= 1.15 times the floor) and against a pyserial
// loop, for a short and a longer reply, with the time the same bytes would
// take on a 115200-baud wire; and the processor time spent waiting for a
// controller that never answers, against a loop that polls the port without
// pausing.
//
// Usage: bench_serial [exchanges]   (default 100000 for each contender)
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>

#include "devices/serial_transport.h"
#include "link_bench.h"

namespace {

using link_bench::Clock;
using link_bench::LinkBlock;
using link_bench::Median;
using link_bench::Seconds;

constexpr char kPyserialLoop[] = R"(
import sys, time
try:
    import serial
except ImportError:
    print("missing", flush=True)
    sys.exit(0)
s = serial.Serial(sys.argv[1], 115200, timeout=10)
print("ready", flush=True)
for line in sys.stdin:
    count, command = line.split()
    count = int(count)
    frame = b"@01" + command.encode() + b"\r"
    start = time.perf_counter()
    for _ in range(count):
        s.write(frame)
        if not s.read_until(b"\r").endswith(b"\r"):
            print("timeout", flush=True)
            sys.exit(0)
    print((time.perf_counter() - start) / count * 1e6, flush=True)
)";

double CpuSeconds() {
  rusage u;
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The same exchanges with nothing but write, poll and read on a raw port.
double FloorBlock(const std::string& port, const std::string& command, int count) {
  int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  termios t;
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::cfsetspeed(&t, B115200);
  ::tcsetattr(fd, TCSANOW, &t);
  const std::string frame = "@01" + command + "\r";
  char buffer[256];
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) break;
    for (bool done = false; !done;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0) break;
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      done = n > 0 && buffer[n - 1] == '\r';
    }
  }
  double micros = Seconds(Clock::now() - start) / count * 1e6;
  ::close(fd);
  return micros;
}

void Compare(const std::string& port, link_bench::PythonLoop& py, const std::string& command,
             int replyBytes, int rounds, int block) {
  auto results = link_bench::Interleave(
      {[&](int n) {
         return LinkBlock("/nonexistent", "Bench 01 {" + port + ":115200}", command, n);
       },
       [&](int n) { return FloorBlock(port, command, n); },
       [&](int n) { return py.Block(command, n); }},
      rounds, block);
  const auto& ours = results[0];
  const auto& floor = results[1];
  const auto& pyserial = results[2];
  // Frame "@01" + command + CR out, the reply and its CR back; 10 bits a
  // character (start, 8 data, stop).
  const double wire = (4.0 + static_cast<double>(command.size()) + replyBytes) * 10 / 115200 * 1e6;
  std::printf("\n\"%s\" (reply of %d bytes with its CR)\n", command.c_str(), replyBytes);
  link_bench::PrintRow("halvorn serial link", ours);
  link_bench::PrintRow("bare write/poll/read loop (floor)", floor);
  link_bench::PrintRow("pyserial loop (same frames)", pyserial);
  if (pyserial.empty()) {
    std::printf("  %-36s       n/a (%s)\n", "pyserial loop (same frames)", py.Status().c_str());
  }
  std::printf("  %-36s %9.1f us/exchange\n", "wire time at 115200 baud", wire);
  link_bench::PrintRatio("link / floor", ours, floor, 1.15);
  link_bench::PrintRatio("link / pyserial", ours, pyserial, 0.50);
  if (!ours.empty() && !floor.empty()) {
    std::printf("  link above the floor = %.1f us/exchange; link / wire = %.3f\n",
                Median(ours) - Median(floor), Median(ours) / wire);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = 10;
  const int block = link_bench::BlockSize(argc, argv, rounds);
  link_bench::Simulator sim;
  if (!sim.Start({"--instant"})) {
    std::fprintf(stderr, "bench_serial: cannot start halvorn-sim next to this program\n");
    return 1;
  }

  std::printf(
      "Serial round trip over a pseudo-terminal to halvorn-sim, %d exchanges per contender\n"
      "and command, in %d interleaved blocks of %d so that load on the machine falls on all "
      "alike\n",
      rounds * block, rounds, block);
  link_bench::PythonLoop py(kPyserialLoop, {sim.Path()});
  // The shortest reply, and a typical text reply (15 bytes with its CR).
  for (auto [command, replyBytes] : {std::pair<std::string, int>{"PX", 2}, {"ID", 15}}) {
    Compare(sim.Path(), py, command, replyBytes, rounds, block);
  }

  link_bench::Simulator paced;
  if (paced.Start({"--instant", "--pace"})) {
    std::printf("\n  %-36s %9.1f us/exchange (300 exchanges of \"PX\")\n",
                "link to a paced simulator (115200)",
                LinkBlock("/nonexistent", "Bench 01 {" + paced.Path() + ":115200}", "PX", 300));
  }

  std::printf("\nProcessor time while waiting for a controller that never answers\n");
  {
    // Address 09 is not on the simulator's line: the frame goes unanswered.
    devices::SerialTransport link("/nonexistent", 5.0);
    if (const platform::Result<devices::LinkHandle> opened =
            link.Open("Silent 09 {" + sim.Path() + ":115200}");
        opened) {
      const devices::LinkHandle handle = *opened;
      double cpu0 = CpuSeconds();
      auto start = Clock::now();
      std::string reply;
      link.SendReceive(handle, "PX", reply);
      double wall = Seconds(Clock::now() - start);
      double cpu = CpuSeconds() - cpu0;
      link.Close(handle);
      std::printf("  %-36s %5.2f s wait, %.4f s CPU = %6.3f%% of one core (%s; target <= 2%%)\n",
                  "halvorn serial link", wall, cpu, cpu / wall * 100, reply.c_str());
    }
    // For comparison: asking the port for its waiting bytes in a loop that
    // never pauses, for one second.
    int fd = ::open(sim.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
      double cpu0 = CpuSeconds();
      auto start = Clock::now();
      int waiting = 0;
      while (Clock::now() - start < std::chrono::seconds(1)) ::ioctl(fd, FIONREAD, &waiting);
      double wall = Seconds(Clock::now() - start);
      double cpu = CpuSeconds() - cpu0;
      ::close(fd);
      std::printf("  %-36s %5.2f s wait, %.4f s CPU = %6.1f%% of one core\n",
                  "loop polling without pause", wall, cpu, cpu / wall * 100);
    }
  }
  return 0;
}
