// The table of link kinds: which kind an entry belongs to, and the registry
// that lists and opens entries kind by kind in the table's order.
#include "devices/link_kinds.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devices/device_registry.h"
#include "support/fake_transport.h"

namespace {

using devices::LinkKind;

TEST(LinkKinds, EveryEntryBelongsToExactlyOneKind) {
  const std::pair<const char*, LinkKind> cases[] = {
      {"ZDK-SIM4-01 [0]", LinkKind::Usb},
      {"ZDK-SIM4 {COM2:9600}", LinkKind::Serial},  // a brace group wins
      {"zdk-SIM4-01 [0]", LinkKind::Hid},          // upper case only
      {"ZDK", LinkKind::Hid},
      {"", LinkKind::Hid},
      {"{", LinkKind::Serial},
  };
  for (const auto& [entry, kind] : cases) {
    EXPECT_EQ(devices::ClassifyEntry(entry), kind) << entry;
  }
  // (The rows' names, kinds and finders are the registry's and the real runs' to show.)
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
    links[kind] = std::make_shared<testing_support::FakeTransport>();
    links[kind]->entries = {std::string(devices::LinkKindOf(kind)->name) + " 1",
                            std::string(devices::LinkKindOf(kind)->name) + " 2"};
    registry.SetTransport(kind, links[kind]);
  }
  EXPECT_EQ(registry.Discover(),
            (std::vector<std::string>{"HID board 1", "HID board 2", "USB controller 1",
                                      "USB controller 2", "serial port 1", "serial port 2"}));
  ASSERT_TRUE(registry.TransportFor(LinkKind::Usb).Open("ZDK-A [0]"));
  EXPECT_EQ(links[LinkKind::Usb]->opened, std::vector<std::string>{"ZDK-A [0]"});
  EXPECT_TRUE(links[LinkKind::Hid]->opened.empty());

  // Taken out again, and a number that names no kind has no links.
  registry.SetTransport(LinkKind::Usb, nullptr);
  registry.SetTransport(static_cast<LinkKind>(99), links[LinkKind::Usb]);
  EXPECT_EQ(registry.Discover().size(), 4u);
  EXPECT_FALSE(registry.TransportFor(static_cast<LinkKind>(99)).Open("x"));
}

}  // namespace
