// Line editing for the headless line terminal when an operator types at a
// terminal: the line is edited in place (cursor keys, Backspace, Ctrl-A/E
// and the other usual keys), and Up and Down (also Ctrl-P and Ctrl-N) recall
// the lines typed in this run as programs::CommandRecall does in the window.
// When standard input is not a terminal, lines are read as they come and
// this class is not used.
//
// At the prompt, Ctrl-C is the ESC key: ReadLine reports it, the typed text
// stays, and nothing ends the program. While a line runs the terminal is in
// its normal mode, so Ctrl-C raises SIGINT as usual. Ctrl-D on an empty line
// ends the input.
//
// Reading never blocks longer than asked, and a signal ends the wait early,
// so the caller notices SIGINT while the operator is idle:
//
//   auto editor = LineEditor::Open(STDIN_FILENO, STDOUT_FILENO, "> ");
//   for (;;) {
//     Status s = editor->ReadLine(line, 0.1);
//     if (s == Status::End) break;
//     if (s == Status::Line) ...run it...
//     if (s == Status::Escape) ...the ESC key...
//     if (a signal is to be handled) { editor->Pause(); ...handle, print... }
//   }
//
// Everything is 8-bit text: each byte typed is one character of the line.
#pragma once

#include <memory>
#include <string>

namespace app {

class LineEditor {
 public:
  enum class Status {
    Line,     // Enter: `line` holds the line (without its end)
    Escape,   // Ctrl-C at the prompt
    Waiting,  // the time ran out, or a signal arrived
    End,      // Ctrl-D on an empty line, or the terminal went away
  };

  // False when this build has no line editing (no libedit).
  static bool Available();

  // An editor reading keys from `inFd` and showing the prompt and the line
  // on `outFd`; null when either is not a terminal or line editing is not
  // available. The descriptors stay the caller's; the terminal's settings
  // are restored when the editor is destroyed.
  static std::unique_ptr<LineEditor> Open(int inFd, int outFd, const std::string& prompt);

  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // Shows the prompt (with any text kept by Pause) when it is not shown,
  // then edits with the keys that arrive within `seconds`. After Line,
  // Escape and End the terminal is back in its normal mode on a fresh line,
  // ready for output; the next call shows the prompt again (after Escape
  // with the text typed so far).
  Status ReadLine(std::string& line, double seconds);

  // Leaves the line being edited for output: the cursor moves to a fresh
  // line and the terminal to its normal mode; the text typed so far comes
  // back with the next ReadLine. Does nothing when no prompt is shown.
  void Pause();

 private:
  struct Impl;
  explicit LineEditor(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace app
