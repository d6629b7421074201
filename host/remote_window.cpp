#include "host/remote_window.h"

#include <algorithm>
#include <cstring>

namespace host {

win::LResult RemoteWindow::WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) {
  if (message == win::WM_USER) {
    switch (wParam) {
    case kProgressNotifyCode:
      perMille = static_cast<int32_t>(lParam);
      return 0;
    case kEndNotifyCode:
      ended = true;
      return 0;
    case kPlayStoppedCode:
      stopped = true;
      return 0;
    case kWaveDoneCode:
      ++wavesDone;
      return 0;
    default:
      return 0;
    }
  }
  if (message == win::WM_COPYDATA) {
    const win::CopyData* copy = win::AsCopyData(lParam);
    if (copy && copy->kind == kTitleCopyKind && copy->data) {
      // 48 bytes that need not end in a zero.
      const char* bytes = static_cast<const char*>(copy->data);
      const size_t size = std::min<size_t>(copy->size, kTitleSize);
      title.assign(bytes, strnlen(bytes, size));
      return 1;
    }
    if (copy && copy->kind == kAlbumStatusKind && copy->data) {
      if (albumStatus)
        albumStatus(std::string_view(static_cast<const char*>(copy->data), copy->size));
      return 1;
    }
    if (copy && (copy->kind == kReserveReplacedKind || copy->kind == kListModeKind)) {
      if (albumNotice)
        albumNotice(copy->kind, static_cast<win::Hwnd>(wParam));
      return 1;
    }
    return 0;
  }
  return win::Window::WindowProc(message, wParam, lParam);
}

RemoteWindows::RemoteWindows() {
  registered_ =
      win::RegisterClass({kRemoteFrameClass, 0, [] { return std::make_unique<win::Window>(); }}) &&
      win::RegisterClass({kRemoteClass, 0, [] { return std::make_unique<win::Window>(); }});
  if (!registered_)
    return;
  win::CreateParams frame;
  frame.className = kRemoteFrameClass;
  frame.title = "vexo3";
  frame_ = win::CreateWindow(frame);
  if (frame_ == 0)
    return;
  win::CreateParams remote;
  remote.className = kRemoteClass;
  remote.style = win::WS_CHILD;
  remote.parent = frame_;
  remote.object = &object_;
  remote_ = win::CreateWindow(remote);
}

RemoteWindows::~RemoteWindows() {
  if (frame_ != 0)
    win::DestroyWindow(frame_); // the child goes with it
  win::UnregisterClass(kRemoteClass);
  win::UnregisterClass(kRemoteFrameClass);
}

} // namespace host
