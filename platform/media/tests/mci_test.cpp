// The media-command layer: how command strings are cut and routed to
// devices, what answers callers get, and the notifications they are posted.
#include "platform/media/mci.h"
#include "platform/media/mci_scripted.h"

#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace media::mci;

namespace {

TEST(MciWords, CommandStringsAreCutIntoWords) {
  const std::string longPath =
      "/tmp/" + std::string(300, 'a') + " with blanks/" + std::string(290, 'b') + ".mpg";
  struct Row {
    const char* what;
    std::string command;
    uint32_t error;
    std::vector<std::string> words;
  } rows[] = {
      {"plain", "play mpegvideo repeat notify", kOk, {"play", "mpegvideo", "repeat", "notify"}},
      {"runs of blanks and tabs",
       "  seek\t mpegvideo  to   start ",
       kOk,
       {"seek", "mpegvideo", "to", "start"}},
      {"quoted blanks",
       "load mpegvideo \"/a b/c  d.mpg\"",
       kOk,
       {"load", "mpegvideo", "/a b/c  d.mpg"}},
      {"an empty quoted word", "open \"\" alias x", kOk, {"open", "", "alias", "x"}},
      {"a doubled quote", "load v \"say \"\"hi\"\".mpg\"", kOk, {"load", "v", "say \"hi\".mpg"}},
      {"a quote inside a word ends nothing", "a\"b c", kOk, {"a\"b", "c"}},
      {"a long quoted path",
       "load mpegvideo \"" + longPath + "\"",
       kOk,
       {"load", "mpegvideo", longPath}},
      {"a missing closing quote", "load mpegvideo \"/a b.mpg", kErrNoClosingQuote, {}},
      {"nothing", "   ", kOk, {}},
  };
  for (const auto& r : rows) {
    const Words w = SplitWords(r.command);
    EXPECT_EQ(w.error, r.error) << r.what;
    EXPECT_EQ(w.words, r.words) << r.what;
  }
  // A word written back with QuoteWord comes back whole.
  for (std::string word :
       {std::string("plain"), std::string(""), std::string("a \"b\" c"), longPath}) {
    const Words w = SplitWords("x " + QuoteWord(word) + " y");
    EXPECT_EQ(w.words, (std::vector<std::string>{"x", word, "y"})) << word;
  }
  EXPECT_EQ(QuoteWord("plain", true), "\"plain\"");
}

TEST(MciWords, APlacementIsFourBoundedIntegersWithASize) {
  struct Row {
    std::vector<std::string> words;
    uint32_t result;
    media::mci::Placement want;
  };
  const Row rows[] = {
      {{"at", "40", "30", "80", "60"}, media::mci::kOk, {40, 30, 80, 60}},
      {{"at", "-32767", "32767", "1", "32767"}, media::mci::kOk, {-32767, 32767, 1, 32767}},
      {{"at", "-32768", "0", "10", "10"}, media::mci::kErrBadInteger, {}},
      {{"at", "0", "0", "32768", "10"}, media::mci::kErrBadInteger, {}},
      {{"at", "0", "0", "1O", "10"}, media::mci::kErrBadInteger, {}},
      {{"at", "0", "0", "10"}, media::mci::kErrBadInteger, {}},
      {{"at", "0", "0", "0", "9"}, media::mci::kErrOutOfRange, {}},
      {{"at", "0", "0", "9", "-1"}, media::mci::kErrOutOfRange, {}},
  };
  for (const Row& row : rows) {
    media::mci::Placement p{7, 7, 7, 7};
    EXPECT_EQ(media::mci::ParsePlacement(row.words, 1, p), row.result) << row.words.size();
    if (row.result == media::mci::kOk) {
      EXPECT_EQ(p.x, row.want.x);
      EXPECT_EQ(p.y, row.want.y);
      EXPECT_EQ(p.width, row.want.width);
      EXPECT_EQ(p.height, row.want.height);
    } else {
      EXPECT_EQ(p.x, 7); // left as it was
    }
  }
}

class MciTest : public ::testing::Test {
protected:
  void SetUp() override {
    wintest::StartTestSession();
    script = std::make_shared<Script>();
    scoped = std::make_unique<ScopedScriptedDevices>(
        script, std::initializer_list<const char*>{"testvideo", "mpegvideo", "digitalvideo"});
  }
  void TearDown() override { scoped.reset(); }

