// The headless backend's time and timers. Virtual time stands still until
// something waits (a delay, or a run with nothing else to do) and then jumps
// to the next due timer, so a script of minutes runs in microseconds and
// every run is the same; real time is the steady clock.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ui::headless {

class Clock {
 public:
  enum class Time { Real, Virtual };
  using TimerKey = std::pair<std::string, int>;  // a form and its timer

  explicit Clock(Time time);

  Time Kind() const { return time_; }
  // Seconds since the clock started.
  double Now() const;
  // Virtual time moves on at once; real time is slept.
  void Delay(double seconds);
  // Virtual time moves on; real time is not touched.
  void Advance(double seconds);

  // A timer ticks every `seconds` (a tiny interval for none or less).
  void Start(const std::string& form, int timer, double seconds);
  void Stop(const std::string& form, int timer);
  // Every timer of `form` stops (the form went away).
  void StopAll(const std::string& form);
  bool Running(const std::string& form, int timer) const;
  // The timers due now, each one set to its next due time.
  std::vector<TimerKey> TakeDue();
  // Waits until the next timer is due (virtual time jumps to it). Real time
  // waits at most 10 ms when `polling`, so what the caller polls is noticed
  // promptly. False when nothing would ever come: no timer, and no polling
  // in real time.
  bool WaitForNextTimer(bool polling);

 private:
  struct Timer {
    double interval = 0;
    double due = 0;
  };
  double NextDue() const;

  Time time_;
  double virtualNow_ = 0;
  double realStart_ = 0;
  std::map<TimerKey, Timer> timers_;
};

}  // namespace ui::headless
