// The kinds of link, one row each: what a kind is called, which device
// entries are its own, and how a real run finds its transport. The device
// registry and the entry classification read this table and nothing else,
// so a new kind of link is its transport's file in devices/, its number in
// LinkKind (devices/link.h) and its row in link_kinds.cpp.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "devices/link.h"
#include "platform/data_folders.h"

namespace devices {

struct LinkKindRow {
  LinkKind kind;
  // How the kind is named to the operator and in tests ("HID board").
  std::string_view name;
  // Whether an entry text belongs to this kind. The claims of the rows never
  // overlap; the one row without a claim takes every entry no other row
  // claims.
  bool (*claims)(std::string_view entry);
  // The transport a real run uses, found on this machine (its access library
  // loaded, its configuration read from the data folder `folders`); null
  // when this machine has none, which leaves the kind without devices.
  std::shared_ptr<Transport> (*find)(const platform::DataFolders& folders);
};

// Every kind, in the order in which discovery lists their entries.
std::span<const LinkKindRow> LinkKinds();

// The row of `kind`; null for a number that names no kind.
const LinkKindRow* LinkKindOf(LinkKind kind);

// Classifies an entry text: any "{" makes it serial; otherwise a leading
// "ZDK-" (upper case only) makes it USB; everything else is a HID board name.
LinkKind ClassifyEntry(std::string_view entry);

}  // namespace devices
