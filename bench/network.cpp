// The serial link over TCP to halvorn-sim --tcp on the loopback, side by side
// in one run with: the same link over the simulator's pseudo-terminal, a
// Python socket loop sending the same frames (target: link over TCP <= 1.1
// times it), and a bare C send/poll/recv loop (the floor: what the loopback
// and the simulator cost by themselves).
//
// Usage: bench_network [exchanges]   (default 100000 for each contender)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "devices/serial_transport.h"
#include "link_bench.h"

namespace {

using link_bench::Clock;
using link_bench::LinkBlock;
using link_bench::Seconds;

constexpr char kSocketLoop[] = R"(
import socket, sys, time
host, port = sys.argv[1], int(sys.argv[2])
print("ready", flush=True)
for line in sys.stdin:
    count, command = line.split()
    count = int(count)
    frame = b"@01" + command.encode() + b"\r"
    s = socket.create_connection((host, port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    start = time.perf_counter()
    for _ in range(count):
        s.sendall(frame)
        reply = s.recv(4096)
        while not reply.endswith(b"\r"):
            more = s.recv(4096)
            if not more:
                print("closed", flush=True)
                sys.exit(0)
            reply += more
    elapsed = time.perf_counter() - start
    s.close()
    print(elapsed / count * 1e6, flush=True)
)";

// The same exchanges with nothing but send, poll and recv on a socket.
double FloorBlock(int port, const std::string& command, int count) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  const std::string frame = "@01" + command + "\r";
  char buffer[256];
  bool ok = true;
  auto start = Clock::now();
  for (int i = 0; i < count && ok; ++i) {
    ok = ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
    for (bool done = false; ok && !done;) {
      pollfd p{fd, POLLIN, 0};
      ssize_t n = ::poll(&p, 1, 10000) > 0 ? ::recv(fd, buffer, sizeof buffer, 0) : -1;
      ok = n > 0;
      done = ok && buffer[n - 1] == '\r';
    }
  }
  double micros = Seconds(Clock::now() - start) / count * 1e6;
  ::close(fd);
  return ok ? micros : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = 10;
  const int block = link_bench::BlockSize(argc, argv, rounds);
  link_bench::Simulator sim;
  if (!sim.Start({"--instant", "--tcp", "0"}, 2) || sim.lines[1].rfind("tcp://127.0.0.1:", 0)) {
    std::fprintf(stderr, "bench_network: cannot start halvorn-sim --tcp next to this program\n");
    return 1;
  }
  const std::string url = sim.lines[1];
  const int port = std::atoi(url.substr(url.rfind(':') + 1).c_str());
  char dir[] = "/tmp/halvorn-bench-XXXXXX";
  if (!::mkdtemp(dir)) return 1;
  const std::string folder = dir;
  platform::CreateDirectory(folder + "/AppConfig");
  platform::WriteFileAtomic(folder + "/AppConfig/COMM_Map.cfg", "COM7=" + url + "\n");

  std::printf(
      "Round trip to halvorn-sim on the loopback (%s), %d exchanges per contender and\n"
      "command, in %d interleaved blocks of %d\n",
      url.c_str(), rounds * block, rounds, block);
  link_bench::PythonLoop py(kSocketLoop, {"127.0.0.1", std::to_string(port)});
  for (std::string command : {"PX", "ID"}) {
    auto results = link_bench::Interleave(
        {[&](int n) { return LinkBlock(folder, "Bench 01 {COM7:115200}", command, n); },
         [&](int n) { return py.Block(command, n); },
         [&](int n) { return FloorBlock(port, command, n); },
         [&](int n) {
           return LinkBlock(folder, "Bench 01 {" + sim.Path() + ":115200}", command, n);
         }},
        rounds, block);
    std::printf("\n\"%s\"\n", command.c_str());
    link_bench::PrintRow("halvorn link over TCP", results[0]);
    link_bench::PrintRow("python socket loop (same frames)", results[1]);
    if (results[1].empty()) std::printf("  python socket loop: n/a (%s)\n", py.Status().c_str());
    link_bench::PrintRow("bare send/poll/recv loop (floor)", results[2]);
    link_bench::PrintRow("halvorn link over the pseudo-terminal", results[3]);
    link_bench::PrintRatio("link over TCP / python socket loop", results[0], results[1], 1.10);
    link_bench::PrintRatio("link over TCP / floor", results[0], results[2], 1.15);
  }
  platform::RemoveFile(folder + "/AppConfig/COMM_Map.cfg");
  ::rmdir((folder + "/AppConfig").c_str());
  ::rmdir(folder.c_str());
  return 0;
}
