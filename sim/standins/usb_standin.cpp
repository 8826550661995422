// The stand-in controller library (ZENDRIKCOM): simulated ZDK controllers
// over USB for machines without them, and for the tests. It offers the
// controller library's entry points with their exact arguments; each
// controller is a simulated controller answering the commands it is sent.
//
// Controllers exist only when asked for: HALVORN_SIM_USB_CONTROLLERS=N in
// the environment gives N controllers, the first with the product string
// "Halvorn Sim USB Controller 01", answering "ID" with "Zendrik-SIM4".
//
// Test controls (see standin.h for the common ones):
//   product I TEXT     controller I's product string is TEXT (may be empty)
//   identity I TEXT    controller I answers "ID" with TEXT
//   last-open-index    answers the index the open entry point was given last
//   timeouts           answers the two time-outs set last, "READ WRITE"
//   last-lengths       answers the byte counts of the last exchange, "WRITE READ"
//   last-option        answers the option of the last product string read
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

constexpr std::int32_t kFirstHandle = 0x7100;
constexpr const char* kDefaultIdentity = "Zendrik-SIM4";

struct Device {
  std::string product;
  std::unique_ptr<sim::Controller> controller;
};

struct Library {
  std::mutex mutex;
  Behaviour behaviour;
  std::vector<Device> devices;
  std::set<std::int32_t> open;  // handles: kFirstHandle + controller index
  std::int32_t lastOpenIndex = -1;
  std::int32_t lastOption = -1;
  std::string timeouts = "none";
  std::string lastLengths = "none";

  Library() { Reset(); }

  void Reset() {
    behaviour.Reset();
    lastOpenIndex = -1;
    lastOption = -1;
    timeouts = "none";
    lastLengths = "none";
    SetDevices(sim::standins::DevicesFromEnvironment("HALVORN_SIM_USB_CONTROLLERS"));
  }

  std::unique_ptr<sim::Controller> MakeController(const std::string& identity) const {
    sim::Controller::Options options;
    options.identity = identity;
    options.instant = behaviour.Instant();
    return std::make_unique<sim::Controller>(options);
  }

  void SetDevices(int count) {
    devices.clear();
    open.clear();
    for (int i = 0; i < count; ++i) {
      std::string serial = std::to_string(i + 1);
      if (serial.size() < 2) serial.insert(0, "0");
      devices.push_back({"Halvorn Sim USB Controller " + serial, MakeController(kDefaultIdentity)});
    }
  }

  Device* At(long index) {
    if (index < 0 || static_cast<std::size_t>(index) >= devices.size()) return nullptr;
    return &devices[static_cast<std::size_t>(index)];
  }

