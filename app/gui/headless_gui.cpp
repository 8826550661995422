#include "app/gui/headless_gui.h"

#include <chrono>
#include <limits>
#include <thread>

namespace app::gui {
namespace {

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const std::string kNoText;

}  // namespace

HeadlessGui::HeadlessGui(Time time) : time_(time), realStart_(SteadySeconds()) {}

void HeadlessGui::Inject(const Event& event) {
  queue_.push_back(event);
}

void HeadlessGui::Click(const std::string& form, int control) {
  Inject({form, control, event::kClick, 0});
}

void HeadlessGui::PressKey(const std::string& form, int control, int keyCode) {
  Inject({form, control, event::kKey, keyCode});
}

void HeadlessGui::RequestClose(const std::string& form) {
  Inject({form, 0, event::kCloseRequest, 0});
}

void HeadlessGui::AdvanceTime(double seconds) {
  if (time_ == Time::Virtual && seconds > 0) virtualNow_ += seconds;
  FireDueTimers();
}

const std::string& HeadlessGui::Accelerators(const std::string& form) const {
  auto it = forms_.find(form);
  return it == forms_.end() ? kNoText : it->second.accelerators;
}

void HeadlessGui::DefineFont(int, const std::string&, double, const std::string&) {}
void HeadlessGui::DefineColour(int, int, int, int) {}
void HeadlessGui::DefineSystemColour(int, int) {}

void HeadlessGui::DefineAccelerators(const std::string& form, const std::string& table) {
  auto it = forms_.find(form);
  if (it != forms_.end()) it->second.accelerators = table;
}

void HeadlessGui::SetFormLimits(const std::string&, double, double, double, double) {}

void HeadlessGui::LoadForm(const FormSpec& spec) {
  Form& form = forms_[spec.name];
  form = Form{};
  form.spec = spec;
  form.caption = spec.caption;
  form.textColour = spec.textColour;
  form.backColour = spec.backColour;
  for (const ControlSpec& c : spec.controls) {
    Control control;
    control.spec = c;
    control.visible = !c.hidden;
    control.textColour = c.textColour;
    control.backColour = c.backColour;
    if (c.kind == ControlKind::ComboBox) {
      std::size_t start = 0;
      if (!c.caption.empty()) {
        for (;;) {
          std::size_t bar = c.caption.find('|', start);
          control.items.push_back(
              c.caption.substr(start, bar == std::string::npos ? bar : bar - start));
          if (bar == std::string::npos) break;
          start = bar + 1;
        }
      }
      control.text = control.items.empty() ? std::string() : control.items.front();
      control.selected = control.items.empty() ? -1 : 0;
    } else {
      control.text = c.caption;
    }
    if (c.kind == ControlKind::RichText) control.rich = true;
    form.controls[c.id] = std::move(control);
  }
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
  LoadForm(spec);
  while (FormLoaded(spec.name) && !quit_) {
    if (ProcessOne()) continue;
    if (FireDueTimers()) continue;
    if (!WaitForWork()) break;  // nothing can ever close it: give up rather than hang
  }
  if (FormLoaded(spec.name)) UnloadForm(spec.name);
}

void HeadlessGui::UnloadForm(const std::string& form) {
  forms_.erase(form);
  for (auto it = timers_.begin(); it != timers_.end();) {
    it = it->first.first == form ? timers_.erase(it) : std::next(it);
  }
}

bool HeadlessGui::FormLoaded(const std::string& form) const {
  return forms_.count(form) != 0;
}

HeadlessGui::Control* HeadlessGui::Find(const std::string& form, int control) {
  auto f = forms_.find(form);
  if (f == forms_.end()) return nullptr;
  auto c = f->second.controls.find(control);
  return c == f->second.controls.end() ? nullptr : &c->second;
}

const HeadlessGui::Control* HeadlessGui::Find(const std::string& form, int control) const {
  return const_cast<HeadlessGui*>(this)->Find(form, control);
}

std::string HeadlessGui::Text(const std::string& form, int control) const {
  if (control == 0) {
    auto f = forms_.find(form);
    return f == forms_.end() ? std::string() : f->second.caption;
  }
  const Control* c = Find(form, control);
  return c ? c->text : std::string();
}

void HeadlessGui::SetText(const std::string& form, int control, const std::string& text) {
  if (control == 0) {
    auto f = forms_.find(form);
    if (f != forms_.end()) f->second.caption = text;
    return;
  }
  Control* c = Find(form, control);
  if (!c) return;
  c->text = (c->rich && c->limit && text.size() > c->limit) ? text.substr(0, c->limit) : text;
}

void HeadlessGui::AppendText(const std::string& form, int control, const std::string& text) {
  Control* c = Find(form, control);
  if (!c) return;
  std::string added = text;
  if (c->limit && c->text.size() + added.size() > c->limit) {
    added.resize(c->text.size() >= c->limit ? 0 : c->limit - c->text.size());
  }
  c->text += added;
  if (onAppend) onAppend(form, control, added);
}

std::size_t HeadlessGui::TextLength(const std::string& form, int control) const {
  return Text(form, control).size();
}

void HeadlessGui::MakeRichText(const std::string& form, int control, std::size_t limit) {
  Control* c = Find(form, control);
  if (!c) return;
  c->rich = true;
  c->limit = limit;
  c->text.clear();
}

void HeadlessGui::AddItems(const std::string& form, int control, const std::string& items) {
  Control* c = Find(form, control);
  if (!c) return;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = items.find('|', start);
    c->items.push_back(items.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
}

void HeadlessGui::ClearItems(const std::string& form, int control) {
  Control* c = Find(form, control);
  if (!c) return;
  c->items.clear();
  c->selected = -1;
  c->text.clear();
}

std::vector<std::string> HeadlessGui::Items(const std::string& form, int control) const {
  const Control* c = Find(form, control);
  return c ? c->items : std::vector<std::string>{};
}

void HeadlessGui::SelectItem(const std::string& form, int control, int index) {
  Control* c = Find(form, control);
  if (!c) return;
  // Like a drop-down list: a position past the end selects nothing and
  // leaves the shown text empty.
  if (index >= 0 && static_cast<std::size_t>(index) < c->items.size()) {
    c->selected = index;
    c->text = c->items[static_cast<std::size_t>(index)];
  } else {
    c->selected = -1;
    c->text.clear();
  }
}

int HeadlessGui::SelectedItem(const std::string& form, int control) const {
  const Control* c = Find(form, control);
  return c ? c->selected : -1;
}

bool HeadlessGui::Checked(const std::string& form, int control) const {
  const Control* c = Find(form, control);
  return c && c->checked;
}

void HeadlessGui::SetChecked(const std::string& form, int control, bool checked) {
  if (Control* c = Find(form, control)) c->checked = checked;
}

void HeadlessGui::SetVisible(const std::string& form, int control, bool visible) {
  if (Control* c = Find(form, control)) c->visible = visible;
}

bool HeadlessGui::Visible(const std::string& form, int control) const {
  const Control* c = Find(form, control);
  return c && c->visible;
}

void HeadlessGui::SetEnabled(const std::string& form, int control, bool enabled) {
  if (Control* c = Find(form, control)) c->enabled = enabled;
}

bool HeadlessGui::Enabled(const std::string& form, int control) const {
  const Control* c = Find(form, control);
  return c && c->enabled;
}

void HeadlessGui::SetFocus(const std::string& form, int control) {
  focus_ = {form, control};
}

void HeadlessGui::SetColours(const std::string& form, int control, int text, int back) {
  if (control == 0) {
    auto f = forms_.find(form);
    if (f != forms_.end()) {
      f->second.textColour = text;
      f->second.backColour = back;
    }
    return;
  }
  if (Control* c = Find(form, control)) {
    c->textColour = text;
    c->backColour = back;
  }
}

void HeadlessGui::Colours(const std::string& form, int control, int& text, int& back) const {
  text = back = -1;
  if (control == 0) {
    auto f = forms_.find(form);
    if (f != forms_.end()) {
      text = f->second.textColour;
      back = f->second.backColour;
    }
    return;
  }
  if (const Control* c = Find(form, control)) {
    text = c->textColour;
    back = c->backColour;
  }
}

void HeadlessGui::Redraw(const std::string& form, int control) {
  if (Control* c = Find(form, control)) ++c->redraws;
}

void HeadlessGui::SetRedrawState(const std::string&, int, bool) {}

int HeadlessGui::RedrawCount(const std::string& form, int control) const {
  const Control* c = Find(form, control);
  return c ? c->redraws : 0;
}

void HeadlessGui::PostEvent(const std::string& form, int control, int code, int value) {
  Inject({form, control, code, value});
}

void HeadlessGui::StartTimer(const std::string& form, int timer, double seconds) {
  if (seconds <= 0) seconds = 0.001;
  timers_[{form, timer}] = Timer{seconds, Now() + seconds};
}

void HeadlessGui::StopTimer(const std::string& form, int timer) {
  timers_.erase({form, timer});
}

bool HeadlessGui::TimerRunning(const std::string& form, int timer) const {
  return timers_.count({form, timer}) != 0;
}

void HeadlessGui::Dispatch(const Event& e) {
  bool refuse = false;
  if (sink_) sink_->OnEvent(e, refuse);
  if (e.code == event::kCloseRequest && e.control == 0 && !refuse && FormLoaded(e.form)) {
    UnloadForm(e.form);
  }
}

bool HeadlessGui::ProcessOne() {
  if (queue_.empty()) return false;
  Event e = std::move(queue_.front());
  queue_.pop_front();
  if (e.form == kApplicationForm || FormLoaded(e.form)) Dispatch(e);
  return true;
}

bool HeadlessGui::FireDueTimers() {
  bool fired = false;
  double now = Now();
  // Copy the keys: a tick handler may start or stop timers.
  std::vector<std::pair<std::string, int>> due;
  for (const auto& [key, timer] : timers_) {
    if (timer.due <= now) due.push_back(key);
  }
  for (const auto& key : due) {
    auto it = timers_.find(key);
    if (it == timers_.end()) continue;
    it->second.due = now + it->second.interval;
    fired = true;
    Dispatch({key.first, key.second, event::kTimerTick, 0});
  }
  return fired;
}

double HeadlessGui::NextTimerDue() const {
  double next = std::numeric_limits<double>::infinity();
  for (const auto& [key, timer] : timers_) next = std::min(next, timer.due);
  return next;
}

bool HeadlessGui::WaitForWork() {
  if (onIdle && onIdle()) return true;
  double next = NextTimerDue();
  if (time_ == Time::Virtual) {
    if (next == std::numeric_limits<double>::infinity()) return false;
    if (next > virtualNow_) virtualNow_ = next;
    return true;
  }
  if (!onIdle && next == std::numeric_limits<double>::infinity()) return false;
  // Real time: sleep until the next timer, but wake often enough for the
  // idle hook (operator input, signals) to be noticed promptly.
  double wait = std::min(next - Now(), 0.01);
  if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
  return true;
}

void HeadlessGui::DoEvents() {
  // Only what is pending now: events queued by the handlers run next time.
  std::size_t pending = queue_.size();
  for (std::size_t i = 0; i < pending && !queue_.empty(); ++i) ProcessOne();
  FireDueTimers();
  if (onIdle) onIdle();
}

double HeadlessGui::Now() {
  return time_ == Time::Virtual ? virtualNow_ : SteadySeconds() - realStart_;
}

void HeadlessGui::Delay(double seconds) {
  if (!(seconds > 0)) return;
  if (time_ == Time::Virtual) {
    virtualNow_ += seconds;
  } else {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
}

int HeadlessGui::Run() {
  while (!forms_.empty() && !quit_) {
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

int HeadlessGui::MessageBox(const MessageBoxRequest& request) {
  return messageBoxResponder ? messageBoxResponder(request) : 1;
}

std::string HeadlessGui::FileDialog(const FileDialogRequest& request) {
  return fileDialogResponder ? fileDialogResponder(request) : std::string();
}

}  // namespace app::gui
