// The window, measured beside the headless backend in the same run. The
// display platform is X11 through Xvfb: a private server the benchmark
// starts itself when $DISPLAY is unset (it needs no other display).
//
//  (a) Start: process start to the main window on screen (its first map on
//      the X server), with 20 language files and 130 devices (64 HID boards,
//      64 USB controllers from the stand-ins, 2 serial ports), against the
//      headless program's start-up to its device list (--list-devices).
//      Target: at most 500 ms for the window.
//  (b) A line of 100,000 commands on a zero-latency link in show mode 1,
//      in this process on the Qt backend and on the headless backend: the
//      event loop's longest gap and 99th percentile (the lateness of a 10 ms
//      probe timer; targets 50 ms and 20 ms), display repaints a second
//      (target 60), ESC to "ABORT" at the link (target 100 ms), cost per
//      command (target 25 us), the last 10 % of the entries against the
//      first 10 % (target 1.3), the display text (widget and core the same;
//      the core's text the headless run's, exchange times aside, which are
//      measured), memory growth (target 100 MB), and the cost per command
//      again with the session log on (target: at most 5 % more, the median
//      ratio of pairs of runs with and without it, side by side).
//  (c) Idle: CPU of the window program with nothing to do, beside the
//      headless line terminal waiting for input. Target: 1 % of a core.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "screens/main_form.h"
#include "station/application.h"
#include "ui/headless/headless_gui.h"
#include "ui/qt/qt_gui.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU time of this thread: the work of the line itself, whatever else the
// shared machine runs meanwhile.
double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

// ---------------------------------------------------------------------------
// Processes and the X server

struct Child {
  pid_t pid = 0;
  int input = -1;  // its standard input, kept open while it runs
};

Child Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  int in[2];
  if (::pipe(in)) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, in[0]);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  std::vector<std::string> env = extraEnv;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  Child child;
  if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    child.pid = 0;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  child.input = in[1];
  return child;
}

void Stop(Child& child) {
  if (child.pid > 0) {
    ::kill(child.pid, SIGTERM);
    ::waitpid(child.pid, nullptr, 0);
  }
  if (child.input >= 0) ::close(child.input);
  child = {};
}

// CPU seconds a process has used so far.
double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::string field;
  for (std::size_t i = close + 2; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == ' ') {
      fields.push_back(field);
      field.clear();
    } else {
      field += line[i];
    }
  }
  // utime and stime are fields 14 and 15 of the whole line, 12 and 13 here.
  if (fields.size() < 13) return 0;
  return static_cast<double>(std::stol(fields[11]) + std::stol(fields[12])) /
         static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A private Xvfb, chosen by the server itself (-displayfd), when there is
// no display.
struct XServer {
  Child server;
  bool Start() {
    if (std::getenv("DISPLAY")) return true;
    int fds[2];
    if (::pipe(fds)) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 5);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string args[] = {"/usr/bin/Xvfb", "-displayfd", "5",  "-screen", "0",
                          "1280x1024x24",  "-nolisten",  "tcp"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const bool ok = posix_spawn(&server.pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char number[16] = {};
    pollfd p{fds[0], POLLIN, 0};
    if (!ok || ::poll(&p, 1, 10000) <= 0 || ::read(fds[0], number, sizeof number - 1) <= 0) {
      ::close(fds[0]);
      return false;
    }
    ::close(fds[0]);
    ::setenv("DISPLAY", (":" + std::string(number, std::strcspn(number, "\n"))).c_str(), 1);
    return true;
  }
  ~XServer() { Stop(server); }
};

// Watches the X server for the next top-level window to be mapped.
class MapWatch {
 public:
  MapWatch() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_)) return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
  }
  ~MapWatch() { xcb_disconnect(connection_); }
  // Seconds until a window is mapped, or a negative value after `limit`.
  double WaitForMap(double start, double limit) {
    while (Now() - start < limit) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const bool mapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY;
        std::free(event);
        if (mapped) return Now() - start;
      }
      pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
      ::poll(&p, 1, 5);
    }
    return -1;
  }

 private:
  xcb_connection_t* connection_;
};

