#include "host/nyvanta_client.h"

#include "host/library_client.h"
#include "platform/win/window.h"

#include <array>
#include <vector>

namespace host {
namespace {

constexpr const char* kWatchClass = "Vexo3ScoreWatch";
constexpr win::WParam kScoreChanged = 0x10000100;

std::vector<Binding> Bindings(NyvantaExports& n) {
  return {
      {"Nyvanta_Attach", Slot(n.Attach)},
      {"Nyvanta_AttachError", Slot(n.AttachError)},
      {"Nyvanta_Detach", Slot(n.Detach)},
      {"Nyvanta_InitDLL", Slot(n.InitDLL)},
      {"Nyvanta_EnableScoring", Slot(n.EnableScoring)},
      {"Nyvanta_StartScoring", Slot(n.StartScoring)},
      {"Nyvanta_TerminateScoring", Slot(n.TerminateScoring)},
      {"Nyvanta_GetStatus", Slot(n.GetStatus)},
      {"Nyvanta_GetPausedStatus", Slot(n.GetPausedStatus)},
      {"Nyvanta_Calculate", Slot(n.Calculate)},
      {"Nyvanta_CalculateFloat", Slot(n.CalculateFloat)},
      {"Nyvanta_PP", Slot(n.PP)},
      {"Nyvanta_wiGetNumWAVDevices", Slot(n.wiGetNumWAVDevices)},
      {"Nyvanta_wiSetCurDev", Slot(n.wiSetCurDev)},
      {"Nyvanta_wiGetWAVDevName", Slot(n.wiGetWAVDevName)},
      {"Nyvanta_ShowStatusWindow", Slot(n.ShowStatusWindow)},
      {"Nyvanta_AddListener", Slot(n.AddListener)},
      {"Nyvanta_RemoveListener", Slot(n.RemoveListener)},
      {"Nyvanta_GetCounters", Slot(n.GetCounters)},
      {"Nyvanta_GetLastError", Slot(n.GetLastError)},
  };
}

} // namespace

class NyvantaClient::Watch : public win::Window {
public:
  explicit Watch(NyvantaClient& client) : client_(client) {}
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_COMMAND && wParam == kScoreChanged) {
      client_.Told();
      return 0;
    }
    return win::DefWindowProc(GetHwnd(), message, wParam, lParam);
  }

private:
  NyvantaClient& client_;
};

std::unique_ptr<NyvantaClient> NyvantaClient::Start(const std::string& folder, std::string* error) {
  std::string why;
  auto library = sys::Library::Load(folder, "Nyvanta", &why);
  if (!library) {
    *error = "the singing score cannot be loaded: " + why;
    return nullptr;
  }
  std::unique_ptr<NyvantaClient> client(new NyvantaClient(std::move(*library)));
  if (!BindAndAttach(client->library_, Bindings(client->exports_), client->exports_,
                     "singing score", error))
    return nullptr;
  client->attached_ = true;
  return client;
}

bool NyvantaClient::Init(sys::ModuleHandle core, win::Hwnd parent, std::string* error) {
  if (!exports_.InitDLL(core, parent)) {
    *error = "the singing score could not make its window";
    return false;
  }
  static const bool registered =
      win::RegisterClass({kWatchClass, 0, [] { return std::unique_ptr<win::Window>(); }});
  (void)registered;
  watch_ = std::make_unique<Watch>(*this);
  win::CreateParams p;
  p.className = kWatchClass;
  p.parent = win::kHwndMessage;
  p.object = watch_.get();
  if (!win::CreateWindow(p) || !exports_.AddListener(watch_->GetHwnd())) {
    *error = "the singing score's notices cannot be watched";
    return false;
  }
  return true;
}

NyvantaClient::NyvantaClient(sys::Library library) : library_(std::move(library)) {}

NyvantaClient::~NyvantaClient() {
  if (watch_ && watch_->GetHwnd()) {
    if (attached_)
      exports_.RemoveListener(watch_->GetHwnd());
    win::DestroyWindow(watch_->GetHwnd());
  }
  if (attached_)
    exports_.Detach();
  // Kept loaded for the process's life, as the player core is.
  library_.Release();
}

NyvantaCounters NyvantaClient::Counters() const {
  NyvantaCounters c{};
  exports_.GetCounters(&c, sizeof c);
  return c;
}

std::string NyvantaClient::LastError() const {
  std::array<char, 256> text{};
  exports_.GetLastError(text.data(), static_cast<int32_t>(text.size()));
  return text.data();
}

void NyvantaClient::Told() {
  const NyvantaCounters c = Counters();
  // A notice comes also at the start and the stop; only a new block counts.
  if (c.blocks == lastBlocks_)
    return;
  lastBlocks_ = c.blocks;
  runs_.Add(c.status);
  if (onBlock)
    onBlock(c);
}

ScoreReport NyvantaClient::Report() const {
  const NyvantaCounters c = Counters();
  ScoreReport r;
  r.score = exports_.Calculate();
  r.scoreFloat = exports_.CalculateFloat();
  r.blocks = c.blocks;
  r.voiceChecks = c.voiceChecks;
  r.voiceHits = c.voiceHits;
  r.pitchChecks = c.pitchChecks;
  r.errorCount = c.errorCount;
  r.errorSum = c.errorSum;
  r.emptyChecks = c.emptyChecks;
  r.emptyHits = c.emptyHits;
  return r;
}

} // namespace host
