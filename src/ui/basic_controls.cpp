#include "ui/basic_controls.h"

#include <algorithm>
#include <cmath>

namespace nd::ui {
namespace {

double NonNegative(double number) { return std::isfinite(number) && number > 0 ? number : 0; }

}  // namespace

void Picture::SetPicture(std::string name) {
  Assign(picture_, std::move(name), Property::kPicture);
}

void Picture::CopyPropertiesFrom(const Picture& design) {
  Control::CopyPropertiesFrom(design);
  picture_ = design.picture_;
}

void ProgressBar::SetMax(double max) { Assign(max_, NonNegative(max), Property::kMax); }

void ProgressBar::SetValue(double value) { Assign(value_, NonNegative(value), Property::kValue); }

double ProgressBar::Fraction() const {
  if (max_ <= 0) return 0;
  return std::min(value_ / max_, 1.0);
}

void ProgressBar::CopyPropertiesFrom(const ProgressBar& design) {
  Control::CopyPropertiesFrom(design);
  max_ = design.max_;
  value_ = design.value_;
}

}  // namespace nd::ui
