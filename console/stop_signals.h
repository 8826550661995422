// How the headless program hears the signals that ask it to stop.
//
// SIGINT is the ESC key. A second SIGINT that arrives before the program
// was idle again (the line terminal back at its prompt), or a SIGTERM,
// SIGHUP or SIGQUIT, asks the program to stop safely: the driver acts as
// ESC (the running line sends "ABORT", a script saves what its ESC path
// saves) and then ends with 128 + that signal's number. Any signal after
// that ends the program at once with 128 + its number. SIGPIPE (the reader
// of standard output went away, as when a pipe into `head` ends) stops
// safely too, and is never counted again: the stop's own output meets the
// same closed pipe.
//
// The handlers only count: everything else happens on the program's own
// thread, which asks here at its waiting points. Signals are process-wide,
// so this state is the one process-wide object of the program.
//
// main() installs the handlers before anything else runs, so that a signal
// in the program's first milliseconds is counted like any other and acted
// on as soon as the run can act, never left to the default action.
#pragma once

namespace app::stop_signals {

// Installs the handlers and lets the signals through, should the program
// have been started with them blocked. Signals counted since an earlier
// Install() (main's own, before the options were read) are kept.
void Install();
// Puts the default actions back and forgets the signals counted. SIGPIPE
// stays ignored: output that is still flushed after the run (the buffers at
// exit) must not end the program by a signal.
void Uninstall();

// SIGINTs received so far that are ESC keys (a stopping one is not counted).
int Escapes();
// The program is idle: every ESC up to `delivered` has been acted on, and
// the next SIGINT is an ESC key again.
void Settle(int delivered);
// The signal that asked the program to stop; 0 while none did.
int StopSignal();

// Remembers the terminal settings of `fd` as they are now, so that a signal
// ending the program at once puts them back: a line editor may have the
// terminal in its raw mode at that moment, and a shell left in raw mode is
// unusable.
void RestoreTerminalAtExit(int fd);

}  // namespace app::stop_signals
