// The forwarder carries a station's records to a PostgreSQL server of the test's own, logged in
// with the station role of the docs: every row arrives once, also when sent again; a server
// that is away holds nothing up and gets the backlog when it is back; a row it refuses stays.
#include "records/forwarder.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "records/central_store.h"
#include "records/record_writer.h"
#include "support/child_process.h"
#include "support/private_postgres.h"
#include "support/test_folder.h"

namespace {

using namespace records;
using testing_support::PrivatePostgres;
using testing_support::Sqlite;
using testing_support::TestFolder;

std::string Uuid(int n) {
  return "7a4c2f10-0000-4000-8000-" + std::string(12 - std::to_string(n).size(), '0') +
         std::to_string(n);
}

// A server with the central schema and the docs' roles; the station logs in as its role.
struct Server : PrivatePostgres {
  Server() { MakeCentral(); }
  // The rows of run, run_end, unit, unit_end, unit_value, exchange, answer and verdict.
  std::string Counts() const {
    std::string sql;
    for (const char* t :
         {"run", "run_end", "unit", "unit_end", "unit_value", "exchange", "answer", "verdict"})
      sql += (sql.empty() ? "SELECT " : ", ") + std::string("(SELECT count(*) FROM ") + t + ")";
    return Psql(sql);
  }
};

struct Station {
  TestFolder folder;
  std::string db = folder / "records.db";
  // A script's run of `units` units, each with two exchanges (the second's reply `reply`), an
  // answer (its serial number), a verdict and V1; `end`: the run ends.
  void Run(int run, int units, const std::string& reply = "1000", bool end = true) {
    WriterSettings settings;
    settings.path = db;
    settings.station = "Bench 1";
    settings.host = "host-1";
    RecordWriter writer(settings);
    writer.Add(RunStart{Uuid(run), "2.49", "script", "ac_1.txt", "", "op",
                        "2026-12-08T10:00:00.000Z", 60, 1, "boot"});
    for (int unit = 1; unit <= units; ++unit) {
      const std::string serial = "SN-" + std::to_string(run * 100 + unit);
      writer.Add(UnitStart{unit, "2026-12-08T10:01:00.000Z"});
      writer.Add(AnswerRecord{unit, "Serial?", serial, "input"});
      for (const auto& [sequence, got] :
           {std::pair<int, std::string>(2 * unit - 1, "OK"), {2 * unit, reply}})
        writer.Add(ExchangeRecord{unit, sequence, "Axis 01", "PX", got, "", "ok", 800,
                                  "2026-12-08T10:01:30.000Z"});
      writer.Add(VerdictRecord{unit, "[PASSFAILMSG]", "", "pass"});
      writer.Add(UnitEnd{unit, "2026-12-08T10:01:00.000Z", "2026-12-08T10:02:00.000Z", "pass", 0,
                         std::vector<std::pair<std::string, std::string>>{{"V1", serial}}});
    }
    if (end) writer.Add(RunEnd{"2026-12-08T10:03:00.000Z", "end", 0, 0});
    writer.Finish();
    ASSERT_EQ(writer.Lost(), 0);
  }
};

ForwarderSettings Quick(const Station& station, const std::string& central) {
  ForwarderSettings settings{station.db, central, "Bench 1"};
  settings.firstPause = 0.05;
  settings.longestPause = 0.2;
  settings.idleSeconds = 0.02;
  return settings;
}

// Waits (for at most a minute: a guard against a hang, not a measure) until `done`.
bool Eventually(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A loopback TCP proxy to the server's socket. Its first connection passes `pass` bytes from
// the station, then stalls (holds on, passing nothing) or drops; later ones pass everything.
class Proxy {
 public:
  enum class Then { Stall, Drop };
  Proxy(const std::string& socket, std::size_t pass, Then then) {
    listener_ = testing_support::BoundLoopbackSocket(port_);
    ::listen(listener_, 8);
    thread_ = std::thread([=, this] { Serve(socket, pass, then); });
  }
  ~Proxy() { stop_ = true, thread_.join(); }
  std::string Url() const {
    return "host=127.0.0.1 port=" + std::to_string(port_) +
           " dbname=postgres user=halvorn_station password=s3cret";
  }

 private:
  // Polls the listener, then each link's station end and server end.
  void Serve(const std::string& socket, std::size_t pass, Then then) {
    std::vector<pollfd> fds{{listener_, POLLIN, 0}};
    std::vector<int> open{listener_};  // closed at the end
    std::size_t passed = 0;            // from the first station
    while (!stop_) {
      if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
      for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
        pollfd& to = fds[i % 2 ? i + 1 : i - 1];
        char buffer[65536];
        const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
        std::size_t n = got > 0 ? static_cast<std::size_t>(got) : 0;
        const bool cut = i == 1 && passed + n > pass;
        if (i == 1) n = std::min(n, pass - passed), passed += n;
        const bool gone = got <= 0 || (cut && then == Then::Drop) ||
                          ::write(to.fd, buffer, n) != static_cast<ssize_t>(n);
        if (gone) ::shutdown(fds[i].fd, SHUT_RDWR), ::shutdown(to.fd, SHUT_RDWR);
        if (gone || cut) fds[i].fd = to.fd = -1;  // polled no more: gone, or held
      }
      if (fds[0].revents & POLLIN) {
        const int station = ::accept(listener_, nullptr, nullptr);
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
        ::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fds.insert(fds.end(), {{station, POLLIN, 0}, {server, POLLIN, 0}});
        open.insert(open.end(), {station, server});
      }
    }
    for (const int fd : open) ::close(fd);
  }
  int port_ = 0, listener_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class Forwarding : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(server.Trouble(), ""); }
  Server server;
  Station station;
};

