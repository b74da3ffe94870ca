#include "ui/widget_binding.h"

#include "ui/control.h"
#include "ui/form.h"

namespace nd::ui {

WidgetBinding::~WidgetBinding() { Detach(); }

void WidgetBinding::Attach() {
  form_->SetObserver(this);
  form_->SetScheduler(this);
  if (form_->IsClosed()) return;
  if (form_->Visible()) ShowFrame(true);
  for (Timer* timer : form_->Timers()) TimerChanged(*timer);
}

void WidgetBinding::Detach() {
  if (!form_) return;
  if (form_->Observer() == this) form_->SetObserver(nullptr);
  if (form_->Scheduler() == this) form_->SetScheduler(nullptr);
}

void WidgetBinding::Shutdown() {
  shut_down_ = true;
  StopAllTimers();
  DropFrame();
}

void WidgetBinding::ControlChanged(Control& control, Property property) {
  if (!HasFrame()) return;
  if (dynamic_cast<Panel*>(&control)) {
    // Geometry, visibility and enabled state of everything inside may have changed with it.
    RefreshAll();
    return;
  }
  if (!HasWidget(control)) {
    CreateWidget(control);
    return;
  }
  switch (property) {
    case Property::kCaption:
      Apply(control, Aspect::kCaption);
      break;
    case Property::kToolTipText:
      Apply(control, Aspect::kToolTip);
      break;
    case Property::kVisible:
    case Property::kEnabled:
      Apply(control, Aspect::kState);
      break;
    case Property::kLeft:
    case Property::kTop:
    case Property::kWidth:
    case Property::kHeight:
    case Property::kParent:
      Apply(control, Aspect::kGeometry);
      Apply(control, Aspect::kState);
      break;
    case Property::kValue:
    case Property::kMax:
      Apply(control, Aspect::kValue);
      break;
    case Property::kPicture:
      Apply(control, Aspect::kPicture);
      break;
    case Property::kColumns:
      Apply(control, Aspect::kColumns);
      break;
    case Property::kRows:
      Apply(control, Aspect::kRows);
      break;
    case Property::kFontCharset:
      Apply(control, Aspect::kFont);
      break;
    case Property::kInterval:
    case Property::kClosed:
      break;
  }
}

void WidgetBinding::ControlLoaded(Control& control) {
  if (HasFrame()) CreateWidget(control);
}

void WidgetBinding::FormChanged(Form& form, Property property) {
  switch (property) {
    case Property::kCaption:
      if (HasFrame()) SetTitle(form.Caption());
      break;
    case Property::kVisible:
      ShowFrame(form.Visible());
      break;
    case Property::kClosed:
      if (form.IsClosed()) {
        StopAllTimers();
        DropFrame();
      } else {
        for (Timer* timer : form.Timers()) TimerChanged(*timer);
      }
      break;
    default:
      break;
  }
}

void WidgetBinding::TimerChanged(Timer& timer) {
  if (!form_ || form_->IsClosed() || shut_down_) {
    StopTimer(timer);
  } else {
    RestartTimer(timer);
  }
}

void WidgetBinding::TimerRemoved(Timer& timer) { StopTimer(timer); }

void WidgetBinding::FormDestroyed(Form& /*form*/) {
  StopAllTimers();
  DropFrame();
  form_ = nullptr;
}

}  // namespace nd::ui
