// The song album's download dialog (template 173): fetches one URL into a
// local file on a worker thread while the dialog runs, shows how far it has
// come, and ends itself with OK once the whole file is there. Cancel, Escape
// and the close box stop the transfer (within the fetch's 50 ms look at its
// cancel flag) and end the dialog with Cancel, unless the file was already
// complete. A transfer that fails ends the dialog with Cancel, the target
// file as it was. Without a display it runs the same way, its texts and
// bar on standard error.
#pragma once

#include "platform/net/fetch.h"
#include "platform/ui/dialog/dialog.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace album {

class AlbDownloadDlg : public ui::Dialog {
public:
  static constexpr int kTemplate = 173;
  static constexpr int32_t kItemStatus = 1012, kItemFileName = 1011, kItemTitle = 1013;
  static constexpr int32_t kItemUrl = 1008, kItemProgress = 1007, kItemBytes = 1009;

  // How the file is fetched (net::Fetch when not given).
  using Fetcher = std::function<net::FetchStatus(const std::string& url, const std::string& file,
                                                 const net::FetchProgress& progress,
                                                 const std::atomic<bool>* cancel)>;

  AlbDownloadDlg(ui::DialogTemplate dialogTemplate, std::string url, std::string file,
                 int codePage = sys::kDefaultCodePage);
  ~AlbDownloadDlg() override;

  void SetFetcher(Fetcher fetch) { fetch_ = std::move(fetch); }
  // Set: the title text (1013) is shown in place of the file's name (1011).
  void SetOption(int option) { option_ = option; }
  // Code-page texts of 1012 and 1013; empty keeps the template's.
  void SetTexts(std::string status, std::string title);
  // Called once the dialog has ended with a whole file.
  void SetCompletion(std::function<void()> done) { completion_ = std::move(done); }

  // The whole file is at its place.
  bool Succeeded() const { return success_; }
  // How the transfer ended (kCancelled while it has not).
  const net::FetchStatus& Status() const { return status_; }

  bool EndsItself() const override { return true; }

protected:
  bool OnInitDialog() override;
  std::optional<ui::LResult> OnMessage(uint32_t message, ui::WParam wParam,
                                       ui::LParam lParam) override;
  void OnOK() override;
  void OnCancel() override;

private:
  void Stop();
  void Finish(int result);

  std::string url_, file_;
  std::string status_text_, title_;
  int option_ = 0;
  Fetcher fetch_;
  std::function<void()> completion_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  net::FetchStatus result_; // written by the worker before it posts its end
  net::FetchStatus status_;
  bool success_ = false;
};

// The server dialog (template 172): the server URL in edit 1004. OK gives
// the text typed, nullopt for Cancel.
class AlbServerDlg : public ui::Dialog {
public:
  static constexpr int kTemplate = 172;
  static constexpr int32_t kItemUrl = 1004;

  AlbServerDlg(ui::DialogTemplate dialogTemplate, std::string current,
               int codePage = sys::kDefaultCodePage);
  std::optional<std::string> Run(ui::Hwnd owner = 0);

protected:
  bool OnInitDialog() override;
  void OnOK() override;

private:
  std::string current_;
  std::optional<std::string> typed_;
};

} // namespace album
