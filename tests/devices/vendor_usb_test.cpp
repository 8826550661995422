#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/vendor/usb_transport.h"
#include "vendor_standin.h"

namespace {

using devices::LinkHandle;
using devices::UsbTransport;
using testing_support::Standin;
using Entries = std::vector<std::string>;

const std::string kBlanks(46, ' ');

class UsbLink : public ::testing::Test {
 protected:
  Standin standin{testing_support::UsbStandinPath()};
  UsbTransport link{devices::LoadUsbLibrary(testing_support::UsbStandinPath())};
};

TEST(CutAtNul, KeepsTheTextBeforeTheFirstNul) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"abc", "abc"}, {"ab\0cd"s, "ab"}, {"\0x"s, ""}, {"a\0b\0c"s, "a"},
  };
  for (const auto& [text, cut] : cases) EXPECT_EQ(devices::CutAtNul(text), cut);
}

TEST(UsbEntryIndex, IsTheNumberInTheBrackets) {
  const std::pair<const char*, int> cases[] = {
      {"ZDK-MX42-07                                              [0]", 0},
      {"ZDK-MX42-07 [12]", 12},
      {"ZDK-MX42-07 [ 3 ]", 3},
      {"ZDK-MX42-07", 0},  // no bracket: the first controller
      {"ZDK-A [x]", 0},    // no number
      {"ZDK-A [", 0},      // the bracket is the character dropped
      {"ZDK-A []", 0},
      {"ZDK-A [2.5]", 2},  // ties to even
      {"ZDK-A [3.5]", 4},
      {"ZDK-A [7abc]", 7},  // the number at the start counts
      {"ZDK-A [+5]", 5},
      {"ZDK-A [-1]", -1},
      {"ZDK-[1] [2]", 1},  // the first bracket counts
      {"ZDK-A [99999999999]", 2147483647},
      {"[4]", 4},
  };
  for (const auto& [entry, index] : cases) EXPECT_EQ(devices::UsbEntryIndex(entry), index) << entry;
}

TEST_F(UsbLink, ControllerIsListedByItsIdentityAndProductSuffix) {
  struct Case {
    std::string identity, product, entry;
  };
  const Case cases[] = {
      {"Zendrik-MX42", "Stepper Drive 07", "ZDK-MX42-07"},
      {"  Zendrik-MX42  ", "  Drive 07   ", "ZDK-MX42-07"},
      {"MX42", "X07", "ZDK-MX42-07"},
      {"zendrik-MX42", "X07", "ZDK-zendrik-MX42-07"},  // the prefix is matched exactly
      {"Zendrik-Zendrik-B", "X07", "ZDK-Zendrik-B-07"},
      {"Zendrik-MX42", "7", "ZDK-MX42-7"},
      {"Zendrik-MX42", "   ", "ZDK-MX42-"},  // blanks only still count as a product
      {"", "X07", "ZDK--07"},
  };
  standin.Do("devices 1");
  for (const Case& c : cases) {
    standin.Do("identity 0 " + c.identity);
    standin.Do("product 0 " + c.product);
    EXPECT_EQ(link.UsbListDevices(), c.entry + kBlanks + "[0]") << c.identity << "/" << c.product;
  }
}

TEST_F(UsbLink, DefaultSimulatedControllersAreListedInIndexOrder) {
  standin.Do("devices 2");
  EXPECT_EQ(link.ListEntries(),
            (Entries{"ZDK-SIM4-01" + kBlanks + "[0]", "ZDK-SIM4-02" + kBlanks + "[1]"}));
  // Each was opened, asked for its identity and closed again.
  EXPECT_EQ(standin.Calls("fnZendrikComOpen"), 2);
  EXPECT_EQ(standin.Calls("fnZendrikComSendRecv"), 2);
  EXPECT_EQ(standin.Calls("fnZendrikComClose"), 2);
  EXPECT_EQ(standin.Ask("last-option"), "0");
}

TEST_F(UsbLink, EmptyProductSkipsTheIndexButEntriesKeepTheLibraryIndex) {
  standin.Do("devices 3");
  standin.Do("product 1 ");
  Entries entries = link.ListEntries();
  ASSERT_EQ(entries, (Entries{"ZDK-SIM4-01" + kBlanks + "[0]", "ZDK-SIM4-03" + kBlanks + "[2]"}));
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open(entries[1], handle), 1);
  EXPECT_EQ(standin.Ask("last-open-index"), "2");
}

