// The link kinds and their registry; the HID and USB links on stand-in libraries.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>

#include "devices/device_registry.h"
#include "devices/link_kinds.h"
#include "devices/vendor/hid_transport.h"
#include "devices/vendor/shared_library.h"
#include "devices/vendor/usb_transport.h"
#include "platform/files.h"
#include "support/fake_transport.h"

namespace {

using devices::LinkKind;

TEST(LinkKinds, EveryEntryBelongsToExactlyOneKind) {
  // A brace group wins; "ZDK" in upper case only.
  for (auto [entry, kind] : {std::pair{"ZDK-SIM4-01 [0]", LinkKind::Usb},
                             {"ZDK-SIM4 {COM2:9600}", LinkKind::Serial},
                             {"zdk-SIM4-01 [0]", LinkKind::Hid},
                             {"ZDK", LinkKind::Hid},
                             {"", LinkKind::Hid},
                             {"{", LinkKind::Serial}})
    EXPECT_EQ(devices::ClassifyEntry(entry), kind) << entry;
  EXPECT_EQ(devices::LinkKindOf(static_cast<LinkKind>(99)), nullptr);
}

TEST(LinkKinds, TheRegistryListsKindByKindAndOpensOnlyWhatIsInstalled) {
  devices::DeviceRegistry registry;
  EXPECT_TRUE(registry.Discover().empty());
  const auto none = registry.TransportFor(LinkKind::Usb).Open("ZDK-X [0]");
  EXPECT_EQ(none.Kind(), platform::ResultKind::Unsupported);
  EXPECT_EQ(none.Text(), "no link of this kind is available on this machine");

  // Installed in another order than the table's: listed in the table's.
  std::map<LinkKind, std::shared_ptr<testing_support::FakeTransport>> links;
  for (LinkKind kind : {LinkKind::Serial, LinkKind::Hid, LinkKind::Usb}) {
    const std::string name(devices::LinkKindOf(kind)->name);
    links[kind] = std::make_shared<testing_support::FakeTransport>();
    links[kind]->entries = {name + " 1", name + " 2"};
    registry.SetTransport(kind, links[kind]);
  }
  EXPECT_EQ(registry.Discover(),
            (std::vector<std::string>{"HID board 1", "HID board 2", "USB controller 1",
                                      "USB controller 2", "serial port 1", "serial port 2"}));
  ASSERT_TRUE(registry.TransportFor(LinkKind::Usb).Open("ZDK-A [0]"));
  EXPECT_EQ(links[LinkKind::Usb]->opened, std::vector<std::string>{"ZDK-A [0]"});
  EXPECT_TRUE(links[LinkKind::Hid]->opened.empty());

  registry.SetTransport(LinkKind::Usb, nullptr);
  registry.SetTransport(static_cast<LinkKind>(99), links[LinkKind::Usb]);
  EXPECT_EQ(registry.Discover().size(), 4u);
  EXPECT_FALSE(registry.TransportFor(static_cast<LinkKind>(99)).Open("x"));
}

using devices::LinkHandle;
using devices::LinkStatus;
using Entries = std::vector<std::string>;

const std::string kBlanks(46, ' ');  // between a USB entry's name and index

// What was loaded, or null (a link without its library) when it failed.
template <typename Library>
Library OrNull(platform::Result<Library> loaded) {
  return loaded ? std::move(loaded).value() : nullptr;
}

// Opens `entry` into `handle`, or fails with the reason.
::testing::AssertionResult OpenInto(devices::Transport& link, const std::string& entry,
                                    LinkHandle& handle) {
  const platform::Result<LinkHandle> opened = link.Open(entry);
  if (!opened) return ::testing::AssertionFailure() << entry << ": " << opened.Text();
  handle = *opened;
  return ::testing::AssertionSuccess();
}

std::string StandinPath(const std::string& name, const std::string& folder = "") {
  return platform::JoinPath(platform::ExecutableFolder(),
                            folder + devices::PlatformLibraryName(name));
}
const auto HidPath = [] { return StandinPath("TVNHidApi"); };
const auto UsbPath = [] { return StandinPath("ZENDRIKCOM"); };

// A stand-in's test-only controls, reset on creation, with exchanges that never wait.
class Standin {
 public:
  explicit Standin(const std::string& path) : library_(OrNull(devices::SharedLibrary::Open(path))) {
    void* control = library_ ? library_->Symbol("HalvornStandinControl") : nullptr;
    std::memcpy(&control_, &control, sizeof control_);
    ::unsetenv("HALVORN_SIM_HID_BOARDS");
    ::unsetenv("HALVORN_SIM_USB_CONTROLLERS");
    Reset();
  }
  void Reset() { Do("reset"), Do("instant 1"); }
  std::string Do(const std::string& request) {
    char answer[512] = {};
    EXPECT_TRUE(control_ != nullptr && control_(request.c_str(), answer, sizeof answer) == 1)
        << request;
    return answer;
  }
  long Calls(const std::string& entry) { return std::stol("0" + Do("calls " + entry)); }

