#include "host/edit_command.h"

#include "host/display_command.h"
#include "host/remote_window.h"
#include "host/tamblo_client.h"
#include "host/window_app.h"
#include "platform/sys/library.h"
#include "platform/ui/frame/frame_wnd.h"
#include "platform/win/window.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace host {
namespace {

constexpr const char* kUsage = "usage: vexo3 edit [FILE] [--device N] [--display]\n";

struct EditOptions {
  std::string file;
  int device = -1;
  bool display = false;
};

bool Parse(std::span<char*> args, EditOptions& o, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (a == "--device") {
      char* end = nullptr;
      const char* v = i + 1 < args.size() ? args[++i] : nullptr;
      const long n = v ? std::strtol(v, &end, 10) : -1;
      if (!v || *end || n < 0 || n > INT16_MAX) {
        error = "--device takes a device number (see 'vexo3 devices')";
        return false;
      }
      o.device = static_cast<int>(n);
    } else if (a == "--display") {
      o.display = true;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option '" + std::string(a) + "'";
      return false;
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      error = "one song file at a time";
      return false;
    }
  }
  return true;
}

// The editor's frame of this process (the player core runs once a
// session, so there is no other); 0 while none stands.
win::Hwnd EditorFrame() {
  const win::Hwnd hwnd = win::FindWindow(ui::kFrameClass, std::nullopt);
  return hwnd && win::GetWindowProcessId(hwnd) == static_cast<uint32_t>(getpid()) ? hwnd : 0;
}

} // namespace

int EditCommand(std::span<char*> args) {
  EditOptions o;
  std::string error;
  if (!Parse(args, o, error)) {
    std::fprintf(stderr, "vexo3: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  std::error_code ec;
  if (!o.file.empty() && !std::filesystem::is_regular_file(o.file, ec)) {
    std::fprintf(stderr, "vexo3: %s: no such file\n", o.file.c_str());
    return 1;
  }
  std::unique_ptr<RemoteWindows> windows;
  std::unique_ptr<TambloClient> client;
  win::Hwnd frame = 0;
  auto fail = [](const std::string& text) {
    std::fprintf(stderr, "vexo3: %s\n", text.c_str());
    return false;
  };
  auto open = [&]() -> bool {
    windows = std::make_unique<RemoteWindows>();
    if (!windows->Ok())
      return fail("the host's windows cannot be made");
    client = TambloClient::Start(sys::ProgramFolder(), &error);
    if (!client || !client->Init(windows->Frame(), windows->Remote(), &error))
      return fail(error);
    const TambloExports& t = client->Exports();
    if (o.device >= 0) {
      auto info = DescribeDevice(t, o.device);
      if (!info)
        return fail("there is no MIDI output device " + std::to_string(o.device) +
                    " (see 'vexo3 devices')");
      t.SetDefaultMidiOutDevice(info->name.c_str(), info->productId);
    }
    if (o.display && !StartDisplayIfNotRunning(&error))
      std::fprintf(stderr, "vexo3: editing without the lyric display: %s\n", error.c_str());
    if (!o.file.empty() && !t.LoadFile(o.file.c_str(), kKindByExtension))
      std::fprintf(stderr, "vexo3: %s: the player core cannot read this song\n", o.file.c_str());
    t.OpenEditor();
    frame = EditorFrame();
    if (!frame)
      return fail("the song editor cannot be opened");
    return true;
  };
  const int code = RunWindowCommandUntil("edit", open, [&] { return !win::IsWindow(frame); });
  if (client) {
    client->Exports().Stop();
    client->Exports().CloseFile();
  }
  client.reset();
  windows.reset();
  return code;
}

} // namespace host
