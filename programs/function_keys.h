// The ten function keys F1 to F10: each holds a piece of command text that a
// key press adds to the command entry. They live as long as the main window,
// start empty and are never saved. Nothing here sends anything or shows
// anything: the window puts the returned texts where they belong.
//
//   F1..F10 (when idle):
//     if (auto text = keys.ApplyFunctionKey(n, gui.Text({form, entry}))) {
//       gui.SetText({form, entry}, *text); gui.SetFocus({form, entry}); }
//   "Attach Command Line to Function Key":
//     keys.AttachToFunctionKey(gui.Text({form, entry}), gui.Text({form, keySelector}));
//   "Attach Selected History Item ...":
//     keys.AttachToFunctionKey(history.SelectedItem(), gui.Text({form, keySelector}));
//   show button: the message box with ShowFunctionKeys() and the caption,
//     button and style below.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace programs {

// The items of the key selector, in the list rule's "|" form.
inline constexpr std::string_view kFunctionKeyNames = "F1|F2|F3|F4|F5|F6|F7|F8|F9|F10";
// The message box that lists the keys.
inline constexpr std::string_view kFunctionKeysCaption = "Function Key Current Values//21";
inline constexpr std::string_view kFunctionKeysButton = "OK//20";
inline constexpr int kFunctionKeysStyle = 21;

class FunctionKeys {
 public:
  static constexpr int kCount = 10;

  // The text of key n (1..10); "" for an empty key or another n.
  const std::string& Text(int n) const;

  // The new entry text after pressing key n: the key's text when the
  // trimmed entry is empty, else the trimmed entry + "," + the key's text.
  // Nothing (the entry stays as it is) when n is outside 1..10 or the key
  // is empty.
  std::optional<std::string> ApplyFunctionKey(int n, std::string_view entryText) const;

  // Stores the trimmed `text` into the key the selector shows and returns
  // that key's number; returns 0 and stores nothing when the trimmed text is
  // empty or the selector text names no key. The key name is the first three
  // characters of the trimmed selector text, trimmed again; it must be two
  // or three characters long, and its number is the decimal reading of the
  // characters after the first, rounded: "F1" and "F10" are keys 1 and 10,
  // "F 3" and "X3" are key 3 (blanks before a number are skipped and the
  // letter is not looked at), "F11", "F0", "X", "F" and "" name no key, and
  // of a longer text only the first three characters count ("F10 spare" is
  // key 10, "F1x" key 1).
  int AttachToFunctionKey(std::string_view text, std::string_view selectorText);

  // The message that lists the keys: CR LF, then for each key with text one
  // line "F" + number, padded with blanks to three characters, a blank, the
  // text, CR LF ("F1  JX+\r\n", "F10 STOP\r\n"); with no key set
  // "No Function keys defined!\r\n".
  std::string ShowFunctionKeys() const;

 private:
  std::array<std::string, kCount> keys_;
};

}  // namespace programs
