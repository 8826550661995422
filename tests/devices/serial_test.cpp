// The serial link's rules, on pseudo-terminals, and to device servers (RFC 2217).
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <tuple>

#include "devices/network_port.h"
#include "devices/serial_transport.h"
#include "devices/telnet_client.h"
#include "peer.h"
#include "platform/files.h"
#include "support/child_process.h"

namespace {

using namespace devices;

// Blanks trimmed; the address is the label's last two characters; the port any case,
// "COM" removed, ties to even; the baud exactly one of five; servers go in the port map.
TEST(SerialEntry, FollowsTheLineRulesAndSaysWhyALineFails) {
  const std::string rate = " is not one of 9600, 19200, 38400, 57600, 115200",
                    port = " is not one of COM1 to COM99";
  const std::string colon =
      "the brace group has no \":\" after a port name of at least 4 characters";
  const std::string address =
      "the label does not end in a controller address (a number above 0, or 00)";
  const std::string server =
      "a serial device server is named in the port map AppConfig/COMM_Map.cfg (COM7=";
  // "address,port,baud" of a line that parses.
  const std::vector<std::pair<std::string, std::string>> parsed = {
      {"Axis 01{COM9:115200}", "01,9,115200"},  {"Axis 01 {COM10:57600}", "01,10,57600"},
      {"Axis 01 {COM99:38400}", "01,99,38400"}, {"Axis 01 {COM1:9600 }", "01,1,9600"},
      {"Axis 01 {COM1: 19200}", "01,1,19200"},  {"Axis 00 {COM1:9600}", "00,1,9600"},
      {"Axis 1A {COM1:9600}", "1A,1,9600"},     {"Axis  7   {COM1:9600}", " 7,1,9600"},
      {"Axis 01 {Com 12:9600}", "01,12,9600"},  {"Axis 01 {COM2.5:9600}", "01,2,9600"},
      {"Axis 01 {COM3.5:9600}", "01,4,9600"},   {"Axis 01 {{COM4}:9600", "01,4,9600"}};
  const std::vector<std::pair<std::string, std::string>> others = {
      {"Axis 01 {/dev/ttyUSB0:115200}", "01,/dev/ttyUSB0,115200"},
      {"Lift 02 { /dev/serial/by-id/x : 9600 }", "02,/dev/serial/by-id/x,9600"},
      {"Axis 01 {COM0:9600}", "port COM0" + port},
      {"Axis 01 {COM100:9600}", "port COM100" + port},
      {"01{COM1", "the entry is shorter than 8 characters"},
      {"Axis 01 {COM1:4800}", "baud rate 4800" + rate},
      {"Axis 01 {COM1:9600,N,8,1}", "baud rate 9600,N,8,1" + rate},
      {"Axis 01 {COM1:09600}", "baud rate 09600" + rate},
      {"Axis AB {COM1:9600}", address},
      {"Axis -1 {COM1:9600}", address},
      {"Axis 01 {PORT3:9600}", "port PORT3" + port},
      {"Axis 01 {  C1:9600}", colon},
      {"Axis 01 {COM1 9600}", colon},
      {"Axis 01 {/a:9600}", colon},
      {"No brace at all, COM1:9600", "the entry has no brace group {PORT:BAUD} naming its port"},
      {"Net 01 {tcp://10.0.4.21:4001:115200}",
       server + "tcp://10.0.4.21:4001), and the entry names its COM port ({COM7:BAUD})"},
      {"Net 01 { RFC2217://[::1]:2217:9600 }",
       server + "RFC2217://[::1]:2217), and the entry names its COM port ({COM7:BAUD})"}};
  const auto parse = [](const std::string& entry) {
    const platform::Result<SerialEntry> e = ParseSerialEntry(entry);
    if (!e) return (e.Kind() == platform::ResultKind::CallerMistake ? "" : "(kind) ") + e.Text();
    return e->address + "," + (e->portPath.empty() ? std::to_string(e->portNumber) : e->portPath) +
           "," + std::to_string(e->baud);
  };
  for (const auto& cases : {parsed, others})
    for (const auto& [entry, expected] : cases) EXPECT_EQ(parse(entry), expected) << entry;
}

TEST(SerialComMap, NamesPortsAndServers) {
  auto map = ParseComMap(
      "\xEF\xBB\xBF"
      "COM3=/dev/ttyUSB0\r\n  com12 =  /dev/ttyACM1  \n# COM4=/dev/x\n; COM5=/dev/x\n"
      "COM6\nCOM0=/dev/x\nCOMX=/dev/x\nCOM7=\nCOM3=/dev/ttyUSB9\nCOM8=rfc2217://[::1]:2217\n");
  EXPECT_EQ(map, (std::map<int, std::string>{
                     {3, "/dev/ttyUSB9"}, {8, "rfc2217://[::1]:2217"}, {12, "/dev/ttyACM1"}}));
}

// SETTLE in seconds up to the reply time-out; a misfit keeps the default and is named.
TEST(SerialTiming, SettleIsReadAndEveryLineThatDoesNotFitIsNamed) {
  const std::tuple<const char*, double, const char*> cases[] = {
      {"\xEF\xBB\xBF# waits\r\n; more\r\n\r\n  settle = 2 \r\n", 2.0, ""},
      {"SETTLE=0", 0.0, ""},
      {"SETTLE=10", 10.0, ""},
      {"SETTLE=abc", 1.0,
       "T.cfg, line 1: \"SETTLE=abc\": the settle time is not a number of seconds"},
      {"\r\n\nSETTLE=-1", 1.0, "T.cfg, line 3: \"SETTLE=-1\": the settle time is negative"},
      {"SETTLE=10.5", 1.0,
       "line 1: \"SETTLE=10.5\": the settle time is longer than the reply time-out of 10 s"},
      {"SETTLE=1e3", 1.0, "not a number of seconds"},
      {"SETTLE=.", 1.0, "not a number of seconds"},
      {"SETTLE=1.2.3", 1.0, "not a number of seconds"},
      {"SETTLE=", 1.0, "not a number of seconds"},
      {"SETTLE 2", 1.0, "line 1: \"SETTLE 2\": not NAME=value"},
      {"QUIET=1\rSETTLE=3", 3.0, "line 1: \"QUIET=1\": unknown name"}};
  for (const auto& [text, settle, note] : cases) {
    std::vector<std::string> notes;
    EXPECT_EQ(ParseSerialTiming(text, 10.0, "T.cfg", notes).settleSeconds, settle) << text;
    ASSERT_EQ(notes.size(), *note ? 1u : 0u) << text;
    for (const std::string& n : notes)
      EXPECT_TRUE(n.find(note) != std::string::npos && n.starts_with("T.cfg, line ")) << n;
  }
}

class SerialLink : public ::testing::Test {
 protected:
  // The configuration folder is spelt unlike the name the link looks for.
  void SetUp() override {
    ASSERT_TRUE(peer.slave >= 0) << "no pseudo-terminal available";
    ASSERT_TRUE(platform::CreateDirectory(folder / "appconfig"));
  }
  std::string Entry(const std::string& address, int baud = 9600) {
    return "Axis " + address + " {" + peer.path + ":" + std::to_string(baud) + "}";
  }
  LinkHandle Open(SerialTransport& link, const std::string& address = "01") {
    const platform::Result<LinkHandle> opened = link.Open(Entry(address));
    EXPECT_TRUE(opened) << opened.Text();
    return opened ? *opened : 0;
  }

