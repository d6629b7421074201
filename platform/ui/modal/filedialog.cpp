#include "platform/ui/modal/filedialog.h"

#include "platform/ui/modal/messagebox.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <QThread>

namespace ui {
namespace {

std::shared_ptr<FileDialogBackend> ChooseBackend() {
  static const auto qt = std::make_shared<QtFileDialog>();
  return qt;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos)
      end = text.size();
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

QString QtFilter(const std::vector<FileFilter>& filters) {
  QStringList groups;
  for (const auto& f : filters) {
    QStringList patterns;
    for (const auto& p : f.patterns)
      patterns << QString::fromStdString(p);
    // Qt reads the patterns from the last parentheses of a group's name.
    groups << QString::fromStdString(f.name) + " (" + patterns.join(' ') + ")";
  }
  return groups.join(";;");
}

} // namespace

std::vector<FileFilter> ParseFileFilter(std::string_view filter) {
  std::vector<FileFilter> out;
  std::vector<std::string> fields = Split(filter, '|');
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    if (fields[i].empty())
      break; // the "||" that ends the filter
    FileFilter f{fields[i], {}};
    for (auto& p : Split(fields[i + 1], ';'))
      if (!p.empty())
        f.patterns.push_back(std::move(p));
    if (!f.patterns.empty())
      out.push_back(std::move(f));
  }
  return out;
}

std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) {
  try {
    return FileDialogBackend::Slot().Current()->Open(request);
  } catch (...) {
    return std::nullopt;
  }
}

BackendSlot<FileDialogBackend>& FileDialogBackend::Slot() {
  static BackendSlot<FileDialogBackend> slot(&ChooseBackend);
  return slot;
}

std::shared_ptr<FileDialogBackend>
SetFileDialogBackend(std::shared_ptr<FileDialogBackend> backend) {
  return FileDialogBackend::Slot().Set(std::move(backend));
}

void ScriptedFileDialog::Answer(std::string path) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(path));
}

std::optional<std::string> ScriptedFileDialog::Open(const OpenFileRequest& request) {
  std::lock_guard lock(mutex_);
  shown_.push_back(request);
  if (answers_.empty())
    return std::nullopt;
  std::string path = std::move(answers_.front());
  answers_.pop_front();
  if (path.empty())
    return std::nullopt;
  return path;
}

std::vector<OpenFileRequest> ScriptedFileDialog::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

std::optional<std::string> QtFileDialog::Open(const OpenFileRequest& request) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app || QThread::currentThread() != app->thread() || !CanShowQtDialogs())
    return std::nullopt;
  QString path = QFileDialog::getOpenFileName(nullptr, QString::fromStdString(request.title),
                                              QString::fromStdString(request.fileName),
                                              QtFilter(ParseFileFilter(request.filter)));
  if (path.isEmpty())
    return std::nullopt;
  return path.toStdString();
}

} // namespace ui
