// The grid view on a test subclass of N rows whose cell texts are counted:
// cell rectangles and hit tests, columns set, keys and scroll codes clamped,
// border drags, the current-cell frame, the controls in place and a thumb
// drag over 100,000 rows.
#include "editor/editor.h"
#include "editor/tests/support/editor_session.h"
#include "editor/grid_view.h"
#include "platform/res/bundle.h"
#include "platform/sys/codepage.h"
#include "platform/ui/docview/doc_template.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/window/cursor.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/scroll_bar.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// Fontconfig keeps caches of its own for the process's life.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace {

using editor::CGridView;

int gRows = 0;

void Pump() {
  while (win::ProcessPendingMessages() > 0) {
  }
}

class CountingGrid : public CGridView {
public:
  int asked = 0;
  int answer = 1;
  std::vector<std::pair<uint16_t, std::string>> commits;

  void OnInitialUpdate() override {
    SetColumns(3);
    SetColumn(-1, 30, "#");
    SetColumn(0, 40, "A");
    SetColumn(1, 50, "B");
    SetColumn(2, 60, "C");
    SetRowCount(gRows);
    CGridView::OnInitialUpdate();
  }

protected:
  std::optional<std::string> CellText(int row, int column) override {
    ++asked;
    return std::to_string(row) + "." + std::to_string(column);
  }
  int OnCommit(uint16_t code, win::LParam value) override {
    commits.push_back({code, code == editor::kEditCommit
                                 ? std::string(reinterpret_cast<const char*>(value))
                                 : std::to_string(value)});
    return answer;
  }
};

class GridTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    ASSERT_NO_FATAL_FAILURE(editortest::StartEditorSession());
  }
  void SetUp() override { Make(0); }
  void TearDown() override {
    editor::CloseEditor();
    Pump();
  }
  void Make(int rows) {
    editor::CloseEditor();
    Pump();
    gRows = rows;
    ASSERT_EQ(editor::OpenEditor(), 1);
    ui::MdiFrameWnd* frame = editor::TheEditor().frame;
    ASSERT_NE(frame, nullptr);
    ui::Document* doc = frame->MDIGetActive()->ActiveDocument();
    probe = std::make_unique<ui::DocTemplate>(
        305, ui::FrameResources{},
        ui::DocTemplate::Factories{nullptr, nullptr, [] { return std::make_unique<CountingGrid>(); }});
    ui::MdiChildWnd* child = probe->CreateNewFrame(*doc, *frame);
    ASSERT_NE(child, nullptr);
    probe->InitialUpdateFrame(*child, *doc);
    ui::MoveWindow(child->GetHwnd(), 0, 0, 400, 300);
    grid = dynamic_cast<CountingGrid*>(child->ActiveView());
    ASSERT_NE(grid, nullptr);
    hwnd = grid->GetHwnd();
    Paint();
  }
  void Paint() {
    ui::InvalidateRect(hwnd, nullptr, true);
    ui::UpdateWindow(hwnd);
  }
  void Key(uint32_t vk) { win::SendMessage(hwnd, win::WM_KEYDOWN, vk, 0); }
  void Scroll(uint32_t code) { win::SendMessage(hwnd, ui::WM_VSCROLL, code, 0); }
  gdi::Rect Client() const { return ui::ScrollClientRect(hwnd); }
  std::vector<gdi::Colour> Pixels() const {
    auto dc = ui::GetDc(hwnd);
    return dc->Target()->CopyPixels();
  }

  std::unique_ptr<ui::DocTemplate> probe;
  CountingGrid* grid = nullptr;
  win::Hwnd hwnd = 0;
};

