#include "platform/ui/dialog/dialog_template.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/font.h"
#include "platform/gdi/muldiv.h"
#include "platform/sys/ascii.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/screen.h"

#include <QGuiApplication>

#include <charconv>
#include <cstring>

namespace ui {
namespace {

struct Word {
  std::string text;
  bool quoted = false;
};

struct ClassWord {
  const char* name;
  ControlKind kind;
  uint32_t style; // the class's own bits
  bool tabStop;
};

constexpr ClassWord kClassWords[] = {
    {"STATIC", ControlKind::Static, SS_LEFT, false},
    {"EDIT", ControlKind::Edit, ES_LEFT | ES_AUTOHSCROLL, true},
    {"BUTTON", ControlKind::Button, BS_PUSHBUTTON, true},
    {"DEFBUTTON", ControlKind::Button, BS_DEFPUSHBUTTON, true},
    {"CHECKBOX", ControlKind::Button, BS_CHECKBOX, true},
    {"AUTOCHECKBOX", ControlKind::Button, BS_AUTOCHECKBOX, true},
    {"RADIOBUTTON", ControlKind::Button, BS_RADIOBUTTON, true},
    {"AUTORADIOBUTTON", ControlKind::Button, BS_AUTORADIOBUTTON, true},
    {"GROUPBOX", ControlKind::Button, BS_GROUPBOX, false},
    {"LISTBOX", ControlKind::ListBox, LBS_NOTIFY, true},
    {"COMBOBOX", ControlKind::ComboBox, CBS_DROPDOWNLIST, true},
    {"PROGRESS", ControlKind::Progress, 0, false},
};

// A style word sets bits and may clear others first (a field's alignment, a
// combo box's kind); kinds lists the classes it applies to (empty: all).
struct StyleWord {
  const char* name;
  uint32_t set;
  uint32_t clear;
  std::initializer_list<ControlKind> kinds;
};

constexpr uint32_t kAlignMask = 0x3;

const StyleWord kControlStyleWords[] = {
    {"DISABLED", WS_DISABLED, 0, {}},
    {"HIDDEN", 0, win::WS_VISIBLE, {}},
    {"TABSTOP", WS_TABSTOP, 0, {}},
    {"NOTABSTOP", 0, WS_TABSTOP, {}},
    {"GROUP", WS_GROUP, 0, {}},
    {"BORDER", WS_BORDER, 0, {}},
    {"VSCROLL", WS_VSCROLL, 0, {}},
    {"HSCROLL", WS_HSCROLL, 0, {}},
    {"LEFT", SS_LEFT, kAlignMask, {ControlKind::Static, ControlKind::Edit}},
    {"CENTER", SS_CENTER, kAlignMask, {ControlKind::Static, ControlKind::Edit}},
    {"RIGHT", SS_RIGHT, kAlignMask, {ControlKind::Static, ControlKind::Edit}},
    {"NOPREFIX", SS_NOPREFIX, 0, {ControlKind::Static}},
    {"SUNKEN", SS_SUNKEN, 0, {ControlKind::Static}},
    {"MULTILINE", ES_MULTILINE, 0, {ControlKind::Edit}},
    {"PASSWORD", ES_PASSWORD, 0, {ControlKind::Edit}},
    {"READONLY", ES_READONLY, 0, {ControlKind::Edit}},
    {"NUMBER", ES_NUMBER, 0, {ControlKind::Edit}},
    {"WANTRETURN", ES_WANTRETURN, 0, {ControlKind::Edit}},
    {"AUTOHSCROLL", ES_AUTOHSCROLL, 0, {ControlKind::Edit}},
    {"AUTOVSCROLL", ES_AUTOVSCROLL, 0, {ControlKind::Edit}},
    {"NOTIFY", LBS_NOTIFY, 0, {ControlKind::ListBox}},
    {"NONOTIFY", 0, LBS_NOTIFY, {ControlKind::ListBox}},
    {"SORT", LBS_SORT, 0, {ControlKind::ListBox}},
    {"SORTED", CBS_SORT, 0, {ControlKind::ComboBox}},
    {"SIMPLE", CBS_SIMPLE, CBS_TYPEMASK, {ControlKind::ComboBox}},
    {"DROPDOWN", CBS_DROPDOWN, CBS_TYPEMASK, {ControlKind::ComboBox}},
    {"DROPDOWNLIST", CBS_DROPDOWNLIST, CBS_TYPEMASK, {ControlKind::ComboBox}},
    {"SMOOTH", PBS_SMOOTH, 0, {ControlKind::Progress}},
};

struct DialogStyleWord {
  const char* name;
  uint32_t bits;
};

constexpr DialogStyleWord kDialogStyleWords[] = {
    {"POPUP", win::WS_POPUP},      {"CAPTION", WS_CAPTION},         {"SYSMENU", WS_SYSMENU},
    {"MODALFRAME", DS_MODALFRAME}, {"CENTER", DS_CENTER},           {"BORDER", WS_BORDER},
    {"THICKFRAME", WS_THICKFRAME}, {"MINIMIZEBOX", WS_MINIMIZEBOX}, {"MAXIMIZEBOX", WS_MAXIMIZEBOX},
    {"VISIBLE", win::WS_VISIBLE},
};

struct IdName {
  const char* name;
  int32_t id;
};

constexpr IdName kIdNames[] = {
    {"IDOK", IDOK},       {"IDCANCEL", IDCANCEL},     {"IDABORT", IDABORT},
    {"IDRETRY", IDRETRY}, {"IDIGNORE", IDIGNORE},     {"IDYES", IDYES},
    {"IDNO", IDNO},       {"IDC_STATIC", IDC_STATIC},
};

bool SameWord(std::string_view a, std::string_view b) {
  return sys::EqualIgnoringAsciiCase(a, b);
}

bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<uint8_t>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t extra = 0;
    uint32_t cp = 0;
    if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (s.size() - i <= extra)
      return false;
    for (size_t k = 1; k <= extra; ++k) {
      auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80)
        return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode.
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return false;
    i += extra + 1;
  }
  return true;
}