bool AllSent(const Forwarder& forwarder) {
  return forwarder.Forwarded() > 0 && forwarder.Waiting().Empty() && forwarder.Trouble().empty();
}

TEST_F(Forwarding, EveryRowArrivesOnceAndTheUnitInProgressWaitsForItsEnd) {
  station.Run(1, 3);
  station.Run(2, 2, "1000", false);  // still testing its second unit
  {
    Forwarder forwarder(Quick(station, server.StationUrl()));
    ASSERT_TRUE(Eventually([&] { return AllSent(forwarder); })) << forwarder.Trouble();
    EXPECT_EQ(forwarder.TakeReports(), std::vector<std::string>{});
  }
  // runs, run ends, units, unit ends, values, exchanges, answers, verdicts.
  EXPECT_EQ(server.Counts(), "2|1|5|4|4|10|5|5\n");
  EXPECT_EQ(server.Psql("SELECT station, unit_number, reply, round_trip_us, at_utc FROM exchange "
                        "WHERE sequence = 6 AND run_uuid = '" +
                        Uuid(1) + "'"),
            "Bench 1|3|1000|800|2026-12-08 10:01:30+00\n");
  EXPECT_EQ(server.Psql("SELECT station, number FROM units_in_progress"), "Bench 1|2\n");
  // The station told the server once that nothing waits.
  EXPECT_EQ(server.Psql("SELECT station, units, runs, exchanges, refused FROM forward_report"),
            "Bench 1|0|0|0|0\n");

  // Everything sent again (the marks lost, as when a program is killed between the server's
  // commit and the mark): no row twice. The open run then ends: its last unit and end go.
  testing_support::RunProcess({"/usr/bin/sqlite3", station.db,
                               "DELETE FROM forward_mark; DELETE FROM forward_done; UPDATE run "
                               "SET ending = 'killed' WHERE ending IS NULL"});
  Forwarder again(Quick(station, server.StationUrl()));
  ASSERT_TRUE(Eventually([&] { return AllSent(again); })) << again.Trouble();
  again.Stop(5);
  EXPECT_EQ(std::pair(again.TakeReports(), again.Waiting().refused),
            std::pair(std::vector<std::string>{}, std::int64_t{0}));
  EXPECT_EQ(server.Counts(), "2|2|5|5|5|10|5|5\n");
  EXPECT_EQ(server.Psql("SELECT ending, ended_utc FROM run_end WHERE run_uuid = '" + Uuid(2) + "'"),
            "killed|2026-12-08 10:02:00+00\n");
}

