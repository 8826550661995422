// AppConfig/Records.cfg: where the station's records go and its name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "station/station_records.h"
#include "support/test_folder.h"

namespace {

TEST(RecordsSettings, TheFileSetsWhereAndWhoAndNamesEveryLineItCannotUse) {
  const struct {
    const char* file;
    bool enabled;
    std::string path;  // relative names are in the data folder ("@/")
    const char* station;
    int notes;
  } cases[] = {
      {"RECORDS=off\r\n", false, "", "", 0},
      {"# where\nRECORDS=sub/r.db\nSTATION= Bench 4 \n", true, "@/sub/r.db", "Bench 4", 0},
      {"\xEF\xBB\xBFrecords=/srv/r.db\n", true, "/srv/r.db", "", 0},
      {"STATION=\nCOLOUR=red\nnonsense\n", true, "", "", 3},
  };
  for (const auto& c : cases) {
    testing_support::TestFolder folder;
    platform::DataFolders(folder.Path()).EnsureDataFolders();
    ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/Records.cfg", c.file));
    std::vector<std::string> notes;
    const app::RecordsSettings s = app::ReadRecordsSettings(folder.Path(), {}, notes);
    std::string path = c.path;
    if (path.starts_with("@/")) path = folder / path.substr(2);
    EXPECT_EQ(s.enabled, c.enabled) << c.file;
    EXPECT_EQ(s.path, path) << c.file;
    EXPECT_EQ(s.station, c.station) << c.file;
    EXPECT_EQ(notes.size(), static_cast<std::size_t>(c.notes)) << c.file;
    for (const std::string& note : notes)
      EXPECT_NE(note.find("Records.cfg, line "), std::string::npos);
  }
}

}  // namespace