  testing_support::TestFolder folder;
  devices_test::Peer peer;
  std::string reply;
};

TEST_F(SerialLink, EntriesAndPortNamesComeFromTheConfigurationFiles) {
  SerialTransport link(folder.Path() + "/");
  std::string file = folder / "appconfig/comm_ports.CFG";
  EXPECT_TRUE(link.ListEntries().empty());  // no file
  for (std::string text : {"", "\xEF\xBB\xBF"}) {
    ASSERT_TRUE(platform::WriteFileAtomic(file, text));
    EXPECT_TRUE(link.ListEntries().empty()) << text.size();
  }
  // A byte order mark skipped; lines end at CR, LF ignored, trimmed, blanks skipped.
  ASSERT_TRUE(platform::WriteFileAtomic(file,
                                        "\xEF\xBB\xBF"
                                        "A 01{COM1:9600}\r\n\r\n  B 02{COM2:19200}  \rC\n 3"));
  EXPECT_EQ(link.SerialListEntries(), "A 01{COM1:9600}|B 02{COM2:19200}|C 3");

  peer.Serve([](const std::string&) { return std::string("MAPPED\r"); });
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "appconfig/COMM_Map.cfg",
                                        "# adapters\r\ncom7 = " + peer.path + "\r\n"));
  LinkHandle handle = 0;
  ASSERT_EQ(link.SerialOpen(handle, "Axis 01 {com 7 : 9600 }"), 1);
  EXPECT_NE(handle, 0);
  EXPECT_EQ(link.SerialSendReceive(handle, "ID", reply), 1);
  EXPECT_EQ(reply, "MAPPED");
  EXPECT_EQ(link.SerialClose(handle), 1);
  EXPECT_EQ(link.SerialOpen(handle, "Axis 01 {COM99:9600}"), 0);
  EXPECT_EQ(handle, 0);
  EXPECT_EQ(link.Open("Axis 01 {COM99:9600}").Text(),
            "COM99 is not in the port map; /dev/ttyS98: No such file or directory");
}

