// AppConfig/Records.cfg: where the station's records go and its name; every
// line it cannot use is named.
#include <gtest/gtest.h>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "station/station_records.h"
#include "support/test_folder.h"

TEST(RecordsSettings, TheFileSetsWhereAndWhoAndNamesEveryLineItCannotUse) {
  const struct {
    const char* file;
    bool enabled;
    std::string path;  // relative names are in the data folder ("@/")
    const char* station;
    std::size_t notes;
  } cases[] = {
      {"RECORDS=off\r\n", false, "", "", 0},
      {"# where\nRECORDS=sub/r.db\nSTATION= Bench 4 \n", true, "@/sub/r.db", "Bench 4", 0},
      {"\xEF\xBB\xBFrecords=/srv/r.db\n", true, "/srv/r.db", "", 0},
      {"STATION=\nCOLOUR=red\nnonsense\n", true, "", "", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    testing_support::TestFolder folder;
    platform::DataFolders(folder.Path()).EnsureDataFolders();
    ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/Records.cfg", c.file));
    std::vector<std::string> notes;
    const app::RecordsSettings s = app::ReadRecordsSettings(folder.Path(), {}, notes);
    const std::string path = c.path.starts_with("@/") ? folder / c.path.substr(2) : c.path;
    EXPECT_EQ(std::tuple(s.enabled, s.path, s.station), std::tuple(c.enabled, path, c.station));
    EXPECT_EQ(notes.size(), c.notes);
    for (const std::string& note : notes)
      EXPECT_NE(note.find("Records.cfg, line "), std::string::npos);
  }
}