// A data folder with 20 language files and two serial ports.
std::string MakeDataRoot(const fs::path& bin) {
  char root[] = "/tmp/halvorn-window-bench-XXXXXX";
  if (!::mkdtemp(root)) return {};
  fs::create_directories(fs::path(root) / "AppLanguages");
  fs::create_directories(fs::path(root) / "AppConfig");
  const fs::path german = bin / "demo-data" / "AppLanguages" / "terminal_de.lng";
  for (int i = 0; i < 20; ++i) {
    const std::string name = "terminal_" + std::string(1, static_cast<char>('a' + i)) + "0.lng";
    fs::copy_file(german, fs::path(root) / "AppLanguages" / name);
  }
  std::ofstream(fs::path(root) / "AppConfig" / "COMM_Ports.cfg")
      << "Axis 01 {/tmp/halvorn-bench-no-port-1:115200}\r\n"
      << "Axis 02 {/tmp/halvorn-bench-no-port-2:115200}\r\n";
  return root;
}

const std::vector<std::string> kDevices{"HALVORN_SIM_HID_BOARDS=64",
                                        "HALVORN_SIM_USB_CONTROLLERS=64"};

void MeasureStart(const std::string& program, const std::string& root) {
  std::vector<double> window, headless;
  for (int run = 0; run < 5; ++run) {
    MapWatch watch;
    const double start = Now();
    Child child = Spawn({program, "--data-root", root}, kDevices);
    window.push_back(watch.WaitForMap(start, 10));
    Stop(child);
    const double begin = Now();
    Child list = Spawn({program, "--headless", "--list-devices", "--data-root", root}, kDevices);
    ::close(list.input);
    ::waitpid(list.pid, nullptr, 0);
    headless.push_back(Now() - begin);
  }
  std::printf("(a) start, 20 languages, 130 devices (median of 5, max):\n");
  std::printf("    window:   %6.0f ms, max %6.0f ms (target <= 500 ms)\n", Median(window) * 1e3,
              *std::max_element(window.begin(), window.end()) * 1e3);
  std::printf("    headless: %6.0f ms to its device list\n", Median(headless) * 1e3);
  std::printf("    ratio window / headless: %.2f\n", Median(window) / Median(headless));
}

void MeasureIdle(const std::string& program, const std::string& root) {
  MapWatch watch;
  const double start = Now();
  Child window = Spawn({program, "--data-root", root}, kDevices);
  watch.WaitForMap(start, 10);
  Child headless = Spawn({program, "--headless", "--data-root", root}, kDevices);
  ::usleep(1000000);  // both settled
  const double w0 = CpuSeconds(window.pid), h0 = CpuSeconds(headless.pid), t0 = Now();
  ::usleep(5000000);
  const double seconds = Now() - t0;
  const double w = (CpuSeconds(window.pid) - w0) / seconds * 100;
  const double h = (CpuSeconds(headless.pid) - h0) / seconds * 100;
  const bool running = ::kill(window.pid, 0) == 0 && ::kill(headless.pid, 0) == 0;
  Stop(window);
  Stop(headless);
  std::printf(
      "(c) idle for %.0f s: window %.2f %% of a core (target <= 1 %%), headless %.2f %%%s\n",
      seconds, w, h, running ? "" : " (a program had ended: not measured)");
}

// ---------------------------------------------------------------------------
// (b) one long line in this process

class InstantLink : public devices::Transport {
 public:
  std::function<void(int count, const std::string& command)> onCommand;
  int count = 0;
  std::vector<std::string> ListEntries() override { return {"Bench Board"}; }
  platform::Result<devices::LinkHandle> Open(const std::string&) override {
    return devices::LinkHandle{1};
  }
  devices::LinkStatus SendReceive(devices::LinkHandle, const std::string& command,
                                  std::string& reply) override {
    reply = "OK";
    ++count;
    if (onCommand) onCommand(count, command);
    return devices::LinkStatus::Ok;
  }
  devices::LinkStatus Close(devices::LinkHandle) override { return devices::LinkStatus::Ok; }
};

struct LineRun {
  double seconds = 0, cpu = 0, first10 = 0, last10 = 0;  // first10, last10: CPU
  long memoryGrowth = 0;
  int commands = 0;
  std::vector<double> gaps;  // lateness of the probe timer
  int repaints = 0;
  double escToAbort = -1;
  std::string coreText, widgetText;
};

constexpr int kCommands = 100000;
// Runs with the session log and without it, each pair side by side: the
// window's, and the headless backend's to each of them.
constexpr int kLogPairs = 7;
constexpr int kHeadlessPairs = 3;

std::string Line() {
  std::string line;
  for (int i = 0; i < kCommands; ++i)
    line += (i ? ",LSPD=" : "LSPD=") + std::to_string(100 + i % 900);
  return line;
}

// Counts the paint events of a widget.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

