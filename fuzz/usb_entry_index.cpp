// Any device entry text, however malformed, gives some index without
// reading outside the text or undefined behaviour; and an entry built the
// way the USB list builds one always gives back its own index, whatever the
// controller's identity holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "devices/vendor/usb_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)devices::UsbEntryIndex(text);
  std::string cut = devices::CutAtNul(text);
  if (cut.size() > text.size()) __builtin_trap();

  FuzzedDataProvider provider(data, size);
  int index = provider.ConsumeIntegralInRange<int>(0, 1 << 20);
  std::string identity = provider.ConsumeRemainingBytesAsString();
  std::string entry = "ZDK-" + identity + std::string(46, ' ') + "[" + std::to_string(index) + "]";
  if (devices::UsbEntryIndex(entry) != index) __builtin_trap();
  return 0;
}
