#include "ui/choice_controls.h"

#include <algorithm>
#include <utility>

namespace nd::ui {

void CheckBox::SetValue(int value) {
  if (Assign(value_, value != 0 ? 1 : 0, Property::kValue)) FireClick();
}

void CheckBox::CopyPropertiesFrom(const CheckBox& design) {
  Control::CopyPropertiesFrom(design);
  value_ = design.value_;
}

OptionGroup::~OptionGroup() {
  for (OptionButton* member : members_) member->group_ = nullptr;
}

OptionButton* OptionGroup::Selected() const {
  auto it = std::find_if(members_.begin(), members_.end(),
                         [](const OptionButton* member) { return member->Value(); });
  return it == members_.end() ? nullptr : *it;
}

OptionButton::OptionButton(std::string name, OptionGroup* group)
    : ClickableControl(std::move(name)) {
  Join(group);
}

OptionButton::OptionButton(Form& form, std::string name, OptionGroup* group)
    : ClickableControl(form, std::move(name)) {
  Join(group);
}

OptionButton::~OptionButton() { Leave(); }

void OptionButton::SetValue(bool selected) {
  if (selected == value_) return;
  if (selected && group_) {
    // Deselect first, so that an observer never sees two selected buttons.
    for (OptionButton* member : group_->members_) {
      if (member != this) member->Assign(member->value_, false, Property::kValue);
    }
  }
  Assign(value_, selected, Property::kValue);
  if (selected) FireClick();
}

void OptionButton::CopyPropertiesFrom(const OptionButton& design) {
  Control::CopyPropertiesFrom(design);
  value_ = false;
  Leave();
  Join(design.group_);
}

void OptionButton::Join(OptionGroup* group) {
  group_ = group;
  if (group_) group_->members_.push_back(this);
}

void OptionButton::Leave() {
  if (!group_) return;
  std::erase(group_->members_, this);
  group_ = nullptr;
}

}  // namespace nd::ui
