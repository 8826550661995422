#include "station/station_records.h"

#include <pwd.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>

#include "autocontrol/script_file.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "records/digest.h"
#include "screens/main_form.h"
#include "station/application.h"

namespace app {

namespace {

std::string LoginName() {
  if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_name) return user->pw_name;
  return std::to_string(::geteuid());
}

// This boot of the machine: a process id recorded in another boot means nothing now.
std::string BootId() {
  std::string id;
  if (!platform::ReadFile("/proc/sys/kernel/random/boot_id", id)) return "";
  return platform::TrimBlanks(platform::ReplaceAll(id, "\n", ""));
}

// Whether a run left open is another program's that still runs: recorded
// in this boot (`boot`) by a process that is there.
bool Alive(std::int64_t processId, const std::string& bootId, const std::string& boot) {
  if (bootId != boot || processId <= 0) return false;
  return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

// A random (version 4) UUID.
std::string NewUuid() {
  std::random_device random;
  unsigned char b[16];
  for (unsigned char& byte : b) byte = static_cast<unsigned char>(random());
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}

int UtcOffsetMinutes() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<int>(local.tm_gmtoff / 60);
}

// The name of a file for the records: as given, with the data root left out.
std::string Relative(const std::string& path, const std::string& dataRoot) {
  const std::string root = dataRoot.ends_with('/') ? dataRoot : dataRoot + "/";
  return path.starts_with(root) ? path.substr(root.size()) : path;
}

}  // namespace

StationRecords::StationRecords(Application& application, const RecordsSettings& settings,
                               std::string mode, std::string file)
    : app_(application), mode_(std::move(mode)), file_(std::move(file)) {
  if (settings.enabled) settings_ = settings;
  app_.AddListener(*this);
}

StationRecords::~StationRecords() {
  app_.RemoveListener(*this);
  if (!listening_) return;
  app_.RemoveExchangeListener(*recorder_);
  app_.RemoveScriptListener(*recorder_);
  app_.RemoveScriptListener(*this);
}

// The database is opened once the data folders exist.
void StationRecords::OnStarted() {
  if (listening_ || !settings_) return;
  listening_ = true;
  records::WriterSettings writer;
  const std::string root = app_.Folders().GetDataRoot();
  writer.path = !settings_->path.empty()
                    ? settings_->path
                    : platform::DataFolders(root).DataPath("AppResults\\records.db");
  writer.host = platform::HostName();
  writer.station = !settings_->station.empty() ? settings_->station : writer.host;
  writer.alive = [boot = BootId()](std::int64_t processId, const std::string& bootId) {
    return Alive(processId, bootId, boot);
  };
  const std::string database = writer.path, station = writer.station;
  writer_ = std::make_unique<records::RecordWriter>(std::move(writer));
  const bool script = app_.Shell().AutoControlMode;
  std::string file = file_;
  if (script) {
    file = autocontrol::ScriptFilePath(app_.Folders().GetDataRoot(), app_.Shell().ScriptNumber);
  }
  std::string content;
  const bool read = !file.empty() && platform::ReadFile(file, content);
  records::RunStart start{NewUuid(),
                          std::string(kVersionSuffix + 1),
                          script ? "script" : mode_,
                          Relative(file, app_.Folders().GetDataRoot()),
                          read ? records::Sha256Hex(content) : "",
                          LoginName(),
                          UtcNow(),
                          UtcOffsetMinutes(),
                          ::getpid(),
                          BootId()};
  recorder_ = std::make_unique<records::StationRecorder>(
      *writer_, static_cast<const records::StationRecorder::Run&>(*this), script);
  recorder_->Begin(std::move(start));
  app_.AddExchangeListener(*recorder_);
  app_.AddScriptListener(*recorder_);
  app_.AddScriptListener(*this);
  // The forwarder reads what the writer keeps: once the database is open
  // (and brought up to this program's schema), and only if it could be.
  if (!settings_->central.empty()) {
    writer_->Sync();
    if (writer_->Lost() == 0) {
      forwarder_ = std::make_unique<records::Forwarder>(
          records::ForwarderSettings{database, settings_->central, station});
    }
  }
}

