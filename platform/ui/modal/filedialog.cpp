#include "platform/ui/modal/filedialog.h"

#include "platform/ui/dialog/dialog_view.h"

#include "platform/ui/modal/messagebox.h"
#include "platform/ui/modal/modal_hook.h"

#include <QApplication>
#include <QFileDialog>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <QTimer>

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

std::optional<FileChoice> RunFileDialog(const OpenFileRequest& request) {
  ModalScope scope;
  try {
    return FileDialogBackend::Slot().Current()->Run(request);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> GetOpenFileName(const OpenFileRequest& request) {
  OpenFileRequest open = request;
  open.save = false;
  auto choice = RunFileDialog(open);
  if (!choice)
    return std::nullopt;
  return choice->path;
}

std::optional<FileChoice> GetSaveFileName(OpenFileRequest request) {
  request.save = true;
  return RunFileDialog(request);
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
  answers_.emplace_back(std::move(path), std::nullopt);
}

void ScriptedFileDialog::Answer(std::string path, int filterIndex) {
  std::lock_guard lock(mutex_);
  answers_.emplace_back(std::move(path), filterIndex);
}

std::optional<FileChoice> ScriptedFileDialog::Run(const OpenFileRequest& request) {
  std::lock_guard lock(mutex_);
  shown_.push_back(request);
  if (answers_.empty())
    return std::nullopt;
  auto [path, index] = std::move(answers_.front());
  answers_.pop_front();
  if (path.empty())
    return std::nullopt;
  return FileChoice{std::move(path), index.value_or(request.filterIndex)};
}

std::vector<OpenFileRequest> ScriptedFileDialog::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

std::optional<FileChoice> QtFileDialog::Run(const OpenFileRequest& request) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app || QThread::currentThread() != app->thread() || (!driver_ && !CanShowQtDialogs()))
    return std::nullopt;
  const std::vector<FileFilter> filters = ParseFileFilter(request.filter);
  QStringList names;
  for (const FileFilter& f : filters)
    names << QtFilter({f});
  // On the heap and watched: when the owner's widget goes, Qt takes the
  // dialog with it and the run ends as cancelled.
  QPointer<QFileDialog> dialog =
      new QFileDialog(detail::OwnerWidget(request.owner), QString::fromStdString(request.title));
  dialog->setOption(QFileDialog::DontUseNativeDialog, static_cast<bool>(driver_));
  if (!names.isEmpty())
    dialog->setNameFilters(names);
  const int index =
      request.filterIndex >= 1 && request.filterIndex <= names.size() ? request.filterIndex : 1;
  if (!names.isEmpty())
    dialog->selectNameFilter(names[index - 1]);
  if (request.save) {
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.askOverwrite);
  } else {
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
  }
  if (!request.initialFolder.empty())
    dialog->setDirectory(QString::fromStdString(request.initialFolder));
  if (!request.fileName.empty())
    dialog->selectFile(QString::fromStdString(request.fileName));
  if (driver_)
    QTimer::singleShot(0, dialog, [this, dialog] {
      if (dialog)
        driver_(*dialog);
    });
  const int result = dialog->exec();
  if (!dialog)
    return std::nullopt;
  std::optional<FileChoice> choice;
  if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
    const qsizetype chosen = names.indexOf(dialog->selectedNameFilter());
    choice = FileChoice{dialog->selectedFiles().front().toStdString(),
                        chosen >= 0 ? static_cast<int>(chosen) + 1 : index};
  }
  delete dialog.data();
  return choice;
}

} // namespace ui
