#include "ui/qt/qt_gui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QToolTip>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <thread>

#include "ui/look/accelerators.h"
#include "ui/qt/latin1.h"
#include "ui/qt/painter_canvas.h"
#include "ui/qt/standard_dialogs.h"

namespace ui::qt {
namespace {

const QEvent::Type kGuiEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// An event of the contract waiting in Qt's queue, for the form that was
// loaded when it was posted: a form loaded again under the same name does
// not receive it.
class GuiEvent : public QEvent {
 public:
  GuiEvent(ui::Event e, FormWindow* form)
      : QEvent(kGuiEventType), event(std::move(e)), target(form) {}
  ui::Event event;
  QPointer<FormWindow> target;
};

// Fusion everywhere, with drop-down lists that open below their box (as the
// form tables' list heights assume) instead of over it.
class TerminalStyle : public QProxyStyle {
 public:
  TerminalStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == QStyle::SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
  // A drop-down box of a form drawn smaller to fit its screen has its frame
  // and arrow button smaller too, as its font is: at full size the closed
  // box would reach into the control below, and a narrow one would leave its
  // text no room.
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                         const QWidget* widget) const override {
    const QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
    if (type != CT_ComboBox || FormScale(widget) >= 1) return size;
    // The closed box keeps to its smaller font: three pixels above and below.
    return {size.width(), std::min(size.height(), widget->fontMetrics().height() + 6)};
  }
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override {
    QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
    const double scale = FormScale(widget);
    if (control != CC_ComboBox || scale >= 1) return rect;
    const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
    const int saved = arrow.width() - static_cast<int>(std::lround(arrow.width() * scale));
    const bool rightToLeft = option->direction == Qt::RightToLeft;
    if (part == SC_ComboBoxArrow) {
      return rightToLeft ? rect.adjusted(0, 0, -saved, 0) : rect.adjusted(saved, 0, 0, 0);
    }
    if (part == SC_ComboBoxEditField) {
      return rightToLeft ? rect.adjusted(-saved, 0, 0, 0) : rect.adjusted(0, 0, saved, 0);
    }
    return rect;
  }

 private:
  // The scale of the control's form (1 for one drawn at full size).
  static double FormScale(const QWidget* widget) {
    const double scale = widget ? widget->property(kFormScaleProperty).toDouble() : 0;
    return scale > 0 ? scale : 1;
  }
};

// The key codes of the contract (the desktop's virtual key numbers).
int KeyCode(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return ui::key::kF1 + (qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return ui::key::kEnter;
    case Qt::Key_Escape:
      return ui::key::kEscape;
    case Qt::Key_Up:
      return ui::key::kUp;
    case Qt::Key_Down:
      return ui::key::kDown;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return ui::look::kPlusKey;
    case Qt::Key_Minus:
      return ui::look::kMinusKey;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    default:
      return 0;
  }
}

}  // namespace

QtGui::QtGui(std::unique_ptr<QApplication> application) : application_(std::move(application)) {
  QApplication::setStyle(new TerminalStyle);
  QApplication::setQuitOnLastWindowClosed(false);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    dotsPerInch_ = std::max(1, static_cast<int>(std::lround(screen->logicalDotsPerInchY())));
  }
  qApp->installEventFilter(this);
}

QtGui::~QtGui() {
  plot_.reset();
  qApp->removeEventFilter(this);
  DeleteForms();
  for (QPointer<FormWindow>& form : unloaded_) delete form.data();
}

// ---------------------------------------------------------------------------
// Forms

