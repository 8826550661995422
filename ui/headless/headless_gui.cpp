#include "ui/headless/headless_gui.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace ui::headless {
namespace {

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

HeadlessGui::HeadlessGui(Time time) : clock_(time) {}

// ---------------------------------------------------------------------------
// The operator

void HeadlessGui::Queue(Queued queued) {
  queue_.push_back(std::move(queued));
}

void HeadlessGui::Inject(const Event& event) {
  Queue({event});
}

void HeadlessGui::Click(const ControlRef& control) {
  Queue({{control.form, control.number, event::kClick, 0}, Action::Click});
}

void HeadlessGui::PressKey(const std::string& form, int keyCode, bool control, bool shift,
                           bool alt) {
  Queue({{form, 0, event::kKey, keyCode}, Action::Key, control, shift, alt});
}

void HeadlessGui::Pick(const ControlRef& control, int index) {
  Queue({{control.form, control.number, event::kSelectionChange, index}, Action::Pick});
}

void HeadlessGui::ChooseDisplayOptions(const ControlRef& control, const DisplayOptions& options) {
  Queued q{{control.form, control.number, event::kDisplayOptions, 0}, Action::Options};
  q.options = options;
  Queue(std::move(q));
}

void HeadlessGui::RequestClose(const std::string& form) {
  Queue({{form, 0, event::kCloseRequest, 0}, Action::Click});
}

bool HeadlessGui::TakesOperatorInput(const std::string& form) const {
  for (auto it = modal_.rbegin(); it != modal_.rend(); ++it) {
    if (FormLoaded(*it)) return *it == form;
  }
  return true;
}

bool HeadlessGui::Perform(Queued& q) {
  Event& e = q.event;
  if (q.action == Action::None) return true;
  if (!TakesOperatorInput(e.form)) return false;
  Form* form = FindForm(e.form);
  if (!form) return false;
  if (q.action == Action::Key) {
    for (const Accelerator& a : form->accelerators) {
      if (a.keyCode == e.value && a.control == q.control && a.shift == q.shift && a.alt == q.alt) {
        e = {e.form, a.id, event::kClick, 0};
        return true;
      }
    }
    const Control* focused = focus_.form == e.form ? Find({e.form, focus_.number}) : nullptr;
    if (!focused) return false;
    const bool enterOrEsc = e.value == key::kEnter || e.value == key::kEscape;
    const bool upOrDown = (e.value == key::kUp || e.value == key::kDown) &&
                          focused->spec.kind == ControlKind::TextBox &&
                          !focused->spec.style.multiLine && focused->spec.focusEvents;
    e.control = focus_.number;
    return enterOrEsc || upOrDown;
  }
  if (e.control == 0) return true;  // the form's own close button
  Control* c = Find({e.form, e.control});
  if (!c) return q.action == Action::Click;  // an accelerator's id
  if (!c->visible || !c->enabled) return false;
  if (q.action == Action::Options) {
    // Only a box that offers the options has them in its menu.
    if (!c->offersOptions) return false;
    c->displayOptions = q.options;
    return true;
  }
  if (q.action == Action::Pick) {
    if (e.value < 0 || static_cast<std::size_t>(e.value) >= c->items.size()) return false;
    c->selected = e.value;
    e.value = 0;
    return true;
  }
  if (c->spec.kind == ControlKind::CheckBox) c->checked = !c->checked;
  return true;
}

// ---------------------------------------------------------------------------
// What the application did

RecordingCanvas HeadlessGui::Paint(const ControlRef& control, const DrawState& state, int item) {
  RecordingCanvas canvas;
  const Form* f = FindForm(control.form);
  const Control* c = Find(control);
  if (!f || !c || !sink_) return canvas;
  DrawRequest request;
  request.form = control.form;
  request.control = control.number;
  const PixelRect place = ControlPixels(*f, *c);
  request.area = {0, 0, place.width, place.height};
  request.state = state;
  request.state.enabled = c->enabled;
  request.item = item;
  request.text = Text(control);
  request.textColour = c->textColour;
  request.backColour = c->backColour;
  if (c->spec.kind == ControlKind::ComboBox) {
    const int height = Ask({control.form, control.number, event::kOwnerSize, 0}).itemHeight;
    if (height > 0) request.area.height = height;
    request.itemText = item < 0 ? request.text
                       : static_cast<std::size_t>(item) < c->items.size()
                           ? c->items[static_cast<std::size_t>(item)]
                           : std::string();
  }
  sink_->OnDraw(request, canvas);
  return canvas;
}

EventReply HeadlessGui::Ask(const Event& event) {
  EventReply reply;
  if (sink_) sink_->OnEvent(event, reply);
  return reply;
}

bool HeadlessGui::TimerRunning(const std::string& form, int timer) const {
  return clock_.Running(form, timer);
}

// ---------------------------------------------------------------------------
// Forms and focus

void HeadlessGui::LoadForm(const FormSpec& spec) {
  AddForm(spec);
  const std::string name = spec.name;
  for (const ControlSpec& c : spec.controls) {
    if (c.wantsLoading && FormLoaded(name)) Dispatch({name, c.id, event::kLoading, 0});
  }
  for (const ControlSpec& c : spec.controls) {
    if (FormLoaded(name)) Dispatch({name, c.id, event::kLoaded, 0});
  }
  if (FormLoaded(name)) Dispatch({name, 0, event::kLoaded, 0});
  if (FormLoaded(name)) Dispatch({name, 0, event::kStarted, 0});
}

void HeadlessGui::ShowModal(const FormSpec& spec) {
  modal_.push_back(spec.name);
  LoadForm(spec);
  while (FormLoaded(spec.name) && !quit_) {
    if (ProcessOne()) continue;
    if (FireDueTimers()) continue;
    if (!WaitForWork()) break;  // nothing can ever close it: give up rather than hang
  }
  if (FormLoaded(spec.name)) UnloadForm(spec.name);
  modal_.pop_back();
}

void HeadlessGui::UnloadForm(const std::string& form) {
  RemoveForm(form);
  clock_.StopAll(form);
  // Input and posted events of the form die with it: a form loaded again
  // under the same name must not receive them.
  std::erase_if(queue_, [&form](const Queued& q) { return q.event.form == form; });
}

void HeadlessGui::SetFocus(const ControlRef& control) {
  if (!FindForm(control.form) || focus_ == control) return;
  // Focus events come from the loop, like every other event.
  const Control* old = Find(focus_);
  if (old && old->spec.focusEvents) Queue({{focus_.form, focus_.number, event::kFocusLost, 0}});
  focus_ = control;
  const Control* now = Find(control);
  if (now && now->spec.focusEvents) Queue({{control.form, control.number, event::kFocusGained, 0}});
}

// ---------------------------------------------------------------------------
// Events, timers and time

void HeadlessGui::PostEvent(const ControlRef& control, event::Code code, int value) {
  Inject({control.form, control.number, code, value});
}

void HeadlessGui::StartTimer(const std::string& form, int timer, double seconds) {
  clock_.Start(form, timer, seconds);
}

void HeadlessGui::StopTimer(const std::string& form, int timer) {
  clock_.Stop(form, timer);
}

void HeadlessGui::Dispatch(const Event& e) {
  EventReply reply;
  if (sink_) sink_->OnEvent(e, reply);
  if (e.code == event::kCloseRequest && e.control == 0 && !reply.refuse && FormLoaded(e.form)) {
    UnloadForm(e.form);
  }
}

bool HeadlessGui::ProcessOne() {
  if (queue_.empty()) return false;
  Queued q = std::move(queue_.front());
  queue_.pop_front();
  const bool known = q.event.form == kApplicationForm || FormLoaded(q.event.form);
  if (known && Perform(q)) Dispatch(q.event);
  return true;
}

bool HeadlessGui::FireDueTimers() {
  bool fired = false;
  for (const auto& [form, timer] : clock_.TakeDue()) {
    // A tick handler may have stopped a timer that was due with it.
    if (!clock_.Running(form, timer)) continue;
    fired = true;
    Dispatch({form, timer, event::kTimerTick, 0});
  }
  return fired;
}

bool HeadlessGui::WaitForWork() {
  if (onIdle && onIdle()) return true;
  // Real time wakes often enough for the idle hook (operator input,
  // signals) to be noticed promptly.
  return clock_.WaitForNextTimer(static_cast<bool>(onIdle));
}

void HeadlessGui::DoEvents() {
  // Only what is pending now: events queued by the handlers run next time.
  const std::size_t pending = queue_.size();
  for (std::size_t i = 0; i < pending && !queue_.empty(); ++i) ProcessOne();
  FireDueTimers();
  if (onIdle) onIdle();
}

double HeadlessGui::Now() {
  return clock_.Now();
}

void HeadlessGui::Delay(double seconds) {
  clock_.Delay(seconds);
}

int HeadlessGui::Run() {
  while (AnyForm() && !quit_) {
    if (ProcessOne()) continue;
    if (FireDueTimers()) continue;
    if (!WaitForWork()) break;
  }
  Dispatch({kApplicationForm, 0, event::kApplicationEnd, 0});
  return status_;
}

void HeadlessGui::Quit(int status) {
  quit_ = true;
  status_ = status;
}

// ---------------------------------------------------------------------------
// Dialogs and help

MessageBoxAnswer HeadlessGui::MessageBox(const MessageBoxRequest& request) {
  return messageBoxResponder ? messageBoxResponder(request) : MessageBoxAnswer::Accepted;
}

std::string HeadlessGui::FileDialog(const FileDialogRequest& request) {
  return fileDialogResponder ? fileDialogResponder(request) : std::string();
}

bool HeadlessGui::OpenWithDesktop(const std::string& path) {
  openedWithDesktop.push_back(path);
  if (onOpen) onOpen(path);
  return IsRegularFile(path);
}

bool HeadlessGui::ShowHelpWindow(const std::string&, const std::string& index) {
  helpWindows.push_back(index);
  if (onOpen) onOpen(index);
  return IsRegularFile(index);
}

void HeadlessGui::OpenPlotWindow(std::shared_ptr<const PlotData> data) {
  plotWindow = std::move(data);
  ++plotWindowOpened;
}

}  // namespace ui::headless
