// The album manager's three panes as the frame sees them: the album tree,
// the song list and the reservation list, each with its mode (the view
// type) and what the frame calls on it. They hold only what the frame's
// logic needs: the reservation list's rows, the song list's display style
// and the tree's current item. Key-downs go on to the frame with the
// control id in lParam. Owner's thread only.
#pragma once

#include "album/manager/manager_album.h"
#include "platform/ui/window/screen.h"

#include <string>
#include <vector>

namespace album {

inline constexpr uint32_t kTreeControlId = 5000;
inline constexpr uint32_t kSongListControlId = 5001;
inline constexpr uint32_t kReserveListControlId = 5002;

// Display styles of the song list.
inline constexpr int kStyleIcons = 0;
inline constexpr int kStyleReport = 1;
inline constexpr int kStyleList = 3;

class ManagerView : public ui::ScreenWindow {
public:
  // A visible child of parent with the control id; false when not made.
  bool Create(ui::Hwnd parent, uint32_t id);
  uint32_t ControlId() const { return id_; }

  int Mode() const { return mode_; }
  void SetMode(int mode) { mode_ = mode; }
  // Tree: refreshed (with its selection); lists: reset, reloaded.
  void Refresh() { ++refreshes_; Invalidate(); }
  void Reset() { ++resets_; Invalidate(); }
  void Reload() { ++reloads_; Invalidate(); }
  int Refreshes() const { return refreshes_; }
  int Resets() const { return resets_; }
  int Reloads() const { return reloads_; }

  // The reservation list's rows; RecordCount notes how many it holds, so
  // that rows added later (folders for a rebuild) show.
  const std::vector<ReservationRow>& Rows() const { return rows_; }
  void AddRow(const ReservationRow& row);
  void ClearRows();
  void RecordCount() { recorded_ = static_cast<int>(rows_.size()); }
  int RecordedCount() const { return recorded_; }
  // A change of the reservation queue (kinds of ReserveNoticeKind) applied
  // to the rows: 0 the first row goes, 1 the first row from the second on
  // that holds the number, 2 the last row, 3 every row, 4 added is
  // appended.
  void ApplyReserveNotice(int kind, int32_t number, const ReservationRow& added);

  // The list's selection and its cut, copy and paste states, as the list
  // reports them to the frame.
  int SelectedCount() const { return selected_; }
  void SetSelectedCount(int count) { selected_ = count; }
  struct EditStates {
    bool cut = false, copy = false, paste = false;
  };
  const EditStates& Edit() const { return edit_; }
  void SetEditStates(const EditStates& states) { edit_ = states; }

  // The song list's display style.
  int Style() const { return style_; }
  void SetStyle(int style) { style_ = style; Invalidate(); }

  // The tree's current item: a leaf (an album or list), the selection being
  // the current item, lying in the my-album branch.
  struct TreeItem {
    bool leaf = false;
    bool selectedIsCurrent = true;
    bool inMyAlbum = false;
  };
  const TreeItem& Current() const { return current_; }
  void SetCurrent(const TreeItem& item) { current_ = item; }

  // The tree's searches: the query kind (0 title, 1 singer, 2 text), the
  // text and whether only the current item's songs were searched.
  struct Search {
    int kind = 0;
    std::string text;
    bool narrow = false;
  };
  void StartSearch(const Search& search) { searches_.push_back(search); }
  const std::vector<Search>& Searches() const { return searches_; }

  // Commands posted to the view (select all, cut, copy, paste, ...).
  const std::vector<uint16_t>& Commands() const { return commands_; }

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  void Invalidate();
  void Draw(gdi::Dc& dc);

  uint32_t id_ = 0;
  int mode_ = 0;
  int refreshes_ = 0, resets_ = 0, reloads_ = 0;
  std::vector<ReservationRow> rows_;
  int recorded_ = 0;
  int selected_ = 0;
  EditStates edit_;
  int style_ = kStyleReport;
  TreeItem current_;
  std::vector<uint16_t> commands_;
  std::vector<Search> searches_;
};

} // namespace album
