// The display's zoom: its steps, and the zoom as the next run reads it back
// from the display's settings, where odd values give the nearest step or
// are named.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/files.h"
#include "station/display_settings.h"
#include "station/display_zoom.h"
#include "support/test_folder.h"

namespace {

TEST(DisplayZoom, TheRememberedZoomIsTheNearestStep) {
  testing_support::TestFolder folder;
  platform::DataFolders folders(folder.Path());
  folders.EnsureDataFolders();
  const std::string path = folder / "AppConfig/Display.cfg";
  const struct {
    const char* file;  // nullptr: no file
    int percent;
    std::size_t notes;
  } cases[] = {
      {nullptr, 100, 0},
      {"zoom=125\r\n", 125, 0},
      {"# comment\nZOOM = 133\n", 125, 0},
      {"zoom=1000\n", 300, 0},
      {"zoom=1\n", 50, 0},
      {"zoom=0\nzoom=-5\nzoom=abc\nzoom=\n", 100, 4},
      {"zoom=150\nzoom=75\n", 75, 0},
  };
  for (const auto& c : cases) {
    std::remove(path.c_str());
    if (c.file) {
      ASSERT_TRUE(platform::WriteFileAtomic(path, c.file));
    }
    std::vector<std::string> notes;
    EXPECT_EQ(app::ReadDisplaySettings(folders, notes).zoom, c.percent) << (c.file ? c.file : "");
    EXPECT_EQ(notes.size(), c.notes) << (c.file ? c.file : "");
  }
  // Written with the other options, only when not 100, other lines kept.
  ASSERT_TRUE(platform::WriteFileAtomic(path, "# mine\nzoom=50\n"));
  app::DisplaySettings settings;
  settings.zoom = 150;
  ASSERT_TRUE(app::WriteDisplaySettings(folders, settings));
  std::vector<std::string> notes;
  EXPECT_EQ(app::ReadDisplaySettings(folders, notes).zoom, 150);
  settings.zoom = 100;
  ASSERT_TRUE(app::WriteDisplaySettings(folders, settings));
  std::string text;
  ASSERT_TRUE(platform::ReadFile(path, text));
  EXPECT_EQ(text, "# mine\nsession_log=off\ntime_stamps=off\n");
}

TEST(DisplayZoom, StepsStopAtTheirEnds) {
  app::DisplayZoom zoom;
  int changes = 0;
  for (int i = 0; i < 20; ++i) changes += zoom.Change(+1);
  EXPECT_EQ(zoom.Percent(), 300);
  EXPECT_EQ(changes, 7);
  EXPECT_EQ(zoom.Zoomed(ui::Font{"Courier New", 24}).pixelHeight, 72);
  while (zoom.Change(-1)) {
  }
  EXPECT_EQ(zoom.Percent(), 50);
  EXPECT_EQ(zoom.Zoomed(ui::Font{"Terminal", 1}).pixelHeight, 1);
  EXPECT_TRUE(zoom.Change(0));
  EXPECT_EQ(zoom.Percent(), 100);
  EXPECT_FALSE(zoom.Change(0));
}

}  // namespace
