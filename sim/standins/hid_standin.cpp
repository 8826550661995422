// The stand-in board library (TVNHidApi): simulated Torvane boards for
// machines without boards, and for the tests. It offers the board library's
// entry points with their exact arguments; each board is a simulated
// controller that answers the commands it is sent.
//
// Boards exist only when asked for: HALVORN_SIM_HID_BOARDS=N in the
// environment gives N boards named "Torvane Sim Board 1" to "... N".
//
// Test controls (see standin.h for the common ones):
//   name I TEXT        board I is called TEXT (may be empty or end in blanks)
//   last-name          answers the last name the open entry point was given
//   version A B C      the version entry point reports A.B.C
//
// Built a second time without the version entry point, as older board
// libraries are (HALVORN_STANDIN_WITHOUT_VERSION).
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "devices/vendor/access_library.h"
#include "sim/controller.h"
#include "sim/standins/standin.h"

namespace {

using sim::standins::Behaviour;

constexpr std::int32_t kFirstHandle = 0x4000;

struct Board {
  std::string name;
  std::unique_ptr<sim::Controller> controller;
};

struct Library {
  std::mutex mutex;
  Behaviour behaviour;
  std::vector<Board> boards;
  std::set<std::int32_t> open;  // handles: kFirstHandle + board index
  std::string lastName;
  std::uint8_t versionFirst = 3, versionSecond = 2;
  std::int32_t versionThird = 2049;

  Library() { Reset(); }

  void Reset() {
    behaviour.Reset();
    open.clear();
    lastName.clear();
    versionFirst = 3;
    versionSecond = 2;
    versionThird = 2049;
    SetBoards(sim::standins::DevicesFromEnvironment("HALVORN_SIM_HID_BOARDS"));
  }

  void SetBoards(int count) {
    boards.clear();
    open.clear();
    for (int i = 0; i < count; ++i) {
      std::string name = "Torvane Sim Board " + std::to_string(i + 1);
      sim::Controller::Options options;
      options.identity = name;
      options.instant = behaviour.Instant();
      boards.push_back({name, std::make_unique<sim::Controller>(options)});
    }
  }

  Board* ByHandle(std::int32_t handle) {
    if (open.count(handle) == 0) return nullptr;
    return &boards[static_cast<std::size_t>(handle - kFirstHandle)];
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

}  // namespace

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API GetTorvaneHIDnumber() {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  std::int32_t count = lib.behaviour.Count(static_cast<std::int32_t>(lib.boards.size()));
  return lib.behaviour.Result("GetTorvaneHIDnumber", count);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API GetTorvaneHIDName(std::int32_t index,
                                                                         char* name256) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  std::int32_t result = 0;
  if (index >= 0 && static_cast<std::size_t>(index) < lib.boards.size()) {
    sim::standins::WriteText(lib.boards[static_cast<std::size_t>(index)].name, name256,
                             devices::kNameBufferSize, lib.behaviour.Unterminated());
    result = 1;
  }
  return lib.behaviour.Result("GetTorvaneHIDName", result);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API OpenTorvaneHID(std::int32_t* handle,
                                                                      char* name) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  lib.lastName = name;
  std::int32_t result = 0;
  for (std::size_t i = 0; i < lib.boards.size(); ++i) {
    if (lib.boards[i].name == lib.lastName) {
      *handle = kFirstHandle + static_cast<std::int32_t>(i);
      lib.open.insert(*handle);
      result = 1;
      break;
    }
  }
  return lib.behaviour.Result("OpenTorvaneHID", result);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API SendReceiveTorvaneHID(std::int32_t handle,
                                                                             char* command64,
                                                                             char* reply64) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  // A report is 64 bytes whatever the caller put in it.
  lib.behaviour.lastCommand = sim::standins::ReadText(command64, devices::kExchangeBufferSize);
  std::int32_t result = 0;
  if (Board* board = lib.ByHandle(handle)) {
    sim::standins::WriteText(board->controller->Execute(lib.behaviour.lastCommand), reply64,
                             devices::kExchangeBufferSize, lib.behaviour.Unterminated());
    result = 1;
  }
  return lib.behaviour.Result("SendReceiveTorvaneHID", result);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API CloseTorvaneHID(std::int32_t handle) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  std::int32_t result = lib.open.erase(handle) == 1 ? 1 : 0;
  return lib.behaviour.Result("CloseTorvaneHID", result);
}

#if !defined(HALVORN_STANDIN_WITHOUT_VERSION)
HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API GetTorvaneHIDversion(std::uint8_t* first,
                                                                            std::uint8_t* second,
                                                                            std::int32_t* third) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  *first = lib.versionFirst;
  *second = lib.versionSecond;
  *third = lib.versionThird;
  return lib.behaviour.Result("GetTorvaneHIDversion", 1);
}
#endif

HALVORN_STANDIN_EXPORT std::int32_t HalvornStandinControl(const char* request, char* answer,
                                                          std::int32_t size) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  std::string verb, rest;
  sim::standins::SplitRequest(request != nullptr ? request : "", verb, rest);
  long value = 0;
  if (verb == "reset") {
    lib.Reset();
  } else if (verb == "devices") {
    if (!sim::standins::TakeNumber(rest, value) || value < 0) return 0;
    lib.SetBoards(static_cast<int>(std::min<long>(value, sim::standins::kMaxDevices)));
  } else if (verb == "name") {
    if (!sim::standins::TakeNumber(rest, value) || value < 0 ||
        static_cast<std::size_t>(value) >= lib.boards.size()) {
      return 0;
    }
    lib.boards[static_cast<std::size_t>(value)].name = rest;
  } else if (verb == "last-name") {
    sim::standins::Answer(lib.lastName, answer, size);
  } else if (verb == "version") {
    long first = 0, second = 0, third = 0;
    if (!sim::standins::TakeNumber(rest, first) || !sim::standins::TakeNumber(rest, second) ||
        !sim::standins::TakeNumber(rest, third)) {
      return 0;
    }
    lib.versionFirst = static_cast<std::uint8_t>(first);
    lib.versionSecond = static_cast<std::uint8_t>(second);
    lib.versionThird = static_cast<std::int32_t>(third);
  } else if (!lib.behaviour.Control(verb, rest, answer, size)) {
    return 0;
  }
  return 1;
}

// The entry points match the table the terminal binds them into.
static_assert(std::is_same_v<decltype(&GetTorvaneHIDnumber), devices::HidEntryPoints::GetNumber>);
static_assert(std::is_same_v<decltype(&GetTorvaneHIDName), devices::HidEntryPoints::GetName>);
static_assert(std::is_same_v<decltype(&OpenTorvaneHID), devices::HidEntryPoints::Open>);
static_assert(
    std::is_same_v<decltype(&SendReceiveTorvaneHID), devices::HidEntryPoints::SendReceive>);
static_assert(std::is_same_v<decltype(&CloseTorvaneHID), devices::HidEntryPoints::Close>);
#if !defined(HALVORN_STANDIN_WITHOUT_VERSION)
static_assert(std::is_same_v<decltype(&GetTorvaneHIDversion), devices::HidEntryPoints::GetVersion>);
#endif
