// The serial link over real pseudo-terminals, with a scripted controller on
// the far end.
#include "devices/serial_transport.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "platform/files.h"
#include "serial_pty_peer.h"
#include "support/test_folder.h"

namespace {

using devices::LinkHandle;
using devices::SerialTransport;
using serial_test::PtyPeer;

constexpr double kShortTimeout = 0.3;

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer.Ready()) << "no pseudo-terminal available";
    ASSERT_TRUE(platform::CreateDirectory(folder / "AppConfig"));
  }

  std::string Entry(const std::string& address, int baud = 9600) {
    return "Axis " + address + " {" + peer.Path() + ":" + std::to_string(baud) + "}";
  }

  testing_support::TestFolder folder;
  PtyPeer peer;
};

TEST_F(SerialLinkTest, EntriesComeFromTheConfigurationFoundInAnyLetterCase) {
  // Only a folder spelt differently from the name the link looks for.
  ASSERT_EQ(::rmdir((folder / "AppConfig").c_str()), 0);
  ASSERT_TRUE(platform::CreateDirectory(folder / "appconfig"));
  ASSERT_TRUE(platform::WriteFileAtomic(
      folder / "appconfig/comm_ports.CFG",
      "Axis 01 {COM1:9600}\r\n\r\n  Lift 02 {COM2:19200}  \rLast\n 03{COM3:9600}"));
  SerialTransport link(folder.Path());
  std::vector<std::string> expected = {"Axis 01 {COM1:9600}", "Lift 02 {COM2:19200}",
                                       "Last 03{COM3:9600}"};
  EXPECT_EQ(link.ListEntries(), expected);
  EXPECT_EQ(link.SerialListEntries(),
            "Axis 01 {COM1:9600}|Lift 02 {COM2:19200}|Last 03{COM3:9600}");
}

TEST(SerialLinkFiles, MissingOrEmptyConfigurationListsNothing) {
  testing_support::TestFolder folder;
  SerialTransport link(folder.Path() + "/");
  EXPECT_TRUE(link.ListEntries().empty());
  ASSERT_TRUE(platform::CreateDirectory(folder / "AppConfig"));
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/COMM_Ports.cfg", ""));
  EXPECT_EQ(link.SerialListEntries(), "");
}

TEST_F(SerialLinkTest, FrameIsAtSignAddressCommandAndCr) {
  peer.Serve([](const std::string&) { return std::string("1234\r"); });
  SerialTransport link(folder.Path());
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  EXPECT_NE(handle, 0);
  EXPECT_EQ(link.SerialAddress(), "01");
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), devices::kSerialReplyReceived);
  EXPECT_EQ(reply, "1234");
  EXPECT_EQ(peer.Received(), "@01PX\r");
  EXPECT_EQ(peer.Received().size(), 6u);
  EXPECT_EQ(link.Close(handle), 1);
  EXPECT_EQ(link.SerialAddress(), "");
  EXPECT_EQ(link.Close(handle), 0);
}

TEST_F(SerialLinkTest, ReplyKeepsLfAndEndsAtCrWithLaterBytesLeftForTheNextCommand) {
  int frames = 0;
  peer.Serve([&](const std::string&) {
    return ++frames == 1 ? std::string("A\nB\n\rNEXT\r") : std::string();
  });
  SerialTransport link(folder.Path(), kShortTimeout);
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("07"), handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "ID", reply), 1);
  EXPECT_EQ(reply, "A\nB\n");
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), 1);
  EXPECT_EQ(reply, "NEXT");
  link.Close(handle);
}

TEST_F(SerialLinkTest, NulAndEightBitBytesPassUnchanged) {
  const std::string bytes("\0\x01\x7f\x80\xa7\xfe\xff \t\n", 10);
  peer.Serve([&](const std::string&) { return bytes + "\r"; });
  SerialTransport link(folder.Path());
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, std::string("\xb0X\0", 3), reply), 1);
  EXPECT_EQ(reply, bytes);
  EXPECT_EQ(peer.Received(), std::string("@01\xb0X\0\r", 7));
  link.Close(handle);
}

