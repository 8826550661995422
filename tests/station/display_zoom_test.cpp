// The display's zoom: its steps, and the zoom as the next run reads it back from the
// display's settings, where odd values give the nearest step or are named.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "station/display_settings.h"
#include "station/display_zoom.h"
#include "support/test_folder.h"

TEST(DisplayZoom, TheRememberedZoomIsTheNearestStep) {
  testing_support::TestFolder folder;
  platform::DataFolders folders(folder.Path());
  folders.EnsureDataFolders();
  const std::string path = folder / "AppConfig/Display.cfg";
  const auto read = [&folders](std::size_t notes) {
    std::vector<std::string> told;
    const int zoom = app::ReadDisplaySettings(folders, told).zoom;
    EXPECT_EQ(told.size(), notes);
    return zoom;
  };
  EXPECT_EQ(read(0), 100);  // no file
  const struct {
    const char* file;
    int percent;
    std::size_t notes;
  } cases[] = {
      {"zoom=125\r\n", 125, 0},
      {"# comment\nZOOM = 133\n", 125, 0},
      {"zoom=1000\n", 300, 0},
      {"zoom=1\n", 50, 0},
      {"zoom=0\nzoom=-5\nzoom=abc\nzoom=\n", 100, 4},
      {"zoom=150\nzoom=75\n", 75, 0},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(platform::WriteFileAtomic(path, c.file));
    EXPECT_EQ(read(c.notes), c.percent) << c.file;
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
