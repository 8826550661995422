#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "devices/vendor/hid_transport.h"
#include "support/fake_transport.h"
#include "vendor_standin.h"

namespace {

using devices::HidTransport;
using devices::LinkHandle;
using testing_support::Standin;
using Entries = std::vector<std::string>;

class HidLink : public ::testing::Test {
 protected:
  Standin standin{testing_support::HidStandinPath()};
  HidTransport link{devices::LoadHidLibrary(testing_support::HidStandinPath())};

  LinkHandle OpenBoard(const std::string& name) {
    LinkHandle handle = 0;
    EXPECT_EQ(link.HidOpen(handle, name), 1) << name;
    return handle;
  }
};

TEST_F(HidLink, OneBoardIsListedAsItsNameWithoutSeparator) {
  standin.Do("devices 1");
  EXPECT_EQ(link.HidDeviceCount(), 1);
  EXPECT_EQ(link.HidList(), "Torvane Sim Board 1");
  EXPECT_EQ(link.ListEntries(), Entries{"Torvane Sim Board 1"});
}

TEST_F(HidLink, BoardsAreListedInTheLibrarysOrder) {
  standin.Do("devices 3");
  EXPECT_EQ(link.HidList(), "Torvane Sim Board 1|Torvane Sim Board 2|Torvane Sim Board 3");
}

// Unreadable or empty names are empty items of the list rule: they vanish
// before the first real name and stay as empty entries after it.
TEST_F(HidLink, NamesFollowTheListRule) {
  struct Case {
    std::vector<std::string> names;
    std::string list;
    Entries entries;
  };
  const Case cases[] = {
      {{"", "B", ""}, "B|", {"B", ""}},
      {{"A", "", "C"}, "A||C", {"A", "", "C"}},
      {{"", ""}, "", {}},
  };
  for (const Case& c : cases) {
    standin.Do("devices " + std::to_string(c.names.size()));
    for (std::size_t i = 0; i < c.names.size(); ++i) {
      standin.Do("name " + std::to_string(i) + " " + c.names[i]);
    }
    EXPECT_EQ(link.HidList(), c.list);
    EXPECT_EQ(link.ListEntries(), c.entries);
  }
}

TEST_F(HidLink, CountBeyondTheBoardsGivesEmptyItems) {
  standin.Do("devices 2");
  standin.Do("count 4");
  EXPECT_EQ(link.ListEntries(), (Entries{"Torvane Sim Board 1", "Torvane Sim Board 2", "", ""}));
}

TEST_F(HidLink, NameOutsideTheCountIsEmptyWithoutAskingTheLibrary) {
  standin.Do("devices 2");
  long before = standin.Calls("GetTorvaneHIDName");
  EXPECT_EQ(link.HidDeviceName(2), "");
  EXPECT_EQ(link.HidDeviceName(-1), "");
  EXPECT_EQ(standin.Calls("GetTorvaneHIDName"), before);
  EXPECT_EQ(link.HidDeviceName(1), "Torvane Sim Board 2");
  EXPECT_EQ(standin.Calls("GetTorvaneHIDName"), before + 1);
}

TEST_F(HidLink, NameCountsOnlyWhenTheLibraryAnswersExactlyOne) {
  standin.Do("devices 1");
  for (int result : {0, 2, -1}) {
    standin.Do("result GetTorvaneHIDName " + std::to_string(result));
    EXPECT_EQ(link.HidDeviceName(0), "") << result;
  }
}

TEST_F(HidLink, EntryReachesTheLibraryWithItsTrailingBlanks) {
  standin.Do("devices 1");
  standin.Do("name 0 Board A  ");
  ASSERT_EQ(link.ListEntries(), Entries{"Board A  "});
  LinkHandle handle = 0;
  EXPECT_EQ(link.Open("Board A  ", handle), 1);
  EXPECT_EQ(standin.Ask("last-name"), "Board A  ");
  link.Close(handle);
  EXPECT_EQ(link.Open("Board A", handle), 0);
  EXPECT_EQ(standin.Ask("last-name"), "Board A");
}

TEST_F(HidLink, OpenSucceedsOnlyOnResultOne) {
  standin.Do("devices 1");
  LinkHandle handle = 0;
  standin.Do("result OpenTorvaneHID 2");
  EXPECT_EQ(link.HidOpen(handle, "Torvane Sim Board 1"), 0);
  standin.Do("result OpenTorvaneHID 1");
  EXPECT_EQ(link.HidOpen(handle, "Torvane Sim Board 1"), 1);
}

TEST_F(HidLink, ExchangesReachTheSimulatedBoard) {
  standin.Do("devices 2");
  LinkHandle handle = OpenBoard("Torvane Sim Board 2");
  std::string reply;
  EXPECT_EQ(link.HidSendReceive(handle, "HSPD=7000", reply), 1);
  EXPECT_EQ(reply, "OK");
  EXPECT_EQ(link.HidSendReceive(handle, "HSPD", reply), 1);
  EXPECT_EQ(reply, "7000");
  EXPECT_EQ(link.HidSendReceive(handle, "ID", reply), 1);
  EXPECT_EQ(reply, "Torvane Sim Board 2");
  EXPECT_EQ(link.HidClose(handle), 1);
}

TEST_F(HidLink, SeventyCharacterCommandReachesTheBoardAsItsFirst63) {
  standin.Do("devices 1");
  LinkHandle handle = OpenBoard("Torvane Sim Board 1");
  std::string command;
  for (int i = 0; i < 70; ++i) command += static_cast<char>('A' + i % 26);
  std::string reply;
  link.HidSendReceive(handle, command, reply);
  EXPECT_EQ(standin.Ask("last-command"), command.substr(0, 63));
}

TEST_F(HidLink, EmptyCommandIsSentLikeAnyOther) {
  standin.Do("devices 1");
  LinkHandle handle = OpenBoard("Torvane Sim Board 1");
  std::string reply = "old";
  link.HidSendReceive(handle, "", reply);
  EXPECT_EQ(standin.Calls("SendReceiveTorvaneHID"), 1);
  EXPECT_EQ(standin.Ask("last-command"), "");
  EXPECT_NE(reply, "old");
}

TEST_F(HidLink, StatusPassesThroughUnchanged) {
  standin.Do("devices 1");
  LinkHandle handle = OpenBoard("Torvane Sim Board 1");
  for (int status : {-7, 0, 0x12345, INT_MIN}) {
    standin.Do("result SendReceiveTorvaneHID " + std::to_string(status));
    std::string reply;
    EXPECT_EQ(link.HidSendReceive(handle, "PX", reply), status);
    EXPECT_EQ(reply, "0");
  }
}

TEST_F(HidLink, FailedExchangeGivesWhateverTheLibraryLeft) {
  standin.Do("devices 1");
  std::string reply = "old";
  EXPECT_EQ(link.HidSendReceive(12345, "PX", reply), 0);  // never opened
  EXPECT_EQ(reply, "");
}

TEST_F(HidLink, VersionIsThreeDecimalNumbers) {
  struct Case {
    std::string set;
    std::string text;
  };
  const Case cases[] = {
      {"3 2 2049", "3.2.2049"},
      {"0 0 0", "0.0.0"},
      {"255 128 -1", "255.128.-1"},
      {"7 12 2147483647", "7.12.2147483647"},
  };
  for (const Case& c : cases) {
    standin.Do("version " + c.set);
    EXPECT_EQ(link.HidLibraryVersion(), c.text);
  }
  EXPECT_EQ(devices::HidLibraryVersionOf(link), "7.12.2147483647");
}

TEST(HidLibrary, WithoutTheVersionEntryPointEverythingElseWorks) {
  Standin standin(testing_support::HidStandinWithoutVersionPath());
  auto library = devices::LoadHidLibrary(testing_support::HidStandinWithoutVersionPath());
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->Api().getVersion, nullptr);
  HidTransport link(library);
  EXPECT_EQ(link.HidLibraryVersion(), "");
  standin.Do("devices 1");
  LinkHandle handle = 0;
  ASSERT_EQ(link.Open("Torvane Sim Board 1", handle), 1);
  std::string reply;
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), 1);
  EXPECT_EQ(reply, "0");
}

