// The central database on a PostgreSQL server of the test's own: schema, views, partitions,
// roles, the password never shown (failures to connect: tests/results).
#include "records/central_store.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/child_process.h"
#include "support/private_postgres.h"

namespace {

using records::CentralStore;
using records::MaskedConnection;
using testing_support::PrivatePostgres;

TEST(CentralStore, PasswordsNeverShow) {
  const struct {
    const char* connection;
    const char* shown;
  } cases[] = {
      {"postgresql://station:s3cret@db/records", "postgresql://station:***@db/records"},
      {"postgres://station:p@ss@db:5432", "postgres://station:***@db:5432"},
      {"postgresql://station@db/r?sslmode=require&password=s3cret&x=1",
       "postgresql://station@db/r?sslmode=require&password=***&x=1"},
      {"host=db password=s3cret dbname=records", "host=db password=*** dbname=records"},
      {"host=db password = 'it\\'s secret' dbname=r", "host=db password = *** dbname=r"},
      {"host=db oldpassword=x", "host=db oldpassword=x"},
      {"postgresql://db:5432/records", "postgresql://db:5432/records"},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskedConnection(c.connection), c.shown);
}

TEST(CentralStore, TheSchemaIsMadeOnceItsViewsReadRowsAndANewerOneIsRefused) {
  PrivatePostgres server;
  ASSERT_EQ(server.Trouble(), "");
  auto store = CentralStore::Connect(server.Url());
  ASSERT_TRUE(store) << store.Text();
  const auto made = (*store)->Migrate();
  ASSERT_TRUE(made) << made.Text();
  // This month and the next two have partitions; a later one is made when asked, twice unharmed.
  EXPECT_EQ(server.Psql("SELECT count(*) FROM pg_inherits WHERE inhparent = 'exchange'::regclass"),
            "3\n");
  ASSERT_TRUE((*store)->EnsureExchangeMonth("2031-05-17T10:00:00Z"));
  ASSERT_TRUE((*store)->EnsureExchangeMonth("2031-05-31T23:59:59Z"));
  EXPECT_EQ(server.Psql("SELECT to_regclass('exchange_2031_05') IS NOT NULL"), "t\n");

  // A serial number's fail and then pass; an exchange sent twice is one row (stations resend).
  const std::string units = R"(INSERT INTO station VALUES ('Bench 1', 'host-1');
    INSERT INTO run (uuid, station, program_version, mode, file, file_sha256, operator,
                     started_utc, utc_offset_minutes)
      VALUES ($u, 'Bench 1', '3.2', 'script', 'ac/test_1.txt', '', 'op', '2031-05-17T10:00Z', 60);
    INSERT INTO unit VALUES ($u, 1, 'Bench 1', '2031-05-17T10:01Z'),
      ($u, 2, 'Bench 1', '2031-05-17T10:03Z'), ($u, 3, 'Bench 1', '2031-05-17T10:05Z');
    INSERT INTO unit_end VALUES ($u, 1, 'Bench 1', '2031-05-17T10:02Z', 'fail', 1),
      ($u, 2, 'Bench 1', '2031-05-17T10:04Z', 'pass', 0);
    INSERT INTO unit_value VALUES ($u, 1, 'Bench 1', 'V1', 'SN-1'),
      ($u, 2, 'Bench 1', 'V1', 'SN-1');
)";
  const std::string exchange = R"(INSERT INTO exchange VALUES ($u, 7, 'Bench 1', 1, 'Axis 01', 'PX',
      '999', '1000', 'mismatch', 900, '2031-05-17T10:01:30Z') ON CONFLICT DO NOTHING;
)";
  server.Psql(std::regex_replace(units + exchange + exchange, std::regex("\\$u"),
                                 "'7a4c2f10-0000-4000-8000-000000000001'"));
  EXPECT_EQ(server.Psql("SELECT hour_utc, station, units, passed, failed, aborted, yield_percent "
                        "FROM yield_by_hour_station"),
            "2031-05-17 10:00:00|Bench 1|2|1|1|0|50.0\n");
  EXPECT_EQ(server.Psql("SELECT script, serials, passed_first, first_pass_yield_percent "
                        "FROM first_pass_yield_by_script"),
            "ac/test_1.txt|1|0|0.0\n");
  EXPECT_EQ(server.Psql("SELECT command, expected, failures FROM failing_checks"), "PX|1000|1\n");
  EXPECT_EQ(server.Psql("SELECT station, number FROM units_in_progress"), "Bench 1|3\n");

  // A newer schema is not touched (made once, then up to date: tests/results).
  server.Psql("UPDATE halvorn_schema SET version = 99");
  const auto newer = (*store)->Migrate();
  ASSERT_FALSE(newer);
  EXPECT_NE(newer.Text().find("schema version 99, newer than this program's"), std::string::npos)
      << newer.Text();
  EXPECT_EQ(server.Psql("SELECT version FROM halvorn_schema"), "99\n");
}

// The docs' roles: a station adds and reads rows and makes a month's partition; a reader reads.
TEST(CentralStore, TheStationRoleOnlyAddsAndTheReaderOnlyReads) {
  PrivatePostgres server;
  ASSERT_EQ(server.Trouble(), "");
  server.MakeCentral();
  const struct {
    const char* user;
    std::string sql;
    const char* fails;  // nullptr: it works
  } cases[] = {
      {"halvorn_station", "INSERT INTO station VALUES ('Bench 1', 'host-1')", nullptr},
      {"halvorn_station", "SELECT name FROM station", nullptr},
      {"halvorn_station", "SELECT halvorn_exchange_month('2032-01-05T00:00:00Z')", nullptr},
      {"halvorn_station", "UPDATE station SET host = 'other'", "permission denied"},
      {"halvorn_station", "DELETE FROM station", "permission denied"},
      {"halvorn_station", "DROP TABLE exchange", "must be owner"},
      {"halvorn_reader", "SELECT * FROM yield_by_hour_station", nullptr},
      {"halvorn_reader", "SELECT count(*) FROM exchange", nullptr},
      {"halvorn_reader", "INSERT INTO station VALUES ('Bench 2', 'host-2')", "permission denied"},
  };
  for (const auto& c : cases) {
    const auto [status, err] = server.PsqlAs(c.user, c.sql);
    EXPECT_EQ(status == 0, c.fails == nullptr) << c.user << ": " << c.sql << ": " << err;
    EXPECT_TRUE(!c.fails || err.find(c.fails) != std::string::npos) << err;
  }
  EXPECT_EQ(server.Psql("SELECT host FROM station"), "host-1\n");
}

}  // namespace