void QtGui::LoadForm(const ui::FormSpec& spec) {
  if (FormLoaded(spec.name)) UnloadForm(spec.name);
  auto* form = new FormWindow(*this, spec, dotsPerInch_);
  forms_[spec.name] = form;
  form->ApplyColours(spec.textColour, spec.backColour);
  for (Control* c : form->Controls()) {
    c->ApplyColours(c->Spec().textColour, c->Spec().backColour);
    c->SetFont(FontOf(c->Spec().font));
  }
  form->move(ui::UnitsToPixelsX(spec.place.x, dotsPerInch_),
             ui::UnitsToPixelsY(spec.place.y, dotsPerInch_));
  if (FormWindow* owner = FormWidget(spec.owner); owner && owner != form) {
    PlaceOverOwner(*form);
    if (form->windowHandle() && owner->windowHandle()) {
      form->windowHandle()->setTransientParent(owner->windowHandle());
    }
  }
  if (spec.style.modal) form->setWindowModality(Qt::ApplicationModal);
  AskItemHeights(*form);

  QPointer<FormWindow> alive = form;
  const std::string name = spec.name;
  auto stillLoaded = [&] { return alive && FormWidget(name) == alive.data(); };
  for (const ui::ControlSpec& c : spec.controls) {
    if (c.wantsLoading && stillLoaded()) Deliver({name, c.id, ui::event::kLoading, 0});
  }
  for (const ui::ControlSpec& c : spec.controls) {
    if (stillLoaded()) Deliver({name, c.id, ui::event::kLoaded, 0});
  }
  if (stillLoaded()) Deliver({name, 0, ui::event::kLoaded, 0});
  // Shown once loaded, so it appears where and how its handlers put it;
  // kStarted follows when the window system has exposed it.
  if (!stillLoaded()) return;
  form->OrderTabs();
  form->show();
  // A dialog gives its first control that takes the keyboard the focus, as
  // a dialog does; any other form leaves the focus to the application.
  if (!spec.style.modal && !form->focusWidget()) form->setFocus(Qt::OtherFocusReason);
}

// A new dialog is centred horizontally over its owner; its height stays
// where the form table or its own handlers put it.
void QtGui::PlaceOverOwner(FormWindow& form) {
  FormWindow* owner = FormWidget(form.Spec().owner);
  if (!owner || !Screen().canPlaceWindows) return;
  int x = owner->frameGeometry().x() + (owner->width() - form.width()) / 2;
  form.move(x, form.pos().y());
}

void QtGui::AskItemHeights(FormWindow& form) {
  for (Control* c : form.Controls()) {
    auto* list = dynamic_cast<ComboBoxControl*>(c);
    if (!list || !c->Spec().style.ownerDrawnItems) continue;
    ui::EventReply reply = Deliver({form.Name(), c->Id(), ui::event::kOwnerSize, 0});
    list->SetItemHeight(reply.itemHeight);
  }
}

void QtGui::ShowModal(const ui::FormSpec& spec) {
  ui::FormSpec modal = spec;
  modal.style.modal = true;
  LoadForm(modal);
  QPointer<FormWindow> form = FormWidget(spec.name);
  if (!form) return;
  QEventLoop loop;
  modalLoops_[spec.name] = &loop;
  while (!quit_ && form && FormWidget(spec.name) == form.data()) loop.exec();
  if (modalLoops_[spec.name] == &loop) modalLoops_.erase(spec.name);
}

void QtGui::UnloadForm(const std::string& form) {
  auto it = forms_.find(form);
  if (it == forms_.end()) return;
  QPointer<FormWindow> window = it->second;
  forms_.erase(it);
  for (auto t = timers_.begin(); t != timers_.end();) {
    if (t->first.first != form) {
      ++t;
      continue;
    }
    if (t->second) t->second->stop();
    t = timers_.erase(t);
  }
  if (window) {
    // Hidden now, destroyed once the handler that asked for it has returned.
    window->hide();
    window->deleteLater();
    std::erase_if(unloaded_, [](const QPointer<FormWindow>& f) { return f.isNull(); });
    unloaded_.push_back(window);
  }
  if (auto loop = modalLoops_.find(form); loop != modalLoops_.end()) loop->second->quit();
  if (forms_.empty() && runLoop_) runLoop_->quit();
}

// ---------------------------------------------------------------------------
// Events, timers and time

ui::EventReply QtGui::Deliver(const ui::Event& event) {
  ui::EventReply reply;
  if (event.form != ui::kApplicationForm && !FormLoaded(event.form)) return reply;
  if (sink_) sink_->OnEvent(event, reply);
  return reply;
}

void QtGui::Draw(const ui::DrawRequest& request, QPainter& painter) {
  if (!sink_) return;
  painter.save();
  const FormWindow* form = FormWidget(request.form);
  PainterCanvas canvas(painter, request.area, form ? form->Scale() : 1.0);
  sink_->OnDraw(request, canvas);
  painter.restore();
}

