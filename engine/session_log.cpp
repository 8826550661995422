#include "engine/session_log.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/files.h"

namespace engine {

namespace {

// A stamp is "YYYY-MM-DDTHH:MM:SS.mmm+hh:mm" and a space, 30 bytes; the
// date is its first ten bytes, the milliseconds bytes 20 to 22.
constexpr std::size_t kDateBytes = 10;
constexpr std::size_t kMillisAt = 20;
// An entry kept as it came is its size (four bytes, this machine's order)
// and its bytes; with this bit in the size, the bytes are the stamp of the
// entries after it.
constexpr std::uint32_t kStampRecord = 0x8000'0000u;
constexpr std::size_t kEntryRecordLimit = kStampRecord - 1;
// Waiting lines are written at once past this size, flush point or not.
constexpr std::size_t kWriteAt = 256u << 10;
// How long a log that cannot be written waits before the next try.
constexpr std::int64_t kRetryMillis = 1000;

// Each line of an entry (a reply may hold several) is a line of the log,
// without its CR; a last line without its line break is one too.
template <typename Each>
void ForEachLine(std::string_view text, Each each) {
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = next;
    each(line);
  }
}

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
  Collect(true);
  ExpandEntries();
  if (!waiting_.Empty()) WriteWaiting();
  if (writer_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    writer_.join();
  }
}

std::string SessionLog::CurrentFile() {
  Collect(true);
  return file_.Path();
}

void SessionLog::Stamp(const platform::LocalTime& time) {
  stampUntil_ = stampFrom_;  // how long it holds is for the caller to say
  stampChanged_ = true;
  const std::int64_t second = SecondOf(time.unixMillis);
  if (second != stampSecond_ || time.utcOffsetMinutes != stampOffset_) {
    stamp_ = platform::IsoTimestamp(time) + ' ';
    stampSecond_ = second;
    stampOffset_ = time.utcOffsetMinutes;
    // Only a new second can bring a new date: the waiting lines are looked
    // at here, not at every line.
    if (oneDay_ && !waiting_.Empty() &&
        std::memcmp(waiting_.View().data(), stamp_.data(), kDateBytes) != 0) {
      oneDay_ = false;
    }
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
  if (!failing_ && inFlight_ && entries_.Size() >= kSessionLogWaitingLimit) {
    // The writer is behind, not failing: wait for it rather than give
    // lines up.
    Collect(true);
    if (!failing_) HandOver();
  }
  if (failing_ || text.size() > kEntryRecordLimit) {
    ExpandEntries();  // the entries before it go first
    AddLines(text);
    return;
  }
  // This runs for every entry of a fast exchange: the entry is kept as it
  // came, after its size, and the stamp only when it changed. The lines
  // are made of them when they are written, on the writer thread for a long
  // run between flush points.
  if (stampChanged_ || entries_.Empty()) {
    PutRecord(kStampRecord, stamp_);
    stampChanged_ = false;
  }
  PutRecord(0, text);
  // A long run between flush points (a line of thousands of commands on a
  // fast link) is written as it goes: what waits in memory is for a log
  // that cannot be written, never a reason to give lines up.
  if (!flushing_ && entries_.Size() >= kWriteAt) {
    Collect(false);
    if (!inFlight_ && !failing_) HandOver();
  }
}

void SessionLog::PutRecord(std::uint32_t kind, std::string_view bytes) {
  const std::uint32_t header = kind | static_cast<std::uint32_t>(bytes.size());
  char* out = entries_.Room(sizeof header + bytes.size());
  std::memcpy(out, &header, sizeof header);
  std::memcpy(out + sizeof header, bytes.data(), bytes.size());
  entries_.Grown(out + sizeof header + bytes.size());
}

void SessionLog::AddLines(std::string_view text) {
  if (waiting_.Empty()) oneDay_ = true;
  ForEachLine(text, [this](std::string_view line) {
    const std::size_t size = stamp_.size() + line.size() + 1;
    if (waiting_.Size() + size > kSessionLogWaitingLimit && !MakeRoom(size)) return;
    if (waiting_.Empty()) oneDay_ = true;
    PutLine(waiting_, stamp_, line);
  });
}

void SessionLog::PutLine(Lines& lines, std::string_view stamp, std::string_view line) {
  char* out = lines.Room(stamp.size() + line.size() + 1);
  std::memcpy(out, stamp.data(), stamp.size());
  out += stamp.size();
  std::memcpy(out, line.data(), line.size());
  out += line.size();
  *out++ = '\n';
  lines.Grown(out);
}

void SessionLog::MakeLines(std::string_view records, Lines& lines, bool& oneDay) {
  if (lines.Empty()) oneDay = true;
  std::string_view stamp;
  for (std::size_t at = 0; at < records.size();) {
    std::uint32_t header = 0;
    std::memcpy(&header, records.data() + at, sizeof header);
    const std::string_view bytes = records.substr(at + sizeof header, header & ~kStampRecord);
    at += sizeof header + bytes.size();
    if (header & kStampRecord) {
      stamp = bytes;
      if (oneDay && !lines.Empty() &&
          std::memcmp(lines.View().data(), stamp.data(), kDateBytes) != 0) {
        oneDay = false;
      }
      continue;
    }
    ForEachLine(bytes, [&](std::string_view line) { PutLine(lines, stamp, line); });
  }
}

void SessionLog::ExpandEntries() {
  if (entries_.Empty()) return;
  MakeLines(entries_.View(), waiting_, oneDay_);
  entries_.DropFront(entries_.Size());
}

void SessionLog::HandOver() {
  if (!writer_.joinable()) {
    try {
      writer_ = std::thread([this] { WriterLoop(); });
    } catch (const std::system_error&) {
      // No thread to be had (a process limit): the lines are written here.
      ExpandEntries();
      if (!WriteWaiting()) nextTry_ = clock_().unixMillis + kRetryMillis;
      return;
    }
  }
  std::swap(entries_, batchEntries_);
  batchOutcome_ = {};
  inFlight_ = true;
  batchDone_.store(false, std::memory_order_relaxed);
  {
    const std::lock_guard lock(mutex_);
    batchReady_ = true;
  }
  wake_.notify_one();
}

void SessionLog::WriterLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return batchReady_ || stop_; });
    if (!batchReady_) return;
    batchReady_ = false;
    lock.unlock();
    bool oneDay = true;
    MakeLines(batchEntries_.View(), batch_, oneDay);
    batchEntries_.DropFront(batchEntries_.Size());
    WriteLines(batch_, oneDay, batchOutcome_);
    lock.lock();
    batchDone_.store(true, std::memory_order_release);
    done_.notify_one();
  }
}

