// A frame of the display made in the test's own process, with its settings in
// a fresh folder, and the host's windows ("VEXO3REMOTE" with "MSG_REMOTE" and
// "MSG_TAMBLO") made on request, recording what reaches them.
#pragma once

#include "display/frame.h"
#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"

#include "platform/media/mci_scripted.h"
#include "platform/sys/ini.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace displaytest {

struct Received {
  uint32_t message = 0;
  win::WParam wParam = 0; // WM_USER code, copy kind, key
  win::LParam lParam = 0;
  std::string bytes;    // WM_COPYDATA payload
  win::WParam from = 0; // WM_COPYDATA sender
};

// A window of the message layer that keeps what it receives.
class RecordingWindow : public win::Window {
public:
  std::vector<Received> got;
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_USER || message == win::WM_KEYDOWN) {
      got.push_back({message, wParam, lParam, {}, 0});
      return 0;
    }
    if (message == win::WM_COPYDATA) {
      const win::CopyData* c = win::AsCopyData(lParam);
      got.push_back(
          {message, c->kind, 0, std::string(static_cast<const char*>(c->data), c->size), wParam});
      return 0;
    }
    return win::Window::WindowProc(message, wParam, lParam);
  }
  std::vector<Received> User(win::WParam code) const {
    std::vector<Received> out;
    for (const auto& r : got)
      if (r.message == win::WM_USER && r.wParam == code)
        out.push_back(r);
    return out;
  }
  std::vector<Received> Copies(uintptr_t kind) const {
    std::vector<Received> out;
    for (const auto& r : got)
      if (r.message == win::WM_COPYDATA && r.wParam == kind)
        out.push_back(r);
    return out;
  }
};

// The host's message windows in this process.
class TestHost {
public:
  TestHost() {
    for (const char* cls : {"VEXO3REMOTE", "MSG_REMOTE", "MSG_TAMBLO"})
      if (!win::IsClassRegistered(cls))
        win::RegisterClass({cls, 0, [] { return std::make_unique<win::Window>(); }});
    top = Make("VEXO3REMOTE", "Vexo3 host", 0, &topWindow);
    remote = Make("MSG_REMOTE", "MESSAGE", top, &remoteWindow);
    tamblo = Make("MSG_TAMBLO", "MESSAGE", top, &tambloWindow);
  }
  ~TestHost() {
    if (win::IsWindow(top))
      win::DestroyWindow(top);
  }
  win::Window topWindow;
  RecordingWindow remoteWindow, tambloWindow;
  win::Hwnd top = 0, remote = 0, tamblo = 0;

private:
  static win::Hwnd Make(const char* cls, const char* title, win::Hwnd parent, win::Window* o) {
    win::CreateParams p;
    p.className = cls;
    p.title = title;
    p.parent = parent;
    p.style = parent ? win::WS_CHILD : win::WS_POPUP;
    p.object = o;
    return win::CreateWindow(p);
  }
};

class FrameTest : public ::testing::Test {
protected:
  void SetUp() override {
    StartSession();
    config = dir / "config.ini";
  }
  void TearDown() override {
    frame.reset();
    host.reset();
    devices.reset();
  }

  // The overlay card and the MPEG board as devices of the media-command
  // layer that answer from one script (a fresh one on each call).
  media::mci::Script& ScriptDevices() {
    devices.reset();
    script = std::make_shared<media::mci::Script>();
    devices = std::make_unique<media::mci::ScopedScriptedDevices>(
        script, std::initializer_list<const char*>{"overlay", "mpegvideo"});
    return *script;
  }

  // Creates, shows and paints the frame as the program does.
  display::CKivo32Frame& Start() {
    frame = std::make_unique<display::CKivo32Frame>();
    frame->SetConfigPath(config);
    frame->SetProgramFolder(dir.Path());
    hwnd = frame->CreateFrame("Kivo32");
    EXPECT_NE(hwnd, 0u);
    if (hwnd) {
      ui::ShowWindow(hwnd, ui::SW_SHOWNORMAL);
      ui::UpdateWindow(hwnd);
      EXPECT_TRUE(PumpUntil([&] { return frame->FirstPaintDone(); }));
    }
    return *frame;
  }
  void StartHost() { host = std::make_unique<TestHost>(); }
  // Closes the frame as its close message does.
  void Close() {
    if (hwnd && win::IsWindow(hwnd))
      win::SendMessage(hwnd, display::kCloseMessage, 0, 0);
    EXPECT_FALSE(win::IsWindow(hwnd));
  }
  std::string Ini(const char* section, const char* key) {
    return sys::IniGetString(config, section, key, "<none>");
  }

  TempFolder dir;
  std::string config;
  std::unique_ptr<display::CKivo32Frame> frame;
  win::Hwnd hwnd = 0;
  std::unique_ptr<TestHost> host;
  std::shared_ptr<media::mci::Script> script;
  std::unique_ptr<media::mci::ScopedScriptedDevices> devices;
};

} // namespace displaytest