void StationRecords::Poll(bool now) {
  if (!forwarder_) return;
  const auto time = std::chrono::steady_clock::now();
  if (!now && time - lastPoll_ < std::chrono::milliseconds(500)) return;
  lastPoll_ = time;
  for (const std::string& report : forwarder_->TakeReports()) app_.ReportRecordError(report);
  const records::Backlog waiting = forwarder_->Waiting();
  app_.SetRecordsNote(waiting.Empty() && waiting.refused == 0
                          ? ""
                          : "central database: " + records::DescribeBacklog(waiting));
}

void StationRecords::OnOperatorAnswer(const std::string& prompt, const std::string& answer,
                                      bool passFail) {
  if (!listening_) return;
  // ESC at a dialog leaves the answer empty and the script's ESC flag set
  // before the answer is told.
  const bool escaped = answer.empty() && Escaped();
  recorder_->OperatorAnswer(prompt, answer, passFail, escaped);
}

void StationRecords::OnDeviceNotAvailable(const std::string& entry, const std::string& reason) {
  if (listening_) recorder_->DeviceNotAvailable(entry, reason);
}

void StationRecords::OnResultFile(const records::ResultFile& file) {
  if (listening_) recorder_->ResultFile(file);
}

void StationRecords::OnScriptEnded(autocontrol::StepResult result) {
  closedByScript_ = result == autocontrol::StepResult::CloseApplication;
  // Read now: the flag may be gone by the run's end.
  endedByEscape_ = Escaped();
}

void StationRecords::End(int exitStatus) {
  if (!listening_) return;
  std::string ending = "end";
  if (exitStatus > 128) {
    ending = "signal " + std::to_string(exitStatus - 128);
  } else if (closedByScript_) {
    ending = "exit";
  } else if (Escaped() || endedByEscape_) {
    ending = "esc";
  }
  recorder_->End({UtcNow(), ending, exitStatus, FailCount()});
  writer_->Finish();
  ReportFailure();
  if (forwarder_) {
    // The run's last records go while the server takes them; a server
    // that is away is not waited for.
    forwarder_->Stop(kForwardGraceSeconds);
    Poll(true);
    if (const records::Backlog waiting = forwarder_->Waiting(); !waiting.Empty()) {
      app_.ReportRecordError("For the central database, " + records::DescribeBacklog(waiting) +
                             " in the station's records; they go at the next start");
    }
  }
}

void StationRecords::ReportFailure() {
  if (!writer_) return;
  if (const std::string moved = writer_->SetAside(); !moved.empty() && !setAsideTold_) {
    setAsideTold_ = true;
    app_.ReportRecordError("The station's records database was damaged: it was moved aside to " +
                           moved + " and a new one was started");
  }
  if (const std::optional<std::string> failure = writer_->TakeFailure()) {
    app_.ReportRecordError("The station's records are not being kept: " + *failure);
  }
}

std::string StationRecords::DeviceEntry() const {
  return app_.SelectedDevice();
}

bool StationRecords::UnitJudged() const {
  return app_.Script().State().UnitJudged;
}

int StationRecords::FailCount() const {
  return app_.PlainCapture().FailCount;
}

bool StationRecords::Escaped() const {
  return app_.Script().State().EscFlag;
}

std::vector<std::pair<std::string, std::string>> StationRecords::Values() const {
  std::vector<std::pair<std::string, std::string>> values;
  const auto add = [&values](char bank, const std::array<std::string, 9>& texts) {
    for (std::size_t n = 0; n < texts.size(); ++n) {
      if (!texts[n].empty()) values.emplace_back(bank + std::to_string(n + 1), texts[n]);
    }
  };
  add('V', app_.Script().State().ScriptVariables);
  add('R', app_.PlainCapture().ScriptReplies);
  add('C', app_.Script().State().ScriptConstants);
  return values;
}

std::string StationRecords::UtcNow() const {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  // Every exchange is stamped: the date and time are formatted once a second.
  if (now.tv_sec != stampSecond_) {
    std::tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    char text[32];
    stampText_.assign(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc));
    stampSecond_ = now.tv_sec;
  }
  const int milliseconds = static_cast<int>(now.tv_usec / 1000);
  std::string stamp = stampText_;
  stamp += {'.', static_cast<char>('0' + milliseconds / 100),
            static_cast<char>('0' + milliseconds / 10 % 10),
            static_cast<char>('0' + milliseconds % 10), 'Z'};
  return stamp;
}

}  // namespace app
