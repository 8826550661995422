// The answers reader of headless runs: any bytes as the answers, read both
// ways the program reads them. An answers file is read whole and taken
// line by line from memory; standard input or a pipe is read as it comes,
// here through a pipe that receives the bytes in chunks of the sizes the
// input chose while the reader waits. Both must give the same lines: the
// text cut at every LF, one CR before it dropped, and a last line without
// LF kept when it holds anything. A line never comes before its LF has
// arrived, and the end of the input is seen once every line has been read.
//
// Short inputs make long lines through runs ("this byte, n times"), so lines
// longer than one read of the pipe, and than several, are common.
#include <fcntl.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/headless_driver.h"
#include "fuzz/byte_stream.h"

namespace {

// The reader reads a pipe in pieces of 64 KiB; a stream holds lines that
// span two of them and more (larger streams only cost the allocator more).
constexpr std::size_t kPiece = 65536;
constexpr std::size_t kMaxStream = 2 * kPiece + 4096;
// ... and at most this many LFs: every call of the reader costs the address
// sanitizer the bookkeeping of its 64 KiB read buffer, and a run of 60,000
// LFs took a good part of a second without reaching anything 1,024 do not.
constexpr std::size_t kMaxLines = 1024;
// Chunks are made at least stream / kMaxChunks long, so a long stream is not
// fed a byte at a time.
constexpr std::size_t kMaxChunks = 128;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The answers as the input makes them: literal pieces and runs of one byte.
void Stream(FuzzedDataProvider& data, std::string& stream) {
  MakeByteStream(data, stream, kMaxStream, kPiece + 16);
  std::size_t lines = 0;
  for (std::size_t lf = stream.find('\n'); lf != std::string::npos;
       lf = stream.find('\n', lf + 1)) {
    if (++lines == kMaxLines) stream.resize(lf + 1);
  }
}

// The lines of a text by the rule above, one after the other.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}
  bool Next(std::string_view& line) {
    if (rest_.empty()) return false;
    const std::size_t lf = rest_.find('\n');
    line = rest_.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    rest_.remove_prefix(lf == std::string_view::npos ? rest_.size() : lf + 1);
    return true;
  }

 private:
  std::string_view rest_;
};

struct Buffers {
  std::string stream;
  std::istringstream file;
  std::ostringstream out;
  Buffers() { stream.reserve(kMaxStream + kPiece + 16 + 64); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  // Kept from run to run: fresh memory for each long stream would cost more
  // than reading it.
  static Buffers buffers;
  FuzzedDataProvider data(bytes, size);
  std::vector<std::size_t> chunks;
  for (int i = 0; i < 4; ++i) chunks.push_back(data.ConsumeIntegralInRange<std::size_t>(1, 70000));
  std::string& stream = buffers.stream;
  Stream(data, stream);

  // An answers file: read whole, then line by line from memory.
  buffers.file.clear();
  buffers.file.str(stream);
  app::ProgramIo fileIo{buffers.file, buffers.out, buffers.out, -1};
  app::LineReader fromFile(fileIo);
  std::string line;
  std::string_view want;
  for (Lines expected(stream); expected.Next(want);) {
    Check(!fromFile.AtEnd() && fromFile.Next(line, 0) && line == want);
  }
  Check(!fromFile.Next(line, 0) && fromFile.AtEnd());

  // A pipe: each chunk is written when the reader has taken every line it
  // could; the reader must then wait (time out) for more.
  int pipe[2];
  Check(::pipe2(pipe, O_CLOEXEC) == 0);
  Check(::fcntl(pipe[1], F_SETFL, O_NONBLOCK) == 0);
  app::ProgramIo pipeIo{buffers.file, buffers.out, buffers.out, pipe[0]};
  app::LineReader fromPipe(pipeIo);
  Lines expected(stream);
  const std::size_t minChunk = (stream.size() + kMaxChunks - 1) / kMaxChunks;
  std::size_t taken = 0;     // lines read
  std::size_t complete = 0;  // lines whose LF has been written
  std::size_t sent = 0;      // bytes written
  for (std::size_t c = 0; sent < stream.size(); ++c) {
    const std::size_t chunk =
        std::min(std::max(chunks[c % chunks.size()], minChunk), stream.size() - sent);
    // The pipe is empty here; when the chunk is larger than the pipe holds,
    // the rest goes with the next one.
    const ssize_t n = ::write(pipe[1], stream.data() + sent, chunk);
    Check(n > 0);
    const std::size_t end = sent + static_cast<std::size_t>(n);
    for (std::size_t lf = stream.find('\n', sent); lf < end; lf = stream.find('\n', lf + 1)) {
      ++complete;
    }
    sent = end;
    while (fromPipe.Next(line, 0)) {
      Check(taken < complete && expected.Next(want) && line == want);
      ++taken;
    }
    Check(taken == complete && !fromPipe.AtEnd());
  }
  ::close(pipe[1]);
  // The end can reach the reader a moment after close() (when another task
  // holds the pipe just then): a wait without a line is no end, AtEnd() is.
  for (int waits = 0; !fromPipe.AtEnd();) {
    if (fromPipe.Next(line, 0.01)) {
      Check(expected.Next(want) && line == want);
    } else {
      Check(++waits < 1000);
    }
  }
  Check(!expected.Next(want) && !fromPipe.Next(line, 0));
  ::close(pipe[0]);
  return 0;
}
