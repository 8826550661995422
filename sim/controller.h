// A simulated one-axis stepper-motor controller: the device a new user meets
// first and the one the tests talk to. The serial simulator program and the
// stand-in access libraries all drive this one model, so a controller behaves
// the same whichever link reaches it.
//
// Commands are ASCII texts, upper case, e.g. "HSPD=5000", "X-9000", "PX".
// Every command gets exactly one reply text:
//
//   LSPD HSPD ACC DEC EO   NAME=value stores any 64-bit integer ("OK");
//                          NAME replies the stored value in decimal.
//                          LSPD and HSPD are start and top speed in pulses per
//                          second, ACC and DEC the milliseconds to ramp
//                          between them, EO the output enable bits.
//   ID                     the identity text.
//   ABS / INC              targets of X are absolute / relative ("OK").
//   X<n>                   moves to n (ABS) or by n (INC) ("OK").
//   JX+ / JX-              jogs at top speed until STOP or ABORT ("OK").
//   STOP                   ramps down at DEC and stops ("OK").
//   ABORT                  stops at once ("OK").
//   PX / PX=<n>            the position in pulses / sets it while at rest.
//   PS                     the present speed in pulses per second.
//   MST                    the status bits (see kStatus...) in decimal.
//   STAT                   "position:speed:status" in one reply.
//
// Error replies: "?UNKNOWN" for a command it does not know, "?VALUE" for a
// value that is not an integer (or a target out of range), "?BUSY" for a move,
// jog or position change while the motor runs.
//
// Moves follow a trapezoidal profile in real time: from LSPD up to HSPD over
// ACC milliseconds, on at HSPD, and down to LSPD over DEC milliseconds,
// ending exactly on the target (a short move peaks below HSPD). With the
// instant option moves end at once, jogs run at HSPD without ramps and STOP
// halts at once, so tests get the same answers every time.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class Controller {
 public:
  // Seconds on a monotonic clock; only differences matter.
  using Clock = std::function<double()>;

  // Status bits of MST. A motor in motion has one of the first three set.
  static constexpr int kStatusAccelerating = 1;
  static constexpr int kStatusDecelerating = 2;
  static constexpr int kStatusConstantSpeed = 4;
  static constexpr int kStatusJogging = 8;
  static constexpr int kStatusIncremental = 16;  // INC mode is in force
  static constexpr int kStatusAborted = 32;      // the last motion ended by ABORT

  struct Options {
    std::string identity = "HALVORN SIM";
    bool instant = false;
    Clock clock;  // the steady clock of the process when empty
  };

  Controller();
  explicit Controller(Options options);
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // Executes one command (blanks around it are ignored) and returns its
  // reply. Safe to call from several threads.
  std::string Execute(const std::string& command);

  std::int64_t Position();
  int Status();

 private:
  // One piece of a motion profile: speed changes linearly from `speed` at
  // rate `accel` (pulses/s^2, signed) for `duration` seconds (infinite for a
  // jog that runs on).
  struct Segment {
    double start;
    double duration;
    double speed;
    double accel;
  };

  struct Ramps {
    double low, high;     // start and top speed
    double accel, decel;  // rates in pulses/s^2; infinity for no ramp
  };

  double Now() const;
  Ramps CurrentRamps() const;
  void Update(double now);  // retires a finished motion
  double Travelled(double now, double* speed, int* phase) const;
  std::int64_t PositionAt(double now) const;
  void StartMotion(int direction, double distance, bool jog, double now);
  void Halt(double now);
  void StopRamp(double now);

  std::string ExecuteLocked(const std::string& command);

  std::mutex mutex_;
  Options options_;
  std::int64_t lspd_ = 1000, hspd_ = 5000, acc_ = 300, dec_ = 300, eo_ = 0;
  bool incremental_ = false;
  bool aborted_ = false;
  std::int64_t position_ = 0;  // at rest, or where the running motion began

  // The running motion: none when `segments_` is empty.
  int direction_ = 1;
  bool jog_ = false;
  double limit_ = 0;         // the distance of a move; infinite for a jog
  std::int64_t target_ = 0;  // where a move ends when nothing stops it
  bool cut_ = false;         // STOP shortened the profile
  std::vector<Segment> segments_;
};

}  // namespace sim
