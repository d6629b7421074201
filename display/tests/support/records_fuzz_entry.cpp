#include "display/tests/support/records_fuzz_entry.h"

#include "display/frame.h"
#include "display/receiver.h"
#include "display/records.h"
#include "display/resources.h"

#include "platform/res/bundle.h"
#include "platform/sys/bytes.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace displaytest {
namespace {

namespace fs = std::filesystem;
using namespace display;

constexpr uintptr_t kKinds[] = {kTitleCopy,       kLyricCopy,          kEventCopy,
                                kLyricTextCopy,   kImageCopy,          kPlayImageCopy,
                                kReserveListCopy, kNextSongCopy,       kDisplayModeCopy,
                                kHtmlPageCopy,    kFramePlacementCopy, kSongFileCopy};
constexpr win::WParam kCodes[] = {kPlayStarted,
                                  kPlayStopped,
                                  kVideoOffRequest,
                                  kOverlayVideoRequest,
                                  kMpegVideoRequest,
                                  kAviVideoRequest,
                                  kSingScore,
                                  kDisplayShowRequest,
                                  kDisplayCloseRequest,
                                  kDisplayRepaintRequest,
                                  kStopImageNotify,
                                  1542,
                                  kCodePageNotify,
                                  kJumpNotify,
                                  kDisplaySettingsNotify,
                                  kMediaListReload,
                                  kInfoViewRefresh,
                                  kDisplayModeReset};
constexpr uint32_t kFrameMessages[] = {kRelayoutMessage, kNextImageMessage, kNextImageAsyncMessage};
constexpr size_t kMaxRecords = 64;
constexpr int32_t kMaxSide = 1280;
constexpr int32_t kMaxCoordinate = 1024;

// A private folder, removed at exit.
std::string MakeTempFolder() {
  char pattern[] = "/tmp/vexo-fuzz-display-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) {
    std::perror("mkdtemp");
    std::abort();
  }
  static std::vector<std::string> folders;
  if (folders.empty())
    std::atexit([] {
      std::error_code ec;
      for (const auto& path : folders)
        fs::remove_all(path, ec);
    });
  folders.push_back(made);
  return made;
}

// The process's session, made once unless the test program made it: the
// offscreen platform, a private runtime folder, the display's resources and
// classes. Then the folder of the frame's settings.
const std::string& Folder() {
  static const std::string folder = [] {
    if (!QCoreApplication::instance()) {
      static std::string runtime = MakeTempFolder();
      setenv("VEXO_RUNTIME_DIR", runtime.c_str(), 1);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      static int argc = 1;
      static char name[] = "fuzz-display-records";
      static char* argv[] = {name, nullptr};
      static QApplication app(argc, argv);
      SetResourceModule(res::Bundle::Load("rKivo32", VEXO_BIN_DIR));
      if (!RegisterDisplayClasses()) {
        std::fprintf(stderr, "fuzz-display-records: display classes not registered\n");
        std::abort();
      }
    }
    return MakeTempFolder();
  }();
  return folder;
}

// The rectangles of a placement or display mode record, held to a few
// thousand pixels: a frame or view of the largest size a window may take
// (2^26 pixels) costs seconds under the sanitizers, and the extremes are
// the unit tests' to try.
void BoundRectangles(uint32_t kind, std::vector<uint8_t>& record) {
  if (kind != kFramePlacementCopy && kind != kDisplayModeCopy)
    return;
  // A display mode record's rectangles come after its mode and host window.
  const size_t first = kind == kDisplayModeCopy ? 8 : 0;
  for (size_t at = first; at + 4 <= record.size() && at < kDisplayModeRecordSize; at += 4) {
    sys::ByteReader field(record.data() + at, 4);
    const int32_t held = *field.I32LE() % kMaxCoordinate;
    for (int i = 0; i < 4; ++i)
      record[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(held) >> (8 * i));
  }
}

bool IsClose(win::WParam code, win::LParam argument) {
  return code == kDisplayCloseRequest || (code == kDisplayShowRequest && (argument & 1));
}

} // namespace

