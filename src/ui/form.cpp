#include "ui/form.h"

#include <algorithm>

#include "ui/control.h"
#include "ui/timer.h"

namespace nd::ui {

Form::Form(std::string name) : name_(std::move(name)) {}

Form::~Form() {
  // Controls normally go first, as members of the derived window; any left over must not call
  // back into a destroyed form.
  for (Control* control : controls_) control->form_ = nullptr;
  if (scheduler_) scheduler_->FormDestroyed(*this);
}

void Form::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  NotifyForm(Property::kCaption);
}

void Form::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  NotifyForm(Property::kVisible);
}

void Form::Show() {
  if (closed_) {
    closed_ = false;
    NotifyForm(Property::kClosed);
  }
  SetVisible(true);
}

std::vector<Timer*> Form::Timers() const {
  std::vector<Timer*> timers;
  for (Control* control : controls_) {
    if (auto* timer = dynamic_cast<Timer*>(control)) timers.push_back(timer);
  }
  return timers;
}

Control* Form::Find(std::string_view name, int index) const {
  auto it = std::find_if(controls_.begin(), controls_.end(), [&](const Control* control) {
    return control->Name() == name && control->Index() == index;
  });
  return it == controls_.end() ? nullptr : *it;
}

bool Form::Close(CloseReason reason) {
  if (closed_) return true;
  if (closing_) return false;
  closing_ = true;
  std::function<bool(CloseReason)> query = OnQueryUnload;
  bool keep_open = query && query(reason);
  if (!keep_open) {
    std::function<void()> unload = OnUnload;
    if (unload) unload();
  }
  closing_ = false;
  if (keep_open) return false;
  SetVisible(false);
  closed_ = true;
  NotifyForm(Property::kClosed);
  return true;
}

void Form::Register(Control& control) { controls_.push_back(&control); }

void Form::Unregister(Control& control) {
  std::erase(controls_, &control);
  // Controls that outlive their panel end up directly on the window.
  for (Control* other : controls_) {
    if (static_cast<Control*>(other->parent_) == &control) other->parent_ = nullptr;
  }
}

void Form::NotifyForm(Property property) {
  if (observer_) observer_->FormChanged(*this, property);
}

}  // namespace nd::ui
