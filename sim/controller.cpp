#include "sim/controller.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

#include "platform/text.h"

namespace sim {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Speeds are held to this many pulses per second whatever HSPD says, so that
// positions stay exact in a double and within 64 bits for years of jogging.
constexpr double kMaxSpeed = 1e9;

// A whole decimal integer with an optional sign, blanks around it allowed.
bool ReadInteger(const std::string& text, std::int64_t& value) {
  std::string t = platform::TrimBlanks(text);
  const char* begin = t.data();
  const char* end = t.data() + t.size();
  if (begin != end && *begin == '+') {
    ++begin;
    if (begin != end && *begin == '-') return false;
  }
  if (begin == end) return false;
  auto [stop, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && stop == end;
}

bool AddOverflows(std::int64_t a, std::int64_t b) {
  return b > 0 ? a > std::numeric_limits<std::int64_t>::max() - b
               : a < std::numeric_limits<std::int64_t>::min() - b;
}

// a + delta (a whole number of pulses), held at the ends of the 64-bit range.
std::int64_t SaturatingAdd(std::int64_t a, double delta) {
  if (delta >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (delta <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  auto step = static_cast<std::int64_t>(delta);
  if (AddOverflows(a, step)) {
    return step > 0 ? std::numeric_limits<std::int64_t>::max()
                    : std::numeric_limits<std::int64_t>::min();
  }
  return a + step;
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Controller::Controller() : Controller(Options{}) {}

Controller::Controller(Options options) : options_(std::move(options)) {
  if (!options_.clock) options_.clock = SteadySeconds;
}

double Controller::Now() const {
  return options_.clock();
}

Controller::Ramps Controller::CurrentRamps() const {
  Ramps r;
  r.high = static_cast<double>(hspd_);
  if (r.high < 1) r.high = 1;
  if (r.high > kMaxSpeed) r.high = kMaxSpeed;
  r.low = static_cast<double>(lspd_);
  if (r.low < 0) r.low = 0;
  if (r.low > r.high) r.low = r.high;
  double span = r.high - r.low;
  r.accel = acc_ > 0 && span > 0 ? span / (static_cast<double>(acc_) / 1000.0) : kInfinity;
  r.decel = dec_ > 0 && span > 0 ? span / (static_cast<double>(dec_) / 1000.0) : kInfinity;
  return r;
}

double Controller::Travelled(double now, double* speed, int* phase) const {
  double distance = 0;
  if (speed) *speed = 0;
  if (phase) *phase = 0;
  for (const Segment& s : segments_) {
    double elapsed = now - s.start;
    if (elapsed < 0) elapsed = 0;
    bool inside = elapsed < s.duration;
    double t = inside ? elapsed : s.duration;
    distance += s.speed * t + 0.5 * s.accel * t * t;
    if (inside) {
      if (speed) *speed = s.speed + s.accel * t;
      if (phase) {
        *phase = s.accel > 0   ? kStatusAccelerating
                 : s.accel < 0 ? kStatusDecelerating
                               : kStatusConstantSpeed;
      }
      break;
    }
  }
  // A move never passes its target, whatever rounding did to the sum.
  return distance < limit_ ? distance : limit_;
}

std::int64_t Controller::PositionAt(double now) const {
  if (segments_.empty()) return position_;
  double travelled = Travelled(now, nullptr, nullptr);
  const Segment& last = segments_.back();
  bool finished = !std::isinf(last.duration) && now >= last.start + last.duration;
  // A move that ran its whole profile ends exactly on its target, whatever
  // rounding did to the sum of its pieces.
  if (finished && !jog_ && !cut_) return target_;
  return SaturatingAdd(position_, direction_ * std::floor(travelled + 1e-9));
}

void Controller::Update(double now) {
  if (segments_.empty()) return;
  const Segment& last = segments_.back();
  if (std::isinf(last.duration) || now < last.start + last.duration) return;
  position_ = PositionAt(now);
  segments_.clear();
  jog_ = false;
}

void Controller::StartMotion(int direction, double distance, bool jog, double now) {
  aborted_ = false;
  cut_ = false;
  direction_ = direction;
  jog_ = jog;
  limit_ = jog ? kInfinity : distance;
  segments_.clear();
  Ramps r = CurrentRamps();
  if (options_.instant) {
    if (jog) segments_.push_back({now, kInfinity, r.high, 0});
    return;
  }
  double t = now;
  auto add = [&](double duration, double speed, double accel) {
    if (!(duration > 0)) return;
    segments_.push_back({t, duration, speed, accel});
    t += duration;
  };
  if (jog) {
    if (!std::isinf(r.accel)) add((r.high - r.low) / r.accel, r.low, r.accel);
    add(kInfinity, r.high, 0);
    return;
  }
  if (!(distance > 0)) return;
  double rampUp = std::isinf(r.accel) ? 0 : (r.high * r.high - r.low * r.low) / (2 * r.accel);
  double rampDown = std::isinf(r.decel) ? 0 : (r.high * r.high - r.low * r.low) / (2 * r.decel);
  double peak = r.high;
  if (rampUp + rampDown > distance) {
    // Too short to reach top speed: the ramps meet at the speed where their
    // distances add up to the move.
    double inverse =
        (std::isinf(r.accel) ? 0 : 1 / r.accel) + (std::isinf(r.decel) ? 0 : 1 / r.decel);
    peak = std::sqrt(r.low * r.low + 2 * distance / inverse);
    rampUp = std::isinf(r.accel) ? 0 : (peak * peak - r.low * r.low) / (2 * r.accel);
    rampDown = distance - rampUp;
  }
  if (!std::isinf(r.accel)) add((peak - r.low) / r.accel, r.low, r.accel);
  add((distance - rampUp - rampDown) / peak, peak, 0);
  if (!std::isinf(r.decel)) add((peak - r.low) / r.decel, peak, -r.decel);
}

void Controller::Halt(double now) {
  position_ = PositionAt(now);
  segments_.clear();
  jog_ = false;
}

void Controller::StopRamp(double now) {
  if (segments_.empty()) return;
  double speed = 0;
  int phase = 0;
  Travelled(now, &speed, &phase);
  Ramps r = CurrentRamps();
  if (phase == kStatusDecelerating && !jog_) return;  // already coming down to the target
  if (options_.instant || std::isinf(r.decel) || speed <= r.low) {
    Halt(now);
    return;
  }
  // Cut the profile at this moment and finish with a ramp down to LSPD.
  std::vector<Segment> kept;
  for (const Segment& s : segments_) {
    if (s.start >= now) break;
    Segment cut = s;
    if (now < s.start + s.duration) cut.duration = now - s.start;
    kept.push_back(cut);
    if (now <= s.start + s.duration) break;
  }
  kept.push_back({now, (speed - r.low) / r.decel, speed, -r.decel});
  segments_ = std::move(kept);
  jog_ = false;
  cut_ = true;
}

std::int64_t Controller::Position() {
  std::lock_guard<std::mutex> lock(mutex_);
  double now = Now();
  Update(now);
  return PositionAt(now);
}

int Controller::Status() {
  std::lock_guard<std::mutex> lock(mutex_);
  double now = Now();
  Update(now);
  int phase = 0;
  if (!segments_.empty()) Travelled(now, nullptr, &phase);
  return phase | (jog_ ? kStatusJogging : 0) | (incremental_ ? kStatusIncremental : 0) |
         (aborted_ ? kStatusAborted : 0);
}

std::string Controller::Execute(const std::string& command) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ExecuteLocked(platform::TrimBlanks(command));
}

std::string Controller::ExecuteLocked(const std::string& command) {
  double now = Now();
  Update(now);
  const bool moving = !segments_.empty();

  for (auto [name, field] : {std::pair<const char*, std::int64_t*>{"LSPD", &lspd_},
                             {"HSPD", &hspd_},
                             {"ACC", &acc_},
                             {"DEC", &dec_},
                             {"EO", &eo_}}) {
    std::string n(name);
    if (command == n) return std::to_string(*field);
    if (command.compare(0, n.size() + 1, n + "=") == 0) {
      std::int64_t value;
      if (!ReadInteger(command.substr(n.size() + 1), value)) return "?VALUE";
      *field = value;
      return "OK";
    }
  }

  if (command == "ID") return options_.identity;
  if (command == "ABS" || command == "INC") {
    incremental_ = command == "INC";
    return "OK";
  }
  if (command == "PX") return std::to_string(PositionAt(now));
  if (command.compare(0, 3, "PX=") == 0) {
    std::int64_t value;
    if (!ReadInteger(command.substr(3), value)) return "?VALUE";
    if (moving) return "?BUSY";
    position_ = value;
    return "OK";
  }
  if (command == "PS") {
    double speed = 0;
    if (moving) Travelled(now, &speed, nullptr);
    return std::to_string(static_cast<std::int64_t>(speed));
  }
  if (command == "MST" || command == "STAT") {
    int phase = 0;
    double speed = 0;
    if (moving) Travelled(now, &speed, &phase);
    int status = phase | (jog_ ? kStatusJogging : 0) | (incremental_ ? kStatusIncremental : 0) |
                 (aborted_ ? kStatusAborted : 0);
    if (command == "MST") return std::to_string(status);
    return std::to_string(PositionAt(now)) + ":" +
           std::to_string(static_cast<std::int64_t>(speed)) + ":" + std::to_string(status);
  }
  if (command == "STOP") {
    StopRamp(now);
    return "OK";
  }
  if (command == "ABORT") {
    if (moving) {
      Halt(now);
      aborted_ = true;
    }
    return "OK";
  }
  if (command == "JX+" || command == "JX-") {
    if (moving) return "?BUSY";
    StartMotion(command == "JX+" ? 1 : -1, 0, true, now);
    return "OK";
  }
  if (!command.empty() && command[0] == 'X') {
    std::int64_t value;
    if (!ReadInteger(command.substr(1), value)) return "?VALUE";
    if (incremental_ && AddOverflows(position_, value)) return "?VALUE";
    if (moving) return "?BUSY";
    target_ = incremental_ ? position_ + value : value;
    // In floating point: the distance may need all 64 bits and more.
    double distance = static_cast<double>(target_) - static_cast<double>(position_);
    StartMotion(distance < 0 ? -1 : 1, std::fabs(distance), false, now);
    if (segments_.empty()) position_ = target_;
    return "OK";
  }
  return "?UNKNOWN";
}

}  // namespace sim
