// The editor's document: every instance stands for the one song in memory.
// Its commands close, open, save and save the song as any kind, move its
// lyric timing through the interchange text and rebuild its display marks.
#include "editor/editor.h"

#include "core/player/tambloapp.h"
#include "core/player/transport_exports.h"
#include "platform/ui/modal/messagebox.h"

namespace editor {
namespace {

constexpr size_t kPathBytes = 256;

void ClearMutes() {
  const auto& link = core::TheApp().linkTable;
  if (!link.SetTrackMute)
    return;
  for (int track = 0; track < kTrackMutes; ++track)
    link.SetTrackMute(static_cast<uint16_t>(track), 0);
}

bool Playing() {
  const auto& link = core::TheApp().linkTable;
  return link.GetcMidiPlayFlag && link.GetcMidiPlayFlag() == 1;
}

std::string String(uint32_t id) {
  const EditorApp& app = TheEditor();
  return app.bundle ? app.bundle->String(id).value_or("") : std::string();
}

ui::WindowHandle FrameHwnd() {
  const EditorApp& app = TheEditor();
  return app.frame ? app.frame->GetHwnd() : 0;
}

} // namespace

ui::OpenFileRequest PrepareFileDialog(const std::string& filter, bool save, int filterIndex,
                                      const std::string& folder, ui::WindowHandle owner) {
  ui::OpenFileRequest request;
  // The filter's last character separates its parts.
  std::string text = filter;
  if (!text.empty()) {
    const char separator = text.back();
    for (char& c : text)
      if (c == separator)
        c = '|';
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "||") != 0)
      text += '|';
  }
  request.filter = text;
  request.save = save;
  request.filterIndex = filterIndex;
  request.initialFolder = folder.substr(0, kPathBytes - 1);
  request.owner = owner;
  return request;
}

SaveKind SaveKindOfFilter(int filterIndex) {
  static constexpr SaveKind kinds[] = {
      {core::kSaveV350First, ".vx3"},           {core::kSaveV350First + 1, ".sb3"},
      {core::kSaveV350First + 2, ".sw3"},       {core::kSaveV350PackedFirst, ".vx3"},
      {core::kSaveV350PackedFirst + 1, ".sb3"}, {core::kSaveV350PackedFirst + 2, ".sw3"},
      {core::kSaveV300First, ".vx3"},           {core::kSaveV300First + 1, ".sb3"},
      {core::kSaveMidi, ".mid"},                {core::kSaveKaraoke, ".kar"},
  };
  if (filterIndex >= 1 && filterIndex <= 10)
    return kinds[filterIndex - 1];
  return {core::kFileByExtension, ""};
}

int OpenKindOfFilter(int filterIndex) {
  static constexpr int kinds[] = {core::kFileVx3, core::kFileSb3, core::kFileSw3, core::kFileMidi,
                                  core::kFileKaraoke};
  if (filterIndex >= 1 && filterIndex <= 5)
    return kinds[filterIndex - 1];
  return core::kFileByExtension;
}

std::string WithExtension(const std::string& path, const char* extension) {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!*extension || name.find('.') != std::string::npos)
    return path;
  return path + extension;
}

