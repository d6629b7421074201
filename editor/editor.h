// The song editor: a multiple-document frame inside the player core whose
// documents all stand for the one song in memory, with five kinds of view
// (track list, event list, staff, piano roll, song information), each in a
// child frame of its own. Runs on the host's user-interface thread.
#pragma once

#include "core/songdata.h"
#include "platform/res/bundle.h"
#include "platform/ui/docview/doc_template.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/docview/view.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/window/cursor.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace editor {

// Resource ids of the frame and of the templates, in the templates' order.
inline constexpr uint32_t kFrameResource = 129;
inline constexpr uint32_t kTrackTemplate = 305;
inline constexpr uint32_t kEventTemplate = 308;
inline constexpr uint32_t kStaffTemplate = 307;
inline constexpr uint32_t kPianoRollTemplate = 306;
inline constexpr uint32_t kInfoTemplate = 309;
inline constexpr std::array<uint32_t, 5> kTemplateIds = {kTrackTemplate, kEventTemplate,
                                                         kStaffTemplate, kPianoRollTemplate,
                                                         kInfoTemplate};
inline constexpr uint32_t kFrameStyle = 0xCF8000;
inline constexpr uint32_t kFollowTimer = 100;
inline constexpr uint32_t kFollowMs = 100;
inline constexpr int kToolTipButtons = 20;
// The cursors and the pop-up menu the library loads at its start.
inline constexpr std::array<uint32_t, 7> kCursorIds = {104, 151, 159, 156, 157, 158, 160};
inline constexpr uint32_t kPopupMenu = 316;
inline constexpr int kTrackMutes = 259;
// Posted to the frame to destroy it once the handler that asked has returned.
inline constexpr uint32_t kDestroyLater = 0x8000 + 48; // WM_APP + 48

// Frame commands.
inline constexpr uint16_t ID_VIEW_TRACKS = 32777;
inline constexpr uint16_t ID_VIEW_EVENTS = 32778;
inline constexpr uint16_t ID_VIEW_STAFF = 32779;
inline constexpr uint16_t ID_VIEW_PIANOROLL = 32780;
inline constexpr uint16_t ID_VIEW_INFO = 32790;
inline constexpr uint16_t ID_PLAY = 32781;
inline constexpr uint16_t ID_STOP = 32782;
inline constexpr uint16_t ID_PAUSE = 32783;
inline constexpr uint16_t ID_PANIC = 32787;
inline constexpr uint16_t ID_AUTOSYNC = 32788;
inline constexpr uint16_t ID_USER_BANK = 32792;
inline constexpr uint16_t ID_WAVE_BANK = 32795;
inline constexpr uint16_t ID_IMPORT = 32800;
inline constexpr uint16_t ID_CLOSE_EDITOR = 32824;
// Document commands.
inline constexpr uint16_t ID_FILE_SAVE_AS = 32776;
inline constexpr uint16_t ID_EXPORT_TEXT = 32820;
inline constexpr uint16_t ID_IMPORT_TEXT = 32821;
inline constexpr uint16_t ID_REBUILD_MARKS = 32822;
inline constexpr uint16_t ID_ALIGN_LINES = 32823;

// Strings of rTamblo.
inline constexpr uint32_t kOpenFilter = 1;
inline constexpr uint32_t kImportFilter = 3;
inline constexpr uint32_t kSaveAsFilter = 5;
inline constexpr uint32_t kTextFilter = 10;
inline constexpr uint32_t kSaveFailed = 11940;
inline constexpr uint32_t kAskSave = 19;
inline constexpr uint32_t kLoadFailed = 11941;
inline constexpr uint32_t kNoSong = 21;
inline constexpr uint32_t kUntitled = 201;
inline constexpr uint32_t kAskRebuildMarks = 11939;
inline constexpr uint32_t kAskReplaceLyrics = 11942;

// Posted to the host's notification window after a stop.
inline constexpr uint32_t kPositionChangedNotify = 4098;

// View update hints.
inline constexpr intptr_t kHintEdited = 0;
inline constexpr intptr_t kHintReloaded = 1;