class LineParser {
public:
  explicit LineParser(std::string_view line) : line_(line) {}

  // The words of the line, or an error message.
  std::optional<std::vector<Word>> Split(std::string* error) {
    std::vector<Word> words;
    size_t i = 0;
    while (true) {
      while (i < line_.size() && (line_[i] == ' ' || line_[i] == '\t' || line_[i] == '\r'))
        ++i;
      if (i >= line_.size() || line_[i] == '#')
        return words;
      Word w;
      if (line_[i] == '"') {
        w.quoted = true;
        ++i;
        bool closed = false;
        while (i < line_.size()) {
          char c = line_[i++];
          if (c == '"') {
            closed = true;
            break;
          }
          if (c == '\\') {
            if (i >= line_.size())
              break;
            char e = line_[i++];
            switch (e) {
            case '"':
            case '\\':
              w.text += e;
              break;
            case 'n':
              w.text += '\n';
              break;
            case 'r':
              w.text += '\r';
              break;
            case 't':
              w.text += '\t';
              break;
            default:
              *error = std::string("unknown escape \\") + e;
              return std::nullopt;
            }
            continue;
          }
          w.text += c;
        }
        if (!closed) {
          *error = "unterminated text";
          return std::nullopt;
        }
        if (w.text.size() > kMaxDialogText) {
          *error = "text longer than " + std::to_string(kMaxDialogText) + " bytes";
          return std::nullopt;
        }
      } else {
        while (i < line_.size() && line_[i] != ' ' && line_[i] != '\t' && line_[i] != '\r' &&
               line_[i] != '"' && line_[i] != '#')
          w.text += line_[i++];
      }
      words.push_back(std::move(w));
    }
  }

private:
  std::string_view line_;
};

std::optional<int32_t> ParseInt(const Word& w, int32_t low, int32_t high) {
  if (w.quoted || w.text.empty())
    return std::nullopt;
  int32_t value = 0;
  const char* begin = w.text.data();
  const char* end = begin + w.text.size();
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || value < low || value > high)
    return std::nullopt;
  return value;
}

std::optional<uint32_t> ParseHex(const Word& w) {
  if (w.quoted || w.text.size() < 3 || w.text[0] != '0' || (w.text[1] != 'x' && w.text[1] != 'X'))
    return std::nullopt;
  uint32_t value = 0;
  const char* begin = w.text.data() + 2;
  const char* end = w.text.data() + w.text.size();
  auto [ptr, ec] = std::from_chars(begin, end, value, 16);
  if (ec != std::errc() || ptr != end)
    return std::nullopt;
  return value;
}

std::optional<int32_t> ParseId(const Word& w) {
  for (const IdName& n : kIdNames) {
    if (!w.quoted && SameWord(w.text, n.name))
      return n.id;
  }
  return ParseInt(w, -1, 65535);
}

const ClassWord* FindClass(std::string_view word) {
  for (const ClassWord& c : kClassWords) {
    if (SameWord(word, c.name))
      return &c;
  }
  return nullptr;
}