  std::shared_ptr<Script> script;
  std::unique_ptr<ScopedScriptedDevices> scoped;
};

TEST_F(MciTest, CommandsReachTheirDevicesOrFailWithTheReason) {
  script->Allow({"open testvideo", "open clip.MPG", "open \"/a b/c d.avi\" alias clip", "play clip",
                 "PLAY TestVideo", "close clip", "play clip.MPG from 0 notify",
                 "open testvideo type testvideo alias second"});
  script->Set("info testvideo product", {kOk, "Tessarin MpegVideo"});
  script->Set("status testvideo long", {kOk, std::string(200, 'x')});
  struct Row {
    const char* what;
    std::string command;
    uint32_t result;
    size_t answerSize = 128;
    std::string answer = {};
    std::vector<std::string> args = {}; // what the device was given, when it was reached
  } rows[] = {
      {"no command", "", kErrMissingCommandString},
      {"no device name", "play", kErrMissingDeviceName},
      {"a device not open", "play testvideo", kErrInvalidDeviceName},
      {"an unknown type", "open nosuchdevice", kErrDeviceNotInstalled},
      {"an unknown extension", "open /tmp/clip.xyz", kErrExtensionNotFound},
      {"a missing quote", "open \"/tmp/clip.mpg", kErrNoClosingQuote},
      {"open by type", "open testvideo", kOk},
      {"the same name twice", "open testvideo", kErrDeviceOpen},
      {"the same alias twice", "open testvideo type testvideo alias testvideo", kErrDuplicateAlias},
      {"a second one by alias", "open testvideo type testvideo alias second", kOk},
      {"an answer whole", "info testvideo product", kOk, 128, "Tessarin MpegVideo"},
      {"an answer cut to the buffer", "info testvideo product", kOk, 10, "Tessarin "},
      {"a long answer cut", "status testvideo long", kOk, 128, std::string(127, 'x')},
      {"no buffer, no answer", "info testvideo product", kOk, 0, ""},
      {"an unknown keyword", "bogus testvideo", kErrUnrecognizedCommand},
      {"names and verbs in any case", "PLAY TestVideo", kOk},
      {"by extension, named by its file", "open clip.MPG", kOk},
      {"notify taken out", "play clip.MPG from 0 notify", kOk, 128, "", {"from", "0"}},
      {"a quoted element with an alias", "open \"/a b/c d.avi\" alias clip", kOk},
      {"by alias", "play clip", kOk},
      {"closed by alias", "close clip", kOk},
      {"gone after close", "play clip", kErrInvalidDeviceName},
  };
  for (const auto& r : rows) {
    script->ClearSent();
    std::string answer = "stale";
    EXPECT_EQ(SendString(r.command, &answer, r.answerSize), r.result) << r.what;
    EXPECT_EQ(answer, r.answer) << r.what;
    if (!r.args.empty()) {
      EXPECT_EQ(script->LastArgs(), r.args) << r.what;
    }
  }
  EXPECT_NE(GetDeviceId("clip.mpg"), 0u);
  EXPECT_NE(GetDeviceId("SECOND"), GetDeviceId("testvideo"));
  EXPECT_EQ(TypeForElement("/x/y.Avi"), "digitalvideo");
  EXPECT_EQ(TypeForElement("/x/y.FLI"), "digitalvideo");
  EXPECT_EQ(TypeForElement("/x/y.flc"), "digitalvideo");
  EXPECT_EQ(TypeForElement("/x/y.mov"), "digitalvideo");
  EXPECT_EQ(TypeForElement("/x/vcd.dat"), "mpegvideo");
  EXPECT_EQ(TypeForElement("/x.y/noext"), std::nullopt);
  for (uint32_t e = kErrInvalidDeviceId; e < kErrLast; ++e)
    EXPECT_FALSE(ErrorText(e).empty()) << e;
  EXPECT_EQ(ErrorText(kOk), "");
}

TEST_F(MciTest, OpenTakesItsOwnKeywordsAndLeavesTheRestToTheDevice) {
  OpenRequest seen;
  ScopedDeviceType capture("capture",
                           [&](const OpenRequest& r, uint32_t* error) -> std::unique_ptr<Device> {
                             seen = r;
                             *error = kErrHardware;
                             return nullptr;
                           });
  struct Row {
    std::string command;
    uint32_t result;
    std::string type = {}, element = {}, name = {};
    uint32_t style = 0;
    win::Hwnd parent = 0;
    std::vector<std::string> args = {};
  } rows[] = {
      {"open capture style overlapped", kErrHardware, "capture", "", "capture", 0, 0, {}},
      {"open \"/v/a b.mov\" type Capture alias v style child parent 77 shareable buffer 4",
       kErrHardware,
       "capture",
       "/v/a b.mov",
       "v",
       win::WS_CHILD,
       77,
       {"buffer", "4"}},
      {"open capture type capture style popup",
       kErrHardware,
       "capture",
       "",
       "capture",
       win::WS_POPUP,
       0,
       {}},
      {"open capture style", kErrMissingParameter},
      {"open capture parent x", kErrBadInteger},
  };
  for (const auto& r : rows) {
    seen = {};
    EXPECT_EQ(SendString(r.command), r.result) << r.command;
    if (r.result != kErrHardware)
      continue;
    EXPECT_EQ(seen.type, r.type) << r.command;
    EXPECT_EQ(seen.element, r.element) << r.command;
    EXPECT_EQ(seen.name, r.name) << r.command;
    EXPECT_EQ(seen.style, r.style) << r.command;
    EXPECT_EQ(seen.parent, r.parent) << r.command;
    EXPECT_EQ(seen.args, r.args) << r.command;
    EXPECT_EQ(seen.text, r.command);
  }
  // A failed open leaves the name free.
  EXPECT_EQ(GetDeviceId("capture"), 0u);

  // The command-message form.
  OpenParams p;
  p.type = "capture";
  p.element = "/v/clip.avi";
  p.parent = 5;
  p.style = win::WS_CHILD;
  p.hasStyle = true;
  DeviceId id = 99;
  EXPECT_EQ(Open(p, &id), kErrHardware);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(seen.element, "/v/clip.avi");
  EXPECT_EQ(seen.parent, 5u);
  EXPECT_TRUE(seen.hasStyle);
}

TEST_F(MciTest, CommandMessagesGoToTheDeviceById) {
  script->Allow(
      {"open testvideo alias clip style 1073741824 parent 9", "where clip source", "close clip"});
  OpenParams p;
  p.type = "testvideo";
  p.alias = "clip";
  p.parent = 9;
  p.style = win::WS_CHILD;
  p.hasStyle = true;
  DeviceId id = 0;
  ASSERT_EQ(Open(p, &id), kOk);
  EXPECT_EQ(GetDeviceId("clip"), id);
  EXPECT_EQ(SendCommand(id, "where source"), kOk);
  EXPECT_EQ(SendCommand(id + 1000, "where source"), kErrInvalidDeviceId);
  EXPECT_EQ(SendCommand(id, "close"), kOk);
  EXPECT_EQ(script->Sent(),
            (std::vector<std::string>{"open testvideo alias clip style 1073741824 parent 9",
                                      "where clip source", "close clip"}));
  EXPECT_EQ(GetDeviceId("clip"), 0u);
}

// A window that keeps the notifications it is posted.
struct Notices {
  Notices() {
    static const bool registered = wintest::RegisterFnClass(
        "MciNoticeTest", [](win::Hwnd hwnd, uint32_t m, win::WParam w, win::LParam l) {
          if (m == win::MM_MCINOTIFY)
            Of(hwnd).push_back({w, static_cast<DeviceId>(l)});
          return win::LResult{0};
        });
    (void)registered;
    hwnd = wintest::MakeWindow("MciNoticeTest");
    Of(hwnd).clear();
  }
  ~Notices() { win::DestroyWindow(hwnd); }
  struct Got {
    win::WParam flag;
    DeviceId id;
    bool operator==(const Got&) const = default;
  };
  static std::vector<Got>& Of(win::Hwnd h) {
    static std::map<win::Hwnd, std::vector<Got>> all;
    return all[h];
  }
  // What arrived once the posted messages are handled.
  std::vector<Got> Take() {
    win::ProcessPendingMessages();
    auto got = Of(hwnd);
    Of(hwnd).clear();
    return got;
  }
  win::Hwnd hwnd = 0;
};

TEST_F(MciTest, EachNotifyCommandIsAnsweredExactlyOnce) {
  script->Allow({"open testvideo", "open testvideo notify", "close testvideo",
                 "close testvideo notify", "seek testvideo to start notify"});
  script->Set("play testvideo notify", {kOk, "", true});
  script->Set("play testvideo repeat notify", {kOk, "", true});
  Notices n;
  ASSERT_EQ(SendString("open testvideo notify", nullptr, 0, n.hwnd), kOk);
  const DeviceId id = GetDeviceId("testvideo");
  EXPECT_EQ(n.Take(), (std::vector<Notices::Got>{{kNotifySuccessful, id}})) << "open";

  // A command that completes at once is answered at once; one refused is not.
  EXPECT_EQ(SendString("seek testvideo to start notify", nullptr, 0, n.hwnd), kOk);
  EXPECT_EQ(n.Take(), (std::vector<Notices::Got>{{kNotifySuccessful, id}})) << "seek";
  EXPECT_EQ(SendString("bogus testvideo notify", nullptr, 0, n.hwnd), kErrUnrecognizedCommand);
  EXPECT_TRUE(n.Take().empty()) << "refused";

  // A play goes on: nothing until it ends, once.
  EXPECT_EQ(SendString("play testvideo notify", nullptr, 0, n.hwnd), kOk);
  EXPECT_TRUE(n.Take().empty());
  EXPECT_TRUE(script->FinishPending(kNotifySuccessful));
  EXPECT_FALSE(script->FinishPending(kNotifySuccessful));
  EXPECT_EQ(n.Take(), (std::vector<Notices::Got>{{kNotifySuccessful, id}})) << "natural end";

  // A second notify command supersedes the first; a refused one does not.
  EXPECT_EQ(SendString("play testvideo notify", nullptr, 0, n.hwnd), kOk);
  EXPECT_EQ(SendString("bogus testvideo notify", nullptr, 0, n.hwnd), kErrUnrecognizedCommand);
  EXPECT_TRUE(n.Take().empty());
  EXPECT_EQ(SendString("play testvideo repeat notify", nullptr, 0, n.hwnd), kOk);
  EXPECT_EQ(n.Take(), (std::vector<Notices::Got>{{kNotifySuperseded, id}})) << "superseded";
  // The superseded command's late end says nothing.
  EXPECT_FALSE(Finish(id, 1, kNotifySuccessful));

  // Close aborts the one still waiting, then answers its own notify.
  EXPECT_EQ(SendString("close testvideo notify", nullptr, 0, n.hwnd), kOk);
  EXPECT_EQ(n.Take(), (std::vector<Notices::Got>{{kNotifyAborted, id}, {kNotifySuccessful, id}}))
      << "close";
  EXPECT_FALSE(script->FinishPending(kNotifySuccessful));
  EXPECT_TRUE(n.Take().empty());
}

TEST_F(MciTest, ThreadsDriveDevicesSideBySide) {
  script->Allow({"open testvideo type testvideo alias *", "play *", "status *", "close *"});
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &failures] {
      const std::string name = "dev" + std::to_string(t % 2); // two threads share a name
      for (int i = 0; i < 200; ++i) {
        const uint32_t open = SendString("open testvideo type testvideo alias " + name);
        if (open != kOk && open != kErrDuplicateAlias)
          ++failures;
        std::string answer;
        const uint32_t play = SendString("play " + name, &answer, 10);
        if (play != kOk && play != kErrInvalidDeviceName)
          ++failures;
        SendString("close " + name);
      }
    });
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(GetDeviceId("dev0"), 0u);
}

} // namespace
