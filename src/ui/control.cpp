#include "ui/control.h"

#include "ui/form.h"

namespace nd::ui {

Control::Control(std::string name) : name_(std::move(name)), font_charset_(kDefaultFontCharset) {}

Control::Control(Form& form, std::string name) : Control(std::move(name)) {
  form_ = &form;
  form.Register(*this);
}

Control::~Control() {
  if (form_) form_->Unregister(*this);
}

void Control::SetCaption(std::string caption) {
  Assign(caption_, std::move(caption), Property::kCaption);
}
void Control::SetToolTipText(std::string text) {
  Assign(tool_tip_, std::move(text), Property::kToolTipText);
}
void Control::SetVisible(bool visible) { Assign(visible_, visible, Property::kVisible); }
void Control::SetEnabled(bool enabled) { Assign(enabled_, enabled, Property::kEnabled); }
void Control::SetFontCharset(int16_t charset) {
  Assign(font_charset_, charset, Property::kFontCharset);
}

void Control::SetLeft(int twips) { Assign(left_, twips, Property::kLeft); }
void Control::SetTop(int twips) { Assign(top_, twips, Property::kTop); }
void Control::SetWidth(int twips) { Assign(width_, twips, Property::kWidth); }
void Control::SetHeight(int twips) { Assign(height_, twips, Property::kHeight); }

void Control::Move(int left, int top, int width, int height) {
  SetLeft(left);
  SetTop(top);
  SetWidth(width);
  SetHeight(height);
}

bool Control::SetParent(Panel* panel) {
  for (const Control* outer = panel; outer; outer = outer->parent_) {
    if (outer == this) return false;
  }
  Assign(parent_, panel, Property::kParent);
  return true;
}

bool Control::IsShown() const {
  for (const Control* c = this; c; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

bool Control::AcceptsUserInput() const {
  for (const Control* c = this; c; c = c->parent_) {
    if (!c->visible_ || !c->enabled_) return false;
  }
  return true;
}

void Control::CopyPropertiesFrom(const Control& design) {
  caption_ = design.caption_;
  tool_tip_ = design.tool_tip_;
  visible_ = design.visible_;
  enabled_ = design.enabled_;
  font_charset_ = design.font_charset_;
  left_ = design.left_;
  top_ = design.top_;
  width_ = design.width_;
  height_ = design.height_;
  parent_ = design.parent_;
}

void Control::SetFocus() {
  if (form_ && form_->Observer()) form_->Observer()->FocusRequested(*this);
}

void Control::Notify(Property property) {
  if (form_ && form_->Observer()) form_->Observer()->ControlChanged(*this, property);
  Changed(property);
}

void ClickableControl::UserClick() {
  if (AcceptsUserInput()) ClickedByUser();
}

void ClickableControl::FireClick() {
  // A copy, because the handler may unload this very control and with it OnClick.
  std::function<void()> handler = OnClick;
  if (handler) handler();
}

}  // namespace nd::ui
