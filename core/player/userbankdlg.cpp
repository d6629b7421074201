#include "core/player/userbankdlg.h"

#include "core/player/tambloapp.h"
#include "platform/res/dialog_resource.h"
#include "platform/sys/codepage.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"

#include <cstdio>
#include <fstream>

namespace core {
namespace {

constexpr const char* kBaseBankRows[] = {"-- Default --", "General MIDI", "GS", "MT-32"};

std::string FileName(std::string_view path) {
  const size_t sep = path.find_last_of("\\/");
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string Folder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

UserBankTexts UserBankTexts::From(const res::Bundle& bundle) {
  UserBankTexts t;
  t.fileFilter = bundle.String(kBankFileFilterString).value_or("");
  t.embedQuestion = bundle.String(kEmbedQuestionString).value_or("");
  t.embedCaption = bundle.String(kEmbedCaptionString).value_or("");
  t.temporaryRow = bundle.String(kTemporaryBankString).value_or("");
  t.embeddedRow = bundle.String(kEmbeddedBankString).value_or("");
  return t;
}

std::string UserBankRow(int slot, const BankSlot& s, const UserBankTexts& texts) {
  char number[16];
  std::snprintf(number, sizeof number, "%03i : ", slot);
  std::string row = number;
  if (!(s.flags & kBankSlotUsed))
    return row;
  if (s.flags & kBankSlotTempFile)
    return row + texts.temporaryRow;
  if (!(s.flags & kBankSlotOwnFile))
    return row + texts.embeddedRow;
  return row + sys::ToUtf8(FileName(s.path));
}

CUserBankDlg::CUserBankDlg(ui::DialogTemplate dialogTemplate, CSongData& song, BankManager& card,
                           UserBankTexts texts)
    : ui::Dialog(std::move(dialogTemplate)), song_(song), card_(card), texts_(std::move(texts)),
      slots_(song.bankSlots) {}

bool CUserBankDlg::OnInitDialog() {
  if (auto* list = Item<ui::ListBox>(kBankSlotList)) {
    for (int slot = 1; slot < kBankSlots; ++slot)
      list->AddString(UserBankRow(slot, slots_[slot], texts_));
    list->SetSelection(0);
  }
  if (auto* bases = Item<ui::ListBox>(kBaseBankList)) {
    for (const char* row : kBaseBankRows)
      bases->AddString(row);
    const int base = song_.bankNumber == 0 ? -1 : song_.bankNumber == 255 ? 0 : song_.bankNumber;
    bases->SetSelection(base >= -1 && base <= 2 ? base + 1 : 0);
  }
  return true;
}

bool CUserBankDlg::OnCommand(uint16_t id, uint16_t code, win::Hwnd control) {
  switch (id) {
  case kBankSlotList:
    if (code == ui::LBN_DBLCLK)
      Load();
    return true;
  case kBankLoadButton:
    Load();
    return true;
  case kBankRemoveButton:
    Remove();
    return true;
  case kBankSaveButton:
    Save();
    return true;
  default:
    return ui::Dialog::OnCommand(id, code, control);
  }
}

int CUserBankDlg::Selected() const {
  auto* list = Item<ui::ListBox>(kBankSlotList);
  const int row = list ? list->Selection() : -1;
  return row >= 0 && row < kBankSlots - 1 ? row + 1 : -1;
}

void CUserBankDlg::Load() {
  const int slot = Selected();
  if (slot < 0)
    return;
  ui::OpenFileRequest request;
  request.filter = texts_.fileFilter;
  request.initialFolder = UserBankFolder();
  request.owner = GetHwnd();
  const std::optional<std::string> path = ui::GetOpenFileName(request);
  if (!path || path->empty())
    return;
  UserBankFolder() = Folder(*path);
  // Paths are kept in the song's code page, as the song file stores them.
  const std::optional<std::string> stored = sys::FromUtf8(*path);
  if (!stored || stored->size() > kMaxPathBytes)
    return;
  const int answer = ui::MessageBox(texts_.embedQuestion, texts_.embedCaption,
                                    ui::MB_YESNO | ui::MB_ICONQUESTION, GetHwnd());
  BankSlot& s = slots_[slot];
  s.path = *stored;
  s.data.clear();
  s.flags = kBankSlotUsed | kBankSlotOwnFile;
  if (answer != ui::IDYES)
    s.flags |= kBankSlotNameOnly;
  RefreshRow(slot);
}

void CUserBankDlg::Remove() {
  const int slot = Selected();
  if (slot < 0)
    return;
  slots_[slot] = BankSlot{};
  RefreshRow(slot);
}

void CUserBankDlg::Save() {
  const int slot = Selected();
  if (slot < 0 || !(slots_[slot].flags & kBankSlotUsed))
    return;
  const std::optional<std::vector<uint8_t>> bytes = BankSlotBytes(slots_[slot], song_.path);
  if (!bytes)
    return;
  ui::OpenFileRequest request;
  request.save = true;
  request.filter = texts_.fileFilter;
  request.filterIndex = 1;
  request.initialFolder = UserBankFolder();
  request.fileName = (slots_[slot].flags & kBankSlotOwnFile) ? FileName(slots_[slot].path) : "";
  request.title = texts_.embedCaption;
  request.owner = GetHwnd();
  const std::optional<ui::FileChoice> choice = ui::GetSaveFileName(request);
  if (!choice || choice->path.empty())
    return;
  UserBankFolder() = Folder(choice->path);
  std::ofstream out(choice->path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
}

void CUserBankDlg::OnOK() {
  song_.bankSlots = slots_;
  int used = 0;
  for (int slot = 1; slot < kBankSlots; ++slot)
    used += (slots_[slot].flags & kBankSlotUsed) != 0;
  song_.bankSlotCount = static_cast<uint8_t>(used);
  const auto* bases = Item<ui::ListBox>(kBaseBankList);
  const int row = bases ? bases->Selection() : 0;
  song_.bankNumber = row <= 0 ? 0 : row == 1 ? 255 : static_cast<uint8_t>(row - 1);
  song_.unchanged = 0;
  // The card gives back what the song had and takes it anew.
  card_.ReleaseSongBanks();
  card_.LoadSongBanks(song_);
  EndDialog(ui::IDOK);
}

void CUserBankDlg::RefreshRow(int slot) {
  auto* list = Item<ui::ListBox>(kBankSlotList);
  if (!list)
    return;
  list->DeleteString(slot - 1);
  list->InsertString(slot - 1, UserBankRow(slot, slots_[slot], texts_));
  list->SetSelection(slot - 1);
}

std::string& UserBankFolder() {
  static std::string* folder = new std::string;
  return *folder;
}

int RunUserBankDialog(CSongData& song, win::Hwnd owner) {
  const res::Bundle* bundle = TheApp().Resources();
  if (!bundle) {
    std::fprintf(stderr, "User Sound Bank: the player core's resources are not loaded\n");
    return -1;
  }
  std::string error;
  auto t = res::LoadDialogTemplate(*bundle, kUserBankTemplate, &error);
  if (!t) {
    std::fprintf(stderr, "User Sound Bank: %s\n", error.c_str());
    return -1;
  }
  CUserBankDlg dialog(std::move(*t), song, TheApp().Bank(), UserBankTexts::From(*bundle));
  return dialog.DoModal(owner);
}

} // namespace core
