// The editor's table view base: a header row of captions, a left column of
// row numbers, data columns whose borders a person drags, rows scrolled by
// the window's vertical bar, a current cell marked by an inverted frame, and
// an in-place edit box or drop-down list over a cell. A derived view gives
// the row count, the columns and the texts of the cells, and takes the
// values committed in place. Texts are code-page bytes of the process's code
// page (captions at most 31 bytes). Owner's thread only.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/ui/docview/view.h"
#include "platform/ui/frame/drop_list.h"
#include "platform/ui/frame/edit_field.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace editor {

inline constexpr int kGridColumns = 20;
inline constexpr size_t kGridCaptionBytes = 31;
inline constexpr uint32_t kInPlaceId = 999;
// WM_COMMAND's wParam of a commit: the edit box's text in lParam, or the
// list's chosen index.
inline constexpr uint16_t kEditCommit = 0x1000;
inline constexpr uint16_t kListCommit = 0x1001;
inline constexpr size_t kEditCommitBytes = 255;
inline constexpr uint32_t kResizeCursor = 104;
inline constexpr uint32_t kGridFontFace = 133;
inline constexpr int kGridFontPoints = 10;
// The border drag: none, or the left column's.
inline constexpr int kNoDrag = -2;
inline constexpr int kLeftBorder = -1;

// The grids' font: 10 points of the face the resource library names (at
// the window's pixels per inch); null when it names none.
std::shared_ptr<const gdi::Font> MakeGridFont(win::Hwnd hwnd);

// The in-place controls: plain windows whose objects go with their windows.
class CGridEdit : public ui::EditField {
protected:
  void Detached() override { delete this; }
};
class CGridCombo : public ui::DropList {
protected:
  void Detached() override { delete this; }
};

class CGridView : public ui::View {
public:
  CGridView();
  ~CGridView() override;

  // Fewer than 20: that many columns, each 30 wide and captioned with its
  // index; 20 or more change nothing.
  void SetColumns(int count);
  // Index -1 is the left column (a width of 0 or more, and the corner
  // caption); 0-19 a data column, the count grown to take it, the width
  // taken when above 4. Other indexes change nothing.
  void SetColumn(int index, int width, std::string_view caption);
  void SetRowCount(int rows);

  // The rectangle of a cell; false when it is not visible (a column at or
  // beyond the count or before the first shown, a row above the top row,
  // or a bottom below the client area). The last column reaches the right
  // edge.
  bool CellRect(int row, int column, gdi::Rect* rect) const;
  // The cell under a point of the client area; false outside the data area.
  bool HitTest(int32_t x, int32_t y, int* row, int* column) const;
  void DrawCellText(gdi::Dc& dc, int row, int column, std::string_view text, uint32_t align);
  void ClearCell(gdi::Dc& dc, int row, int column);

  // Closes what is open in place and opens an edit box over the cell with
  // the text, all of it selected, or a list of count entries with current
  // chosen.
  void OpenEdit(int row, int column, std::string_view text, uint32_t style = 0);
  void OpenList(int row, int column, int current, int count,
                const std::vector<std::string>& entries, uint32_t style = 0);
  void CloseInPlace();
  // The controls open in place, null when none is.
  CGridEdit* InPlaceEdit() const;
  CGridCombo* InPlaceList() const;

  // Makes the cell current: the frame moves when the row is shown, else the
  // row becomes the top row.
  void SelectCell(int row, int column);

  int16_t HeaderHeight() const { return headerHeight_; }
  int16_t LeftWidth() const { return leftWidth_; }
  int ColumnCount() const { return columnCount_; }
  int RowCount() const { return rowCount_; }
  int16_t RowHeight() const { return rowHeight_; }
  uint16_t ColumnWidth(int column) const;
  std::string Caption(int column) const; // -1: the corner
  int TopRow() const { return topRow_; }
  int FirstColumn() const { return firstColumn_; }
  int LastVisibleRow() const { return lastVisibleRow_; }
  int LastVisibleColumn() const { return lastVisibleColumn_; }
  int CurrentRow() const { return currentRow_; }
  int CurrentColumn() const { return currentColumn_; }
  int BorderDrag() const { return borderDrag_; }
  // The most a top row may be: the row after the last one stays in view.
  int MaxTopRow() const;

  void OnInitialUpdate() override;
  void OnDraw(gdi::Dc& dc) override;

protected:
  // The derived view's part: the text of a visible cell (nothing: empty)
  // and its alignment.
  virtual std::optional<std::string> CellText(int row, int column) {
    (void)row;
    (void)column;
    return std::nullopt;
  }
  virtual uint32_t CellAlign(int column) {
    (void)column;
    return gdi::kDtLeft;
  }
  // Draws the visible cells' texts.
  virtual void DrawCells(gdi::Dc& dc);
  // A commit from the control in place: 1 closes it.
  virtual int OnCommit(uint16_t code, win::LParam value) {
    (void)code;
    (void)value;
    return 0;
  }
  // A double click on a cell (after it was made current).
  virtual void OnCellDoubleClick(int row, int column) {
    (void)row;
    (void)column;
  }
  void SetFont(std::shared_ptr<const gdi::Font> font) { font_ = std::move(font); }
  const std::shared_ptr<const gdi::Font>& Font() const { return font_; }

  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  gdi::Rect Client() const;
  int32_t ColumnLeft(int column) const;
  int VisibleRows() const;
  int Page() const { return lastVisibleRow_ - topRow_; }
  void UpdateScrollBar();
  void SetTopRow(int top);
  void LineUp();
  void LineDown();
  void MarkCurrent(gdi::Dc& dc);
  void MarkCurrentNow();
  // The border under a point of the header: kLeftBorder, a column, or
  // kNoDrag.
  int BorderAt(int32_t x, int32_t y) const;
  void OnVScroll(uint32_t code);
  bool OnKey(uint32_t key, ui::LParam lParam);
  bool Commit(ui::FieldEvent event, win::Hwnd control);

  int16_t headerHeight_ = 25;
  int16_t leftWidth_ = 30;
  int columnCount_ = 1;
  int rowCount_ = 0;
  int16_t rowHeight_ = 20;
  std::array<uint16_t, kGridColumns> widths_{};
  std::array<std::string, kGridColumns> captions_;
  std::string corner_;
  gdi::Colour gridColour_ = gdi::Rgb(192, 192, 192);
  int topRow_ = 0;
  int firstColumn_ = 0;
  int lastVisibleRow_ = 0;
  int lastVisibleColumn_ = 0;
  int currentRow_ = 0;
  int currentColumn_ = 0;
  int borderDrag_ = kNoDrag;
  bool overBorder_ = false;
  win::Hwnd edit_ = 0;
  win::Hwnd list_ = 0;
  std::shared_ptr<const gdi::Font> font_;
};

} // namespace editor
