#include "app/qt/window_start.h"

#include <dlfcn.h>

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <cstdlib>

#include "app/gui/window.h"
#include "app/qt/qt_gui.h"

namespace app::qt {
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

// Opens and closes a connection the way the platform plugin would, through
// the client library the plugin itself links.
bool CanConnect(const char* library, const char* connect, const char* failed,
                const char* disconnect) {
  void* handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return false;
  bool ok = false;
  if (failed == nullptr) {  // Wayland: a null display is the failure
    using Connect = void* (*)(const char*);
    using Disconnect = void (*)(void*);
    auto open = reinterpret_cast<Connect>(::dlsym(handle, connect));
    auto close = reinterpret_cast<Disconnect>(::dlsym(handle, disconnect));
    if (open && close) {
      if (void* display = open(nullptr)) {
        ok = true;
        close(display);
      }
    }
  } else {  // X: a connection object that reports an error
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto open = reinterpret_cast<Connect>(::dlsym(handle, connect));
    auto error = reinterpret_cast<HasError>(::dlsym(handle, failed));
    auto close = reinterpret_cast<Disconnect>(::dlsym(handle, disconnect));
    if (open && error && close) {
      void* connection = open(nullptr, nullptr);
      ok = connection && error(connection) == 0;
      if (connection) close(connection);
    }
  }
  ::dlclose(handle);
  return ok;
}

bool ReachX() {
  return CanConnect("libxcb.so.1", "xcb_connect", "xcb_connection_has_error", "xcb_disconnect");
}

bool ReachWayland() {
  return CanConnect("libwayland-client.so.0", "wl_display_connect", nullptr,
                    "wl_display_disconnect");
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
  const std::string platform = ChoosePlatform();
  if (platform.empty()) return "no display ($DISPLAY and $WAYLAND_DISPLAY are not set)";
  if (!PluginInstalled(platform)) {
    return "Qt's platform plugin \"" + platform + "\" is not installed";
  }
  if (platform == "xcb" && !ReachX()) {
    return "cannot reach the X display \"" + Environment("DISPLAY") + "\"";
  }
  if (platform == "wayland" && !ReachWayland()) {
    return "cannot reach the Wayland display \"" + Environment("WAYLAND_DISPLAY") + "\"";
  }
  return {};
}

}  // namespace app::qt

namespace app::gui {

std::unique_ptr<Gui> OpenWindowBackend(const std::string& programName, std::string& why) {
  why = qt::WhyNoWindow();
  if (!why.empty()) return nullptr;
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
  return std::make_unique<qt::QtGui>(std::move(application));
}

}  // namespace app::gui