// The LF right after a CR, whenever it comes, is dropped; any other LF is reply.
TEST_F(SerialLink, CrLfLineEndsGiveEachReplyWholeAndOtherLineFeedsStay) {
  peer.Serve([](const std::string& frame) {
    if (frame == "@01A\r") return std::string("A\r\n");
    if (frame == "@01B\r") return std::string("B\r");      // A's LF is already waiting
    if (frame == "@01C\r") return std::string("\nC\r\n");  // B's LF comes late
    return std::string("\nD\nE\r");                        // C's LF, then two of D's own
  });
  SerialTransport link(folder.Path());
  LinkHandle handle = Open(link);
  for (auto [command, expected] : {std::pair{"A", "A"}, {"B", "B"}, {"C", "C"}, {"D", "\nD\nE"}}) {
    EXPECT_EQ(link.SendReceive(handle, command, reply), LinkStatus::Ok) << command;
    EXPECT_EQ(reply, expected) << command;
  }
}

// COMM_Timing.cfg is read again at every discovery; a misfit is told once.
TEST_F(SerialLink, TheSettleTimeIsReadFromTheTimingFile) {
  const std::string file = folder / "appconfig/COMM_Timing.cfg";
  ASSERT_TRUE(platform::WriteFileAtomic(file, "SETTLE=0.25\r\n"));
  SerialTransport link(folder.Path());
  EXPECT_EQ(link.Timing().settleSeconds, 0.25);
  ASSERT_TRUE(platform::WriteFileAtomic(file, "# the link's waits\r\nSETTLE=fast\r\n"));
  link.ListEntries();
  EXPECT_EQ(link.Timing().settleSeconds, 1.0);
  EXPECT_EQ(link.TakeNotes().size(), 1u);
  EXPECT_TRUE(link.TakeNotes().empty());
}

TEST_F(SerialLink, PortThatGoesAwayEndsTheWaitFailsWritesAndCannotBeReopened) {
  peer.Serve([&](const std::string&) {
    peer.Send("12");
    peer.Hangup();
    return std::string();
  });
  SerialTransport link(folder.Path(), 60.0);
  LinkHandle handle = Open(link);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), LinkStatus::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), LinkStatus::WriteFailed);
  EXPECT_EQ(reply, "(COM Error)");
  EXPECT_EQ(link.SendReceive(42, "PX", reply), LinkStatus::WriteFailed);  // never opened
  link.Close(handle);
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "plain.txt", "not a port"));
  for (auto [port, why] : {std::pair{peer.path, ": No such file or directory"},
                           {folder / "plain.txt", " is not a serial port"}}) {
    const platform::Result<LinkHandle> opened = link.Open("Axis 01 {" + port + ":9600}");
    EXPECT_EQ(opened.Kind(), platform::ResultKind::SystemFailure) << port;
    EXPECT_EQ(opened.Text(), port + why);
    EXPECT_EQ(link.SerialAddress(), "");
  }
}

