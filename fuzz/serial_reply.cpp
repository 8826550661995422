// The serial link's reply handling: a controller sends a stream of reply
// bytes in chunks of any size while the link runs one exchange per CR of the
// stream. Each reply must be the stream's next piece up to its CR, without
// the CR (and, after the first, without an LF right behind the last CR), cut
// at 64 KiB; bytes that arrive with one reply are carried over to
// the next exchange; every frame sent is "@" + address + command + CR.
//
// The link is the real one, opened from a configuration line, but its port is
// one end of a socket pair, read and written with the descriptor waits a
// local port uses; the controller is the other end. No thread and no device:
// whenever the link waits for bytes and has less than one read's worth
// queued, the controller sends its next chunk first. So the bytes arrive in
// the chunks the input chose, split further only by the link's own reads, and
// one input costs a few hundred system calls at most.
//
// Short inputs make long replies through runs ("this byte, n times"), so the
// 64 KiB cap is reached. Only bytes up to the last CR are sent, so every
// exchange ends with its CR and nothing is left in the line for the next run.
#include <sys/socket.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "devices/descriptor_io.h"
#include "devices/serial_channel.h"
#include "devices/serial_transport.h"
#include "fuzz/byte_stream.h"

namespace {

constexpr std::size_t kCap = devices::SerialTransport::kMaxReplyBytes;
constexpr std::size_t kMaxExchanges = 24;
constexpr std::size_t kMaxStream = 3 * kCap;
// The link reads at most this much at a time.
constexpr std::size_t kRead = 4096;
// Chunks are made at least stream / kMaxChunks long: one-byte chunks over a
// stream of 192 KiB would only repeat the same few steps a hundred thousand
// times.
constexpr std::size_t kMaxChunks = 128;
constexpr char kPort[] = "/fuzz/serial-line";

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The line between link and controller, kept for all runs, and the stream of
// the current run.
struct Line {
  int link = -1;
  int controller = -1;
  std::unique_ptr<devices::SerialTransport> transport;
  std::string stream;
  std::vector<std::size_t> chunks;
  std::size_t minChunk = 1;
  std::size_t nextChunk = 0;
  std::size_t sent = 0;  // bytes of the stream the controller has sent
  std::size_t read = 0;  // ... and the link has read

  Line();

  // The controller's part before each read of the link.
  void Feed() {
    if (sent - read >= kRead || sent == stream.size()) return;
    std::size_t chunk = std::max(chunks[nextChunk++ % chunks.size()], minChunk);
    chunk = std::min(chunk, stream.size() - sent);
    const ssize_t n = ::send(controller, stream.data() + sent, chunk, MSG_NOSIGNAL);
    if (n > 0) sent += static_cast<std::size_t>(n);
  }
};

// The link's port: one end of the socket pair.
class Channel final : public devices::SerialChannel {
 public:
  explicit Channel(Line& line) : line_(line) {}
  bool Write(std::string_view data, TimePoint deadline) override {
    return devices::io::WriteAll(line_.link, data, deadline, true);
  }
  ReadResult Read(std::string& out, std::size_t max, TimePoint deadline) override {
    line_.Feed();
    // Nothing queued and nothing left to send: the link waits for a reply the
    // stream does not hold (every exchange's CR has been delivered).
    Check(line_.sent > line_.read);
    const std::size_t before = out.size();
    const ReadResult result = devices::io::ReadSome(line_.link, out, max, deadline);
    line_.read += out.size() - before;
    return result;
  }

 private:
  Line& line_;
};

Line::Line() {
  int pair[2];
  Check(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0);
  link = pair[0];
  controller = pair[1];
  devices::SetSerialChannelOpener(
      [this](const std::string& port, int baud, devices::SerialChannel::TimePoint)
          -> platform::Result<std::unique_ptr<devices::SerialChannel>> {
        Check(port == kPort && baud == 115200);
        return std::unique_ptr<devices::SerialChannel>(std::make_unique<Channel>(*this));
      });
  // The port is named by its path, so no data folder is looked at. Every
  // exchange ends with its CR, so the time-out is never reached; a link that
  // waited for more is caught in Channel::Read.
  transport = std::make_unique<devices::SerialTransport>("/nonexistent/", 30.0);
  stream.reserve(kMaxStream + kCap + 16 + 64);
}

// The reply stream: runs a little longer than the cap reach it.
void Stream(FuzzedDataProvider& data, std::string& stream) {
  MakeByteStream(data, stream, kMaxStream, kCap + 16);
}

std::string DrainFrames(int controller) {
  std::string frames;
  char buffer[4096];
  for (ssize_t n; (n = ::read(controller, buffer, sizeof buffer)) > 0;) {
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
  Stream(data, line.stream);

  // The pieces the exchanges must return; the stream ends at the last CR used.
  const std::string& stream = line.stream;
  std::vector<std::string_view> pieces;
  std::size_t end = 0;
  for (std::size_t cr;
       pieces.size() < kMaxExchanges && (cr = stream.find('\r', end)) != std::string::npos;
       end = cr + 1) {
    // An LF right after the CR that ended the last reply is the rest of a
    // CR LF line end, not the start of the next reply.
    const std::size_t start = !pieces.empty() && stream[end] == '\n' ? end + 1 : end;
    pieces.push_back(std::string_view(stream).substr(start, std::min(cr - start, kCap)));
  }
  if (pieces.empty()) return 0;
  line.stream.resize(end);  // within its room: the pieces stay valid

  line.chunks = std::move(chunks);
  line.minChunk = (end + kMaxChunks - 1) / kMaxChunks;
  line.nextChunk = line.sent = line.read = 0;

  const platform::Result<devices::LinkHandle> opened =
      line.transport->Open("Axis 07 {" + std::string(kPort) + ":115200}");
  Check(opened.ok());
  const devices::LinkHandle handle = *opened;
  DrainFrames(line.controller);
  std::string expectedFrames;
  bool matched = true;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    std::string reply;
    const devices::LinkStatus status = line.transport->SendReceive(handle, commands[i], reply);
    matched = matched && status == devices::LinkStatus::Ok && reply == pieces[i];
    expectedFrames += "@07" + commands[i] + "\r";
  }
  line.transport->Close(handle);
  // Every byte sent was read: the last exchange ended at the stream's last CR.
  Check(matched && line.read == line.stream.size());
  // Frames are read only once the exchanges are over; the line holds them.
  Check(DrainFrames(line.controller) == expectedFrames);
  return 0;
}