TEST_F(GridTest, CellRectanglesAndHitTestsFollowTheColumns) {
  const gdi::Rect client = Client();
  ASSERT_GT(client.Height(), 100);
  struct Rect {
    int row, column;
    bool visible;
    gdi::Rect rect;
  };
  const Rect rects[] = {
      {0, 0, true, {30, 25, 70, 45}},
      {2, 1, true, {70, 65, 120, 85}},
      {0, 2, true, {120, 25, client.right, 45}}, // the last column reaches the edge
      {0, 3, false, {}},                          // beyond the count
      {500, 0, false, {30, 25 + 500 * 20, 70, 45 + 500 * 20}},
  };
  for (const Rect& r : rects) {
    SCOPED_TRACE(testing::Message() << r.row << "," << r.column);
    gdi::Rect got;
    EXPECT_EQ(grid->CellRect(r.row, r.column, &got), r.visible);
    if (r.column < 3)
      EXPECT_EQ(got, r.rect);
  }
  struct Hit {
    int32_t x, y;
    bool inside;
    int row, column;
  };
  const Hit hits[] = {
      {29, 30, false, 0, 0},           // the left column
      {31, 24, false, 0, 0},           // the header
      {31, 25, true, 0, 0},            {70, 30, true, 0, 0}, // a border is its column's
      {71, 46, true, 1, 1},            {client.right - 1, 30, true, 0, 2},
      {client.right, 30, false, 0, 0}, // the scroll bar
  };
  for (const Hit& h : hits) {
    SCOPED_TRACE(testing::Message() << h.x << "," << h.y);
    int row = -1, column = -1;
    EXPECT_EQ(grid->HitTest(h.x, h.y, &row, &column), h.inside);
    if (h.inside) {
      EXPECT_EQ(row, h.row);
      EXPECT_EQ(column, h.column);
    }
  }
  // A hidden left column.
  grid->SetColumn(-1, 0, "");
  int row = -1, column = -1;
  EXPECT_TRUE(grid->HitTest(0, 30, &row, &column));
  EXPECT_EQ(column, 0);
  gdi::Rect got;
  grid->CellRect(0, 0, &got);
  EXPECT_EQ(got.left, 0);
  // A row above the top row is not shown.
  Make(100);
  Scroll(ui::SB_LINEDOWN);
  EXPECT_FALSE(grid->CellRect(0, 0, &got));
  EXPECT_TRUE(grid->CellRect(1, 0, &got));
  EXPECT_EQ(got.top, 25);
}

TEST_F(GridTest, ColumnsTakeWhatTheyCanHold) {
  grid->SetColumns(25);
  EXPECT_EQ(grid->ColumnCount(), 3) << "20 or more change nothing";
  grid->SetColumns(20);
  EXPECT_EQ(grid->ColumnCount(), 3);
  grid->SetColumns(5);
  EXPECT_EQ(grid->ColumnCount(), 5);
  EXPECT_EQ(grid->ColumnWidth(4), 30);
  EXPECT_EQ(grid->Caption(4), "4");
  grid->SetColumn(1, 4, "x");
  EXPECT_EQ(grid->ColumnWidth(1), 30) << "a width of 4 or less is refused";
  grid->SetColumn(1, 5, "x");
  EXPECT_EQ(grid->ColumnWidth(1), 5);
  grid->SetColumn(7, 50, "far");
  EXPECT_EQ(grid->ColumnCount(), 8);
  grid->SetColumn(20, 50, "none");
  EXPECT_EQ(grid->ColumnCount(), 8);
  // Captions keep 31 bytes and never half a character.
  grid->SetColumn(0, 50, std::string(40, 'a'));
  EXPECT_EQ(grid->Caption(0), std::string(31, 'a'));
  const std::string hangul = *sys::FromUtf8(
      "\xED\x95\x9C\xEA\xB8\x80\xED\x95\x9C\xEA\xB8\x80\xED\x95\x9C\xEA\xB8\x80\xED\x95\x9C"
      "\xEA\xB8\x80\xED\x95\x9C\xEA\xB8\x80\xED\x95\x9C\xEA\xB8\x80\xED\x95\x9C\xEA\xB8\x80"
      "\xED\x95\x9C\xEA\xB8\x80");
  ASSERT_EQ(hangul.size(), 32u);
  grid->SetColumn(-1, 50, "x" + hangul);
  EXPECT_EQ(grid->Caption(-1), "x" + hangul.substr(0, 30));
}

