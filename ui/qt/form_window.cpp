#include "ui/qt/form_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWheelEvent>
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
    : QWidget(nullptr),
      host_(host),
      spec_(spec),
      baseDpi_(std::max(1, dotsPerInch)),
      dpi_(baseDpi_) {
  Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
  if (spec.style.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (spec.style.minimiseBox) flags |= Qt::WindowMinimizeButtonHint;
  if (spec.style.maximiseBox) flags |= Qt::WindowMaximizeButtonHint;
  setWindowFlags(flags);
  setWindowTitle(FromBytes(spec.caption));
  const QSize client(std::max(1, ui::UnitsToPixelsX(spec.place.width, dpi_)),
                     std::max(1, ui::UnitsToPixelsY(spec.place.height, dpi_)));
  resize(client);
  if (!spec.style.resizable) setFixedSize(client);
  fitted_ = client;
  for (const ui::ControlSpec& c : spec.controls) {
    if (byId_.count(c.id) != 0) continue;  // a repeated identifier keeps the first
    Control* control = CreateControl(host, spec.name, c, this);
    control->Place(ToPixels(c.place));
    control->Widget()->setAttribute(Qt::WA_TransparentForMouseEvents, c.clickThrough);
    control->Widget()->setVisible(!c.hidden);
    controls_.push_back(control);
    byId_[c.id] = control;
  }
  StackControls();
  focusMark_ = new FocusMark(this);
  followFocus_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    QWidget* control = ControlHolding(now);
    if (scrolls_ && control) ScrollTo(control);
    focusMark_->Follow(control);
  });
  // The native window exists from here on, so its exposure can be watched.
  winId();
  if (QWindow* window = windowHandle()) {
    window->installEventFilter(this);
    connect(window, &QWindow::screenChanged, this, [this] {
      WatchScreen();
      Fit();
    });
  }
  WatchScreen();
  Fit();
}

void FormWindow::WatchScreen() {
  disconnect(screenArea_);
  if (QScreen* now = screen()) {
    screenArea_ = connect(now, &QScreen::availableGeometryChanged, this, [this] { Fit(); });
  }
}

QRect FormWindow::ToPixels(const ui::UnitRect& units) const {
  return ToQRect(ui::UnitsToPixels(units, dpi_));
}

void FormWindow::Fit() {
  QScreen* now = screen();
  if (!now) return;
  QSize frame = host_.FrameSize();
  if (isVisible()) frame = frameGeometry().size() - size();
  const QRect area = now->availableGeometry();
  const ui::look::FormFit fit =
      ui::look::FitForm(spec_.place, baseDpi_, now->devicePixelRatio(), frame.width(),
                        frame.height(), {area.x(), area.y(), area.width(), area.height()});
  QSize client(fit.clientWidth, fit.clientHeight);
  if (fit.scrolls) {
    // Room for a scroll bar beside the content where the work area has it.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize whole(ui::UnitsToPixelsX(spec_.place.width, fit.dotsPerInch),
                      ui::UnitsToPixelsY(spec_.place.height, fit.dotsPerInch));
    const QSize room = area.size() - frame;
    client = QSize(std::min(whole.width() + (whole.height() > room.height() ? bar : 0),
                            std::max(1, room.width())),
                   std::min(whole.height() + (whole.width() > room.width() ? bar : 0),
                            std::max(1, room.height())));
  }
  if (fit.dotsPerInch != dpi_ || fit.scrolls != scrolls_ || client != fitted_) {
    dpi_ = fit.dotsPerInch;
    scrolls_ = fit.scrolls;
    fitted_ = client;
    for (Control* c : controls_) c->SetScale(Scale());
    ApplyLimits();
    if (spec_.style.resizable) {
      resize(client);
    } else {
      setFixedSize(client);
    }
    PlaceControls();
  }
  if (isVisible()) KeepOnScreen();
}

void FormWindow::KeepOnScreen() {
  QScreen* now = screen();
  if (!now || isMaximized() || isFullScreen()) return;
  const QRect area = now->availableGeometry();
  const QRect outer = frameGeometry();
  QPoint to = outer.topLeft();
  to.setX(std::max(area.left(), std::min(to.x(), area.right() + 1 - outer.width())));
  to.setY(std::max(area.top(), std::min(to.y(), area.bottom() + 1 - outer.height())));
  if (to != outer.topLeft()) move(to);
}

void FormWindow::GrowBy(int pixels) {
  QScreen* now = screen();
  if (!now || pixels <= 0) return;
  const int room = now->availableGeometry().height() - host_.FrameSize().height();
  const int grown = std::min(height() + pixels, std::max(height(), room));
  if (grown == height()) return;
  if (spec_.style.resizable) {
    resize(width(), grown);
  } else {
    setFixedHeight(grown);
  }
  if (isVisible()) KeepOnScreen();
}

void FormWindow::SetLimits(double minWidth, double minHeight, double maxWidth, double maxHeight) {
  limits_ = Limits{minWidth, minHeight, maxWidth, maxHeight};
  ApplyLimits();
}

