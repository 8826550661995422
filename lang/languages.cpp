#include "lang/languages.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

#include "lang/language_file.h"
#include "platform/data_folders.h"
#include "platform/files.h"
#include "platform/text.h"

namespace lang {
namespace {

constexpr const char* kLanguageFolder = "AppLanguages";
constexpr const char* kChoiceFile = "lang.ini";
constexpr std::string_view kFilePrefix = "terminal_";
constexpr std::string_view kFileSuffix = ".lng";

// Point sizes of the size indexes; the markers "-4".."-1" are indexes 0..3,
// no marker is 4, "+1".."+6" are 5..10.
constexpr std::array<int, kSizeCount> kSizePoints = {7, 8, 9, 10, 11, 12, 13, 14, 15, 20, 26};

// "terminal" + "_" + two free characters + ".lng", letter case ignored.
bool IsLanguageFileName(std::string_view name) {
  if (name.size() != kFilePrefix.size() + 2 + kFileSuffix.size()) return false;
  return platform::EqualsNoCase(name.substr(0, kFilePrefix.size()), kFilePrefix) &&
         platform::EqualsNoCase(name.substr(name.size() - kFileSuffix.size()), kFileSuffix);
}

// The first 20 matching names of the folder, in the order the directory
// listing returns them.
std::vector<std::string> FindLanguageFiles(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!IsLanguageFileName(name)) continue;
    paths.push_back(platform::JoinPath(folder, name));
    if (paths.size() == static_cast<std::size_t>(kMaxLanguages)) break;
  }
  return paths;
}

// MulDiv of 32-bit integers: a * b / c with a 64-bit product, rounded to the
// nearest integer, halves away from zero; -1 when c is 0 or the result does
// not fit.
int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(a) * b;
  bool negative = (product < 0) != (c < 0);
  std::int64_t magnitude = product < 0 ? -product : product;
  std::int64_t divisor = c < 0 ? -static_cast<std::int64_t>(c) : c;
  std::int64_t q = (magnitude + divisor / 2) / divisor;
  if (q > std::numeric_limits<int>::max()) return -1;
  return static_cast<int>(negative ? -q : q);
}

