// The download and server dialogs, scripted and without a display, against
// a small HTTP server of the test: a whole file ends the dialog with OK, a
// failed or cancelled transfer with Cancel and the old file as it was.
#include "album/inetdlg/downloaddlg.h"

#include "platform/net/tests/test_http_server.h"
#include "platform/sys/tests/scratch_folder.h"
#include "platform/ui/tests/support/screen_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using album::AlbDownloadDlg;
using album::AlbServerDlg;
using ui::DialogStep;
namespace fs = std::filesystem;

ui::DialogTemplate Template(int number) {
  std::ifstream in(std::string(VEXO_TEST_SOURCE_DIR) + "/../../../resources/rTondo32/dialogs/" +
                   std::to_string(number) + ".dlg");
  std::stringstream text;
  text << in.rdbuf();
  ui::DialogTemplateError error;
  std::optional<ui::DialogTemplate> t = ui::ParseDialogTemplate(text.str(), &error);
  EXPECT_TRUE(t) << error.line << ": " << error.message;
  return t ? *t : ui::DialogTemplate{};
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class DownloadDialog : public ::testing::Test {
protected:
  void SetUp() override {
    uitest::StartRuntime();
    std::ofstream(file_, std::ios::binary) << "old copy";
  }
  net::test::TestHttpServer server_;
  sys::test::ScratchFolder dir_;
  std::string file_ = dir_.Path() + "/song.vx3";
  std::shared_ptr<ui::ScriptedDialogs> script_ = std::make_shared<ui::ScriptedDialogs>();
};

TEST_F(DownloadDialog, WholeFileEndsItWithOk) {
  ui::ScopedDialogBackend scoped(script_);
  const std::string body(700000, 'v');
  server_.Route("/s/song.vx3", net::test::Ok(body));
  script_->Expect({DialogStep::WaitUntilEnded(60000)});
  AlbDownloadDlg dialog(Template(173), server_.Url("/s/song.vx3"), file_);
  dialog.SetOption(1);
  dialog.SetTexts("Fetching the song", "Arirang");
  int completed = 0;
  dialog.SetCompletion([&] { ++completed; });
  EXPECT_EQ(dialog.DoModal(), ui::IDOK);
  EXPECT_TRUE(dialog.Succeeded());
  EXPECT_EQ(completed, 1);
  EXPECT_EQ(Read(file_), body);
  EXPECT_EQ(Files(dir_.Path()), std::vector<std::string>{"song.vx3"});
  std::vector<ui::DialogRun> runs = script_->Runs();
  ASSERT_EQ(runs.size(), 1u);
  const ui::DialogState& shown = runs[0].states.front();
  EXPECT_EQ(shown.Text(AlbDownloadDlg::kItemStatus), "Fetching the song");
  EXPECT_EQ(shown.Text(AlbDownloadDlg::kItemUrl), server_.Url("/s/song.vx3"));
  EXPECT_EQ(shown.Text(AlbDownloadDlg::kItemTitle), "Arirang");
  EXPECT_TRUE(shown.Find(AlbDownloadDlg::kItemTitle)->visible);
  EXPECT_FALSE(shown.Find(AlbDownloadDlg::kItemFileName)->visible);
  EXPECT_EQ(runs[0].states.back().Find(AlbDownloadDlg::kItemProgress)->position, 100);
}

TEST_F(DownloadDialog, FailedTransferEndsItWithCancelAndTheOldFile) {
  ui::ScopedDialogBackend scoped(script_);
  server_.Route("/cut", {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close",
                         std::string(10, 'x')});
  for (const char* path : {"/missing", "/cut"}) {
    script_->Expect({DialogStep::WaitUntilEnded(60000)});
    AlbDownloadDlg dialog(Template(173), server_.Url(path), file_);
    int completed = 0;
    dialog.SetCompletion([&] { ++completed; });
    EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL) << path;
    EXPECT_FALSE(dialog.Succeeded());
    EXPECT_EQ(completed, 0);
    EXPECT_EQ(Read(file_), "old copy");
    EXPECT_EQ(Files(dir_.Path()), std::vector<std::string>{"song.vx3"});
  }
}

TEST_F(DownloadDialog, EscapeStopsASlowBody) {
  ui::ScopedDialogBackend scoped(script_);
  server_.Route("/slow", {"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close",
                          "first bytes", true});
  // Enter stands for OK, which only a whole file may give; the bounded wait
  // runs out as the body stalls; then Escape.
  script_->Expect({DialogStep::PressEnter(), DialogStep::WaitUntilEnded(200),
                   DialogStep::PressEscape()});
  AlbDownloadDlg dialog(Template(173), server_.Url("/slow"), file_);
  EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL);
  EXPECT_EQ(dialog.Status().result, net::FetchResult::kCancelled);
  std::vector<ui::DialogRun> runs = script_->Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].accepted, (std::vector<bool>{true, false, true}));
  EXPECT_FALSE(runs[0].cancelledAtEnd);
  EXPECT_EQ(Read(file_), "old copy");
  EXPECT_EQ(Files(dir_.Path()), std::vector<std::string>{"song.vx3"});
}

TEST_F(DownloadDialog, WithoutADisplayItRunsToTheEnd) {
  ui::ScopedDialogBackend scoped(std::make_shared<ui::HeadlessDialogs>());
  server_.Route("/s", net::test::Ok("a whole song"));
  AlbDownloadDlg dialog(Template(173), server_.Url("/s"), file_);
  EXPECT_EQ(dialog.DoModal(), ui::IDOK);
  EXPECT_EQ(Read(file_), "a whole song");
}

TEST_F(DownloadDialog, ServerDialogGivesTheTypedUrl) {
  ui::ScopedDialogBackend scoped(script_);
  script_->Expect({DialogStep::TypeInto(AlbServerDlg::kItemUrl, "songs.example:8080/vx"),
                   DialogStep::PressEnter()});
  AlbServerDlg dialog(Template(172), "http://old");
  EXPECT_EQ(dialog.Run(), std::optional<std::string>("songs.example:8080/vx"));
  EXPECT_EQ(script_->Runs().at(0).states.front().Text(AlbServerDlg::kItemUrl), "http://old");
  script_->Expect({DialogStep::PressEscape()});
  AlbServerDlg cancelled(Template(172), "http://old");
  EXPECT_EQ(cancelled.Run(), std::nullopt);
}

} // namespace
