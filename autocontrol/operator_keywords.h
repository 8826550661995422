// The keywords of a script that ask the operator: [VARINPUTn] keeps an
// answer in a variable, [USERINPUT] shows one, [USERCHECK] takes a PASS or
// FAIL verdict; and the pass/fail dialog that [PASSFAILMSG..],
// [LOOPONFAIL] and a failed [CMDVERIFY] show. Part of the interpreter
// (autocontrol::Script), which owns the state they use.
#pragma once

#include <string>
#include <string_view>

namespace autocontrol {

class Script;
enum class StepResult;

class OperatorKeywords {
 public:
  explicit OperatorKeywords(Script& script) : script_(script) {}

  StepResult VarInput(int n, const std::string& prompt);
  StepResult UserInput(const std::string& prompt);
  StepResult UserCheck(const std::string& question);
  // The pass/fail dialog on the fail count, the message and the
  // verification log; remembers whether the operator chose "Try Again".
  void ShowPassFail();
  // The same dialog as the verdict of `keyword`, told to the listeners.
  void Verdict(std::string_view keyword);

 private:
  Script& script_;
};

}  // namespace autocontrol
