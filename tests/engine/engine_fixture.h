// A command engine on a virtual-time window, a fake link and the plain reply capture.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string_view>

#include "engine/command_engine.h"
#include "support/fake_host.h"
#include "support/fake_transport.h"

namespace engine_testing {

using Strings = std::vector<std::string>;

class EngineTest : public ::testing::Test {
 protected:
  testing_support::FakeHost host;
  testing_support::FakeTransport link;
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine{host, capture};
  engine::EngineState& state = engine.State();

  void Run(std::string_view line, devices::LinkKind kind = devices::LinkKind::Hid) {
    engine.ExecuteCommandLine(link, 7, line, kind);
  }
  // Runs `line` with `values` as its expected values.
  void Run(std::string_view line, const std::string& values) {
    state.ExpectedValuesLine = values;
    state.ExpectedValuesPresent = true;
    Run(line);
  }
  // Each listed command gets its replies in turn (the last repeats); others get "OK".
  void Answer(std::map<std::string, Strings> replies) {
    link.answer = [table = std::move(replies),
                   used = std::map<std::string, std::size_t>()](const std::string& c) mutable {
      auto it = table.find(c);
      if (it == table.end()) return std::string("OK");
      return it->second[std::min(used[c]++, it->second.size() - 1)];
    };
  }
  // ESC, as the window sets it while a line runs, once `sends` commands went out.
  void PressEscAfterSends(std::size_t sends) {
    host.onDoEvents = [this, sends] {
      if (link.sent.size() >= sends && state.EngineRunning) state.AbortRequest = true;
    };
  }
  // The display's entries joined by "|", without CR LF, "  " margins and " (0ms)".
  std::string Shown() {
    std::string shown, text = host.display;
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
      end = std::min(text.find("\r\n", start), text.size());
      std::string_view entry(text.data() + start, end - start);
      if (entry.starts_with("  ")) entry.remove_prefix(2);
      if (entry.ends_with(" (0ms)")) entry.remove_suffix(6);
      shown.append(start == 0 ? "" : "|").append(entry);
    }
    return shown;
  }
};

}  // namespace engine_testing
