// A command engine wired to a virtual-time window, a fake link and the plain
// reply capture, with helpers to read back what the display shows.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/command_engine.h"
#include "support/fake_host.h"
#include "support/fake_transport.h"

namespace engine_testing {

class EngineTest : public ::testing::Test {
 protected:
  testing_support::FakeHost host;
  testing_support::FakeTransport link;
  engine::PlainReplyCapture capture;
  engine::CommandEngine engine{host, capture};

  void Run(std::string_view line, devices::LinkKind kind = devices::LinkKind::Hid) {
    engine.ExecuteCommandLine(link, 7, line, kind);
  }

  // Answers each listed command with its replies in turn (the last one
  // repeats); every other command is answered "OK".
  void Answer(std::map<std::string, std::vector<std::string>> replies) {
    link.answer = [table = std::move(replies),
                   used = std::map<std::string, std::size_t>()](const std::string& c) mutable {
      auto it = table.find(c);
      if (it == table.end() || it->second.empty()) return std::string("OK");
      std::size_t& n = used[c];
      const std::string& reply = it->second[std::min(n, it->second.size() - 1)];
      ++n;
      return reply;
    };
  }

  // Presses ESC (as the window does while a line runs) at the first pump after
  // `sends` commands have gone out.
  void PressEscAfterSends(std::size_t sends) {
    host.onDoEvents = [this, sends] {
      if (link.sent.size() >= sends && engine.State().EngineRunning == 1) {
        engine.State().AbortRequest = 1;
      }
    };
  }

  // The display split into lines (CR LF removed).
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    const std::string& text = host.Display();
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // One entry of the compact show mode (3) with no exchange time.
  static std::string Compact(const std::string& command, const std::string& reply) {
    return "  " + command + " (" + reply + ") (0ms)";
  }
};

}  // namespace engine_testing
