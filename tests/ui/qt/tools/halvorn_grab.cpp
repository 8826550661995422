// halvorn-grab OUT.png [WINDOW-ID]: saves the X screen, or one window with its frame, as a PNG
// (for the screenshot script and the window tests under Xvfb).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: halvorn-grab OUT.png [WINDOW-ID]\n");
    return 2;
  }
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  QGuiApplication application(argc, argv);
  const WId window = argc > 2 ? static_cast<WId>(std::strtoull(argv[2], nullptr, 0)) : 0;
  QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "halvorn-grab: cannot grab or save %s\n", argv[1]);
    return 1;
  }
  return 0;
}
