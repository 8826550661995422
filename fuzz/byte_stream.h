// A byte stream as a fuzz input makes it: literal pieces and runs of one
// byte ("this byte, n times"), so that short inputs make long streams.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <string>

// Fills `stream` (its room kept from run to run: fresh memory for each long
// stream would cost more than a run) with at most `maxStream` bytes, runs of
// at most `longestRun`.
inline void MakeByteStream(FuzzedDataProvider& data, std::string& stream, std::size_t maxStream,
                           std::size_t longestRun) {
  stream.clear();
  while (data.remaining_bytes() > 0 && stream.size() < maxStream) {
    if (data.ConsumeBool()) {
      stream += data.ConsumeRandomLengthString(64);
    } else {
      const char byte = data.ConsumeIntegral<char>();
      stream.append(data.ConsumeIntegralInRange<std::size_t>(0, longestRun), byte);
    }
  }
  stream.resize(std::min(stream.size(), maxStream));
}
