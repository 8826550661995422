#include "support/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <thread>
#include <utility>

#include "platform/data_folders.h"
#include "platform/files.h"

extern char** environ;

namespace testing_support {

std::string BinDir() {
  const char* dir = std::getenv("HALVORN_BIN_DIR");
  return dir ? dir : ".";
}

std::vector<std::string> Terminal(const std::string& root, std::vector<std::string> args) {
  args.insert(args.begin(), {BinDir() + "/halvorn-terminal", "--headless", "--data-root", root});
  return args;
}

void WriteScript(const TestFolder& root, int n, const std::string& text) {
  platform::DataFolders(root.Path()).EnsureDataFolders();
  ASSERT_TRUE(platform::WriteFileAtomic(
      root / ("AppPrograms/AutoControl/autocontrol_" + std::to_string(n) + ".txt"), text));
}

InteractiveProcess::InteractiveProcess(const std::vector<std::string>& argv,
                                       const std::vector<std::string>& extraEnvironment,
                                       const std::vector<int>& blockedSignals) {
  int in[2], out[2], err[2];
  if (::pipe(in) || ::pipe(out) || ::pipe(err)) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<std::string> environment(extraEnvironment);
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  std::vector<char*> args, env;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (std::string& e : environment) env.push_back(e.data());
  args.push_back(nullptr);
  env.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int signal : blockedSignals) sigaddset(&blocked, signal);
  posix_spawnattr_setsigmask(&attributes, &blocked);
  // The tests ignore SIGPIPE for themselves; a program starts with it at its default action, as
  // it does from a shell.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  if (posix_spawn(&pid, args[0], &actions, &attributes, args.data(), env.data()) == 0) pid_ = pid;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  for (int fd : {in[0], out[1], err[1]}) ::close(fd);
  in_ = in[1];
  outFd_ = out[0];
  errFd_ = err[0];
  ::signal(SIGPIPE, SIG_IGN);
}

InteractiveProcess::~InteractiveProcess() {
  if (pid_ > 0) Wait(0);
  for (int fd : {in_, outFd_, errFd_})
    if (fd >= 0) ::close(fd);
}

void InteractiveProcess::Write(const std::string& text) {
  for (std::size_t written = 0; in_ >= 0 && written < text.size();) {
    const ssize_t n = ::write(in_, text.data() + written, text.size() - written);
    if (n <= 0) return CloseInput();
    written += static_cast<std::size_t>(n);
  }
}

void InteractiveProcess::CloseInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void InteractiveProcess::Pump(int milliseconds) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (::poll(fds, 2, milliseconds) <= 0) return;
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0) (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
    if (n <= 0) ::close(std::exchange(i == 0 ? outFd_ : errFd_, -1));  // the stream has ended
  }
}

bool InteractiveProcess::WaitFor(const std::string& stream, const std::string& text, int count,
                                 double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (Occurrences(stream, text) >= static_cast<std::size_t>(count)) return true;
    if (std::chrono::steady_clock::now() >= end || (outFd_ < 0 && errFd_ < 0)) return false;
    Pump(50);
  }
}

namespace {

// The signal masks of /proc/PID/status whose names start with one of `fields` ("SigPnd",
// "ShdPnd", "SigCgt"), or-ed; 0 once the process has ended.
unsigned long long SignalMask(int pid, std::initializer_list<const char*> fields) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  unsigned long long mask = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("State:") && line.find('Z') != std::string::npos) return 0;
    for (const char* field : fields)
      if (line.starts_with(field)) mask |= std::strtoull(line.c_str() + 7, nullptr, 16);
  }
  return mask;
}

bool InMask(unsigned long long mask, int signal) {
  return (mask >> (signal - 1)) & 1U;
}

}  // namespace

bool InteractiveProcess::WaitForHandler(int signal, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (pid_ > 0 && !InMask(SignalMask(pid_, {"SigCgt"}), signal)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Pump(5);
  }
  return pid_ > 0;
}

// The kernel keeps one pending signal of a kind: two sent back to back may merge into one.
// Waiting until the program has taken this one makes the next signal a signal of its own.
void InteractiveProcess::Signal(int signal) {
  if (pid_ <= 0) return;
  ::kill(pid_, signal);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (InMask(SignalMask(pid_, {"SigPnd", "ShdPnd"}), signal) &&
         std::chrono::steady_clock::now() < end) {
    Pump(5);
  }
}

int InteractiveProcess::Wait(double seconds) {
  if (pid_ <= 0) return -1;
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  for (;;) {
    Pump(20);
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() >= end) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
  }
  while (outFd_ >= 0 || errFd_ >= 0) Pump(20);
  pid_ = -1;
  killedBySignal_ = WIFSIGNALED(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::vector<std::string>& extraEnvironment) {
  InteractiveProcess process(argv, extraEnvironment);
  process.Write(input);
  process.CloseInput();
  const int exitCode = process.Wait(60);
  return {exitCode, process.Out(), process.Err()};
}

std::string Sqlite(const std::string& db, const std::string& sql) {
  const ProcessResult run = RunProcess({"/usr/bin/sqlite3", "-readonly", db, sql});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return run.out;
}

Simulator::Simulator(std::vector<std::string> options)
    : process([&] {
        options.insert(options.begin(), BinDir() + "/halvorn-sim");
        options.insert(options.end(), {"--link", link});
        return options;
      }()) {
  char target[256] = {};
  for (int i = 0; i < 3000 && ::readlink(link.c_str(), target, 255) <= 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  port = target;
}

int BoundLoopbackSocket(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  port = ntohs(a.sin_port);
  return fd;
}

}  // namespace testing_support
