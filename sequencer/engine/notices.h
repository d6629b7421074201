// Where the engine's notices and its one message box go. The notices are
// posted to the window that InitPavik32 named, through a poster that the
// player core installs (the window-message layer's post); until then they
// are dropped. Tests install recorders for both.
#pragma once

#include "sequencer/engine/pavik32.h"

#include <cstdint>

namespace seq {

using NoticePoster = PavikNoticePoster;
void SetNoticePoster(NoticePoster poster);

// Posts message (wParam, lParam) to the notification window.
void PostNotice(uint32_t message, uint64_t wParam, int64_t lParam);
// The WM_USER code notices.
void PostEndNotify(int64_t lParam);
void PostProgressNotify(int64_t lParam);
void PostMeterNotify();
void PostRealTimeEvent(uint16_t track, uint32_t postValue);

// Shows an error message box with an OK button and no owner window.
using MessageBoxShower = void (*)(const char* text, const char* caption);
void SetMessageBoxShower(MessageBoxShower shower);
void ShowErrorBox(const char* text, const char* caption);

} // namespace seq
