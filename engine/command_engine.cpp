#include "engine/command_engine.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "engine/reply_format.h"
#include "platform/text.h"

namespace engine {

namespace {

// The directives are recognised by their first characters, in upper case
// only, so "repeat" or "delay" typed in lower case goes to the controller.
bool IsBlockStart(std::string_view command) {
  return command.starts_with("REPEAT");
}

bool IsBlockEnd(std::string_view command) {
  static constexpr std::string_view kEnds[] = {"UNTIL=", "UNTIL<", "UNTIL>", "UNTILR", "UNTILM"};
  for (std::string_view end : kEnds) {
    if (command.starts_with(end)) return true;
  }
  return false;
}

// Field `number` of a ":"-separated text, trimmed of blanks (a tab is part of it).
std::string_view TrimmedField(std::string_view text, int number) {
  return platform::TrimmedView(platform::Field(text, ':', number));
}

int ClampToInt(long long value) {
  return static_cast<int>(std::min<long long>(value, std::numeric_limits<int>::max()));
}

// The number of collected block entries; later ones are dropped unnoticed.
constexpr std::size_t kBlockBufferSize = 1000;
constexpr int kMaxBlockLevel = 3;

}  // namespace

// Everything that lives for one call of ExecuteCommandLine: the link, the
// progress last shown, and the REPEAT/UNTIL block state.
struct CommandEngine::Execution {
  struct BlockEntry {
    std::string command;
    std::string expected;
    std::size_t blockStart;  // buffer index (1-based) of the REPEAT it belongs to
    int position;            // position in the command line
  };

  Execution(devices::Transport& l, devices::LinkHandle h, devices::LinkKind k)
      : link(l), handle(h), kind(k) {}

  devices::Transport& link;
  devices::LinkHandle handle;
  devices::LinkKind kind;
  int shownProgress = -1;  // the command bar's percentage last drawn

  int blockLevel = 0;
  // Indexed by level 1..3; index 0 is never used.
  std::array<std::size_t, kMaxBlockLevel + 1> blockStart{};
  std::vector<BlockEntry> buffer;  // entry k is buffer[k - 1]
  std::array<std::int64_t, kMaxBlockLevel + 1> blockCounter{};
  std::array<double, kMaxBlockLevel + 1> savedValue{};
  std::array<bool, kMaxBlockLevel + 1> savedValid{};
  bool continueBlock = false;

  // The level whose counters an entry uses; a buffer is always well nested,
  // the clamp only keeps a damaged one inside the tables.
  int Level() const { return std::clamp(blockLevel, 1, kMaxBlockLevel); }
};

CommandEngine::CommandEngine(Host& host, ReplyCapture& capture)
    : host_(host), capture_(&capture), display_(host) {}

int CommandEngine::CheckAbort() {
  if (!state_.PumpSuppressed && !state_.AbortRequest) host_.DoEvents();
  return state_.AbortRequest ? 1 : 0;
}

void CommandEngine::ExecuteCommandLine(devices::Transport& link, devices::LinkHandle handle,
                                       std::string_view line, devices::LinkKind kind) {
  state_.ExchangeTime = 0;
  // Both lines are copied once: the window may run events (and change the
  // caller's texts) while the line executes, and the pieces point into them.
  const std::string commands(line);
  const std::string expectedLine =
      state_.ExpectedValuesPresent ? state_.ExpectedValuesLine : std::string();
  const long long count =
      static_cast<long long>(std::count(commands.begin(), commands.end(), ',')) + 1;
  // Each line is walked once, piece by piece, so a long line is split in
  // linear time; past its end every piece is empty.
  platform::FieldWalker commandPieces(commands, ",");
  platform::FieldWalker expectedPieces(expectedLine, ",");

  state_.EngineRunning = true;
  state_.AbortRequest = false;
  Execution run(link, handle, kind);

  for (long long p = 1; p <= count; ++p) {
    ShowCommandProgress(run, p, count);
    std::string command(platform::TrimmedView(commandPieces.Next()));
    std::string expected(platform::TrimmedView(expectedPieces.Next()));
    ConvertUnits(command, state_.Units);
    ConvertUnits(expected, state_.Units);
    if (!command.empty()) {
      if (IsBlockStart(command) || IsBlockEnd(command) || run.blockLevel > 0) {
        CollectBlockEntry(run, command, expected, ClampToInt(p));
      } else {
        ExecuteCommand(run, command, expected, ClampToInt(p));
      }
    }
    if (CheckAbort() == 1) break;
  }
  if (CheckAbort() == 1) AbortStep(run);

  state_.EngineRunning = false;
  state_.AbortRequest = false;
  state_.ExpectedValuesLine.clear();
  state_.ExpectedValuesPresent = false;
  display_.Flush();
  host_.LineFinished();
}

void CommandEngine::ExecuteCommand(Execution& run, const std::string& command,
                                   const std::string& expected, int position) {
  if (command.empty()) return;
  if (command.starts_with("DELAY")) {
    if (CheckAbort() == 0) RunDelay(command);
    return;
  }
  if (CheckAbort() == 1) return;

  std::string reply;
  std::string shownExpected = expected;
  if (IsLocalDirective(command)) {
    // Answered here, nothing is sent; the last reply and exchange time stay
    // for the next directive. A lone "'" is a program comment whose text
    // travels in the expected value, so that is kept.
    if (command != "'") {
      reply = command.starts_with("SETPAR")
                  ? SetParReply(command, state_.Units)
                  : DisplayDirectiveReply(command, state_.LastReply, state_.BitMask);
      shownExpected.clear();
    }
  } else {
    double start = host_.Now();
    devices::LinkStatus status = run.link.SendReceive(run.handle, command, reply);
    if (run.kind == devices::LinkKind::Serial && status == devices::LinkStatus::TimedOut) {
      state_.SerialTimeoutFlag = true;
    }
    state_.LastReply = reply;
    double end = host_.Now();
    if (end < start) start = end;  // a clock that stepped back gives 0, never a negative time
    state_.ExchangeTime = end - start;
    const Check check = capture_->CaptureReply(command, reply, shownExpected, state_.BitMask);
    const ExchangeVerdict verdict{command,
                                  reply,
                                  shownExpected,
                                  position,
                                  status == devices::LinkStatus::Ok,
                                  status == devices::LinkStatus::TimedOut,
                                  check,
                                  state_.ExchangeTime};
    for (ExchangeListener* listener : listeners_) listener->OnExchange(verdict);
  }
  DisplayExchange(command, reply, shownExpected, kExchangeLine, position);
  CheckAbort();
}

void CommandEngine::AddExchangeListener(ExchangeListener& listener) {
  if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end())
    listeners_.push_back(&listener);
}

