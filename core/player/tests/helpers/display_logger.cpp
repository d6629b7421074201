// A stand-in lyric display for tests: it finds the host's "VEXO3REMOTE"
// window and the player core's "MSG_TAMBLO" window under it, links its own
// frame with LinkDisplay and writes every message it receives to the log
// file, one line each:
//   user <code> <lParam>                  WM_USER
//   copy <kind, hex> <size> <bytes, hex>  WM_COPYDATA
//   message <number, hex> <wParam> <lParam>
// Like the display it asks for a line's information (LineInfoRequest,
// logged "request 515 <line>") when a syllable of another line arrives.
// It reports "linked <frame>" or "no host" on its output, and "stopped" for
// every PlayStopped; it unlinks itself
// and ends when its input closes or the player core's window goes away.
//
// display_logger LOGFILE [WAIT_MS [CLASS]]   (how long to look for the host,
// 10 s; the frame's window class, "VexoDisplayLogger" unless told, so that a
// host looking for the display's own class finds the stand-in)
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr uint32_t kPlayStopped = 258;
constexpr uint32_t kLinkDisplay = 517;
constexpr uint32_t kLineInfoRequest = 515;
constexpr uint32_t kEventCopy = 0x10010;
constexpr uint32_t kWatchTimer = 1;

FILE* logFile = nullptr;
win::Hwnd tamblo = 0;

void Log(const std::string& line) {
  std::fputs(line.c_str(), logFile);
  std::fputc('\n', logFile);
  std::fflush(logFile);
}

std::string Hex(const uint8_t* bytes, uint32_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (uint32_t i = 0; i < size; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

class Frame : public win::Window {
public:
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    char text[96];
    switch (message) {
    case win::WM_NCCREATE:
    case win::WM_CREATE:
    case win::WM_NCDESTROY:
      return win::Window::WindowProc(message, wParam, lParam);
    case win::WM_TIMER:
      if (wParam == kWatchTimer && !win::IsWindow(tamblo))
        win::DestroyWindow(GetHwnd());
      return 0;
    case win::WM_CLOSE:
      win::DestroyWindow(GetHwnd());
      return 0;
    case win::WM_DESTROY:
      if (win::IsWindow(tamblo))
        win::SendMessageTimeout(tamblo, win::WM_USER, kLinkDisplay, 0, 2000);
      win::PostQuitMessage(0);
      return 0;
    case win::WM_USER:
      std::snprintf(text, sizeof text, "user %" PRIuPTR " %" PRIdPTR, wParam, lParam);
      Log(text);
      if (wParam == kPlayStopped) {
        std::printf("stopped\n");
        std::fflush(stdout);
      }
      return 0;
    case win::WM_COPYDATA: {
      const win::CopyData* data = win::AsCopyData(lParam);
      if (!data)
        return 0;
      const auto* bytes = static_cast<const uint8_t*>(data->data);
      std::snprintf(text, sizeof text, "copy %" PRIxPTR " %u ", data->kind, data->size);
      Log(text + Hex(bytes, data->size));
      if (data->kind == kEventCopy && data->size == 24 && bytes[16] == 16) {
        const int line = bytes[18] | bytes[19] << 8;
        if (line != lastRequested_) {
          lastRequested_ = line;
          std::snprintf(text, sizeof text, "request %u %d", kLineInfoRequest, line);
          Log(text);
          win::PostMessage(tamblo, win::WM_USER, kLineInfoRequest, line);
        }
      }
      return 0;
    }
    default:
      std::snprintf(text, sizeof text, "message %x %" PRIuPTR " %" PRIdPTR, message, wParam,
                    lParam);
      Log(text);
      return 0;
    }
  }

private:
  int lastRequested_ = -1;
};

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: display_logger LOGFILE [WAIT_MS]\n");
    return 2;
  }
  logFile = std::fopen(argv[1], "w");
  if (!logFile) {
    std::perror(argv[1]);
    return 1;
  }
  const int waitMs = argc > 2 ? std::stoi(argv[2]) : 10000;

  // The player core's window under the host's top window.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (true) {
    if (win::Hwnd host = win::FindWindow("VEXO3REMOTE", std::nullopt))
      tamblo = win::FindWindowEx(host, "MSG_TAMBLO", "MESSAGE");
    if (tamblo || std::chrono::steady_clock::now() >= deadline)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!tamblo) {
    std::printf("no host\n");
    return 1;
  }

  const std::string className = argc > 3 ? argv[3] : "VexoDisplayLogger";
  win::RegisterClass({className, 0, [] { return std::make_unique<Frame>(); }});
  win::CreateParams params;
  params.className = className;
  params.title = "display log";
  const win::Hwnd frame = win::CreateWindow(params);
  if (!frame) {
    std::printf("no window\n");
    return 1;
  }
  win::SetTimer(frame, kWatchTimer, 500);
  win::SendMessageTimeout(tamblo, win::WM_USER, kLinkDisplay, frame, 2000);
  std::printf("linked %u\n", frame);
  std::fflush(stdout);

  // The end of the input closes the frame.
  std::thread([frame] {
    char c;
    while (read(0, &c, 1) > 0) {
    }
    win::PostMessage(frame, win::WM_CLOSE);
  }).detach();
  win::RunMessageLoop();
  std::printf("unlinked\n");
  std::fflush(stdout);
  std::fclose(logFile);
  return 0;
}