// Nearest integer, ties to even: the rounding used for every integer the
// program derives from a number.
int RoundToInt(double value) {
  double r = std::nearbyint(value);
  if (!(r > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (!(r < std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  return static_cast<int>(r);
}

const std::u16string kNoText;

}  // namespace

int SplitCaptionId(std::string& caption) {
  const platform::CaptionCut<char> cut = platform::CutCaption(caption);
  if (!cut.marked) return 0;
  const int id = platform::CaptionId(cut.after);
  caption.resize(cut.text.size());
  return id;
}

int SizePoints(int sizeIndex) {
  if (sizeIndex < 0 || sizeIndex >= kSizeCount) return kSizePoints[kNormalSizeIndex];
  return kSizePoints[static_cast<std::size_t>(sizeIndex)];
}

std::u16string_view SplitModifiers(std::u16string_view text, TextModifiers* modifiers) {
  TextModifiers found;
  const platform::CaptionCut<char16_t> cut = platform::CutCaption(text);
  if (cut.marked) {
    std::u16string_view part = cut.after;
    found.bold = part.find(u'B') != std::u16string_view::npos;
    // The size marker is the first sign followed by a digit.
    for (std::size_t i = 0; i + 1 < part.size(); ++i) {
      char16_t sign = part[i];
      char16_t digit = part[i + 1];
      if ((sign != u'+' && sign != u'-') || digit < u'0' || digit > u'9') continue;
      int step = digit - u'0';
      if (sign == u'-' && step >= 1 && step <= 4) found.sizeIndex = kNormalSizeIndex - step;
      if (sign == u'+' && step >= 1 && step <= 6) found.sizeIndex = kNormalSizeIndex + step;
      break;
    }
  }
  if (modifiers) *modifiers = found;
  return cut.text;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

FontDescription DescribeFont(std::string_view face, int characterSet, double points,
                             std::string_view style, int dotsPerInch) {
  std::string letters = platform::ToUpper(style);
  auto has = [&letters](char c) { return letters.find(c) != std::string::npos; };

  FontDescription font;
  font.face = std::string(face);
  font.points = points;
  int m = MulDiv(dotsPerInch, RoundToInt(points * 100), 72);
  font.height = -RoundToInt(m / 100.0);

  font.weight = 400;
  if (has('T')) font.weight = 100;
  if (has('L')) font.weight = 300;
  if (has('M')) font.weight = 500;
  if (has('B')) font.weight = 700;
  if (has('X')) font.weight = 900;
  if (has('+')) font.weight += 100;

  font.italic = has('I');
  font.underline = has('U');
  font.strikeOut = has('-');

  font.characterSet = characterSet;
  if (has('D')) font.characterSet = 1;
  if (has('S')) font.characterSet = 2;
  if (has('O')) font.characterSet = 255;

  font.quality = 1;
  if (has('Q')) font.quality = 2;
  if (has('A')) font.quality = 4;
  font.pitch = 0;
  if (has('F')) font.pitch = 1;
  if (has('V')) font.pitch = 2;
  return font;
}

void Languages::LoadLanguageFiles(const std::string& dataRoot) {
  languages_.clear();
  index_ = 0;
  std::string folder = platform::DataFolders(dataRoot).DataPath(kLanguageFolder);
  if (!platform::DirectoryExists(folder)) return;

  for (const std::string& path : FindLanguageFiles(folder)) {
    std::string bytes;
    if (!platform::ReadFile(path, bytes)) continue;
    LanguageFileContent content;
    ReadLanguageFile(bytes, content);  // a damaged record keeps the texts before it
    Language language;
    const std::string file = std::filesystem::path(path).filename().string();
    language.code = file.substr(kFilePrefix.size(), 2);
    for (char& c : language.code)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    language.name = std::move(content.name);
    language.fontFace = std::move(content.fontFace);
    language.characterSet = content.characterSet;
    for (LanguageRecord& record : content.records) {
      if (record.captionId < 1 || record.captionId > kMaxCaptionId) continue;
      auto id = static_cast<std::size_t>(record.captionId);
      TextModifiers modifiers;
      SplitModifiers(record.text, &modifiers);
      language.usedSizes.set(static_cast<std::size_t>(modifiers.sizeIndex));
      language.texts[id] = std::move(record.text);
      language.present.set(id);
    }
    languages_.push_back(std::move(language));
  }
}

std::string Languages::LanguageList() const {
  std::string list;
  for (std::size_t i = 0; i < languages_.size(); ++i) {
    if (i > 0) list += '|';
    for (char c : languages_[i].name) list += c == '|' ? '/' : c;
  }
  return list;
}

std::string Languages::SelectorItems() const {
  std::string items = kBuiltInLanguageName;
  if (!languages_.empty()) items += "|" + LanguageList();
  return items;
}

bool Languages::Select(int index) {
  if (index < 0 || index > Count()) return false;
  index_ = index;
  return true;
}

int Languages::ReadLanguageChoice(const std::string& dataRoot) const {
  if (languages_.empty()) return 0;
  std::string content;
  if (!platform::ReadFile(platform::DataFolders(dataRoot).DataPath(kChoiceFile), content)) return 0;
  // Only blanks are padding in the file as written; a line end or a byte
  // order mark left by an editor is forgiven as well.
  std::string_view wanted = platform::TrimmedView(platform::WithoutByteOrderMark(content), " \r\n");
  if (wanted.empty()) return 0;
  for (std::size_t i = 0; i < languages_.size(); ++i)
    if (platform::EqualsNoCase(languages_[i].name, wanted)) return static_cast<int>(i) + 1;
  return 0;
}

platform::Result<> Languages::StoreLanguageChoice(const std::string& dataRoot, int index) const {
  if (index < 0 || index > Count()) {
    return platform::Result<>::CallerMistake("there is no language " + std::to_string(index));
  }
  // The file may have come from a Windows installation as "LANG.INI": write
  // over (or remove) whatever spelling is there.
  std::string path = platform::DataFolders(dataRoot).DataPath(kChoiceFile);
  std::string name = index == 0 ? std::string() : platform::TrimBlanks(Name(index));
  if (!name.empty()) return platform::WriteFileAtomic(path, name);
  if (!platform::FileExists(path)) return platform::Result<>::Success();
  return platform::RemoveFile(path);
}

const Languages::Language* Languages::Find(int language) const {
  if (language < 1 || language > Count()) return nullptr;
  return &languages_[static_cast<std::size_t>(language - 1)];
}

std::string Languages::Code(int language) const {
  const Language* found = language == 0 ? nullptr : Find(language);
  return found ? found->code : std::string();
}

std::string Languages::Name(int language) const {
  if (language == 0) return kBuiltInLanguageName;
  const Language* found = Find(language);
  return found ? found->name : std::string();
}

std::string Languages::FontFace(int language) const {
  const Language* found = Find(language);
  return found ? found->fontFace : std::string();
}

int Languages::CharacterSet(int language) const {
  const Language* found = Find(language);
  return found ? found->characterSet : 0;
}

const std::u16string& Languages::LanguageTable(int language, int captionId) const {
  const Language* found = Find(language);
  if (!found || captionId < 1 || captionId > kMaxCaptionId) return kNoText;
  return found->texts[static_cast<std::size_t>(captionId)];
}

bool Languages::HasText(int language, int captionId) const {
  const Language* found = Find(language);
  return found && captionId >= 1 && captionId <= kMaxCaptionId &&
         found->present.test(static_cast<std::size_t>(captionId));
}

CaptionText Languages::Caption(const std::string& captionWithId) const {
  CaptionText out;
  out.text = captionWithId;
  out.captionId = SplitCaptionId(out.text);
  if (index_ == 0 || !HasText(index_, out.captionId)) return out;

  TextModifiers modifiers;
  std::u16string_view text = SplitModifiers(LanguageTable(index_, out.captionId), &modifiers);
  out.text = ToUtf8(text);
  out.translated = true;
  out.sizeIndex = modifiers.sizeIndex;
  out.points = SizePoints(modifiers.sizeIndex);
  out.bold = modifiers.bold;
  return out;
}

std::vector<LanguageFont> Languages::Fonts(int language, int dotsPerInch) const {
  std::vector<LanguageFont> fonts;
  const Language* found = Find(language);
  if (!found) return fonts;
  for (int size = 0; size < kSizeCount; ++size) {
    if (!found->usedSizes.test(static_cast<std::size_t>(size))) continue;
    for (bool bold : {false, true})
      fonts.push_back({size, bold, Font(language, size, bold, dotsPerInch)});
  }
  return fonts;
}

FontDescription Languages::Font(int language, int sizeIndex, bool bold, int dotsPerInch) const {
  return DescribeFont(FontFace(language), CharacterSet(language), SizePoints(sizeIndex),
                      bold ? "VB" : "V", dotsPerInch);
}

}  // namespace lang
