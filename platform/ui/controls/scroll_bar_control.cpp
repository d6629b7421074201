#include "platform/ui/controls/scroll_bar_control.h"

#include "platform/ui/dialog/dialog.h"
#include "platform/ui/window/input.h"
#include "platform/win/dispatch.h"

#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace ui {

int32_t ScrollBar::MaxPosition() const {
  const auto page = static_cast<int32_t>(std::min<uint32_t>(info_.page, INT32_MAX));
  return std::max(info_.min, page > 0 ? info_.max - page + 1 : info_.max);
}

int32_t ScrollBar::Clamp(int32_t pos) const {
  return std::clamp(pos, info_.min, MaxPosition());
}

int32_t ScrollBar::SetInfo(const ScrollInfo& info) {
  if (info.mask & SIF_RANGE) {
    info_.min = std::min(info.min, info.max);
    info_.max = std::max(info.min, info.max);
  }
  if (info.mask & SIF_PAGE)
    info_.page = info.page;
  if (info.mask & SIF_POS)
    info_.pos = info.pos;
  info_.pos = Clamp(info_.pos);
  if (!tracking_)
    info_.trackPos = info_.pos;
  Changed(kStateChanged);
  return info_.pos;
}

int32_t ScrollBar::SetRange(int32_t min, int32_t max) {
  ScrollInfo info;
  info.mask = SIF_RANGE;
  info.min = min;
  info.max = max;
  return SetInfo(info);
}

int32_t ScrollBar::SetPosition(int32_t pos) {
  ScrollInfo info;
  info.mask = SIF_POS;
  info.pos = pos;
  return SetInfo(info);
}

ScrollInfo ScrollBar::Info() const {
  ScrollInfo out = info_;
  out.mask = SIF_ALL;
  return out;
}

bool ScrollBar::TakeScroll(uint32_t code, int32_t position) {
  if (code > SB_ENDSCROLL || !Owner() || !Owner()->GetHwnd())
    return false;
  if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
    tracking_ = code == SB_THUMBTRACK;
    info_.trackPos = Clamp(position);
  } else {
    tracking_ = false;
    info_.trackPos = info_.pos;
  }
  const uint32_t thumb =
      code == SB_THUMBTRACK || code == SB_THUMBPOSITION ? static_cast<uint32_t>(info_.trackPos) : 0;
  win::SendMessage(Owner()->GetHwnd(), Vertical() ? WM_VSCROLL : WM_HSCROLL,
                   MakeWParam(code, thumb & 0xFFFF), static_cast<LParam>(GetHwnd()));
  if (code == SB_THUMBPOSITION || code == SB_ENDSCROLL)
    tracking_ = false;
  return true;
}

void ScrollBar::Describe(ControlState& state) const {
  Control::Describe(state);
  state.position = info_.pos;
  state.rangeMin = info_.min;
  state.rangeMax = info_.max;
}

LResult ScrollBar::HandleMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case SBM_SETPOS: {
    const int32_t previous = info_.pos;
    SetPosition(static_cast<int32_t>(static_cast<intptr_t>(wParam)));
    return previous;
  }
  case SBM_GETPOS:
    return info_.pos;
  case SBM_SETRANGE:
  case SBM_SETRANGEREDRAW: {
    const int32_t previous = info_.pos;
    SetRange(static_cast<int32_t>(static_cast<intptr_t>(wParam)), static_cast<int32_t>(lParam));
    return previous;
  }
  case SBM_GETRANGE:
    if (wParam)
      *reinterpret_cast<int32_t*>(wParam) = info_.min;
    if (lParam)
      *reinterpret_cast<int32_t*>(lParam) = info_.max;
    return 0;
  case SBM_SETSCROLLINFO:
    return lParam ? SetInfo(*reinterpret_cast<const ScrollInfo*>(lParam)) : info_.pos;
  case SBM_GETSCROLLINFO:
    if (!lParam)
      return 0;
    *reinterpret_cast<ScrollInfo*>(lParam) = Info();
    return 1;
  default:
    return Control::HandleMessage(message, wParam, lParam);
  }
}

QWidget* ScrollBar::MakeWidget(const WidgetLink& link) {
  auto* bar = new QScrollBar(Vertical() ? Qt::Vertical : Qt::Horizontal, link.Parent());
  const int32_t id = Id();
  // Qt has moved its thumb by the action when the signal comes; the
  // control's own position, which the dialog sets, is shown again after.
  QObject::connect(bar, &QAbstractSlider::actionTriggered, link.Context(), [link, id, bar](int a) {
    uint32_t code = SB_ENDSCROLL;
    switch (a) {
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINEUP;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      code = SB_THUMBTRACK;
      break;
    default:
      return;
    }
    const int32_t at = bar->sliderPosition();
    link.Act(id, WidgetLink::WhileSyncing::Skip, kStateChanged, [id, code, at](Dialog& d) {
      d.Scroll(id, code, at);
      if (code != SB_THUMBTRACK)
        d.Scroll(id, SB_ENDSCROLL, 0);
    });
  });
  QObject::connect(bar, &QAbstractSlider::sliderReleased, link.Context(), [link, id, bar] {
    const int32_t at = bar->sliderPosition();
    link.Act(id, WidgetLink::WhileSyncing::Skip, kStateChanged, [id, at](Dialog& d) {
      d.Scroll(id, SB_THUMBPOSITION, at);
      d.Scroll(id, SB_ENDSCROLL, 0);
    });
  });
  return bar;
}

void ScrollBar::SyncWidget(QWidget& widget, uint32_t) const {
  auto& bar = static_cast<QScrollBar&>(widget);
  const auto page = static_cast<int32_t>(std::min<uint32_t>(info_.page, INT32_MAX));
  bar.setRange(info_.min, MaxPosition());
  bar.setPageStep(std::max(1, page));
  const int32_t shown = tracking_ ? info_.trackPos : info_.pos;
  bar.setSliderPosition(shown);
  bar.setValue(shown);
}

} // namespace ui
