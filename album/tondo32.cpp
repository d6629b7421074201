// The exports of the song-album library: its start and end, loading the
// album database, and the thin shells over the database's operations. The
// library's texts and its progress dialog come from the bundle rTondo32.
#include "album/tondo32.h"

#include "album/albumdatabase.h"
#include "album/inetdlg/downloaddlg.h"
#include "album/query.h"
#include "album/manager/tondo32_manager.h"
#include "album/songlist.h"
#include "album/tondo32_reserve.h"
#include "display/progressdlg.h"
#include "platform/res/bundle.h"
#include "platform/res/dialog_resource.h"
#include "platform/sys/paths.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/sys/bytes.h"
#include "platform/sys/library.h"
#include "platform/sys/spawn.h"
#include "platform/ui/controls/progress.h"
#include "platform/ui/window/cursor.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr uintptr_t kAlbumStatusTextKind = 0x10506;
constexpr size_t kMaxStatusText = 515;

// String numbers of the bundle.
constexpr uint32_t kStringBuilding = 50025, kStringBuilt = 50026, kStringWritingAlbum = 60045;
constexpr uint32_t kStringRemovedFolder = 50047, kStringDownloadFolder = 50048;
constexpr uint32_t kStringFirstSyllable = 60000, kStringFirstLetter = 60015;
constexpr uint32_t kStringServer = 60041, kStringThunk = 60042, kStringMyAlbumHeader = 199;
constexpr uint32_t kStringListNumber = 50028, kStringListTitle = 50029, kStringListSinger = 50030;
constexpr uint32_t kStringListExcerpt = 50031, kStringNoTitle = 32780, kStringListWriting = 60046;
constexpr uint32_t kStringListSorting = 60048, kStringListSortingDetail = 60049;
constexpr uint32_t kStringCaption = 40000, kStringThunkChanged = 60043;
constexpr uint32_t kStringMakingFolders = 60050;

// The rebuild's progress in the bundle's progress dialog, with the wait
// cursor while it shows.
class DialogProgress : public album::RebuildProgress {
public:
  explicit DialogProgress(const res::Bundle& bundle) : bundle_(bundle) {}

  void Open(std::string_view text) override {
    Close({});
    cursor_.emplace();
    std::optional<ui::DialogTemplate> t = ProgressDlg::LoadTemplate(bundle_);
    if (!t)
      return;
    dialog_ = std::make_unique<ProgressDlg>(std::move(*t));
    if (!dialog_->Create()) {
      dialog_.reset();
      return;
    }
    dialog_->SetBusy(true);
    SetText(1, text);
  }
  void SetText(int line, std::string_view text) override {
    if (dialog_)
      ui::SetDlgItemText(dialog_->GetHwnd(),
                         line == 1 ? ProgressDlg::kItemFirstText : ProgressDlg::kItemSecondText,
                         text);
  }
  void SetBar(int percent) override {
    if (dialog_)
      ui::SendDlgItemMessage(dialog_->GetHwnd(), ProgressDlg::kItemProgress, ui::PBM_SETPOS,
                             static_cast<ui::WParam>(percent));
  }
  void Close(std::string_view text) override {
    if (dialog_) {
      if (!text.empty())
        SetText(1, text);
      dialog_->SetBusy(false);
      win::DestroyWindow(dialog_->GetHwnd());
      dialog_.reset();
    }
    cursor_.reset();
  }

private:
  const res::Bundle& bundle_;
  std::unique_ptr<ProgressDlg> dialog_;
  std::optional<ui::WaitCursor> cursor_;
};

struct Library {
  std::optional<res::Bundle> bundle;
  std::string attachError;
  std::unique_ptr<DialogProgress> progress;
  std::unique_ptr<album::AlbumDatabase> db;
  bool loaded = false;
  win::Hwnd statusWindow = 0;
  // Who hears of reservation changes: the host and the album manager.
  Tondo32ReserveNotice hostNotice = nullptr;
  void* hostNoticeUser = nullptr;
  album::ReserveNotice managerNotice;
};

// Never destroyed: the unload hook below still finds it.
Library& Lib() {
  static Library* lib = new Library;
  return *lib;
}

std::string Text(uint32_t id, const std::string& fallback) {
  std::string bytes = Lib().bundle ? Lib().bundle->StringBytes(id) : std::string();
  return bytes.empty() ? fallback : bytes;
}