TEST_F(Forwarding, AServerAwayGetsTheBacklogWhenBackAndThePasswordNeverShows) {
  server.Stop();
  station.Run(1, 2);
  Forwarder forwarder(Quick(station, server.StationUrl()));
  ASSERT_TRUE(Eventually([&] { return !forwarder.Trouble().empty(); }));
  station.Run(2, 1);  // a run goes on while the server is away
  ASSERT_TRUE(Eventually([&] { return forwarder.Waiting().units == 3; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // several tries, one report
  const std::vector<std::string> away = forwarder.TakeReports();
  ASSERT_EQ(away.size(), 1u);
  EXPECT_NE(away[0].find("wait for the central database"), std::string::npos) << away[0];
  EXPECT_EQ(away[0].find("s3cret"), std::string::npos) << away[0];
  EXPECT_NE(away[0].find("password=***"), std::string::npos) << away[0];

  server.Start();
  ASSERT_TRUE(Eventually([&] { return AllSent(forwarder); })) << forwarder.Trouble();
  const std::vector<std::string> back = forwarder.TakeReports();
  ASSERT_EQ(back.size(), 1u);
  EXPECT_NE(back[0].find("reach the central database again"), std::string::npos) << back[0];
  EXPECT_EQ(server.Counts(), "2|2|3|3|3|6|3|3\n");
}

TEST_F(Forwarding, ARowTheServerRefusesStaysAndTheOthersGo) {
  station.Run(1, 2, std::string("10\00000", 5));  // "10", NUL, "00": no PostgreSQL text
  Forwarder forwarder(Quick(station, server.StationUrl()));
  ASSERT_TRUE(Eventually([&] { return forwarder.Waiting().refused > 0; }));
  ASSERT_TRUE(Eventually([&] { return AllSent(forwarder); })) << forwarder.Trouble();
  EXPECT_EQ(forwarder.Waiting().refused, 2);
  const std::vector<std::string> reports = forwarder.TakeReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("refused 2 records"), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("exchange 2: "), std::string::npos) << reports[0];
  EXPECT_EQ(server.Counts(), "1|1|2|2|2|2|2|2\n");
  EXPECT_EQ(Sqlite(station.db, "SELECT kind, id FROM forward_done WHERE refused > ''"),
            "exchange|2\nexchange|4\n");
}

TEST_F(Forwarding, ASchemaOtherThanTheProgramsIsReportedAndNothingIsSent) {
  station.Run(1, 1);
  for (const char* version : {"1", "3"}) {
    server.Psql(std::string("UPDATE halvorn_schema SET version = ") + version);
    Forwarder forwarder(Quick(station, server.StationUrl()));
    ASSERT_TRUE(Eventually([&] { return !forwarder.Trouble().empty(); }));
    EXPECT_NE(forwarder.Trouble().find(std::string("has schema version ") + version +
                                       "; this program writes version 2"),
              std::string::npos)
        << forwarder.Trouble();
  }
  EXPECT_EQ(server.Counts(), "0|0|0|0|0|0|0|0\n");
}

// A server that stops answering, or whose connection drops, in the middle of a batch: the
// batch goes again on a new connection, nothing lost and nothing twice.
TEST(Forwarder, AConnectionThatStallsOrDropsMidBatchLosesAndDoublesNothing) {
  for (const auto& [then, said] : {std::pair(Proxy::Then::Stall, "no answer within 1 s"),
                                   std::pair(Proxy::Then::Drop, "did not take the records")}) {
    Server server;
    ASSERT_EQ(server.Trouble(), "");
    Station station;
    station.Run(1, 40);
    Proxy proxy(server.SocketPath(), 4000, then);  // past the start, inside the batch
    ForwarderSettings settings = Quick(station, proxy.Url());
    settings.answerSeconds = 1;
    Forwarder forwarder(settings);
    ASSERT_TRUE(Eventually([&] { return AllSent(forwarder); })) << forwarder.Trouble();
    const std::vector<std::string> reports = forwarder.TakeReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find(said), std::string::npos) << reports[0];
    EXPECT_EQ(reports[0].find("s3cret"), std::string::npos) << reports[0];
    EXPECT_EQ(server.Counts(), "1|1|40|40|40|80|40|40\n");
  }
}

// A server that cannot be had: each reason told, the records kept for later.
TEST_F(Forwarding, AServerThatCannotBeHadIsToldWithItsReason) {
  server.RequirePassword("halvorn_locked", "right");
  int port = 0;
  const int closed = testing_support::BoundLoopbackSocket(port);  // bound, never listening
  const std::string socketHost =
      "host=" + server.SocketPath().substr(0, server.SocketPath().rfind('/'));
  const struct {
    std::string central, said;
  } cases[] = {
      {"postgresql://[::1", "is not a connection string libpq reads"},
      {"host=" + std::string(70, 'a') + ".example dbname=r", "could not translate host name"},
      {"host=127.0.0.1 port=" + std::to_string(port) + " dbname=r", "Connection refused"},
      {socketHost + " dbname=postgres user=halvorn_locked password=wrong",
       "password authentication failed"},
  };
  station.Run(1, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.central);
    Forwarder forwarder(Quick(station, c.central));
    ASSERT_TRUE(Eventually([&] { return !forwarder.Trouble().empty(); }));
    EXPECT_NE(forwarder.Trouble().find(c.said), std::string::npos) << forwarder.Trouble();
    EXPECT_EQ(forwarder.Trouble().find("wrong"), std::string::npos) << forwarder.Trouble();
    ASSERT_TRUE(Eventually([&] { return forwarder.Waiting().units == 1; }));
  }
  ::close(closed);
}

}  // namespace