TEST(HidLibrary, VersionOfAnotherLinkIsEmpty) {
  testing_support::FakeTransport fake;
  EXPECT_EQ(devices::HidLibraryVersionOf(fake), "");
}

TEST(HidLibrary, MissingLibraryOrEntryPointGivesNoLibrary) {
  std::string error;
  EXPECT_EQ(devices::LoadHidLibrary("/nonexistent/libTVNHidApi.so", &error), nullptr);
  EXPECT_FALSE(error.empty());
  // The controller library has none of the board library's entry points.
  EXPECT_EQ(devices::LoadHidLibrary(testing_support::UsbStandinPath(), &error), nullptr);
  EXPECT_NE(error.find("GetTorvaneHIDnumber"), std::string::npos) << error;
}

TEST(HidLibrary, WithoutLibraryThereAreNoBoards) {
  HidTransport link(nullptr);
  EXPECT_EQ(link.HidDeviceCount(), 0);
  EXPECT_EQ(link.ListEntries(), Entries{});
  EXPECT_EQ(link.HidDeviceName(0), "");
  LinkHandle handle = 0;
  EXPECT_EQ(link.Open("Torvane Sim Board 1", handle), 0);
  std::string reply = "old";
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), 0);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(link.HidLibraryVersion(), "");
}

