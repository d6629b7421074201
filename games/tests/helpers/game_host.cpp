// A scripted stand-in for the host, for the games' process tests: it owns
// "VEXO3REMOTE" and its "MSG_REMOTE" child, answers the games' requests as
// its options say and writes one line per message to standard output.
// Lines on standard input make it act: "variants" sends twelve song records
// of every size, kind and sender to the last asking window, "close presence"
// and "close frame" post GameClose, "quit" ends the process at once.
#include "platform/sys/instance.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
  int allow = 1;
  int count = 12;
  int score = 80;
  int hangMs = 0;           // how long SongCountQuery keeps the game waiting
  bool recordDuringCount = false;
  bool presence = false;
  uintptr_t kind = 0x10300;
} opt;

win::Hwnd gRemote = 0, gOther = 0;
win::Hwnd gAsking = 0, gPlayTarget = 0;
std::mutex gMutex;
std::deque<std::string> gCommands;

void Line(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

std::vector<uint8_t> Record(int32_t number, uint32_t size) {
  std::vector<uint8_t> r(size, 0);
  std::memcpy(r.data(), &number, 4);
  const std::string title = "Song " + std::to_string(number);
  std::memcpy(r.data() + 4, title.data(), title.size());
  std::memcpy(r.data() + 52, "Singer", 6);
  r[284] = 't';
  return r;
}

void SendRecord(win::Hwnd to, win::Hwnd from, uintptr_t kind, int32_t number, uint32_t size) {
  const std::vector<uint8_t> r = Record(number, size);
  const win::LResult result = win::SendCopyData(to, from, kind, r.data(), size);
  Line("copy " + std::to_string(number) + " result " + std::to_string(result));
}

void RunCommand(const std::string& command) {
  if (command == "variants") {
    int32_t number = 0;
    for (uint32_t size : {800u, 801u, 802u})
      for (uintptr_t kind : {opt.kind, opt.kind ^ 1})
        for (win::Hwnd from : {gRemote, gOther})
          SendRecord(gAsking, from, kind, ++number, size);
  } else if (command == "close presence") {
    win::PostMessage(win::FindWindow(std::nullopt, "VelmorithGame"), win::WM_USER, 1035, 0);
  } else if (command == "close frame") {
    win::PostMessage(gAsking, win::WM_USER, 1035, 0);
  } else if (command == "quit") {
    std::_Exit(0);
  }
}

win::LResult Remote(win::Hwnd, uint32_t message, win::WParam wParam, win::LParam lParam) {
  if (message == win::WM_APP) {
    std::string command;
    {
      std::lock_guard lock(gMutex);
      command = gCommands.front();
      gCommands.pop_front();
    }
    RunCommand(command);
    return 1;
  }
  if (message != win::WM_USER)
    return 0;
  const uint32_t code = static_cast<uint32_t>(wParam);
  std::string line = "recv " + std::to_string(code) + " " + std::to_string(lParam);
  switch (code) {
  case 1036: { // GameAllowQuery
    const bool free = sys::InstanceGuard::TryAcquire("VelmorithGame").has_value();
    Line(line + (free ? " claim=free" : " claim=held"));
    return opt.allow;
  }
  case 1031: // SongCountQuery
    Line(line);
    gAsking = static_cast<win::Hwnd>(lParam);
    if (opt.recordDuringCount)
      SendRecord(gAsking, gRemote, opt.kind, 501, 801);
    if (opt.hangMs)
      std::this_thread::sleep_for(std::chrono::milliseconds(opt.hangMs));
    return opt.count;
  case 1033: // SongRecordTarget
    Line(line);
    gAsking = static_cast<win::Hwnd>(lParam);
    return 1;
  case 2305: // PlayTarget
    Line(line);
    gPlayTarget = static_cast<win::Hwnd>(lParam);
    return 1;
  case 1026: // SongRecordRequest
    Line(line);
    SendRecord(static_cast<win::Hwnd>(lParam), gRemote, opt.kind, 77, 801);
    return 0;
  case 1037: // AllSongRecordsRequest
    Line(line);
    for (int32_t n : {31, 32, 33})
      SendRecord(gAsking, gRemote, opt.kind, n, 801);
    win::PostMessage(static_cast<win::Hwnd>(lParam), win::WM_USER, 5120, 0);
    return 0;
  case 1029: // PlaySongNumber
    Line(line);
    win::PostMessage(gPlayTarget, win::WM_USER, 258, 0);
    win::PostMessage(gPlayTarget, win::WM_USER, 1537, opt.score);
    return 0;
  default:
    Line(line);
    return 0;
  }
}

} // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
    if (a == "--allow")
      opt.allow = next();
    else if (a == "--count")
      opt.count = next();
    else if (a == "--score")
      opt.score = next();
    else if (a == "--hang-ms")
      opt.hangMs = next();
    else if (a == "--record-during-count")
      opt.recordDuringCount = true;
    else if (a == "--presence")
      opt.presence = true;
    else if (a == "--kind")
      opt.kind = static_cast<uintptr_t>(next());
  }
  wintest::RegisterFnClass("VEXO3REMOTE", nullptr);
  wintest::RegisterFnClass("MSG_REMOTE", Remote);
  wintest::RegisterFnClass("OtherSender", nullptr);
  const win::Hwnd frame = wintest::MakeWindow("VEXO3REMOTE");
  gRemote = wintest::MakeWindow("MSG_REMOTE", "", frame);
  gOther = wintest::MakeWindow("OtherSender");
  if (opt.presence)
    wintest::MakeWindow("OtherSender", "VelmorithGame");
  if (!frame || !gRemote || !gOther)
    return 1;
  std::thread([] {
    std::string command;
    while (std::getline(std::cin, command)) {
      {
        std::lock_guard lock(gMutex);
        gCommands.push_back(command);
      }
      win::PostMessage(gRemote, win::WM_APP, 0, 0);
    }
  }).detach();
  Line("ready");
  return win::RunMessageLoop();
}
