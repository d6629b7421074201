#include "platform/ui/modal/messagebox.h"

#include "platform/ui/modal/modal_hook.h"

#include "platform/sys/codepage.h"
#include "platform/sys/log.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QThread>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ui {
namespace {

std::mutex resolverMutex;
OwnerResolver ownerResolver; // guarded by resolverMutex

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool IsHeadlessPlatform(std::string_view name) {
  return StartsWith(name, "offscreen") || StartsWith(name, "minimal");
}

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

bool OnMainThread() {
  return gettid() == getpid();
}

// Whether a Unix socket at path (or, with abstract, in the abstract
// namespace) accepts a connection.
bool SocketAnswers(const std::string& path, bool abstract) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof addr.sun_path)
    return false;
  std::memcpy(addr.sun_path + offset, path.data(), path.size());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
  close(fd);
  return ok;
}

// Qt ends the process when its platform cannot reach the display, so a
// temporary application is made only for a display that answers.
bool DisplayAnswers() {
  if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
    std::string path = wayland;
    if (path[0] != '/') {
      const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      if (!runtime || !*runtime)
        return false;
      path = std::string(runtime) + "/" + path;
    }
    if (SocketAnswers(path, false))
      return true;
  }
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    return false;
  std::string d = display;
  if (d[0] != ':')
    return true; // a display over the network: let Qt try
  std::string number =
      d.substr(1, d.find('.') == std::string::npos ? std::string::npos : d.find('.') - 1);
  std::string path = "/tmp/.X11-unix/X" + number;
  return SocketAnswers(path, false) || SocketAnswers(path, true);
}

std::shared_ptr<MessageBoxBackend> ChooseBackend() {
  static const auto qt = std::make_shared<QtMessageBox>();
  static const auto log = std::make_shared<StderrMessageBox>();
  if (CanShowQtDialogs())
    return qt;
  return log;
}

QMessageBox::Icon IconOf(uint32_t flags) {
  switch (flags & MB_ICONMASK) {
  case MB_ICONHAND:
    return QMessageBox::Critical;
  case MB_ICONQUESTION:
    return QMessageBox::Question;
  case MB_ICONEXCLAMATION:
    return QMessageBox::Warning;
  case MB_ICONASTERISK:
    return QMessageBox::Information;
  default:
    return QMessageBox::NoIcon;
  }
}

QAbstractButton* AddButton(QMessageBox& box, int result) {
  switch (result) {
  case IDOK:
    return box.addButton(QMessageBox::Ok);
  case IDCANCEL:
    return box.addButton(QMessageBox::Cancel);
  case IDABORT:
    return box.addButton(QMessageBox::Abort);
  case IDRETRY:
    return box.addButton(QMessageBox::Retry);
  case IDIGNORE:
    return box.addButton(QMessageBox::Ignore);
  case IDYES:
    return box.addButton(QMessageBox::Yes);
  case IDNO:
    return box.addButton(QMessageBox::No);
  case IDTRYAGAIN:
    return box.addButton(QStringLiteral("&Try Again"), QMessageBox::AcceptRole);
  case IDCONTINUE:
    return box.addButton(QStringLiteral("C&ontinue"), QMessageBox::AcceptRole);
  default:
    return nullptr;
  }
}

bool Contains(const std::vector<int>& v, int x) {
  for (int y : v) {
    if (y == x)
      return true;
  }
  return false;
}

int ShowOnGuiThread(const MessageBoxRequest& request) {
  OwnerResolver resolver;
  {
    std::lock_guard lock(resolverMutex);
    resolver = ownerResolver;
  }
  QWidget* parent = request.owner && resolver ? resolver(request.owner) : nullptr;
  // On the heap and watched: a box whose owner is destroyed ends as
  // cancelled, and Qt may take it along with the owner's widget.
  QPointer<QMessageBox> guard = new QMessageBox(parent);
  QMessageBox& box = *guard;
  box.setIcon(IconOf(request.flags));
  box.setWindowTitle(
      QString::fromUtf8(request.caption.data(), static_cast<qsizetype>(request.caption.size())));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromUtf8(request.text.data(), static_cast<qsizetype>(request.text.size())));
  if (request.flags & (MB_TOPMOST | MB_SYSTEMMODAL))
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);

  std::vector<int> results = MessageBoxButtons(request.flags);
  std::vector<QAbstractButton*> buttons;
  for (int r : results)
    buttons.push_back(AddButton(box, r));
  int def = MessageBoxDefault(request.flags);
  for (size_t i = 0; i < results.size(); ++i) {
    if (results[i] == def)
      if (auto* push = qobject_cast<QPushButton*>(buttons[i]))
        box.setDefaultButton(push);
  }
  // Escape answers Cancel where the set has it, OK in a box of OK alone,
  // and nothing otherwise.
  int escape = Contains(results, IDCANCEL) ? IDCANCEL : results.size() == 1 ? IDOK : 0;
  for (size_t i = 0; i < results.size(); ++i) {
    if (results[i] == escape)
      box.setEscapeButton(buttons[i]);
  }
  if (request.flags & MB_SETFOREGROUND) {
    box.show();
    box.raise();
    box.activateWindow();
  }
  bool cancelled = false;
  {
    OwnerWatch watch(request.owner, [guard, &cancelled] {
      cancelled = true;
      if (guard)
        guard->reject();
    });
    box.exec();
  }
  if (!guard || cancelled) {
    delete guard.data();
    return Contains(results, IDCANCEL) ? IDCANCEL : escape ? escape : def;
  }
  QAbstractButton* clicked = box.clickedButton();
  int answer = escape ? escape : def;
  for (size_t i = 0; i < results.size(); ++i) {
    if (buttons[i] && buttons[i] == clicked)
      answer = results[i];
  }
  delete guard.data();
  return answer;
}

} // namespace

