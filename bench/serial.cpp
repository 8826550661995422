// Serial link over a pseudo-terminal to halvorn-sim: time per exchange of our
// link against a pyserial loop sending the same frames and against a bare
// write/poll/read loop (the floor: what the pseudo-terminal and the simulator
// cost by themselves), for a short and a longer reply, with the time the same
// bytes would take on a 115200-baud wire; and the processor time spent
// waiting for a controller that never answers, against a loop that polls the
// port without pausing.
//
// Usage: bench_serial [exchanges]   (default 10000 for each contender)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "devices/serial_transport.h"
#include "platform/files.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Reads "count command" lines from standard input, runs that many
// exchanges and prints microseconds per exchange; the port stays open.
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

struct Simulator {
  pid_t pid = -1;
  std::string path;

  bool Start(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), platform::JoinPath(platform::ExecutableFolder(), "halvorn-sim"));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int r = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (r != 0) {
      pid = -1;
      ::close(out[0]);
      return false;
    }
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') path += c;
    ::close(out[0]);
    return !path.empty();
  }

  ~Simulator() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
};

double CpuSeconds() {
  rusage u;
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One block of exchanges over our link, opened and closed around it as for a
// command line; microseconds per exchange, negative on failure.
double LinkBlock(const std::string& port, const std::string& command, int count) {
  devices::SerialTransport link("/nonexistent");
  devices::LinkHandle handle = 0;
  if (link.Open("Bench 01 {" + port + ":115200}", handle) != devices::LinkStatus::Ok) return -1;
  std::string reply;
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (link.SendReceive(handle, command, reply) != devices::LinkStatus::Ok) {
      link.Close(handle);
      return -1;
    }
  }
  double micros = Seconds(Clock::now() - start) / count * 1e6;
  link.Close(handle);
  return micros;
}

// The same exchanges with nothing but write, poll and read on a raw port:
// what the pseudo-terminal and the simulator cost by themselves.
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