TEST_F(GridTest, KeysAndScrollCodesStayWithinTheRows) {
  Make(100);
  const int last = grid->LastVisibleRow();
  ASSERT_GT(last, 3);
  const int maxTop = grid->MaxTopRow();
  // Down moves the frame until the row before the last visible one...
  for (int i = 0; i < last - 1; ++i)
    Key(ui::VK_DOWN);
  EXPECT_EQ(grid->CurrentRow(), last - 1);
  EXPECT_EQ(grid->TopRow(), 0);
  // ...then scrolls by a row.
  Key(ui::VK_DOWN);
  EXPECT_EQ(grid->CurrentRow(), last);
  EXPECT_EQ(grid->TopRow(), 1);
  EXPECT_EQ(grid->LastVisibleRow(), last + 1);
  // Up at the top row scrolls back.
  for (int i = 0; i < last; ++i)
    Key(ui::VK_UP);
  EXPECT_EQ(grid->CurrentRow(), 0);
  EXPECT_EQ(grid->TopRow(), 0);
  Key(ui::VK_UP);
  EXPECT_EQ(grid->CurrentRow(), 0);
  // Page keys and scroll codes are clamped: the row after the last one is
  // the farthest shown.
  for (int i = 0; i < 50; ++i)
    Key(ui::VK_NEXT);
  EXPECT_EQ(grid->TopRow(), maxTop);
  EXPECT_EQ(grid->CurrentRow(), 100);
  Paint();
  EXPECT_GE(grid->LastVisibleRow(), 100);
  EXPECT_LE(grid->LastVisibleRow(), 101);
  for (int i = 0; i < 50; ++i)
    Key(ui::VK_PRIOR);
  EXPECT_EQ(grid->TopRow(), 0);
  EXPECT_EQ(grid->CurrentRow(), 0);
  const struct {
    uint32_t code;
    int top;
  } codes[] = {{ui::SB_LINEUP, 0},       {ui::SB_LINEDOWN, 1}, {ui::SB_PAGEUP, 0},
               {ui::SB_BOTTOM, maxTop},  {ui::SB_LINEDOWN, maxTop},
               {ui::SB_PAGEDOWN, maxTop}, {ui::SB_TOP, 0}};
  for (const auto& c : codes) {
    Scroll(c.code);
    EXPECT_EQ(grid->TopRow(), c.top) << c.code;
    EXPECT_EQ(ui::GetScrollPos(hwnd, ui::SB_VERT), c.top);
  }
  // Left and right stay within the columns; Alt leaves the keys alone.
  for (int i = 0; i < 5; ++i)
    Key(ui::VK_RIGHT);
  EXPECT_EQ(grid->CurrentColumn(), 2);
  win::SendMessage(hwnd, win::WM_KEYDOWN, ui::VK_LEFT, ui::MakeLParam(1, ui::KF_ALTDOWN));
  EXPECT_EQ(grid->CurrentColumn(), 2);
  for (int i = 0; i < 5; ++i)
    Key(ui::VK_LEFT);
  EXPECT_EQ(grid->CurrentColumn(), 0);
}

TEST_F(GridTest, AGridWithoutRowsDrawsItsHeaderAndKeepsRowZero) {
  EXPECT_EQ(grid->RowCount(), 0);
  Key(ui::VK_DOWN);
  Key(ui::VK_DOWN);
  Key(ui::VK_NEXT);
  EXPECT_LE(grid->CurrentRow(), 0);
  EXPECT_EQ(grid->TopRow(), 0);
  Paint();
  auto dc = ui::GetDc(hwnd);
  EXPECT_EQ(dc->Target()->Pixel(100, 12), gdi::Rgb(192, 192, 192)) << "the header";
  EXPECT_EQ(dc->Target()->Pixel(10, 100), gdi::Rgb(192, 192, 192)) << "the left column";
  EXPECT_EQ(grid->asked, 0);
}

