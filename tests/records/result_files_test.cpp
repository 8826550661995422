// The result files' own rules, from the script's events alone: which names a save takes, and
// what becomes a lost record. Whole script runs that leave these files are in tests/app/.
#include "records/result_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/data_folders.h"
#include "platform/files.h"
#include "support/test_folder.h"

namespace {

using testing_support::TestFolder;
using Strings = std::vector<std::string>;
using Files = std::map<std::string, std::string>;  // name -> content

const std::string kAutoControl = "AppPrograms/AutoControl/";
const std::string kAuto = kAutoControl + "AutoResults/";

// A data folder with its tree and the result files writing into it; what
// they tell of lost records is kept.
struct Records {
  TestFolder folder;
  Strings told;
  records::ResultFiles files;
  Records() : files(folder.Path(), [this](const std::string& text) { told.push_back(text); }) {
    platform::DataFolders(folder.Path()).EnsureDataFolders();
  }
  // What `where` holds: each file with its content, each folder as "".
  Files Saved(const std::string& where = kAuto) {
    Files saved;
    for (const auto& entry : std::filesystem::directory_iterator(folder / where)) {
      std::string content;
      if (entry.is_regular_file()) content = testing_support::Read(entry.path().string());
      saved[entry.path().filename().string()] = content;
    }
    return saved;
  }
};

// A numbered save replaces testresults<n>.txt for n 1..9 and writes nothing
// for any other slot.
TEST(ResultFiles, NumberedSavesReplaceTheirSlotsFileOnly) {
  Records r;
  ASSERT_TRUE(platform::WriteFileAtomic(r.folder / (kAutoControl + "testresults3.txt"), "old"));
  r.files.OnNumberedSave(3, "one\r\ntwo\r\n");
  r.files.OnNumberedSave(9, "");
  for (int slot : {0, 10, -1}) r.files.OnNumberedSave(slot, "never");
  EXPECT_EQ(r.Saved(kAutoControl), (Files{{"AutoResults", ""},
                                          {"testresults3.txt", "one\r\ntwo\r\n"},
                                          {"testresults9.txt", ""}}));
  EXPECT_EQ(r.files.RecordsLost(), 0);
}

// An automatic save's name loses the characters a file name must not hold (none left:
// "MyTestData"); it takes the first number whose names are all free (with CSV: tests/app).
TEST(ResultFiles, AutomaticSavesTakeTheFirstNumberWhoseNamesAreAllFree) {
  const struct {
    const char* name;
    Strings taken;  // names in AutoResults before the save
    Files saved;    // the names the save wrote
  } cases[] = {
      {"a\\b\001c\177../d", {}, {{"abcd0001.txt", "text"}}},
      {" !@#$%^&*()+-={}[]:;'<,>.?/\"", {"MyTestData0001.txt"}, {{"MyTestData0002.txt", "text"}}},
      // Without CSV tracking only the text file's name counts.
      {"Unit", {"Unit0001_Pass.csv"}, {{"Unit0001.txt", "text"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Records r;
    for (const std::string& name : c.taken)
      ASSERT_TRUE(platform::WriteFileAtomic(r.folder / (kAuto + name), "taken"));
    r.files.OnAutoSave({c.name, "text", false});
    Files expected = c.saved;
    for (const std::string& name : c.taken) expected[name] = "taken";
    EXPECT_EQ(r.Saved(), expected);
    EXPECT_EQ(r.files.RecordsLost(), 0);
    EXPECT_TRUE(r.told.empty());
  }
}

TEST(ResultFiles, ASaveWithEveryNumberTakenIsLost) {
  Records r;
  for (int n = 1; n <= 9999; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "Full%04d_Pass.csv", n);
    // A link leading nowhere takes a name as well as a file, and costs less.
    const std::string path = r.folder / (kAuto + name);
    ASSERT_EQ(::symlink("/nonexistent", path.c_str()), 0) << path;
  }
  r.files.OnAutoSave({"Full", "text", true});
  EXPECT_EQ(r.told, (Strings{"Result file not written: every number of Full is taken",
                             "Result file not written: every number of Full_Pass is taken",
                             "Result file not written: every number of Full_Fail is taken"}));
  EXPECT_EQ(r.files.RecordsLost(), 3);
  // A save without tables still finds its number.
  r.files.OnAutoSave({"Full", "text", false});
  EXPECT_EQ(r.files.RecordsLost(), 3);
  EXPECT_TRUE(platform::FileExists(r.folder / (kAuto + "Full0001.txt")));
}

}  // namespace
