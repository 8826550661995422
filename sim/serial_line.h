// The controllers on one serial line: they share the wire, read every frame
// "@" + two-character address + command + CR, and only the controller whose
// address the frame carries answers, with its reply and CR.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "sim/controller.h"

namespace sim {

class SerialLine {
 public:
  // A frame longer than this is line noise: it is dropped unanswered.
  static constexpr std::size_t kMaxFrameBytes = 4096;

  // Puts a controller on the line at `address` (two characters), replacing
  // any controller that had it. Returns the controller.
  Controller& AddController(const std::string& address, Controller::Options options);

  // The controller at `address`, or null.
  Controller* Find(const std::string& address);

  // The frame being read from one stream of bytes. Each way onto the line
  // (the port, a network client) has its own, so their bytes never mix.
  struct Reader {
    bool inFrame = false;
    bool overlong = false;
    std::string frame;
  };

  // Takes bytes as they come off the wire and returns what the line sends
  // back: for every completed frame addressed to one of its controllers, the
  // reply followed by CR. Bytes outside a frame are ignored, and an "@"
  // always starts a new frame (so a line resynchronises after noise).
  std::string Feed(std::string_view bytes) { return Feed(bytes, reader_); }
  std::string Feed(std::string_view bytes, Reader& reader);

 private:
  std::map<std::string, std::unique_ptr<Controller>> controllers_;
  Reader reader_;
};

}  // namespace sim
