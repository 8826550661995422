#include "ui/headless/clock.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <limits>
#include <thread>

namespace ui::headless {
namespace {

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

constexpr double kNever = std::numeric_limits<double>::infinity();

}  // namespace

Clock::Clock(Time time) : time_(time), realStart_(SteadySeconds()) {}

double Clock::Now() const {
  return time_ == Time::Virtual ? virtualNow_ : SteadySeconds() - realStart_;
}

void Clock::Delay(double seconds) {
  if (!(seconds > 0)) return;
  if (time_ == Time::Virtual) {
    virtualNow_ += seconds;
  } else {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
}

void Clock::Advance(double seconds) {
  if (time_ == Time::Virtual && seconds > 0) virtualNow_ += seconds;
}

void Clock::Start(const std::string& form, int timer, double seconds) {
  if (!(seconds > 0)) seconds = 0.001;
  timers_[{form, timer}] = Timer{seconds, Now() + seconds};
}

void Clock::Stop(const std::string& form, int timer) {
  timers_.erase({form, timer});
}

void Clock::StopAll(const std::string& form) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    it = it->first.first == form ? timers_.erase(it) : std::next(it);
  }
}

bool Clock::Running(const std::string& form, int timer) const {
  return timers_.count({form, timer}) != 0;
}

std::vector<Clock::TimerKey> Clock::TakeDue() {
  const double now = Now();
  std::vector<TimerKey> due;
  for (auto& [key, timer] : timers_) {
    if (timer.due > now) continue;
    timer.due = now + timer.interval;
    due.push_back(key);
  }
  return due;
}

double Clock::NextDue() const {
  double next = kNever;
  for (const auto& [key, timer] : timers_) next = std::min(next, timer.due);
  return next;
}

bool Clock::WaitForNextTimer(bool polling) {
  const double next = NextDue();
  if (time_ == Time::Virtual) {
    if (next == kNever) return false;
    if (next > virtualNow_) virtualNow_ = next;
    return true;
  }
  if (!polling && next == kNever) return false;
  const double wait = std::min(next - Now(), 0.01);
  if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
  return true;
}

}  // namespace ui::headless
