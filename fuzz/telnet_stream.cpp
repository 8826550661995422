// Whatever a serial device server sends, in whatever pieces: the telnet side
// never yields more data than it was given, keeps its answers bounded, and
// gives back exactly the data another client encoded.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "devices/telnet_client.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  devices::TelnetClient client;
  std::string out, in;
  if (provider.ConsumeBool()) client.Greeting();
  while (provider.remaining_bytes() > 0) {
    std::string piece = provider.ConsumeRandomLengthString(64);
    in += piece;
    client.Receive(piece, out);
    if (client.TakeAnswers().size() > devices::TelnetClient::kMaxAnswerBytes) __builtin_trap();
  }
  if (out.size() > in.size()) __builtin_trap();
  if (client.LineConfirmed() && client.ConfirmedBaud() == 0) __builtin_trap();

  devices::TelnetClient sender, receiver;
  std::string decoded;
  receiver.Receive(sender.Encode(in), decoded);
  if (decoded != in) __builtin_trap();
  return 0;
}