// The pyserial loop as a process of its own that runs blocks on request.
class Pyserial {
 public:
  explicit Pyserial(const std::string& port) {
    char dir[] = "/tmp/halvorn-bench-XXXXXX";
    if (!::mkdtemp(dir)) {
      status_ = "no temporary folder";
      return;
    }
    dir_ = dir;
    script_ = dir_ + "/pyserial_loop.py";
    platform::WriteFileAtomic(script_, kPyserialLoop);
    // The system interpreter is where the distribution's pyserial lives.
    std::string python = platform::FileExists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {python, script_, port};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawnp(&pid_, python.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    to_ = ::fdopen(in[1], "w");
    from_ = ::fdopen(out[0], "r");
    status_ = pid_ > 0 ? Line() : "no python3";
    if (status_.empty()) status_ = "no python3";
  }

  ~Pyserial() {
    if (to_) std::fclose(to_);
    if (from_) std::fclose(from_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    if (!script_.empty()) platform::RemoveFile(script_);
    if (!dir_.empty()) ::rmdir(dir_.c_str());
  }

  bool Ready() const { return status_ == "ready"; }
  const std::string& Status() const { return status_; }

  double Block(const std::string& command, int count) {
    if (!Ready()) return -1;
    std::fprintf(to_, "%d %s\n", count, command.c_str());
    std::fflush(to_);
    std::string line = Line();
    char* end = nullptr;
    double micros = std::strtod(line.c_str(), &end);
    if (!end || *end != '\0' || micros <= 0) {
      status_ = line.empty() ? "stopped" : line;
      return -1;
    }
    return micros;
  }

 private:
  std::string Line() {
    char buffer[256];
    if (!from_ || !std::fgets(buffer, sizeof buffer, from_)) return {};
    std::string line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
  }

  pid_t pid_ = -1;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
  std::string dir_, script_, status_ = "not started";
};

void PrintRow(const char* name, const std::vector<double>& blocks) {
  if (blocks.empty()) return;
  std::printf("  %-36s %9.1f us/exchange (median of %zu blocks; best %.1f)\n", name, Median(blocks),
              blocks.size(), *std::min_element(blocks.begin(), blocks.end()));
}

void Compare(const std::string& port, Pyserial& py, const std::string& command, int replyBytes,
             int rounds, int block) {
  // Warm-up: the first exchanges pay for page faults and caches.
  LinkBlock(port, command, 200);
  FloorBlock(port, command, 200);
  py.Block(command, 200);
  std::vector<double> ours, floor, pyserial;
  for (int r = 0; r < rounds; ++r) {
    // Rotate the order so no contender always runs first.
    for (int k = 0; k < 3; ++k) {
      double v;
      switch ((r + k) % 3) {
        case 0:
          if ((v = LinkBlock(port, command, block)) > 0) ours.push_back(v);
          break;
        case 1:
          if ((v = FloorBlock(port, command, block)) > 0) floor.push_back(v);
          break;
        default:
          if ((v = py.Block(command, block)) > 0) pyserial.push_back(v);
          break;
      }
    }
  }
  // Frame "@01" + command + CR out, the reply and its CR back; 10 bits a
  // character (start, 8 data, stop).
  const double wire = (4.0 + static_cast<double>(command.size()) + replyBytes) * 10 / 115200 * 1e6;
  std::printf("\n\"%s\" (reply of %d bytes with its CR)\n", command.c_str(), replyBytes);
  PrintRow("halvorn serial link", ours);
  PrintRow("pyserial loop (same frames)", pyserial);
  if (pyserial.empty()) {
    std::printf("  %-36s       n/a (%s)\n", "pyserial loop (same frames)", py.Status().c_str());
  }
  PrintRow("bare write/poll/read loop (floor)", floor);
  std::printf("  %-36s %9.1f us/exchange\n", "wire time at 115200 baud", wire);
  if (!ours.empty() && !pyserial.empty()) {
    std::printf("  link / pyserial = %.2f by medians, %.2f by best blocks (target <= 0.50)\n",
                Median(ours) / Median(pyserial),
                *std::min_element(ours.begin(), ours.end()) /
                    *std::min_element(pyserial.begin(), pyserial.end()));
  }
  if (!ours.empty() && !floor.empty() && !pyserial.empty()) {
    std::printf("  floor / pyserial = %.2f (no client can go below the floor)\n",
                Median(floor) / Median(pyserial));
    std::printf("  link above the floor = %.1f us/exchange; link / wire = %.3f\n",
                Median(ours) - Median(floor), Median(ours) / wire);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int total = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (total < 100) total = 10000;
  const int rounds = 10;
  const int block = total / rounds;

  Simulator sim;
  if (!sim.Start({"--instant"})) {
    std::fprintf(stderr, "bench_serial: cannot start halvorn-sim next to this program\n");
    return 1;
  }

  std::printf(
      "Serial round trip over a pseudo-terminal to halvorn-sim, %d exchanges per contender\n"
      "and command, in %d interleaved blocks of %d so that load on the machine falls on all "
      "alike\n",
      rounds * block, rounds, block);
  Pyserial py(sim.path);
  // The shortest reply, and a typical text reply (15 bytes with its CR).
  for (auto [command, replyBytes] : {std::pair<std::string, int>{"PX", 2}, {"ID", 15}}) {
    Compare(sim.path, py, command, replyBytes, rounds, block);
  }

  Simulator paced;
  if (paced.Start({"--instant", "--pace"})) {
    std::printf("\n  %-36s %9.1f us/exchange (300 exchanges of \"PX\")\n",
                "link to a paced simulator (115200)", LinkBlock(paced.path, "PX", 300));
  }

  std::printf("\nProcessor time while waiting for a controller that never answers\n");
  {
    // Address 09 is not on the simulator's line: the frame goes unanswered.
    devices::SerialTransport link("/nonexistent", 5.0);
    devices::LinkHandle handle = 0;
    if (link.Open("Silent 09 {" + sim.path + ":115200}", handle) == devices::LinkStatus::Ok) {
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
    int fd = ::open(sim.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
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