TEST_F(GridTest, BorderDragsStopAtWidthFourAndTheLeftColumnAtZero) {
  // Over a border of the header the resize cursor shows.
  const ui::CursorHandle resize = editor::TheEditor().cursors.at(editor::kResizeCursor);
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, 0, ui::MakeLParam(71, 10));
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_SETCURSOR, hwnd,
                             ui::MakeLParam(ui::HTCLIENT, win::WM_MOUSEMOVE)),
            1);
  EXPECT_EQ(ui::GetCursor(), resize);
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, 0, ui::MakeLParam(100, 10));
  win::SendMessage(hwnd, win::WM_SETCURSOR, hwnd, ui::MakeLParam(ui::HTCLIENT, win::WM_MOUSEMOVE));
  EXPECT_NE(ui::GetCursor(), resize) << "between the borders";
  // The right border of column 0 (x 70) dragged far left.
  win::SendMessage(hwnd, win::WM_LBUTTONDOWN, 0, ui::MakeLParam(70, 10));
  EXPECT_EQ(grid->BorderDrag(), 0);
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, 0, ui::MakeLParam(90, 10));
  EXPECT_EQ(grid->ColumnWidth(0), 60);
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, 0, ui::MakeLParam(-20, 10));
  EXPECT_EQ(grid->ColumnWidth(0), 4);
  win::SendMessage(hwnd, win::WM_LBUTTONUP, 0, ui::MakeLParam(-20, 10));
  EXPECT_EQ(grid->BorderDrag(), editor::kNoDrag);
  EXPECT_EQ(ui::GetCapture(), 0u);
  // The left column's border hides it.
  win::SendMessage(hwnd, win::WM_LBUTTONDOWN, 0, ui::MakeLParam(31, 3));
  EXPECT_EQ(grid->BorderDrag(), editor::kLeftBorder);
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, 0, ui::MakeLParam(-50, 3));
  win::SendMessage(hwnd, win::WM_LBUTTONUP, 0, ui::MakeLParam(-50, 3));
  EXPECT_EQ(grid->LeftWidth(), 0);
  // A release that ends no drag chooses the cell.
  win::SendMessage(hwnd, win::WM_LBUTTONUP, 0, ui::MakeLParam(20, 50));
  EXPECT_EQ(grid->CurrentColumn(), 1);
  EXPECT_EQ(grid->CurrentRow(), 1);
}

TEST_F(GridTest, TheCurrentCellsFrameDrawnTwiceLeavesThePictureAsItWas) {
  Make(10);
  const auto before = Pixels();
  grid->SelectCell(2, 1);
  const auto moved = Pixels();
  EXPECT_NE(moved, before);
  grid->SelectCell(0, 0);
  EXPECT_EQ(Pixels(), before);
  // The frame is the inverse of the cell's ring, in and out of its border.
  Paint();
  EXPECT_EQ(Pixels(), before) << "a paint draws the same frame";
}

