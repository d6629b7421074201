// Dialog templates: the template format and its bounds, and dialog units.
#include "platform/ui/dialog/dialog_template.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ui {
namespace {

using uitest::Form;
using uitest::kChild;

TEST(DialogTemplate, ReadsEveryClassWithItsStyles) {
  DialogTemplate t = Form();
  EXPECT_EQ(t.caption, "Song Details");
  EXPECT_EQ((std::vector<int32_t>{t.x, t.y, t.width, t.height}),
            (std::vector<int32_t>{10, 20, 200, 120}));
  EXPECT_EQ(t.pointSize, 9);
  EXPECT_EQ(t.face, "MS Shell Dlg");
  EXPECT_EQ(t.style, win::WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER);
  struct Row {
    int32_t id;
    ControlKind kind;
    const char* text;
    uint32_t style;
  };
  const Row rows[] = {
      {-1, ControlKind::Static, "&Title:", kChild | SS_LEFT},
      {1001, ControlKind::Edit, "Twinkle", kChild | WS_TABSTOP | ES_AUTOHSCROLL},
      {1002, ControlKind::Edit, "", kChild | WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER},
      {1003, ControlKind::Edit, "fixed", kChild | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY},
      {1004, ControlKind::Button, "&Repeat", kChild | WS_TABSTOP | BS_AUTOCHECKBOX},
      {1005, ControlKind::Button, "Manual", kChild | WS_TABSTOP | BS_CHECKBOX},
      {1006, ControlKind::ListBox, "", kChild | WS_TABSTOP | LBS_NOTIFY | LBS_SORT},
      {1007, ControlKind::ComboBox, "", kChild | WS_TABSTOP | CBS_DROPDOWN},
      {1008, ControlKind::Progress, "", kChild},
      {-1, ControlKind::Button, "Options", kChild | BS_GROUPBOX},
      {1009, ControlKind::Button, "&Apply", kChild | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED},
      {IDOK, ControlKind::Button, "OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
      {IDCANCEL, ControlKind::Button, "Cancel", kChild | WS_TABSTOP | BS_PUSHBUTTON},
  };
  ASSERT_EQ(t.items.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.items[i].id, rows[i].id);
    EXPECT_EQ(t.items[i].kind, rows[i].kind);
    EXPECT_EQ(t.items[i].text, rows[i].text);
    EXPECT_EQ(t.items[i].style, rows[i].style);
  }
  EXPECT_EQ((std::vector<int32_t>{t.items[1].x, t.items[1].y, t.items[1].width, t.items[1].height}),
            (std::vector<int32_t>{50, 7, 100, 12}));
}

TEST(DialogTemplate, DefaultsEscapesAndHex) {
  auto t =
      ParseDialogTemplate("\xEF\xBB\xBF"
                          "dialog 0 0 50 20\r\n"
                          "static 7 \"a \\\"b\\\"\\n\\\\ \xEA\xB0\x80\" 0 0 10 10 0x4 center\n");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->caption, "");
  EXPECT_EQ(t->pointSize, 9);
  EXPECT_EQ(t->style, DefaultDialogStyle());
  ASSERT_EQ(t->items.size(), 1u);
  EXPECT_EQ(t->items[0].text, "a \"b\"\n\\ \xEA\xB0\x80");
  // CENTER replaces the alignment bits, the number is or'ed in.
  EXPECT_EQ(t->items[0].style, kChild | 0x4 | SS_CENTER);
}

