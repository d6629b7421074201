// The token-list test dialog, driven by a script: what it shows of the
// current parse result and how its buttons move through it.
#include "htmltitle/marquell.h"
#include "htmltitle/tokendialog.h"
#include "htmltitle/tokenlist.h"
#include "platform/res/bundle.h"
#include "platform/ui/dialog/dialog.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace htmltitle {
namespace {

using ui::DialogStep;

std::string Hex(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%08lx",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
  return text;
}

// Windows need a runtime folder of their own for the session.
void StartRuntime() {
  static const bool ready = [] {
    char pattern[] = "/tmp/vexo-html-XXXXXX";
    if (char* dir = mkdtemp(pattern)) {
      static std::string path = dir;
      setenv("VEXO_RUNTIME_DIR", path.c_str(), 1);
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
      });
    }
    return true;
  }();
  (void)ready;
}

class TokenDialog : public ::testing::Test {
protected:
  void SetUp() override {
    StartRuntime();
    bundle_ = res::Bundle::Load(kTokenDialogBundle, VEXO_BIN_DIR);
    ASSERT_TRUE(bundle_) << "rKivo32.rcc in " << VEXO_BIN_DIR;
    SetTokenDialogBundle(&*bundle_);
  }
  void TearDown() override {
    QuillmarkToNULL();
    SetTokenDialogBundle(nullptr);
    SetTokenDialogCodePage(sys::kDefaultCodePage);
  }

  std::shared_ptr<ui::ScriptedDialogs> script_ = std::make_shared<ui::ScriptedDialogs>();
  ui::ScopedDialogBackend scoped_{script_};
  std::optional<res::Bundle> bundle_;
};

TEST_F(TokenDialog, OpensOnTheFirstTokenAndItsFirstAttribute) {
  char page[] = "<FONT COLOR=red SIZE=\"20\">x<HR NOSHADE><B>y";
  ASSERT_EQ(HTMLParsing(page), 1);
  const HtmlTokenNode* font = CurrentResult()->First();
  RunHTMLTokenTestDlg(0);

  auto runs = script_->Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].caption, "View Token List");
  EXPECT_TRUE(runs[0].modal);
  const ui::DialogState& shown = runs[0].states.at(0);
  EXPECT_EQ(shown.Text(1006), "FONT");
  EXPECT_EQ(shown.Text(1004), "x");
  EXPECT_EQ(shown.Text(1009), "1");
  EXPECT_EQ(shown.Text(1007), Hex(font));
  EXPECT_EQ(shown.Text(1013), Hex(font->next.get()));
  EXPECT_EQ(shown.Text(1015), "COLOR");
  EXPECT_EQ(shown.Text(1014), "red");
  EXPECT_EQ(shown.Text(1017), "3");
  EXPECT_EQ(shown.Text(1016), Hex(font->attributes.get()));
  EXPECT_EQ(shown.Text(1018), Hex(font->attributes->next.get()));
  // Fields for reading only, and the buttons that move.
  for (int id : {1004, 1006, 1007, 1009, 1013, 1014, 1015, 1016, 1017, 1018}) {
    ASSERT_NE(shown.Find(id), nullptr) << id;
    EXPECT_EQ(shown.Find(id)->kind, ui::ControlKind::Edit) << id;
    EXPECT_TRUE(shown.Find(id)->style & ui::ES_READONLY) << id;
  }
  const std::pair<int, const char*> buttons[] = {{kPreviousToken, "< &Previous Token"},
                                                 {kNextToken, "&Next Token >"},
                                                 {kPreviousAttribute, "< P&revious Attribute"},
                                                 {kNextAttribute, "Ne&xt Attribute >"}};
  for (auto [id, label] : buttons) {
    ASSERT_NE(shown.Find(id), nullptr) << id;
    EXPECT_EQ(shown.Find(id)->kind, ui::ControlKind::Button) << id;
    EXPECT_EQ(shown.Text(id), label);
  }
  // Nobody answered: the script's end cancels it, as Escape does.
  EXPECT_TRUE(runs[0].cancelledAtEnd);
  EXPECT_EQ(runs[0].result, ui::IDCANCEL);
}

