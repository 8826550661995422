#include "console/stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace app::stop_signals {
namespace {

constexpr int kStopping[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

std::atomic<int> escapes{0};  // SIGINTs taken as ESC keys
std::atomic<int> settled{0};  // escapes acted on when the program was last idle
std::atomic<int> stop{0};     // the signal that asked to stop

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free counters");

// The terminal settings to put back before ending at once (tcsetattr is safe
// in a signal handler). terminalFd < 0: none remembered.
struct termios terminalSettings {};
std::atomic<int> terminalFd{-1};

[[noreturn]] void EndAtOnce(int signal) {
  const int fd = terminalFd.load();
  if (fd >= 0) ::tcsetattr(fd, TCSANOW, &terminalSettings);
  ::_exit(128 + signal);
}

extern "C" void OnSignal(int signal) {
  // The reader of the output went away: stop as after a hang-up. Every later
  // write fails the same way, and those must not cut the stop short.
  if (signal == SIGPIPE) {
    int none = 0;
    stop.compare_exchange_strong(none, SIGPIPE);
    return;
  }
  if (stop.load() != 0) EndAtOnce(signal);  // asked once already: at once
  // One ESC at a time: a SIGINT while the last one is still being acted on
  // is an operator who wants out.
  if (signal == SIGINT && escapes.load() == settled.load()) {
    escapes.fetch_add(1);
    return;
  }
  stop.store(signal);
}

void SetAction(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait for input or for a reply returns early, so the
  // program notices the signal at once.
  action.sa_flags = 0;
  sigaction(signal, &action, nullptr);
}

}  // namespace

void Install() {
  sigset_t stopping;
  sigemptyset(&stopping);
  for (int signal : kStopping) {
    SetAction(signal, OnSignal);
    sigaddset(&stopping, signal);
  }
  // A parent may have started the program with them blocked; held ones
  // arrive now, at the handlers.
  ::pthread_sigmask(SIG_UNBLOCK, &stopping, nullptr);
}

void Uninstall() {
  for (int signal : kStopping) SetAction(signal, signal == SIGPIPE ? SIG_IGN : SIG_DFL);
  escapes = 0;
  settled = 0;
  stop = 0;
}

int Escapes() {
  return escapes.load();
}

void Settle(int delivered) {
  settled.store(delivered);
}

int StopSignal() {
  return stop.load();
}

void RestoreTerminalAtExit(int fd) {
  terminalFd.store(-1);
  if (fd >= 0 && ::tcgetattr(fd, &terminalSettings) == 0) terminalFd.store(fd);
}

}  // namespace app::stop_signals