bool Applies(const StyleWord& s, ControlKind kind) {
  if (s.kinds.size() == 0)
    return true;
  for (ControlKind k : s.kinds) {
    if (k == kind)
      return true;
  }
  return false;
}

struct Parse {
  DialogTemplate result;
  bool haveSize = false, haveCaption = false, haveFont = false, haveStyle = false;
  std::string error;

  bool Fail(std::string message) {
    error = std::move(message);
    return false;
  }

  bool ReadRect(const std::vector<Word>& w, size_t at, int32_t* x, int32_t* y, int32_t* width,
                int32_t* height) {
    if (w.size() < at + 4)
      return Fail("expected x, y, width and height");
    auto px = ParseInt(w[at], -kMaxDialogUnits, kMaxDialogUnits);
    auto py = ParseInt(w[at + 1], -kMaxDialogUnits, kMaxDialogUnits);
    auto pw = ParseInt(w[at + 2], 0, kMaxDialogUnits);
    auto ph = ParseInt(w[at + 3], 0, kMaxDialogUnits);
    if (!px || !py || !pw || !ph)
      return Fail("x and y must be numbers within " + std::to_string(kMaxDialogUnits) +
                  ", width and height from 0 to " + std::to_string(kMaxDialogUnits));
    *x = *px;
    *y = *py;
    *width = *pw;
    *height = *ph;
    return true;
  }

  bool Line(const std::vector<Word>& w) {
    if (w[0].quoted)
      return Fail("a line starts with a keyword");
    const std::string& key = w[0].text;
    if (SameWord(key, "DIALOG")) {
      if (haveSize)
        return Fail("DIALOG given twice");
      if (!ReadRect(w, 1, &result.x, &result.y, &result.width, &result.height))
        return false;
      if (w.size() != 5)
        return Fail("DIALOG takes x, y, width and height");
      haveSize = true;
      return true;
    }
    if (SameWord(key, "CAPTION")) {
      if (haveCaption)
        return Fail("CAPTION given twice");
      if (w.size() != 2 || !w[1].quoted)
        return Fail("CAPTION takes one quoted text");
      result.caption = w[1].text;
      haveCaption = true;
      return true;
    }
    if (SameWord(key, "FONT")) {
      if (haveFont)
        return Fail("FONT given twice");
      if (w.size() != 3 || !w[2].quoted)
        return Fail("FONT takes a size in points and a quoted face");
      auto points = ParseInt(w[1], 1, kMaxDialogPointSize);
      if (!points)
        return Fail("font size must be from 1 to " + std::to_string(kMaxDialogPointSize));
      if (w[2].text.size() > kMaxDialogFaceName)
        return Fail("face name longer than " + std::to_string(kMaxDialogFaceName) + " bytes");
      result.pointSize = *points;
      result.face = w[2].text;
      haveFont = true;
      return true;
    }
    if (SameWord(key, "STYLE")) {
      if (haveStyle)
        return Fail("STYLE given twice");
      uint32_t style = 0;
      for (size_t i = 1; i < w.size(); ++i) {
        if (auto hex = ParseHex(w[i])) {
          style |= *hex;
          continue;
        }
        bool known = false;
        for (const DialogStyleWord& s : kDialogStyleWords) {
          if (!w[i].quoted && SameWord(w[i].text, s.name)) {
            style |= s.bits;
            known = true;
          }
        }
        if (!known)
          return Fail("unknown dialog style " + w[i].text);
      }
      result.style = style;
      haveStyle = true;
      return true;
    }
    if (SameWord(key, "CONTROL")) {
      // CONTROL "class" id "text" x y width height [style...]
      if (w.size() < 2 || !w[1].quoted || w[1].text.empty() ||
          w[1].text.size() > kMaxDialogClassName)
        return Fail("CONTROL takes a quoted window class name of 1 to " +
                    std::to_string(kMaxDialogClassName) + " characters");
      static constexpr ClassWord kCustom{"CONTROL", kCustomControl, 0, false};
      std::vector<Word> rest(w.begin() + 1, w.end());
      if (!Control(kCustom, rest))
        return false;
      result.items.back().className = w[1].text;
      return true;
    }
    const ClassWord* cls = FindClass(key);
    if (!cls)
      return Fail("unknown keyword " + key);
    return Control(*cls, w);
  }