TEST(DialogTemplate, RefusesMalformedTemplatesWithTheLine) {
  const std::string head = "DIALOG 0 0 100 50\n";
  std::string manyControls = head;
  for (size_t i = 0; i <= kMaxDialogItems; ++i)
    manyControls += "STATIC -1 \"\" 0 0 1 1\n";
  struct Row {
    std::string text;
    size_t line;
    const char* says;
  };
  const Row rows[] = {
      {"", 0, "no DIALOG"},
      {"# only a comment\n", 0, "no DIALOG"},
      {"STATIC -1 \"x\" 0 0 1 1\n", 1, "after DIALOG"},
      {head + "DIALOG 0 0 1 1\n", 2, "twice"},
      {"DIALOG 0 0 100\n", 1, "expected x, y"},
      {"DIALOG 0 0 100 50 7\n", 1, "takes x, y"},
      {"DIALOG 0 0 -1 50\n", 1, "width and height"},
      {"DIALOG 0 4097 10 50\n", 1, "within 4096"},
      {"DIALOG 0 0 10 5x\n", 1, "numbers"},
      {head + "WINDOW 1 \"x\" 0 0 1 1\n", 2, "unknown keyword"},
      {head + "\"STATIC\" 1 \"x\" 0 0 1 1\n", 2, "keyword"},
      {head + "CAPTION \"open\n", 2, "unterminated"},
      {head + "CAPTION \"a\\qb\"\n", 2, "escape"},
      {head + "CAPTION \"ends in a backslash\\", 2, "unterminated"},
      {head + "CAPTION plain\n", 2, "quoted"},
      {head + "CAPTION \"a\"\nCAPTION \"b\"\n", 3, "twice"},
      {head + "CAPTION \"" + std::string(kMaxDialogText + 1, 'x') + "\"\n", 2, "longer than"},
      {head + "FONT 0 \"x\"\n", 2, "font size"},
      {head + "FONT 73 \"x\"\n", 2, "font size"},
      {head + "FONT 9 \"" + std::string(kMaxDialogFaceName + 1, 'f') + "\"\n", 2, "face name"},
      {head + "STYLE POPUP WOBBLY\n", 2, "unknown dialog style"},
      {head + "STATIC -2 \"x\" 0 0 1 1\n", 2, "control id"},
      {head + "STATIC 65536 \"x\" 0 0 1 1\n", 2, "control id"},
      {head + "STATIC IDWHAT \"x\" 0 0 1 1\n", 2, "control id"},
      {head + "STATIC 5 x 0 0 1 1\n", 2, "quoted"},
      {head + "STATIC 5 \"x\" 0 0 1\n", 2, "a control takes"},
      {head + "EDIT 5 \"x\" 0 0 1 1\nEDIT 5 \"y\" 0 0 1 1\n", 3, "given twice"},
      {head + "BUTTON 5 \"x\" 0 0 1 1 READONLY\n", 2, "does not apply"},
      {head + "EDIT 5 \"x\" 0 0 1 1 0xZZ\n", 2, "does not apply"},
      {manyControls, kMaxDialogItems + 2, "more than 255"},
      {head + "# " + std::string(kMaxDialogTemplateLine, 'c') + "\n", 2, "line longer"},
      {std::string(kMaxDialogTemplateSize + 1, '#'), 0, "larger than"},
      {head + "CAPTION \"\xFF\"\n", 0, "not UTF-8"},
      {head + "CAPTION \"\xC0\xAF\"\n", 0, "not UTF-8"},
      {head + "CAPTION \"\xE2\x82\"\n", 0, "not UTF-8"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 80));
    DialogTemplateError error;
    EXPECT_FALSE(ParseDialogTemplate(row.text, &error));
    EXPECT_EQ(error.line, row.line);
    EXPECT_NE(error.message.find(row.says), std::string::npos) << error.message;
  }
  // Exactly at the bounds is fine.
  std::string atBounds = "DIALOG -4096 4096 4096 0\nCAPTION \"" + std::string(kMaxDialogText, 'x') +
                         "\"\nFONT 72 \"" + std::string(kMaxDialogFaceName, 'f') +
                         "\"\nSTATIC 65535 \"\" 0 0 1 1\n";
  EXPECT_TRUE(ParseDialogTemplate(atBounds));
}

TEST(DialogUnits, BaseUnitsAndRectanglesAsTheScreenReckonsThem) {
  struct Row {
    int32_t letters, cell;
    DialogBaseUnits units;
  };
  // (width / 26 + 1) / 2: the average letter width rounded at the half.
  const Row rows[] = {{312, 13, {6, 13}}, {337, 13, {6, 13}}, {338, 16, {7, 16}}, {0, 0, {0, 0}}};
  for (const Row& r : rows)
    EXPECT_EQ(BaseUnitsFromMeasure(r.letters, r.cell), r.units) << r.letters;

  // Edges scaled by x / 4 and y / 8, halves away from zero.
  EXPECT_EQ(MapDialogRect(gdi::MakeRect(7, 7, 50, 14), {6, 13}), (gdi::Rect{11, 11, 86, 34}));
  EXPECT_EQ(MapDialogRect(gdi::MakeRect(-2, -4, 2, 4), {6, 12}), (gdi::Rect{-3, -6, 0, 0}));
  EXPECT_EQ(MapDialogRect(gdi::Rect{0, 0, 4096, 4096}, {7, 16}), (gdi::Rect{0, 0, 7168, 8192}));
}

TEST(DialogUnits, WithoutAnApplicationTheUsualDialogFont) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  EXPECT_EQ(BaseUnitsOfFont(9, "MS Shell Dlg"), (DialogBaseUnits{6, 13}));
}

} // namespace
} // namespace ui
