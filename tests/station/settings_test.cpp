// The settings files of the station: the display's zoom and AppConfig/Records.cfg.
#include <gtest/gtest.h>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "station/display_settings.h"
#include "station/display_zoom.h"
#include "station/station_records.h"
#include "support/test_folder.h"

TEST(DisplayZoom, TheRememberedZoomIsTheNearestStep) {
  testing_support::TestFolder folder;
  platform::DataFolders folders(folder.Path());
  folders.EnsureDataFolders();
  const std::string path = folder / "AppConfig/Display.cfg";
  const auto read = [&folders] {  // the zoom, the lines named
    std::vector<std::string> told;
    const int zoom = app::ReadDisplaySettings(folders, told).zoom;  // read before it is counted
    return std::pair(zoom, told.size());
  };
  EXPECT_EQ(read(), std::pair(100, std::size_t{0}));       // no file
  using Case = std::tuple<const char*, int, std::size_t>;  // the file, the zoom, the lines named
  for (auto [file, percent, notes] :
       {Case{"zoom=125\r\n", 125, 0}, Case{"# comment\nZOOM = 133\n", 125, 0},
        Case{"zoom=1000\n", 300, 0}, Case{"zoom=1\n", 50, 0},
        Case{"zoom=0\nzoom=-5\nzoom=abc\nzoom=\n", 100, 4}, Case{"zoom=150\nzoom=75\n", 75, 0}}) {
    ASSERT_TRUE(platform::WriteFileAtomic(path, file));
    EXPECT_EQ(read(), std::pair(percent, notes)) << file;
  }
  // Written only when not 100 (other zooms: tests/ui/qt), other lines kept.
  ASSERT_TRUE(platform::WriteFileAtomic(path, "# mine\nzoom=50\n"));
  ASSERT_TRUE(app::WriteDisplaySettings(folders, app::DisplaySettings{}));
  EXPECT_EQ(testing_support::Read(path), "# mine\nsession_log=off\ntime_stamps=off\n");
}

TEST(DisplayZoom, StepsStopAtTheirEnds) {
  app::DisplayZoom zoom;
  int changes = 0;
  for (int i = 0; i < 20; ++i) changes += zoom.Change(+1);
  EXPECT_EQ(std::pair(zoom.Percent(), changes), std::pair(300, 7));
  EXPECT_EQ(zoom.Zoomed(ui::Font{"Courier New", 24}).pixelHeight, 72);
  while (zoom.Change(-1)) {
  }
  EXPECT_EQ(zoom.Percent(), 50);
  EXPECT_EQ(zoom.Zoomed(ui::Font{"Terminal", 1}).pixelHeight, 1);
  EXPECT_TRUE(zoom.Change(0));
  EXPECT_EQ(zoom.Percent(), 100);
  EXPECT_FALSE(zoom.Change(0));
}

// AppConfig/Records.cfg: where the records go, the station's name, the central database, every
// unusable line named.
TEST(RecordsSettings, TheFileSetsWhereAndWhoAndNamesEveryLineItCannotUse) {
  const struct {
    const char* file;
    bool enabled;
    std::string path;  // relative names are in the data folder ("@/")
    const char* station;
    std::size_t notes;
    const char* central = "";
  } cases[] = {
      {"RECORDS=off\r\n", false, "", "", 0},
      {"# where\nRECORDS=sub/r.db\nSTATION= Bench 4 \n", true, "@/sub/r.db", "Bench 4", 0},
      {"\xEF\xBB\xBFrecords=/srv/r.db\n", true, "/srv/r.db", "", 0},
      {"STATION=\nCOLOUR=red\nnonsense\nCENTRAL=\n", true, "", "", 4},
      {"central = host=db dbname=r\n", true, "", "", 0, "host=db dbname=r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    testing_support::TestFolder folder;
    platform::DataFolders(folder.Path()).EnsureDataFolders();
    ASSERT_TRUE(platform::WriteFileAtomic(folder / "AppConfig/Records.cfg", c.file));
    std::vector<std::string> notes;
    const app::RecordsSettings s = app::ReadRecordsSettings(folder.Path(), {}, notes);
    const std::string path = c.path.starts_with("@/") ? folder / c.path.substr(2) : c.path;
    EXPECT_EQ(std::tuple(s.enabled, s.path, s.station, s.central),
              std::tuple(c.enabled, path, c.station, c.central));
    EXPECT_EQ(notes.size(), c.notes);
    for (const std::string& note : notes)
      EXPECT_NE(note.find("Records.cfg, line "), std::string::npos);
  }
}
