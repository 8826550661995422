// The session log: every line the terminal display is given (exchanges and
// messages alike) is appended to a file in the display's save folder, each
// line after the local time it arrived as ISO 8601 with milliseconds and the
// offset from UTC:
//
//   2026-12-08T14:03:07.045+01:00 LSPD=500 ...
//
// Files are named "session-<date>-<time>.log" after their first line; a new
// one starts at local midnight and before a file would pass its size limit
// (64 MiB). Lines are gathered in memory and written at the display's flush
// points, or as soon as 256 KiB wait, each batch whole or not at all, so a
// file always ends with a whole line. The batches of a long run between
// flush points are written by a thread of the log's own, beside the run;
// a flush point waits for it and writes the rest itself, so when it returns
// every line is in the file or its trouble is known.
//
// A log that cannot be written (a full disk, a folder that is not writable
// or has gone) never holds up the display: the trouble is reported once,
// the lines wait in memory (up to kWaitingLimit bytes; beyond that the
// oldest are counted and dropped), and writing is tried again at most once a
// second. When it succeeds the report says so, and a line in the log says
// how many lines were lost.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/terminal_display.h"
#include "platform/append_file.h"
#include "platform/wall_clock.h"

namespace engine {

inline constexpr std::uint64_t kSessionLogFileLimit = 64ull << 20;
// Lines kept in memory while the log cannot be written.
inline constexpr std::size_t kSessionLogWaitingLimit = 4u << 20;

class SessionLog : public DisplayListener {
 public:
  using Clock = std::function<platform::LocalTime()>;
  // Told what the operator must learn about the log (it cannot be written,
  // it writes again); never called from inside Entry().
  using Report = std::function<void(const std::string& text)>;

  SessionLog(std::string folder, Clock clock, Report report,
             std::uint64_t fileLimit = kSessionLogFileLimit);
  // Writes what is waiting (without reports: the listeners may be gone).
  ~SessionLog() override;
  SessionLog(const SessionLog&) = delete;
  SessionLog& operator=(const SessionLog&) = delete;

  void Entry(std::string_view text) override;
  // An entry shown at `hostNow` (seconds) on a host clock that runs with the
  // time of day (engine/host.h: RealTime). The wall clock is read again only
  // once that clock has left the millisecond of its last reading: until then
  // the stamp is the same, and a reading for every entry would cost a large
  // part of a fast exchange.
  void EntryAt(std::string_view text, double hostNow) override;
  void Flush() override;

  // The file written now ("" before the first one); waits for the writer.
  std::string CurrentFile();
  // Bytes waiting to be written (lines, and entries as they came).
  std::size_t WaitingBytes() const { return waiting_.Size() + entries_.Size(); }

 private:
  class Lines;
  // What writing lines met: the reports it makes, and why it stopped.
  struct Outcome {
    std::vector<std::string> notes;
    std::string why;  // empty: every line was written
  };

  void Stamp(const platform::LocalTime& time);
  // `text` kept for the log: as it came while the log writes, as lines
  // (each after the stamp) while it cannot.
  void Add(std::string_view text);
  void AddLines(std::string_view text);
  void PutRecord(std::uint32_t kind, std::string_view bytes);
  static void PutLine(Lines& lines, std::string_view stamp, std::string_view line);
  // The lines of the entries kept as they came (`records`), after `lines`;
  // `oneDay` says whether all of `lines` then have the first one's date.
  static void MakeLines(std::string_view records, Lines& lines, bool& oneDay);
  // The entries kept as they came become waiting lines.
  void ExpandEntries();
  // Room for a line of `size` bytes where the waiting lines are at their
  // limit; false when the line is given up.
  bool MakeRoom(std::size_t size);
  // Writes the waiting lines on this thread; false when the log cannot be
  // written now.
  bool WriteWaiting();
  // Writes `lines` (`oneDay`: all of the first one's date) and takes the
  // written ones out; on whichever thread holds the file.
  bool WriteLines(Lines& lines, bool oneDay, Outcome& outcome);
  // A new file for the first of `lines`.
  bool OpenFile(std::string_view lines, Outcome& outcome);
  void Fail(const std::string& why);
  // Hands the entries kept as they came to the writer thread, which makes
  // their lines and writes them (no batch may be there).
  void HandOver();
  // Takes in what the writer made of the batch it was handed, when it is
  // done or (`wait`) once it is; lines it could not write wait again.
  void Collect(bool wait);
  void WriterLoop();

  std::string folder_;
  Clock clock_;
  Report report_;
  std::uint64_t fileLimit_;
  platform::AppendFile file_;
  std::string fileDay_;  // "YYYY-MM-DD" of the open file's lines
  // Bytes for the log: whole stamped lines, each ending with LF, or entries
  // as they came. Bytes are copied in for every entry of a fast exchange:
  // the buffer grows without zeroing what is about to be written over and
  // without a library call per piece.
  class Lines {
   public:
    Lines() = default;
    Lines(Lines&&) = default;
    Lines& operator=(Lines&&) = default;
    std::string_view View() const { return {bytes_.get(), size_}; }
    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    // Room for `n` more bytes at the end, to be written and then taken in
    // with Grown(their end).
    char* Room(std::size_t n) {
      if (capacity_ - size_ < n) Reserve(size_ + n);
      return bytes_.get() + size_;
    }
    void Grown(const char* end) { size_ = static_cast<std::size_t>(end - bytes_.get()); }
    void Prepend(std::string_view text);
    void DropFront(std::size_t n);

   private:
    void Reserve(std::size_t n);
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0, capacity_ = 0;
  };
  Lines waiting_;
  bool oneDay_ = true;  // the waiting lines all have the first one's date
  // Entries kept as they came, after the waiting lines; none while the log
  // cannot be written.
  Lines entries_;
  bool stampChanged_ = true;  // since the last stamp among the entries
  // The stamp of the current second, rewritten only when the second changes.
  std::string stamp_;
  std::int64_t stampSecond_ = -1;
  int stampOffset_ = 0;
  // The span of the host's clock in which the stamp is the time of day to
  // the millisecond (empty: read the wall clock).
  double stampFrom_ = 0, stampUntil_ = 0;
  bool failing_ = false;
  std::int64_t nextTry_ = 0;      // unix milliseconds
  std::uint64_t lost_ = 0;        // given up, not yet counted in the log
  std::uint64_t unreported_ = 0;  // counted in the log, not yet told
  bool flushing_ = false;
  std::vector<std::string> toTell_;  // reports made while writing, told afterwards
  // The writer thread and the batch it holds. Between HandOver and Collect
  // the batch, the file and its day are the writer's alone.
  Lines batchEntries_, batch_;
  Outcome batchOutcome_;
  bool inFlight_ = false;
  std::atomic<bool> batchDone_{false};
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  bool batchReady_ = false, stop_ = false;  // under mutex_
  std::thread writer_;
};

}  // namespace engine
