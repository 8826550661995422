// The real headless program and its input, measured side by side in one run:
//  (a) halvorn-terminal --headless with the in-process HID stand-in
//      (HALVORN_SIM_HID_BOARDS=1), one line of commands fed on standard
//      input, output read from a pipe: 1,000,000 commands against 100,000
//      (target: ratio <= 12, at most 2 us per command; the program's own
//      CPU time, so other processes on the machine do not count);
//  (b) the line reader on a pipe: a line of 16 MB against one of 1.6 MB
//      (target: linear, ratio near 10) and the most memory it holds while
//      reading, in copies of the line (target <= 2);
//  (c) a line of 300 MB, which the reader cuts to its first 16 MiB: the
//      time to read it through and the most memory held meanwhile (target:
//      below 2 x 16 MiB, whatever the line's length).
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "console/headless_driver.h"

extern char** environ;

namespace {

// Every allocation of this program is counted, so (b) can tell how many
// copies of a line are alive at the worst moment.
std::atomic<long long> liveBytes{0}, peakBytes{0};

// CPU time of this thread: the reader's own work, whatever else the machine does.
double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

struct Run {
  double wall = 0, cpu = 0;
  long long outputBytes = 0;
};

// halvorn-terminal --headless on a fresh data folder with one line of `commands`.
Run RunProgram(const std::string& program, int commands) {
  char root[] = "/tmp/halvorn-bench-XXXXXX";
  if (!::mkdtemp(root)) return {};
  std::string line;
  for (int i = 0; i < commands; ++i)
    line += (i ? ",LSPD=" : "LSPD=") + std::to_string(100 + i % 900);
  line += "\n";
  int in[2], out[2];
  if (::pipe(in) || ::pipe(out)) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<std::string> env{"HALVORN_SIM_HID_BOARDS=1"};
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string args[] = {program, "--headless", "--data-root", root};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Run run;
  const double start = Now();
  pid_t pid = 0;
  const bool spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  std::thread writer([&] {
    WriteAll(in[1], line);
    ::close(in[1]);
  });
  char buffer[1 << 16];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) run.outputBytes += n;
  writer.join();
  ::close(out[0]);
  rusage usage{};
  int status = 0;
  if (spawned) ::wait4(pid, &status, 0, &usage);
  run.wall = Now() - start;
  run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  std::filesystem::remove_all(root);
  return run;
}

struct Read {
  double seconds = 0;
  double copies = 0;
};

// One line of `size` bytes through the line reader, from a pipe; `copies`
// is the most memory held meanwhile over the length of the line kept.
Read ReadLine(std::size_t size) {
  int p[2];
  if (::pipe(p)) return {};
  std::string written(size, 'x');
  written += "\n";
  std::thread writer([&] {
    WriteAll(p[1], written);
    ::close(p[1]);
  });
  app::ProgramIo io{std::cin, std::cout, std::cerr, p[0]};
  app::LineReader reader(io);
  std::string line;
  const long long before = liveBytes.load();
  peakBytes = before;
  const double start = ThreadCpu();
  while (!reader.Next(line, 1) && !reader.AtEnd()) {
  }
  const std::size_t kept = std::min(size, app::LineReader::kLineLimit);
  Read read{ThreadCpu() - start,
            static_cast<double>(peakBytes.load() - before) / static_cast<double>(kept)};
  writer.join();
  ::close(p[0]);
  return line.size() == kept ? read : Read{};
}

}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  const long long now = liveBytes += static_cast<long long>(::malloc_usable_size(p));
  for (long long peak = peakBytes; now > peak && !peakBytes.compare_exchange_weak(peak, now);) {
  }
  return p;
}

void operator delete(void* p) noexcept {
  if (!p) return;
  liveBytes -= static_cast<long long>(::malloc_usable_size(p));
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

int main() {
  const std::string program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "halvorn-terminal";
  const Run small = RunProgram(program, 100'000);
  const Run large = RunProgram(program, 1'000'000);
  std::printf(
      "headless program, one line on stdin, HID stand-in: 100,000 commands %.2f s (CPU %.2f s), "
      "1,000,000 commands %.2f s (CPU %.2f s, %.1f MB out)\n"
      "  ratio %.2f (CPU %.2f, target <= 12), %.2f us per command (CPU %.2f us, target <= 2)\n",
      small.wall, small.cpu, large.wall, large.cpu, static_cast<double>(large.outputBytes) / 1e6,
      large.wall / small.wall, large.cpu / small.cpu, large.wall / 1e6 * 1e6,
      large.cpu / 1e6 * 1e6);

  Read tenth = ReadLine(1'600'000), whole = ReadLine(16'000'000);
  for (int round = 0; round < 2; ++round) {  // the best of three, for a busy machine
    tenth.seconds = std::min(tenth.seconds, ReadLine(1'600'000).seconds);
    whole.seconds = std::min(whole.seconds, ReadLine(16'000'000).seconds);
  }
  std::printf(
      "line reader on a pipe (CPU): 1.6 MB %.3f s, 16 MB %.3f s, ratio %.2f (target: linear, "
      "near 10); at most %.2f copies of the line held (target <= 2)\n",
      tenth.seconds, whole.seconds, whole.seconds / tenth.seconds,
      std::max(tenth.copies, whole.copies));
  const Read huge = ReadLine(300'000'000);
  std::printf(
      "line reader, a 300 MB line cut to 16 MiB (CPU): %.3f s, at most %.1f MiB held (target < "
      "32)\n",
      huge.seconds, huge.copies * static_cast<double>(app::LineReader::kLineLimit) / (1 << 20));
  return 0;
}
