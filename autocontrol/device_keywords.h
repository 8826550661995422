// The keywords of a script that reach a device or another program:
// [RUNPROGn] runs a program file on the selected device, [CMDREPLYn] keeps a
// command's reply in R1..R9, [CMDVERIFY] checks replies against expected
// values (with "Try Again"), [SHELLAPP] starts a program of the machine.
// Part of the interpreter (autocontrol::Script), which owns the state they
// use; a family of their own so the interpreter stays readable.
#pragma once

#include <string>

#include "autocontrol/script_file.h"

namespace autocontrol {

class Script;
enum class StepResult;

class DeviceKeywords {
 public:
  explicit DeviceKeywords(Script& script) : script_(script) {}

  StepResult RunProgram(int digit, const std::string& argument);
  StepResult ShellApp(const std::string& argument);
  StepResult CmdReply(int n, const std::string& argument);
  StepResult CmdVerify(const std::string& argument);

 private:
  Script& script_;
};

}  // namespace autocontrol