 private:
  std::unique_ptr<devices::SharedLibrary> library_;
  std::int32_t (*control_)(const char*, char*, std::int32_t) = nullptr;
};

class Vendor : public ::testing::Test {
 protected:
  Standin hidSim{HidPath()}, usbSim{UsbPath()};
  devices::HidTransport hid{OrNull(devices::LoadHidLibrary(HidPath()))};
  devices::UsbTransport usb{OrNull(devices::LoadUsbLibrary(UsbPath()))};
  LinkHandle board = 0, controller = 0;
  std::string reply;
};

// Empty names vanish before the first real one, stay as items after it; names open as listed.
TEST_F(Vendor, HidNamesFollowTheListRuleAndOpenAsWritten) {
  const std::pair<Entries, std::string> cases[] = {{{"", ""}, ""},
                                                   {{"A", "B", "C"}, "A|B|C"},
                                                   {{"", "B", ""}, "B|"},
                                                   {{"A", "", "C"}, "A||C"},
                                                   {{"Board A  "}, "Board A  "}};
  for (const auto& [names, list] : cases) {
    hidSim.Do("devices " + std::to_string(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i)
      hidSim.Do("name " + std::to_string(i) + " " + names[i]);
    EXPECT_EQ(hid.HidList(), list);
  }
  EXPECT_TRUE(hid.Open("Board A  "));
  EXPECT_EQ(hidSim.Do("last-name"), "Board A  ");
  hidSim.Do("result OpenTorvaneHID 2");
  EXPECT_EQ(hid.Open("Board A  ").Text(), "the board library did not open the board \"Board A  \"");

  hidSim.Reset();
  hidSim.Do("devices 2");
  long before = hidSim.Calls("GetTorvaneHIDName");
  EXPECT_EQ(hid.HidDeviceName(2) + hid.HidDeviceName(-1), "");
  EXPECT_EQ(hidSim.Calls("GetTorvaneHIDName"), before);
  EXPECT_EQ(hid.HidDeviceName(1), "Torvane Sim Board 2");  // statuses: device_entries fuzz target
}

// At most 63 characters reach the device; statuses are the library's (16 bits on USB).
TEST_F(Vendor, ExchangesCarryAtMost63CharactersAndTheLibrarysStatus) {
  hidSim.Do("devices 2"), usbSim.Do("devices 1");
  const std::string command = std::string(63, 'C') + "DEFGHIJ";
  ASSERT_TRUE(OpenInto(hid, "Torvane Sim Board 2", board));
  ASSERT_TRUE(OpenInto(usb, "ZDK-SIM4-01" + kBlanks + "[0]", controller));
  EXPECT_EQ(hid.SendReceive(board, "ID", reply), LinkStatus::Ok);
  EXPECT_EQ(reply, "Torvane Sim Board 2");
  EXPECT_EQ(usb.SendReceive(controller, "ID", reply), LinkStatus::Ok);
  EXPECT_EQ(usb.SendReceive(controller, "", reply), LinkStatus::Failed);  // not sent at all
  EXPECT_EQ(reply, "Zendrik-SIM4");
  EXPECT_EQ(usbSim.Do("last-lengths"), "64 64");
  for (devices::Transport* link : std::initializer_list<devices::Transport*>{&hid, &usb})
    link->SendReceive(link == &hid ? board : controller, command, reply);
  EXPECT_EQ(hidSim.Do("last-command") + usbSim.Do("last-command"), std::string(126, 'C'));
  hid.SendReceive(board, "", reply);  // sent like any other
  EXPECT_EQ(hidSim.Do("last-command"), "");
  EXPECT_EQ(hidSim.Calls("SendReceiveTorvaneHID") + usbSim.Calls("fnZendrikComSendRecv"), 5);
  hidSim.Do("version 255 11 -1");
  EXPECT_EQ(devices::HidLibraryVersionOf(hid), "255.11.-1");

  const std::tuple<int, int, LinkStatus> cases[] = {
      {-7, -7, LinkStatus::Failed},          {0, 0, LinkStatus::Failed},
      {0x12345, 0x2345, LinkStatus::Failed}, {65535, -1, LinkStatus::Failed},
      {32768, -32768, LinkStatus::Failed},   {INT_MIN, 0, LinkStatus::Failed},
      {0x10001, 1, LinkStatus::Ok},  // USB judges the narrowed status
  };
  for (auto [library, narrowed, status] : cases) {
    hidSim.Do("result SendReceiveTorvaneHID " + std::to_string(library));
    usbSim.Do("result fnZendrikComSendRecv " + std::to_string(library));
    EXPECT_EQ(hid.HidSendReceive(board, "PX", reply), library);
    EXPECT_EQ(usb.UsbSendReceive(controller, "PX", reply), narrowed) << library;
    EXPECT_EQ(usb.SendReceive(controller, "PX", reply), status) << library;
    EXPECT_EQ(reply, "0");
  }
}

// Whatever a library reports, nothing is read outside its buffers (the sanitizer checks).
TEST_F(Vendor, MisbehavingLibrariesAreReadOnlyWithinTheBuffers) {
  hidSim.Do("devices 2"), usbSim.Do("devices 1");
  for (Standin* sim : {&hidSim, &usbSim}) sim->Do("count 2147483647");
  Entries entries = hid.ListEntries();
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(devices::kMaxListedDevices));
  EXPECT_EQ(entries[1] + "|" + entries[2], "Torvane Sim Board 2|");
  EXPECT_EQ(usb.ListEntries(), Entries{"ZDK-SIM4-01" + kBlanks + "[0]"});
  EXPECT_EQ(usbSim.Calls("fnZendrikComGetProductString"), devices::kMaxListedDevices);
  for (Standin* sim : {&hidSim, &usbSim}) sim->Do("unterminated 1");
  ASSERT_TRUE(OpenInto(hid, "Torvane Sim Board 1", board));
  ASSERT_EQ(usb.UsbOpenIndex(controller, 0), 1);
  for (devices::Transport* link : std::initializer_list<devices::Transport*>{&hid, &usb}) {
    link->SendReceive(link == &hid ? board : controller, "HSPD", reply);
    EXPECT_EQ(reply, "5000" + std::string(60, '~'));
  }
  EXPECT_EQ(hid.SendReceive(12345, "PX", reply), LinkStatus::Failed);  // never opened
  EXPECT_EQ(reply, "");
  reply = "old";
  EXPECT_EQ(usb.SendReceive(999, "PX", reply), LinkStatus::Failed);
  EXPECT_EQ(reply, "");
}

TEST(AccessLibrary, LoadsOnlyWithEveryEntryPointButTheVersionAndNoneGivesNoDevices) {
  EXPECT_NE(devices::LoadHidLibrary("/nonexistent/libTVNHidApi.so").Text(), "");
  for (auto [why, missing] :
       {std::pair{devices::LoadHidLibrary(UsbPath()).Text(), "GetTorvaneHIDnumber"},
        {devices::LoadUsbLibrary(HidPath()).Text(), "fnZendrikComGetNumDevices"}})
    EXPECT_NE(why.find(missing), std::string::npos) << why;
  auto hidFound = devices::FindHidLibrary();
  auto usbFound = devices::FindUsbLibrary();
  ASSERT_TRUE(hidFound && usbFound);
  EXPECT_EQ((*hidFound)->Path(), HidPath());  // by absolute path, in the program's folder
  EXPECT_EQ((*usbFound)->Path(), UsbPath());

  const std::string withoutVersion = StandinPath("TVNHidApi", "noversion/");
  Standin standin(withoutVersion);
  standin.Do("devices 1");
  devices::HidTransport link(OrNull(devices::LoadHidLibrary(withoutVersion)));
  LinkHandle handle = 0;
  std::string reply;
  ASSERT_TRUE(OpenInto(link, "Torvane Sim Board 1", handle));
  EXPECT_EQ(link.SendReceive(handle, "PX", reply), LinkStatus::Ok);

  devices::HidTransport hid(nullptr);
  devices::UsbTransport usb(nullptr);
  // No version from a library too old to tell it, from none, or from another kind of link.
  EXPECT_EQ(link.HidLibraryVersion() + hid.HidLibraryVersion() + devices::HidLibraryVersionOf(usb),
            "");
  const std::pair<devices::Transport*, const char*> none[] = {
      {&hid, "no board library was found"}, {&usb, "no controller library was found"}};
  for (auto [absent, why] : none) {
    EXPECT_EQ(absent->ListEntries(), Entries{});
    EXPECT_EQ(absent->Open("Torvane Sim Board 1").Text(), why);
    EXPECT_EQ(absent->SendReceive(handle, "PX", reply), LinkStatus::Failed);
  }
}

TEST(UsbEntryIndex, IsTheNumberInTheLastBrackets) {
  const std::pair<const char*, int> cases[] = {
      {"ZDK-MX42-07 [12]", 12}, {"ZDK-MX42-07 [ 3 ]", 3}, {"ZDK-MX42-07", 0},
      {"ZDK-A [x]", 0},         {"ZDK-A [", 0},           {"ZDK-A [2.5]", 2},
      {"ZDK-A [3.5]", 4},       {"ZDK-A [7abc]", 7},      {"ZDK-A [-1]", -1},
      {"ZDK-A [+5]", 5},        {"ZDK-[1] [2]", 2},       {"ZDK-A [99999999999]", INT_MAX},
      {"ZDK-A [nan]", 0},       {"ZDK-A [-inf]", 0},      {"ZDK-A [1e999]", 0}};
  for (const auto& [entry, index] : cases) EXPECT_EQ(devices::UsbEntryIndex(entry), index) << entry;
}

TEST_F(Vendor, UsbControllersAreListedByIdentityAndReopenedByTheirIndex) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"Zendrik-MX42", "Stepper Drive 07", "ZDK-MX42-07"},
      {"  Zendrik-MX42  ", "  Drive 07   ", "ZDK-MX42-07"},
      {"zendrik-MX42", "X07", "ZDK-zendrik-MX42-07"},  // the prefix is matched exactly
      {"Zendrik-MX42", "7", "ZDK-MX42-7"},
      {"Zendrik-MX42", "   ", "ZDK-MX42-"},  // blanks alone still make a product
      {"Zendrik-MX [5]", "Drive 07", "ZDK-MX [5]-07"}};
  usbSim.Do("devices 3");
  usbSim.Do("product 1 ");
  for (const auto& [identity, product, entry] : cases) {
    usbSim.Do("identity 2 " + identity);
    usbSim.Do("product 2 " + product);
    Entries entries = usb.ListEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1], entry + kBlanks + "[2]") << identity << "/" << product;
    ASSERT_TRUE(OpenInto(usb, entries[1], controller));
    EXPECT_EQ(usbSim.Do("last-open-index"), "2");
  }
  EXPECT_EQ(usbSim.Calls("fnZendrikComClose"), 12);  // each closed after asking its "ID"
  EXPECT_EQ(usbSim.Do("timeouts"), "5000 5000");
  EXPECT_EQ(usbSim.Calls("fnZendrikComFlush"), 18);  // each controller that opened
  EXPECT_EQ(usb.UsbOpenIndex(controller, 5), 0);
  EXPECT_EQ(usbSim.Calls("fnZendrikComFlush"), 18);
  usbSim.Do("result fnZendrikComOpen 65536");  // any non-zero result is open
  EXPECT_EQ(usb.UsbOpenIndex(controller, 0), 1);

  usbSim.Do("result fnZendrikComOpen 0");
  EXPECT_EQ(usb.ListEntries()[0], "ZDK-Halvorn Sim USB Controller 01" + kBlanks + "[0]");
  EXPECT_EQ(usb.Open("ZDK-X [0]").Text(), "the controller library did not open controller 0");
  for (int result : {0, 2, -1}) {
    usbSim.Do("result fnZendrikComGetNumDevices " + std::to_string(result));
    EXPECT_EQ(usb.UsbListDevices(), "") << result;
  }
}

}  // namespace