void CommandEngine::RemoveExchangeListener(ExchangeListener& listener) {
  std::erase(listeners_, &listener);
}

void CommandEngine::DisplayExchange(std::string_view command, std::string_view reply,
                                    std::string_view expected, int lineKind, int position) {
  Entry entry = FormatEntry(command, reply, expected, lineKind, position, state_.ShowMode,
                            state_.ExchangeTime, state_.BitMask);
  if (!entry.append) return;
  display_.Append(entry.text);
  state_.ExchangeTime = 0;
}

void CommandEngine::CollectBlockEntry(Execution& run, const std::string& command,
                                      const std::string& expected, int position) {
  auto store = [&run](std::string c, std::string e, int p) {
    if (run.buffer.size() >= kBlockBufferSize) return;
    run.buffer.push_back({std::move(c), std::move(e), run.blockStart[run.Level()], p});
  };

  if (IsBlockStart(command)) {
    if (run.blockLevel >= kMaxBlockLevel) return;  // a fourth level is ignored
    ++run.blockLevel;
    run.blockStart[run.blockLevel] = run.buffer.size() + 1;
    store("REPEAT", std::string(), position);
    return;
  }
  if (IsBlockEnd(command)) {
    if (run.blockLevel == 0) return;  // an UNTIL outside a block is ignored
    store(command, std::string(), position);
    if (run.blockLevel == 1) {
      RunBlocks(run);
      run.buffer.clear();
      run.blockLevel = 0;
    } else {
      --run.blockLevel;
    }
    return;
  }
  store(command, expected, position);
}

void CommandEngine::RunBlocks(Execution& run) {
  run.blockLevel = 0;
  run.continueBlock = false;
  std::size_t k = 1;
  while (k <= run.buffer.size()) {
    const Execution::BlockEntry& entry = run.buffer[k - 1];
    const std::string& c = entry.command;
    if (IsBlockStart(c)) {
      run.blockLevel = std::min(run.blockLevel + 1, kMaxBlockLevel);
      const int level = run.blockLevel;
      run.blockCounter[level] = 0;
      run.savedValue[level] = 0;
      run.savedValid[level] = false;
      std::string text(2 * static_cast<std::size_t>(level - 1), ' ');
      text += "{REPEAT}";
      DisplayExchange(text, "OK", "", kExchangeLine, entry.position);
      state_.LastReply.clear();
    } else if (c.size() >= 6 && c.starts_with("RSAVE") && c[5] >= '1' && c[5] <= '4') {
      const int field = c[5] - '0';
      const std::string value(TrimmedField(state_.LastReply, field));
      const int level = run.Level();
      run.savedValue[level] = static_cast<double>(ParseNumber(value));
      run.savedValid[level] = true;
      DisplayExchange("RSAVE" + std::to_string(field), value, "", kExchangeLine, entry.position);
      state_.LastReply.clear();
    } else if (IsBlockEnd(c)) {
      EvaluateUntil(run, k);
    } else {
      ExecuteCommand(run, c, entry.expected, entry.position);
    }

    // An UNTIL whose condition does not hold yet sends the run back to the
    // entry after its block's REPEAT, so that REPEAT (and its reset) runs
    // only when the block is entered from outside.
    k = run.continueBlock ? run.buffer[k - 1].blockStart + 1 : k + 1;
    run.continueBlock = false;
    if (CheckAbort() == 1) break;
  }
  CheckAbort();
}