// A reply cut short or endless times out; a handle is closed only once.
TEST_F(SerialLink, UnfinishedAndEndlessRepliesTimeOut) {
  peer.Serve([&](const std::string& frame) {
    if (frame == "@01HALF\r") return std::string("12");
    while (peer.Send(std::string(4096, 'B'))) continue;
    return std::string();
  });
  SerialTransport link(folder.Path(), 1.0);
  LinkHandle handle = Open(link);
  EXPECT_EQ(link.SerialSendReceive(handle, "HALF", reply), -2);
  EXPECT_EQ(reply, "(SERIAL Timeout)");
  EXPECT_EQ(link.SendReceive(handle, "B", reply), LinkStatus::TimedOut);
  EXPECT_EQ(link.Close(handle), LinkStatus::Ok);
  EXPECT_EQ(link.SerialAddress(), "");
  EXPECT_EQ(link.Close(handle), LinkStatus::Failed);
}

TEST_F(SerialLink, PortIsTakenExclusivelyAsARawEightNoneOneLine) {
  termios t;
  ASSERT_EQ(::tcgetattr(peer.slave, &t), 0);
  t.c_cflag |= PARENB | CSTOPB;
  ASSERT_EQ(::tcsetattr(peer.slave, TCSANOW, &t), 0);
  SerialTransport link(folder.Path());
  for (auto [baud, speed] :
       {std::pair<int, speed_t>{115200, B115200}, {19200, B19200}, {9600, B9600}}) {
    int queued = 0, exclusive = 0;
    ASSERT_TRUE(peer.Send("STALE\r"));  // on the line before the port is opened
    for (int i = 0; i < 5000 && ::ioctl(peer.slave, FIONREAD, &queued) == 0 && !queued; ++i)
      ::usleep(1000);
    const platform::Result<LinkHandle> first = link.Open(Entry("01", baud));
    ASSERT_TRUE(first) << first.Text();
    EXPECT_TRUE(::ioctl(peer.slave, FIONREAD, &queued) == 0 && queued == 0) << "not flushed";
    EXPECT_EQ(link.Open(Entry("02")).Text(), peer.path + " is held by another program");
    ASSERT_EQ(::tcgetattr(peer.slave, &t) | ::ioctl(peer.slave, TIOCGEXCL, &exclusive), 0);
    // Raw 8N1 at the entry's rate, held exclusively; flow control (IXON) stays as it was.
    EXPECT_EQ(
        std::tuple(::cfgetospeed(&t), ::cfgetispeed(&t), t.c_cflag & (CSIZE | PARENB | CSTOPB),
                   (t.c_lflag & (ICANON | ECHO | ISIG)) | (t.c_oflag & OPOST) |
                       (t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON)),
                   exclusive),
        std::tuple(speed, speed, tcflag_t{CS8}, tcflag_t{IXON}, 1));
    link.Close(*first);
    EXPECT_TRUE(::ioctl(peer.slave, TIOCGEXCL, &exclusive) == 0 && exclusive == 0) << "still held";
  }
  ASSERT_EQ(::flock(peer.slave, LOCK_EX | LOCK_NB), 0);  // another program's lock
  EXPECT_EQ(link.Open(Entry("01")).Text(), peer.path + " is held by another program");
}

using namespace std::string_literals;

std::string Bytes(std::initializer_list<int> bytes) {
  return std::string(bytes.begin(), bytes.end());
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
      {"udp://host:1", "- \"udp://host:1\" is not tcp://HOST:PORT or rfc2217://HOST:PORT"}};
  for (const auto& [text, expected] : cases) {
    const platform::Result<NetworkAddress> a = ParseNetworkAddress(text);
    EXPECT_EQ(
        a ? std::string(a->telnet ? "rfc2217 " : "tcp ") + a->host + " " + std::to_string(a->port)
          : "- " + a.Text(),
        expected);
    EXPECT_TRUE(a || a.Kind() == platform::ResultKind::CallerMistake) << text;
  }
}

