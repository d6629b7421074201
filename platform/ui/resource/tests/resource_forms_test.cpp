// The text and image forms of bundle resources: what each reads, the line a
// malformed file fails on, and accelerators turning keys into commands.
#include "platform/ui/resource/accelerator.h"
#include "platform/ui/resource/icon_resource.h"
#include "platform/ui/resource/menu_resource.h"
#include "platform/ui/resource/toolbar_resource.h"
#include "platform/ui/tests/support/resource_files.h"
#include "platform/ui/window/input.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <map>

using namespace ui;

namespace {

using uitest::Bytes;
using uitest::FilesOf;

std::vector<uint8_t> Strip(int32_t width, int32_t height) {
  return gdi::Dib::Create(width, height, 24)->ToBmpFile();
}

TEST(ResourceForms, MenuItemsKeepTheirKeyTextAfterATab) {
  auto menu = ParseMenuResource("POPUP &File\n"
                                "  ITEM 57603 &Save\\tCtrl+S\n"
                                "  ITEM 57601 Open\\\n"
                                "END\n");
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->Find(57603)->text, "&Save\tCtrl+S");
  EXPECT_EQ(menu->Find(57601)->text, "Open\\");
}

TEST(ResourceForms, AcceleratorsReadKeysModifiersAndCommands) {
  auto table = ParseAccelerators("# editor keys\n"
                                 "S CTRL 57603\n"
                                 "f5 32781\n"
                                 "DELETE shift ctrl 100\n"
                                 "0x1B ALT 200\n"
                                 "9 SHIFT ALT 65535\n");
  ASSERT_TRUE(table);
  const std::vector<Accelerator> want = {
      {'S', true, false, false, 57603},    {VK_F5, false, false, false, 32781},
      {VK_DELETE, true, true, false, 100}, {VK_ESCAPE, false, false, true, 200},
      {'9', false, true, true, 65535},
  };
  EXPECT_EQ(table->entries, want);
  EXPECT_EQ(table->TextFor(57603), "Ctrl+S");
  EXPECT_EQ(table->TextFor(100), "Ctrl+Shift+Del");
  EXPECT_EQ(table->TextFor(200), "Alt+Esc");
  EXPECT_EQ(table->TextFor(1), "");
}

TEST(ResourceForms, MalformedFilesFailWithTheirLine) {
  struct Row {
    const char* what;
    const char* kind; // "acc", "bar" or "menu"
    const char* text;
    int line;
  } rows[] = {
      {"key alone", "acc", "S CTRL 1\n\nS\n", 3},
      {"unknown key", "acc", "# c\nSHIFTY 1\n", 2},
      {"two letters", "acc", "AB 1\n", 1},
      {"function key past 24", "acc", "F25 1\n", 1},
      {"unknown modifier", "acc", "S WIN 1\n", 1},
      {"modifier twice", "acc", "S CTRL CTRL 1\n", 1},
      {"command 0", "acc", "S 0\n", 1},
      {"command too large", "acc", "F1 2\nS 65536\n", 2},
      {"command not a number", "acc", "S CTRL 12x\n", 1},
      {"virtual key out of range", "acc", "0x1FF 3\n", 1},
      {"unknown bar keyword", "bar", "BUTTON 1\nBOTTON 2\n", 2},
      {"button without id", "bar", "BUTTON\n", 1},
      {"text after separator", "bar", "SEPARATOR x\n", 1},
      {"size after buttons", "bar", "BUTTON 1\nSIZE 16 15\n", 2},
      {"size twice", "bar", "SIZE 16 15\nSIZE 16 15\n", 2},
      {"size zero", "bar", "SIZE 0 15\n", 1},
      {"size too large", "bar", "SIZE 16 129\n", 1},
      {"size missing a side", "bar", "SIZE 16\n", 1},
      {"menu without END", "menu", "POPUP A\nITEM 1 x\n", 2},
      {"menu unknown word", "menu", "POPUP A\nMENUITEM 1 x\nEND\n", 2},
  };
  for (const Row& row : rows) {
    ResourceError error;
    const std::string kind = row.kind;
    bool ok = kind == "acc"   ? ParseAccelerators(row.text, &error).has_value()
              : kind == "bar" ? ParseToolBarResource(row.text, &error).has_value()
                              : ParseMenuResource(row.text, &error).has_value();
    EXPECT_FALSE(ok) << row.what;
    EXPECT_EQ(error.line, row.line) << row.what << ": " << error.reason;
    EXPECT_FALSE(error.reason.empty()) << row.what;
  }
  std::string many;
  for (int i = 0; i <= kMaxToolBarButtons; ++i)
    many += "SEPARATOR\n";
  ResourceError error;
  EXPECT_FALSE(ParseToolBarResource(many, &error));
  EXPECT_EQ(error.line, kMaxToolBarButtons + 1);
}

