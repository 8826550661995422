#include "ui/headless/headless_gui.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/text.h"
#include "ui/look/layout.h"
#include "ui/look/palette.h"

namespace ui::headless {
namespace {

ScreenInfo DefaultScreen() {
  ScreenInfo s;
  s.screen = {0, 0, 1920, 1080};
  s.workArea = {0, 0, 1920, 1040};
  s.frameWidth = 8;
  s.frameHeight = 31;
  return s;
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool Contains(const PixelRect& r, int x, int y) {
  return x >= r.x && y >= r.y && x - r.x < r.width && y - r.y < r.height;
}

std::vector<std::string> ItemsOf(const std::string& list) {
  return platform::SplitFields(list, '|');  // the empty text is no items
}

const std::vector<Accelerator> kNoAccelerators;

}  // namespace

HeadlessGui::HeadlessGui(Time time) : screen(DefaultScreen()), clock_(time) {}

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

void HeadlessGui::Type(const ControlRef& control, const std::string& text) {
  if (Control* c = Find(control)) {
    c->text = text;
    c->selection = {static_cast<int>(text.size()), static_cast<int>(text.size())};
  }
}

void HeadlessGui::RequestClose(const std::string& form) {
  Queue({{form, 0, event::kCloseRequest, 0}, Action::Click});
}

void HeadlessGui::AdvanceTime(double seconds) {
  clock_.Advance(seconds);
  FireDueTimers();
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

int HeadlessGui::ControlAt(const std::string& form, int x, int y) const {
  const Form* f = FindForm(form);
  if (!f) return 0;
  for (int id : f->stacking) {
    const Control& c = f->controls.at(id);
    if (c.visible && !c.spec.clickThrough && Contains(ControlPixels(*f, c), x, y)) return id;
  }
  return 0;
}

const std::vector<Accelerator>& HeadlessGui::Accelerators(const std::string& form) const {
  const Form* f = FindForm(form);
  return f ? f->accelerators : kNoAccelerators;
}

const Rgb* HeadlessGui::ColourSlot(int slot) const {
  auto it = colours_.find(slot);
  return it == colours_.end() ? nullptr : &it->second;
}

FontRef HeadlessGui::ControlFont(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->font : FontRef{};
}

std::string HeadlessGui::FormIcon(const std::string& form) const {
  const Form* f = FindForm(form);
  return f ? f->icon : std::string();
}

int HeadlessGui::RedrawCount(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->redraws : 0;
}

bool HeadlessGui::RedrawOff(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->redrawOff;
}

bool HeadlessGui::TimerRunning(const std::string& form, int timer) const {
  return clock_.Running(form, timer);
}

// ---------------------------------------------------------------------------
// Forms

void HeadlessGui::DefineSystemColour(int slot, int systemColour) {
  colours_[slot] = ui::look::SystemColour(systemColour);
}

void HeadlessGui::LoadForm(const FormSpec& spec) {
  const int dpi = screen.dotsPerInch;
  Form form;
  form.spec = spec;
  form.caption = spec.caption;
  form.textColour = spec.textColour;
  form.backColour = spec.backColour;
  form.frame = UnitsToPixels(spec.place, dpi);
  for (const ControlSpec& c : spec.controls) {
    Control control;
    control.spec = c;
    control.visible = !c.hidden;
    control.textColour = c.textColour;
    control.backColour = c.backColour;
    control.font = c.font;
    if (c.kind == ControlKind::ComboBox) {
      control.items = ItemsOf(c.caption);
      control.selected = control.items.empty() ? -1 : 0;
    } else {
      control.text = c.caption;
    }
    form.controls[c.id] = std::move(control);
    form.stacking.push_back(c.id);
  }
  // Lower stacking values on top; equal values keep creation order.
  std::stable_sort(form.stacking.begin(), form.stacking.end(), [&form](int a, int b) {
    return form.controls[a].spec.stacking < form.controls[b].spec.stacking;
  });
  const std::string name = spec.name;
  forms_[name] = std::move(form);
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
  forms_.erase(form);
  clock_.StopAll(form);
  // Input and posted events of the form die with it: a form loaded again
  // under the same name must not receive them.
  std::erase_if(queue_, [&form](const Queued& q) { return q.event.form == form; });
  if (focus_.form == form) focus_ = {};
}

bool HeadlessGui::FormLoaded(const std::string& form) const {
  return forms_.count(form) != 0;
}

HeadlessGui::Form* HeadlessGui::FindForm(const std::string& form) {
  auto f = forms_.find(form);
  return f == forms_.end() ? nullptr : &f->second;
}

const HeadlessGui::Form* HeadlessGui::FindForm(const std::string& form) const {
  return const_cast<HeadlessGui*>(this)->FindForm(form);
}

HeadlessGui::Control* HeadlessGui::Find(const ControlRef& control) {
  Form* f = FindForm(control.form);
  if (!f) return nullptr;
  auto c = f->controls.find(control.number);
  return c == f->controls.end() ? nullptr : &c->second;
}

const HeadlessGui::Control* HeadlessGui::Find(const ControlRef& control) const {
  return const_cast<HeadlessGui*>(this)->Find(control);
}

void HeadlessGui::SetFormLimits(const std::string& form, double minWidth, double minHeight,
                                double maxWidth, double maxHeight) {
  Form* f = FindForm(form);
  if (!f) return;
  f->minWidth = minWidth;
  f->minHeight = minHeight;
  f->maxWidth = std::max(minWidth, maxWidth);
  f->maxHeight = std::max(minHeight, maxHeight);
  ClampToLimits(*f);
}

void HeadlessGui::ClampToLimits(Form& f) {
  const int dpi = screen.dotsPerInch;
  const double width = std::clamp(PixelsToUnitsX(f.frame.width, dpi), f.minWidth, f.maxWidth);
  const double height = std::clamp(PixelsToUnitsY(f.frame.height, dpi), f.minHeight, f.maxHeight);
  f.frame.width = UnitsToPixelsX(width, dpi);
  f.frame.height = UnitsToPixelsY(height, dpi);
}

void HeadlessGui::SetFormIcon(const std::string& form, const std::string& image) {
  if (Form* f = FindForm(form)) f->icon = image;
}

UnitRect HeadlessGui::FormGeometry(const std::string& form) const {
  const Form* f = FindForm(form);
  if (!f) return {};
  const int dpi = screen.dotsPerInch;
  return {PixelsToUnitsX(f->frame.x, dpi), PixelsToUnitsY(f->frame.y, dpi),
          PixelsToUnitsX(f->frame.width, dpi), PixelsToUnitsY(f->frame.height, dpi)};
}

void HeadlessGui::SetFormGeometry(const std::string& form, const UnitRect& geometry) {
  Form* f = FindForm(form);
  if (!f) return;
  const PixelRect wanted = UnitsToPixels(geometry, screen.dotsPerInch);
  if (screen.canPlaceWindows) {
    f->frame.x = wanted.x;
    f->frame.y = wanted.y;
  }
  f->frame.width = wanted.width;
  f->frame.height = wanted.height;
  f->maximised = false;
  ClampToLimits(*f);
}

void HeadlessGui::MoveForm(const std::string& form, double x, double y) {
  Form* f = FindForm(form);
  if (!f || !screen.canPlaceWindows) return;
  f->frame.x = UnitsToPixelsX(x, screen.dotsPerInch);
  f->frame.y = UnitsToPixelsY(y, screen.dotsPerInch);
}

void HeadlessGui::MaximiseForm(const std::string& form) {
  Form* f = FindForm(form);
  if (!f) return;
  const PixelRect& area = screen.workArea;
  f->frame = {area.x, area.y, area.width - screen.frameWidth, area.height - screen.frameHeight};
  ClampToLimits(*f);
  f->maximised = true;
}

bool HeadlessGui::FormMaximised(const std::string& form) const {
  const Form* f = FindForm(form);
  return f && f->maximised;
}

void HeadlessGui::DefineAccelerators(const std::string& form,
                                     const std::vector<Accelerator>& table) {
  if (Form* f = FindForm(form)) f->accelerators = table;
}

// ---------------------------------------------------------------------------
// Text and lists

std::string HeadlessGui::Text(const ControlRef& control) const {
  if (control.number == 0) {
    const Form* f = FindForm(control.form);
    return f ? f->caption : std::string();
  }
  const Control* c = Find(control);
  if (!c) return std::string();
  if (c->spec.kind != ControlKind::ComboBox) return c->text;
  return c->selected >= 0 ? c->items[static_cast<std::size_t>(c->selected)] : std::string();
}

void HeadlessGui::SetText(const ControlRef& control, const std::string& text) {
  if (control.number == 0) {
    if (Form* f = FindForm(control.form)) f->caption = text;
    return;
  }
  Control* c = Find(control);
  if (!c) return;
  if (c->spec.kind == ControlKind::ComboBox) {
    // A drop-down list shows only its items: the text selects the item.
    auto it = std::find(c->items.begin(), c->items.end(), text);
    c->selected = it == c->items.end() ? -1 : static_cast<int>(it - c->items.begin());
    return;
  }
  Type(control, text);
}

void HeadlessGui::AppendText(const ControlRef& control, const std::string& text) {
  Control* c = Find(control);
  if (!c) return;
  c->text += text;
  const int end =
      static_cast<int>(std::min<std::size_t>(c->text.size(), std::numeric_limits<int>::max()));
  c->selection = {end, end};
}

TextSelection HeadlessGui::Selection(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->selection : TextSelection{};
}

void HeadlessGui::SetSelection(const ControlRef& control, TextSelection selection) {
  Control* c = Find(control);
  if (!c) return;
  const int length =
      static_cast<int>(std::min<std::size_t>(c->text.size(), std::numeric_limits<int>::max()));
  if (selection.end < 0) selection.end = length;
  selection.start = std::clamp(selection.start, 0, length);
  selection.end = std::clamp(selection.end, 0, length);
  if (selection.end < selection.start) std::swap(selection.start, selection.end);
  c->selection = selection;
}

void HeadlessGui::AddItems(const ControlRef& control, const std::vector<std::string>& items) {
  Control* c = Find(control);
  if (!c) return;
  c->items.insert(c->items.end(), items.begin(), items.end());
}

void HeadlessGui::InsertItem(const ControlRef& control, int position, const std::string& item) {
  Control* c = Find(control);
  if (!c) return;
  const std::size_t at = std::min(static_cast<std::size_t>(std::max(position, 0)), c->items.size());
  c->items.insert(c->items.begin() + static_cast<std::ptrdiff_t>(at), item);
  // The selection stays on its item.
  if (c->selected >= static_cast<int>(at)) ++c->selected;
}

void HeadlessGui::ClearItems(const ControlRef& control) {
  Control* c = Find(control);
  if (!c) return;
  c->items.clear();
  c->selected = -1;
}

std::vector<std::string> HeadlessGui::Items(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->items : std::vector<std::string>{};
}

void HeadlessGui::SelectItem(const ControlRef& control, int index) {
  Control* c = Find(control);
  if (!c) return;
  // Like a drop-down list: a position outside the list selects nothing.
  const bool inside = index >= 0 && static_cast<std::size_t>(index) < c->items.size();
  c->selected = inside ? index : -1;
}

int HeadlessGui::SelectedItem(const ControlRef& control) const {
  const Control* c = Find(control);
  return c ? c->selected : -1;
}

// ---------------------------------------------------------------------------
// State

bool HeadlessGui::Checked(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->checked;
}

void HeadlessGui::SetChecked(const ControlRef& control, bool checked) {
  if (Control* c = Find(control)) c->checked = checked;
}

void HeadlessGui::SetVisible(const ControlRef& control, bool visible) {
  if (Control* c = Find(control)) c->visible = visible;
}

bool HeadlessGui::Visible(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->visible;
}

void HeadlessGui::SetEnabled(const ControlRef& control, bool enabled) {
  if (Control* c = Find(control)) c->enabled = enabled;
}

bool HeadlessGui::Enabled(const ControlRef& control) const {
  const Control* c = Find(control);
  return c && c->enabled;
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

void HeadlessGui::SetColours(const ControlRef& control, int text, int back) {
  if (control.number == 0) {
    if (Form* f = FindForm(control.form)) {
      f->textColour = text;
      f->backColour = back;
    }
    return;
  }
  if (Control* c = Find(control)) {
    c->textColour = text;
    c->backColour = back;
  }
}

ColourPair HeadlessGui::Colours(const ControlRef& control) const {
  if (control.number == 0) {
    const Form* f = FindForm(control.form);
    return f ? ColourPair{f->textColour, f->backColour} : ColourPair{};
  }
  const Control* c = Find(control);
  return c ? ColourPair{c->textColour, c->backColour} : ColourPair{};
}

void HeadlessGui::SetFont(const ControlRef& control, const FontRef& font) {
  if (Control* c = Find(control)) c->font = font;
}

void HeadlessGui::Raise(const ControlRef& control) {
  Form* f = FindForm(control.form);
  if (!f) return;
  auto it = std::find(f->stacking.begin(), f->stacking.end(), control.number);
  if (it != f->stacking.end()) std::rotate(f->stacking.begin(), it, it + 1);
}

PixelRect HeadlessGui::ControlPixels(const Form& form, const Control& control) const {
  const int dpi = screen.dotsPerInch;
  const UnitRect now{0, 0, PixelsToUnitsX(form.frame.width, dpi),
                     PixelsToUnitsY(form.frame.height, dpi)};
  return UnitsToPixels(
      ui::look::ApplyResize(control.spec.place, control.spec.resize, form.spec.place, now), dpi);
}

UnitRect HeadlessGui::ControlGeometry(const ControlRef& control) const {
  const Form* f = FindForm(control.form);
  const Control* c = Find(control);
  if (!f || !c) return {};
  const int dpi = screen.dotsPerInch;
  const PixelRect p = ControlPixels(*f, *c);
  return {PixelsToUnitsX(p.x, dpi), PixelsToUnitsY(p.y, dpi), PixelsToUnitsX(p.width, dpi),
          PixelsToUnitsY(p.height, dpi)};
}

void HeadlessGui::Redraw(const ControlRef& control) {
  if (Control* c = Find(control)) ++c->redraws;
}

void HeadlessGui::SetRedrawState(const ControlRef& control, bool redraw) {
  if (Control* c = Find(control)) c->redrawOff = !redraw;
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

}  // namespace ui::headless
