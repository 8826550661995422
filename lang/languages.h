// Translated captions: the language files, the stored language choice and the
// caption identifiers that tie captions to translations.
//
// Every caption on an owner-drawn label or button carries an identifier after
// a double slash: "History//9", "Clear Terminal Display// 1". With the
// built-in language (index 0, "English") the text before the slashes is
// shown. With language n the caption shows text 9 of language n's file, in
// the font that file names, at one of eleven sizes, optionally bold.
//
// Language files are "terminal_??.lng" (any letter case) in the folder
// "AppLanguages" of the data root; their format is in language_file.h and
// docs/languages.md. The choice survives a restart in "lang.ini" in the data
// root: the chosen language's name, 8-bit text, no line end; no file means
// the built-in language.
//
// Texts of language files are UTF-16 and stay so until they are drawn:
// Caption() hands out UTF-8, ToUtf8() converts anything else.
//
// Typical use by the application:
//   lang::Languages languages;
//   languages.LoadLanguageFiles(dataRoot);               // once, at start-up
//   selector items: languages.SelectorItems()            // "English|Deutsch"
//   after the main window has loaded:
//     languages.Select(languages.ReadLanguageChoice(dataRoot));
//   operator picks selector entry n (n != LanguageIndex()):
//     languages.Select(n); redraw the window; languages.StoreLanguageChoice(dataRoot, n);
//   drawing an owner-drawn caption:
//     lang::CaptionText c = languages.Caption(caption);
//     c.translated ? draw c.text in languages.Font(languages.LanguageIndex(),
//                                                  c.sizeIndex, c.bold, dpi)
//                  : draw c.text in the control's own font
#pragma once

