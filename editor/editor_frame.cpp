// The editor's main frame and its plain views: creation of its parts, the
// frame commands, play-follow and the song-state repaint.
#include "editor/editor.h"

#include "core/player/notify_exports.h"
#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "core/player/transport_exports.h"
#include "core/player/userbankdlg.h"
#include "core/player/wavebankdlg.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/input.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

namespace editor {
namespace {

bool Playing() {
  const auto& link = core::TheApp().linkTable;
  return link.GetcMidiPlayFlag && link.GetcMidiPlayFlag() == 1;
}

ui::View* ActiveViewOf(const CEditorFrame& frame) {
  ui::MdiChildWnd* child = frame.MDIGetActive();
  return child ? child->ActiveView() : nullptr;
}

} // namespace

void CSongTitleView::OnDraw(gdi::Dc& dc) {
  const gdi::Rect area = ui::GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FillRect(area, gdi::Rgb(255, 255, 255));
  const core::CSongData& song = core::TheSong();
  dc.TextOut(8, 8, song.loaded ? song.title : std::string());
}

void CSongTitleView::OnUpdate(ui::View* sender, intptr_t hint) {
  if (hint == kHintReloaded)
    ++reloads;
  ui::View::OnUpdate(sender, hint);
}

ui::LResult CSongTitleView::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  if (message == win::WM_TIMER && wParam == kFollowTimer) {
    ++followTicks;
    return 0;
  }
  if (message == win::WM_KEYDOWN && wParam == ui::VK_SPACE) {
    if (Playing())
      tamblo_Stop();
    else
      tamblo_Play();
    return 0;
  }
  return ui::View::OnMessage(message, wParam, lParam);
}

bool CEditorFrame::CreateParts() {
  if (!CreateToolBar(kFrameResource))
    return false;
  if (!win::SetTimer(GetHwnd(), kFollowTimer, kFollowMs))
    return false;
  tamblo_RegisterNotifications(GetHwnd());
  SwitchToolTipsAroundModals();
  partsMade_ = true;
  return true;
}

void CEditorFrame::Repaint() {
  ui::MdiChildWnd* child = MDIGetActive();
  ui::Document* doc = child ? child->ActiveDocument() : nullptr;
  if (!doc)
    return;
  doc->UpdateAllViews(nullptr, kHintReloaded);
  doc->SetTitle(core::TheSong().path);
}

void CEditorFrame::OpenView(size_t templateIndex) {
  EditorApp& app = TheEditor();
  if (templateIndex >= app.templates.size())
    return;
  ui::DocTemplate& t = *app.templates[templateIndex];
  ui::MdiChildWnd* active = MDIGetActive();
  ui::Document* doc = active ? active->ActiveDocument() : nullptr;
  if (!doc) {
    // No document window left: a new document with this view.
    t.OpenNewDocument(*this);
    return;
  }
  if (ui::MdiChildWnd* child = t.CreateNewFrame(*doc, *this))
    t.InitialUpdateFrame(*child, *doc);
}

