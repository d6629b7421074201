// The overlay card on the scripted device: which key colour each card gets,
// seen on the frame's painted background, and the input it is sent.
#include "display/tests/support/frame_fixture.h"

#include "platform/media/mci_scripted.h"

#include <algorithm>

using namespace display;
using namespace displaytest;

namespace {

void AllowOverlay(media::mci::Script& mci) {
  mci.Allow({"open overlay style overlapped", "status overlay window handle",
             "set overlay video key on", "set overlay video key color to *",
             "set overlay card type to 3", "set overlay video off", "set overlay video on",
             "set overlay source number to *", "close overlay", "window overlay handle *",
             "window overlay text *", "put overlay destination at *"});
}

gdi::Colour ErasedBackground(win::Hwnd hwnd) {
  ui::InvalidateRect(hwnd, nullptr, true);
  ui::UpdateWindow(hwnd);
  auto dc = ui::GetDc(hwnd);
  return dc ? dc->GetPixel(1, 1) : gdi::kInvalidColour;
}

TEST_F(FrameTest, EachKindOfOverlayCardKeysTheBackgroundOnItsOwnColour) {
  struct Row {
    const char* what;
    std::string product;
    std::string cardType; // "" when the capability is not answered
    gdi::Colour key;
    const char* keyCommand; // nullptr: none sent
  } rows[] = {
      {"the known model", kOverlayModel, "3", gdi::Rgb(255, 0, 255),
       "set overlay video key color to 255:0:255"},
      {"a type-3 card", "Other Card 9000", "3", gdi::Rgb(128, 0, 128),
       "set overlay video key color to 128:0:128"},
      {"another card", "Other Card 9000", "2", gdi::Rgb(0, 0, 0), nullptr},
      {"a card without the capability", "Other Card", "", gdi::Rgb(0, 0, 0), nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    media::mci::Script& mci = ScriptDevices();
    AllowOverlay(mci);
    mci.Set("info overlay product", {media::mci::kOk, r.product});
    if (!r.cardType.empty())
      mci.Set("capability overlay card type", {media::mci::kOk, r.cardType});
    dir.Write("config.ini", "[Words]\nDisplay=1\n[Overlay]\nCheck=1\nSource=2\nVideo x=-5\n");
    CKivo32Frame& f = Start();
    ASSERT_TRUE(f.Overlay().IsOpen());
    EXPECT_EQ(f.BackgroundMode(), kModeOverlay);
    EXPECT_EQ(f.Overlay().KeyColour(), r.key);
    EXPECT_EQ(ErasedBackground(hwnd), r.key);
    const std::vector<std::string> sent = mci.Sent();
    auto has = [&](const std::string& c) {
      return std::find(sent.begin(), sent.end(), c) != sent.end();
    };
    EXPECT_TRUE(has("set overlay source number to 3")); // input 2 is the card's 3
    EXPECT_FALSE(has("set overlay source number to 2"));
    if (r.keyCommand) {
      EXPECT_TRUE(has(r.keyCommand));
    } else {
      for (const std::string& c : sent)
        EXPECT_FALSE(c.starts_with("set overlay video key color")) << c;
    }
    Close();
    EXPECT_EQ(Ini("Overlay", "Video X"), "0"); // a negative position is written as 0
    frame.reset();
    devices.reset();
    script.reset();
  }
}

} // namespace
