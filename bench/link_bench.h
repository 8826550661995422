// What the link benchmarks share: halvorn-sim started next to the benchmark,
// a Python contender run as a process of its own, and the statistics of
// interleaved blocks.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "devices/serial_transport.h"
#include "platform/files.h"

extern char** environ;

namespace link_bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

inline double Best(const std::vector<double>& v) {
  return v.empty() ? -1 : *std::min_element(v.begin(), v.end());
}

inline void PrintRow(const char* name, const std::vector<double>& blocks) {
  if (blocks.empty()) return;
  std::printf("  %-36s %9.1f us/exchange (median of %zu blocks; best %.1f)\n", name, Median(blocks),
              blocks.size(), Best(blocks));
}

inline void PrintRatio(const char* name, const std::vector<double>& ours,
                       const std::vector<double>& theirs, double target) {
  if (ours.empty() || theirs.empty()) return;
  std::printf("  %s = %.2f by medians, %.2f by best blocks (target <= %.2f)\n", name,
              Median(ours) / Median(theirs), Best(ours) / Best(theirs), target);
}

// One block of exchanges over our link to the configuration line `entry`
// (data folder `folder`), opened and closed around it as for a command line;
// microseconds per exchange, negative on failure.
inline double LinkBlock(const std::string& folder, const std::string& entry,
                        const std::string& command, int count) {
  devices::SerialTransport link(folder);
  const platform::Result<devices::LinkHandle> opened = link.Open(entry);
  if (!opened) return -1;
  const devices::LinkHandle handle = *opened;
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

// Spawns `args` with standard input and output on pipes; -1 on failure.
inline pid_t Spawn(std::vector<std::string> args, int* in, int* out) {
  int toChild[2], fromChild[2];
  if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  posix_spawn_file_actions_addclose(&actions, toChild[1]);
  posix_spawn_file_actions_addclose(&actions, fromChild[0]);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  *in = toChild[1];
  *out = fromChild[0];
  return pid;
}

// halvorn-sim next to this program, with the lines it prints first: the
// port's path, then "tcp://127.0.0.1:PORT" when started with --tcp.
struct Simulator {
  pid_t pid = -1;
  std::vector<std::string> lines;

  bool Start(std::vector<std::string> args, std::size_t lineCount = 1) {
    args.insert(args.begin(), platform::JoinPath(platform::ExecutableFolder(), "halvorn-sim"));
    int in = -1, out = -1;
    pid = Spawn(args, &in, &out);
    if (in >= 0) ::close(in);
    std::string line;
    for (char c; lines.size() < lineCount && ::read(out, &c, 1) == 1;) {
      if (c != '\n') {
        line += c;
      } else {
        lines.push_back(line);
        line.clear();
      }
    }
    if (out >= 0) ::close(out);
    return pid > 0 && lines.size() == lineCount;
  }
  const std::string& Path() const { return lines[0]; }

  ~Simulator() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
};

// A Python loop as a process of its own: it prints "ready" (or why not),
// then reads "count command" lines, runs that many exchanges of "@01" +
// command + CR and prints microseconds per exchange.
class PythonLoop {
 public:
  PythonLoop(const char* script, const std::vector<std::string>& args) {
    char dir[] = "/tmp/halvorn-bench-XXXXXX";
    if (!::mkdtemp(dir)) {
      status_ = "no temporary folder";
      return;
    }
    dir_ = dir;
    script_ = dir_ + "/loop.py";
    platform::WriteFileAtomic(script_, script);
    // The system interpreter is where the distribution's modules live.
    std::string python = platform::FileExists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    std::vector<std::string> argv = {python, script_};
    argv.insert(argv.end(), args.begin(), args.end());
    int in = -1, out = -1;
    pid_ = Spawn(argv, &in, &out);
    to_ = in >= 0 ? ::fdopen(in, "w") : nullptr;
    from_ = out >= 0 ? ::fdopen(out, "r") : nullptr;
    status_ = pid_ > 0 ? Line() : "";
    if (status_.empty()) status_ = "no python3";
  }

  ~PythonLoop() {
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

// The exchanges per contender asked for on the command line (100,000 when
// none or fewer than 100 are asked), split into `rounds` blocks: the size of
// one block.
inline int BlockSize(int argc, char** argv, int rounds) {
  int total = argc > 1 ? std::atoi(argv[1]) : 0;
  return (total < 100 ? 100000 : total) / rounds;
}

// Runs the contenders' blocks in rotating order, so that load on the machine
// falls on all alike; a block that fails (negative) is left out.
inline std::vector<std::vector<double>> Interleave(
    const std::vector<std::function<double(int)>>& contenders, int rounds, int block) {
  std::vector<std::vector<double>> results(contenders.size());
  for (const auto& run : contenders) run(std::min(block, 200));  // warm-up
  for (int r = 0; r < rounds; ++r) {
    for (std::size_t k = 0; k < contenders.size(); ++k) {
      std::size_t which = (static_cast<std::size_t>(r) + k) % contenders.size();
      // A short pause first: what a block leaves behind (a port closing, the
      // simulator settling) otherwise falls on the block after it, which in
      // this rotation is nearly always the same contender.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      double v = contenders[which](block);
      if (v > 0) results[which].push_back(v);
    }
  }
  return results;
}

}  // namespace link_bench