TEST(ResourceForms, ToolBarsLoadWithAStripHoldingEveryButton) {
  const auto text = Bytes("SIZE 8 7\nBUTTON 10\nSEPARATOR\nBUTTON 11\nBUTTON 12\n");
  auto bar = LoadToolBarResource(
      FilesOf({{"toolbars/129.txt", text}, {"bitmaps/129.bmp", Strip(24, 7)}}), 129);
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->items, (std::vector<uint16_t>{10, 0, 11, 12}));
  EXPECT_EQ(bar->ButtonCount(), 3);
  EXPECT_EQ(bar->imageWidth, 8);
  ASSERT_TRUE(bar->images);
  EXPECT_EQ(bar->images->Width(), 24);

  struct Row {
    const char* what;
    std::map<std::string, std::vector<uint8_t>> files;
  } rows[] = {
      {"no text", {{"bitmaps/129.bmp", Strip(24, 7)}}},
      {"no strip", {{"toolbars/129.txt", text}}},
      {"strip too narrow", {{"toolbars/129.txt", text}, {"bitmaps/129.bmp", Strip(23, 7)}}},
      {"strip too low", {{"toolbars/129.txt", text}, {"bitmaps/129.bmp", Strip(24, 6)}}},
      {"strip no bitmap", {{"toolbars/129.txt", text}, {"bitmaps/129.bmp", Bytes("BMxx")}}},
  };
  for (auto& row : rows) {
    ResourceError error;
    EXPECT_FALSE(LoadToolBarResource(FilesOf(row.files), 129, &error)) << row.what;
    EXPECT_EQ(error.line, 0) << row.what;
  }
}

// A PNG file's first bytes: signature and the header chunk's start.
std::vector<uint8_t> PngHead(uint32_t width, uint32_t height) {
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                            0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  for (uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8)
      b.push_back(static_cast<uint8_t>(v >> shift));
  return b;
}

TEST(ResourceForms, IconsArePngImagesOfBoundedSize) {
  const std::vector<uint8_t>& png = uitest::kTinyPng;
  auto icon = LoadIconResource(FilesOf({{"icons/128.png", png}}), 128);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->width, 2);
  EXPECT_EQ(icon->height, 1);
  EXPECT_EQ(icon->argb, (std::vector<uint32_t>{0xFFFF0000u, 0x800000FFu}));

  std::vector<uint8_t> broken = PngHead(2, 1);
  broken.resize(40, 0);
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
  } rows[] = {
      {"a bitmap", Strip(2, 2)},
      {"too wide", PngHead(257, 1)},
      {"too high", PngHead(1, 0x7FFFFFFF)},
      {"cut short", {png.begin(), png.begin() + 20}},
      {"broken data", broken},
  };
  for (const Row& row : rows) {
    ResourceError error;
    EXPECT_FALSE(ParseIconResource(row.bytes, &error)) << row.what;
    EXPECT_FALSE(error.reason.empty()) << row.what;
  }
  EXPECT_FALSE(LoadIconResource(FilesOf({}), 128));
}

// Records WM_COMMAND.
class CommandSink : public win::Window {
public:
  std::vector<std::pair<uint32_t, uint32_t>> commands; // id, source
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_COMMAND)
      commands.push_back({LowWord(wParam), HighWord(wParam)});
    return win::Window::WindowProc(message, wParam, lParam);
  }
};

TEST(ResourceForms, TranslateAcceleratorSendsTheCommandOfAKeyDown) {
  auto table = ParseAccelerators("F5 1\nX ALT 2\nDELETE 3\n");
  ASSERT_TRUE(table);
  CommandSink sink;
  win::CreateParams p;
  p.parent = win::kHwndMessage;
  p.object = &sink;
  p.className = "AccelSink";
  win::RegisterClass({"AccelSink", 0, [] { return std::make_unique<CommandSink>(); }});
  const win::Hwnd h = win::CreateWindow(p);
  ASSERT_NE(h, 0u);
  const win::LParam alt = MakeLParam(1, KF_ALTDOWN);
  struct Row {
    const char* what;
    win::Msg msg;
    bool translated;
  } rows[] = {
      {"key down", {h, win::WM_KEYDOWN, VK_F5, 1}, true},
      {"key up", {h, win::WM_KEYUP, VK_F5, 1}, false},
      {"character", {h, win::WM_CHAR, VK_F5, 1}, false},
      {"alt key", {h, WM_SYSKEYDOWN, 'X', alt}, true},
      {"without alt", {h, win::WM_KEYDOWN, 'X', 1}, false},
      {"alt where none is wanted", {h, WM_SYSKEYDOWN, VK_DELETE, alt}, false},
      {"another key", {h, win::WM_KEYDOWN, VK_SPACE, 1}, false},
      {"delete", {h, win::WM_KEYDOWN, VK_DELETE, 1}, true},
  };
  for (const Row& row : rows)
    EXPECT_EQ(TranslateAccelerator(h, *table, row.msg), row.translated) << row.what;
  EXPECT_EQ(sink.commands, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {2, 1}, {3, 1}}));
  win::DestroyWindow(h);
}

} // namespace
