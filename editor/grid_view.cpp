// The editor's table view base: painting, cells, the current-cell frame,
// column resizing, scrolling, keys and the controls in place.
#include "editor/grid_view.h"

#include "editor/editor.h"
#include "platform/gdi/muldiv.h"
#include "platform/sys/codepage.h"
#include "platform/ui/window/cursor.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/scroll_bar.h"
#include "platform/win/dispatch.h"

#include <algorithm>

namespace editor {
namespace {

constexpr gdi::Colour kWhite = gdi::Rgb(255, 255, 255);
constexpr gdi::Colour kBlack = gdi::Rgb(0, 0, 0);
constexpr int32_t kListDrop = 100;
constexpr int kDroppedWidth = 200;
constexpr int kMinColumnWidth = 4;

std::string CutCaption(std::string_view caption) {
  return std::string(sys::CutBytes(caption, kGridCaptionBytes));
}

} // namespace

std::shared_ptr<const gdi::Font> MakeGridFont(win::Hwnd hwnd) {
  const EditorApp& app = TheEditor();
  const std::string face =
      sys::FromUtf8Lossy(app.bundle ? app.bundle->String(kGridFontFace).value_or("") : "");
  if (face.empty())
    return nullptr;
  gdi::LogFont lf;
  int dpi = 96;
  if (auto dc = ui::GetDc(hwnd))
    dpi = dc->DeviceCaps(gdi::DeviceCap::LogPixelsY);
  lf.height = -gdi::MulDiv(kGridFontPoints, dpi, 72);
  lf.SetFaceName(face);
  return gdi::Font::Create(lf);
}

CGridView::CGridView() {
  SetColumns(1);
}

CGridView::~CGridView() = default;

void CGridView::SetColumns(int count) {
  if (count >= kGridColumns || count < 0)
    return;
  columnCount_ = count;
  for (int i = 0; i < kGridColumns; ++i) {
    widths_[i] = 30;
    captions_[i] = std::to_string(i);
  }
}

void CGridView::SetColumn(int index, int width, std::string_view caption) {
  if (index == -1) {
    if (width >= 0)
      leftWidth_ = static_cast<int16_t>(std::min(width, 32767));
    corner_ = CutCaption(caption);
    return;
  }
  if (index < 0 || index >= kGridColumns)
    return;
  columnCount_ = std::max(columnCount_, index + 1);
  if (width > kMinColumnWidth)
    widths_[index] = static_cast<uint16_t>(std::min(width, 65535));
  captions_[index] = CutCaption(caption);
}

uint16_t CGridView::ColumnWidth(int column) const {
  return column >= 0 && column < kGridColumns ? widths_[column] : 0;
}

std::string CGridView::Caption(int column) const {
  if (column == -1)
    return corner_;
  return column >= 0 && column < kGridColumns ? captions_[column] : std::string();
}

gdi::Rect CGridView::Client() const {
  return GetHwnd() ? ui::ScrollClientRect(GetHwnd()) : gdi::Rect{};
}

int32_t CGridView::ColumnLeft(int column) const {
  int32_t x = leftWidth_;
  for (int c = firstColumn_; c < column && c < kGridColumns; ++c)
    x += widths_[c];
  return x;
}

int CGridView::VisibleRows() const {
  const int32_t height = Client().Height() - headerHeight_;
  return std::max(1, height / std::max<int32_t>(1, rowHeight_));
}

int CGridView::MaxTopRow() const {
  return std::max(0, rowCount_ + 1 - VisibleRows());
}

void CGridView::SetRowCount(int rows) {
  rowCount_ = std::max(0, rows);
  topRow_ = std::clamp(topRow_, 0, MaxTopRow());
  UpdateScrollBar();
}

void CGridView::UpdateScrollBar() {
  if (!GetHwnd())
    return;
  ui::ScrollInfo info;
  info.mask = ui::SIF_RANGE | ui::SIF_PAGE | ui::SIF_POS;
  info.min = 0;
  // Rows 0 to the row after the last one.
  info.max = rowCount_;
  info.page = static_cast<uint32_t>(VisibleRows());
  info.pos = std::min(rowCount_, topRow_);
  ui::SetScrollInfo(GetHwnd(), ui::SB_VERT, info);
}

bool CGridView::CellRect(int row, int column, gdi::Rect* rect) const {
  if (column < firstColumn_ || column >= columnCount_ || row < topRow_)
    return false;
  const gdi::Rect client = Client();
  gdi::Rect r;
  r.left = ColumnLeft(column);
  r.top = headerHeight_ + (row - topRow_) * rowHeight_;
  r.right = column == columnCount_ - 1 ? std::max(client.right, r.left + widths_[column])
                                       : r.left + widths_[column];
  r.bottom = r.top + rowHeight_;
  if (rect)
    *rect = r;
  return r.bottom <= client.bottom;
}

bool CGridView::HitTest(int32_t x, int32_t y, int* row, int* column) const {
  const gdi::Rect client = Client();
  if (x < leftWidth_ || y < headerHeight_ || x >= client.right || y >= client.bottom || x < 0)
    return false;
  int found = -1;
  int32_t right = leftWidth_;
  for (int c = firstColumn_; c < columnCount_; ++c) {
    right += widths_[c];
    if (right >= x || c == columnCount_ - 1) {
      found = c;
      break;
    }
  }
  if (found < 0)
    return false;
  if (row)
    *row = (y - headerHeight_) / std::max<int16_t>(1, rowHeight_) + topRow_;
  if (column)
    *column = found;
  return true;
}

void CGridView::DrawCellText(gdi::Dc& dc, int row, int column, std::string_view text,
                             uint32_t align) {
  gdi::Rect r;
  CellRect(row, column, &r);
  r.left += 2;
  r.right -= 2;
  dc.SetBkMode(gdi::kTransparent);
  dc.SetTextColor(kBlack);
  dc.DrawText(text, r, gdi::kDtSingleLine | gdi::kDtVCenter | gdi::kDtNoPrefix | align);
}

void CGridView::ClearCell(gdi::Dc& dc, int row, int column) {
  gdi::Rect r;
  CellRect(row, column, &r);
  dc.FillRect(gdi::Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kWhite);
}

void CGridView::DrawCells(gdi::Dc& dc) {
  const int lastRow = std::min(lastVisibleRow_, rowCount_ - 1);
  for (int row = topRow_; row <= lastRow; ++row)
    for (int column = firstColumn_; column <= lastVisibleColumn_; ++column)
      if (auto text = CellText(row, column))
        DrawCellText(dc, row, column, *text, CellAlign(column));
}

void CGridView::OnInitialUpdate() {
  if (GetHwnd() && !(ui::ScrollBarsOf(GetHwnd()) & ui::WS_VSCROLL))
    ui::SetScrollBars(GetHwnd(), ui::WS_VSCROLL);
  UpdateScrollBar();
  ui::View::OnInitialUpdate();
}

void CGridView::OnDraw(gdi::Dc& dc) {
  const gdi::Rect client = Client();
  if (font_)
    dc.SelectFont(font_);
  const int32_t rowH = std::max<int16_t>(1, rowHeight_);
  // The data area.
  dc.FillRect(gdi::Rect{leftWidth_, headerHeight_, client.right, client.bottom}, kWhite);
  const int rows = (client.bottom - headerHeight_ + rowH - 1) / rowH;
  lastVisibleRow_ = topRow_ + std::max(0, rows - 1);
  lastVisibleColumn_ = firstColumn_;
  for (int c = firstColumn_; c < columnCount_; ++c) {
    lastVisibleColumn_ = c;
    if (ColumnLeft(c) + widths_[c] >= client.right)
      break;
  }
  gdi::Pen pen{gdi::kPsSolid, 1, gridColour_};
  dc.SetBkMode(gdi::kTransparent);
  dc.SetTextColor(kBlack);
  // The left column of row numbers.
  if (leftWidth_ > 0) {
    dc.FillRect(gdi::Rect{0, headerHeight_, leftWidth_, client.bottom}, gridColour_);
    for (int i = 0; i < rows; ++i) {
      const int32_t top = headerHeight_ + i * rowH;
      dc.FillRect(gdi::MakeRect(0, top + rowH - 1, leftWidth_, 1), kWhite);
      const int row = topRow_ + i;
      if (row >= rowCount_)
        continue;
      gdi::Rect cell{0, top, leftWidth_, top + rowH};
      dc.DrawText(std::to_string(row), cell,
                  gdi::kDtCenter | gdi::kDtVCenter | gdi::kDtSingleLine | gdi::kDtNoPrefix);
    }
  }
  // The header row.
  dc.FillRect(gdi::Rect{0, 0, client.right, headerHeight_}, gridColour_);
  auto captionCell = [&](gdi::Rect cell, const std::string& caption) {
    dc.FillRect(gdi::Rect{cell.left, cell.top, cell.right, cell.top + 1}, kWhite);
    dc.FillRect(gdi::Rect{cell.left, cell.top, cell.left + 1, cell.bottom}, kWhite);
    dc.DrawText(caption, cell,
                gdi::kDtCenter | gdi::kDtVCenter | gdi::kDtSingleLine | gdi::kDtNoPrefix);
  };
  if (leftWidth_ > 0)
    captionCell(gdi::Rect{0, 0, leftWidth_, headerHeight_}, corner_);
  for (int c = firstColumn_; c <= lastVisibleColumn_ && c < columnCount_; ++c) {
    const int32_t left = ColumnLeft(c);
    const int32_t right = c == columnCount_ - 1 ? client.right : left + widths_[c];
    captionCell(gdi::Rect{left, 0, right, headerHeight_}, captions_[c]);
  }
  // The grid lines.
  const gdi::Pen old = dc.SelectPen(pen);
  for (int32_t y = headerHeight_; y < client.bottom; y += rowH) {
    dc.MoveTo(leftWidth_, y);
    dc.LineTo(client.right, y);
  }
  dc.MoveTo(leftWidth_, 0);
  dc.LineTo(leftWidth_, client.bottom);
  for (int c = firstColumn_; c <= lastVisibleColumn_ && c < columnCount_; ++c) {
    const int32_t x = ColumnLeft(c) + widths_[c];
    dc.MoveTo(x, headerHeight_);
    dc.LineTo(x, client.bottom);
  }
  dc.SelectPen(old);
  DrawCells(dc);
  MarkCurrent(dc);
  if (GetHwnd())
    ui::SetScrollPos(GetHwnd(), ui::SB_VERT, std::min(rowCount_, topRow_));
}

void CGridView::MarkCurrent(gdi::Dc& dc) {
  if (currentRow_ < topRow_ || currentRow_ > lastVisibleRow_)
    return;
  gdi::Rect r;
  CellRect(currentRow_, currentColumn_, &r);
  if (r.IsEmpty())
    return;
  // The cell's outline, one inside it and one outside it, inverted: the
  // ring from one pixel out to two pixels in, edge by edge so that no pixel
  // is inverted twice.
  const gdi::Rect o{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
  const int32_t t = 3;
  if (o.Width() <= 2 * t || o.Height() <= 2 * t) {
    dc.InvertRect(o);
    return;
  }
  dc.InvertRect(gdi::Rect{o.left, o.top, o.right, o.top + t});
  dc.InvertRect(gdi::Rect{o.left, o.bottom - t, o.right, o.bottom});
  dc.InvertRect(gdi::Rect{o.left, o.top + t, o.left + t, o.bottom - t});
  dc.InvertRect(gdi::Rect{o.right - t, o.top + t, o.right, o.bottom - t});
}

void CGridView::MarkCurrentNow() {
  if (!GetHwnd())
    return;
  if (auto dc = ui::GetDc(GetHwnd())) {
    const gdi::Rect client = Client();
    dc->SetClipRect(gdi::Rect{0, headerHeight_, client.right, client.bottom});
    MarkCurrent(*dc);
  }
}

void CGridView::SelectCell(int row, int column) {
  if (row == currentRow_ && column == currentColumn_)
    return;
  if (row >= topRow_ && row <= lastVisibleRow_ && currentRow_ >= topRow_ &&
      currentRow_ <= lastVisibleRow_ && !ui::GetUpdateRect(GetHwnd())) {
    MarkCurrentNow();
    currentRow_ = row;
    currentColumn_ = column;
    MarkCurrentNow();
    return;
  }
  currentRow_ = row;
  currentColumn_ = column;
  if (row >= topRow_ && row <= lastVisibleRow_) {
    if (GetHwnd())
      ui::InvalidateRect(GetHwnd(), nullptr, false);
    return;
  }
  SetTopRow(row);
}

void CGridView::SetTopRow(int top) {
  top = std::clamp(top, 0, MaxTopRow());
  const int moved = top - topRow_;
  topRow_ = top;
  lastVisibleRow_ += moved;
  UpdateScrollBar();
  if (GetHwnd()) {
    const gdi::Rect client = Client();
    const gdi::Rect below{0, headerHeight_, client.right, client.bottom};
    ui::InvalidateRect(GetHwnd(), &below, false);
  }
}

void CGridView::LineUp() {
  if (topRow_ <= 0)
    return;
  --topRow_;
  --lastVisibleRow_;
  const gdi::Rect client = Client();
  const gdi::Rect below{0, headerHeight_, client.right, client.bottom};
  ui::ScrollWindow(GetHwnd(), 0, rowHeight_, &below);
  UpdateScrollBar();
}

void CGridView::LineDown() {
  if (topRow_ >= MaxTopRow())
    return;
  ++topRow_;
  ++lastVisibleRow_;
  const gdi::Rect client = Client();
  const gdi::Rect below{0, headerHeight_, client.right, client.bottom};
  ui::ScrollWindow(GetHwnd(), 0, -rowHeight_, &below);
  UpdateScrollBar();
}

void CGridView::OnVScroll(uint32_t code) {
  switch (code) {
  case ui::SB_LINEUP:
    LineUp();
    break;
  case ui::SB_LINEDOWN:
    LineDown();
    break;
  case ui::SB_PAGEUP:
    SetTopRow(topRow_ - std::max(1, Page()));
    break;
  case ui::SB_PAGEDOWN:
    SetTopRow(topRow_ + std::max(1, Page()));
    break;
  case ui::SB_THUMBTRACK:
  case ui::SB_THUMBPOSITION:
    // The 32-bit place of the thumb, not the message's 16 bits.
    if (auto info = ui::GetScrollInfo(GetHwnd(), ui::SB_VERT))
      SetTopRow(info->trackPos);
    break;
  case ui::SB_TOP:
    SetTopRow(0);
    break;
  case ui::SB_BOTTOM:
    SetTopRow(MaxTopRow());
    break;
  default:
    break;
  }
}

bool CGridView::OnKey(uint32_t key, ui::LParam lParam) {
  if (ui::HighWord(static_cast<uintptr_t>(lParam)) & ui::KF_ALTDOWN)
    return false;
  const int lastRow = rowCount_; // the row after the last one, where rows are added
  switch (key) {
  case ui::VK_LEFT:
    SelectCell(currentRow_, std::max(0, currentColumn_ - 1));
    return true;
  case ui::VK_RIGHT:
    SelectCell(currentRow_, std::clamp(currentColumn_ + 1, 0, std::max(0, columnCount_ - 1)));
    return true;
  case ui::VK_UP:
    if (currentRow_ > 0) {
      if (currentRow_ - 1 < topRow_)
        LineUp();
      SelectCell(currentRow_ - 1, currentColumn_);
    }
    return true;
  case ui::VK_DOWN:
    if (currentRow_ < lastRow) {
      if (currentRow_ + 1 >= lastVisibleRow_)
        LineDown();
      SelectCell(currentRow_ + 1, currentColumn_);
    }
    return true;
  case ui::VK_PRIOR:
  case ui::VK_NEXT: {
    const int step = std::max(1, Page()) * (key == ui::VK_PRIOR ? -1 : 1);
    const int row = std::clamp(currentRow_ + step, 0, lastRow);
    SetTopRow(topRow_ + step);
    currentRow_ = row;
    return true;
  }
  default:
    return false;
  }
}

int CGridView::BorderAt(int32_t x, int32_t y) const {
  if (y < 0 || y > headerHeight_)
    return kNoDrag;
  if (std::abs(x - leftWidth_) <= 1)
    return kLeftBorder;
  for (int c = firstColumn_; c < columnCount_; ++c)
    if (std::abs(x - (ColumnLeft(c) + widths_[c])) <= 1)
      return c;
  return kNoDrag;
}

CGridEdit* CGridView::InPlaceEdit() const {
  return edit_ ? dynamic_cast<CGridEdit*>(win::GetWindowObject(edit_)) : nullptr;
}

CGridCombo* CGridView::InPlaceList() const {
  return list_ ? dynamic_cast<CGridCombo*>(win::GetWindowObject(list_)) : nullptr;
}

void CGridView::CloseInPlace() {
  const win::Hwnd edit = edit_, list = list_;
  edit_ = list_ = 0;
  if (edit && win::IsWindow(edit))
    win::DestroyWindow(edit);
  if (list && win::IsWindow(list))
    win::DestroyWindow(list);
}

bool CGridView::Commit(ui::FieldEvent event, win::Hwnd control) {
  const win::Hwnd self = GetHwnd();
  // A control already on its way out hands nothing more.
  if (!control || (control != edit_ && control != list_))
    return true;
  if (event == ui::FieldEvent::Escape || event == ui::FieldEvent::FocusLost) {
    // Never a commit: the control just goes.
    if (control == edit_)
      edit_ = 0;
    if (control == list_)
      list_ = 0;
    if (win::IsWindow(control))
      win::DestroyWindow(control);
    if (event == ui::FieldEvent::Escape && win::IsWindow(self))
      ui::SetFocus(self);
    return true;
  }
  int answer = 0;
  if (auto* edit = control == edit_ ? InPlaceEdit() : nullptr) {
    std::string bytes = sys::FromUtf8Lossy(edit->Text());
    bytes.resize(sys::CutLength(bytes, kEditCommitBytes));
    answer = static_cast<int>(win::SendMessage(self, win::WM_COMMAND, kEditCommit,
                                               reinterpret_cast<win::LParam>(bytes.c_str())));
  } else if (auto* list = control == list_ ? InPlaceList() : nullptr) {
    answer = static_cast<int>(win::SendMessage(self, win::WM_COMMAND, kListCommit,
                                               static_cast<win::LParam>(list->CurSel())));
  } else {
    return true;
  }
  if (answer == 1 && win::IsWindow(control)) {
    if (control == edit_)
      edit_ = 0;
    if (control == list_)
      list_ = 0;
    // The focus goes back to the view first: its loss is then no event.
    if (win::IsWindow(self))
      ui::SetFocus(self);
    if (win::IsWindow(control))
      win::DestroyWindow(control);
  }
  return true;
}

void CGridView::OpenEdit(int row, int column, std::string_view text, uint32_t style) {
  CloseInPlace();
  gdi::Rect r;
  CellRect(row, column, &r);
  auto* edit = new CGridEdit;
  if (!edit->Create(GetHwnd(), kInPlaceId, r, style)) {
    delete edit;
    return;
  }
  edit_ = edit->GetHwnd();
  const win::Hwnd hwnd = edit_;
  edit->SetHook([this, hwnd](ui::FieldEvent e) { return Commit(e, hwnd); });
  edit->SetFont(font_);
  edit->SetText(sys::ToUtf8(text));
  ui::SetFocus(hwnd);
  if (CGridEdit* still = InPlaceEdit())
    still->SelectAll();
}

void CGridView::OpenList(int row, int column, int current, int count,
                         const std::vector<std::string>& entries, uint32_t style) {
  (void)style;
  CloseInPlace();
  gdi::Rect r;
  CellRect(row, column, &r);
  r.bottom += kListDrop;
  auto* list = new CGridCombo;
  if (!list->Create(GetHwnd(), kInPlaceId, r)) {
    delete list;
    return;
  }
  list_ = list->GetHwnd();
  const win::Hwnd hwnd = list_;
  list->SetNotifyWindow(GetHwnd());
  const int n = std::min<int>(count, static_cast<int>(entries.size()));
  for (int i = 0; i < n; ++i)
    list->AddString(sys::ToUtf8(entries[static_cast<size_t>(i)]));
  list->SetDroppedWidth(kDroppedWidth);
  list->SetHook([this, hwnd](ui::FieldEvent e) { return Commit(e, hwnd); });
  ui::SetFocus(hwnd);
  if (CGridCombo* still = InPlaceList())
    still->SetCurSel(current);
}

ui::LResult CGridView::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_SIZE: {
    const ui::LResult r = ui::View::OnMessage(message, wParam, lParam);
    ui::LayoutScrollBars(GetHwnd());
    topRow_ = std::clamp(topRow_, 0, MaxTopRow());
    UpdateScrollBar();
    return r;
  }
  case ui::WM_VSCROLL:
    OnVScroll(ui::LowWord(wParam));
    return 0;
  case win::WM_KEYDOWN:
    if (OnKey(static_cast<uint32_t>(wParam), lParam))
      return 0;
    break;
  case win::WM_SETCURSOR:
    if (overBorder_ || borderDrag_ != kNoDrag) {
      const auto& cursors = TheEditor().cursors;
      auto it = cursors.find(kResizeCursor);
      if (it != cursors.end()) {
        ui::SetCursor(it->second);
        return 1;
      }
    }
    break;
  case win::WM_MOUSEMOVE: {
    const int32_t x = ui::XOfLParam(lParam), y = ui::YOfLParam(lParam);
    if (borderDrag_ == kLeftBorder) {
      leftWidth_ = static_cast<int16_t>(std::clamp(x, 0, 32767));
    } else if (borderDrag_ >= 0) {
      widths_[borderDrag_] =
          static_cast<uint16_t>(std::clamp(x - ColumnLeft(borderDrag_), kMinColumnWidth, 65535));
    } else {
      overBorder_ = BorderAt(x, y) != kNoDrag;
      break;
    }
    const gdi::Rect header{0, 0, Client().right, headerHeight_};
    ui::InvalidateRect(GetHwnd(), &header, false);
    return 0;
  }
  case win::WM_LBUTTONDOWN: {
    const int border = BorderAt(ui::XOfLParam(lParam), ui::YOfLParam(lParam));
    if (border != kNoDrag) {
      CloseInPlace();
      borderDrag_ = border;
      ui::SetCapture(GetHwnd());
      return 0;
    }
    break;
  }
  case win::WM_LBUTTONUP:
    if (borderDrag_ != kNoDrag) {
      borderDrag_ = kNoDrag;
      ui::InvalidateRect(GetHwnd(), nullptr, false);
      ui::ReleaseCapture();
      return 0;
    } else {
      int row = 0, column = 0;
      if (HitTest(ui::XOfLParam(lParam), ui::YOfLParam(lParam), &row, &column))
        SelectCell(row, column);
    }
    break;
  case win::WM_LBUTTONDBLCLK: {
    int row = 0, column = 0;
    if (HitTest(ui::XOfLParam(lParam), ui::YOfLParam(lParam), &row, &column)) {
      SelectCell(row, column);
      OnCellDoubleClick(row, column);
      return 0;
    }
    break;
  }
  case win::WM_COMMAND:
    if (wParam == kEditCommit || wParam == kListCommit)
      return OnCommit(static_cast<uint16_t>(wParam), lParam);
    break;
  default:
    break;
  }
  return ui::View::OnMessage(message, wParam, lParam);
}

} // namespace editor
