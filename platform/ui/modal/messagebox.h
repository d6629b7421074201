// Message boxes: a text, a caption, a set of buttons and an icon, answered
// with the button chosen. The flags and results keep the values the system
// was written against (MB_YESNO, IDYES, ...).
//
// Where the box goes is up to the current backend: a Qt dialog when the
// process can show one, a script in tests, and standard error (answered with
// the default button) when there is no display.
#pragma once

#include "platform/ui/backend.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace ui {

// Buttons (the low four bits of the flags).
constexpr uint32_t MB_OK = 0x0;
constexpr uint32_t MB_OKCANCEL = 0x1;
constexpr uint32_t MB_ABORTRETRYIGNORE = 0x2;
constexpr uint32_t MB_YESNOCANCEL = 0x3;
constexpr uint32_t MB_YESNO = 0x4;
constexpr uint32_t MB_RETRYCANCEL = 0x5;
constexpr uint32_t MB_CANCELTRYCONTINUE = 0x6;
constexpr uint32_t MB_TYPEMASK = 0xF;
// Icons.
constexpr uint32_t MB_ICONHAND = 0x10;
constexpr uint32_t MB_ICONERROR = MB_ICONHAND;
constexpr uint32_t MB_ICONSTOP = MB_ICONHAND;
constexpr uint32_t MB_ICONQUESTION = 0x20;
constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
constexpr uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr uint32_t MB_ICONASTERISK = 0x40;
constexpr uint32_t MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr uint32_t MB_ICONMASK = 0xF0;
// The default button: the first, second or third of the set.
constexpr uint32_t MB_DEFBUTTON1 = 0x000;
constexpr uint32_t MB_DEFBUTTON2 = 0x100;
constexpr uint32_t MB_DEFBUTTON3 = 0x200;
constexpr uint32_t MB_DEFMASK = 0xF00;
// Modality and placement.
constexpr uint32_t MB_APPLMODAL = 0x0000;
constexpr uint32_t MB_SYSTEMMODAL = 0x1000;
constexpr uint32_t MB_TASKMODAL = 0x2000;
constexpr uint32_t MB_SETFOREGROUND = 0x10000;
constexpr uint32_t MB_TOPMOST = 0x40000;

// Results: the button chosen.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDTRYAGAIN = 10;
constexpr int IDCONTINUE = 11;

// A window handle of the suite's windowing layer; 0 is none.
using WindowHandle = uint32_t;

struct MessageBoxRequest {
  std::string text;    // UTF-8
  std::string caption; // UTF-8
  uint32_t flags = MB_OK;
  WindowHandle owner = 0;
};

// The results of the buttons flags shows, in order (MB_YESNO: IDYES, IDNO).
// An unknown button set shows OK.
std::vector<int> MessageBoxButtons(uint32_t flags);
// The result of the default button of flags (MB_DEFBUTTONn; the first
// button when the set has no n-th).
int MessageBoxDefault(uint32_t flags);
// "Yes", "No", ... for a result.
std::string_view ButtonName(int result);

class MessageBoxBackend {
public:
  virtual ~MessageBoxBackend() = default;
  // The slot every box asks: Qt where someone can see it, else standard
  // error.
  static BackendSlot<MessageBoxBackend>& Slot();
  // Shows the box and waits for the answer; returns the chosen button.
  virtual int Show(const MessageBoxRequest& request) = 0;
};

// Shows a box through the current backend. Text and caption are UTF-8. Safe
// from any thread.
int MessageBox(std::string_view text, std::string_view caption, uint32_t flags = MB_OK,
               WindowHandle owner = 0);
// As MessageBox, with text and caption in code-page bytes.
int MessageBoxBytes(std::string_view text, std::string_view caption, uint32_t flags, int codePage,
                    WindowHandle owner = 0);

// Puts backend in place of the chosen one for every later box (null goes
// back to choosing); returns the one it replaces.
std::shared_ptr<MessageBoxBackend> SetMessageBoxBackend(std::shared_ptr<MessageBoxBackend> backend);

// Installs a backend for the life of the object, then puts back the old one.
using ScopedMessageBoxBackend = ScopedBackend<MessageBoxBackend>;

// For tests: records every box and answers from a queue of results; with the
// queue empty, answers the box's default button.
class ScriptedMessageBox : public MessageBoxBackend {
public:
  void Answer(int result);
  int Show(const MessageBoxRequest& request) override;
  std::vector<MessageBoxRequest> Shown() const;
  size_t Pending() const;

private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::vector<MessageBoxRequest> shown_;
};

// Writes the box to standard error and answers its default button: for
// processes without a display.
class StderrMessageBox : public MessageBoxBackend {
public:
  int Show(const MessageBoxRequest& request) override;
};

// A modal QMessageBox, shown on the Qt application's thread (a caller on
// another thread waits until that thread has shown it and it is answered).
// When the process has no Qt application yet, one is made for the time of
// the box (on the main thread only; elsewhere the box goes to standard
// error).
class QtMessageBox : public MessageBoxBackend {
public:
  int Show(const MessageBoxRequest& request) override;
};

// Finds the Qt widget of an owner window for the Qt backend (the windowing
// layer installs it); without one, or when it gives null, the box has no
// parent.
using OwnerResolver = std::function<QWidget*(WindowHandle)>;
void SetMessageBoxOwnerResolver(OwnerResolver resolver);

// True when a Qt dialog can be shown to someone: a QApplication on a real
// platform, or none yet and a display that answers. The offscreen and
// minimal platforms show nothing to anyone.
bool CanShowQtDialogs();

} // namespace ui
