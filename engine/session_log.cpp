#include "engine/session_log.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/files.h"

namespace engine {

namespace {

// A stamp is "YYYY-MM-DDTHH:MM:SS.mmm+hh:mm" and a space, 30 bytes; the
// date is its first ten bytes, the milliseconds bytes 20 to 22.
constexpr std::size_t kDateBytes = 10;
constexpr std::size_t kMillisAt = 20;
constexpr std::size_t kStampBytes = 30;
// Waiting lines are written at once past this size, flush point or not.
constexpr std::size_t kWriteAt = 256u << 10;
// How long a log that cannot be written waits before the next try.
constexpr std::int64_t kRetryMillis = 1000;

std::int64_t SecondOf(std::int64_t unixMillis) {
  return unixMillis >= 0 ? unixMillis / 1000 : (unixMillis - 999) / 1000;
}

}  // namespace

SessionLog::SessionLog(std::string folder, Clock clock, Report report, std::uint64_t fileLimit)
    : folder_(std::move(folder)),
      clock_(std::move(clock)),
      report_(std::move(report)),
      fileLimit_(fileLimit) {}

SessionLog::~SessionLog() {
  report_ = nullptr;
  if (!waiting_.Empty()) WriteWaiting();
}

void SessionLog::Stamp(const platform::LocalTime& time) {
  stampUntil_ = stampFrom_;  // how long it holds is for the caller to say
  const std::int64_t second = SecondOf(time.unixMillis);
  if (second != stampSecond_ || time.utcOffsetMinutes != stampOffset_) {
    stamp_ = platform::IsoTimestamp(time) + ' ';
    stampSecond_ = second;
    stampOffset_ = time.utcOffsetMinutes;
    return;
  }
  stamp_[kMillisAt] = static_cast<char>('0' + time.millisecond / 100);
  stamp_[kMillisAt + 1] = static_cast<char>('0' + time.millisecond / 10 % 10);
  stamp_[kMillisAt + 2] = static_cast<char>('0' + time.millisecond % 10);
}

void SessionLog::Entry(std::string_view text) {
  if (text.empty()) return;
  Stamp(clock_());
  Add(text);
}

void SessionLog::EntryAt(std::string_view text, double hostNow) {
  if (text.empty()) return;
  if (!(hostNow >= stampFrom_ && hostNow < stampUntil_)) {
    const platform::LocalTime time = clock_();
    Stamp(time);
    // The host's clock was read before the wall clock, so the millisecond
    // ends no earlier on it than this: the stamp is never late.
    stampFrom_ = hostNow;
    stampUntil_ = hostNow + (1'000'000 - time.nanoseconds) * 1e-9;
  }
  Add(text);
}

void SessionLog::Add(std::string_view text) {
  // Each line of the entry (a reply may hold several) is a line of the log;
  // a last line without its line break is one too. This runs for every
  // entry of a fast exchange: a line is copied in place after its stamp.
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = next;
    const std::size_t size = stamp_.size() + line.size() + 1;
    if (waiting_.Size() + size > kSessionLogWaitingLimit && !MakeRoom(size)) continue;
    if (waiting_.Empty()) {
      oneDay_ = true;
    } else if (oneDay_ && std::memcmp(waiting_.View().data(), stamp_.data(), kDateBytes) != 0) {
      oneDay_ = false;
    }
    char* out = waiting_.Room(size);
    // A stamp's size is known but in the years past 9999: a copy of a known
    // size is a few moves, not a call.
    if (stamp_.size() == kStampBytes) {
      std::memcpy(out, stamp_.data(), kStampBytes);
    } else {
      std::memcpy(out, stamp_.data(), stamp_.size());
    }
    out += stamp_.size();
    std::memcpy(out, line.data(), line.size());
    out += line.size();
    *out++ = '\n';
    waiting_.Grown(out);
  }
  // A long run between flush points (a line of thousands of commands on a
  // fast link) is written as it goes: the waiting lines are for a log that
  // cannot be written, never a reason to give lines up.
  if (!failing_ && !flushing_ && waiting_.Size() >= kWriteAt) {
    flushing_ = true;
    if (!WriteWaiting()) nextTry_ = clock_().unixMillis + kRetryMillis;
    flushing_ = false;
  }
}

bool SessionLog::MakeRoom(std::size_t size) {
  if (size > kSessionLogWaitingLimit) {
    ++lost_;
    return false;
  }
  // The oldest waiting lines make room, counted, so the log says what it
  // lacks when it is written again.
  const std::string_view waiting = waiting_.View();
  std::size_t cut = 0;
  while (waiting.size() - cut + size > kSessionLogWaitingLimit) {
    cut = waiting.find('\n', cut) + 1;
    ++lost_;
  }
  waiting_.DropFront(cut);
  return true;
}