album::AlbumTexts Texts() {
  album::AlbumTexts t;
  t.removedFolder = Text(kStringRemovedFolder, t.removedFolder);
  t.downloadFolder = Text(kStringDownloadFolder, t.downloadFolder);
  t.server = Text(kStringServer, t.server);
  t.thunk = Text(kStringThunk, t.thunk);
  for (size_t i = 0; i < t.syllables.size(); ++i)
    t.syllables[i] = Text(kStringFirstSyllable + static_cast<uint32_t>(i), t.syllables[i]);
  for (size_t i = 0; i < t.letters.size(); ++i)
    t.letters[i] = Text(kStringFirstLetter + static_cast<uint32_t>(i), t.letters[i]);
  t.building = Text(kStringBuilding, t.building);
  t.built = Text(kStringBuilt, t.built);
  t.writingAlbum = Text(kStringWritingAlbum, t.writingAlbum);
  t.myAlbumHeader = Text(kStringMyAlbumHeader, t.myAlbumHeader);
  return t;
}

album::SongListTexts ListTexts() {
  album::SongListTexts t;
  t.numberHeading = Text(kStringListNumber, t.numberHeading);
  t.titleHeading = Text(kStringListTitle, t.titleHeading);
  t.singerHeading = Text(kStringListSinger, t.singerHeading);
  t.excerptHeading = Text(kStringListExcerpt, t.excerptHeading);
  t.noTitle = Text(kStringNoTitle, t.noTitle);
  t.sorting = Text(kStringListSorting, t.sorting);
  t.sortingDetail = Text(kStringListSortingDetail, t.sortingDetail);
  t.writing = Text(kStringListWriting, t.writing);
  return t;
}

void TellReserveChange(int kind, int32_t number, int position) {
  Library& lib = Lib();
  if (lib.hostNotice)
    lib.hostNotice(kind, number, position, lib.hostNoticeUser);
  if (lib.managerNotice)
    lib.managerNotice(kind, number, position);
}

// A fresh database hears its queue's changes.
std::unique_ptr<album::AlbumDatabase> NewDatabase(album::AlbumDatabase::Options options) {
  auto db = std::make_unique<album::AlbumDatabase>(std::move(options));
  db->Reservations().SetNotice(TellReserveChange);
  return db;
}

// The current album mode's song list written (and opened in the editor when
// asked); 1 written, 0 not, -1 no database.
int WriteList(album::SongListForm form, bool openEditor, std::string* path) {
  Library& lib = Lib();
  if (!lib.db)
    return -1;
  album::SongListOptions options;
  options.form = form;
  options.texts = ListTexts();
  options.progress = lib.progress.get();
  std::string target;
  const bool written = album::WriteSongList(*lib.db, options, &target);
  if (path)
    *path = target;
  if (!written)
    return 0;
  // The editor's own failure leaves the list as written.
  if (openEditor)
    album::OpenSongListInEditor(
        lib.db->ConfigPath(), target,
        [](const std::vector<std::string>& argv) { return sys::SpawnDetached(argv); });
  return 1;
}

// The download dialog (template 173) run modally over a transfer of url into
// file; true only when it ended with OK, the whole file there.
bool RunDownloadDialog(const std::string& url, const std::string& file, win::Hwnd owner,
                       int option, const std::string& status, const std::string& title) {
  Library& lib = Lib();
  if (!lib.bundle)
    return false;
  std::string error;
  std::optional<ui::DialogTemplate> t =
      res::LoadDialogTemplate(*lib.bundle, album::AlbDownloadDlg::kTemplate, &error);
  if (!t) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  album::AlbDownloadDlg dialog(std::move(*t), url, file);
  dialog.SetOption(option);
  dialog.SetTexts(status, title);
  return dialog.DoModal(owner) == ui::IDOK && dialog.Succeeded();
}

// The server dialog (template 172): the URL confirmed, nullopt otherwise.
std::optional<std::string> RunServerDialog(const std::string& current) {
  Library& lib = Lib();
  std::optional<ui::DialogTemplate> t =
      lib.bundle ? res::LoadDialogTemplate(*lib.bundle, album::AlbServerDlg::kTemplate, nullptr)
                 : std::nullopt;
  if (!t)
    return std::nullopt;
  return album::AlbServerDlg(std::move(*t), current).Run(lib.statusWindow);
}