void FormWindow::ApplyLimits() {
  if (!limits_ || !spec_.style.resizable) return;
  const auto limit = [](int pixels) { return std::clamp(pixels, 0, QWIDGETSIZE_MAX); };
  // Never larger than the desktop: a window of 999 by 999 units would need
  // a back buffer of half a gigabyte. A form at its floor may be as small
  // as the work area leaves it; its content scrolls.
  QSize desktop(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  QSize room = desktop;
  if (QScreen* now = screen()) {
    desktop = now->virtualSize();
    if (scrolls_) room = now->availableGeometry().size() - host_.FrameSize();
  }
  setMinimumSize(std::min(limit(ui::UnitsToPixelsX(limits_->minWidth, dpi_)), room.width()),
                 std::min(limit(ui::UnitsToPixelsY(limits_->minHeight, dpi_)), room.height()));
  setMaximumSize(std::min(limit(ui::UnitsToPixelsX(limits_->maxWidth, dpi_)), desktop.width()),
                 std::min(limit(ui::UnitsToPixelsY(limits_->maxHeight, dpi_)), desktop.height()));
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
  // A form at its floor is laid out at its full size there, as large as its
  // window where that is larger, and scrolled in its window.
  QSize view = size();
  QSize content = view;
  QPoint offset;
  if (scrolls_) {
    const QSize whole(ui::UnitsToPixelsX(spec_.place.width, dpi_),
                      ui::UnitsToPixelsY(spec_.place.height, dpi_));
    if (!down_) {
      down_ = new QScrollBar(Qt::Vertical, this);
      across_ = new QScrollBar(Qt::Horizontal, this);
      for (QScrollBar* bar : {down_, across_}) {
        bar->setFocusPolicy(Qt::NoFocus);
        connect(bar, &QScrollBar::valueChanged, this, [this] { PlaceControls(); });
      }
    }
    const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    bool vertical = false, horizontal = false;
    for (int pass = 0; pass < 2; ++pass) {
      view = size() - QSize(vertical ? thickness : 0, horizontal ? thickness : 0);
      vertical = whole.height() > view.height();
      horizontal = whole.width() > view.width();
    }
    view = size() - QSize(vertical ? thickness : 0, horizontal ? thickness : 0);
    content = whole.expandedTo(view);
    const QSignalBlocker quietDown(down_), quietAcross(across_);
    down_->setRange(0, content.height() - view.height());
    down_->setPageStep(view.height());
    down_->setGeometry(view.width(), 0, thickness, view.height());
    down_->setVisible(vertical);
    across_->setRange(0, content.width() - view.width());
    across_->setPageStep(view.width());
    across_->setGeometry(0, view.height(), view.width(), thickness);
    across_->setVisible(horizontal);
    offset = {-across_->value(), -down_->value()};
    down_->raise();
    across_->raise();
  } else if (down_) {
    down_->hide();
    across_->hide();
  }
  const ui::UnitRect now{0, 0, ui::PixelsToUnitsX(content.width(), dpi_),
                         ui::PixelsToUnitsY(content.height(), dpi_)};
  for (Control* c : controls_) {
    ui::UnitRect place = ui::look::ApplyResize(c->Spec().place, c->Spec().resize, spec_.place, now);
    c->Place(ToPixels(place).translated(offset));
  }
  if (focusMark_ && focusMark_->isVisible()) {
    focusMark_->Follow(ControlHolding(QApplication::focusWidget()));
  }
}

QRect FormWindow::Viewport() const {
  QRect view = rect();
  if (down_ && down_->isVisible()) view.setWidth(down_->x());
  if (across_ && across_->isVisible()) view.setHeight(across_->y());
  return view;
}

void FormWindow::ScrollTo(const QWidget* control) {
  if (!down_) return;
  const QRect r = control->geometry().adjusted(-FocusMark::kWidth, -FocusMark::kWidth,
                                               FocusMark::kWidth, FocusMark::kWidth);
  const QRect view = Viewport();
  // The far edge first, then the near one: a control larger than the view
  // shows its top left corner.
  if (r.bottom() > view.bottom()) down_->setValue(down_->value() + r.bottom() - view.bottom());
  if (r.right() > view.right()) across_->setValue(across_->value() + r.right() - view.right());
  const QRect now = control->geometry().adjusted(-FocusMark::kWidth, -FocusMark::kWidth,
                                                 FocusMark::kWidth, FocusMark::kWidth);
  if (now.top() < 0) down_->setValue(down_->value() + now.top());
  if (now.left() < 0) across_->setValue(across_->value() + now.left());
}

void FormWindow::wheelEvent(QWheelEvent* event) {
  // Wheel turns no control took: a form at its floor scrolls.
  if (scrolls_ && down_ && down_->isVisible()) {
    QCoreApplication::sendEvent(down_, event);
    return;
  }
  QWidget::wheelEvent(event);
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
    // The frame is known from here on: fit again with it.
    Fit();
    host_.Post({spec_.name, 0, ui::event::kStarted, 0});
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ui::qt
