// The three dialog forms shown on top of the main window: DINPUT (a text or
// a PASS/FAIL judgement from the operator), PASSFAIL (the verdict, with the
// verification log and "Try Again"), and SPMSGBOX (the program's own
// message box). Each opens modally and returns when it has unloaded itself;
// its results are in the shared values below.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/contract/gui.h"

namespace app {

inline constexpr const char* kInputForm = "DINPUT";
inline constexpr const char* kPassFailForm = "PASSFAIL";
inline constexpr const char* kMessageForm = "SPMSGBOX";

// The controls of each dialog, named once; nothing else uses their numbers.
namespace tinput {
inline constexpr int kIcon = 100;
inline constexpr int kPass = 105;    // PASS/FAIL mode
inline constexpr int kFail = 110;    // PASS/FAIL mode
inline constexpr int kAnswer = 115;  // the text box, otherwise
inline constexpr int kPrompt = 120;
inline constexpr int kFrame = 125;
inline constexpr int kBorder = 130;
}  // namespace tinput
namespace tpassfail {
inline constexpr int kOk = 100;
inline constexpr int kVerifyLog = 105;
inline constexpr int kVerdict = 110;  // "Pass" or "Fail"
inline constexpr int kMessage = 115;
inline constexpr int kName = 120;
inline constexpr int kTryAgain = 125;
inline constexpr int kBorder = 130;
}  // namespace tpassfail
namespace tmessage {
inline constexpr int kOk = 100;
inline constexpr int kText = 105;
inline constexpr int kBorder = 110;
inline constexpr int kCaption = 120;
}  // namespace tmessage

ui::FormSpec InputFormSpec(int dotsPerInch);
ui::FormSpec PassFailFormSpec(int dotsPerInch);
ui::FormSpec MessageFormSpec(int dotsPerInch);

// The values the dialogs share with their callers.
struct DialogValues {
  std::string InputPrompt;
  bool PromptPrefix = false;  // "Enter: " + prompt
  bool PassFailMode = false;  // Pass and Fail buttons instead of the text box
  std::string InputResult;
  std::array<int, 3> MessageBoxColourOverrides = {-1, -1, -1};
  bool FunctionKeyDisplay = false;
  // PASSFAIL
  std::string VerifyLog;
  std::int32_t FailCount = 0;
  std::string PassFailMessage;
  bool VerifyRetry = false;
  // SPMSGBOX
  std::string MessageText;
  std::string MessageCaption;
  std::string MessageButton;
  int MessageFontSlot = 21;
};

// What the dialogs need of the station around them.
class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // ESC in a dialog: the script's loop ends and its ESC keywords act.
  virtual void OnDialogEscape() = 0;
  // Before a dialog opens and waits for the operator: the display is shown
  // up to date first.
  virtual void BeforeDialog() = 0;
  // A caption with an identifier ("OK//20") in the chosen language.
  virtual std::string TranslateCaption(const std::string& caption) const = 0;
};

// Headless operation: the operator's answers to the dialogs, from another
// source than a window (a file, standard input, a test).
class OperatorAnswers {
 public:
  virtual ~OperatorAnswers() = default;
  // Asked once a dialog has loaded, with the text the dialog shows; returns
  // the operator's answer line (a text, PASS, FAIL, OK, RETRY or ESC), or
  // nothing at the end of the input (taken as ESC). An SPMSGBOX needs no
  // answer: it is shown and closed.
  virtual std::optional<std::string> Answer(const std::string& form, const std::string& shown) = 0;
};

class Dialogs {
 public:
  Dialogs(ui::Gui& gui, DialogHost& host) : gui_(gui), host_(host) {}

  // The screen's density the forms are built for (fonts in pixels).
  void SetDotsPerInch(int dotsPerInch) { dotsPerInch_ = dotsPerInch; }
  // Where the answers come from when no operator sits at a window; nullptr
  // (the default): the operator's own keys and clicks.
  void SetOperatorAnswers(OperatorAnswers* answers) { answers_ = answers; }

  DialogValues& Values() { return values_; }
  const DialogValues& Values() const { return values_; }

  // DINPUT: returns the answer ("" after ESC).
  std::string AskInput(const std::string& prompt, bool enterPrefix, bool passFail);
  // PASSFAIL: true when the operator chose "Try Again".
  bool ShowPassFail(const std::string& message, const std::string& verifyLog, int failCount);
  // SPMSGBOX.
  void ShowMessageBox(const std::string& text, const std::string& caption,
                      const std::string& button, int fontSlot);

  // The run is being stopped from outside (a signal): the dialog open now
  // closes as by ESC, and a dialog asked from now on is not shown and
  // answers ESC at once, since nobody is there to answer it.
  void EndWithEscape();

  // Handles the events of the three forms; false for any other form.
  bool OnEvent(const ui::Event& event, ui::EventReply& reply);

  // The text a dialog shows, as written for an operator at a console.
  std::string ShownText(const std::string& form) const;

 private:
  void OnInputEvent(const ui::Event& event);
  void OnPassFailEvent(const ui::Event& event);
  void OnMessageEvent(const ui::Event& event, ui::EventReply& reply);
  void Show(const ui::FormSpec& form);
  void Escape();
  void AnswerFromOperator(const std::string& form);
  void CloseInput();

  ui::Gui& gui_;
  DialogHost& host_;
  OperatorAnswers* answers_ = nullptr;
  int dotsPerInch_ = ui::kReferenceDotsPerInch;
  DialogValues values_;
  bool ending_ = false;
};

}  // namespace app
