// A whole command line, with an expected-values line, run against a link that
// answers from the fuzz data, on a virtual-time window: DELAY never sleeps,
// ESC is pressed after a budget of event pumps so a block that never ends
// stops, and the engine's end-of-line state is checked.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "devices/link.h"
#include "engine/command_engine.h"
#include "engine/reply_capture.h"
#include "tests/support/fake_host.h"

namespace {

// Pieces that make the directives likely; a tokenised input maps bytes below
// the table size to these and passes the rest through.
const char* const kTokens[] = {
    "REPEAT", "UNTIL=",  "UNTIL<", "UNTIL>", "UNTILR", "UNTILM", "RSAVE1", "RSAVE2",
    "RSAVE4", "DELAY",   "DELAY=", "DELAYS", "SHOWDC", "SHOW32", "SHOW16", "SHOW08",
    "SHOWHX", "BTMASK=", "SETPAR", "XS=",    "XU",     "'",      ",",      ", ",
    "(",      ")",       "*XS",    "/XT",    ":",      "X",      "B",      "1e308",
};
constexpr std::size_t kTokenCount = sizeof(kTokens) / sizeof(kTokens[0]);

std::string Line(FuzzedDataProvider& data, bool tokenised) {
  std::string raw = data.ConsumeRandomLengthString(4096);
  if (!tokenised) return raw;
  std::string out;
  for (unsigned char c : raw) {
    if (c < kTokenCount) {
      out += kTokens[c];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

class FuzzLink : public devices::Transport {
 public:
  FuzzLink(FuzzedDataProvider& data, testing_support::FakeHost& host) : data_(data), host_(host) {}
  std::vector<std::string> ListEntries() override { return {}; }
  platform::Result<devices::LinkHandle> Open(const std::string&) override {
    return devices::LinkHandle{1};
  }
  devices::LinkStatus SendReceive(devices::LinkHandle, const std::string&,
                                  std::string& reply) override {
    reply = data_.ConsumeRandomLengthString(64);
    // The exchange takes some time, and now and then the clock steps back.
    host_.now += static_cast<double>(data_.ConsumeIntegralInRange<int>(-20, 100)) / 1000.0;
    return static_cast<devices::LinkStatus>(data_.ConsumeIntegralInRange<int>(0, 3));
  }
  devices::LinkStatus Close(devices::LinkHandle) override { return devices::LinkStatus::Ok; }

 private:
  FuzzedDataProvider& data_;
  testing_support::FakeHost& host_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::uint8_t flags = data.ConsumeIntegral<std::uint8_t>();
  const std::int32_t slots[] = {0, 1, 8, 9, engine::kCaptureVerify, -1};
  const std::int32_t slot = slots[data.ConsumeIntegralInRange<int>(0, 5)];
  const bool tokenised = (flags & 1) != 0;
  const std::string line = Line(data, tokenised);
  const std::string expected = Line(data, tokenised);
  const std::string verify = data.ConsumeRandomLengthString(64);
  const std::string lastReply = data.ConsumeRandomLengthString(32);

  testing_support::FakeHost host;
  host.keepAppends = false;
  host.keepHistory = false;
  FuzzLink link(data, host);
  engine::PlainReplyCapture capture;
  capture.ReplyCaptureSlot = slot;
  capture.VerifyExpected = verify;
  engine::CommandEngine engine(host, capture);
  if (flags & 2) engine.Display().SwitchToRich();
  engine.State().ShowMode = (flags >> 2) % 6;
  engine.State().AutomaticMode = (flags & 0x20) != 0;
  engine.State().ExpectedValuesLine = expected;
  engine.State().ExpectedValuesPresent = (flags & 0x40) != 0;
  engine.State().LastReply = lastReply;
  const auto kind = static_cast<devices::LinkKind>(data.ConsumeIntegralInRange<int>(0, 2));

  // ESC after a budget of pumps: a block whose condition never holds runs
  // until ESC, as it would for an operator. A few hundred pumps take a
  // block through all it does (its passes soon repeat themselves, the fuzz
  // data used up); thousands made each run slow and reached no more code.
  const int budget = data.ConsumeIntegralInRange<int>(1, 500);
  host.onDoEvents = [&] {
    if (host.doEventsCalls >= budget && engine.State().EngineRunning) {
      engine.State().AbortRequest = true;
    }
  };

  engine.ExecuteCommandLine(link, 1, line, kind);

  const engine::EngineState& s = engine.State();
  if (s.EngineRunning || s.AbortRequest) __builtin_trap();
  if (s.ExpectedValuesPresent || !s.ExpectedValuesLine.empty()) __builtin_trap();
  if (!(s.ExchangeTime >= 0)) __builtin_trap();
  if (host.byteCount && *host.byteCount != host.display.size()) {
    __builtin_trap();
  }
  // A DELAY waits in steps of at most 100 ms.
  for (double d : host.delays) {
    if (d < 0 || d > 0.1 + 1e-9) __builtin_trap();
  }
  return 0;
}