void SessionLog::Lines::Prepend(std::string_view text) {
  Room(text.size());
  std::memmove(bytes_.get() + text.size(), bytes_.get(), size_);
  std::memcpy(bytes_.get(), text.data(), text.size());
  size_ += text.size();
}

void SessionLog::Lines::DropFront(std::size_t n) {
  std::memmove(bytes_.get(), bytes_.get() + n, size_ - n);
  size_ -= n;
}

void SessionLog::Lines::Reserve(std::size_t n) {
  const std::size_t capacity = std::max(n, capacity_ * 2);
  std::unique_ptr<char[]> bytes(new char[capacity]);
  if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
  bytes_ = std::move(bytes);
  capacity_ = capacity;
}

void SessionLog::Flush() {
  if (flushing_) return;
  flushing_ = true;
  if (!waiting_.Empty() || lost_ > 0) {
    const std::int64_t now = clock_().unixMillis;
    if (!failing_ || now >= nextTry_) {
      if (lost_ > 0) {
        // Where the lost lines were, in the time of the first line kept.
        if (waiting_.Empty()) Stamp(clock_());
        const std::string_view waiting = waiting_.View();
        const std::string stamp(waiting.empty() ? stamp_
                                                : waiting.substr(0, waiting.find(' ') + 1));
        waiting_.Prepend(stamp + "[session log: " + std::to_string(lost_) +
                         " lines could not be written]\n");
        unreported_ += lost_;
        lost_ = 0;
      }
      if (WriteWaiting()) {
        if (failing_) {
          failing_ = false;
          toTell_.push_back(
              "The session log is written again, to " + file_.Path() +
              (unreported_ > 0 ? "; " + std::to_string(unreported_) + " lines were lost" : ""));
        }
        unreported_ = 0;
      } else {
        nextTry_ = now + kRetryMillis;
      }
    }
  }
  flushing_ = false;
  std::vector<std::string> reports = std::move(toTell_);
  toTell_.clear();
  if (report_) {
    for (const std::string& text : reports) report_(text);
  }
}

bool SessionLog::WriteWaiting() {
  if (file_.IsOpen() && !file_.StillAtPath()) {
    toTell_.push_back("The session log " + file_.Path() +
                      " was removed or moved away; the log goes on in a new file");
    file_.Close();
  }
  while (!waiting_.Empty()) {
    const std::string_view waiting = waiting_.View();
    const std::string_view day = waiting.substr(0, kDateBytes);
    if (file_.IsOpen() && day != fileDay_) file_.Close();  // midnight
    if (!file_.IsOpen() && !OpenFile()) return false;
    const std::uint64_t room = fileLimit_ > file_.Size() ? fileLimit_ - file_.Size() : 0;
    // The lines of this day that fit; a line longer than the limit goes
    // into a file of its own.
    std::size_t end = 0;
    if (oneDay_ && waiting.size() <= room) {
      end = waiting.size();  // the common case: all of them, without a look at each
    } else {
      while (end < waiting.size() && waiting.compare(end, kDateBytes, day) == 0) {
        const std::size_t next = waiting.find('\n', end) + 1;
        if (next > room && !(end == 0 && file_.Size() == 0)) break;
        end = next;
      }
    }
    if (end == 0) {
      file_.Close();  // full
      continue;
    }
    if (const platform::Result<> written = file_.Append(waiting.substr(0, end)); !written) {
      Fail(written.Text());
      return false;
    }
    waiting_.DropFront(end);
  }
  return true;
}

bool SessionLog::OpenFile() {
  if (!platform::DirectoryExists(folder_)) {
    if (const platform::Result<> made = platform::CreateDirectory(folder_); !made) {
      Fail(made.Text());
      return false;
    }
  }
  // "session-2026-12-08-140307": the date and time of the file's first line.
  const std::string_view waiting = waiting_.View();
  const std::string day(waiting.substr(0, kDateBytes));
  std::string name = "session-" + day + "-";
  for (std::size_t i = kDateBytes + 1; i < kDateBytes + 9; ++i) {
    if (waiting[i] != ':') name += waiting[i];
  }
  for (int n = 1; n <= 999; ++n) {
    const std::string path =
        platform::JoinPath(folder_, name + (n == 1 ? "" : "-" + std::to_string(n)) + ".log");
    const platform::Result<> created = file_.Create(path);
    if (created) {
      fileDay_ = day;
      return true;
    }
    if (created.Kind() != platform::ResultKind::CallerMistake) {
      Fail(created.Text());
      return false;
    }
  }
  Fail("no free name for " + platform::JoinPath(folder_, name + ".log"));
  return false;
}

void SessionLog::Fail(const std::string& why) {
  if (!failing_) {
    toTell_.push_back("The session log cannot be written (" + why +
                      "); the display goes on, and the log is written again when it can be");
  }
  failing_ = true;
}

}  // namespace engine