std::vector<int> MessageBoxButtons(uint32_t flags) {
  switch (flags & MB_TYPEMASK) {
  case MB_OKCANCEL:
    return {IDOK, IDCANCEL};
  case MB_ABORTRETRYIGNORE:
    return {IDABORT, IDRETRY, IDIGNORE};
  case MB_YESNOCANCEL:
    return {IDYES, IDNO, IDCANCEL};
  case MB_YESNO:
    return {IDYES, IDNO};
  case MB_RETRYCANCEL:
    return {IDRETRY, IDCANCEL};
  case MB_CANCELTRYCONTINUE:
    return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
  default:
    return {IDOK};
  }
}

int MessageBoxDefault(uint32_t flags) {
  std::vector<int> buttons = MessageBoxButtons(flags);
  size_t index = (flags & MB_DEFMASK) >> 8;
  return index < buttons.size() ? buttons[index] : buttons[0];
}

std::string_view ButtonName(int result) {
  switch (result) {
  case IDOK:
    return "OK";
  case IDCANCEL:
    return "Cancel";
  case IDABORT:
    return "Abort";
  case IDRETRY:
    return "Retry";
  case IDIGNORE:
    return "Ignore";
  case IDYES:
    return "Yes";
  case IDNO:
    return "No";
  case IDTRYAGAIN:
    return "Try Again";
  case IDCONTINUE:
    return "Continue";
  default:
    return "?";
  }
}

int MessageBox(std::string_view text, std::string_view caption, uint32_t flags,
               WindowHandle owner) {
  MessageBoxRequest request{std::string(text), std::string(caption), flags, owner};
  ModalScope scope;
  try {
    return MessageBoxBackend::Slot().Current()->Show(request);
  } catch (...) {
    // A box that cannot be shown must not take its caller down with it.
    return MessageBoxDefault(flags);
  }
}

int MessageBoxBytes(std::string_view text, std::string_view caption, uint32_t flags, int codePage,
                    WindowHandle owner) {
  return MessageBox(sys::ToUtf8(text, codePage), sys::ToUtf8(caption, codePage), flags, owner);
}

BackendSlot<MessageBoxBackend>& MessageBoxBackend::Slot() {
  static BackendSlot<MessageBoxBackend> slot(&ChooseBackend);
  return slot;
}

std::shared_ptr<MessageBoxBackend>
SetMessageBoxBackend(std::shared_ptr<MessageBoxBackend> backend) {
  return MessageBoxBackend::Slot().Set(std::move(backend));
}

void ScriptedMessageBox::Answer(int result) {
  std::lock_guard lock(mutex_);
  answers_.push_back(result);
}

int ScriptedMessageBox::Show(const MessageBoxRequest& request) {
  std::lock_guard lock(mutex_);
  shown_.push_back(request);
  if (answers_.empty())
    return MessageBoxDefault(request.flags);
  int result = answers_.front();
  answers_.pop_front();
  return result;
}

std::vector<MessageBoxRequest> ScriptedMessageBox::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

size_t ScriptedMessageBox::Pending() const {
  std::lock_guard lock(mutex_);
  return answers_.size();
}

int StderrMessageBox::Show(const MessageBoxRequest& request) {
  int answer = MessageBoxDefault(request.flags);
  std::string buttons;
  for (int b : MessageBoxButtons(request.flags)) {
    if (!buttons.empty())
      buttons += '/';
    buttons += ButtonName(b);
  }
  sys::Warn("ui", "message box \"%s\": %s [%s] -> %s", request.caption.c_str(),
            request.text.c_str(), buttons.c_str(), std::string(ButtonName(answer)).c_str());
  return answer;
}

bool CanShowQtDialogs() {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    if (!qobject_cast<QApplication*>(app))
      return false; // no widgets without a QApplication
    return !IsHeadlessPlatform(QGuiApplication::platformName().toStdString());
  }
  if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform) {
    if (IsHeadlessPlatform(platform))
      return false;
  }
  // A temporary application is made only on the main thread.
  return OnMainThread() && (EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY")) && DisplayAnswers();
}

void SetMessageBoxOwnerResolver(OwnerResolver resolver) {
  std::lock_guard lock(resolverMutex);
  ownerResolver = std::move(resolver);
}

int QtMessageBox::Show(const MessageBoxRequest& request) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    if (!CanShowQtDialogs())
      return StderrMessageBox().Show(request);
    static int argc = 1;
    static char name[] = "vexo3";
    static char* argv[] = {name, nullptr};
    QApplication temporary(argc, argv);
    return ShowOnGuiThread(request);
  }
  if (!qobject_cast<QApplication*>(app))
    return StderrMessageBox().Show(request);
  if (QThread::currentThread() == app->thread())
    return ShowOnGuiThread(request);
  int result = MessageBoxDefault(request.flags);
  QMetaObject::invokeMethod(
      app, [&] { result = ShowOnGuiThread(request); }, Qt::BlockingQueuedConnection);
  return result;
}

} // namespace ui