TEST(HidLibrary, FoundByAbsolutePathInTheProgramsFolder) {
  auto library = devices::FindHidLibrary();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->Path(), platform::JoinPath(platform::ExecutableFolder(),
                                                devices::PlatformLibraryName("TVNHidApi")));
}

TEST(HidStandin, BoardsComeFromTheEnvironment) {
  Standin standin(testing_support::HidStandinPath());
  HidTransport link(devices::LoadHidLibrary(testing_support::HidStandinPath()));
  struct Case {
    const char* value;
    int boards;
  };
  for (Case c : {Case{"2", 2}, Case{"0", 0}, Case{"x", 0}, Case{"-3", 0}, Case{"", 0}}) {
    ::setenv("HALVORN_SIM_HID_BOARDS", c.value, 1);
    standin.Do("reset");
    EXPECT_EQ(link.HidDeviceCount(), c.boards) << c.value;
  }
  ::unsetenv("HALVORN_SIM_HID_BOARDS");
  standin.Do("reset");
  EXPECT_EQ(link.HidDeviceCount(), 0);
}

// Libraries that misbehave: whatever they report, nothing is read or written
// outside the 64- and 256-byte buffers (the sanitizer build checks).
TEST_F(HidLink, UnterminatedBuffersAreReadToTheirEndAndNoFurther) {
  standin.Do("devices 1");
  standin.Do("unterminated 1");
  std::string name = link.HidDeviceName(0);
  EXPECT_EQ(name.size(), 256u);
  EXPECT_EQ(name.substr(0, 19), "Torvane Sim Board 1");
  LinkHandle handle = OpenBoard("Torvane Sim Board 1");
  std::string reply;
  EXPECT_EQ(link.HidSendReceive(handle, "HSPD", reply), 1);
  EXPECT_EQ(reply, "5000" + std::string(60, '~'));
}

TEST_F(HidLink, NonsenseCountsListNothingOrAtMostTheLimit) {
  standin.Do("devices 2");
  standin.Do("count -4");
  EXPECT_EQ(link.ListEntries(), Entries{});
  EXPECT_EQ(standin.Calls("GetTorvaneHIDName"), 0);
  standin.Do("count 2147483647");
  Entries entries = link.ListEntries();
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(devices::kMaxListedDevices));
  EXPECT_EQ(entries[1], "Torvane Sim Board 2");
  EXPECT_EQ(entries[2], "");
}

}  // namespace
