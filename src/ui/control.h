// The properties that every control of a window shares (caption, tool tip, visibility, geometry
// in twips, font character set, containing panel), and the click behaviour of the controls users
// click.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "ui/observer.h"

namespace nd::ui {

class Form;
class Panel;

// The platform's default font character set, which controls have until a window sets theirs.
inline constexpr int16_t kDefaultFontCharset = 1;

class Control {
 public:
  // A control outside any window: it works the same but nobody observes it.
  explicit Control(std::string name);
  // Registers the control with `form`, which must outlive it or be destroyed first.
  Control(Form& form, std::string name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  // The element's number inside its control array; -1 for a control that is in none.
  int Index() const { return index_; }
  Form* OwnerForm() const { return form_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  // The text the window shows while the pointer rests on the control; empty for none.
  const std::string& ToolTipText() const { return tool_tip_; }
  void SetToolTipText(std::string text);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int16_t FontCharset() const { return font_charset_; }
  void SetFontCharset(int16_t charset);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int twips);
  void SetTop(int twips);
  void SetWidth(int twips);
  void SetHeight(int twips);
  void Move(int left, int top, int width, int height);

  Panel* Parent() const { return parent_; }
  // False, with nothing changed, when the control would end up inside itself.
  bool SetParent(Panel* panel);

  // Visible itself and inside visible panels only.
  bool IsShown() const;
  // What a user can click: shown, and enabled together with every panel around it.
  bool AcceptsUserInput() const;

  // Moves the keyboard focus here (where the window shows it).
  void SetFocus();

  // Takes over the design properties of `design` (everything but name, index and handlers)
  // without notifying anyone; used when a control-array element is loaded.
  void CopyPropertiesFrom(const Control& design);

 protected:
  // Stores a new value and notifies; false (and no notification) when the value is unchanged.
  template <class V>
  bool Assign(V& field, V value, Property property) {
    if (field == value) return false;
    field = std::move(value);
    Notify(property);
    return true;
  }
  void Notify(Property property);
  // Runs after the observer has heard of a change; a timer restarts its schedule here.
  virtual void Changed(Property /*property*/) {}

 private:
  friend class Form;  // unregisters controls and panels that go away before it
  template <class T>
  friend class ControlArray;  // numbers its elements and hides the loaded ones

  std::string name_;
  int index_ = -1;
  Form* form_ = nullptr;
  std::string caption_;
  std::string tool_tip_;
  bool visible_ = true;
  bool enabled_ = true;
  int16_t font_charset_;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  Panel* parent_ = nullptr;
};

// A container, such as one page of the wizard. Hiding or disabling it hides or disables
// everything inside it.
class Panel : public Control {
 public:
  using Control::Control;
};

// A control with a Click event. Handlers run after the change that caused them is complete, so
// a handler may change this or other controls again, or unload its own array element.
class ClickableControl : public Control {
 public:
  using Control::Control;

  std::function<void()> OnClick;

  // A user's click; a disabled or hidden control cannot be clicked and ignores it.
  void UserClick();

 protected:
  // What a user's click does beyond the Click event, such as toggling a check box.
  virtual void ClickedByUser() { FireClick(); }
  void FireClick();
};

}  // namespace nd::ui
