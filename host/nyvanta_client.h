// The singing score as a host sees it: the library Nyvanta loaded by name
// from a folder, started, and its exports bound by name; a window of the
// host told of every analysed block, which keeps the runs of singing status.
#pragma once

#include "host/score_report.h"
#include "platform/sys/library.h"
#include "platform/win/window.h"
#include "score/nyvanta.h"

#include <functional>
#include <memory>
#include <string>

namespace host {

struct NyvantaExports {
  int32_t (*Attach)() = nullptr;
  int32_t (*AttachError)(char* text, int32_t size) = nullptr;
  int32_t (*Detach)() = nullptr;
  int32_t (*InitDLL)(void* coreModule, uint32_t parent) = nullptr;
  intptr_t (*EnableScoring)(intptr_t enable) = nullptr;
  int32_t (*StartScoring)() = nullptr;
  int32_t (*TerminateScoring)() = nullptr;
  int32_t (*GetStatus)() = nullptr;
  int32_t (*GetPausedStatus)() = nullptr;
  int32_t (*Calculate)() = nullptr;
  float (*CalculateFloat)() = nullptr;
  int32_t (*PP)() = nullptr;
  int32_t (*wiGetNumWAVDevices)() = nullptr;
  void (*wiSetCurDev)(int16_t device) = nullptr;
  uint8_t (*wiGetWAVDevName)(char* destination, int16_t device) = nullptr;
  int32_t (*ShowStatusWindow)(int32_t show) = nullptr;
  int32_t (*AddListener)(uint32_t window) = nullptr;
  void (*RemoveListener)(uint32_t window) = nullptr;
  int32_t (*GetCounters)(NyvantaCounters* counters, int32_t size) = nullptr;
  int32_t (*GetLastError)(char* text, int32_t size) = nullptr;
};

class NyvantaClient {
  class Watch;

public:
  // Loads Nyvanta from folder, binds its exports and starts it; nullptr,
  // with the reason, when any of it fails.
  static std::unique_ptr<NyvantaClient> Start(const std::string& folder, std::string* error);
  ~NyvantaClient();
  NyvantaClient(const NyvantaClient&) = delete;
  NyvantaClient& operator=(const NyvantaClient&) = delete;

  // Nyvanta_InitDLL with the player core's module, and the watching window.
  bool Init(sys::ModuleHandle core, win::Hwnd parent, std::string* error);

  const NyvantaExports& Exports() const { return exports_; }
  sys::ModuleHandle Module() const { return library_.Handle(); }
  NyvantaCounters Counters() const;
  std::string LastError() const;
  // The statuses of the blocks analysed since the watch began.
  const StatusRuns& Runs() const { return runs_; }
  void ClearRuns() { runs_ = {}; }
  // Called after each analysed block.
  std::function<void(const NyvantaCounters&)> onBlock;
  // The report of the counters now.
  ScoreReport Report() const;

private:
  explicit NyvantaClient(sys::Library library);
  void Told();

  sys::Library library_;
  NyvantaExports exports_;
  bool attached_ = false;
  std::unique_ptr<Watch> watch_;
  StatusRuns runs_;
  int32_t lastBlocks_ = 0;
};

} // namespace host