// The common file dialog's request for a filter string whose last character
// separates its parts; 256 bytes of path and title are kept.
ui::OpenFileRequest PrepareFileDialog(const std::string& filter, bool save, int filterIndex,
                                      const std::string& folder, ui::WindowHandle owner);
// The save kind and extension of a save-as filter index; the extension is
// added when the typed file name has none.
struct SaveKind {
  int kind;
  const char* extension; // empty: none added
};
SaveKind SaveKindOfFilter(int filterIndex);
int OpenKindOfFilter(int filterIndex);
// The save kind a file name's extension stands for (a 3.50 song otherwise).
int SaveKindOfName(const std::string& path);
std::string WithExtension(const std::string& path, const char* extension);
// The path without its last part (the folder a dialog starts in next).
std::string FolderOf(const std::string& path);

class CTambloDoc : public ui::Document {
public:
  CTambloDoc();

  bool OnCommand(uint16_t id) override;
  bool OnNewDocument() override;
  bool SaveModified() override;

  // The song's close (new), open, save and save as; false when cancelled or
  // failed.
  bool OnFileNew();
  bool OnFileOpen();
  bool OnFileSave();
  bool OnFileSaveAs();

  core::CSongData* song;
  // The track last shown by the event list, the piano roll and the staff.
  uint16_t eventTrack = 1, rollTrack = 1, staffTrack = 1;

private:
  std::optional<ui::FileChoice> RunDialog(uint32_t filterString, bool save, int& filterIndex);
  bool SaveTo(const std::string& path, int kind);
  void ExportText();
  void ImportText();
  void RebuildMarks();
  void AlignLines();
  bool NeedsSong();
  int Ask(uint32_t string, uint32_t flags);
  void Say(uint32_t string);
};

class CChildFrame : public ui::MdiChildWnd {};

// The view of a template until its own lands: the song's title; Space plays
// and stops.
class CSongTitleView : public ui::View {
public:
  explicit CSongTitleView(uint32_t templateId) : templateId_(templateId) {}
  void OnDraw(gdi::Dc& dc) override;
  uint32_t TemplateId() const { return templateId_; }
  // Counts of the play-follow timer messages and the updates with hint 1.
  int followTicks = 0;
  int reloads = 0;
  void OnUpdate(ui::View* sender, intptr_t hint) override;

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  uint32_t templateId_;
};

class CEditorFrame : public ui::MdiFrameWnd {
public:
  // The tool bar, tool tips, timer and notification registration of a
  // frame just loaded; false when one fails.
  bool CreateParts();
  bool OnCommand(uint16_t id) override;
  // The active document's views updated with hint 1 and its title the
  // song's path.
  void Repaint();

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
  void PostNcDestroy() override;

private:
  void OpenView(size_t templateIndex);
  void ImportTrack();
  bool partsMade_ = false;
};

// The editor's share of the player core's application: the frame (null
// while no editor is open), the five templates, their manager, the
// remembered filter indexes and the last folder.
struct EditorApp {
  CEditorFrame* frame = nullptr;
  std::optional<res::Bundle> bundle;
  std::vector<std::unique_ptr<ui::DocTemplate>> templates;
  std::map<uint32_t, ui::CursorHandle> cursors;
  std::optional<ui::Menu> popupMenu;
  ui::DocManager manager;
  int openFilter = 1, saveAsFilter = 1, importTextFilter = 1, exportTextFilter = 1,
      importFilter = 1;
  std::string folder;
  // Modal pieces up on this thread, and a close asked for meanwhile: the
  // frame goes once they have ended and their handler has returned.
  int modalDepth = 0;
  bool closePending = false;
  int modalHook = 0;
  ui::FrameResources Resources() const;
};
EditorApp& TheEditor();

// Makes the templates from bundle; false with error on a malformed one.
bool StartEditor(const res::Bundle& bundle, std::string* error);
// Destroys an open frame and drops the templates.
void EndEditor();

// The host's exports, in C++ form.
int32_t OpenEditor();
int32_t CloseEditor();

} // namespace editor
