// The dialogs both games share: the help text, the cut line (Durm12's with
// its top-5 table) and the about box, from the game's bundle.
#pragma once

#include "games/game_context.h"
#include "platform/ui/dialog/dialog.h"

#include <optional>

namespace games {

inline constexpr int32_t kHelpEdit = 1003;
inline constexpr int32_t kHelpCheck = 1004;
inline constexpr int32_t kCutLineEdit = 1020;
inline constexpr int32_t kScoreNameStatics[kScorePlaces] = {1010, 1011, 1012, 1013, 1014};
inline constexpr int32_t kScoreStatics[kScorePlaces] = {1000, 1006, 1007, 1008, 1009};

// The help file in a read-only edit, and whether it shows at start.
class CHelpTextDlg : public ui::Dialog {
public:
  CHelpTextDlg(const GameContext& game, ui::DialogTemplate t);
  // The check box as the dialog ended (on at first).
  bool ViewHelp() const { return viewHelp_; }

protected:
  bool OnInitDialog() override;
  std::optional<ui::LResult> OnMessage(uint32_t message, ui::WParam wParam,
                                       ui::LParam lParam) override;
  void OnOK() override;

private:
  const GameContext& game_;
  bool viewHelp_ = true;
};

// The cut line, 0 to 100; Durm12's shows the top-5 table too.
class CCutLineDlg : public ui::Dialog {
public:
  CCutLineDlg(const GameContext& game, ui::DialogTemplate t);

protected:
  bool OnInitDialog() override;
  void OnOK() override;

private:
  const GameContext& game_;
};

class CAboutBox : public ui::Dialog {
public:
  explicit CAboutBox(ui::DialogTemplate t) : ui::Dialog(std::move(t)) {}
};

// Shows the help dialog and, when it ends, writes "View Help" back from its
// check box. Returns the dialog's result (-1 when it could not be made).
int RunHelpDialog(const GameContext& game, ui::Hwnd owner);
// The help-at-start step: the help dialog when "View Help" is "TRUE".
void HelpAtStart(const GameContext& game, ui::Hwnd owner);
int RunCutLineDialog(const GameContext& game, ui::Hwnd owner);
int RunAboutBox(const GameContext& game, ui::Hwnd owner);

} // namespace games