TEST_F(GridTest, TheControlsInPlaceCommitOnEnterOnlyAndGoWithoutANotice) {
  Make(5);
  grid->answer = 0;
  grid->OpenEdit(1, 1, "old");
  editor::CGridEdit* edit = grid->InPlaceEdit();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(ui::GetFocus(), edit->GetHwnd());
  EXPECT_TRUE(edit->AllSelected());
  for (char c : std::string("new"))
    win::SendMessage(edit->GetHwnd(), win::WM_CHAR, c, 0);
  win::SendMessage(edit->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  ASSERT_EQ(grid->commits.size(), 1u);
  EXPECT_EQ(grid->commits[0], std::make_pair(editor::kEditCommit, std::string("new")));
  ASSERT_NE(grid->InPlaceEdit(), nullptr) << "refused: it stays";
  EXPECT_EQ(grid->InPlaceEdit()->Text(), "new");
  grid->answer = 1;
  win::SendMessage(edit->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(grid->commits.size(), 2u);
  EXPECT_EQ(grid->InPlaceEdit(), nullptr);
  Pump();

  // Escape and the focus lost send nothing.
  grid->OpenEdit(1, 1, "x");
  win::SendMessage(grid->InPlaceEdit()->GetHwnd(), win::WM_KEYDOWN, ui::VK_ESCAPE, 0);
  EXPECT_EQ(grid->InPlaceEdit(), nullptr);
  grid->OpenEdit(1, 1, "x");
  ui::SetFocus(hwnd);
  EXPECT_EQ(grid->InPlaceEdit(), nullptr);
  const std::vector<std::string> entries = {"zero", "one", "two", "three"};
  grid->OpenList(2, 2, 1, 3, entries);
  editor::CGridCombo* list = grid->InPlaceList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), 3);
  EXPECT_EQ(list->CurSel(), 1);
  EXPECT_EQ(list->DroppedWidth(), 200);
  win::SendMessage(list->GetHwnd(), win::WM_KEYDOWN, ui::VK_DOWN, 0);
  win::SendMessage(list->GetHwnd(), win::WM_KEYDOWN, ui::VK_ESCAPE, 0);
  EXPECT_EQ(grid->InPlaceList(), nullptr);
  EXPECT_EQ(grid->commits.size(), 2u);
  grid->OpenList(2, 2, 1, 3, entries);
  win::SendMessage(grid->InPlaceList()->GetHwnd(), win::WM_KEYDOWN, ui::VK_DOWN, 0);
  win::SendMessage(grid->InPlaceList()->GetHwnd(), win::WM_KEYDOWN, ui::VK_RETURN, 0);
  ASSERT_EQ(grid->commits.size(), 3u);
  EXPECT_EQ(grid->commits[2], std::make_pair(editor::kListCommit, std::string("2")));
  EXPECT_EQ(grid->InPlaceList(), nullptr);
  // A border pressed closes what is open.
  grid->OpenEdit(1, 1, "x");
  win::SendMessage(hwnd, win::WM_LBUTTONDOWN, 0, ui::MakeLParam(70, 10));
  win::SendMessage(hwnd, win::WM_LBUTTONUP, 0, ui::MakeLParam(70, 10));
  EXPECT_EQ(grid->InPlaceEdit(), nullptr);
  EXPECT_EQ(grid->commits.size(), 3u);
}

TEST_F(GridTest, AThumbDragOver100000RowsShowsTheLastRowAndAPaintAsksOnlyForVisibleCells) {
  Make(100000);
  const win::Hwnd bar = ui::ScrollBarWindow(hwnd, ui::SB_VERT);
  ASSERT_NE(bar, 0u);
  const gdi::Rect barRect = ui::GetClientRect(bar).value();
  win::SendMessage(bar, win::WM_LBUTTONDOWN, 0, ui::MakeLParam(5, ui::kScrollBarSize + 1));
  win::SendMessage(bar, win::WM_MOUSEMOVE, 0, ui::MakeLParam(5, barRect.bottom + 500));
  EXPECT_EQ(grid->TopRow(), grid->MaxTopRow()) << "the 32-bit position while tracking";
  win::SendMessage(bar, win::WM_LBUTTONUP, 0, ui::MakeLParam(5, barRect.bottom + 500));
  EXPECT_EQ(grid->TopRow(), grid->MaxTopRow());
  EXPECT_GT(grid->MaxTopRow(), 65535);
  grid->asked = 0;
  Paint();
  EXPECT_GE(grid->LastVisibleRow(), 100000) << "the last row and the one after it";
  const int rows = 100000 - grid->TopRow();
  const int columns = grid->LastVisibleColumn() - grid->FirstColumn() + 1;
  EXPECT_EQ(grid->asked, rows * columns);
  EXPECT_LE(grid->asked, (grid->LastVisibleRow() - grid->TopRow() + 1) * 3);
}

} // namespace