LineRun RunLine(ui::Gui& gui, ui::qt::QtGui* qt, bool pressEscape, bool sessionLog = false) {
  namespace tmain = app::tmain;
  LineRun run;
  const long memoryBefore = ResidentBytes();
  auto link = std::make_shared<InstantLink>();
  devices::DeviceRegistry registry;
  registry.SetTransport(devices::LinkKind::Hid, link);
  char root[] = "/tmp/halvorn-window-line-XXXXXX";
  if (!::mkdtemp(root)) return run;
  {
    app::Application application(gui, platform::DataFolders(root), registry);
    application.Start();
    application.SetSessionLog(sessionLog);
    for (int i = 0; i < 20; ++i) gui.DoEvents();
    gui.SetText({app::kMainForm, tmain::kCommandEntry}, Line());

    std::vector<double> marks(11, 0);
    double escAt = 0;
    link->onCommand = [&](int count, const std::string& command) {
      if (count % (kCommands / 10) == 1) {
        marks[static_cast<std::size_t>(count / (kCommands / 10))] = ThreadCpu();
      }
      if (count == kCommands) marks[10] = ThreadCpu();
      if (command == "ABORT" && escAt > 0) run.escToAbort = Now() - escAt;
      if (pressEscape && qt && count == kCommands / 5) {
        // The operator presses ESC: a key event for the window, handled at
        // the engine's next pumping point.
        QWidget* form = qt->FormWidget(app::kMainForm);
        QWidget* target = form->focusWidget() ? form->focusWidget() : form;
        QCoreApplication::postEvent(
            target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        escAt = Now();
      }
    };
    QTimer probe;
    PaintCounter counter;
    double last = 0;
    if (qt) {
      probe.setTimerType(Qt::PreciseTimer);
      QObject::connect(&probe, &QTimer::timeout, [&] {
        const double now = Now();
        if (last > 0) run.gaps.push_back(std::max(0.0, now - last - 0.010));
        last = now;
      });
      auto* display =
          static_cast<QAbstractScrollArea*>(qt->ControlWidget({app::kMainForm, tmain::kDisplay}));
      display->viewport()->installEventFilter(&counter);
      probe.start(10);
    }
    const double start = Now(), startCpu = ThreadCpu();
    gui.PostEvent({app::kMainForm, tmain::kEnterKey}, ui::event::kClick, 0);
    gui.DoEvents();  // delivers Enter, which runs the whole line
    run.seconds = Now() - start;
    run.cpu = ThreadCpu() - startCpu;
    for (int i = 0; i < 5; ++i) gui.DoEvents();
    probe.stop();
    run.repaints = counter.paints;
    run.commands = link->count;
    run.first10 = marks[1] - marks[0];
    run.last10 = marks[10] - marks[9];
    run.memoryGrowth = ResidentBytes() - memoryBefore;
    run.coreText = application.DisplayText();
    run.widgetText = gui.Text({app::kMainForm, tmain::kDisplay});
    gui.UnloadForm(app::kMainForm);
  }
  fs::remove_all(root);
  return run;
}

// The display text with its measured exchange times left out.
std::string WithoutTimes(const std::string& text) {
  static const std::regex time(R"( \([0-9.]*ms\))");
  return std::regex_replace(text, time, " (ms)");
}

// The median run by CPU time, with the most memory any of them grew (the
// first run finds the allocator empty).
LineRun Middle(std::vector<LineRun> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const LineRun& a, const LineRun& b) { return a.cpu < b.cpu; });
  LineRun middle = runs[runs.size() / 2];
  for (const LineRun& r : runs) middle.memoryGrowth = std::max(middle.memoryGrowth, r.memoryGrowth);
  return middle;
}

void PrintLogCost(const LineRun& windowLog, const std::vector<double>& windowRatios,
                  const LineRun& headlessLog, const std::vector<double>& headlessRatios) {
  std::printf(
      "    with the session log (median of the pairs' ratios, their range in brackets; "
      "target <= 1.05):\n");
  for (const auto& [label, run, ratios] :
       {std::tuple("window:", &windowLog, &windowRatios),
        std::tuple("headless:", &headlessLog, &headlessRatios)}) {
    std::printf(
        "    %-9s %5.2f us a command, %.3f of the cost without it [%.3f .. %.3f], %zu pairs\n",
        label, run->cpu / kCommands * 1e6, Median(*ratios),
        *std::min_element(ratios->begin(), ratios->end()),
        *std::max_element(ratios->begin(), ratios->end()), ratios->size());
  }
}

