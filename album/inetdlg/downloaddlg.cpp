#include "album/inetdlg/downloaddlg.h"

#include "platform/sys/log.h"
#include "platform/ui/controls/progress.h"
#include "platform/win/dispatch.h"

#include <cstdio>

namespace album {

namespace {

constexpr uint32_t kProgressMessage = win::WM_APP + 0x173;
constexpr uint32_t kDoneMessage = win::WM_APP + 0x174;

std::string Bytes(uint64_t n) {
  char text[64];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(n));
  return text;
}

} // namespace

AlbDownloadDlg::AlbDownloadDlg(ui::DialogTemplate dialogTemplate, std::string url,
                               std::string file, int codePage)
    : Dialog(std::move(dialogTemplate), codePage), url_(std::move(url)), file_(std::move(file)),
      fetch_([](const std::string& url, const std::string& file,
                const net::FetchProgress& progress, const std::atomic<bool>* cancel) {
        return net::Fetch(url, file, progress, cancel);
      }) {
  status_.result = net::FetchResult::kCancelled;
}

AlbDownloadDlg::~AlbDownloadDlg() {
  Stop();
}

void AlbDownloadDlg::SetTexts(std::string status, std::string title) {
  status_text_ = std::move(status);
  title_ = std::move(title);
}

bool AlbDownloadDlg::OnInitDialog() {
  const ui::Hwnd self = GetHwnd();
  success_ = false;
  if (!status_text_.empty())
    ui::SetDlgItemText(self, kItemStatus, status_text_);
  if (!title_.empty())
    ui::SetDlgItemText(self, kItemTitle, title_);
  if (option_) {
    if (ui::Control* c = Item(kItemFileName))
      c->Show(false);
    if (ui::Control* c = Item(kItemTitle))
      c->Show(true);
  }
  const size_t slash = file_.rfind('/');
  ui::SetDlgItemTextUtf8(self, kItemFileName, file_.substr(slash == std::string::npos ? 0 : slash + 1));
  ui::SetDlgItemTextUtf8(self, kItemUrl, url_);
  ui::SendDlgItemMessage(self, kItemProgress, ui::PBM_SETRANGE32, 0, 100);
  // The transfer runs beside the dialog; it only posts what it has done.
  worker_ = std::thread([this, self] {
    int lastPercent = -1;
    uint64_t lastBytes = 0;
    result_ = fetch_(url_, file_,
                     [&](uint64_t done, uint64_t total) {
                       const int percent = total ? static_cast<int>(done * 100 / total) : 0;
                       if (percent == lastPercent && done - lastBytes < (1u << 20))
                         return;
                       lastPercent = percent;
                       lastBytes = done;
                       win::PostMessage(self, kProgressMessage, static_cast<ui::WParam>(percent),
                                        static_cast<ui::LParam>(done >> 10));
                     },
                     &cancel_);
    win::PostMessage(self, kDoneMessage);
  });
  return true;
}

std::optional<ui::LResult> AlbDownloadDlg::OnMessage(uint32_t message, ui::WParam wParam,
                                                     ui::LParam lParam) {
  if (message == kProgressMessage) {
    ui::SendDlgItemMessage(GetHwnd(), kItemProgress, ui::PBM_SETPOS, wParam);
    ui::SetDlgItemText(GetHwnd(), kItemBytes, Bytes(static_cast<uint64_t>(lParam)) + " KB");
    return 0;
  }
  if (message == kDoneMessage) {
    if (worker_.joinable())
      worker_.join();
    status_ = result_;
    success_ = status_.ok();
    if (success_) {
      ui::SendDlgItemMessage(GetHwnd(), kItemProgress, ui::PBM_SETPOS, 100);
      ui::SetDlgItemText(GetHwnd(), kItemBytes, Bytes(status_.bytes) + " bytes");
    } else if (status_.result != net::FetchResult::kCancelled) {
      sys::Warn("album", "%s: %s%s%s", url_.c_str(), net::FetchResultText(status_.result),
                status_.message.empty() ? "" : ": ", status_.message.c_str());
    }
    Finish(success_ ? ui::IDOK : ui::IDCANCEL);
    return 0;
  }
  return Dialog::OnMessage(message, wParam, lParam);
}

void AlbDownloadDlg::OnOK() {
  // OK stands for a whole file only.
  if (success_)
    Finish(ui::IDOK);
}

void AlbDownloadDlg::OnCancel() {
  Stop();
  Finish(success_ ? ui::IDOK : ui::IDCANCEL);
}

void AlbDownloadDlg::Stop() {
  cancel_ = true;
  if (worker_.joinable()) {
    worker_.join();
    status_ = result_;
    success_ = status_.ok();
  }
}

void AlbDownloadDlg::Finish(int result) {
  if (Ended())
    return;
  EndDialog(result);
  if (result == ui::IDOK && completion_)
    completion_();
}

AlbServerDlg::AlbServerDlg(ui::DialogTemplate dialogTemplate, std::string current, int codePage)
    : Dialog(std::move(dialogTemplate), codePage), current_(std::move(current)) {}

std::optional<std::string> AlbServerDlg::Run(ui::Hwnd owner) {
  typed_.reset();
  if (DoModal(owner) != ui::IDOK)
    return std::nullopt;
  return typed_;
}

bool AlbServerDlg::OnInitDialog() {
  ui::SetDlgItemText(GetHwnd(), kItemUrl, current_);
  return true;
}

void AlbServerDlg::OnOK() {
  typed_ = ui::GetDlgItemText(GetHwnd(), kItemUrl);
  EndDialog(ui::IDOK);
}

} // namespace album