// A path from the host: a Linux path, or a stored one (drive letter or
// backslashes) turned into the Linux path it names.
std::string HostPath(const char* path) {
  std::string_view p(path);
  if (p.find('\\') == std::string_view::npos && !(p.size() > 1 && p[1] == ':'))
    return std::string(p);
  return sys::ToLinuxPath(p).value_or(std::string());
}

// The status text with the id to the status window, when both are there.
void SendStatusText(int id) {
  Library& lib = Lib();
  if (lib.statusWindow == 0 || !lib.bundle)
    return;
  std::string text = lib.bundle->StringBytes(static_cast<uint32_t>(id));
  if (text.empty())
    return;
  std::string_view cut = album::CutText(text, kMaxStatusText);
  win::SendCopyData(lib.statusWindow, 0, kAlbumStatusTextKind, cut.data(),
                    static_cast<uint32_t>(cut.size()));
}

// The record's 541 bytes into the caller's buffer.
void CopyRecord(const album::SongRecord& r, void* record) {
  sys::ByteWriter w;
  album::WriteSongRecord(w, r);
  std::memcpy(record, w.Data().data(), album::kSongRecordSize);
}

void FreeAlbum() {
  Library& lib = Lib();
  lib.db.reset(); // writes what changed
  lib.loaded = false;
}

// The database, loaded first when there is none yet.
album::AlbumDatabase& Loaded() {
  if (!Lib().db)
    TONDO32_LoadTondo32(0);
  return *Lib().db;
}

void Unload() {
  Library& lib = Lib();
  FreeAlbum();
  lib.progress.reset();
  lib.bundle.reset();
}

// Unloaded without Tondo32_Detach: the catalogue is still written.
__attribute__((destructor)) void AtUnload() {
  Unload();
}

} // namespace

