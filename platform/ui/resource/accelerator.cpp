#include "platform/ui/resource/accelerator.h"

#include "platform/sys/ascii.h"
#include "platform/ui/window/input.h"
#include "platform/win/dispatch.h"

#include <array>
#include <charconv>

namespace ui {
namespace {

struct KeyName {
  const char* name;
  const char* shown;
  uint32_t key;
};

constexpr std::array<KeyName, 16> kKeyNames = {{
    {"SPACE", "Space", VK_SPACE},
    {"RETURN", "Enter", VK_RETURN},
    {"ESCAPE", "Esc", VK_ESCAPE},
    {"TAB", "Tab", VK_TAB},
    {"BACK", "Backspace", VK_BACK},
    {"INSERT", "Ins", VK_INSERT},
    {"DELETE", "Del", VK_DELETE},
    {"HOME", "Home", VK_HOME},
    {"END", "End", VK_END},
    {"PRIOR", "PgUp", VK_PRIOR},
    {"NEXT", "PgDn", VK_NEXT},
    {"LEFT", "Left", VK_LEFT},
    {"UP", "Up", VK_UP},
    {"RIGHT", "Right", VK_RIGHT},
    {"DOWN", "Down", VK_DOWN},
    {"PAUSE", "Pause", VK_PAUSE},
}};

std::optional<uint32_t> ParseKey(std::string_view w) {
  if (w.size() == 1) {
    const char c = sys::AsciiUpper(w[0]);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
      return static_cast<uint32_t>(c);
    return std::nullopt;
  }
  for (const KeyName& k : kKeyNames)
    if (sys::EqualIgnoringAsciiCase(w, k.name))
      return k.key;
  if (w[0] == 'F' || w[0] == 'f') {
    uint32_t n = 0;
    auto [end, ec] = std::from_chars(w.data() + 1, w.data() + w.size(), n);
    if (ec == std::errc() && end == w.data() + w.size() && n >= 1 && n <= 24)
      return VK_F1 + n - 1;
  }
  if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
    uint32_t code = 0;
    auto [end, ec] = std::from_chars(w.data() + 2, w.data() + w.size(), code, 16);
    if (ec == std::errc() && end == w.data() + w.size() && code >= 1 && code <= 0xFE)
      return code;
  }
  return std::nullopt;
}

std::string KeyText(uint32_t key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    return std::string(1, static_cast<char>(key));
  if (key >= VK_F1 && key < VK_F1 + 24)
    return "F" + std::to_string(key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.key == key)
      return k.shown;
  char hex[8];
  auto [end, ec] = std::to_chars(hex, hex + sizeof hex, key, 16);
  (void)ec;
  return "0x" + std::string(hex, end);
}

} // namespace

const Accelerator* AcceleratorTable::Find(uint32_t key, bool ctrl, bool shift, bool alt) const {
  for (const Accelerator& a : entries)
    if (a.key == key && a.ctrl == ctrl && a.shift == shift && a.alt == alt)
      return &a;
  return nullptr;
}

std::string AcceleratorTable::TextFor(uint16_t command) const {
  for (const Accelerator& a : entries)
    if (a.command == command)
      return AcceleratorText(a);
  return {};
}

std::string AcceleratorText(const Accelerator& a) {
  std::string text;
  if (a.ctrl)
    text += "Ctrl+";
  if (a.shift)
    text += "Shift+";
  if (a.alt)
    text += "Alt+";
  return text + KeyText(a.key);
}

std::optional<AcceleratorTable> ParseAccelerators(std::string_view text, ResourceError* error) {
  AcceleratorTable table;
  ResourceLines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    const int at = lines.Number();
    std::vector<std::string_view> words;
    for (auto rest = line; !rest.empty();) {
      auto [word, after] = SplitWord(rest);
      words.push_back(word);
      rest = after;
    }
    if (words.size() < 2)
      return Fail(error, at, "a key and a command are needed");
    Accelerator a;
    auto key = ParseKey(words.front());
    if (!key)
      return Fail(error, at, "unknown key " + std::string(words.front()));
    a.key = *key;
    for (size_t i = 1; i + 1 < words.size(); ++i) {
      auto is = [&](const char* name) { return sys::EqualIgnoringAsciiCase(words[i], name); };
      bool* flag = is("CTRL") ? &a.ctrl : is("SHIFT") ? &a.shift : is("ALT") ? &a.alt : nullptr;
      if (!flag)
        return Fail(error, at, "unknown modifier " + std::string(words[i]));
      if (*flag)
        return Fail(error, at, "modifier given twice");
      *flag = true;
    }
    auto command = ParseCommandId(words.back());
    if (!command)
      return Fail(error, at, "command id is no number from 1 to 65535");
    a.command = *command;
    table.entries.push_back(a);
  }
  return table;
}

std::optional<AcceleratorTable> LoadAccelerators(const ResourceFiles& files, uint32_t id,
                                                 ResourceError* error) {
  auto text = ResourceText(files, ResourcePath("accelerators", id, ".txt"), error);
  if (!text)
    return std::nullopt;
  return ParseAccelerators(*text, error);
}

bool TranslateAccelerator(win::Hwnd window, const AcceleratorTable& table, const win::Msg& msg) {
  if (msg.message != win::WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
    return false;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool alt = (HighWord(msg.lParam) & KF_ALTDOWN) != 0;
  const Accelerator* a = table.Find(static_cast<uint32_t>(msg.wParam), ctrl, shift, alt);
  if (!a)
    return false;
  win::SendMessage(window, win::WM_COMMAND, MakeWParam(a->command, 1), 0);
  return true;
}

} // namespace ui