TEST_F(UsbLink, ControllerThatCannotBeOpenedIsListedUnderItsProductString) {
  standin.Do("devices 1");
  standin.Do("result fnZendrikComOpen 0");
  EXPECT_EQ(link.UsbListDevices(), "ZDK-Halvorn Sim USB Controller 01" + kBlanks + "[0]");
  EXPECT_EQ(standin.Calls("fnZendrikComSendRecv"), 0);
}

TEST_F(UsbLink, NoValidCountGivesNoEntries) {
  standin.Do("devices 2");
  for (int result : {0, 2, -1}) {
    standin.Do("result fnZendrikComGetNumDevices " + std::to_string(result));
    EXPECT_EQ(link.UsbListDevices(), "") << result;
  }
  EXPECT_EQ(standin.Calls("fnZendrikComGetProductString"), 0);
}

TEST_F(UsbLink, EntryWithoutBracketOpensControllerZero) {
  standin.Do("devices 2");
  LinkHandle handle = 0;
  ASSERT_EQ(link.UsbOpenEntry(handle, "ZDK-SIM4-02" + kBlanks + "[1]"), 1);
  EXPECT_EQ(standin.Ask("last-open-index"), "1");
  link.UsbClose(handle);
  ASSERT_EQ(link.UsbOpenEntry(handle, "ZDK-SIM4-02"), 1);
  EXPECT_EQ(standin.Ask("last-open-index"), "0");
}

TEST_F(UsbLink, OpenSetsBothTimeoutsAndFlushes) {
  standin.Do("devices 1");
  LinkHandle handle = 0;
  EXPECT_EQ(link.UsbOpenIndex(handle, 0), 1);
  EXPECT_EQ(standin.Ask("timeouts"), "5000 5000");
  EXPECT_EQ(standin.Calls("fnZendrikComSetTimeouts"), 1);
  EXPECT_EQ(standin.Calls("fnZendrikComFlush"), 1);
  EXPECT_EQ(standin.Calls("fnZendrikComClose"), 0);
}

TEST_F(UsbLink, FailedOpenClosesTheHandleVariableAndReportsZero) {
  standin.Do("devices 1");
  LinkHandle handle = 0;
  EXPECT_EQ(link.UsbOpenIndex(handle, 5), 0);
  EXPECT_EQ(standin.Calls("fnZendrikComSetTimeouts"), 1);
  EXPECT_EQ(standin.Calls("fnZendrikComClose"), 1);
  EXPECT_EQ(standin.Calls("fnZendrikComFlush"), 0);
  // Any non-zero result is an open controller.
  standin.Do("result fnZendrikComOpen 65536");
  EXPECT_EQ(link.UsbOpenIndex(handle, 0), 1);
}

TEST_F(UsbLink, ExchangesReachTheSimulatedController) {
  standin.Do("devices 1");
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open("ZDK-SIM4-01" + kBlanks + "[0]", handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "HSPD=7000", reply), 1);
  EXPECT_EQ(reply, "OK");
  EXPECT_EQ(link.SendReceive(handle, "HSPD", reply), 1);
  EXPECT_EQ(reply, "7000");
  EXPECT_EQ(standin.Ask("last-lengths"), "64 64");
  EXPECT_EQ(link.Close(handle), 1);
}

TEST_F(UsbLink, LongCommandReachesTheControllerAsItsFirst63Characters) {
  standin.Do("devices 1");
  LinkHandle handle = 0;
  ASSERT_EQ(link.UsbOpenIndex(handle, 0), 1);
  std::string command;
  for (int i = 0; i < 100; ++i) command += static_cast<char>('0' + i % 10);
  std::string reply;
  link.UsbSendReceive(handle, command, reply);
  EXPECT_EQ(standin.Ask("last-command"), command.substr(0, 63));
}

TEST_F(UsbLink, EmptyCommandMakesNoLibraryCall) {
  standin.Do("devices 1");
  LinkHandle handle = 0;
  ASSERT_EQ(link.UsbOpenIndex(handle, 0), 1);
  std::string reply = "earlier reply";
  EXPECT_EQ(link.UsbSendReceive(handle, "", reply), 0);
  EXPECT_EQ(reply, "earlier reply");
  EXPECT_EQ(standin.Calls("fnZendrikComSendRecv"), 0);
}

