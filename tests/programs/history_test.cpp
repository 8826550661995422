// The command history, the function keys, the transfers into the command
// entry and Up/Down recall, as plain models.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "programs/command_recall.h"
#include "programs/entry_transfers.h"
#include "programs/function_keys.h"
#include "programs/history.h"

namespace {

using programs::FunctionKeys;
using programs::History;

const std::string kSample(programs::kHistorySample);

std::string Items(const History& h) {
  std::string all;
  for (std::size_t i = 0; i < h.Size(); ++i) all += (i ? "\n" : "") + h.Item(i);
  return all + (h.Selected() == 0 ? "" : " (the first item is not selected)");
}

std::string Or(const std::optional<std::string>& text) {
  return text ? *text : "unchanged";
}

// The window's tests cover the order of recording and the attach and
// apply through the window; these are the edges behind them.
TEST(HistoryAndFunctionKeys, EdgeCases) {
  FunctionKeys keys;
  keys.AttachToFunctionKey("JX+", "F3");
  History twice;
  for (int i = 0; i < 2; ++i) twice.RecordHistory("PX", false);
  const std::pair<std::string, std::string> cases[] = {
      {Items(twice), "PX\nPX\n" + kSample},  // no duplicate check
      {Or(FunctionKeys().ApplyFunctionKey(3, "LSPD=500")), "unchanged"},
      {Or(keys.ApplyFunctionKey(3, " LSPD=500 ")), "LSPD=500,JX+"},
      {Or(keys.ApplyFunctionKey(3, "  ")), "JX+"},
      {FunctionKeys().ShowFunctionKeys(), "No Function keys defined!\r\n"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}

// 'F' to the front, 'E' to the end, 'S' at the selection; "-" for no change.
std::string Transfer(char how, programs::EntrySelection saved, const char* item,
                     const char* entry) {
  auto edit = how == 'F'   ? programs::TransferToFront(item, entry)
              : how == 'E' ? programs::TransferToEnd(item, entry)
                           : programs::TransferAtSelection(item, entry, saved);
  if (!edit) return "-";
  return edit->text + " @" + std::to_string(edit->selection.start) + "," +
         std::to_string(edit->selection.end);
}

TEST(EntryTransfers, FrontEndAndSelection) {
  const struct {
    char how;
    programs::EntrySelection saved;
    const char *item, *entry, *expected;
  } cases[] = {
      {'F', {}, " PX ", " ABS , X1 ", "PX,ABS , X1 @0,0"},
      {'F', {}, "PX", "  ", "PX @0,0"},
      {'F', {}, "  ", "ABS", "-"},
      {'E', {}, "PX", " ABS ", "ABS,PX @3,3"},
      {'E', {}, "PX", "", "PX @0,0"},
      {'E', {}, "", "ABS", "-"},
      {'S', {4, 8}, "PX", "JX+,STOP,ABS", "JX+,PX,ABS @4,4"},  // replaces STOP
      {'S', {3, 3}, "PX", "JX+,STOP", "JX+,PX,STOP @3,3"},
      {'S', {3, 3}, "PX", "JX+STOP", "JX+,PX,STOP @3,3"},
      {'S', {0, 0}, "PX", " JX+", "PX, JX+ @0,0"},     // the entry is not trimmed
      {'S', {2, -1}, "PX", "JX+,STOP", "JX,PX @2,2"},  // -1: to the end of the text
      {'S', {-5, 0}, "PX", "ABS", "PX,ABS @0,0"},
      {'S', {99, 120}, "PX", "ABS", "ABS,PX @3,3"},
      {'S', {2, 1}, "PX", "ABS", "AB,PX,S @2,2"},  // an end before the start loses nothing
      {'S', {5, 5}, "PX", "", "PX @0,0"},
      {'S', {0, 0}, " ", "ABS", "-"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Transfer(c.how, c.saved, c.item, c.entry), c.expected)
        << c.item << " into " << c.entry;
}

TEST(FunctionKeys, SelectorTextsAndTexts) {
  const std::pair<std::string, int> cases[] = {
      {"F1", 1},  {"F10", 10}, {" F2 ", 2}, {"F 3", 3}, {"X3", 3}, {"F1x", 1}, {"F10 spare", 10},
      {"F11", 0}, {"F0", 0},   {"F-1", 0},  {"F.5", 0}, {"F", 0},  {"X", 0},   {"", 0}};
  for (const auto& [selector, key] : cases) {
    FunctionKeys keys;
    EXPECT_EQ(keys.AttachToFunctionKey("PX", selector), key) << selector;
    EXPECT_EQ(keys.ShowFunctionKeys().find("PX") != std::string::npos, key != 0);
  }
  FunctionKeys keys;
  EXPECT_EQ(keys.AttachToFunctionKey("   ", "F1"), 0);  // a blank text is not attached
  for (int n : {0, 11, -1}) EXPECT_FALSE(keys.ApplyFunctionKey(n, "A")) << n;
}

// A history of any length keeps every item (the window's tests cover a long
// item kept whole); the list shows up to 1000 characters of one unchanged.
TEST(History, LongHistoriesKeepEveryItem) {
  History h;
  EXPECT_EQ(History::ShownText(std::string(1000, 'x')), std::string(1000, 'x'));
  History many;
  for (int i = 0; i < 100000; ++i) many.RecordHistory(std::to_string(i), false);
  EXPECT_EQ(std::tuple(many.Size(), many.Item(0), many.Item(100000)),
            std::tuple(100001u, "99999", kSample));
  h.Select(5);
  EXPECT_EQ(h.Selected(), -1);
  h.Clear();
  EXPECT_EQ(h.Size() + h.SelectedItem().size(), 0u);
  EXPECT_EQ(h.RecordHistory("PX", false), 0u);
  EXPECT_EQ(Items(h), "PX");
}

// Steps split by ";": "<line" sends a line; "^shown=after" is Up and "vshown=after"
// Down, with what the entry shows before and after the key.
TEST(CommandRecall, UpAndDownLikeAShell) {
  for (const std::string run : {
           "^typed=typed;vtyped=typed",  // nothing sent yet
           "<ID;< PX ;^draft=PX;^PX=ID;^ID=ID;vID=PX;vPXedit=draft;vdraft=draft",
           "<B;<A;<A;<   ;<B;^=B;^B=A;^A=B;^B=B",  // repeats in a row count once
           "<A;<B;^x=B;<C;^y=C;vC=y",              // sending ends stepping
       }) {
    programs::CommandRecall recall;
    std::size_t start = 0;
    for (std::size_t end = 0; end != std::string::npos; start = end + 1) {
      end = run.find(';', start);
      const std::string step = run.substr(start, end - start);
      const std::size_t equals = step.find('=');
      if (step[0] == '<') recall.Sent(step.substr(1));
      if (step[0] == '<') continue;
      const std::string shown = step.substr(1, equals - 1);
      EXPECT_EQ(step[0] == '^' ? recall.Up(shown) : recall.Down(shown), step.substr(equals + 1))
          << run.substr(0, end);
    }
  }
}

}  // namespace
