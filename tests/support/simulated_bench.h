// A data folder whose COMM_Ports.cfg names two controllers (01 and 02) of
// one halvorn-sim with instant moves, and the real halvorn-terminal on it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/child_process.h"

namespace testing_support {

struct SimulatedBench : Simulator {
  SimulatedBench() : Simulator({"--address", "01", "--address", "02", "--instant"}) {
    platform::DataFolders(folder.Path()).EnsureDataFolders();
    EXPECT_NE(port, "") << "halvorn-sim did not start";
    EXPECT_TRUE(platform::WriteFileAtomic(
        folder / "AppConfig/COMM_Ports.cfg",
        "Axis 01 {" + link + ":115200}\r\nAxis 02 {" + link + ":115200}\r\n"));
  }
  // halvorn-terminal --headless on this data folder, with `args`.
  std::vector<std::string> Terminal(std::vector<std::string> args) {
    return testing_support::Terminal(folder.Path(), std::move(args));
  }
  // The motion bits of controller 01's MST (accelerating, decelerating,
  // constant speed, jogging); -1 when there was no reply.
  int MotionBits() {
    auto r = RunProcess(Terminal({"--exec", "MST"}));
    const std::size_t at = r.out.find("Reply: ");
    return at == std::string::npos ? -1 : std::atoi(r.out.c_str() + at + 7) & 15;
  }
};

}  // namespace testing_support
