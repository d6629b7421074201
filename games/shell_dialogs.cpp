#include "games/shell_dialogs.h"

#include "games/help_text.h"
#include "platform/res/dialog_resource.h"
#include "platform/sys/log.h"
#include "platform/ui/dialog/data_exchange.h"
#include "platform/ui/window/screen.h"

namespace games {
namespace {

std::optional<ui::DialogTemplate> Template(const GameContext& game, uint32_t id) {
  std::string error;
  auto t = res::LoadDialogTemplate(game.bundle, static_cast<int>(id), &error);
  if (!t)
    sys::Warn("games", "%s", error.c_str());
  return t;
}

} // namespace

int GameContext::Box(uint32_t id, uint32_t flags, uint32_t owner) const {
  return ui::MessageBox(String(id), String(traits.captionString), flags, owner);
}

CHelpTextDlg::CHelpTextDlg(const GameContext& game, ui::DialogTemplate t)
    : ui::Dialog(std::move(t)), game_(game) {}

bool CHelpTextDlg::OnInitDialog() {
  ui::CheckDlgButton(GetHwnd(), kHelpCheck, game_.settings.ViewHelp() ? 1 : 0);
  const std::optional<std::string> bytes = ReadHelpFile(game_.HelpPath());
  if (!bytes)
    game_.Box(game_.traits.helpMissingString, ui::MB_OK | ui::MB_ICONINFORMATION, GetHwnd());
  else
    ui::SetDlgItemTextUtf8(GetHwnd(), kHelpEdit, HelpEditText(*bytes));
  return true;
}

std::optional<ui::LResult> CHelpTextDlg::OnMessage(uint32_t message, ui::WParam wParam,
                                                   ui::LParam lParam) {
  if (message == win::WM_SHOWWINDOW && wParam)
    ui::SetWindowPos(GetHwnd(), ui::HWND_TOPMOST, 0, 0, 0, 0, ui::SWP_NOMOVE | ui::SWP_NOSIZE);
  return ui::Dialog::OnMessage(message, wParam, lParam);
}

void CHelpTextDlg::OnOK() {
  viewHelp_ = ui::IsDlgButtonChecked(GetHwnd(), kHelpCheck) != 0;
  EndDialog(ui::IDOK);
}

CCutLineDlg::CCutLineDlg(const GameContext& game, ui::DialogTemplate t)
    : ui::Dialog(std::move(t)), game_(game) {}

bool CCutLineDlg::OnInitDialog() {
  ui::SetDlgItemInt(GetHwnd(), kCutLineEdit, static_cast<uint32_t>(game_.settings.ShownCutLine()),
                    true);
  if (&game_.traits == &kDurm12) {
    ScoreTable table = ReadScoreTable(game_.settings.Path());
    SortScoreTable(table);
    for (int i = 0; i < kScorePlaces; ++i) {
      ui::SetDlgItemText(GetHwnd(), kScoreNameStatics[i], table[i].name);
      if (table[i].score > 0)
        ui::SetDlgItemInt(GetHwnd(), kScoreStatics[i], static_cast<uint32_t>(table[i].score),
                          false);
    }
  }
  return true;
}

void CCutLineDlg::OnOK() {
  const std::optional<int32_t> value =
      ui::ExchangeIntInRange(*this, kCutLineEdit, 0, 100, game_.String(game_.traits.captionString));
  if (!value)
    return;
  if (!game_.settings.SetCutLine(*value))
    sys::Warn("games", "cannot write %s", game_.settings.Path().c_str());
  EndDialog(ui::IDOK);
}

int RunHelpDialog(const GameContext& game, ui::Hwnd owner) {
  auto t = Template(game, kHelpDialog);
  if (!t)
    return -1;
  CHelpTextDlg dialog(game, std::move(*t));
  const int result = dialog.DoModal(owner);
  if (result != 0 && result != -1)
    game.settings.SetViewHelp(dialog.ViewHelp());
  return result;
}

void HelpAtStart(const GameContext& game, ui::Hwnd owner) {
  if (game.settings.ViewHelp())
    RunHelpDialog(game, owner);
}

int RunCutLineDialog(const GameContext& game, ui::Hwnd owner) {
  auto t = Template(game, game.traits.cutLineDialog);
  if (!t)
    return -1;
  CCutLineDlg dialog(game, std::move(*t));
  return dialog.DoModal(owner);
}

int RunAboutBox(const GameContext& game, ui::Hwnd owner) {
  auto t = Template(game, kAboutDialog);
  if (!t)
    return -1;
  CAboutBox dialog(std::move(*t));
  return dialog.DoModal(owner);
}

} // namespace games
