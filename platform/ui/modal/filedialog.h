// The open-file dialog: a filter of named pattern groups, a starting file
// name, and the path the user chose. As with message boxes, the current
// backend decides where it goes: a Qt dialog when the process can show one,
// a script in tests, and otherwise nothing is chosen.
#pragma once

#include "platform/ui/backend.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct FileFilter {
  std::string name;                  // "Image (*.bmp,*.gif)"
  std::vector<std::string> patterns; // "*.bmp", "*.gif"
};

// The filter text as the system writes it: name and patterns separated by
// '|', patterns separated by ';', ended by "||" ("Text|*.txt|All|*.*||").
// A group without patterns is dropped.
std::vector<FileFilter> ParseFileFilter(std::string_view filter);

struct OpenFileRequest {
  std::string filter;   // as ParseFileFilter reads it
  std::string fileName; // the name (or path) the dialog starts with; UTF-8
  std::string title;    // empty: the platform's own
  uint32_t owner = 0;   // a window of the suite's windowing layer, 0 none
};

class FileDialogBackend {
public:
  virtual ~FileDialogBackend() = default;
  // The slot every file dialog asks: Qt unless something else is put in.
  static BackendSlot<FileDialogBackend>& Slot();
  // Shows the dialog and waits; the chosen file's path, or nullopt.
  virtual std::optional<std::string> Open(const OpenFileRequest& request) = 0;
};

// Shows an open-file dialog through the current backend. Call it on the
// thread that owns request.owner.
std::optional<std::string> GetOpenFileName(const OpenFileRequest& request);

// Puts backend in place of the chosen one (null goes back to choosing);
// returns the one it replaces.
std::shared_ptr<FileDialogBackend> SetFileDialogBackend(std::shared_ptr<FileDialogBackend> backend);

using ScopedFileDialogBackend = ScopedBackend<FileDialogBackend>;

// For tests: records every dialog and answers from a queue (an empty string
// stands for Cancel); with the queue empty, Cancel.
class ScriptedFileDialog : public FileDialogBackend {
public:
  void Answer(std::string path);
  std::optional<std::string> Open(const OpenFileRequest& request) override;
  std::vector<OpenFileRequest> Shown() const;

private:
  mutable std::mutex mutex_;
  std::deque<std::string> answers_;
  std::vector<OpenFileRequest> shown_;
};

// A modal QFileDialog on the Qt application's thread; nothing is chosen
// where no Qt dialog can be shown (see CanShowQtDialogs).
class QtFileDialog : public FileDialogBackend {
public:
  std::optional<std::string> Open(const OpenFileRequest& request) override;
};

} // namespace ui