TEST_F(UsbLink, StatusIsNarrowedTo16Bits) {
  standin.Do("devices 1");
  LinkHandle handle = 0;
  ASSERT_EQ(link.UsbOpenIndex(handle, 0), 1);
  const std::pair<int, int> cases[] = {
      {1, 1}, {-5, -5}, {0x12345, 0x2345}, {65535, -1}, {32768, -32768}, {-65536, 0},
  };
  for (const auto& [library, status] : cases) {
    standin.Do("result fnZendrikComSendRecv " + std::to_string(library));
    std::string reply;
    EXPECT_EQ(link.UsbSendReceive(handle, "PX", reply), status) << library;
    EXPECT_EQ(reply, "0");
  }
}

TEST_F(UsbLink, FailedExchangeGivesWhateverTheLibraryLeft) {
  standin.Do("devices 1");
  std::string reply = "old";
  EXPECT_EQ(link.UsbSendReceive(999, "PX", reply), 0);  // never opened
  EXPECT_EQ(reply, "");
}

// Libraries that misbehave: whatever they report, nothing is read or written
// outside the 64- and 256-byte buffers (the sanitizer build checks).
TEST_F(UsbLink, UnterminatedBuffersAreReadToTheirEndAndNoFurther) {
  standin.Do("devices 1");
  standin.Do("unterminated 1");
  standin.Do("product 0 Drive 07");
  Entries entries = link.ListEntries();
  ASSERT_EQ(entries.size(), 1u);
  // The 64-byte "ID" reply without its prefix, "-", the product's last two.
  EXPECT_EQ(entries[0], "ZDK-SIM4" + std::string(52, '~') + "-~~" + kBlanks + "[0]");
  LinkHandle handle = 0;
  ASSERT_EQ(link.UsbOpenIndex(handle, 0), 1);
  std::string reply;
  link.UsbSendReceive(handle, "HSPD", reply);
  EXPECT_EQ(reply, "5000" + std::string(60, '~'));
}

TEST_F(UsbLink, NonsenseCountsListNothingOrAtMostTheLimit) {
  standin.Do("devices 1");
  standin.Do("count -3");
  EXPECT_EQ(link.UsbListDevices(), "");
  EXPECT_EQ(standin.Calls("fnZendrikComGetProductString"), 0);
  standin.Do("count 2147483647");
  EXPECT_EQ(link.ListEntries(), Entries{"ZDK-SIM4-01" + kBlanks + "[0]"});
  EXPECT_EQ(standin.Calls("fnZendrikComGetProductString"), devices::kMaxListedDevices);
}

TEST(UsbLibrary, MissingLibraryOrEntryPointGivesNoControllers) {
  std::string error;
  EXPECT_EQ(devices::LoadUsbLibrary("/nonexistent/libZENDRIKCOM.so", &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(devices::LoadUsbLibrary(testing_support::HidStandinPath(), &error), nullptr);
  EXPECT_NE(error.find("fnZendrikComGetNumDevices"), std::string::npos) << error;

  UsbTransport link(nullptr);
  EXPECT_EQ(link.ListEntries(), Entries{});
  LinkHandle handle = 0;
  EXPECT_EQ(link.Open("ZDK-SIM4-01 [0]", handle), 0);
  std::string reply = "old";
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), 0);
}

TEST(UsbLibrary, FoundByAbsolutePathInTheProgramsFolder) {
  auto library = devices::FindUsbLibrary();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->Path(), platform::JoinPath(platform::ExecutableFolder(),
                                                devices::PlatformLibraryName("ZENDRIKCOM")));
}

TEST(UsbStandin, ControllersComeFromTheEnvironment) {
  Standin standin(testing_support::UsbStandinPath());
  UsbTransport link(devices::LoadUsbLibrary(testing_support::UsbStandinPath()));
  ::setenv("HALVORN_SIM_USB_CONTROLLERS", "3", 1);
  standin.Do("reset");
  EXPECT_EQ(link.ListEntries().size(), 3u);
  ::setenv("HALVORN_SIM_USB_CONTROLLERS", "0", 1);
  standin.Do("reset");
  EXPECT_EQ(link.ListEntries().size(), 0u);
  ::unsetenv("HALVORN_SIM_USB_CONTROLLERS");
  standin.Do("reset");
  EXPECT_EQ(link.ListEntries().size(), 0u);
}

}  // namespace
