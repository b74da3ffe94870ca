// Check boxes and option buttons: the controls whose value a user toggles or selects. Changing
// that value from code fires Click exactly as a user's click would, but only on a real change.
#pragma once

#include <vector>

#include "ui/control.h"

namespace nd::ui {

class CheckBox : public ClickableControl {
 public:
  using ClickableControl::ClickableControl;

  int Value() const { return value_; }
  // Any non-zero value checks the box. Fires Click when the value changes.
  void SetValue(int value);

  void CopyPropertiesFrom(const CheckBox& design);

 protected:
  void ClickedByUser() override { SetValue(value_ == 0 ? 1 : 0); }

 private:
  int value_ = 0;
};

class OptionButton;

// Option buttons of which at most one is selected. The group must outlive its buttons or be
// destroyed first, in which case they carry on ungrouped.
class OptionGroup {
 public:
  OptionGroup() = default;
  ~OptionGroup();
  OptionGroup(const OptionGroup&) = delete;
  OptionGroup& operator=(const OptionGroup&) = delete;

  // The selected member, or nullptr.
  OptionButton* Selected() const;
  const std::vector<OptionButton*>& Members() const { return members_; }

 private:
  friend class OptionButton;
  std::vector<OptionButton*> members_;
};

class OptionButton : public ClickableControl {
 public:
  explicit OptionButton(std::string name, OptionGroup* group = nullptr);
  OptionButton(Form& form, std::string name, OptionGroup* group = nullptr);
  ~OptionButton() override;

  bool Value() const { return value_; }
  // Selecting deselects the rest of the group, which fire nothing, and then fires this button's
  // Click. Deselecting from code fires nothing.
  void SetValue(bool selected);
  OptionGroup* Group() const { return group_; }

  // Joins the group of `design`, unselected, so that the group keeps a single selection.
  void CopyPropertiesFrom(const OptionButton& design);

 protected:
  // Clicking the selected button changes nothing and so fires nothing.
  void ClickedByUser() override { SetValue(true); }

 private:
  friend class OptionGroup;
  void Join(OptionGroup* group);
  void Leave();

  OptionGroup* group_ = nullptr;
  bool value_ = false;
};

}  // namespace nd::ui
