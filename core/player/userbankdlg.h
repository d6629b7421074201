// The user sound bank dialog of the song editor (template 141 of rTamblo):
// the song's 127 bank slots, filled from SoundFont files (embedded in the
// song or kept by name), emptied and written out, and the base bank the
// sound card takes for the song. The dialog works on a copy; OK gives it to
// the song and loads the song's banks into the card again.
#pragma once

#include "core/player/bankmanager.h"
#include "core/songdata.h"
#include "platform/res/bundle.h"
#include "platform/ui/dialog/dialog.h"

#include <array>
#include <optional>
#include <string>

namespace core {

inline constexpr int kUserBankTemplate = 141;
inline constexpr uint32_t kBankFileFilterString = 16;
inline constexpr uint32_t kEmbedQuestionString = 11924, kEmbedCaptionString = 11925;
inline constexpr uint32_t kTemporaryBankString = 11926, kEmbeddedBankString = 11927;
inline constexpr int32_t kBankSlotList = 1008, kBaseBankList = 1009;
inline constexpr int32_t kBankLoadButton = 1010, kBankRemoveButton = 1011, kBankSaveButton = 1012;

// The texts the dialog shows, in UTF-8, from the player core's bundle.
struct UserBankTexts {
  std::string fileFilter;
  std::string embedQuestion, embedCaption;
  std::string temporaryRow, embeddedRow;
  static UserBankTexts From(const res::Bundle& bundle);
};

// A row of the slot list: "005 : bank.sf2", the embedded rows' texts for
// data that only the song holds, nothing after the colon for an empty slot.
std::string UserBankRow(int slot, const BankSlot& s, const UserBankTexts& texts);

class CUserBankDlg : public ui::Dialog {
public:
  CUserBankDlg(ui::DialogTemplate dialogTemplate, CSongData& song, BankManager& card,
               UserBankTexts texts);

protected:
  bool OnInitDialog() override;
  bool OnCommand(uint16_t id, uint16_t code, win::Hwnd control) override;
  void OnOK() override;

private:
  int Selected() const;
  void Load();
  void Remove();
  void Save();
  void RefreshRow(int slot);

  CSongData& song_;
  BankManager& card_;
  UserBankTexts texts_;
  std::array<BankSlot, kBankSlots> slots_;
};

// The folder of the last bank file chosen, process-wide.
std::string& UserBankFolder();

// Runs the dialog on song with the player core's resources and bank
// manager; -1 when the resources or the template are missing.
int RunUserBankDialog(CSongData& song, win::Hwnd owner = 0);

} // namespace core
