// What the two stand-in access libraries share: how they export their entry
// points, how they read the environment, and the test controls every
// stand-in offers besides the makers' entry points.
//
// Both stand-ins answer one extra, test-only entry point,
//
//     int32_t HalvornStandinControl(const char* request, char* answer, int32_t size)
//
// which takes a request text and writes its answer (NUL-terminated, cut to
// `size`) for requests that ask something. It returns 1 when the request was
// understood, 0 when not. Requests common to both stand-ins:
//
//   reset                  back to the state the environment gives: the device
//                          count of its variable, no forced results, no call
//                          counts, terminated buffers, real-time motion unless
//                          HALVORN_SIM_INSTANT=1
//   devices N              N simulated devices with their default names
//   instant 0|1            moves of new devices end at once (1) or in real time
//   result ENTRY VALUE     ENTRY still does its work but returns VALUE
//   count VALUE            the device count reported is VALUE, whatever exists
//   unterminated 0|1       names, product strings and replies fill their
//                          buffers to the last byte, with no NUL
//   calls ENTRY            answers how often ENTRY was called since the reset
//   last-command           answers the last command received, as received
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#if defined(_WIN32)
#define HALVORN_STANDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define HALVORN_STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace sim::standins {

// No stand-in offers more devices than this, whatever the environment says.
inline constexpr int kMaxDevices = 64;

// A device count from the environment variable `name`: 0 when it is unset or
// not a whole number, at most kMaxDevices.
int DevicesFromEnvironment(const char* name);

// HALVORN_SIM_INSTANT=1: the devices' moves end at once.
bool InstantFromEnvironment();

// The text of a buffer of `size` bytes up to its first NUL (all of it when
// there is none).
std::string ReadText(const char* buffer, std::size_t size);

// Writes `text` into a buffer of `size` bytes: cut to size-1 characters and
// NUL-terminated or, when `unterminated`, padded with "~" to fill every byte.
void WriteText(const std::string& text, char* buffer, std::size_t size, bool unterminated);

// Hands a control answer back to the caller's buffer.
void Answer(const std::string& text, char* answer, std::int32_t size);

// The behaviour tests can bend, shared by both stand-ins.
class Behaviour {
 public:
  void Reset();

  // Counts a call of `entry` and gives the result it returns: `natural`
  // unless a test forced another.
  std::int32_t Result(const std::string& entry, std::int32_t natural);
  void Count(const std::string& entry) { ++calls_[entry]; }

  // The device count to report for `real` devices.
  std::int32_t Count(std::int32_t real) const { return countOverride_.value_or(real); }

  bool Unterminated() const { return unterminated_; }
  bool Instant() const { return instant_; }

  // Handles the common requests of a control call; false when `verb` is
  // none of them.
  bool Control(const std::string& verb, const std::string& rest, char* answer, std::int32_t size);

  std::string lastCommand;

 private:
  std::map<std::string, long> calls_;
  std::map<std::string, std::int32_t> forced_;
  std::optional<std::int32_t> countOverride_;
  bool unterminated_ = false;
  bool instant_ = false;
};

// Splits a request into its first word and the rest (one blank after the
// word removed, every other character kept, so texts keep their blanks).
void SplitRequest(const std::string& request, std::string& verb, std::string& rest);

// A whole number at the start of `text`, and what follows it after one blank.
bool TakeNumber(std::string& text, long& value);

}  // namespace sim::standins