TEST_F(TokenDialog, ButtonsMoveThroughTokensAndAttributes) {
  char page[] = "<FONT COLOR=red SIZE=\"20\">x<HR NOSHADE><B>y";
  ASSERT_EQ(HTMLParsing(page), 1);
  const HtmlTokenNode* font = CurrentResult()->First();
  const HtmlTokenNode* hr = font->next.get();
  const HtmlTokenNode* b = hr->next.get();
  struct Row {
    int button;
    const char* kind;
    const char* text;
    const char* attrKind;
    const char* attrValue;
    const void* token;
  };
  const Row rows[] = {
      {kNextAttribute, "FONT", "x", "SIZE", "20", font},
      {kNextAttribute, "FONT", "x", "SIZE", "20", font}, // the last attribute
      {kPreviousAttribute, "FONT", "x", "COLOR", "red", font},
      {kNextAttribute, "FONT", "x", "SIZE", "20", font},
      {kNextToken, "HR", " ", "NOSHADE", "", hr}, // no text: a blank
      {kNextToken, "B", "y", "Not exist", "", b},
      {kPreviousToken, "HR", " ", "NOSHADE", "", hr},
      {kPreviousToken, "FONT", "x", "COLOR", "red", font}, // its first attribute again
      {kPreviousToken, "FONT", "x", "COLOR", "red", font}, // the first token
      {kNextToken, "HR", " ", "NOSHADE", "", hr},
      {kNextToken, "B", "y", "Not exist", "", b},
      {kNextToken, "PARSER_END", " ", "Not exist", "", b->next.get()},
      {kNextToken, "PARSER_END", " ", "Not exist", "", b->next.get()},
  };
  std::vector<DialogStep> steps;
  for (const Row& row : rows)
    steps.push_back(DialogStep::ClickOn(row.button));
  steps.push_back(DialogStep::ClickOn(ui::IDOK));
  script_->Expect(steps);
  RunHTMLTokenTestDlg(0);

  auto runs = script_->Runs();
  ASSERT_EQ(runs.size(), 1u);
  const ui::DialogRun& run = runs[0];
  EXPECT_EQ(run.result, ui::IDOK);
  EXPECT_FALSE(run.cancelledAtEnd);
  ASSERT_EQ(run.states.size(), std::size(rows) + 2);
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    const ui::DialogState& s = run.states[i + 1];
    EXPECT_EQ(s.Text(1006), rows[i].kind);
    EXPECT_EQ(s.Text(1004), rows[i].text);
    EXPECT_EQ(s.Text(1015), rows[i].attrKind);
    EXPECT_EQ(s.Text(1014), rows[i].attrValue);
    EXPECT_EQ(s.Text(1007), Hex(rows[i].token));
  }
  // A token without attributes shows none of an attribute's figures.
  const ui::DialogState& atB = run.states[6];
  EXPECT_EQ(atB.Text(1016), "");
  EXPECT_EQ(atB.Text(1017), "");
  EXPECT_EQ(atB.Text(1018), "");
  // The end token has no next one.
  EXPECT_EQ(run.states[12].Text(1013), "00000000");
}

TEST_F(TokenDialog, PageTextsShowInTheirCodePage) {
  // Two Hangul syllables in code page 949, then two kana in 932.
  char korean[] = "<B>\xB0\xA1\xB3\xAA";
  ASSERT_EQ(HTMLParsing(korean), 1);
  RunHTMLTokenTestDlg(0);
  SetTokenDialogCodePage(932);
  char japanese[] = "<I>\x82\xA0\x82\xA2";
  ASSERT_EQ(HTMLParsing(japanese), 1);
  RunHTMLTokenTestDlg(0);
  auto runs = script_->Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].states[0].Text(1004), "\xEA\xB0\x80\xEB\x82\x98");
  EXPECT_EQ(runs[0].states[0].Text(1009), "4"); // bytes, not characters
  EXPECT_EQ(runs[1].states[0].Text(1004), "\xE3\x81\x82\xE3\x81\x84");
}

TEST_F(TokenDialog, NothingOpensWithoutAResultOrATemplate) {
  RunHTMLTokenTestDlg(0);
  EXPECT_TRUE(script_->Runs().empty());
  EXPECT_EQ(RunTokenDialog(nullptr, 0), 0);

  // A bundle without the dialog's template.
  auto other = res::Bundle::Load("rTamblo", VEXO_BIN_DIR);
  ASSERT_TRUE(other);
  SetTokenDialogBundle(&*other);
  char page[] = "<B>x";
  ASSERT_EQ(HTMLParsing(page), 1);
  EXPECT_EQ(RunTokenDialog(CurrentResult()->First(), 0), -1);
  RunHTMLTokenTestDlg(0);
  EXPECT_TRUE(script_->Runs().empty());
}

TEST_F(TokenDialog, ExportedByItsOwnName) {
  const std::string path = std::string(VEXO_BIN_DIR) + "/libMarquell.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << path;
  EXPECT_EQ(dlsym(library, "RunHTMLTokenTestDlg"), reinterpret_cast<void*>(&RunHTMLTokenTestDlg));
  dlclose(library);
}

} // namespace
} // namespace htmltitle
