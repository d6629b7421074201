// The album manager's search dialog: the search text (at most 100 bytes),
// the kind command of what it is matched against (1100 singer, 1101 title,
// 1102 text) and the narrow search over the tree's current item, which can
// be chosen only when that item is a leaf.
#pragma once

#include "platform/ui/dialog/dialog.h"

#include <cstdint>
#include <string>

namespace album {

inline constexpr int kSearchTemplate = 160;
inline constexpr size_t kSearchTextMax = 100;

struct SearchSettings {
  std::string text; // code-page bytes
  uint16_t kind = 1101;
  bool narrow = false;
};

class AlbSearchDlg : public ui::Dialog {
public:
  static constexpr int32_t kText = 1001, kNarrow = 1005;

  AlbSearchDlg(ui::DialogTemplate dialogTemplate, SearchSettings& settings, bool narrowAllowed,
               int codePage = sys::kDefaultCodePage);

protected:
  bool OnInitDialog() override;
  // An empty text ends with 0; otherwise the settings take the dialog's
  // and it ends with 1.
  void OnOK() override;
  // Ends with 0.
  void OnCancel() override;

private:
  SearchSettings& settings_;
  bool narrowAllowed_;
};

} // namespace album
