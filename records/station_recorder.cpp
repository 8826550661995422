#include "records/station_recorder.h"

#include <cmath>
#include <utility>

#include "records/digest.h"

namespace records {

namespace {

// A text longer than kTextLimit is kept as its first kTextLimit bytes and a
// note of its length: an answer may be 16 MiB, and the run's memory must
// not grow by copies of it on their way to the disk.
std::string Clip(std::string_view text) {
  if (text.size() <= StationRecorder::kTextLimit) return std::string(text);
  return std::string(text.substr(0, StationRecorder::kTextLimit)) +
         " [cut: " + std::to_string(text.size()) + " bytes in all]";
}

}  // namespace

StationRecorder::StationRecorder(RecordWriter& writer, const Run& run, bool units)
    : writer_(writer), run_(run), units_(units) {}

void StationRecorder::Begin(RunStart start) {
  writer_.Add(std::move(start));
}

void StationRecorder::EnsureUnit() {
  if (!units_ || unitOpen_) return;
  unitOpen_ = true;
  escaped_ = false;
  unitStarted_ = run_.UtcNow();
  writer_.Add(UnitStart{++unit_, unitStarted_});
}

void StationRecorder::CommitUnit(const char* verdict) {
  const int fails = run_.FailCount();
  const bool escaped = escaped_ || run_.Escaped();
  if (!*verdict) verdict = escaped && !run_.UnitJudged() ? "aborted" : fails > 0 ? "fail" : "pass";
  std::vector<std::pair<std::string, std::string>> values = run_.Values();
  for (auto& value : values) value.second = Clip(value.second);
  writer_.Add(UnitEnd{unit_, unitStarted_, run_.UtcNow(), verdict, fails, std::move(values)});
  writer_.Sync();
}

void StationRecorder::EndUnit() {
  if (!std::exchange(unitOpen_, false)) return;
  CommitUnit("");
}

void StationRecorder::OnVerdictShowing(std::string_view /*keyword*/, std::int32_t failCount) {
  EnsureUnit();
  if (!unitOpen_) return;
  CommitUnit(failCount > 0 ? "fail" : "pass");
}

void StationRecorder::OnExchange(const engine::ExchangeVerdict& e) {
  EnsureUnit();
  const char* outcome = !e.replied ? (e.timedOut ? "time-out" : "link error")
                        : e.check == engine::Check::Failed ? "mismatch"
                                                           : "ok";
  writer_.Add(ExchangeRecord{UnitNow(), ++sequence_, run_.DeviceEntry(), Clip(e.command),
                             Clip(e.reply), Clip(e.expected), outcome,
                             std::llround(e.seconds * 1e6), run_.UtcNow()});
}

void StationRecorder::OnVerdict(const autocontrol::ScriptVerdict& v) {
  using Outcome = autocontrol::ScriptVerdict::Outcome;
  EnsureUnit();
  const char* outcome = v.outcome == Outcome::Passed   ? "pass"
                        : v.outcome == Outcome::Failed ? "fail"
                                                       : "esc";
  writer_.Add(VerdictRecord{UnitNow(), std::string(v.keyword), Clip(v.subject), outcome});
  if (v.outcome == Outcome::Escaped) escaped_ = true;
}

void StationRecorder::OnLoopRestart() {
  EndUnit();
}

void StationRecorder::OperatorAnswer(const std::string& prompt, const std::string& answer,
                                     bool passFail, bool escaped) {
  // An ESC that ends the station before a unit began belongs to the run.
  if (!escaped) EnsureUnit();
  escaped_ = escaped_ || (escaped && unitOpen_);
  writer_.Add(AnswerRecord{UnitNow(), Clip(prompt), Clip(answer),
                           escaped    ? "esc"
                           : passFail ? "pass/fail"
                                      : "input"});
}

void StationRecorder::DeviceNotAvailable(const std::string& entry, const std::string& reason) {
  EnsureUnit();
  writer_.Add(ExchangeRecord{UnitNow(), ++sequence_, entry, "", reason, "", "not available", 0,
                             run_.UtcNow()});
}

void StationRecorder::ResultFile(const records::ResultFile& file) {
  const bool written = file.failure.empty();
  writer_.Add(FileRecord{UnitNow(), Clip(file.path), file.kind, file.number,
                         written ? static_cast<std::int64_t>(file.content.size()) : 0,
                         written ? Sha256Hex(file.content) : "", Clip(file.failure)});
}

void StationRecorder::End(RunEnd end) {
  if (std::exchange(ended_, true)) return;
  EndUnit();
  writer_.Add(std::move(end));
  writer_.Sync();
}

}  // namespace records