void QtGui::Post(const ui::Event& event) {
  if (event.form != ui::kApplicationForm && !FormLoaded(event.form)) return;
  QCoreApplication::postEvent(this, new GuiEvent(event, FormWidget(event.form)));
}

void QtGui::PostEvent(const ControlRef& control, event::Code code, int value) {
  Post({control.form, control.number, code, value});
}

bool QtGui::event(QEvent* event) {
  if (event->type() != kGuiEventType) return QObject::event(event);
  auto* posted = static_cast<GuiEvent*>(event);
  const ui::Event e = posted->event;
  if (e.form != ui::kApplicationForm && FormWidget(e.form) != posted->target) return true;
  ui::EventReply reply = Deliver(e);
  if (e.code == ui::event::kCloseRequest && e.control == 0 && !reply.refuse) UnloadForm(e.form);
  return true;
}

void QtGui::StartTimer(const std::string& form, int timer, double seconds) {
  FormWindow* f = FormWidget(form);
  if (!f) return;
  QPointer<QTimer>& t = timers_[{form, timer}];
  if (!t) {
    t = new QTimer(f);
    t->setTimerType(Qt::PreciseTimer);
    connect(t, &QTimer::timeout, this, [this, form, timer] {
      Deliver({form, timer, ui::event::kTimerTick, 0});
    });
  }
  double ms = std::isfinite(seconds) ? std::clamp(seconds * 1000.0, 1.0, 2147483647.0) : 1.0;
  t->start(static_cast<int>(std::lround(ms)));
}

void QtGui::StopTimer(const std::string& form, int timer) {
  auto it = timers_.find({form, timer});
  if (it == timers_.end()) return;
  if (it->second) delete it->second.data();
  timers_.erase(it);
}

void QtGui::DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

double QtGui::Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void QtGui::Delay(double seconds) {
  if (seconds > 0 && std::isfinite(seconds)) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
}

int QtGui::Run() {
  if (!quit_ && !forms_.empty()) {
    QEventLoop loop;
    runLoop_ = &loop;
    loop.exec();
    runLoop_ = nullptr;
  }
  Deliver({ui::kApplicationForm, 0, ui::event::kApplicationEnd, 0});
  return status_;
}

void QtGui::Quit(int status) {
  quit_ = true;
  status_ = status;
  ExitLoops();
}

void QtGui::ExitLoops() {
  // A dialog of the window's own tools (the plot's file dialog, its
  // warning) runs a loop of its own inside the run's; the run can only end
  // once it is gone, so it is answered as if cancelled.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
  }
  for (auto& [name, loop] : modalLoops_) loop->quit();
  if (runLoop_) runLoop_->quit();
}

// ---------------------------------------------------------------------------
// Keys, tooltips and focus, before any widget sees them

FormWindow* QtGui::OwnerOf(QWidget* widget) const {
  auto* form = dynamic_cast<FormWindow*>(widget ? widget->window() : nullptr);
  return form && FormLoaded(form->Name()) && FormWidget(form->Name()) == form ? form : nullptr;
}

bool QtGui::HandleKey(QWidget* receiver, QKeyEvent& key) {
  FormWindow* form = OwnerOf(receiver);
  if (!form) return false;
  // A key travels from the focus widget up to the window: act on its first
  // stop only.
  QWidget* focus = form->focusWidget();
  if (receiver != (focus ? focus : form)) return false;
  // A widget of the backend's own that takes its keys itself (a box's find
  // bar) keeps them from the form's key table.
  for (QWidget* w = focus; w && w != form; w = w->parentWidget()) {
    if (w->property("halvornOwnKeys").toBool()) return false;
  }
  const int code = KeyCode(key.key());
  if (code == 0) return false;
  const Qt::KeyboardModifiers mods = key.modifiers();
  const std::string name = form->Name();
  if (int id =
          form->AcceleratorFor(code, mods.testFlag(Qt::ControlModifier),
                               mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::AltModifier))) {
    Deliver({name, id, ui::event::kClick, 0});
    return true;
  }
  Control* control = ControlOf(focus);
  if (code == ui::key::kEnter || code == ui::key::kEscape) {
    // Without a focused control the form itself hears the key.
    Deliver({name, control ? control->Id() : 0, ui::event::kKey, code});
    return true;  // never Qt's own default button or dialog key
  }
  const bool arrow = code == ui::key::kUp || code == ui::key::kDown;
  if (arrow && control && control->TakesArrowKeys() && mods == Qt::NoModifier) {
    Deliver({name, control->Id(), ui::event::kKey, code});
    return true;
  }
  return false;
}

