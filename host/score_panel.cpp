#include "host/score_panel.h"

#include "platform/ui/window/screen.h"
#include "platform/ui/window/snapshot.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

namespace host {
namespace {

constexpr const char* kPanelClass = "Vexo3ScorePanel";
constexpr int32_t kWidth = 540, kHeight = 330;
constexpr win::WParam kQueryControlObject = 0x10000000;

// A control: its class, where it goes, its configuration string and the
// mangled name of its class's LoadResources(const res::Bundle*, int).
struct Slot {
  const char* className;
  int32_t x, y, width, height;
  int32_t string; // 0: no configuration
  const char* loadResources;
  uint32_t exStyle = 0;
};
const Slot kSlots[] = {
    {"CScoreLED", 10, 10, 250, 70, 1201, "_ZN5score9CScoreLED13LoadResourcesEPKN3res6BundleEi"},
    {"CScoreMeter", 270, 10, 20, 300, 1202,
     "_ZN5score11CScoreMeter13LoadResourcesEPKN3res6BundleEi"},
    {"CScoreMeter", 300, 10, 20, 300, 1206,
     "_ZN5score11CScoreMeter13LoadResourcesEPKN3res6BundleEi"},
    {"CScoreOscillo", 10, 90, 250, 110, 1203,
     "_ZN5score13CScoreOscillo13LoadResourcesEPKN3res6BundleEi"},
    {"CScoreWave", 10, 210, 250, 100, 1204,
     "_ZN5score10CScoreWave13LoadResourcesEPKN3res6BundleEi"},
    // The singing status as an animation, over the LED's left part.
    {"CScoreAnim", 14, 13, 64, 64, 0, nullptr, 0x20 /* WS_EX_TRANSPARENT */},
};

} // namespace

class ScorePanel::Window : public ui::ScreenWindow {
public:
  std::function<void()> onClose;

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override {
    if (message == win::WM_CLOSE) {
      if (onClose)
        onClose();
      return 0;
    }
    return Default(message, wParam, lParam);
  }
};

std::unique_ptr<ScorePanel> ScorePanel::Open(std::function<void()> onClose, std::string* error) {
  static const bool registered = [] {
    ui::ScreenClass c;
    c.name = kPanelClass;
    c.factory = [] { return std::unique_ptr<ui::ScreenWindow>(); };
    c.background = 0; // black
    return ui::RegisterScreenClass(c);
  }();
  (void)registered;
  std::unique_ptr<ScorePanel> panel(new ScorePanel);
  panel->window_ = std::make_unique<Window>();
  panel->window_->onClose = std::move(onClose);
  win::CreateParams p;
  p.className = kPanelClass;
  p.title = "vexo3 score";
  p.style = ui::WS_CAPTION | ui::WS_SYSMENU | ui::WS_MINIMIZEBOX;
  p.width = kWidth;
  p.height = kHeight;
  p.object = panel->window_.get();
  if (!win::CreateWindow(p)) {
    *error = "the score panel cannot be made";
    return nullptr;
  }
  ui::ShowWindow(panel->Hwnd(), ui::SW_SHOW);
  return panel;
}

ScorePanel::~ScorePanel() {
  if (window_ && window_->GetHwnd())
    win::DestroyWindow(window_->GetHwnd());
}

win::Hwnd ScorePanel::Hwnd() const {
  return window_ ? window_->GetHwnd() : 0;
}

bool ScorePanel::MakeControls(sys::ModuleHandle nyvanta, std::string* error) {
  for (const Slot& s : kSlots) {
    using Load = void (*)(void* self, const void* module, int32_t id);
    auto load = s.loadResources ? reinterpret_cast<Load>(sys::FindName(nyvanta, s.loadResources))
                                : nullptr;
    if (s.loadResources && !load) {
      *error = std::string("the singing score does not export ") + s.className +
               "::LoadResources";
      return false;
    }
    win::CreateParams p;
    p.className = s.className;
    p.title = s.string ? std::to_string(s.string) : std::string();
    p.exStyle = s.exStyle;
    p.style = win::WS_CHILD | win::WS_VISIBLE;
    p.parent = Hwnd();
    p.x = s.x;
    p.y = s.y;
    p.width = s.width;
    p.height = s.height;
    const win::Hwnd control = win::CreateWindow(p);
    void* object = nullptr;
    if (!control || win::SendMessage(control, win::WM_COMMAND, kQueryControlObject,
                                     reinterpret_cast<win::LParam>(&object)) != 1 ||
        !object) {
      *error = std::string("no control of class ") + s.className + " can be made";
      return false;
    }
    // The string whose number is the window text, from the library's bundle.
    if (load)
      load(object, nullptr, -1);
  }
  return true;
}

void ScorePanel::PlaceStatusWindow() {
  if (const win::Hwnd controller = win::FindWindowEx(Hwnd(), "MSG_NYVANTA", std::nullopt))
    ui::MoveWindow(controller, 330, 10, 200, 300);
}

bool ScorePanel::Save(const std::string& path) const {
  return ui::SaveWindowImage(Hwnd(), path);
}

} // namespace host