TEST_F(SerialLinkTest, NoCrInTimeIsSerialTimeoutAndDropsWhatCame) {
  peer.Serve([](const std::string&) { return std::string("12"); });
  SerialTransport link(folder.Path(), kShortTimeout);
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  std::string reply = "old";
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), devices::kSerialTimeout);
  EXPECT_EQ(reply, "(SERIAL Timeout)");
  link.Close(handle);
  EXPECT_EQ(SerialTransport(folder.Path()).ReplyTimeoutSeconds(), 10.0);
}

TEST_F(SerialLinkTest, FloodIsCappedAndTheLineCarriesOn) {
  int frames = 0;
  peer.Serve([&](const std::string&) {
    ++frames;
    if (frames == 1) return std::string(200'000, 'A') + "\r";
    if (frames == 2) return std::string(300'000, 'B');  // never ends
    return std::string("OK\r");
  });
  SerialTransport link(folder.Path(), 1.0);
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "A", reply), 1);
  EXPECT_EQ(reply, std::string(SerialTransport::kMaxReplyBytes, 'A'));
  EXPECT_EQ(link.SendReceive(handle, "B", reply), devices::kSerialTimeout);
  EXPECT_EQ(reply, "(SERIAL Timeout)");
  link.Close(handle);
  // A new command line starts clean, without the rest of the flood.
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  EXPECT_EQ(link.SendReceive(handle, "C", reply), 1);
  EXPECT_EQ(reply, "OK");
  link.Close(handle);
}

TEST_F(SerialLinkTest, EndlessFloodStillTimesOut) {
  peer.Flood('F');
  SerialTransport link(folder.Path(), kShortTimeout);
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), devices::kSerialTimeout);
  EXPECT_EQ(reply, "(SERIAL Timeout)");
  link.Close(handle);
}

TEST_F(SerialLinkTest, WriteToAPortThatWentAwayIsComError) {
  SerialTransport link(folder.Path());
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  peer.Hangup();
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), devices::kSerialWriteFailed);
  EXPECT_EQ(reply, "(COM Error)");
  EXPECT_EQ(link.Close(handle), 1);
}

TEST_F(SerialLinkTest, PortGoingAwayMidReplyEndsTheWaitAsTimeout) {
  peer.Serve([&](const std::string&) {
    peer.Send("12");  // half a reply, then the adapter is pulled out
    peer.Hangup();
    return std::string();
  });
  SerialTransport link(folder.Path(), 60.0);
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("01"), handle), 1);
  auto start = std::chrono::steady_clock::now();
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), devices::kSerialTimeout);
  EXPECT_EQ(reply, "(SERIAL Timeout)");
  // Nothing can arrive on a port that is gone, so the wait does not run on
  // to the 60-second limit (the bound is loose on purpose).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  link.Close(handle);
}

TEST_F(SerialLinkTest, PortUnpluggedBetweenLinesCannotBeOpened) {
  peer.Serve([](const std::string&) { return std::string("OK\r"); });
  SerialTransport link(folder.Path());
  LinkHandle handle = 0;
  std::string entry = Entry("01");
  ASSERT_EQ(link.Open(entry, handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "ID", reply), 1);
  link.Close(handle);
  peer.Stop();
  peer.Hangup();
  handle = 5;
  EXPECT_EQ(link.Open(entry, handle), 0);
  EXPECT_EQ(handle, 0);
  EXPECT_EQ(link.SerialAddress(), "");
}

TEST_F(SerialLinkTest, TwoAddressedControllersShareOnePort) {
  peer.Serve([](const std::string& frame) {
    if (frame.compare(0, 3, "@01") == 0) return "ONE:" + frame.substr(3, frame.size() - 4) + "\r";
    if (frame.compare(0, 3, "@02") == 0) return "TWO:" + frame.substr(3, frame.size() - 4) + "\r";
    return std::string();  // no controller at that address
  });
  SerialTransport link(folder.Path(), kShortTimeout);
  std::string reply;
  for (const char* address : {"01", "02", "01"}) {
    LinkHandle handle = 0;
    ASSERT_EQ(link.Open(Entry(address), handle), 1) << address;
    EXPECT_EQ(link.SerialAddress(), address);
    EXPECT_EQ(link.SendReceive(handle, "ID", reply), 1);
    EXPECT_EQ(reply, std::string(address) == "01" ? "ONE:ID" : "TWO:ID");
    link.Close(handle);
  }
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(Entry("03"), handle), 1);
  EXPECT_EQ(link.SendReceive(handle, "ID", reply), devices::kSerialTimeout);
  link.Close(handle);
  EXPECT_EQ(peer.Received(), "@01ID\r@02ID\r@01ID\r@03ID\r");
}