std::string CheckDisplayRecordsInput(const uint8_t* data, size_t size) {
  const std::string& folder = Folder();
  std::error_code ec;
  fs::remove(folder + "/config.ini", ec);
  fs::remove(folder + "/Score.htm", ec);

  auto frame = std::make_unique<CKivo32Frame>();
  frame->SetConfigPath(folder + "/config.ini");
  frame->SetProgramFolder(folder);
  const win::Hwnd hwnd = frame->CreateFrame("Kivo32");
  if (!hwnd)
    return "frame not created";
  ui::ShowWindow(hwnd, ui::SW_SHOWNORMAL);
  ui::UpdateWindow(hwnd);
  win::ProcessPendingMessages();

  std::string fault;
  bool closed = false;
  sys::ByteReader r(data, size);
  for (size_t n = 0; n < kMaxRecords && !r.AtEnd() && !closed; ++n) {
    const auto op = r.U8();
    std::string what;
    switch (*op % 6) {
    case 0: {
      auto index = r.U8();
      if (!index)
        break;
      std::optional<uint32_t> kind =
          *index < std::size(kKinds) ? std::optional<uint32_t>(kKinds[*index]) : r.U32LE();
      auto length = r.U16LE();
      if (!kind || !length)
        break;
      auto bytes = r.Bytes(std::min<size_t>(*length, r.Remaining()));
      std::vector<uint8_t> record(bytes->begin(), bytes->end());
      BoundRectangles(*kind, record);
      what = "copy kind " + std::to_string(*kind);
      win::SendCopyData(hwnd, 0, *kind, record.data(), static_cast<uint32_t>(record.size()));
      break;
    }
    case 1: {
      auto index = r.U8();
      if (!index)
        break;
      std::optional<uint32_t> code =
          *index < std::size(kCodes)
              ? std::optional<uint32_t>(static_cast<uint32_t>(kCodes[*index]))
              : r.U32LE();
      auto argument = r.I32LE();
      if (!code || !argument)
        break;
      what = "code " + std::to_string(*code);
      closed = IsClose(*code, *argument);
      win::SendMessage(hwnd, win::WM_USER, *code, *argument);
      break;
    }
    case 2: {
      auto index = r.U8();
      auto wParam = r.U32LE();
      auto lParam = r.I32LE();
      if (!index || !wParam || !lParam)
        break;
      const uint32_t message = kFrameMessages[*index % std::size(kFrameMessages)];
      what = "frame message " + std::to_string(message);
      win::SendMessage(hwnd, message, *wParam, *lParam);
      break;
    }
    case 3: {
      auto length = r.U16LE();
      if (!length)
        break;
      auto bytes = r.Bytes(std::min<size_t>(*length, r.Remaining()));
      auto score = r.I32LE();
      if (!score)
        break;
      if (FILE* f = std::fopen((folder + "/Score.htm").c_str(), "wb")) {
        std::fwrite(bytes->data(), 1, bytes->size(), f);
        std::fclose(f);
      }
      what = "score page";
      win::SendMessage(hwnd, win::WM_USER, kSingScore, *score);
      break;
    }
    case 4: {
      auto width = r.U16LE();
      auto height = r.U16LE();
      if (!width || !height)
        break;
      what = "resize";
      ui::MoveWindow(hwnd, 0, 0, std::min<int32_t>(*width, kMaxSide),
                     std::min<int32_t>(*height, kMaxSide), true);
      break;
    }
    default:
      what = "pump";
      break;
    }
    if (what.empty())
      break; // a cut record
    win::ProcessPendingMessages();
    if (closed)
      break;
    if (!win::IsWindow(hwnd)) {
      fault = "the frame is gone after " + what;
      break;
    }
    if (LyricReceiver* receiver = frame->Receiver()) {
      if (receiver->SlotState() < 0 || receiver->SlotState() > 3) {
        fault = "slot state " + std::to_string(receiver->SlotState()) + " after " + what;
        break;
      }
      if (receiver->LyricLength() > 0xFFFF) {
        fault = "lyric length past 16 bits after " + what;
        break;
      }
    }
  }
  if (win::IsWindow(hwnd))
    win::SendMessage(hwnd, kCloseMessage, 0, 0);
  win::ProcessPendingMessages();
  if (fault.empty() && win::IsWindow(hwnd))
    fault = "the frame outlived its close";
  frame.reset();
  return fault;
}

} // namespace displaytest