bool CEditorFrame::OnCommand(uint16_t id) {
  switch (id) {
  case ID_VIEW_TRACKS:
    OpenView(0);
    return true;
  case ID_VIEW_EVENTS:
    OpenView(1);
    return true;
  case ID_VIEW_STAFF:
    OpenView(2);
    return true;
  case ID_VIEW_PIANOROLL:
    OpenView(3);
    return true;
  case ID_VIEW_INFO:
    OpenView(4);
    return true;
  case ID_PLAY:
    if (!Playing())
      if (ui::View* view = ActiveViewOf(*this))
        win::SendMessage(view->GetHwnd(), win::WM_KEYDOWN, ui::VK_SPACE, 0);
    return true;
  case ID_STOP:
    tamblo_Stop();
    if (const win::Hwnd host = core::HostNotifyWindow())
      win::PostMessage(host, win::WM_USER, kPositionChangedNotify, 0);
    return true;
  case ID_PAUSE:
    tamblo_Pause();
    return true;
  case ID_PANIC:
    if (core::TheApp().linkTable.DoPanic)
      core::TheApp().linkTable.DoPanic();
    return true;
  case ID_AUTOSYNC:
    if (ui::View* view = ActiveViewOf(*this))
      win::PostMessage(view->GetHwnd(), win::WM_COMMAND, ID_AUTOSYNC, 0);
    return true;
  case ID_USER_BANK:
    core::RunUserBankDialog(core::TheSong(), GetHwnd());
    return true;
  case ID_WAVE_BANK:
    core::RunWaveBankDialog(core::TheSong(), GetHwnd());
    return true;
  case ID_IMPORT:
    ImportTrack();
    return true;
  case ID_CLOSE_EDITOR:
    win::DestroyWindow(GetHwnd());
    return true;
  default:
    return false;
  }
}

void CEditorFrame::ImportTrack() {
  EditorApp& app = TheEditor();
  ui::MdiChildWnd* child = MDIGetActive();
  ui::Document* doc = child ? child->ActiveDocument() : nullptr;
  core::CSongData& song = core::TheSong();
  const std::string filter = app.bundle ? app.bundle->String(kImportFilter).value_or("") : "";
  auto choice = ui::RunFileDialog(
      PrepareFileDialog(filter, false, app.importFilter, app.folder, GetHwnd()));
  if (!choice)
    return;
  app.importFilter = choice->filterIndex;
  app.folder = FolderOf(choice->path);
  if (app.closePending)
    return;
  // A track import replaces the lyric track when it holds syllables: asked.
  if (choice->filterIndex >= 2 && choice->filterIndex <= 4 && song.lyricsPresent &&
      song.lyricTrack > 0 && song.HasTrack(song.lyricTrack)) {
    const std::string text = app.bundle ? app.bundle->String(kAskReplaceLyrics).value_or("") : "";
    const std::string caption =
        app.bundle ? app.bundle->String(kFrameResource).value_or("") : std::string();
    if (ui::MessageBox(text, caption, ui::MB_YESNO | ui::MB_ICONQUESTION, GetHwnd()) !=
            ui::IDYES ||
        app.closePending)
      return;
  }
  switch (choice->filterIndex) {
  case 1:
    song.ImportLyricText(choice->path);
    break;
  case 2:
  case 3:
    song.ImportTrack(choice->path, core::kFileVx3, 65535);
    break;
  case 4:
    song.ImportTrack(choice->path, core::kFileKaraoke, 65535);
    break;
  default:
    return;
  }
  if (doc)
    doc->UpdateAllViews(nullptr, kHintEdited);
}

ui::LResult CEditorFrame::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_TIMER:
    if (wParam == kFollowTimer) {
      if (Playing())
        if (ui::View* view = ActiveViewOf(*this))
          win::SendMessage(view->GetHwnd(), win::WM_TIMER, kFollowTimer, 0);
      return 0;
    }
    break;
  case kDestroyLater:
    win::DestroyWindow(GetHwnd());
    return 0;
  case win::WM_USER:
    if (wParam == core::kSongStateNotify) {
      if (lParam == core::kSongLoaded || lParam == core::kSongClosed)
        Repaint();
      return 0;
    }
    break;
  case win::WM_DESTROY:
    if (partsMade_) {
      tamblo_UnregisterNotifications(GetHwnd());
      win::KillTimer(GetHwnd(), kFollowTimer);
      partsMade_ = false;
    }
    break;
  default:
    break;
  }
  return ui::MdiFrameWnd::OnMessage(message, wParam, lParam);
}

void CEditorFrame::PostNcDestroy() {
  EditorApp& app = TheEditor();
  if (app.frame == this)
    app.frame = nullptr;
  ui::MdiFrameWnd::PostNcDestroy();
}

} // namespace editor