#include <array>
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace lang {

inline constexpr int kMaxLanguages = 20;    // files beyond the 20th are ignored
inline constexpr int kMaxCaptionId = 300;   // identifiers 1..300 can be translated
inline constexpr int kSizeCount = 11;       // size indexes 0..10
inline constexpr int kNormalSizeIndex = 4;  // a text without size marker: 11 points
inline constexpr const char* kBuiltInLanguageName = "English";

// ---------------------------------------------------------------------------
// Captions and texts

// Cuts `caption` at its first "//" and returns the identifier after it
// (platform::CutCaption and platform::CaptionId): the text after the slashes,
// trimmed of blanks, read as leading decimal digits. No "//": returns 0 and
// leaves the caption unchanged. The caption is cut even when the identifier
// is 0 or missing, and is not trimmed: "Enter Commands below:// 4" becomes
// "Enter Commands below:" and gives 4.
int SplitCaptionId(std::string& caption);

// Point size of a size index 0..10 (7, 8, 9, 10, 11, 12, 13, 14, 15, 20, 26);
// an index outside that range gives the normal 11 points.
int SizePoints(int sizeIndex);

// What the modifier part of a translated text asks for.
struct TextModifiers {
  int sizeIndex = kNormalSizeIndex;
  bool bold = false;
};

// Splits a translated text at its first "//" into the text drawn (returned)
// and its modifiers. The modifiers may hold one size marker ("-4" .. "-1",
// "+1" .. "+6": sizes 0..3 and 5..10) and a capital "B" for bold, in any
// order: "Verlauf//+2B" is "Verlauf" at 13 points, bold. An unknown marker
// leaves the normal size.
std::u16string_view SplitModifiers(std::u16string_view text, TextModifiers* modifiers);

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// A caption ready to draw.
struct CaptionText {
  // translated: the language's text (UTF-8, may hold line breaks, then drawn
  // as a centred block; empty when the language's text is empty: draw
  // nothing). Not translated: the caption before its "//", bytes unchanged,
  // to be drawn in the control's own font.
  std::string text;
  bool translated = false;
  int captionId = 0;                 // identifier found in the caption, 0 none
  int sizeIndex = kNormalSizeIndex;  // translated texts only
  int points = 11;                   // SizePoints(sizeIndex)
  bool bold = false;
};

// ---------------------------------------------------------------------------
// Fonts, as plain data for the window backend

// A font as the backend should create it (the values of a Windows LOGFONT).
struct FontDescription {
  std::string face;      // 8-bit; empty: the backend's default face
  int characterSet = 0;  // 0 ANSI, 1 default, 2 symbol, 255 OEM, or the file's value
  int height = 0;        // negative: character height in pixels without leading
  double points = 0;     // the size asked for, for backends that size in points
  int weight = 400;      // 100 thin .. 900 heavy; 400 normal, 700 bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int quality = 1;  // 1 draft, 2 proof, 4 antialiased
  int pitch = 0;    // 0 default, 1 fixed, 2 variable
};

// Describes a font from a face, character set, point size and style letters
// (any case, each looked for anywhere in the style):
//   height  -round(MulDiv(dotsPerInch, round(points * 100), 72) / 100)
//   weight  400; "T" 100, "L" 300, "M" 500, "B" 700, "X" 900 (a later letter
//           of this list wins); then "+" adds 100 (" L+V" is 400)
//   "I" italic, "U" underline, "-" strike-out
//   character set: as given; "D" 1, "S" 2, "O" 255 (later wins)
//   quality 1; "Q" 2, "A" 4      pitch 0; "F" 1 fixed, "V" 2 variable
// Also serves the program's own font slots, which use the same style letters.
FontDescription DescribeFont(std::string_view face, int characterSet, double points,
                             std::string_view style, int dotsPerInch);

// One font of a language: a size index it uses, normal or bold.
struct LanguageFont {
  int sizeIndex = kNormalSizeIndex;
  bool bold = false;
  FontDescription font;
};

// ---------------------------------------------------------------------------
// The loaded languages and the choice among them

class Languages {
 public:
  // Forgets every language and selects the built-in one, then loads up to 20
  // files "terminal_??.lng" (letter case ignored, directory order) from the
  // folder "AppLanguages" (letter case ignored) of `dataRoot` (trailing
  // separator optional). A file that cannot be read is skipped and leaves no
  // gap: language n is always the n-th loaded file. A damaged record ends the
  // reading of its file; the texts before it stay. A missing folder or no
  // matching file leaves only the built-in language. Never fails.
  void LoadLanguageFiles(const std::string& dataRoot);

  // Number of loaded languages, 0..20.
  int Count() const { return static_cast<int>(languages_.size()); }

  // The names of the loaded languages joined by "|" in load order ("" with
  // none). A "|" inside a name is shown as "/" so that the list's entries
  // stay aligned with the languages.
  std::string LanguageList() const;

  // Items of the language selector: "English" + "|" + LanguageList(); entry
  // n is language n.
  std::string SelectorItems() const;

  // 0: built-in captions; 1..Count(): a loaded language.
  int LanguageIndex() const { return index_; }

  // Makes `index` the language of every caption drawn from now on. An index
  // outside 0..Count() is refused (false) and the current language stays.
  // Selecting does not store the choice: see StoreLanguageChoice().
  bool Select(int index);

  // The index of the language named in "lang.ini" (letter case ignored on
  // both sides, the file's content trimmed of blanks and line ends); 0 when
  // the file is missing or empty, or names no loaded language ("english"
  // included: the built-in language is not in the list). Does not select.
  int ReadLanguageChoice(const std::string& dataRoot) const;

  // Remembers language `index` for the next start: 0 removes "lang.ini";
  // 1..Count() replaces it with that language's name (no line end) in one
  // atomic step, so a failed write keeps the old choice; a language whose
  // name is empty removes the file. Fails when the file could not be written
  // or removed, or (a caller mistake, file untouched) `index` is out of range.
  platform::Result<> StoreLanguageChoice(const std::string& dataRoot, int index) const;

  // Data of language 1..Count(); language 0 and out-of-range indexes give
  // empty values ("English" for Name(0)).
  std::string Name(int language) const;
  // The two characters of its file's name (terminal_de.lng: "de"), lower
  // case: usually a language code, which the backend's own dialogs may
  // follow. "" for language 0 and unknown languages.
  std::string Code(int language) const;
  std::string FontFace(int language) const;
  int CharacterSet(int language) const;

  // Text `captionId` of `language`, with its modifier part; empty when the
  // language or identifier does not exist or the file has no such text.
  const std::u16string& LanguageTable(int language, int captionId) const;
  // True when the language's file holds a record for `captionId` (its text
  // may still be empty).
  bool HasText(int language, int captionId) const;

  // Turns an owner-drawn caption into what to draw in the selected language:
  //  - no "//", or the built-in language: the caption before "//", untranslated;
  //  - identifier 1..300 and the file holds that text: the text before its
  //    modifier part, translated, at its size and weight;
  //  - an identifier the language cannot translate (the file holds no record
  //    for it, or it lies outside 1..300): the caption before "//",
  //    untranslated, so a missing translation never blanks a control.
  // Turning "|" into line breaks on labels, and replacing a blank label
  // caption by the label's own text, are the caller's part.
  CaptionText Caption(const std::string& captionWithId) const;

  // The fonts language `language` needs, as created at load time: for each
  // size index used by any of its texts, in increasing order, the normal
  // font (style "V") and the bold font (style "VB"), from the language's face
  // and character set. Empty for language 0 and unknown languages.
  std::vector<LanguageFont> Fonts(int language, int dotsPerInch) const;
  // One of those fonts; any size index 0..10 may be asked for.
  FontDescription Font(int language, int sizeIndex, bool bold, int dotsPerInch) const;

 private:
  struct Language {
    std::string name;
    std::string code;  // the file name's two free characters, lower case ("de")
    std::string fontFace;
    int characterSet = 0;
    std::array<std::u16string, kMaxCaptionId + 1> texts;  // [0] unused
    std::bitset<kMaxCaptionId + 1> present;
    std::bitset<kSizeCount> usedSizes;
  };
  const Language* Find(int language) const;

  std::vector<Language> languages_;
  int index_ = 0;
};

}  // namespace lang