void SessionLog::Collect(bool wait) {
  if (!inFlight_) return;
  if (!batchDone_.load(std::memory_order_acquire)) {
    if (!wait) return;
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return batchDone_.load(std::memory_order_acquire); });
  }
  inFlight_ = false;
  for (std::string& note : batchOutcome_.notes) toTell_.push_back(std::move(note));
  if (!batch_.Empty()) {
    // Older than the entries that came meanwhile: they go first again, and
    // those wait as lines until the log can be written.
    waiting_.Prepend(batch_.View());
    batch_.DropFront(batch_.Size());
    oneDay_ = false;  // not known; the writer looks at each line's date
    ExpandEntries();
    Fail(batchOutcome_.why);
    nextTry_ = clock_().unixMillis + kRetryMillis;
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
  Collect(true);
  ExpandEntries();
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
  Outcome outcome;
  const bool written = WriteLines(waiting_, oneDay_, outcome);
  for (std::string& note : outcome.notes) toTell_.push_back(std::move(note));
  if (!written) Fail(outcome.why);
  return written;
}

bool SessionLog::WriteLines(Lines& lines, bool oneDay, Outcome& outcome) {
  if (file_.IsOpen() && !file_.StillAtPath()) {
    outcome.notes.push_back("The session log " + file_.Path() +
                            " was removed or moved away; the log goes on in a new file");
    file_.Close();
  }
  while (!lines.Empty()) {
    const std::string_view waiting = lines.View();
    const std::string_view day = waiting.substr(0, kDateBytes);
    if (file_.IsOpen() && day != fileDay_) file_.Close();  // midnight
    if (!file_.IsOpen() && !OpenFile(waiting, outcome)) return false;
    const std::uint64_t room = fileLimit_ > file_.Size() ? fileLimit_ - file_.Size() : 0;
    // The lines of this day that fit; a line longer than the limit goes
    // into a file of its own.
    std::size_t end = 0;
    if (oneDay && waiting.size() <= room) {
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
      outcome.why = written.Text();
      return false;
    }
    lines.DropFront(end);
  }
  return true;
}

bool SessionLog::OpenFile(std::string_view waiting, Outcome& outcome) {
  if (!platform::DirectoryExists(folder_)) {
    if (const platform::Result<> made = platform::CreateDirectory(folder_); !made) {
      outcome.why = made.Text();
      return false;
    }
  }
  // "session-2026-12-08-140307": the date and time of the file's first line.
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
      outcome.why = created.Text();
      return false;
    }
  }
  outcome.why = "no free name for " + platform::JoinPath(folder_, name + ".log");
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