int SaveKindOfName(const std::string& path) {
  switch (core::GetSongFileKind(path)) {
  case core::kFileMidi:
    return core::kSaveMidi;
  case core::kFileKaraoke:
    return core::kSaveKaraoke;
  case core::kFileSb3:
    return core::kSaveV350First + 1;
  case core::kFileSw3:
    return core::kSaveV350First + 2;
  default:
    return core::kSaveV350First;
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

CTambloDoc::CTambloDoc() : song(&core::TheSong()) {
  ClearMutes();
}

bool CTambloDoc::OnNewDocument() {
  ClearMutes();
  SetTitle(song->path);
  UpdateAllViews(nullptr, kHintReloaded);
  return true;
}

int CTambloDoc::Ask(uint32_t string, uint32_t flags) {
  const int answer = ui::MessageBox(String(string), String(kFrameResource), flags, FrameHwnd());
  // The editor closing under the box ends it as cancelled.
  return TheEditor().closePending ? ui::IDCANCEL : answer;
}

void CTambloDoc::Say(uint32_t string) {
  ui::MessageBox(String(string), String(kFrameResource), ui::MB_OK | ui::MB_ICONEXCLAMATION,
                 FrameHwnd());
}

bool CTambloDoc::NeedsSong() {
  if (song->loaded)
    return true;
  Say(kNoSong);
  return false;
}

bool CTambloDoc::SaveModified() {
  if (!song->loaded || song->unchanged)
    return true;
  switch (Ask(kAskSave, ui::MB_YESNOCANCEL | ui::MB_ICONQUESTION)) {
  case ui::IDYES:
    return OnFileSave();
  case ui::IDNO:
    return true;
  default:
    return false;
  }
}

std::optional<ui::FileChoice> CTambloDoc::RunDialog(uint32_t filterString, bool save,
                                                    int& filterIndex) {
  EditorApp& app = TheEditor();
  auto choice = ui::RunFileDialog(
      PrepareFileDialog(String(filterString), save, filterIndex, app.folder, FrameHwnd()));
  if (!choice || choice->path.empty() || app.closePending)
    return std::nullopt;
  filterIndex = choice->filterIndex;
  app.folder = FolderOf(choice->path);
  return choice;
}

bool CTambloDoc::OnFileNew() {
  if (!SaveModified())
    return false;
  tamblo_CloseFile();
  return true;
}

bool CTambloDoc::OnFileOpen() {
  // A changed song is offered for saving first, as for a new one.
  if (!SaveModified())
    return false;
  auto choice = RunDialog(kOpenFilter, false, TheEditor().openFilter);
  if (!choice)
    return false;
  if (Playing())
    tamblo_Stop();
  const bool loaded = tamblo_LoadFile(choice->path.c_str(), OpenKindOfFilter(choice->filterIndex));
  SetTitle(loaded ? song->path : std::string());
  ClearMutes();
  UpdateAllViews(nullptr, kHintReloaded);
  return loaded;
}

bool CTambloDoc::SaveTo(const std::string& path, int kind) {
  if (song->SaveByKind(path, kind) <= 0) {
    // The title stays, and the song still counts as changed.
    Say(kSaveFailed);
    return false;
  }
  SetTitle(song->path);
  return true;
}

bool CTambloDoc::OnFileSave() {
  if (!song->loaded)
    return false;
  if (song->path.empty() || song->path == String(kUntitled))
    return OnFileSaveAs();
  // A song not saved before keeps the kind its file name says.
  return SaveTo(song->path, song->saveKind ? song->saveKind : SaveKindOfName(song->path));
}

bool CTambloDoc::OnFileSaveAs() {
  if (!NeedsSong())
    return false;
  auto choice = RunDialog(kSaveAsFilter, true, TheEditor().saveAsFilter);
  if (!choice)
    return false;
  const SaveKind kind = SaveKindOfFilter(choice->filterIndex);
  const std::string path = WithExtension(choice->path, kind.extension);
  return SaveTo(path, kind.kind == core::kFileByExtension ? SaveKindOfName(path) : kind.kind);
}

void CTambloDoc::ExportText() {
  if (!NeedsSong())
    return;
  auto choice = RunDialog(kTextFilter, true, TheEditor().exportTextFilter);
  if (!choice)
    return;
  const std::string path =
      choice->filterIndex == 1 ? WithExtension(choice->path, ".si3") : choice->path;
  if (song->ExportInterchange(path) <= 0)
    Say(kSaveFailed);
}

void CTambloDoc::ImportText() {
  if (!NeedsSong())
    return;
  auto choice = RunDialog(kTextFilter, false, TheEditor().importTextFilter);
  if (!choice)
    return;
  std::string error;
  if (song->ImportInterchange(choice->path, song->lyricTrack, &error) <= 0)
    ui::MessageBox(String(kLoadFailed) + (error.empty() ? "" : "\n" + error),
                   String(kFrameResource), ui::MB_OK | ui::MB_ICONEXCLAMATION, FrameHwnd());
  UpdateAllViews(nullptr, kHintReloaded);
}

void CTambloDoc::RebuildMarks() {
  if (!NeedsSong())
    return;
  const int answer = Ask(kAskRebuildMarks, ui::MB_YESNOCANCEL | ui::MB_ICONQUESTION);
  if (answer == ui::IDCANCEL)
    return;
  if (answer == ui::IDYES)
    song->RemoveLyricMarks();
  song->AutoInsertLyricMarks(100, 10000, 1, 3);
  UpdateAllViews(nullptr, kHintEdited);
}

void CTambloDoc::AlignLines() {
  if (!NeedsSong())
    return;
  song->AlignLineBreaks();
  UpdateAllViews(nullptr, kHintEdited);
}

bool CTambloDoc::OnCommand(uint16_t id) {
  switch (id) {
  case ui::ID_FILE_NEW:
    OnFileNew();
    return true;
  case ui::ID_FILE_OPEN:
    OnFileOpen();
    return true;
  case ui::ID_FILE_SAVE:
    OnFileSave();
    return true;
  case ID_FILE_SAVE_AS:
    OnFileSaveAs();
    return true;
  case ID_EXPORT_TEXT:
    ExportText();
    return true;
  case ID_IMPORT_TEXT:
    ImportText();
    return true;
  case ID_REBUILD_MARKS:
    RebuildMarks();
    return true;
  case ID_ALIGN_LINES:
    AlignLines();
    return true;
  default:
    return false;
  }
}

} // namespace editor
