// The open- and save-file dialogs: a filter of named pattern groups and the
// one chosen first, a starting file name and folder, and the path and
// filter the user chose. As with message boxes, the current backend decides
// where it goes: a Qt dialog when the process can show one, a script in
// tests, and otherwise nothing is chosen.
#pragma once

#include "platform/ui/backend.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QFileDialog;

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
  // Save: any name may be typed (no must-exist check), and an existing
  // file is only taken after the overwrite question.
  bool save = false;
  // Save: false when the caller asks the overwrite question itself (after
  // it has completed the name), so the dialog does not ask it as well.
  bool askOverwrite = true;
  int filterIndex = 1;       // the group chosen first, from 1; others as 1
  std::string initialFolder; // empty: the folder of fileName, else the current one
};

// What the user chose: the path and the filter group it was chosen under
// (from 1).
struct FileChoice {
  std::string path;
  int filterIndex = 1;
  friend bool operator==(const FileChoice&, const FileChoice&) = default;
};

class FileDialogBackend {
public:
  virtual ~FileDialogBackend() = default;
  // The slot every file dialog asks: Qt unless something else is put in.
  static BackendSlot<FileDialogBackend>& Slot();
  // Shows the dialog and waits; the choice, or nullopt.
  virtual std::optional<FileChoice> Run(const OpenFileRequest& request) = 0;
};

// Shows an open-file dialog through the current backend. Call it on the
// thread that owns request.owner.
std::optional<std::string> GetOpenFileName(const OpenFileRequest& request);
// Either dialog (request.save says which) with the filter chosen.
std::optional<FileChoice> RunFileDialog(const OpenFileRequest& request);
// The save dialog.
std::optional<FileChoice> GetSaveFileName(OpenFileRequest request);

// Puts backend in place of the chosen one (null goes back to choosing);
// returns the one it replaces.
std::shared_ptr<FileDialogBackend> SetFileDialogBackend(std::shared_ptr<FileDialogBackend> backend);

using ScopedFileDialogBackend = ScopedBackend<FileDialogBackend>;

// For tests: records every dialog and answers from a queue (an empty path
// stands for Cancel); with the queue empty, Cancel. An answer without an
// index keeps the request's.
class ScriptedFileDialog : public FileDialogBackend {
public:
  void Answer(std::string path);
  void Answer(std::string path, int filterIndex);
  std::optional<FileChoice> Run(const OpenFileRequest& request) override;
  std::vector<OpenFileRequest> Shown() const;

private:
  mutable std::mutex mutex_;
  std::deque<std::pair<std::string, std::optional<int>>> answers_;
  std::vector<OpenFileRequest> shown_;
};

// A modal QFileDialog on the Qt application's thread; nothing is chosen
// where no Qt dialog can be shown (see CanShowQtDialogs). With a driver
// (tests) the dialog is made wherever a QApplication runs, and the driver
// is called once it runs, to act on it as a person would.
class QtFileDialog : public FileDialogBackend {
public:
  using Driver = std::function<void(QFileDialog& dialog)>;
  explicit QtFileDialog(Driver driver = {}) : driver_(std::move(driver)) {}
  std::optional<FileChoice> Run(const OpenFileRequest& request) override;

private:
  Driver driver_;
};

} // namespace ui