  bool Control(const ClassWord& cls, const std::vector<Word>& w) {
    if (!haveSize)
      return Fail("controls come after DIALOG");
    if (result.items.size() >= kMaxDialogItems)
      return Fail("more than " + std::to_string(kMaxDialogItems) + " controls");
    if (w.size() < 7)
      return Fail("a control takes an id, a quoted text, x, y, width and height");
    DialogItemTemplate item;
    item.kind = cls.kind;
    auto id = ParseId(w[1]);
    if (!id)
      return Fail("control id must be from -1 to 65535 or a known name, not " + w[1].text);
    item.id = *id;
    if (item.id != IDC_STATIC && result.Find(item.id))
      return Fail("control id " + std::to_string(item.id) + " given twice");
    if (!w[2].quoted)
      return Fail("a control's text is quoted");
    item.text = w[2].text;
    if (!ReadRect(w, 3, &item.x, &item.y, &item.width, &item.height))
      return false;
    item.style = win::WS_CHILD | win::WS_VISIBLE | cls.style | (cls.tabStop ? WS_TABSTOP : 0);
    for (size_t i = 7; i < w.size(); ++i) {
      if (auto hex = ParseHex(w[i])) {
        item.style |= *hex;
        continue;
      }
      const StyleWord* found = nullptr;
      for (const StyleWord& s : kControlStyleWords) {
        if (!w[i].quoted && SameWord(w[i].text, s.name) && Applies(s, cls.kind))
          found = &s;
      }
      if (!found)
        return Fail("style " + w[i].text + " does not apply to " + cls.name);
      item.style = (item.style & ~found->clear) | found->set;
    }
    result.items.push_back(std::move(item));
    return true;
  }
};

} // namespace

const DialogItemTemplate* DialogTemplate::Find(int32_t id) const {
  for (const DialogItemTemplate& item : items) {
    if (item.id == id)
      return &item;
  }
  return nullptr;
}

uint32_t DefaultDialogStyle() {
  return win::WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
}

std::optional<DialogTemplate> ParseDialogTemplate(std::string_view text,
                                                  DialogTemplateError* error) {
  auto fail = [&](size_t line, std::string message) -> std::optional<DialogTemplate> {
    if (error)
      *error = DialogTemplateError{line, std::move(message)};
    return std::nullopt;
  };
  if (text.size() > kMaxDialogTemplateSize)
    return fail(0, "template larger than " + std::to_string(kMaxDialogTemplateSize) + " bytes");
  if (!IsUtf8(text))
    return fail(0, "template is not UTF-8");
  // A byte-order mark that an editor may have left.
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    text.remove_prefix(3);

  Parse parse;
  parse.result.style = DefaultDialogStyle();
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.size() > kMaxDialogTemplateLine)
      return fail(lineNumber,
                  "line longer than " + std::to_string(kMaxDialogTemplateLine) + " bytes");
    std::string message;
    auto words = LineParser(line).Split(&message);
    if (!words)
      return fail(lineNumber, message);
    if (words->empty())
      continue;
    if (!parse.Line(*words))
      return fail(lineNumber, parse.error);
  }
  if (!parse.haveSize)
    return fail(0, "no DIALOG line");
  return std::move(parse.result);
}

DialogBaseUnits BaseUnitsFromMeasure(int32_t widthOfLetters, int32_t cellHeight) {
  return DialogBaseUnits{(widthOfLetters / 26 + 1) / 2, cellHeight};
}

DialogBaseUnits BaseUnitsOfFont(int32_t pointSize, std::string_view face) {
  constexpr DialogBaseUnits kUsual{6, 13};
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    return kUsual;
  gdi::LogFont lf;
  lf.height = -gdi::MulDiv(pointSize, gdi::kLogPixels, 72);
  lf.weight = gdi::kWeightNormal;
  lf.charSet = gdi::kDefaultCharSet;
  // The face is UTF-8 here; the font reads its name in the system code page.
  lf.SetFaceName(sys::FromUtf8Lossy(face));
  auto font = gdi::Font::Create(lf);
  if (!font)
    return kUsual;
  gdi::Dc dc = gdi::Dc::CreateMemory();
  dc.SelectFont(font);
  gdi::Size letters = dc.TextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  DialogBaseUnits units = BaseUnitsFromMeasure(letters.cx, font->Metrics().height);
  if (units.x <= 0 || units.y <= 0)
    return kUsual;
  return units;
}

gdi::Rect MapDialogRect(const gdi::Rect& r, DialogBaseUnits units) {
  return gdi::Rect{gdi::MulDiv(r.left, units.x, 4), gdi::MulDiv(r.top, units.y, 8),
                   gdi::MulDiv(r.right, units.x, 4), gdi::MulDiv(r.bottom, units.y, 8)};
}

} // namespace ui