extern "C" {

int32_t Tondo32_Attach(void) {
  Library& lib = Lib();
  if (lib.bundle)
    return 1;
  try {
    res::MissingBundleBox box;
    box.text = "rTondo32.dll is not found!";
    std::string folder = sys::ModuleFolder(reinterpret_cast<const void*>(&Tondo32_Attach));
    lib.bundle = res::LoadAtStart("rTondo32", folder, box);
    if (!lib.bundle) {
      lib.attachError = box.text;
      return 0;
    }
    lib.attachError.clear();
    lib.progress = std::make_unique<DialogProgress>(*lib.bundle);
    return 1;
  } catch (...) {
    lib.attachError = "the start failed";
    return 0;
  }
}

int32_t Tondo32_AttachError(char* text, int32_t size) {
  const std::string& error = Lib().attachError;
  if (text && size > 0) {
    const size_t n = std::min(error.size(), static_cast<size_t>(size) - 1);
    std::memcpy(text, error.data(), n);
    text[n] = '\0';
  }
  return static_cast<int32_t>(error.size());
}

int32_t Tondo32_Detach(void) {
  try {
    Unload();
  } catch (...) {
  }
  return 1;
}

int32_t TONDO32_LoadTondo32(uint32_t statusWindow) {
  Library& lib = Lib();
  if (lib.loaded)
    return 1;
  try {
    // An earlier load failed: begin again from a fresh database.
    lib.db.reset();
    album::AlbumDatabase::Options options;
    options.texts = Texts();
    options.status = SendStatusText;
    options.progress = lib.progress.get();
    options.download = [](const std::string& url, const std::string& file,
                          const std::string& title) {
      return RunDownloadDialog(url, file, Lib().statusWindow, title.empty() ? 0 : 1,
                               title.empty() ? std::string() : Text(kStringMakingFolders, ""),
                               title);
    };
    options.serverDialog = RunServerDialog;
    options.confirmThunkChange = [] {
      return ui::MessageBoxBytes(Text(kStringThunkChanged, "Replace the song catalogue?"),
                                 Text(kStringCaption, "Song Album"),
                                 ui::MB_YESNO | ui::MB_ICONQUESTION, sys::kDefaultCodePage) ==
             ui::IDYES;
    };
    lib.db = NewDatabase(std::move(options));
    lib.statusWindow = statusWindow;
    int opened = lib.db->Open(album::DefaultAlbumFolder());
    lib.loaded = opened > 0;
    // A folder that could not be opened is not checked either.
    if (opened >= 0)
      lib.db->CheckAlbumFolders();
    return opened > 0 ? 1 : opened == 0 ? -1 : 0;
  } catch (...) {
    if (!lib.db)
      lib.db = NewDatabase({});
    lib.loaded = false;
    return 0;
  }
}

void TONDO32_FreeTondo32(void) {
  try {
    FreeAlbum();
  } catch (...) {
  }
}

void TONDO32_AutoAlbumUpdate(void) {
  if (!Lib().db)
    return;
  Lib().db->Reservations().Clear();
  Lib().db->CheckAlbumFolders();
}

int32_t TONDO32_GetTotalNumOfSong(void) {
  return static_cast<int32_t>(Loaded().GetTotalNumOfSong());
}

int32_t TONDO32_GetMaxSongNum(void) {
  return static_cast<int32_t>(Loaded().GetMaxSongNum());
}

int32_t TONDO32_GetTotalSongList(int32_t* numbers, int32_t capacity) {
  album::AlbumDatabase& db = Loaded();
  return capacity < 0 ? 0 : db.GetTotalSongList(numbers, static_cast<size_t>(capacity));
}

int32_t TONDO32_GetSongDataBySongNum(int32_t number, void* record) {
  album::AlbumDatabase& db = Loaded();
  if (!record || number <= 0)
    return 0;
  album::SongRecord r;
  int found = db.GetSongDataBySongNum(static_cast<uint32_t>(number), r);
  auto* out = static_cast<uint8_t*>(record);
  if (found == 1) {
    CopyRecord(r, record);
  } else if (r.type != 0) {
    out[offsetof(album::SongRecord, type)] = static_cast<uint8_t>(r.type);
  }
  return found;
}

int32_t TONDO32_GetNumOfSubAlb(void) {
  return Lib().db ? Lib().db->GetNumOfSubAlb() : 0;
}

int32_t TONDO32_GetNumOfSubAlbum(void) {
  return TONDO32_GetNumOfSubAlb();
}

int32_t TONDO32_GetSubAlbDataPath(int32_t index, char* buffer) {
  return Lib().db ? Lib().db->GetSubAlbDataPath(index, buffer) : 0;
}

const char* TONDO32_GetSubAlbumName(int32_t index) {
  return Lib().db ? Lib().db->GetSubAlbumName(index) : nullptr;
}

const void* TONDO32_GetSongListOfSubAlbum(int32_t index) {
  return Lib().db ? Lib().db->GetSongListOfSubAlbum(index) : nullptr;
}

void TONDO32_SetCurrAlbumContext(int32_t context) {
  if (Lib().db)
    Lib().db->SetCurrAlbumContext(context);
}

int32_t TONDO32_GetCurrAlbumContext(void) {
  return Lib().db ? Lib().db->GetCurrAlbumContext() : album::AlbumDatabase::kWholeAlbum;
}

uint32_t TONDO32_GetAlbumListLUT(void) {
  return Lib().db ? Lib().db->GetAlbumListLUT() : 0;
}

const int32_t* TONDO32_GetNewSongListBlock(void) {
  return Lib().db ? reinterpret_cast<const int32_t*>(Lib().db->GetNewSongListBlock()) : nullptr;
}

int32_t TONDO32_GetNumOfMyAlbum(void) {
  const album::MyAlbumStore* store = Lib().db ? Lib().db->MyAlbums() : nullptr;
  return store ? static_cast<int16_t>(store->Count()) : 0;
}

const char* TONDO32_GetNameOfMyAlbumHeader(void) {
  const album::MyAlbumStore* store = Lib().db ? Lib().db->MyAlbums() : nullptr;
  return store ? store->HeaderName().c_str() : nullptr;
}

const char* TONDO32_GetNameOfMyAlbum(int32_t index) {
  const album::MyAlbumStore* store = Lib().db ? Lib().db->MyAlbums() : nullptr;
  return store ? store->GetNameOfMyAlbum(index) : nullptr;
}

int32_t TONDO32_GetNumOfSongInMyAlbum(int32_t context) {
  return Lib().db ? static_cast<int32_t>(Lib().db->GetNumOfSongInMyAlbum(context)) : 0;
}

int32_t TONDO32_GetRandomSong(void* record) {
  album::AlbumDatabase& db = Loaded();
  album::SongRecord r;
  if (!record || db.GetRandomSong(r) != 1)
    return 0;
  CopyRecord(r, record);
  return 1;
}

int32_t TONDO32_OpenQueryByTitleSinger(const char* text, int32_t kind) {
  album::AlbumDatabase& db = Loaded();
  return db.OpenQueryByTitleSinger(text ? text : "", kind);
}

int32_t TONDO32_GetQueryByTitleSinger(void* record) {
  if (!Lib().db || !record)
    return album::kQueryFinished;
  album::SongRecord r;
  int32_t result = Lib().db->GetQueryByTitleSinger(r);
  if (result == album::kQueryMatched)
    CopyRecord(r, record);
  return result;
}

void TONDO32_CloseQueryByTitleSinger(void) {
  if (Lib().db)
    Lib().db->CloseQueryByTitleSinger();
}

int32_t TONDO32_OpenQueryBySequentially(void) {
  return Loaded().OpenQueryBySequentially();
}

char TONDO32_GetQueryBySequentially(int32_t* number, char** title, char** code) {
  if (!Lib().db)
    return album::kWalkEnd;
  const char* t = nullptr;
  const std::array<uint8_t, 16>* c = nullptr;
  int result = Lib().db->GetQueryBySequentially(number, &t, code ? &c : nullptr);
  if (result != album::kWalkEnd) {
    if (title)
      *title = const_cast<char*>(t);
    if (code)
      *code = reinterpret_cast<char*>(const_cast<uint8_t*>(c->data()));
  }
  return static_cast<char>(result);
}

void TONDO32_CloseQueryBySequentially(void) {
  if (Lib().db)
    Lib().db->CloseQueryBySequentially();
}

const void* TONDO32_GetSingerList(int32_t downloaded) {
  return Lib().db ? Lib().db->GetSingerList(downloaded) : nullptr;
}

const void* TONDO32_GetSongsOfSinger(void) {
  return TONDO32_GetSingerList(0);
}

const void* TONDO32_GetSongListOfSinger(int32_t position, const char* singer,
                                        int32_t downloaded) {
  if (!Lib().db || !singer)
    return nullptr;
  return Lib().db->GetSongListOfSinger(position, singer, downloaded);
}

int32_t TONDO32_SetCategoryFilter(uint8_t category) {
  return Lib().db ? Lib().db->SetCategoryFilter(category) : 0;
}

uint8_t TONDO32_GetCategoryFilter(void) {
  return Lib().db ? Lib().db->GetCategoryFilter() : 0;
}

const void* TONDO32_GetReservedSong(int32_t position) {
  return Lib().db ? Lib().db->Reservations().Take(position) : nullptr;
}

const void* TONDO32_GetReservedSongBlock(void) {
  return Lib().db ? Lib().db->Reservations().Block() : nullptr;
}

void TONDO32_FreeReservedSongBlock(void) {
  if (Lib().db)
    Lib().db->Reservations().FreeBlock();
}

void TONDO32_AddSongReserve(int32_t number, const char* title, const char* path) {
  try {
    if (Lib().db)
      Lib().db->Reservations().Add(number, title ? title : "", path ? path : "");
  } catch (...) {
    // Out of memory: nothing queued.
  }
}

void TONDO32_AddSongReserve1(int32_t number) {
  try {
    album::AlbumDatabase* db = Lib().db.get();
    album::SongRecord r;
    if (db && number > 0 && db->GetSongDataBySongNum(static_cast<uint32_t>(number), r) == 1)
      db->Reservations().Add(number, album::FieldText(r.title), album::FieldText(r.fileName));
  } catch (...) {
  }
}

int32_t TONDO32_GetNumOfReservedSong(void) {
  return Lib().db ? static_cast<int32_t>(Lib().db->Reservations().Count()) : 0;
}

int32_t TONDO32_RemoveReservedSong(int32_t number) {
  return Lib().db ? Lib().db->Reservations().Remove(number) : 0;
}

int32_t TONDO32_RemoveReservedSong0(void) {
  return Lib().db ? Lib().db->Reservations().RemoveLast() : 0;
}

void TONDO32_ClearReservedSong(void) {
  if (Lib().db)
    Lib().db->Reservations().Clear();
}

void Tondo32_SetReserveNotice(Tondo32ReserveNotice notice, void* user) {
  Lib().hostNotice = notice;
  Lib().hostNoticeUser = user;
}

void TONDO32_MakeSongList(void) {
  try {
    WriteList(album::SongListForm::kColumns, true, nullptr);
  } catch (...) {
  }
}

void TONDO32_MakeSongListEx(void) {
  try {
    WriteList(album::SongListForm::kTabs, true, nullptr);
  } catch (...) {
  }
}

int32_t Tondo32_WriteSongList(int32_t tabs, int32_t openEditor, char* path, int32_t size) {
  try {
    std::string target;
    int result = WriteList(tabs ? album::SongListForm::kTabs : album::SongListForm::kColumns,
                           openEditor != 0, &target);
    if (path && size > 0) {
      std::string_view cut = album::CutText(target, static_cast<size_t>(size) - 1);
      std::memcpy(path, cut.data(), cut.size());
      path[cut.size()] = '\0';
    }
    return result;
  } catch (...) {
    return 0;
  }
}

void TONDO32_SetAlbumModeTo(int32_t mode) {
  Library& lib = Lib();
  if (!lib.db || mode == lib.db->GetAlbumMode() || mode < album::kLocalMode ||
      mode > album::kLastInternetMode)
    return;
  try {
    TONDO32_ClearReservedSong();
    ui::WaitCursor wait;
    lib.db->SetAlbumModeTo(mode, false);
  } catch (...) {
  }
}

int32_t TONDO32_GetAlbumMode(void) {
  return Lib().db ? Lib().db->GetAlbumMode() : 0;
}

int32_t TONDO32_IsAlbumModeINet(void) {
  return TONDO32_GetAlbumMode() == 1 ? 1 : 0;
}

void TONDO32_INetServerSettingDlg(void) {
  try {
    if (Lib().db)
      Lib().db->INetServerSettingDlg();
  } catch (...) {
  }
}

void TONDO32_SetINetServerUrl(const char* url) {
  if (Lib().db && url)
    Lib().db->SetINetServerUrl(url);
}

void TONDO32_INetDownLoadiThunk(void) {
  try {
    if (Lib().db) {
      ui::WaitCursor wait;
      Lib().db->INetDownLoadiThunk();
    }
  } catch (...) {
  }
}

int32_t Tondo32_INetUpdate(void) {
  try {
    if (!Lib().db)
      return 0;
    ui::WaitCursor wait;
    return Lib().db->INetUpdate();
  } catch (...) {
    return 0;
  }
}

int32_t TONDO32_DownLoadFile(const char* url, const char* file, uint32_t owner, int32_t option) {
  if (!url || !file)
    return 0;
  try {
    const std::string target = HostPath(file);
    if (target.empty())
      return 0;
    return RunDownloadDialog(url, target, owner, option, std::string(), std::string()) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

const int32_t* TONDO32_MakeUpdatedSubAlbumList(const char* thunk) {
  Library& lib = Lib();
  if (!lib.db || !thunk || lib.db->GetAlbumMode() != 3)
    return nullptr;
  try {
    return reinterpret_cast<const int32_t*>(lib.db->MakeUpdatedSubAlbumList(HostPath(thunk)));
  } catch (...) {
    return nullptr;
  }
}

int32_t TONDO32_UpdateMasterAlbum(void) {
  Library& lib = Lib();
  if (!lib.db || lib.db->GetAlbumMode() != 3)
    return 0;
  try {
    return lib.db->UpdateMasterAlbum();
  } catch (...) {
    return 0;
  }
}

int32_t TONDO32_DownLoadSongBySongNum(int32_t number) {
  Library& lib = Lib();
  if (!lib.db || lib.db->GetAlbumMode() != 2 || number <= 0)
    return 0;
  try {
    return lib.db->DownLoadSongBySongNum(static_cast<uint32_t>(number));
  } catch (...) {
    return 0;
  }
}

int32_t TONDO32_RemoveDownloadedSongBySongNum(int32_t number) {
  Library& lib = Lib();
  if (!lib.db || number <= 0 || lib.db->PrepareSingerIndex() == 0)
    return 0;
  return lib.db->RemoveDownloadedSongBySongNum(static_cast<uint32_t>(number));
}

} // extern "C"

namespace album {

void SetTondo32ManagerReserveNotice(ReserveNotice notice) {
  Lib().managerNotice = std::move(notice);
}

AlbumDatabase* Tondo32Database() {
  return Lib().db.get();
}

const res::Bundle* Tondo32Bundle() {
  return Lib().bundle ? &*Lib().bundle : nullptr;
}

} // namespace album
