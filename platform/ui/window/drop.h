// Files dropped on a screen window: a window that accepts them (the
// WS_EX_ACCEPTFILES style, or DragAcceptFiles) receives WM_DROPFILES with the
// dropped paths, after the drop, through its message loop.
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <string>
#include <vector>

namespace ui {

// What WM_DROPFILES's wParam points at, valid during the call.
struct DropFiles {
  std::vector<std::string> paths; // local file paths as the file system has them
  gdi::Point point;               // where they were dropped, client coordinates
};
inline const DropFiles* AsDropFiles(win::WParam wParam) {
  return reinterpret_cast<const DropFiles*>(wParam);
}

// The most paths one drop delivers; further ones are left out.
inline constexpr size_t kMaxDroppedFiles = 4096;

bool DragAcceptFiles(win::Hwnd hwnd, bool accept);

} // namespace ui
