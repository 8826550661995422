#include "ui/qt/form_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <numeric>

#include "ui/look/layout.h"
#include "ui/qt/latin1.h"

namespace ui::qt {
namespace {

QRect ToQRect(const ui::PixelRect& r) {
  return {r.x, r.y, r.width, r.height};
}

}  // namespace

FocusMark::FocusMark(QWidget* form) : QWidget(form) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  hide();
}

void FocusMark::Follow(QWidget* control) {
  if (!control || !control->isVisible()) {
    hide();
    return;
  }
  setGeometry(control->geometry().adjusted(-kWidth, -kWidth, kWidth, kWidth));
  raise();
  show();
  update();
}

void FocusMark::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor colour = QApplication::palette().color(QPalette::Highlight);
  const QRect all = rect();
  painter.fillRect(QRect(0, 0, all.width(), kWidth), colour);
  painter.fillRect(QRect(0, all.height() - kWidth, all.width(), kWidth), colour);
  painter.fillRect(QRect(0, 0, kWidth, all.height()), colour);
  painter.fillRect(QRect(all.width() - kWidth, 0, kWidth, all.height()), colour);
}

FormWindow::FormWindow(FormHost& host, const ui::FormSpec& spec, int dotsPerInch)
    : QWidget(nullptr), host_(host), spec_(spec), dotsPerInch_(dotsPerInch) {
  Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
  if (spec.style.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (spec.style.minimiseBox) flags |= Qt::WindowMinimizeButtonHint;
  if (spec.style.maximiseBox) flags |= Qt::WindowMaximizeButtonHint;
  setWindowFlags(flags);
  setWindowTitle(FromBytes(spec.caption));
  const QSize client(std::max(1, ui::UnitsToPixelsX(spec.place.width, dotsPerInch)),
                     std::max(1, ui::UnitsToPixelsY(spec.place.height, dotsPerInch)));
  resize(client);
  if (!spec.style.resizable) setFixedSize(client);
  for (const ui::ControlSpec& c : spec.controls) {
    if (byId_.count(c.id) != 0) continue;  // a repeated identifier keeps the first
    Control* control = CreateControl(host, spec.name, c, this);
    control->Place(ToQRect(ui::UnitsToPixels(c.place, dotsPerInch)));
    control->Widget()->setAttribute(Qt::WA_TransparentForMouseEvents, c.clickThrough);
    control->Widget()->setVisible(!c.hidden);
    controls_.push_back(control);
    byId_[c.id] = control;
  }
  StackControls();
  focusMark_ = new FocusMark(this);
  followFocus_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    focusMark_->Follow(ControlHolding(now));
  });
  // The native window exists from here on, so its exposure can be watched.
  winId();
  if (QWindow* window = windowHandle()) window->installEventFilter(this);
}

FormWindow::~FormWindow() {
  disconnect(followFocus_);
}

QWidget* FormWindow::ControlHolding(QWidget* widget) const {
  while (widget && widget->parentWidget() != this) widget = widget->parentWidget();
  return widget;
}

Control* FormWindow::Find(int id) const {
  auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : it->second;
}

int FormWindow::AcceleratorFor(int keyCode, bool control, bool shift, bool alt) const {
  for (const ui::Accelerator& a : accelerators_) {
    if (a.keyCode == keyCode && a.control == control && a.shift == shift && a.alt == alt) {
      return a.id;
    }
  }
  return 0;
}

void FormWindow::StackControls() {
  std::vector<std::size_t> order(controls_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return controls_[a]->Spec().stacking < controls_[b]->Spec().stacking;
  });
  // Raise from the bottom up: the last raised lies on top.
  for (auto it = order.rbegin(); it != order.rend(); ++it) controls_[*it]->Widget()->raise();
  if (focusMark_) focusMark_->raise();
}

void FormWindow::OrderTabs() {
  std::vector<QWidget*> widgets;
  for (Control* c : controls_) {
    QWidget* w = c->Widget();
    if (w->focusPolicy() == Qt::NoFocus) continue;
    w->setFocusPolicy(Qt::StrongFocus);
    widgets.push_back(w);
  }
  std::stable_sort(widgets.begin(), widgets.end(), [](const QWidget* a, const QWidget* b) {
    return a->geometry().top() < b->geometry().top();
  });
  // A row is every control that starts above the middle of its first one.
  std::vector<QWidget*> order;
  for (std::size_t first = 0; first < widgets.size();) {
    const int middle = widgets[first]->geometry().center().y();
    std::size_t end = first + 1;
    while (end < widgets.size() && widgets[end]->geometry().top() < middle) ++end;
    std::stable_sort(widgets.begin() + static_cast<std::ptrdiff_t>(first),
                     widgets.begin() + static_cast<std::ptrdiff_t>(end),
                     [](const QWidget* a, const QWidget* b) {
                       return a->geometry().left() < b->geometry().left();
                     });
    order.insert(order.end(), widgets.begin() + static_cast<std::ptrdiff_t>(first),
                 widgets.begin() + static_cast<std::ptrdiff_t>(end));
    first = end;
  }
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void FormWindow::PlaceControls() {
  const ui::UnitRect now{0, 0, ui::PixelsToUnitsX(width(), dotsPerInch_),
                         ui::PixelsToUnitsY(height(), dotsPerInch_)};
  for (Control* c : controls_) {
    ui::UnitRect place = ui::look::ApplyResize(c->Spec().place, c->Spec().resize, spec_.place, now);
    c->Place(ToQRect(ui::UnitsToPixels(place, dotsPerInch_)));
  }
  if (focusMark_ && focusMark_->isVisible()) {
    focusMark_->Follow(ControlHolding(QApplication::focusWidget()));
  }
}

void FormWindow::ApplyColours(int text, int back) {
  textColour_ = text;
  backColour_ = back;
  std::optional<QColor> background = host_.Colour(back);
  QPalette p = palette();
  if (background) p.setColor(QPalette::Window, *background);
  setPalette(p);
  setAutoFillBackground(background.has_value());
  update();
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The form goes only through Unload, never by Qt's own close.
  event->ignore();
  ui::EventReply reply = host_.Deliver({spec_.name, 0, ui::event::kCloseRequest, 0});
  if (!reply.refuse) host_.Unload(spec_.name);
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceControls();
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!started_ && event->type() == QEvent::Expose && watched == windowHandle() &&
      windowHandle()->isExposed()) {
    started_ = true;
    host_.Post({spec_.name, 0, ui::event::kStarted, 0});
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ui::qt
