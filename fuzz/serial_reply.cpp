// The serial link's reply handling on a real pseudo-terminal: a controller
// (a writer thread on the master side) sends a stream of reply bytes in
// chunks of any size while the link runs one exchange per CR of the stream.
// Each reply must be the stream's next piece up to its CR, without the CR,
// cut at 64 KiB, and without an LF that follows the CR of the piece before
// (the rest of a CR LF line end); bytes that arrive with one reply are
// carried over to the next exchange; every frame sent is "@" + address +
// command + CR.
//
// Short inputs make long replies through runs ("this byte, n times"), so the
// 64 KiB cap is reached. Only bytes up to the last CR are sent, so every
// exchange ends with its CR and nothing is left in the line for the next run.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "devices/serial_transport.h"

namespace {

constexpr std::size_t kCap = devices::SerialTransport::kMaxReplyBytes;
constexpr std::size_t kMaxExchanges = 24;
constexpr std::size_t kMaxStream = 3 * kCap;

struct Line {
  int master = -1;
  std::string entry;
  std::unique_ptr<devices::SerialTransport> link;

  Line() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) __builtin_trap();
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    // The slave stays open here so the line lives between runs.
    entry = std::string("Axis 07 {") + name + ":115200}";
    // The port is named by its path, so no data folder is looked at. Every
    // exchange ends with its CR; the long time-out only keeps a loaded
    // machine from turning a slow writer into a finding.
    link = std::make_unique<devices::SerialTransport>("/nonexistent/", 30.0);
  }
};

// The reply stream: literal pieces and runs of one byte, up to kMaxStream.
std::string Stream(FuzzedDataProvider& data) {
  std::string stream;
  while (data.remaining_bytes() > 0 && stream.size() < kMaxStream) {
    if (data.ConsumeBool()) {
      stream += data.ConsumeRandomLengthString(64);
    } else {
      const char byte = data.ConsumeIntegral<char>();
      stream.append(data.ConsumeIntegralInRange<std::size_t>(0, kCap + 16), byte);
    }
  }
  stream.resize(std::min(stream.size(), kMaxStream));
  return stream;
}

// Writes `bytes` to the master in chunks of the sizes given, until done or
// told to stop.
void Controller(int master, const std::string& bytes, std::vector<std::size_t> chunks,
                const std::atomic<bool>& stop) {
  std::size_t at = 0;
  for (std::size_t c = 0; at < bytes.size() && !stop.load(); ++c) {
    const std::size_t chunk = chunks.empty() ? 4096 : chunks[c % chunks.size()];
    const ssize_t n = ::write(master, bytes.data() + at, std::min(chunk, bytes.size() - at));
    if (n > 0) {
      at += static_cast<std::size_t>(n);
    } else {
      pollfd p{master, POLLOUT, 0};
      ::poll(&p, 1, 5);
    }
  }
}

std::string DrainFrames(int master) {
  std::string frames;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {
    frames.append(buffer, static_cast<std::size_t>(n));
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static Line line;
  FuzzedDataProvider data(bytes, size);
  std::vector<std::string> commands;
  for (std::size_t i = 0; i < kMaxExchanges; ++i)
    commands.push_back(data.ConsumeRandomLengthString(8));
  std::vector<std::size_t> chunks;
  for (int i = 0; i < 4; ++i) chunks.push_back(data.ConsumeIntegralInRange<std::size_t>(1, 70000));
  std::string stream = Stream(data);

  // The pieces the exchanges must return; the stream ends at the last CR used.
  std::vector<std::string> pieces;
  std::size_t end = 0;
  for (std::size_t cr;
       pieces.size() < kMaxExchanges && (cr = stream.find('\r', end)) != std::string::npos;
       end = cr + 1) {
    // The port is opened afresh for each input: only an LF after a CR of
    // this stream ends a line.
    const std::size_t start = !pieces.empty() && stream[end] == '\n' ? end + 1 : end;
    pieces.push_back(stream.substr(start, std::min(cr - start, kCap)));
  }
  stream.resize(end);
  if (pieces.empty()) return 0;

  devices::LinkHandle handle = 0;
  if (line.link->Open(line.entry, handle) != devices::LinkStatus::Ok) __builtin_trap();
  DrainFrames(line.master);
  std::atomic<bool> stop{false};
  std::thread controller(Controller, line.master, std::cref(stream), chunks, std::cref(stop));
  std::string expectedFrames;
  bool matched = true;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    std::string reply;
    line.link->SendReceive(handle, commands[i], reply);
    matched = matched && reply == pieces[i];
    expectedFrames += "@07" + commands[i] + "\r";
  }
  stop = true;
  controller.join();
  line.link->Close(handle);
  // Frames are read only once the exchanges are over; the line holds them.
  if (!matched || DrainFrames(line.master) != expectedFrames) __builtin_trap();
  return 0;
}
