#include "screens/dialogs.h"

#include <utility>

#include "platform/text.h"
#include "screens/form_table.h"
#include "screens/main_form.h"
#include "screens/placement.h"
#include "ui/look/form_codes.h"

namespace app {
namespace {

using ui::ControlKind;
namespace event = ui::event;

constexpr int kEnter = ui::key::kEnter;
constexpr int kEsc = ui::key::kEscape;

// The three dialogs share their frame: 57 by 18.5 units over the main
// window, every control filled while it loads, owner-drawn buttons with
// rounded corners and owner-drawn labels with a rounded region.
ui::FormSpec DialogForm(const char* name, const char* style, int colour,
                        const std::vector<ControlRow>& rows, int dotsPerInch) {
  const FormRow row{name, "", 0, 0, 57, 18.5, style, colour, colour, kMainForm};
  ui::FormSpec form = BuildForm(row, rows, dotsPerInch);
  for (ui::ControlSpec& c : form.controls) {
    c.wantsLoading = true;
    if (c.ownerDrawn) c.region = ui::look::ParseRegion(c.kind == ControlKind::Button ? -2 : 2);
  }
  return form;
}

}  // namespace

ui::FormSpec InputFormSpec(int dotsPerInch) {
  using K = ControlKind;
  return DialogForm(
      kInputForm, "CMR", 41,
      {
          {tinput::kIcon, K::Icon, "#?Icon", 2.5, 10.125, 4, 2, -1, -1, FontSlot(4), "", ""},
          {tinput::kPass, K::Button, "Pass", 31.5, 9.8125, 22.375, 2.75, 10, 10, FontSlot(9), "",
           "DHT", true, true},
          {tinput::kFail, K::Button, "Fail", 9.5, 9.8125, 14, 2.75, 20, 20, FontSlot(9), "", "DHT",
           true, true},
          {tinput::kAnswer, K::TextBox, "", 7.25, 10.4375, 47.125, 1.5, -1, -1, FontSlot(7), "",
           "EST"},
          {tinput::kPrompt, K::Label, "", 2.875, 5.75, 51, 3.5, 14, 37, FontFace("Arial", 18, "BV"),
           "", "^C"},
          {tinput::kFrame, K::Shape, "", 1.5, 4.875, 54, 8.25, -1, -1, FontSlot(4), "", "2["},
          {tinput::kBorder, K::Shape, "", 0, 0, 57, 18.5, 15, 15, FontSlot(4), "", "4I["},
      },
      dotsPerInch);
}

ui::FormSpec PassFailFormSpec(int dotsPerInch) {
  using K = ControlKind;
  return DialogForm(
      kPassFailForm, "CMR", 26,
      {
          {tpassfail::kOk, K::Button, "OK", 33.75, 14.5625, 22.25, 3, 23, 23,
           FontFace("Tahoma", 16, "BV"), "", "T", true},
          {tpassfail::kVerifyLog, K::TextBox, "", 1, 0.5, 55, 13, 9, 15,
           FontFace("Arial", 12, "BV"), "", "BHMSV", false, true},
          {tpassfail::kVerdict, K::Label, "Pass", 2.5, 4.5, 52, 8.75, -1, -1,
           FontFace("Tahoma", 72, "L+V"), "", "^CI"},
          {tpassfail::kMessage, K::Label, "test", 1.5, 2.25, 45, 2.25, -1, -1,
           FontFace("Tahoma", 12, "BV"), "", "^CI"},
          {tpassfail::kName, K::Label, "Name", 2, 0.75, 40.5, 1.5, 15, 15,
           FontFace("Tahoma", 12, "IBV"), "", "IL"},
          {tpassfail::kTryAgain, K::Button, "Try Again", 1, 14.5625, 16.5, 3, 43, 43,
           FontFace("Tahoma", 14, "L+V"), "", "HT", true, true},
          {tpassfail::kBorder, K::Shape, "", 0, 0, 57, 18.5, 15, 15, FontSlot(4), "", "4I["},
      },
      dotsPerInch);
}

ui::FormSpec MessageFormSpec(int dotsPerInch) {
  using K = ControlKind;
  ui::FormSpec form = DialogForm(
      kMessageForm, "CFMR", 41,
      {
          {tmessage::kOk, K::Button, "OK//20", 40.5, 13.75, 15.5, 3.5, 25, 25, FontSlot(6),
           "FR,FB,H-2", "T", true},
          {tmessage::kText, K::TextBox, "", 1, 0.5, 55, 11.875, 15, 15, FontSlot(6), "FL,FR,FT,FB",
           "BMSV"},
          {tmessage::kBorder, K::Shape, "", 0, 0, 57, 18.5, 15, 15, FontSlot(4), "", "4I["},
          {tmessage::kCaption, K::Label, "", 1, 13.25, 37.75, 4.5, 15, 37, FontSlot(7), "FL,FB,H2",
           "^CO", true},
      },
      dotsPerInch);
  // A reason longer than the box (a device's path, an error text) is
  // broken into lines and the box grows to show it whole; the border
  // follows the box's edges.
  for (ui::ControlSpec& c : form.controls) {
    c.style.wrap = c.id == tmessage::kText;
    if (c.id == tmessage::kBorder)
      c.resize = {ui::ResizeRule::Axis::Stretch, ui::ResizeRule::Axis::Stretch};
  }
  return form;
}

void Dialogs::Show(const ui::FormSpec& form) {
  if (ending_) {
    if (form.name != kMessageForm) Escape();
    return;
  }
  host_.BeforeDialog();
  gui_.ShowModal(form);
}

std::string Dialogs::AskInput(const std::string& prompt, bool enterPrefix, bool passFail) {
  values_.InputPrompt = prompt;
  values_.PromptPrefix = enterPrefix;
  values_.PassFailMode = passFail;
  values_.InputResult.clear();
  Show(InputFormSpec(dotsPerInch_));
  // Handed over rather than copied: an answer may be megabytes long.
  return std::exchange(values_.InputResult, std::string());
}

bool Dialogs::ShowPassFail(const std::string& message, const std::string& verifyLog,
                           int failCount) {
  values_.PassFailMessage = message;
  values_.VerifyLog = verifyLog;
  values_.FailCount = failCount;
  values_.VerifyRetry = false;
  Show(PassFailFormSpec(dotsPerInch_));
  return values_.VerifyRetry;
}

void Dialogs::ShowMessageBox(const std::string& text, const std::string& caption,
                             const std::string& button, int fontSlot) {
  values_.MessageText = text;
  values_.MessageCaption = caption;
  values_.MessageButton = button;
  values_.MessageFontSlot = fontSlot;
  Show(MessageFormSpec(dotsPerInch_));
}

void Dialogs::EndWithEscape() {
  ending_ = true;
  for (const char* form : {kInputForm, kPassFailForm, kMessageForm}) {
    if (gui_.FormLoaded(form)) gui_.PostEvent({form, 0}, event::kCloseRequest, 0);
  }
}

bool Dialogs::OnEvent(const ui::Event& e, ui::EventReply& reply) {
  if (e.form == kInputForm) {
    OnInputEvent(e);
  } else if (e.form == kPassFailForm) {
    OnPassFailEvent(e);
  } else if (e.form == kMessageForm) {
    OnMessageEvent(e, reply);
  } else {
    return false;
  }
  return true;
}

void Dialogs::Escape() {
  host_.OnDialogEscape();
}

void Dialogs::CloseInput() {
  gui_.PostEvent({kInputForm, 0}, event::kPosted, 0);
}

void Dialogs::OnInputEvent(const ui::Event& e) {
  const char* form = kInputForm;
  const bool passFail = values_.PassFailMode;
  if (e.control == 0) {
    if (e.code == event::kPosted) gui_.UnloadForm(form);
    // Closed by the window manager (the close button, Alt+F4) or by the end
    // of the session: no answer was given, so it is ESC, never an empty
    // serial number that lets the unit run on.
    if (e.code == event::kCloseRequest) {
      values_.InputResult.clear();
      Escape();
    }
    if (e.code == event::kLoaded) {
      if (passFail) {
        gui_.SetVisible({form, tinput::kAnswer}, false);
        gui_.SetEnabled({form, tinput::kAnswer}, false);
        gui_.SetVisible({form, tinput::kPass}, true);
        gui_.SetEnabled({form, tinput::kPass}, true);
        gui_.SetVisible({form, tinput::kFail}, true);
        gui_.SetEnabled({form, tinput::kFail}, true);
        gui_.SetFont({form, tinput::kPrompt}, ui::FontRef{9, {}});
      }
      PlaceDialog(gui_, form, kMainForm);
      AnswerFromOperator(form);
    }
    return;
  }
  if (e.code == event::kLoading && e.control == tinput::kPrompt) {
    gui_.SetText({form, tinput::kPrompt},
                 values_.PromptPrefix ? "Enter: " + values_.InputPrompt : values_.InputPrompt);
  }
  if (e.code == event::kLoading && e.control == tinput::kIcon && passFail)
    gui_.SetText({form, tinput::kIcon}, "#!Icon");
  const bool enter = e.code == event::kKey && e.value == kEnter;
  const bool esc = e.code == event::kKey && e.value == kEsc;
  if (e.control == tinput::kAnswer) {
    if (enter) {
      // Taken without a spare copy: an answer may be megabytes long.
      std::string answer = gui_.Text({form, tinput::kAnswer});
      std::erase_if(answer, [](char c) {
        return c == ',' || c == ';' || c == '\r' || c == '\n' || c == '\t';
      });
      values_.InputResult = std::move(answer);
      CloseInput();
    } else if (esc) {
      values_.InputResult.clear();
      Escape();
      CloseInput();
    }
  } else if (e.control == tinput::kPass || e.control == tinput::kFail) {
    if (e.code == event::kClick || enter) {
      values_.InputResult = e.control == tinput::kPass ? "PASS" : "FAIL";
      CloseInput();
    } else if (esc) {
      values_.InputResult.clear();
      Escape();
      CloseInput();
    }
  }
}

void Dialogs::OnPassFailEvent(const ui::Event& e) {
  const char* form = kPassFailForm;
  const std::string& message = values_.PassFailMessage;
  if (e.code == event::kLoading) {
    if (e.control == tpassfail::kVerdict && values_.FailCount > 0)
      gui_.SetText({form, tpassfail::kVerdict}, "Fail");
    // Without a message the form's own sample texts ("Name", "test") must
    // not show as if they were the unit's.
    if (e.control == tpassfail::kMessage && message.empty())
      gui_.SetText({form, tpassfail::kMessage}, "");
    if (e.control == tpassfail::kName && message.empty())
      gui_.SetText({form, tpassfail::kName}, "");
    if (e.control == tpassfail::kMessage && !message.empty()) {
      std::size_t brace = message.find('}');
      gui_.SetText({form, tpassfail::kMessage},
                   brace == std::string::npos ? message : message.substr(brace + 1));
    }
    if (e.control == tpassfail::kName && !message.empty()) {
      std::size_t brace = message.find('}');
      std::string name;
      if (brace != std::string::npos) {
        for (char c : message.substr(0, brace + 1)) {
          if (c != '{' && c != '}') name += c;
        }
        name = platform::TrimBlanks(name) + ":";
      }
      gui_.SetText({form, tpassfail::kName}, name);
    }
    return;
  }
  // The verdict's dialog closed by the window manager is ESC as well.
  if (e.control == 0 && e.code == event::kCloseRequest) Escape();
  if (e.control == 0 && e.code == event::kLoaded) {
    if (values_.VerifyLog.empty()) {
      if (values_.FailCount > 0) gui_.SetColours({form, 0}, 26, 12);
    } else {
      gui_.SetColours({form, 0}, 26, 25);
      gui_.SetText({form, tpassfail::kVerifyLog}, values_.VerifyLog);
      gui_.SetVisible({form, tpassfail::kVerifyLog}, true);
      gui_.SetVisible({form, tpassfail::kTryAgain}, true);
    }
    PlaceDialog(gui_, form, kMainForm);
    AnswerFromOperator(form);
    return;
  }
  const bool enter = e.code == event::kKey && e.value == kEnter;
  const bool esc = e.code == event::kKey && e.value == kEsc;
  if (e.control == tpassfail::kOk || e.control == tpassfail::kVerifyLog) {
    if ((e.code == event::kClick || enter) && e.control == tpassfail::kOk) gui_.UnloadForm(form);
    if (esc) {
      Escape();
      gui_.UnloadForm(form);
    }
  } else if (e.control == tpassfail::kTryAgain) {
    if (e.code == event::kClick || enter) {
      values_.VerifyRetry = true;
      gui_.UnloadForm(form);
    } else if (esc) {
      Escape();
      gui_.UnloadForm(form);
    }
  }
}

void Dialogs::OnMessageEvent(const ui::Event& e, ui::EventReply& reply) {
  const char* form = kMessageForm;
  const auto& overrides = values_.MessageBoxColourOverrides;
  if (e.control == 0 && e.code == event::kSecondCloseRequest) {
    reply.refuse = true;
    return;
  }
  if (e.control == 0 && e.code == event::kLoaded) {
    if (overrides[0] >= 0) gui_.SetColours({form, 0}, 41, overrides[0]);
    gui_.SetText({form, tmessage::kText}, values_.MessageText);
    gui_.SetFont({form, tmessage::kText}, ui::FontRef{values_.MessageFontSlot, {}});
    gui_.SetText({form, tmessage::kOk}, values_.MessageButton);
    gui_.SetText({form, tmessage::kCaption}, values_.MessageCaption);
    gui_.SetColours({form, tmessage::kCaption}, overrides[1] >= 0 ? overrides[1] : 15,
                    overrides[2] >= 0 ? overrides[2] : 37);
    PlaceDialog(gui_, form, kMainForm);
    if (values_.FunctionKeyDisplay) gui_.SetVisible({form, tmessage::kBorder}, false);
    if (answers_) {
      answers_->Answer(form, ShownText(form));
      gui_.PostEvent({form, tmessage::kOk}, event::kClick, 0);
    }
    return;
  }
  // Enter and ESC close it from wherever the focus is, as its one button
  // does: a box (or the function-key list) must not need the mouse.
  const bool key = e.code == event::kKey && (e.value == kEnter || e.value == kEsc);
  if ((e.control == tmessage::kOk && e.code == event::kClick) || key) gui_.UnloadForm(form);
}

std::string Dialogs::ShownText(const std::string& form) const {
  if (form == kInputForm) {
    std::string prompt =
        values_.PromptPrefix ? "Enter: " + values_.InputPrompt : values_.InputPrompt;
    return prompt + (values_.PassFailMode ? " [PASS/FAIL]" : "");
  }
  if (form == kPassFailForm) {
    std::string text = gui_.Text({form, tpassfail::kVerdict});
    std::string name = gui_.Text({form, tpassfail::kName});
    std::string message = gui_.Text({form, tpassfail::kMessage});
    if (!values_.PassFailMessage.empty())
      text += " - " + platform::TrimBlanks(name + " " + message);
    if (!values_.VerifyLog.empty()) text += "\n" + values_.VerifyLog + "[OK/RETRY]";
    return text;
  }
  return host_.TranslateCaption(values_.MessageCaption) + ": " + values_.MessageText;
}

void Dialogs::AnswerFromOperator(const std::string& form) {
  if (!answers_) return;
  std::optional<std::string> answer = answers_->Answer(form, ShownText(form));
  // Trimmed where it lies: an answer may be megabytes long, and is held once.
  std::string word = answer ? std::move(*answer) : std::string("ESC");
  const std::string_view kept = platform::TrimmedView(word);
  const std::size_t first = kept.empty() ? 0 : static_cast<std::size_t>(kept.data() - word.data());
  word.erase(first + kept.size());
  word.erase(0, first);
  // Only the short words of the dialogs need their letter case ignored.
  const std::string upper = word.size() <= 5 ? platform::ToUpper(word) : std::string();
  if (form == kInputForm) {
    if (upper == "ESC") {
      gui_.PostEvent({form, values_.PassFailMode ? tinput::kPass : tinput::kAnswer}, event::kKey,
                     kEsc);
    } else if (values_.PassFailMode) {
      // Anything but PASS or FAIL is asked again, as the dialog would wait.
      if (upper == "PASS" || upper == "FAIL") {
        gui_.PostEvent({form, upper == "PASS" ? tinput::kPass : tinput::kFail}, event::kClick, 0);
      } else {
        AnswerFromOperator(form);
      }
    } else {
      gui_.SetText({form, tinput::kAnswer}, word);
      gui_.PostEvent({form, tinput::kAnswer}, event::kKey, kEnter);
    }
  } else if (form == kPassFailForm) {
    if (upper == "ESC") {
      gui_.PostEvent({form, tpassfail::kOk}, event::kKey, kEsc);
    } else if (upper == "RETRY" && gui_.Visible({form, tpassfail::kTryAgain})) {
      gui_.PostEvent({form, tpassfail::kTryAgain}, event::kClick, 0);
    } else {
      gui_.PostEvent({form, tpassfail::kOk}, event::kClick, 0);
    }
  }
}

}  // namespace app
