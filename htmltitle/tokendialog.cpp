#include "htmltitle/tokendialog.h"

#include "htmltitle/marquell.h"
#include "htmltitle/tokenlist.h"
#include "htmltitle/tokenlistview.h"
#include "platform/res/bundle.h"
#include "platform/sys/log.h"
#include "platform/ui/dialog/dialog.h"

#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace htmltitle {
namespace {

std::mutex resourceMutex;
std::optional<res::Bundle> chosenBundle; // set by the caller
std::optional<res::Bundle> loadedBundle; // the default, once loaded
int shownCodePage = sys::kDefaultCodePage;

constexpr int kFields[] = {
    TokenListView::kTokenKind,         TokenListView::kTokenText,
    TokenListView::kTokenIdentity,     TokenListView::kTokenLength,
    TokenListView::kNextTokenIdentity, TokenListView::kAttrKind,
    TokenListView::kAttrValue,         TokenListView::kAttrIdentity,
    TokenListView::kAttrLength,        TokenListView::kNextAttrIdentity,
};

void Complain(const std::string& why) {
  sys::Warn("htmltitle", "View Token List: %s", why.c_str());
}

std::optional<ui::DialogTemplate> LoadTemplate(int* codePage) {
  std::optional<std::vector<uint8_t>> bytes;
  std::string bundleName;
  {
    std::lock_guard lock(resourceMutex);
    *codePage = shownCodePage;
    if (!chosenBundle && !loadedBundle) {
      std::string error;
      loadedBundle = res::Bundle::Load(kTokenDialogBundle, "", &error);
      if (!loadedBundle) {
        Complain(error.empty() ? std::string(kTokenDialogBundle) + " cannot be loaded" : error);
        return std::nullopt;
      }
    }
    const res::Bundle& bundle = chosenBundle ? *chosenBundle : *loadedBundle;
    bundleName = bundle.Name();
    bytes = bundle.File(kTokenDialogTemplate);
  }
  if (!bytes) {
    Complain(bundleName + " has no " + kTokenDialogTemplate);
    return std::nullopt;
  }
  ui::DialogTemplateError error;
  auto t = ui::ParseDialogTemplate(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), &error);
  if (!t)
    Complain(bundleName + " " + kTokenDialogTemplate + " line " + std::to_string(error.line) +
             ": " + error.message);
  return t;
}

class TokenListDialog : public ui::Dialog {
public:
  TokenListDialog(ui::DialogTemplate t, int codePage, const HtmlTokenNode* first)
      : Dialog(std::move(t), codePage), view_(first) {}

protected:
  bool OnInitDialog() override {
    ShowFields();
    return true;
  }

  bool OnCommand(uint16_t id, uint16_t code, ui::Hwnd control) override {
    if (code == ui::BN_CLICKED) {
      switch (id) {
      case kNextToken:
        view_.NextToken();
        ShowFields();
        return true;
      case kPreviousToken:
        view_.PreviousToken();
        ShowFields();
        return true;
      case kNextAttribute:
        view_.NextAttribute();
        ShowFields();
        return true;
      case kPreviousAttribute:
        view_.PreviousAttribute();
        ShowFields();
        return true;
      default:
        break;
      }
    }
    return Dialog::OnCommand(id, code, control);
  }

private:
  // The fields hold code-page bytes of the page.
  void ShowFields() {
    for (int id : kFields)
      ui::SetDlgItemText(GetHwnd(), id, view_.FieldText(id));
  }

  TokenListView view_;
};

} // namespace

void SetTokenDialogBundle(const res::Bundle* bundle) {
  std::lock_guard lock(resourceMutex);
  if (bundle)
    chosenBundle = *bundle;
  else
    chosenBundle.reset();
}

void SetTokenDialogCodePage(int codePage) {
  std::lock_guard lock(resourceMutex);
  shownCodePage = codePage;
}

int RunTokenDialog(const HtmlTokenNode* first, uint32_t parent) {
  if (first == nullptr)
    return 0;
  int codePage = sys::kDefaultCodePage;
  auto t = LoadTemplate(&codePage);
  if (!t)
    return -1;
  TokenListDialog dialog(std::move(*t), codePage, first);
  int result = dialog.DoModal(parent);
  if (result == -1)
    Complain("the dialog could not be made");
  return result;
}

} // namespace htmltitle

extern "C" void RunHTMLTokenTestDlg(uint32_t parent) {
  try {
    htmltitle::HtmlTokenList* result = htmltitle::CurrentResult();
    if (result != nullptr && result->First() != nullptr)
      htmltitle::RunTokenDialog(result->First(), parent);
  } catch (const std::exception& e) {
    htmltitle::Complain(e.what());
  } catch (...) {
  }
}
