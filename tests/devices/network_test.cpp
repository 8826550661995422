// Serial device servers: the address rules, the telnet side of RFC 2217 as
// pure bookkeeping, and the link against scripted servers on loopback ports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>

#include "devices/network_port.h"
#include "devices/serial_transport.h"
#include "devices/telnet_client.h"
#include "peer.h"
#include "platform/files.h"
#include "support/child_process.h"

namespace {

using namespace std::string_literals;
using devices::LinkStatus;
using devices::TelnetClient;
using testing_support::BoundLoopbackSocket;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}
const std::string kDoComPort = Bytes({255, 253, 44}), kDontComPort = Bytes({255, 254, 44});
// The server's confirmation of a COM port setting (its code + 100).
std::string Confirm(int code, const std::string& value) {
  return Bytes({255, 250, 44, code + 100}) + value + Bytes({255, 240});
}
const std::string kConfirm8N1 =
    Confirm(2, Bytes({8})) + Confirm(3, Bytes({1})) + Confirm(4, Bytes({1}));

TEST(NetworkAddress, NamesASchemeAHostAndAPort) {
  const std::string kBadPort = "\" has no port number from 1 to 65535 after the host";
  const std::string kLong(64, 'a');  // one more than a label may have
  const std::pair<std::string, std::string> cases[] = {
      {"RFC2217://station-3.line_2:2217", "rfc2217 station-3.line_2 2217"},
      {"tcp://[::1]:65535", "tcp ::1 65535"},
      {"tcp://::1:80", "- \"::1\" is not a valid host name or address"},
      {"tcp://a..b:1", "- \"a..b\" is not a valid host name or address"},
      {"tcp://" + kLong + ":1", "- \"" + kLong + "\" is not a valid host name or address"},
      {"tcp://host:0", "- \"tcp://host:0" + kBadPort},
      {"tcp://host:65536", "- \"tcp://host:65536" + kBadPort},
      {"tcp://host", "- \"tcp://host" + kBadPort},
      {"udp://host:1", "- \"udp://host:1\" is not tcp://HOST:PORT or rfc2217://HOST:PORT"},
  };
  for (const auto& [text, expected] : cases) {
    const platform::Result<devices::NetworkAddress> a = devices::ParseNetworkAddress(text);
    EXPECT_EQ(
        a ? std::string(a->telnet ? "rfc2217 " : "tcp ") + a->host + " " + std::to_string(a->port)
          : "- " + a.Text(),
        expected);
    if (!a) {
      EXPECT_EQ(a.Kind(), platform::ResultKind::CallerMistake) << text;
    }
  }
}

// Bytes from the server, split at every position: the data that comes out,
// the answers that go back.
TEST(TelnetClient, TakesCommandsOutOfTheDataAndAnswersRequestsOnce) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {Bytes({255, 253, 1, 255, 253, 24}), "", Bytes({255, 252, 1, 255, 252, 24})},
      {Bytes({255, 251, 1}), "", Bytes({255, 254, 1})},  // no echo: it would come back as a reply
      {Bytes({255, 251, 3, 255, 251, 3}), "", Bytes({255, 253, 3})},
      {Bytes({255, 241, 255, 249}) + "X", "X", ""},  // NOP, GA
      {"1" + Confirm(7, Bytes({0})) + "2", "12", ""},
      {Bytes({255, 250, 44}) + std::string(200, 'g') + Bytes({255, 240}) + "OK", "OK", ""},
      {Bytes({255, 250, 44, 255, 253, 1}) + "Z", "Z", Bytes({255, 252, 1})},  // a broken SB ends
      {Bytes({255, 251, 0}) + "A\r\0B"s, "A\r\0B"s, Bytes({255, 253, 0})},
  };
  for (const auto& [in, data, answers] : cases) {
    for (std::size_t cut = 0; cut <= in.size(); ++cut) {
      TelnetClient client;
      std::string out;
      client.Receive(in.substr(0, cut), out);
      client.Receive(in.substr(cut), out);
      EXPECT_EQ(out, data) << testing::PrintToString(in) << " cut at " << cut;
      EXPECT_EQ(client.TakeAnswers(), answers) << testing::PrintToString(in);
    }
  }
}

TEST(TelnetClient, EncodesForTheAgreedModeAndDoublesA0xFFRateByte) {
  TelnetClient client;
  std::string data;
  client.Greeting();
  EXPECT_EQ(client.Encode("@01\xff\r"), "@01\xff\xff\r"s + '\0');
  client.Receive(kDoComPort + Bytes({255, 253, 0, 255, 251, 0}), data);
  EXPECT_EQ(client.TakeAnswers(), "");  // our own requests, answered
  EXPECT_EQ(client.Encode("@01\r"), "@01\r");
  EXPECT_EQ(client.LineSettings(65280).substr(0, 11),
            Bytes({255, 250, 44, 1, 0, 0, 255, 255, 0, 255, 240}));
  client.Receive(kConfirm8N1, data);
  EXPECT_FALSE(client.LineConfirmed());
  client.Receive(Confirm(1, Bytes({0, 0, 255, 255, 0})), data);
  EXPECT_TRUE(client.LineConfirmed());
  EXPECT_EQ(client.ConfirmedBaud(), 65280);
}

