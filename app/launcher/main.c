/* halvorn-terminal as it is started: a small program of the C library alone,
 * so that it runs within a fraction of a millisecond, that holds (blocks) the
 * signals which ask the program to stop and then becomes the program itself,
 * halvorn-terminal.real beside it.
 *
 * The program proper loads the window system's libraries before its own
 * code runs, which takes milliseconds (tens of them on a busy machine); a
 * SIGINT or SIGTERM in that time would end it by its default action, before
 * it could stop the motor or save anything. Held, such a signal waits
 * through the loading and reaches the program's handlers the moment they are
 * in place (app/stop_signals.h), which let the signals through again. */
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static const char kProgram[] = "halvorn-terminal.real";

int main(int argc, char** argv) {
  /* As app/stop_signals.cpp takes them. */
  const int stoppingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
  sigset_t stopping;
  sigemptyset(&stopping);
  for (size_t i = 0; i < sizeof stoppingSignals / sizeof stoppingSignals[0]; ++i)
    sigaddset(&stopping, stoppingSignals[i]);
  sigprocmask(SIG_BLOCK, &stopping, NULL);
  (void)argc;

  /* The program proper lies in this executable's own folder. */
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - sizeof kProgram - 1);
  size_t folder = 0;
  if (n > 0) {
    for (ssize_t i = 0; i < n; ++i)
      if (path[i] == '/') folder = (size_t)i + 1;
  }
  memcpy(path + folder, kProgram, sizeof kProgram);
  execv(path, argv);

  /* Not started: say why, as a shell would, with the shell's status. */
  const int error = errno;
  sigprocmask(SIG_UNBLOCK, &stopping, NULL);
  fprintf(stderr, "halvorn-terminal: cannot start %s: %s\n", path, strerror(error));
  return 127;
}
