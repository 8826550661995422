// The run's record in the station database (records/station_db.h): the
// glue between the application's events and the recorder. Where it is kept
// and under which station's name: station/records_settings.h.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/forwarder.h"
#include "records/station_recorder.h"
#include "station/records_settings.h"
#include "station/station_listener.h"

namespace app {

class Application;

// Records the run of an application from its start (StationListener's
// OnStarted) to End().
// How long the end of a run sends its last records to the central database.
inline constexpr double kForwardGraceSeconds = 5;

class StationRecords : public StationListener,
                       public autocontrol::ScriptListener,
                       private records::StationRecorder::Run {
 public:
  // `mode`: the front end ("window", "terminal", "exec", "program"); a run
  // of a start-up script is recorded as "script". `file`: the program file
  // of a --program run, "" for none.
  StationRecords(Application& application, const RecordsSettings& settings, std::string mode,
                 std::string file);
  ~StationRecords() override;
  StationRecords(const StationRecords&) = delete;
  StationRecords& operator=(const StationRecords&) = delete;

  // The run has ended with `exitStatus` (128 + n: signal n).
  void End(int exitStatus);
  // Records that could not be written, or a damaged database set aside:
  // the records need someone's care (the reason has been reported).
  bool NeedCare() const { return writer_ && (writer_->Lost() > 0 || !writer_->SetAside().empty()); }
  // Tells what the forwarder to the central database has to tell, and
  // shows what waits for it after the window's caption; at most twice a
  // second unless `now`.
  void Poll(bool now = false);

  // StationListener
  void OnStarted() override;
  void OnOperatorAnswer(const std::string& prompt, const std::string& answer,
                        bool passFail) override;
  void OnDeviceNotAvailable(const std::string& entry, const std::string& reason) override;
  void OnResultFile(const records::ResultFile& file) override;
  void OnScriptEnded(autocontrol::StepResult result) override;
  // ScriptListener: the writer's first failure is reported at a unit's end.
  void OnLoopRestart() override {
    ReportFailure();
    Poll();
  }

 private:
  // records::StationRecorder::Run
  std::string DeviceEntry() const override;
  int FailCount() const override;
  bool Escaped() const override;
  bool UnitJudged() const override;
  std::vector<std::pair<std::string, std::string>> Values() const override;
  std::string UtcNow() const override;

  void ReportFailure();

  Application& app_;
  std::optional<RecordsSettings> settings_;  // none: no records are kept
  std::string mode_, file_;
  std::unique_ptr<records::RecordWriter> writer_;
  std::unique_ptr<records::StationRecorder> recorder_;
  std::unique_ptr<records::Forwarder> forwarder_;
  std::chrono::steady_clock::time_point lastPoll_;
  bool listening_ = false;
  bool setAsideTold_ = false;
  mutable std::time_t stampSecond_ = -1;  // UtcNow()'s second and its text
  mutable std::string stampText_;
  bool closedByScript_ = false;
  bool endedByEscape_ = false;  // the script ended after ESC
};

}  // namespace app
