// The plain controls of a window: texts, buttons, pictures and the progress bar.
#pragma once

#include <string>
#include <utility>

#include "ui/control.h"

namespace nd::ui {

class Label : public ClickableControl {
 public:
  using ClickableControl::ClickableControl;
};

class CommandButton : public ClickableControl {
 public:
  using ClickableControl::ClickableControl;
};

// A one-line box the user types into. Its text is the control's caption: the program sets it
// with SetText and the window writes the user's typing back the same way.
class TextBox : public Control {
 public:
  using Control::Control;

  const std::string& Text() const { return Caption(); }
  void SetText(std::string text) { SetCaption(std::move(text)); }
};

// Shows one picture named by a text: a status picture, an icon or a file beside the program.
// Which names exist is the binding's business; the model only passes the name on.
class Picture : public ClickableControl {
 public:
  using ClickableControl::ClickableControl;

  const std::string& PictureName() const { return picture_; }
  void SetPicture(std::string name);

  void CopyPropertiesFrom(const Picture& design);

 private:
  std::string picture_;
};

// Filled from byte counts, hence floating point; the minimum is always 0. Value and maximum are
// kept as set, so they may be set in either order; the bar shows Fraction().
class ProgressBar : public Control {
 public:
  using Control::Control;

  double Max() const { return max_; }
  // Negative and non-finite numbers are taken as 0.
  void SetMax(double max);
  double Value() const { return value_; }
  void SetValue(double value);
  // The filled share, from 0 to 1: empty when the maximum is 0, full when the value is beyond it.
  double Fraction() const;

  void CopyPropertiesFrom(const ProgressBar& design);

 private:
  double max_ = 100;
  double value_ = 0;
};

}  // namespace nd::ui