void CommandEngine::EvaluateUntil(Execution& run, std::size_t index) {
  const Execution::BlockEntry& entry = run.buffer[index - 1];
  const std::string& c = entry.command;
  const int level = run.Level();
  const std::string_view argument = c.size() > 6 ? std::string_view(c).substr(6) : "";

  const double target = platform::ReadDecimal(TrimmedField(argument, 1));
  ++run.blockCounter[level];
  run.continueBlock = true;
  const bool saved = run.savedValid[level];
  const double subject =
      saved ? run.savedValue[level] : static_cast<double>(run.blockCounter[level]);
  const std::string reply = NumberText(subject);

  bool done = false;
  switch (c[5]) {
    case '=':
      done = subject == target;
      break;
    case '<':
      done = subject < target;
      break;
    case '>':
      done = subject > target;
      break;
    case 'R': {
      const double high = platform::ReadDecimal(TrimmedField(argument, 2));
      done = target <= subject && subject <= high;
      break;
    }
    case 'M':
      if (saved) {
        const std::int64_t masked = RoundToInt64(run.savedValue[level]) & state_.BitMask;
        done = masked == ParseNumber(platform::TrimmedView(argument));
      } else {
        done = static_cast<double>(run.blockCounter[level]) == target;
      }
      break;
    default:
      break;
  }
  if (done) run.continueBlock = false;

  std::string text(2 * static_cast<std::size_t>(level - 1), ' ');
  text += '{';
  text += c;
  text += '}';
  if (!run.continueBlock) run.blockLevel = std::max(run.blockLevel - 1, 0);
  DisplayExchange(text, reply, "", kExchangeLine, entry.position);
  state_.LastReply.clear();
}

void CommandEngine::RunDelay(std::string_view command) {
  const std::string_view rest = command.substr(5);
  long long ms;
  const std::size_t equals = rest.find('=');
  if (equals != std::string_view::npos) {
    // Clamped before rounding, so a huge value still means the longest wait.
    const double value = platform::ReadDecimal(platform::TrimmedView(rest.substr(equals + 1)));
    ms = value > 60000 ? 60000 : RoundToInt64(value);
    if (ms <= 50) ms = 50;
  } else if (rest.empty()) {
    ms = 2000;
  } else {
    switch (rest.front()) {
      case 'S':
        ms = 500;
        break;
      case 'M':
        ms = 1500;
        break;
      case 'L':
        ms = 3000;
        break;
      default:
        ms = 2000;
        break;
    }
  }

  // Waited in steps of 100 ms (the last one the remainder) so ESC is noticed
  // between steps; the first step is always a full 100 ms.
  const long long total = ms;
  long long step = 100;
  for (;;) {
    if (CheckAbort() == 1) {
      ShowDelayBar(ms, total, 0);
      return;
    }
    ShowDelayBar(ms, total, step);
    ms -= 100;
    if (ms < 100) step = ms;
    if (ms < 0) ms = 0;
    if (ms == 0) {
      ShowDelayBar(ms, total, 0);
      return;
    }
  }
}

void CommandEngine::ShowDelayBar(long long remaining, long long total, long long step) {
  std::string markup;
  if (step != 0) {
    const long long percent = 100 * remaining / total;
    display_.Flush();  // what came before the wait is shown during it
    host_.Delay(static_cast<double>(step) / 1000.0);
    markup = std::to_string(percent) + "%RED|" + std::to_string(100 - percent) + "%GREEN";
  } else {
    markup = kDelayBarDone;
  }
  host_.ShowBar(Bar::Delay, markup);
}

void CommandEngine::ShowCommandProgress(Execution& run, long long position, long long count) {
  const int percent = static_cast<int>(std::max(1LL, 100 * position / count));
  if (percent == run.shownProgress) return;
  run.shownProgress = percent;
  const char* colour = state_.AutomaticMode ? "%GOLD" : "%PURPLE";
  std::string markup = std::to_string(percent) + colour;
  if (percent < 100) markup += "|" + std::to_string(100 - percent) + "%GRAY";
  host_.ShowBar(Bar::Command, markup);
}

void CommandEngine::AbortStep(Execution& run) {
  std::string reply;
  double start = host_.Now();
  run.link.SendReceive(run.handle, "ABORT", reply);
  double end = host_.Now();
  if (end < start) start = end;
  state_.ExchangeTime = end - start;
  DisplayExchange("ABORT (ESCAPED)", reply, "", kExchangeLine, 0);
}

}  // namespace engine