// Ctrl with the wheel is Ctrl+PLUS or Ctrl+MINUS, one per notch, where the
// form has those keys.
bool QtGui::HandleZoomWheel(QWidget* receiver, QWheelEvent& wheel) {
  if (!wheel.modifiers().testFlag(Qt::ControlModifier)) return false;
  FormWindow* form = OwnerOf(receiver);
  if (!form) return false;
  const int in = form->AcceleratorFor(ui::look::kPlusKey, true, false, false);
  const int out = form->AcceleratorFor(ui::look::kMinusKey, true, false, false);
  if (in == 0 && out == 0) return false;
  constexpr int kNotch = 120;
  zoomWheel_ += wheel.angleDelta().y();
  const std::string name = form->Name();
  for (; zoomWheel_ >= kNotch; zoomWheel_ -= kNotch) {
    if (in) Deliver({name, in, ui::event::kClick, 0});
  }
  for (; zoomWheel_ <= -kNotch; zoomWheel_ += kNotch) {
    if (out) Deliver({name, out, ui::event::kClick, 0});
  }
  return true;
}

bool QtGui::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      if (watched->isWidgetType()) {
        return HandleKey(static_cast<QWidget*>(watched), *static_cast<QKeyEvent*>(event));
      }
      break;
    case QEvent::Wheel:
      if (watched->isWidgetType() &&
          HandleZoomWheel(static_cast<QWidget*>(watched), *static_cast<QWheelEvent*>(event))) {
        return true;
      }
      break;
    case QEvent::ToolTip: {
      auto* control = dynamic_cast<Control*>(watched);
      if (!control || !control->Spec().tooltip) break;
      ui::EventReply reply = Deliver({control->Form(), control->Id(), ui::event::kTooltip, 0});
      auto* help = static_cast<QHelpEvent*>(event);
      if (reply.tooltip.empty()) {
        QToolTip::hideText();
      } else {
        QToolTip::showText(help->globalPos(), FromBytes(reply.tooltip), control->Widget());
      }
      return true;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      auto* control = dynamic_cast<Control*>(watched);
      if (!control || !control->Spec().focusEvents) break;
      // Posted: a focus change made by a call of the contract (SetFocus)
      // must not deliver an event from inside that call.
      Post({control->Form(), control->Id(),
            event->type() == QEvent::FocusIn ? ui::event::kFocusGained : ui::event::kFocusLost, 0});
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Dialogs and help (ui/qt/standard_dialogs.h)

// Qt's own texts (the file dialog's labels and buttons, a message box's
// buttons) from the translations Debian ships beside Qt (qtbase_de.qm, ...).
void QtGui::SetDialogLanguage(const std::string& code) {
  if (dialogTranslator_) {
    QCoreApplication::removeTranslator(dialogTranslator_.get());
    dialogTranslator_.reset();
  }
  if (code.empty()) return;
  auto translator = std::make_unique<QTranslator>();
  if (translator->load(QStringLiteral("qtbase_") + QString::fromLatin1(code.c_str()),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator.get())) {
    dialogTranslator_ = std::move(translator);
  }
}

ui::MessageBoxAnswer QtGui::MessageBox(const ui::MessageBoxRequest& request) {
  return AskWithMessageBox(FormWidget(request.form), request);
}

std::string QtGui::FileDialog(const ui::FileDialogRequest& request) {
  return AskForFile(FormWidget(request.form), request);
}

bool QtGui::OpenWithDesktop(const std::string& path) {
  return OpenFileWithDesktop(path);
}

bool QtGui::ShowHelpWindow(const std::string& title, const std::string& index) {
  return help_.Show(title, index);
}

void QtGui::OpenPlotWindow(std::shared_ptr<const ui::PlotData> data) {
  if (plot_) {
    plot_->SetData(std::move(data));
  } else {
    plot_ = std::make_unique<PlotWindow>(std::move(data));
  }
  plot_->show();
  plot_->raise();
  plot_->activateWindow();
}

}  // namespace ui::qt
