#include "ui/qt/window_start.h"

#include <dlfcn.h>

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <cstdlib>

#include "ui/contract/window.h"
#include "ui/qt/qt_gui.h"

namespace ui::qt {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

bool PluginInstalled(const std::string& platform) {
  QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1String("/platforms"));
  const QString name = QString::fromStdString(platform);
  return plugins.exists(QStringLiteral("libq%1.so").arg(name)) ||
         plugins.exists(QStringLiteral("libq%1-generic.so").arg(name));
}

// A connection to the display, made the way the platform plugin makes its
// own, through the client library the plugin itself links. It stays open
// until Qt has connected: an X server whose last client leaves resets and
// refuses connections for a moment, so a probe closed at once would make
// Qt's own connection fail on a display nobody else uses (Xvfb).
class DisplayConnection {
 public:
  // X: xcb_connect, xcb_connection_has_error, xcb_disconnect.
  // Wayland: wl_display_connect (null on failure), wl_display_disconnect.
  DisplayConnection(const char* library, const char* connect, const char* failed,
                    const char* disconnect) {
    library_ = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!library_) return;
    close_ = reinterpret_cast<Close>(::dlsym(library_, disconnect));
    void* open = ::dlsym(library_, connect);
    if (!close_ || !open) return;
    if (failed == nullptr) {
      connection_ = reinterpret_cast<void* (*)(const char*)>(open)(nullptr);
      return;
    }
    auto error = reinterpret_cast<int (*)(void*)>(::dlsym(library_, failed));
    connection_ = reinterpret_cast<void* (*)(const char*, int*)>(open)(nullptr, nullptr);
    if (connection_ && (!error || error(connection_) != 0)) {
      close_(connection_);
      connection_ = nullptr;
    }
  }
  ~DisplayConnection() {
    if (connection_) close_(connection_);
    if (library_) ::dlclose(library_);
  }
  DisplayConnection(const DisplayConnection&) = delete;
  DisplayConnection& operator=(const DisplayConnection&) = delete;
  bool Open() const { return connection_ != nullptr; }

 private:
  using Close = void (*)(void*);
  void* library_ = nullptr;
  void* connection_ = nullptr;
  Close close_ = nullptr;
};

std::unique_ptr<DisplayConnection> Connect(const std::string& platform) {
  if (platform == "xcb") {
    return std::make_unique<DisplayConnection>("libxcb.so.1", "xcb_connect",
                                               "xcb_connection_has_error", "xcb_disconnect");
  }
  if (platform == "wayland") {
    return std::make_unique<DisplayConnection>("libwayland-client.so.0", "wl_display_connect",
                                               nullptr, "wl_display_disconnect");
  }
  return nullptr;  // a platform without a display server (offscreen, vnc ...)
}

bool ReachWayland() {
  auto connection = Connect("wayland");
  return connection->Open();
}

// Why no window can open; `held` keeps the probe's connection open.
std::string Check(std::unique_ptr<DisplayConnection>& held) {
  const std::string platform = ChoosePlatform();
  if (platform.empty()) return "no display ($DISPLAY and $WAYLAND_DISPLAY are not set)";
  if (!PluginInstalled(platform)) {
    return "Qt's platform plugin \"" + platform + "\" is not installed";
  }
  held = Connect(platform);
  if (held && !held->Open()) {
    if (platform == "wayland") {
      return "cannot reach the Wayland display \"" + Environment("WAYLAND_DISPLAY") + "\"";
    }
    return "cannot reach the X display \"" + Environment("DISPLAY") + "\"";
  }
  return {};
}

}  // namespace

std::string ChoosePlatform() {
  std::string asked = Environment("QT_QPA_PLATFORM");
  asked = asked.substr(0, asked.find_first_of(":;"));
  if (!asked.empty()) return asked;
  if (!Environment("WAYLAND_DISPLAY").empty() && PluginInstalled("wayland") && ReachWayland()) {
    return "wayland";
  }
  if (!Environment("DISPLAY").empty()) return "xcb";
  if (!Environment("WAYLAND_DISPLAY").empty()) return "wayland";
  return {};
}

std::string WhyNoWindow() {
  std::unique_ptr<DisplayConnection> probe;
  return Check(probe);
}

}  // namespace ui::qt

namespace ui {

platform::Result<std::unique_ptr<Gui>> OpenWindowBackend(const std::string& programName) {
  std::unique_ptr<qt::DisplayConnection> probe;
  if (std::string why = qt::Check(probe); !why.empty()) {
    return platform::Result<>::Unsupported(std::move(why));
  }
  ::setenv("QT_QPA_PLATFORM", qt::ChoosePlatform().c_str(), 1);
  // Qt keeps references to its arguments for the application's lifetime.
  // The program's own options are read elsewhere, so Qt sees only the name.
  static std::string name;
  static int argc = 1;
  static char* argv[] = {nullptr, nullptr};
  name = programName.empty() ? "halvorn-terminal" : programName;
  argv[0] = name.data();
  auto application = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Halvorn Terminal"));
  QGuiApplication::setDesktopFileName(QStringLiteral("halvorn-terminal"));
  return std::unique_ptr<Gui>(std::make_unique<qt::QtGui>(std::move(application)));
}

}  // namespace ui