// Bytes from the server, split at every position: the data out, the answers back.
TEST(TelnetClient, TakesCommandsOutOfTheDataAndAnswersRequestsOnce) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {Bytes({255, 253, 1, 255, 253, 24}), "", Bytes({255, 252, 1, 255, 252, 24})},
      {Bytes({255, 251, 1}), "", Bytes({255, 254, 1})},  // no echo: it would come back as a reply
      {Bytes({255, 251, 3, 255, 251, 3}), "", Bytes({255, 253, 3})},
      {Bytes({255, 241, 255, 249}) + "X", "X", ""},  // NOP, GA
      {"1" + Confirm(7, Bytes({0})) + "2", "12", ""},
      {Bytes({255, 250, 44}) + std::string(200, 'g') + Bytes({255, 240}) + "OK", "OK", ""},
      {Bytes({255, 250, 44, 255, 253, 1}) + "Z", "Z", Bytes({255, 252, 1})},  // a broken SB ends
      {Bytes({255, 251, 0}) + "A\r\0B"s, "A\r\0B"s, Bytes({255, 253, 0})}};
  for (const auto& [in, data, answers] : cases)
    for (std::size_t cut = 0; cut <= in.size(); ++cut) {
      TelnetClient client;
      std::string out;
      client.Receive(in.substr(0, cut), out);
      client.Receive(in.substr(cut), out);
      EXPECT_EQ(out, data) << testing::PrintToString(in) << " cut at " << cut;
      EXPECT_EQ(client.TakeAnswers(), answers) << testing::PrintToString(in);
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
  return s.Send(kDoComPort) && s.ReadUntil(Bytes({255, 250, 44, 12, 1, 255, 240})) &&
         s.Send(Confirm(1, Bytes({0, baud >> 16 & 255, baud >> 8 & 255, baud & 255})) +
                kConfirm8N1);
}

class NetworkLink : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(folder / "AppConfig")); }
  // Opens COM1 mapped to `url`; the handle is kept for Exchange().
  platform::Result<LinkHandle> Open(const std::string& url, double seconds = 0.3) {
    EXPECT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/COMM_Map.cfg", "COM1=" + url));
    link = std::make_unique<SerialTransport>(folder.Path(), seconds);
    platform::Result<LinkHandle> opened = link->Open("Axis 01 {COM1:115200}");
    handle = opened ? *opened : 0;
    return opened;
  }
  std::string Exchange(const std::string& command) {
    std::string reply;
    link->SendReceive(handle, command, reply);
    return reply;
  }

  testing_support::TestFolder folder;
  std::unique_ptr<SerialTransport> link;
  LinkHandle handle = 0;
};

TEST_F(NetworkLink, UnreachableServersAreNotAvailableWithTheirReason) {
  // A port held but never listened on refuses every connection.
  int port = 0, held = testing_support::BoundLoopbackSocket(port);
  const std::string closed = "127.0.0.1:" + std::to_string(port);
  const std::pair<std::string, std::string> cases[] = {
      {"tcp://" + closed, "cannot connect to " + closed + ": Connection refused"},
      {"rfc2217://" + closed, "cannot connect to " + closed + ": Connection refused"},
      {"rfc2217://[::1]:1", "cannot connect to [::1]:1: "},
      {"tcp://no host!:4000", "\"no host!\" is not a valid host name or address"}};
  auto start = std::chrono::steady_clock::now();
  for (const auto& [url, why] : cases) EXPECT_EQ(Open(url, 60.0).Text().substr(0, why.size()), why);
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
    while (s.Send(Bytes({255, 241}))) continue;
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
       "did not confirm the line settings before the time-out"}};
  for (const auto& [serve, why] : cases) {
    Peer server(serve);
    const std::string where = "127.0.0.1:" + std::to_string(server.port);
    const auto opened = Open("rfc2217://" + where);
    EXPECT_EQ(opened.Text(), "the server at " + where + " " + why);
  }
}

}  // namespace
