// Any device entry text, however malformed, gives some index without
// reading outside the text.
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
  return 0;
}
