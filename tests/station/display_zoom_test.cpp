// The display's zoom as the next run reads it back: odd files give the
// nearest step or none, and the steps stop at their ends.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/files.h"
#include "station/display_zoom.h"
#include "support/test_folder.h"

namespace {

TEST(DisplayZoom, TheRememberedZoomIsTheNearestStep) {
  testing_support::TestFolder folder;
  const std::string path = folder / "Display.cfg";
  const struct {
    const char* file;  // nullptr: no file
    int percent;
  } cases[] = {
      {nullptr, 100},
      {"ZOOM=125\r\n", 125},
      {"# comment\nzoom = 133\n", 125},
      {"ZOOM=1000\n", 300},
      {"ZOOM=1\n", 50},
      {"ZOOM=0\nZOOM=-5\nZOOM=abc\nZOOM=\n", 100},
      {"ZOOM=150\nZOOM=75\n", 75},
      {"OTHER=200\n", 100},
  };
  for (const auto& c : cases) {
    std::remove(path.c_str());
    if (c.file) {
      ASSERT_TRUE(platform::WriteFileAtomic(path, c.file));
    }
    app::DisplayZoom zoom(path);
    zoom.Load();
    EXPECT_EQ(zoom.Percent(), c.percent) << (c.file ? c.file : "no file");
  }
}

TEST(DisplayZoom, StepsStopAtTheirEndsAndSurviveTheNextRun) {
  testing_support::TestFolder folder;
  app::DisplayZoom zoom(folder / "Display.cfg");
  int changes = 0;
  for (int i = 0; i < 20; ++i) changes += zoom.Change(+1);
  EXPECT_EQ(zoom.Percent(), 300);
  EXPECT_EQ(changes, 7);
  EXPECT_FALSE(zoom.Change(+1));
  EXPECT_EQ(zoom.Zoomed(ui::Font{"Courier New", 24}).pixelHeight, 72);
  ASSERT_TRUE(zoom.Save());
  app::DisplayZoom next(folder / "Display.cfg");
  next.Load();
  EXPECT_EQ(next.Percent(), 300);
  while (next.Change(-1)) {
  }
  EXPECT_EQ(next.Percent(), 50);
  EXPECT_EQ(next.Zoomed(ui::Font{"Terminal", 1}).pixelHeight, 1);
  EXPECT_TRUE(next.Change(0));
  EXPECT_EQ(next.Percent(), 100);
  // A file that cannot be written says so.
  app::DisplayZoom lost(folder / "no/such/folder/Display.cfg");
  EXPECT_FALSE(lost.Save());
}

}  // namespace
