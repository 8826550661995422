#include "support/private_postgres.h"

#include <glob.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/files.h"
#include "records/central_store.h"
#include "support/child_process.h"

namespace testing_support {

PrivatePostgres::PrivatePostgres() {
  glob_t found{};
  if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0 && found.gl_pathc > 0) {
    bin_ = found.gl_pathv[found.gl_pathc - 1];
    bin_.resize(bin_.size() - std::string("/initdb").size());
  }
  ::globfree(&found);
  if (bin_.empty()) {
    trouble_ =
        "no PostgreSQL server programs under /usr/lib/postgresql (scripts/deps.sh installs them)";
    return;
  }
  if (::getuid() == 0) {
    const passwd* user = ::getpwnam("postgres");
    if (user == nullptr || ::chown(folder_.Path().c_str(), user->pw_uid, user->pw_gid) != 0) {
      trouble_ = "the postgres user cannot have the test's folder";
      return;
    }
  }
  const ProcessResult made =
      RunProcess(AsServerUser({bin_ + "/initdb", "-D", folder_ / "data", "-U", "halvorn", "-A",
                               "trust", "--no-sync", "-E", "UTF8", "--locale=C"}));
  if (made.exitCode != 0) {
    trouble_ = "initdb failed: " + made.err;
    return;
  }
  Start();
}

PrivatePostgres::~PrivatePostgres() {
  Stop();
}

std::vector<std::string> PrivatePostgres::AsServerUser(std::vector<std::string> argv) const {
  if (::getuid() == 0) argv.insert(argv.begin(), {"/usr/sbin/runuser", "-u", "postgres", "--"});
  return argv;
}

void PrivatePostgres::Start() {
  const ProcessResult started = RunProcess(
      AsServerUser({bin_ + "/pg_ctl", "-D", folder_ / "data", "-l", folder_ / "log", "-w", "-t",
                    "60", "-o", "-k " + folder_.Path() + " -c listen_addresses='' -F", "start"}));
  running_ = started.exitCode == 0;
  if (!running_) trouble_ = "the server did not start: " + started.err + Read(folder_ / "log");
}

void PrivatePostgres::Stop() {
  if (!running_) return;
  RunProcess(
      AsServerUser({bin_ + "/pg_ctl", "-D", folder_ / "data", "-m", "immediate", "-w", "stop"}));
  running_ = false;
}

std::string PrivatePostgres::Url(const std::string& db, const std::string& user) const {
  return "postgresql:///" + db + "?host=" + folder_.Path() + "&user=" + user;
}

std::pair<int, std::string> PrivatePostgres::PsqlAs(const std::string& user,
                                                    const std::string& sql) const {
  const ProcessResult run = RunProcess({"/usr/bin/psql", "-X", "-A", "-t", "-q", "-v",
                                        "ON_ERROR_STOP=1", "-d", Url("postgres", user), "-c", sql});
  return {run.exitCode, run.err};
}

std::string PrivatePostgres::Psql(const std::string& sql, const std::string& db) const {
  const ProcessResult run = RunProcess(
      {"/usr/bin/psql", "-X", "-A", "-t", "-q", "-v", "ON_ERROR_STOP=1", "-d", Url(db), "-c", sql});
  EXPECT_EQ(run.exitCode, 0) << sql << ": " << run.err;
  return run.out;
}

void PrivatePostgres::MakeCentral() {
  if (!trouble_.empty()) return;
  auto store = records::CentralStore::Connect(Url());
  ASSERT_TRUE(store && (*store)->Migrate()) << store.Text();
  const std::string docs = Read(std::string(HALVORN_SOURCE_DIR) + "/docs/records.md");
  const std::size_t roles = docs.find("CREATE ROLE halvorn_station");
  ASSERT_NE(roles, std::string::npos);
  Psql(docs.substr(roles, docs.find("```", roles) - roles));
}

void PrivatePostgres::RequirePassword(const std::string& user, const std::string& password) {
  Psql("CREATE ROLE " + user + " LOGIN PASSWORD '" + password + "'");
  const std::string hba = folder_ / "data/pg_hba.conf";
  ASSERT_TRUE(platform::WriteFileAtomic(hba, "local all " + user + " scram-sha-256\n" + Read(hba)));
  RunProcess(AsServerUser({bin_ + "/pg_ctl", "-D", folder_ / "data", "-w", "reload"}));
}

}  // namespace testing_support
