// The wave bank dialog of the song editor (template 143 of rTamblo): the
// song's 256 wave slots in a list, filled from RIFF WAVE files, named,
// played, stopped and emptied. A slot is never emptied or refilled while it
// sounds: the wave stops first.
#pragma once

#include "core/songdata.h"
#include "platform/res/bundle.h"
#include "platform/ui/dialog/dialog.h"

#include <optional>
#include <string>

namespace core {

inline constexpr int kWaveBankTemplate = 143;
inline constexpr uint32_t kWaveFileFilterString = 4;
inline constexpr int32_t kWaveSlotList = 1011, kWaveNameEdit = 1041, kWaveFormatText = 1042;
inline constexpr int32_t kWaveLoadButton = 1019, kWavePlayButton = 1055, kWaveStopButton = 1018,
                         kWaveDeleteButton = 1020;

class CWaveBankDlg : public ui::Dialog {
public:
  CWaveBankDlg(ui::DialogTemplate dialogTemplate, CSongData& song, std::string fileFilter);

  // Template 143 of bundle; nullopt with the reason when it is missing or
  // does not read.
  static std::optional<ui::DialogTemplate> LoadTemplate(const res::Bundle& bundle,
                                                        std::string* error);

protected:
  bool OnInitDialog() override;
  bool OnCommand(uint16_t id, uint16_t code, win::Hwnd control) override;

private:
  int Selected() const;
  void Load();
  void Play();
  void Delete();
  void ShowSlot();
  void NameEdited();
  void RefreshRow(int slot);

  CSongData& song_;
  std::string fileFilter_;
  bool showing_ = false; // the dialog itself is setting the name box
};

// The folder of the last wave file loaded, process-wide.
std::string& WaveBankFolder();

// Runs the dialog on song with the player core's resources; -1 when they
// or the template are missing.
int RunWaveBankDialog(CSongData& song, win::Hwnd owner = 0);

} // namespace core