TEST_F(SerialLinkTest, PortIsExclusiveUntilClosed) {
  SerialTransport link(folder.Path());
  LinkHandle first = 0, second = 0;
  ASSERT_EQ(link.Open(Entry("01"), first), 1);
  EXPECT_EQ(link.Open(Entry("02"), second), 0);
  EXPECT_EQ(second, 0);
  int exclusive = 0;
#ifdef TIOCGEXCL
  ASSERT_EQ(::ioctl(peer.SlaveFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
#endif
  link.Close(first);
#ifdef TIOCGEXCL
  ASSERT_EQ(::ioctl(peer.SlaveFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
#endif
  EXPECT_EQ(link.Open(Entry("02"), second), 1);
  link.Close(second);
}

TEST_F(SerialLinkTest, PortLockedByAnotherProgramIsNotAvailable) {
  int other = ::open(peer.Path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  SerialTransport link(folder.Path());
  LinkHandle handle = 0;
  EXPECT_EQ(link.Open(Entry("01"), handle), 0);
  ::close(other);
  EXPECT_EQ(link.Open(Entry("01"), handle), 1);
  link.Close(handle);
}

TEST_F(SerialLinkTest, LineIsRawEightNoneOneAndFlowControlIsKept) {
  termios before;
  ASSERT_EQ(::tcgetattr(peer.SlaveFd(), &before), 0);
  before.c_iflag |= IXON | ICRNL;
  before.c_lflag |= ICANON | ECHO;
  before.c_cflag |= PARENB | CSTOPB;
  ASSERT_EQ(::tcsetattr(peer.SlaveFd(), TCSANOW, &before), 0);

  SerialTransport link(folder.Path());
  for (auto [baud, speed] : {std::pair{115200, B115200}, {19200, B19200}, {9600, B9600}}) {
    LinkHandle handle = 0;
    ASSERT_EQ(link.Open(Entry("01", baud), handle), 1);
    termios t;
    ASSERT_EQ(::tcgetattr(peer.SlaveFd(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), speed) << baud;
    EXPECT_EQ(::cfgetispeed(&t), speed) << baud;
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_NE(t.c_iflag & IXON, 0u) << "flow control must stay as it was";
    link.Close(handle);
  }
}

TEST_F(SerialLinkTest, ComNamesResolveThroughTheMapFile) {
  peer.Serve([](const std::string&) { return std::string("MAPPED\r"); });
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/comm_map.cfg",
                                        "# adapters\r\ncom7 = " + peer.Path() + "\r\n"));
  SerialTransport link(folder.Path());
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open("Axis 01 {com 7 : 9600 }", handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "ID", reply), 1);
  EXPECT_EQ(reply, "MAPPED");
  link.Close(handle);
}

TEST_F(SerialLinkTest, EntriesThatCannotOpenLeaveNoPortAndNoAddress) {
  ASSERT_TRUE(platform::WriteFileAtomic(folder / "plain.txt", "not a port"));
  SerialTransport link(folder.Path());
  for (const std::string& entry :
       {std::string("Axis 01 {/dev/halvorn-no-such-port:9600}"),
        "Axis 01 {" + (folder / "plain.txt") + ":9600}", "Axis AB {" + peer.Path() + ":9600}",
        "Axis 01 {" + peer.Path() + ":4800}", std::string("")}) {
    LinkHandle handle = 9;
    EXPECT_EQ(link.Open(entry, handle), 0) << entry;
    EXPECT_EQ(handle, 0) << entry;
    EXPECT_EQ(link.SerialAddress(), "") << entry;
  }
  std::string reply;
  EXPECT_EQ(link.SendReceive(42, "PX", reply), devices::kSerialWriteFailed);
  EXPECT_EQ(reply, "(COM Error)");
}

}  // namespace
