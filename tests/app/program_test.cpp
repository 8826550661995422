// The program's own entry point, run as `halvorn-terminal --headless ...`
// would run it, with fake links registered by the test.
#include "app/program.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "support/fake_transport.h"
#include "support/test_folder.h"

namespace {

using testing_support::FakeTransport;

struct ProgramRun {
  testing_support::TestFolder folder;
  std::shared_ptr<FakeTransport> hid = std::make_shared<FakeTransport>();
  std::shared_ptr<FakeTransport> serial = std::make_shared<FakeTransport>();
  std::istringstream in;
  std::ostringstream out, err;
  int code = -1;

  ProgramRun() {
    hid->entries = {"Board A"};
    serial->entries = {"Axis 01 {COM1:9600}", "Axis 02 {COM1:9600}"};
    serial->answer = [](const std::string& c) {
      if (c == "ID") return std::string("SIM-1");
      if (c == "PX") return std::string("1000");
      return std::string("OK");
    };
  }
  int operator()(std::vector<std::string> args, const std::string& input = "") {
    in.str(input);
    args.insert(args.begin(), {"--headless", "--data-root", folder.Path()});
    app::ProgramIo io{in, out, err, -1};
    code =
        app::RunProgram(args, io, [this](devices::DeviceRegistry& r, const platform::DataFolders&) {
          r.SetTransport(devices::LinkKind::Hid, hid);
          r.SetTransport(devices::LinkKind::Serial, serial);
        });
    return code;
  }
};

TEST(Program, ListDevicesPrintsOneEntryPerLine) {
  ProgramRun run;
  EXPECT_EQ(run({"--list-devices"}), 0);
  EXPECT_EQ(run.out.str(), "Board A\nAxis 01 {COM1:9600}\nAxis 02 {COM1:9600}\n");
}

TEST(Program, ExecRunsTheLineOnTheChosenDeviceAndPrintsEveryEntry) {
  ProgramRun run;
  EXPECT_EQ(run({"--device", "2", "--exec", "LSPD=500,ID,PX"}), 0);
  EXPECT_EQ(run.serial->sent, (std::vector<std::string>{"LSPD=500", "ID", "PX"}));
  EXPECT_EQ(run.serial->opened, (std::vector<std::string>{"Axis 02 {COM1:9600}"}));
  const std::string out = run.out.str();
  EXPECT_EQ(out.rfind(" >> LSPD=500\r\n      Reply: OK (", 0), 0u) << out;
  EXPECT_NE(out.find(" >> ID\r\n      Reply: SIM-1 ("), std::string::npos) << out;
  EXPECT_NE(out.find(" >> PX\r\n      Reply: 1000 ("), std::string::npos) << out;
  // Three entries of two lines each, CR LF everywhere.
  std::size_t lines = 0;
  for (std::size_t p = out.find("\r\n"); p != std::string::npos; p = out.find("\r\n", p + 2))
    ++lines;
  EXPECT_EQ(lines, 6u);
  EXPECT_TRUE(run.hid->sent.empty());
}

TEST(Program, ExecExitsThreeWhenTheDeviceIsNotAvailable) {
  ProgramRun run;
  run.hid->openSucceeds = false;
  EXPECT_EQ(run({"--exec", "PX"}), 3);
  EXPECT_NE(run.err.str().find("Device Not Available!"), std::string::npos);
  EXPECT_NE(run.err.str().find("Board A"), std::string::npos);
  ProgramRun none;
  EXPECT_EQ(none({"--device", "9", "--exec", "PX"}), 3);
}

TEST(Program, UsageErrorsExitTwo) {
  ProgramRun run;
  EXPECT_EQ(run({"--exec"}), 2);
  EXPECT_NE(run.err.str().find("usage:"), std::string::npos);
  ProgramRun other;
  EXPECT_EQ(other({"--bogus"}), 2);
}

TEST(Program, TheLineTerminalRunsEveryInputLine) {
  ProgramRun run;
  EXPECT_EQ(run({"--device", "1"}, "LSPD=500\r\nID\n\nPX"), 0);
  EXPECT_EQ(run.serial->sent, (std::vector<std::string>{"LSPD=500", "ID", "PX"}));
  EXPECT_EQ(run.serial->opens, 3);  // one link per line
  EXPECT_EQ(run.serial->closes, 3);
  EXPECT_NE(run.out.str().find("Reply: 1000"), std::string::npos);
}

}  // namespace
