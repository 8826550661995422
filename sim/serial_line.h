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

  // Takes bytes as they come off the wire and returns what the line sends
  // back: for every completed frame addressed to one of its controllers, the
  // reply followed by CR. Bytes outside a frame are ignored, and an "@"
  // always starts a new frame (so a line resynchronises after noise).
  std::string Feed(std::string_view bytes);

 private:
  std::map<std::string, std::unique_ptr<Controller>> controllers_;
  bool inFrame_ = false;
  bool overlong_ = false;
  std::string frame_;
};

}  // namespace sim
