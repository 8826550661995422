// The terminal display: the scrolling log into which every entry is
// appended. Its text and byte count belong to this object; the window's
// display and byte counter (engine/host.h) only show them.
//
// It starts as the plain kind, cut when it passes 64000 characters, and
// becomes the rich kind once the main window has loaded. The rich kind holds
// up to 33,554,432 characters; past that it drops its oldest lines (a
// quarter of the limit at a time) to make room, so a run of many hours keeps
// showing what is new.
//
// The widget is fed whole entries, not one call per entry: at most every
// 33 ms of the host's clock while entries arrive, and at every flush point:
// the end of each command line, before anything waits (a delay, a dialog,
// reading input) and before anything reads or saves the display. A listener
// (standard output of a headless run) gets every entry as it is appended,
// also those the display drops later, and is flushed at the same flush
// points and at most every 100 ms in between.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/host.h"
#include "platform/result.h"
#include "platform/wall_clock.h"

namespace engine {

enum class DisplayKind : std::int32_t { Plain = 1, Rich = 2 };

// The limit above which the plain display is cut before an append.
inline constexpr std::size_t kPlainDisplayLimit = 64000;
// The rich display's text limit.
inline constexpr std::size_t kRichDisplayLimit = 33554432;
// How often the widget and the listener are fed while entries arrive.
inline constexpr double kWidgetFeedSeconds = 0.033;
inline constexpr double kListenerFlushSeconds = 0.1;

// The plain display's cut: when `text` is longer than the limit, drops
// everything up to the last CR LF whose LF lies at or before the 100th
// character from the end. Shorter texts come back unchanged.
std::string CutPlainText(std::string text);

// What starts each entry when the operator asks for time stamps: nothing,
// the local time of day to the millisecond ("14:03:07.045 "), or the time
// since the previous entry ("+0.105 ", seconds with milliseconds).
enum class TimeStamps { Off, Clock, SincePrevious };

// Another reader of every entry.
class DisplayListener {
 public:
  virtual ~DisplayListener() = default;
  virtual void Entry(std::string_view text) = 0;
  // The same, told `hostNow`, the time of the entry on a host clock that
  // runs with the time of day (Host::RealTime): a reader that needs the time
  // of day of each entry may take it from there.
  virtual void EntryAt(std::string_view text, double /*hostNow*/) { Entry(text); }
  // What was given so far should reach the reader now.
  virtual void Flush() = 0;
};

class TerminalDisplay {
 public:
  explicit TerminalDisplay(Host& host);

  DisplayKind Kind() const { return kind_; }
  // Back to the plain kind (start-up sets this before the window exists).
  void SetPlain() { kind_ = DisplayKind::Plain; }
  // The main window switches once, when it has loaded: the rich display
  // starts with what start-up wrote before it (usually nothing) and the
  // counter shows its size.
  void SwitchToRich();
  void SetListener(DisplayListener* listener) { listener_ = listener; }
  // A second reader (the session log), told every entry and flushed at the
  // same points as the listener; nullptr: none. When the host's clock runs
  // with the time of day, the log is told its reading with each entry.
  void SetLog(DisplayListener* log);

  // Entries from now on start with a time stamp (Off: as they come). The
  // stamp is part of the display's text, its saved text, what a script reads
  // of it and what the listener gets; the log (which stamps every line
  // itself) gets the entry without it.
  void SetTimeStamps(TimeStamps stamps) { stamps_ = stamps; }
  TimeStamps Stamps() const { return stamps_; }
  // The time of day for Clock stamps (tests bring their own).
  void SetWallClock(std::function<platform::LocalTime()> clock) { wallClock_ = std::move(clock); }

  // Appends one entry (built by the reply formatter), keeping the display
  // within its limit.
  void Append(std::string_view entry);
  // The whole text, after feeding the widget what it has not shown yet.
  const std::string& Text();
  std::size_t ByteCount() const { return text_.size(); }
  // Empties the display, redraws it and shows "Bytes: 0".
  void Clear();
  // A flush point: the widget and the listener get everything now.
  void Flush();

 private:
  // `entry` as shown; the session log takes it `unstamped`, its own stamp
  // being the time of day already.
  void AppendText(std::string_view entry, std::string_view unstamped, double now);
  void DropOldestLines(std::size_t incoming);
  void FeedWidget();
  // The widget gets the whole text again, now.
  void ShowWhole();
  void FlushListener();

  Host& host_;
  DisplayKind kind_ = DisplayKind::Plain;
  std::string text_;
  std::string pending_;         // appended since the widget was last fed
  bool replaceWidget_ = false;  // the widget needs the whole text again
  bool countShown_ = true;      // the counter shows the current byte count
  double lastFeed_ = -1e300;
  DisplayListener* listener_ = nullptr;
  bool listenerDirty_ = false;
  TimeStamps stamps_ = TimeStamps::Off;
  std::function<platform::LocalTime()> wallClock_ = platform::LocalTimeNow;
  double lastEntry_ = -1;  // host time of the previous entry; < 0: none yet
  DisplayListener* log_ = nullptr;
  bool logOnHostTime_ = false;  // the log is given the host's time with each entry
  bool logDirty_ = false;
  double lastListenerFlush_ = -1e300;
};

// Writes the display text to `path` as bytes, replacing an existing file
// atomically. A failure says why the file could not be written; the old
// file is then untouched.
platform::Result<> SaveDisplayText(const std::string& path, const std::string& text);

}  // namespace engine
