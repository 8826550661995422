#include "sim/standins/standin.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace sim::standins {

int DevicesFromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return 0;
  std::string value(text);
  long count = 0;
  if (!TakeNumber(value, count) || !value.empty() || count < 0) return 0;
  return static_cast<int>(std::min<long>(count, kMaxDevices));
}

bool InstantFromEnvironment() {
  const char* text = std::getenv("HALVORN_SIM_INSTANT");
  return text != nullptr && std::strcmp(text, "1") == 0;
}

std::string ReadText(const char* buffer, std::size_t size) {
  return std::string(buffer, ::strnlen(buffer, size));
}

void WriteText(const std::string& text, char* buffer, std::size_t size, bool unterminated) {
  if (size == 0) return;
  if (unterminated) {
    std::memset(buffer, '~', size);
    std::memcpy(buffer, text.data(), std::min(text.size(), size));
    return;
  }
  std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

void Answer(const std::string& text, char* answer, std::int32_t size) {
  if (answer != nullptr && size > 0) {
    WriteText(text, answer, static_cast<std::size_t>(size), false);
  }
}

void Behaviour::Reset() {
  calls_.clear();
  forced_.clear();
  countOverride_.reset();
  unterminated_ = false;
  instant_ = InstantFromEnvironment();
  lastCommand.clear();
}

std::int32_t Behaviour::Result(const std::string& entry, std::int32_t natural) {
  Count(entry);
  auto forced = forced_.find(entry);
  return forced != forced_.end() ? forced->second : natural;
}

bool Behaviour::Control(const std::string& verb, const std::string& rest, char* answer,
                        std::int32_t size) {
  std::string text = rest;
  long value = 0;
  if (verb == "calls") {
    auto found = calls_.find(rest);
    Answer(std::to_string(found != calls_.end() ? found->second : 0), answer, size);
    return true;
  }
  if (verb == "last-command") {
    Answer(lastCommand, answer, size);
    return true;
  }
  if (verb == "result") {
    std::size_t blank = text.find(' ');
    if (blank == std::string::npos) return false;
    std::string entry = text.substr(0, blank);
    text.erase(0, blank + 1);
    if (!TakeNumber(text, value)) return false;
    forced_[entry] = static_cast<std::int32_t>(value);
    return true;
  }
  if (!TakeNumber(text, value)) return false;
  if (verb == "count") {
    countOverride_ = static_cast<std::int32_t>(value);
  } else if (verb == "unterminated") {
    unterminated_ = value != 0;
  } else if (verb == "instant") {
    instant_ = value != 0;
  } else {
    return false;
  }
  return true;
}

void SplitRequest(const std::string& request, std::string& verb, std::string& rest) {
  std::size_t blank = request.find(' ');
  verb = request.substr(0, blank);
  rest = blank == std::string::npos ? std::string() : request.substr(blank + 1);
}

bool TakeNumber(std::string& text, long& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto [stop, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || (stop != end && *stop != ' ')) return false;
  std::size_t used = static_cast<std::size_t>(stop - begin);
  text.erase(0, used < text.size() ? used + 1 : used);
  return true;
}

}  // namespace sim::standins
