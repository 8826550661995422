// Command line execution: splits a line such as
// "LSPD=500, REPEAT, PX, RSAVE1, UNTIL>1000, STOP" into commands, runs the
// inline directives (REPEAT/UNTIL blocks, RSAVE, DELAY, the display
// directives, SETPAR), sends every other command over an open link, checks
// each reply against its expected value and appends an entry per command to
// the terminal display.
//
// The engine never opens or closes links and never knows which device is
// selected: its caller passes an open link. Everything runs on the caller's
// thread; the window gets control only inside CheckAbort().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "devices/link.h"
#include "engine/host.h"
#include "engine/numbers.h"
#include "engine/reply_capture.h"
#include "engine/terminal_display.h"

namespace engine {

// The engine's process-wide values, held in one object so every test starts
// from a fresh state.
struct EngineState {
  bool EngineRunning = false;      // while ExecuteCommandLine runs
  bool AbortRequest = false;       // set by ESC while a line runs
  bool PumpSuppressed = false;     // CheckAbort does not pump events
  std::string ExpectedValuesLine;  // comma-separated expected replies
  bool ExpectedValuesPresent = false;
  std::string LastReply;    // reply of the last device exchange
  double ExchangeTime = 0;  // seconds; reset by every display
  bool SerialTimeoutFlag = false;
  std::int32_t ShowMode = 1;
  std::int64_t BitMask = -1;
  bool AutomaticMode = false;  // a start-up script runs: bars in gold
  UnitTable Units;
};

// One device exchange as a report of the run sees it.
struct ExchangeVerdict {
  std::string_view command;
  std::string_view reply;     // the link's text, its error texts included
  std::string_view expected;  // after the unit conversion; may be empty
  int position;               // in the command line
  bool replied;               // false: time-out or link error, no reply came
  bool timedOut;              // ... and it was a time-out
  Check check;
  double seconds;  // the exchange time
};

// Hears of every device exchange as it ends (after its capture, before its
// display entry), never of local directives or the "ABORT" after ESC. The
// application implements it for the run's report; the engine only calls it.
class ExchangeListener {
 public:
  virtual ~ExchangeListener() = default;
  virtual void OnExchange(const ExchangeVerdict& exchange) = 0;
};

// Markups of the bars.
inline constexpr const char* kDelayBarDone = "100%GREEN";

class CommandEngine {
 public:
  CommandEngine(Host& host, ReplyCapture& capture);
  CommandEngine(const CommandEngine&) = delete;
  CommandEngine& operator=(const CommandEngine&) = delete;

  EngineState& State() { return state_; }
  const EngineState& State() const { return state_; }
  TerminalDisplay& Display() { return display_; }
  const TerminalDisplay& Display() const { return display_; }
  Host& GetHost() { return host_; }

  // The script side that receives device replies.
  ReplyCapture& Capture() { return *capture_; }
  // Who hears of each exchange; null (the default) for nobody.
  // Every listener added hears every exchange, in the order they were
  // added; one is removed before it goes away. Adding one twice adds it once.
  void AddExchangeListener(ExchangeListener& listener);
  void RemoveExchangeListener(ExchangeListener& listener);

  // Runs one command line over an open link. `kind` decides only what a
  // status means (a serial time-out sets SerialTimeoutFlag). Returns when every
  // command has run, or after ESC once "ABORT" has been sent.
  void ExecuteCommandLine(devices::Transport& link, devices::LinkHandle handle,
                          std::string_view line, devices::LinkKind kind);

  // 1 when ESC was requested. Unless pumping is suppressed or the request is
  // already set, lets the window process its pending events first.
  int CheckAbort();

  // Builds the entry for one command and appends it to the terminal display
  // (line kind 1 = exchange entry, anything else a plain message line), then
  // resets ExchangeTime.
  void DisplayExchange(std::string_view command, std::string_view reply, std::string_view expected,
                       int lineKind, int position);

 private:
  struct Execution;  // the per-call block state
  void ExecuteCommand(Execution& run, const std::string& command, const std::string& expected,
                      int position);
  void CollectBlockEntry(Execution& run, const std::string& command, const std::string& expected,
                         int position);
  void RunBlocks(Execution& run);
  void EvaluateUntil(Execution& run, std::size_t index);
  void RunDelay(std::string_view command);
  void ShowDelayBar(long long remaining, long long total, long long step);
  void ShowCommandProgress(Execution& run, long long position, long long count);
  void AbortStep(Execution& run);

  Host& host_;
  ReplyCapture* capture_;
  std::vector<ExchangeListener*> listeners_;
  EngineState state_;
  TerminalDisplay display_;
};

}  // namespace engine
