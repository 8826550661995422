#include "ui/look/accelerators.h"

#include <string>

#include "platform/text.h"

namespace ui::look {
namespace {

struct NamedKey {
  std::string_view name;
  int code;
};

constexpr NamedKey kNamedKeys[] = {
    {"RETURN", ui::key::kEnter},
    {"ENTER", ui::key::kEnter},
    {"ESC", ui::key::kEscape},
    {"ESCAPE", ui::key::kEscape},
    {"UP", ui::key::kUp},
    {"DOWN", ui::key::kDown},
    {"LEFT", 37},
    {"RIGHT", 39},
    {"TAB", 9},
    {"SPACE", 32},
    {"INSERT", 45},
    {"DELETE", 46},
    {"HOME", 36},
    {"END", 35},
    {"PGUP", 33},
    {"PGDN", 34},
    {"BACK", 8},
    {"PLUS", kPlusKey},
    {"MINUS", kMinusKey},
};

// The key code of a name, 0 when it names no key.
int KeyCode(std::string_view name) {
  for (const NamedKey& k : kNamedKeys) {
    if (k.name == name) return k.code;
  }
  if (name.size() == 1 &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
    return name[0];
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
    const std::optional<int> n = platform::ReadWholeNumber(name.substr(1));
    if (n && *n >= 1 && *n <= 12) return ui::key::kF1 + *n - 1;
  }
  return 0;
}

bool ReadEntry(std::string_view entry, ui::Accelerator& accelerator) {
  const std::size_t comma = entry.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string key = platform::ToUpper(platform::TrimmedView(entry.substr(0, comma)));
  const std::string_view id = platform::TrimmedView(entry.substr(comma + 1));
  const std::optional<int> number = platform::ReadWholeNumber(id);
  if (!number) return false;
  accelerator.id = *number;
  std::size_t name = 0;
  for (; name < key.size(); ++name) {
    if (key[name] == '^') {
      accelerator.control = true;
    } else if (key[name] == '+') {
      accelerator.shift = true;
    } else if (key[name] == '%') {
      accelerator.alt = true;
    } else {
      break;
    }
  }
  accelerator.keyCode = KeyCode(std::string_view(key).substr(name));
  return accelerator.keyCode != 0;
}

}  // namespace

std::vector<ui::Accelerator> ParseAccelerators(std::string_view table) {
  std::vector<ui::Accelerator> accelerators;
  for (platform::FieldWalker entries(table, "|"); !entries.Done();) {
    ui::Accelerator accelerator;
    if (ReadEntry(entries.Next(), accelerator)) accelerators.push_back(accelerator);
  }
  return accelerators;
}

}  // namespace ui::look