  Device* ByHandle(std::int32_t handle) {
    if (open.count(handle) == 0) return nullptr;
    return At(handle - kFirstHandle);
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

}  // namespace

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API
fnZendrikComGetNumDevices(std::int32_t* count) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  *count = lib.behaviour.Count(static_cast<std::int32_t>(lib.devices.size()));
  return lib.behaviour.Result("fnZendrikComGetNumDevices", 1);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API
fnZendrikComGetProductString(std::int32_t index, char* product256, std::int32_t option) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  lib.lastOption = option;
  std::int32_t result = 0;
  if (Device* device = lib.At(index)) {
    // An empty product string is a controller that does not tell its name:
    // its buffer is left as the caller prepared it.
    if (!device->product.empty()) {
      sim::standins::WriteText(device->product, product256, devices::kNameBufferSize,
                               lib.behaviour.Unterminated());
    }
    result = 1;
  }
  return lib.behaviour.Result("fnZendrikComGetProductString", result);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API fnZendrikComSetTimeouts(std::int32_t read,
                                                                               std::int32_t write) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  lib.timeouts = std::to_string(read) + " " + std::to_string(write);
  return lib.behaviour.Result("fnZendrikComSetTimeouts", 1);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API fnZendrikComOpen(std::int32_t index,
                                                                        std::int32_t* handle) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  lib.lastOpenIndex = index;
  std::int32_t result = 0;
  if (lib.At(index) != nullptr) {
    *handle = kFirstHandle + index;
    lib.open.insert(*handle);
    result = 1;
  }
  return lib.behaviour.Result("fnZendrikComOpen", result);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API fnZendrikComFlush(std::int32_t handle) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  return lib.behaviour.Result("fnZendrikComFlush", lib.ByHandle(handle) != nullptr ? 1 : 0);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API
fnZendrikComSendRecv(std::int32_t handle, char* command, std::int32_t bytesToWrite,
                     std::int32_t bytesToRead, char* reply) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  lib.lastLengths = std::to_string(bytesToWrite) + " " + std::to_string(bytesToRead);
  // Only the bytes the caller said it wrote are read, and only as many
  // bytes as it said it reads are written.
  std::size_t writeSize = bytesToWrite > 0 ? static_cast<std::size_t>(bytesToWrite) : 0;
  std::size_t readSize = bytesToRead > 0 ? static_cast<std::size_t>(bytesToRead) : 0;
  lib.behaviour.lastCommand = sim::standins::ReadText(command, writeSize);
  std::int32_t result = 0;
  if (Device* device = lib.ByHandle(handle)) {
    sim::standins::WriteText(device->controller->Execute(lib.behaviour.lastCommand), reply,
                             readSize, lib.behaviour.Unterminated());
    result = 1;
  }
  return lib.behaviour.Result("fnZendrikComSendRecv", result);
}

HALVORN_STANDIN_EXPORT std::int32_t HALVORN_VENDOR_API fnZendrikComClose(std::int32_t handle) {
  Library& lib = TheLibrary();
  std::lock_guard lock(lib.mutex);
  std::int32_t result = lib.open.erase(handle) == 1 ? 1 : 0;
  return lib.behaviour.Result("fnZendrikComClose", result);
}

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
    lib.SetDevices(static_cast<int>(std::min<long>(value, sim::standins::kMaxDevices)));
  } else if (verb == "product" || verb == "identity") {
    if (!sim::standins::TakeNumber(rest, value)) return 0;
    Device* device = lib.At(value);
    if (device == nullptr) return 0;
    if (verb == "product") {
      device->product = rest;
    } else {
      device->controller = lib.MakeController(rest);
    }
  } else if (verb == "last-open-index") {
    sim::standins::Answer(std::to_string(lib.lastOpenIndex), answer, size);
  } else if (verb == "timeouts") {
    sim::standins::Answer(lib.timeouts, answer, size);
  } else if (verb == "last-lengths") {
    sim::standins::Answer(lib.lastLengths, answer, size);
  } else if (verb == "last-option") {
    sim::standins::Answer(std::to_string(lib.lastOption), answer, size);
  } else if (!lib.behaviour.Control(verb, rest, answer, size)) {
    return 0;
  }
  return 1;
}

// The entry points match the table the terminal binds them into.
static_assert(
    std::is_same_v<decltype(&fnZendrikComGetNumDevices), devices::UsbEntryPoints::GetNumDevices>);
static_assert(std::is_same_v<decltype(&fnZendrikComGetProductString),
                             devices::UsbEntryPoints::GetProductString>);
static_assert(
    std::is_same_v<decltype(&fnZendrikComSetTimeouts), devices::UsbEntryPoints::SetTimeouts>);
static_assert(std::is_same_v<decltype(&fnZendrikComOpen), devices::UsbEntryPoints::Open>);
static_assert(std::is_same_v<decltype(&fnZendrikComFlush), devices::UsbEntryPoints::Flush>);
static_assert(std::is_same_v<decltype(&fnZendrikComSendRecv), devices::UsbEntryPoints::SendRecv>);
static_assert(std::is_same_v<decltype(&fnZendrikComClose), devices::UsbEntryPoints::Close>);