using devices_test::Peer;

// The COM port agreed and the settings confirmed, with `baud` as the rate.
bool AgreeOnTheLine(Peer& s, int baud) {
  auto rate = static_cast<std::uint32_t>(baud);
  return s.Send(kDoComPort) && s.ReadUntil(Bytes({255, 250, 44, 12, 1, 255, 240})) &&
         s.Send(
             Confirm(1, Bytes({0, static_cast<int>(rate >> 16 & 255),
                               static_cast<int>(rate >> 8 & 255), static_cast<int>(rate & 255)})) +
             kConfirm8N1);
}

class NetworkLink : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(folder / "AppConfig")); }
  // Opens COM1 mapped to `url`; the handle is kept for Exchange().
  platform::Result<devices::LinkHandle> Open(const std::string& url, double seconds = 0.3) {
    EXPECT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/COMM_Map.cfg", "COM1=" + url));
    link = std::make_unique<devices::SerialTransport>(folder.Path(), seconds);
    platform::Result<devices::LinkHandle> opened = link->Open("Axis 01 {COM1:115200}");
    handle = opened ? *opened : 0;
    return opened;
  }
  std::string Exchange(const std::string& command) {
    std::string reply;
    link->SendReceive(handle, command, reply);
    return reply;
  }

  testing_support::TestFolder folder;
  std::unique_ptr<devices::SerialTransport> link;
  devices::LinkHandle handle = 0;
};

TEST_F(NetworkLink, UnreachableServersAreNotAvailableWithTheirReason) {
  // A port held but never listened on refuses every connection.
  int port = 0, held = BoundLoopbackSocket(port);
  const std::string closed = "127.0.0.1:" + std::to_string(port);
  const std::pair<std::string, std::string> cases[] = {
      {"tcp://" + closed, "cannot connect to " + closed + ": Connection refused"},
      {"rfc2217://" + closed, "cannot connect to " + closed + ": Connection refused"},
      {"rfc2217://[::1]:1", "cannot connect to [::1]:1: "},
      {"tcp://no host!:4000", "\"no host!\" is not a valid host name or address"},
  };
  auto start = std::chrono::steady_clock::now();
  for (const auto& [url, why] : cases) {
    const auto opened = Open(url, 60.0);
    EXPECT_FALSE(opened) << url;
    EXPECT_EQ(opened.Text().substr(0, why.size()), why);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  ::close(held);
}

TEST_F(NetworkLink, TelnetServerSetsTheLineAndItsCommandsStayOutOfReplies) {
  std::atomic<bool> answered{false};
  Peer server([&answered](Peer& s) {
    if (!AgreeOnTheLine(s, 115200) || !s.ReadUntil("@01\xff\xff\r")) return;
    s.Send(Bytes({255, 253, 24}) + "O" + Confirm(7, Bytes({0})) + "\xff\xffK\r");
    answered = s.ReadUntil(Bytes({255, 252, 24}));
    // Then nothing but telnet commands: they never count as a reply.
    while (s.Send(Bytes({255, 241}))) {
    }
  });
  const auto opened = Open("rfc2217://127.0.0.1:" + std::to_string(server.port));
  ASSERT_TRUE(opened) << opened.Text();
  EXPECT_EQ(Exchange("\xff"), "O\xffK");
  EXPECT_EQ(Exchange("PX"), "(SERIAL Timeout)");
  EXPECT_TRUE(answered);
}

TEST_F(NetworkLink, TelnetServerThatRefusesOrChangesTheLineIsNotAvailable) {
  const std::pair<std::function<void(Peer&)>, std::string> cases[] = {
      {[](Peer& s) { s.Send(kDontComPort); }, "does not offer COM port control (RFC 2217)"},
      {[](Peer& s) { AgreeOnTheLine(s, 9600); },
       "set the line to 9600 baud, data size 8, parity code 1, stop size code 1 instead of "
       "115200 8N1"},
      {[](Peer& s) { s.ReadUntil("never"); },
       "did not answer the COM port control request before the time-out"},
      {[](Peer& s) { s.Send(kDoComPort); },
       "did not confirm the line settings before the time-out"},
  };
  for (const auto& [serve, why] : cases) {
    Peer server(serve);
    const std::string where = "127.0.0.1:" + std::to_string(server.port);
    const auto opened = Open("rfc2217://" + where);
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.Text(), "the server at " + where + " " + why);
  }
}

}  // namespace