void MeasureLine() {
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  int argc = 1;
  char name[] = "bench_window";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  ui::qt::QtGui qt;
  ui::headless::HeadlessGui headlessGui(ui::headless::HeadlessGui::Time::Real);
  // Pairs of runs, one with the session log on and one without, side by
  // side, which of them comes first alternating from pair to pair. The log's
  // cost is the median of the pairs' ratios: a pair's runs see the same
  // state of the shared machine, where runs far apart differ by more than
  // the log costs. A headless run is short and swings with what the other
  // core runs, so it has three pairs to each of the window's. The other
  // figures are those of the median run without the log.
  std::vector<LineRun> windows, headlesses, windowLogs, headlessLogs;
  std::vector<double> windowRatios, headlessRatios;
  for (int pair = 0; pair < kLogPairs; ++pair) {
    for (const bool log : {pair % 2 == 1, pair % 2 == 0}) {
      (log ? windowLogs : windows).push_back(RunLine(qt, &qt, false, log));
    }
    windowRatios.push_back(windowLogs.back().cpu / windows.back().cpu);
    for (int i = 0; i < kHeadlessPairs; ++i) {
      for (const bool log : {i % 2 == 1, i % 2 == 0}) {
        (log ? headlessLogs : headlesses).push_back(RunLine(headlessGui, nullptr, false, log));
      }
      headlessRatios.push_back(headlessLogs.back().cpu / headlesses.back().cpu);
    }
  }
  const LineRun window = Middle(windows), headless = Middle(headlesses);
  const LineRun windowLog = Middle(windowLogs), headlessLog = Middle(headlessLogs);
  const LineRun escape = RunLine(qt, &qt, true);

  std::printf("(b) one line of %d commands, zero-latency link, show mode 1, platform %s:\n",
              kCommands, QGuiApplication::platformName().toLatin1().constData());
  std::printf(
      "    event loop gaps: longest %.1f ms (target <= 50), 99th percentile %.1f ms "
      "(target <= 20), %zu probes\n",
      Percentile(window.gaps, 1.0) * 1e3, Percentile(window.gaps, 0.99) * 1e3, window.gaps.size());
  std::printf("    display repaints: %.0f a second (target <= 60)\n",
              window.repaints / window.seconds);
  std::printf(
      "    ESC to ABORT at the link: %.1f ms (target <= 100), line stopped after %d "
      "of %d commands\n",
      escape.escToAbort * 1e3, escape.commands - 1, kCommands);
  std::printf(
      "    (median of %d window and %d headless runs; cost and the tenths in this thread's CPU "
      "time; memory: the most any run grew)\n",
      kLogPairs, kLogPairs * kHeadlessPairs);
  for (const auto* r : {&window, &headless}) {
    std::printf(
        "    %-9s %5.2f us a command (target <= 25; %.2f us of wall time), last 10 %% / "
        "first 10 %% = %.2f (target <= 1.3), memory +%ld MB (target <= 100)\n",
        r == &window ? "window:" : "headless:", r->cpu / kCommands * 1e6,
        r->seconds / kCommands * 1e6, r->last10 / r->first10, r->memoryGrowth >> 20);
  }
  std::printf("    window / headless cost per command: %.2f\n", window.cpu / headless.cpu);
  PrintLogCost(windowLog, windowRatios, headlessLog, headlessRatios);
  std::printf(
      "    display: widget %s core (%zu bytes); core %s headless run (exchange times "
      "aside)\n",
      window.widgetText == window.coreText ? "==" : "!=", window.coreText.size(),
      WithoutTimes(window.coreText) == WithoutTimes(headless.coreText) ? "==" : "!=");
}

}  // namespace

int main() {
  const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
  const std::string program = (bin / "halvorn-terminal").string();
  XServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "bench_window: no display and no Xvfb\n");
    return 1;
  }
  ::setenv("XDG_RUNTIME_DIR", ("/tmp/halvorn-bench-xdg-" + std::to_string(::getuid())).c_str(), 0);
  fs::create_directories(std::getenv("XDG_RUNTIME_DIR"));
  fs::permissions(std::getenv("XDG_RUNTIME_DIR"), fs::perms::owner_all);
  std::printf("display %s (X11 through Xvfb unless $DISPLAY was set)\n", std::getenv("DISPLAY"));
  const std::string root = MakeDataRoot(bin);
  MeasureStart(program, root);
  MeasureIdle(program, root);
  fs::remove_all(root);
  MeasureLine();
  return 0;
}
