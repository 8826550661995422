#include "platform/process.h"

#include <unistd.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <iterator>

extern char** environ;

namespace platform {
namespace {

// Programs started without waiting; each later start reaps those that have
// ended, so they do not linger as zombies.
std::vector<pid_t>& Detached() {
  static std::vector<pid_t> pids;
  return pids;
}

void ReapDetached() {
  auto& pids = Detached();
  for (auto it = pids.begin(); it != pids.end();) {
    it = ::waitpid(*it, nullptr, WNOHANG) == 0 ? std::next(it) : pids.erase(it);
  }
}

}  // namespace

Result<> StartProcess(const std::vector<std::string>& argv, bool wait) {
  if (argv.empty() || argv[0].empty()) return Result<>::CallerMistake("no program to start");
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  ReapDetached();
  int rc = ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (rc != 0) return Result<>::SystemFailure("cannot start " + argv[0], rc);
  if (!wait) {
    Detached().push_back(pid);
    return Result<>::Success();
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return Result<>::Success();
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

}  // namespace platform
